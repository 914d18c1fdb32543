#include "TestDocuments.h"

#include "import/common/Dump.h"
#include "import/doc/DocImporter.h"

#include <gtest/gtest.h>

namespace testdoc {

importer::ImportResult importBytes(const Bytes& bytes)
{
    return importer::importOle(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
}

importer::ImportResult importBuilt(const WordFileBuilder& builder)
{
    importer::ImportResult result = importBytes(builder.build());
    EXPECT_TRUE(result.text) << "error: " << errorText(result.error);
    EXPECT_EQ(result.format, "doc");
    return result;
}

std::string plain(const importer::ImportResult& result)
{
    return result.text ? importer::plainText(*result.text) : "<no text: " + std::string(errorText(result.error)) + ">";
}

WordFileBuilder paragraphs(const std::vector<std::u16string>& texts, const std::vector<Bytes>& grpprls)
{
    WordFileBuilder builder;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        builder.text += texts[i];
        builder.text += u'\r';
        builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, i < grpprls.size() ? grpprls[i] : Bytes() });
    }
    return builder;
}

Bytes tableDefinition(const std::vector<std::int16_t>& edges, const std::vector<CellDefinition>& cells)
{
    Bytes operand;
    std::size_t count = edges.size() - 1;
    operand.push_back(std::uint8_t(count));
    for (std::int16_t edge : edges)
        put16(operand, std::uint16_t(edge));
    for (std::size_t i = 0; i < count; ++i) {
        CellDefinition cell = i < cells.size() ? cells[i] : CellDefinition {};
        put16(operand, cell.flags);
        put16(operand, 0);
        for (std::uint32_t border : cell.borders)
            put32(operand, border);
    }
    Bytes out;
    put16(out, 0xD608);
    put16(out, std::uint16_t(operand.size() + 1));
    out.insert(out.end(), operand.begin(), operand.end());
    return out;
}

const kit::Attributes& attributesOf(const importer::ImportResult& result, const std::string& needle)
{
    static const kit::Attributes none;
    if (!result.text)
        return none;
    std::size_t at = result.text->string().find(needle);
    EXPECT_NE(at, std::string::npos) << "no \"" << needle << "\" in: " << result.text->string();
    if (at == std::string::npos)
        return none;
    return result.text->attributesAt(at);
}

} // namespace testdoc
