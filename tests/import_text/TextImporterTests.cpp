#include "import/text/TextImporter.h"
#include "import_text/EncodedText.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <glib.h>
#include <gtest/gtest.h>

using importer::importText;

namespace {

using testtext::bytesOf;
using testtext::encode;

// A string literal with its embedded NULs.
template<std::size_t N> std::string bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

} // namespace

TEST(TextImporter, DecodesEncodingsAndNormalisesLineEnds)
{
    const std::string russian = "Привет, мир! Это простой текст на русском языке.";
    const testsupport::Case<std::string, std::string> cases[] = {
        { "", "", "an empty file is an empty document" },
        { "plain\n", "plain\n", "ASCII" },
        { "\xEF\xBB\xBFh\xC3\xA9", "hé", "UTF-8 with a byte-order mark, which is dropped" },
        { "h\xC3\xA9\r\nnext\rlast", "hé\nnext\nlast", "CRLF and CR become paragraph ends" },
        { "\r\n\r\n", "\n\n", "two empty lines stay two" },
        { "page one\fpage two", "page one\fpage two", "a form feed stays a page break" },
        { bytes("\xFF\xFEH\0i\0\r\0\n\0"), "Hi\n", "UTF-16 little endian with a byte-order mark" },
        { bytes("\xFE\xFF\0H\0i"), "Hi", "UTF-16 big endian with a byte-order mark" },
        { encode("Hello, world!\nLine two.\n", "UTF-16LE"), "Hello, world!\nLine two.\n", "UTF-16 little endian without a mark" },
        { encode("Hello, world!\nLine two.\n", "UTF-16BE"), "Hello, world!\nLine two.\n", "UTF-16 big endian without a mark" },
        { encode("Ωμέγα και άλφα, σε UTF-16.", "UTF-16BE"), "Ωμέγα και άλφα, σε UTF-16.", "Greek in UTF-16 without a mark" },
        { encode(russian, "CP1251"), russian, "Windows-1251" },
        { encode(russian, "CP866"), russian, "CP866" },
        { encode(russian, "KOI8-R"), russian, "KOI8-R" },
        { "Caf\xE9 cr\xE8me br\xFBl\xE9" "e", "Café crème brûlée", "Windows-1252" },
        { "text\x1A", "text", "a DOS end-of-file mark is dropped" },
        { bytes("padded\0\0\0"), "padded", "trailing NUL padding is forgiven" },
        { "a\xE2\x80\xA9" "b", "a\nb", "a Unicode paragraph separator ends a paragraph" },
        { "a\xE2\x80\xA8" "b", "a\xE2\x80\xA8" "b", "a Unicode line separator stays a line break" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importText(bytesOf(c.input));
        ASSERT_TRUE(result.text);
        EXPECT_EQ(result.format, "text");
        EXPECT_EQ(result.text->string(), c.expected);
    }
}

TEST(TextImporter, RefusesBytesThatAreNotText)
{
    const struct {
        std::string bytes;
        const char* why;
    } cases[] = {
        { bytes("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10"), "a PNG image" },
        { bytes("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01"), "a JPEG image" },
        { bytes("text\0with a NUL inside"), "a NUL in the body" },
        { std::string(100, '\x01') + "abc", "mostly control characters" },
        { bytes("\0\0\0\0\0\0\0\0") + "x", "zeros on both byte positions are not UTF-16" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importText(bytesOf(c.bytes));
        EXPECT_FALSE(result.text);
        EXPECT_EQ(result.error, importer::ImportError::NotKnownFormat);
    }
}

TEST(TextImporter, UsesTheDefaultAttributes)
{
    auto result = importText(bytesOf("one\ntwo\n"));
    ASSERT_TRUE(result.text);
    ASSERT_EQ(result.text->runs().size(), 1u);
    const kit::Attributes& attributes = result.text->attributesAt(0);
    EXPECT_EQ(attributes.fontFamily, "Times New Roman");
    EXPECT_EQ(attributes.fontSize, 12);
    EXPECT_FALSE(attributes.paragraph);
    EXPECT_EQ(attributes, kit::Attributes {});
}

TEST(TextImporter, ReadsTheCorpusTextFiles)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "pandoc-testsuite.txt", "% Pandoc Test Suite\n", "UTF-8 without a mark" },
        { "poi-Bug47742-text.txt", "{0>Der Aaa Satz.<}0{>The Aaa phrase.<0}", "UTF-8 with a mark and CRLF" },
        { "unicodelipsum-Arabic-Lipsum.utf16.txt", "الفرنسية الأوروبي", "UTF-16 little endian with a mark" },
        { "unicodelipsum-Chinese-Lipsum.utf16.txt", "大供型払活刊乗情著強後訪挙", "Chinese in UTF-16" },
        { "unicodelipsum-english.utf16be.txt", "[![This is a featured article.", "UTF-16 big endian without a mark" },
        { "unicodelipsum-japanese.utf16.txt", "# 火星\n", "Japanese in UTF-16" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importText(testsupport::readFile(testsupport::corpusPath(c.input)));
        ASSERT_TRUE(result.text);
        const std::string& text = result.text->string();
        EXPECT_EQ(text.substr(0, std::string(c.expected).size()), c.expected);
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << "nothing undecodable";
    }
}
