#pragma once

#include "import/common/Dump.h"
#include "import/html/HtmlImporter.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace htmltest {

inline std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

// Imports markup given as a string; the test fails (and an empty storage comes back) when nothing comes out.
inline std::shared_ptr<kit::TextStorage> import(const std::string& html)
{
    auto result = importer::importHtml(bytesOf(html));
    EXPECT_EQ(result.format, "html");
    EXPECT_TRUE(result.text) << errorText(result.error);
    return result.text ? result.text : std::make_shared<kit::TextStorage>();
}

inline std::string plain(const std::string& html)
{
    return importer::plainText(*import(html));
}

// The attributes at the first occurrence of needle; fails the test when needle is not there.
inline kit::Attributes attributesOf(const kit::TextStorage& storage, const std::string& needle)
{
    std::size_t at = storage.string().find(needle);
    EXPECT_NE(at, std::string::npos) << "\"" << needle << "\" not in \"" << storage.string() << "\"";
    if (at == std::string::npos)
        return {};
    return storage.attributesAt(at);
}

struct Paragraph {
    std::string text; // without its terminator
    kit::Attributes attributes; // of its first character
    char terminator = '\n';
};

inline std::vector<Paragraph> paragraphs(const kit::TextStorage& storage)
{
    std::vector<Paragraph> result;
    const std::string& text = storage.string();
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\f') {
            result.push_back({ text.substr(start, i - start), storage.attributesAt(start), text[i] });
            start = i + 1;
        }
    }
    if (start < text.size())
        result.push_back({ text.substr(start), storage.attributesAt(start), 0 });
    return result;
}

// The runs' invariants every importer owes the text system: runs cover the text without gaps, U+FFFC always
// carries an attachment and attachments sit only on U+FFFC, cells end in a paragraph break.
inline void expectWellFormed(const kit::TextStorage& storage)
{
    const auto& runs = storage.runs();
    const std::string& text = storage.string();
    if (text.empty())
        return;
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().location, 0u);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : text.size();
        ASSERT_LT(runs[r].location, end);
        std::string_view piece = std::string_view(text).substr(runs[r].location, end - runs[r].location);
        if (runs[r].attributes->attachment)
            EXPECT_EQ(piece, kit::kAttachmentCharacter) << "attachment on other text at " << runs[r].location;
        else
            EXPECT_EQ(piece.find(kit::kAttachmentCharacter), std::string_view::npos)
                << "U+FFFC without an attachment at " << runs[r].location;
    }
    EXPECT_TRUE(text.back() == '\n' || text.back() == '\f') << "the text ends inside a paragraph";
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const kit::TableCell* cell = storage.attributesAt(i).tableCell.get();
        const kit::TableCell* next = storage.attributesAt(i + 1).tableCell.get();
        if (cell != next && cell && text[i] != '\n')
            ADD_FAILURE() << "a cell ends without a paragraph break at " << i;
    }
}

} // namespace htmltest
