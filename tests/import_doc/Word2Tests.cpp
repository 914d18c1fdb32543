#include "import/Importer.h"
#include "import/doc/Word2Document.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v)
{
    out[at] = std::uint8_t(v);
    out[at + 1] = std::uint8_t(v >> 8);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    put16(out, at, std::uint16_t(v));
    put16(out, at + 2, std::uint16_t(v >> 16));
}

// A Word 2 file: the text at 0x180, one page of character formatting at page 2 making [boldFrom, boldTo) of
// the text bold 16 pt, the bin table after it.
std::vector<std::uint8_t> word2File(
    const std::string& text, std::size_t boldFrom, std::size_t boldTo, std::uint16_t flags = 0)
{
    std::vector<std::uint8_t> file(3 * 512 + 64, 0);
    put16(file, 0, 0xA5DB);
    put16(file, 2, 45);
    put16(file, 6, 0x0409);
    put16(file, 0x0A, flags);
    put32(file, 0x18, 0x180);
    put32(file, 0x1C, std::uint32_t(0x180 + text.size()));
    put32(file, 0x34, std::uint32_t(text.size()));
    std::copy(text.begin(), text.end(), file.begin() + 0x180);
    std::size_t page = 2 * 512;
    std::uint32_t fcs[]
        = { 0x180, std::uint32_t(0x180 + boldFrom), std::uint32_t(0x180 + boldTo), std::uint32_t(0x180 + text.size()) };
    for (int i = 0; i < 4; ++i)
        put32(file, page + 4 * i, fcs[i]);
    file[page + 16] = 0; // default
    file[page + 17] = 100; // the CHPX at byte 200
    file[page + 18] = 0;
    file[page + 511] = 3;
    const std::uint8_t chpx[] = { 7, 0x01, 0, 6, 0, 0, 0, 32 };
    std::copy(std::begin(chpx), std::end(chpx), file.begin() + std::ptrdiff_t(page + 200));
    std::size_t table = 3 * 512;
    put32(file, 0xA0, std::uint32_t(table));
    put16(file, 0xA4, 10);
    put32(file, table, 0x180);
    put32(file, table + 4, std::uint32_t(0x180 + text.size()));
    put16(file, table + 8, 2);
    return file;
}

} // namespace

TEST(Word2, ReadsTheTextAndItsCharacterFormatting)
{
    std::string text = "Heading\r\nA \x13 PAGE \x14"
                       "7\x15 field\x0B"
                       "broken\x07"
                       "cell\x0C"
                       "Caf\xE9\r\n";
    auto result = importer::importWord2(word2File(text, 0, 7));
    ASSERT_TRUE(result.text) << errorText(result.error);
    EXPECT_EQ(result.format, "doc");
    EXPECT_EQ(result.text->string(),
        "Heading\nA 7 field\xE2\x80\xA8"
        "broken\ncell\fCaf\xC3\xA9\n")
        << "line feeds after paragraph ends dropped, field codes hidden and their results shown, cp1252 decoded";
    EXPECT_TRUE(result.text->attributesAt(0).bold);
    EXPECT_EQ(result.text->attributesAt(0).fontSize, 16);
    EXPECT_FALSE(result.text->attributesAt(8).bold);
    EXPECT_EQ(result.text->attributesAt(8).fontSize, 10) << "Word 2's default size";
}

TEST(Word2, DamagedAndProtectedFiles)
{
    auto encrypted = importer::importWord2(word2File("secret\r", 0, 1, 0x0100));
    EXPECT_FALSE(encrypted.text);
    EXPECT_EQ(encrypted.error, importer::ImportError::Encrypted);

    auto file = word2File("cut short\r", 0, 3);
    put32(file, 0x34, 0x7FFFFFFF); // a text length past the end
    auto cut = importer::importWord2(file);
    ASSERT_TRUE(cut.text);
    EXPECT_EQ(cut.text->string().rfind("cut short\n", 0), 0u);

    put32(file, 0xA0, 0xFFFFFFF0); // formatting nowhere
    EXPECT_TRUE(importer::importWord2(file).text);
    put32(file, 0x18, 0x7FFFFFFF); // text nowhere
    EXPECT_EQ(importer::importWord2(file).error, importer::ImportError::Damaged);
    EXPECT_FALSE(importer::looksLikeWord2(std::vector<std::uint8_t> { 0xDB, 0xA5, 45, 0 }))
        << "too short for its header";
}

TEST(Word2, TheCorpusDocument)
{
    auto result = importer::importWord2(
        testsupport::readFile(std::filesystem::path(LECTORIN_CORPUS_LEGACY_DIR) / "poi-word2.doc"));
    ASSERT_TRUE(result.text) << errorText(result.error);
    EXPECT_EQ(result.format, "doc");
    const std::string& text = result.text->string();
    auto heading = text.find("Member of 3GPP (ARIB)");
    ASSERT_NE(heading, std::string::npos);
    EXPECT_TRUE(result.text->attributesAt(heading).bold);
    auto name = text.find("Mr. Benni Alexander");
    ASSERT_NE(name, std::string::npos);
    EXPECT_FALSE(result.text->attributesAt(name).bold);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}
