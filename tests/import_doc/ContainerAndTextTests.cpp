#include "TestDocuments.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using namespace testdoc;

namespace {

std::string storageText(const importer::ImportResult& result)
{
    return result.text ? result.text->string() : "<no text: " + std::string(errorText(result.error)) + ">";
}

} // namespace

TEST(DocContainer, RoutesOleFilesByTheirStreams)
{
    Bytes garbage = { 0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1 };
    garbage.resize(700, 0x5A);
    const struct {
        Bytes bytes;
        const char* error;
        bool hasText;
        const char* why;
    } cases[] = {
        { paragraphs({ u"Hello" }).build(), "", true, "a Word document" },
        { compoundFile({ { "EncryptionInfo", { 4, 0, 4, 0 } }, { "EncryptedPackage", Bytes(600, 7) } }), "encrypted", false,
            "a password-protected .docx travels in an OLE2 file" },
        { compoundFile({ { "Workbook", Bytes(600, 0) } }), "not a known format", false, "a spreadsheet" },
        { compoundFile({ { "PowerPoint Document", Bytes(600, 0) } }), "not a known format", false, "a presentation" },
        { garbage, "truncated", false, "the OLE2 signature on bytes that are no compound file" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importBytes(c.bytes);
        EXPECT_STREQ(errorText(result.error), c.error);
        EXPECT_EQ(bool(result.text), c.hasText);
    }
}

TEST(DocContainer, RefusesWhatItCannotRead)
{
    WordFileBuilder old = paragraphs({ u"Word 2" });
    old.nFib = 100;
    WordFileBuilder locked = paragraphs({ u"secret" });
    locked.encrypted = true;
    WordFileBuilder noTable = paragraphs({ u"lost" });
    noTable.withTableStream = false;
    const testsupport::Case<Bytes, const char*> cases[] = {
        { old.build(), "not a known format", "a version before Word 6" },
        { locked.build(), "encrypted", "the FIB says the text is encrypted" },
        { compoundFile({ { "WordDocument", { 0xEC, 0xA5, 0xC1, 0x00, 0x09, 0x04 } } }), "truncated",
            "a FIB cut off before its flags" },
        { noTable.build(), "truncated", "the table stream the FIB names is missing" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importBytes(c.input);
        EXPECT_STREQ(errorText(result.error), c.expected);
        EXPECT_FALSE(result.text);
    }
}

TEST(DocContainer, AcceptsTinyTextStreams)
{
    WordFileBuilder empty;
    const testsupport::Case<WordFileBuilder, const char*> cases[] = {
        { empty, "", "no text at all" },
        { paragraphs({ u"" }), "\n", "one empty paragraph" },
        { paragraphs({ u"x" }), "x\n", "one character" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importBuilt(c.input);
        EXPECT_EQ(storageText(result), c.expected);
        EXPECT_EQ(result.error, importer::ImportError::None);
    }
}

TEST(DocText, DecodesCompressedPiecesWithTheirPunctuation)
{
    const struct {
        char16_t byte;
        const char* expected;
    } cases[] = {
        { 0x41, "A" }, { 0x93, "\u201C" }, { 0x94, "\u201D" }, { 0x85, "\u2026" }, { 0x96, "\u2013" }, { 0x97, "\u2014" },
        { 0x80, "\u20AC" }, { 0x99, "\u2122" }, { 0x9F, "\u0178" }, { 0xA0, "\u00A0" }, { 0xE9, "\u00E9" }, { 0xFF, "\u00FF" },
    };
    WordFileBuilder builder;
    builder.compressed = true;
    std::string expected;
    for (const auto& c : cases) {
        builder.text += c.byte;
        builder.text += u'\r';
        expected += std::string(c.expected) + "\n";
    }
    EXPECT_EQ(storageText(importBuilt(builder)), expected);
}

TEST(DocText, DecodesUnicodePieces)
{
    const testsupport::Case<std::u16string, const char*> cases[] = {
        { u"Привет, שלום, 你好", "Привет, שלום, 你好\n", "Cyrillic, Hebrew and Chinese in one piece" },
        { u"smile \U0001F600", "smile \U0001F600\n", "a surrogate pair is one character" },
        { std::u16string(u"a\xD800z", 3), "a\uFFFDz\n", "an unpaired surrogate is replaced" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return storageText(importBuilt(paragraphs({ input }))); });
}

TEST(DocText, MapsSpecialCharacters)
{
    const testsupport::Case<std::u16string, const char*> cases[] = {
        { u"a\x0B" u"b", "a\u2028b\n", "a line break stays inside its paragraph" },
        { u"non\x1E" u"breaking", "non\u2011breaking\n", "non-breaking hyphen" },
        { u"soft\x1F" u"hyphen", "soft\u00ADhyphen\n", "optional hyphen" },
        { u"tab\tbed", "tab\tbed\n", "tab" },
        { u"before\x0C" u"after", "before\fafter\n", "a page break inside a paragraph" },
        { u"col\x0E" u"umn", "col\numn\n", "a column break ends the paragraph there: the next one starts a column" },
        { std::u16string(u"x\0y", 3), "xy\n", "a zero character is no text" },
        { u"stray\x07" u"bell", "straybell\n", "a cell mark outside a table ends nothing" },
        { u"no\x01" u"picture", "nopicture\n", "an object character without its picture" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return storageText(importBuilt(paragraphs({ input }))); });
}

TEST(DocText, TheParagraphAfterAColumnBreakStartsTheNextColumn)
{
    auto text = importBuilt(paragraphs({ u"first\x0E" u"second", u"third" })).text;
    ASSERT_TRUE(text);
    ASSERT_EQ(text->string(), "first\nsecond\nthird\n");
    EXPECT_FALSE(text->attributesAt(0).paragraphStyle().columnBreakBefore);
    EXPECT_TRUE(text->attributesAt(6).paragraphStyle().columnBreakBefore) << "\"second\" starts a column";
    EXPECT_TRUE(text->attributesAt(11).paragraphStyle().columnBreakBefore) << "to the end of its paragraph";
    EXPECT_FALSE(text->attributesAt(13).paragraphStyle().columnBreakBefore) << "\"third\" does not";
}

TEST(DocText, ShowsFieldResultsAndDropsTheirCodes)
{
    const testsupport::Case<std::vector<std::u16string>, const char*> cases[] = {
        { { u"a\x13 PAGE \x14" u"3\x15" u"b" }, "a3b\n", "the result replaces the code" },
        { { u"\x13 IF \x13 DATE \x14" u"May\x15 = x \x14" u"yes\x15" }, "yes\n", "a field inside a code is code" },
        { { u"\x13 QUOTE \x14" u"in\x13 PAGE \x14" u"2\x15" u"ner\x15" }, "in2ner\n", "a field inside a result shows its result" },
        { { u"x\x13 TC \"entry\" \x15" u"y" }, "xy\n", "a field without a result shows nothing" },
        { { u"\x13 TOC \x14" u"one", u"two\x15" }, "one\ntwo\n", "a result spans paragraphs" },
        { { u"stray\x15 end" }, "stray end\n", "an end without a beginning is ignored" },
        { { u"open\x13 code", u"next" }, "open\n\n", "a field never closed hides the rest of its story" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return storageText(importBuilt(paragraphs(input))); });
}

TEST(DocText, HyperlinkFieldsLinkTheirResultsAndBookmarksMarkTheirPlace)
{
    // Two bookmarks start at "Target"; the local link names the second, its code ending in the mark of
    // the field's private data as Word writes it. The PLCF's CPs are followed by the four-byte entries of Word 97.
    std::u16string links = u"\x13 HYPERLINK \"http://example.com/a\" \x14" u"site\x15 and \x13 HYPERLINK \\l \"_Toc1\" \x01\x14" u"local\x15";
    std::uint32_t target = std::uint32_t(links.size()) + 1;
    WordFileBuilder builder = paragraphs({ links, u"Target here" });
    Bytes names = { 0xFF, 0xFF };
    put16(names, 2);
    put16(names, 0);
    for (std::u16string name : { u"_Ref9", u"_Toc1" }) {
        put16(names, std::uint16_t(name.size()));
        for (char16_t unit : name)
            put16(names, unit);
    }
    Bytes starts;
    for (std::uint32_t cp : { target, target, target + 11 })
        put32(starts, cp);
    put32(starts, 0);
    put32(starts, 1);
    builder.tableEntries[21] = names;
    builder.tableEntries[22] = starts;
    importer::ImportResult result = importBuilt(builder);
    EXPECT_EQ(storageText(result), "site and local\nTarget here\n");
    EXPECT_EQ(attributesOf(result, "site").link, "http://example.com/a");
    EXPECT_EQ(attributesOf(result, " and").link, "");
    EXPECT_EQ(attributesOf(result, "local").link, "#_Toc1") << "a link inside the document names its bookmark";
    std::size_t place = result.text->string().find("Target");
    EXPECT_EQ(result.text->attributesAt(place).anchor, "_Ref9");
    EXPECT_EQ(result.text->attributesAt(place + 1).anchor, "_Toc1") << "a second bookmark at one place takes the next character";
    EXPECT_EQ(result.text->attributesAt(place + 2).anchor, "");
}

// Word 6 and 95 keep everything in the WordDocument stream, with a FIB of their own layout.
namespace {

struct Word6File {
    Bytes text; // bytes in the document's code page
    std::uint16_t lid = 0x0419;
    bool withPieceTable = false;
    bool encrypted = false;
    Bytes boldRun; // a CHPX grpprl for the whole text, in Word 6 sprms
    std::vector<std::pair<std::uint32_t, Bytes>> paragraphRuns; // CP after each paragraph mark, its grpprl
    Bytes fonts; // a Word 6 font table
    std::uint32_t headerLength = 0; // the header document: the last bytes of text
    Bytes headerCps; // its PLC of story CPs
    std::uint8_t headerStories = 0; // the document properties' note separator bits
    std::vector<std::pair<std::uint32_t, Bytes>> sections; // CP after each section's end, its Word 6 sprms

    Bytes build() const
    {
        constexpr std::uint32_t textAt = 0x400;
        Bytes stream(textAt, 0);
        stream.insert(stream.end(), text.begin(), text.end());
        auto set16 = [&](std::size_t at, std::uint16_t value) {
            stream[at] = std::uint8_t(value);
            stream[at + 1] = std::uint8_t(value >> 8);
        };
        auto set32 = [&](std::size_t at, std::uint32_t value) {
            for (int i = 0; i < 4; ++i)
                stream[at + i] = std::uint8_t(value >> (8 * i));
        };
        auto placePair = [&](std::size_t index, const Bytes& bytes) {
            std::uint32_t at = std::uint32_t(stream.size());
            stream.insert(stream.end(), bytes.begin(), bytes.end());
            set32(0x58 + 8 * index, at);
            set32(0x58 + 8 * index + 4, std::uint32_t(bytes.size()));
        };
        set16(0, 0xA5DC);
        set16(2, 104);
        set16(6, lid);
        set16(10, encrypted ? 0x0100 : 0);
        set32(0x18, textAt);
        set32(0x1C, textAt + std::uint32_t(text.size()));
        set32(0x34, std::uint32_t(text.size()) - headerLength);
        set32(0x3C, headerLength);
        if (!sections.empty()) {
            std::vector<std::uint32_t> offsets;
            for (const auto& section : sections) {
                offsets.push_back(std::uint32_t(stream.size()));
                put16(stream, std::uint16_t(section.second.size()));
                stream.insert(stream.end(), section.second.begin(), section.second.end());
            }
            placePair(6, sectionTable(sections, offsets));
        }
        if (!headerCps.empty())
            placePair(11, headerCps);
        if (headerStories)
            placePair(31, Bytes { 0, headerStories, 0, 0 });
        if (withPieceTable) {
            Bytes clx = { 0x02 };
            put32(clx, 16);
            put32(clx, 0);
            put32(clx, std::uint32_t(text.size()));
            put16(clx, 0);
            put32(clx, textAt);
            put16(clx, 0);
            placePair(33, clx);
        }
        if (!boldRun.empty()) {
            // One character page after the text, listed by a bin table with 16-bit page numbers.
            stream.resize((stream.size() + 511) / 512 * 512, 0);
            std::uint16_t page = std::uint16_t(stream.size() / 512);
            Bytes fkp(512, 0);
            for (int i = 0; i < 4; ++i) {
                fkp[i] = std::uint8_t(textAt >> (8 * i));
                fkp[4 + i] = std::uint8_t((textAt + text.size()) >> (8 * i));
            }
            fkp[8] = 0xF0 / 2;
            fkp[0xF0] = std::uint8_t(boldRun.size());
            std::copy(boldRun.begin(), boldRun.end(), fkp.begin() + 0xF1);
            fkp[511] = 1;
            stream.insert(stream.end(), fkp.begin(), fkp.end());
            Bytes bte;
            put32(bte, textAt);
            put32(bte, textAt + std::uint32_t(text.size()));
            put16(bte, page);
            placePair(12, bte);
        }
        if (!paragraphRuns.empty()) {
            // One paragraph page: FCs, then 7-byte entries (offset and height cache), properties from the end.
            stream.resize((stream.size() + 511) / 512 * 512, 0);
            std::uint16_t page = std::uint16_t(stream.size() / 512);
            Bytes fkp(512, 0);
            std::size_t count = paragraphRuns.size();
            std::size_t free = 511;
            for (std::size_t i = 0; i <= count; ++i) {
                std::uint32_t fc = textAt + (i == 0 ? 0 : paragraphRuns[i - 1].first);
                for (int b = 0; b < 4; ++b)
                    fkp[4 * i + b] = std::uint8_t(fc >> (8 * b));
            }
            for (std::size_t i = 0; i < count; ++i) {
                Bytes properties = { 0, 0 }; // style 0
                properties.insert(properties.end(), paragraphRuns[i].second.begin(), paragraphRuns[i].second.end());
                if (properties.size() & 1)
                    properties.push_back(0);
                std::size_t at = (free - properties.size() - 1) & ~std::size_t(1);
                fkp[at] = std::uint8_t(properties.size() / 2);
                std::copy(properties.begin(), properties.end(), fkp.begin() + std::ptrdiff_t(at + 1));
                fkp[4 * (count + 1) + 7 * i] = std::uint8_t(at / 2);
                free = at;
            }
            fkp[511] = std::uint8_t(count);
            stream.insert(stream.end(), fkp.begin(), fkp.end());
            Bytes bte;
            put32(bte, textAt);
            put32(bte, textAt + std::uint32_t(text.size()));
            put16(bte, page);
            placePair(13, bte);
        }
        if (!fonts.empty())
            placePair(15, fonts);
        return compoundFile({ { "WordDocument", stream } });
    }
};

} // namespace

TEST(DocWord6, ShowsTextInTheDocumentsCodePage)
{
    // "Привет" in Windows-1251, then a paragraph mark.
    Bytes cyrillic = { 0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2, 0x0D };
    const testsupport::Case<Word6File, const char*> cases[] = {
        { { cyrillic, 0x0419, false }, "Привет\n", "Russian: Windows-1251, text from fcMin without a piece table" },
        { { cyrillic, 0x0419, true }, "Привет\n", "the same through a piece table" },
        { { cyrillic, 0x0409, false }, "Ïðèâåò\n", "the same bytes under English are Windows-1252" },
        { { { 0xE1, 0xE9, 0x0D }, 0x0408, false }, "αι\n", "Greek: Windows-1253" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importBytes(c.input.build());
        EXPECT_EQ(result.format, "doc");
        EXPECT_EQ(storageText(result), c.expected);
    }
}

TEST(DocWord6, ReadsOneByteSprms)
{
    Word6File file { { 'b', 'o', 'l', 'd', 0x0D }, 0x0409, true };
    file.boldRun = { 85, 1, 99, 28, 0 }; // sprmCFBold on, sprmCHps 14 points
    importer::ImportResult result = importBytes(file.build());
    EXPECT_EQ(storageText(result), "bold\n");
    EXPECT_TRUE(attributesOf(result, "bold").bold);
    EXPECT_EQ(attributesOf(result, "bold").fontSize, 14);
}

TEST(DocWord6, RefusesEncryptedFiles)
{
    Word6File file { { 'x', 0x0D }, 0x0409, false, true };
    importer::ImportResult result = importBytes(file.build());
    EXPECT_EQ(result.error, importer::ImportError::Encrypted);
    EXPECT_FALSE(result.text);
}

TEST(DocText, HeadersAndCommentsAreNotShown)
{
    WordFileBuilder builder;
    builder.text = u"Body\rHeader text\rA comment\r\r";
    builder.mainLength = 5;
    builder.headerLength = 12;
    builder.commentLength = 11;
    EXPECT_EQ(storageText(importBuilt(builder)), "Body\n");
}

TEST(DocText, PiecesCarryTheirOwnProperties)
{
    // Three pieces over the same UTF-16 text: plain, bold through the piece table's grpprl, italic through
    // the short form that names a sprm by its index.
    WordFileBuilder builder;
    builder.text = u"abcdefghi\r";
    Bytes clx = { 0x01 };
    Bytes bold = sprm(0x0835, { 1 });
    put16(clx, std::uint16_t(bold.size()));
    clx.insert(clx.end(), bold.begin(), bold.end());
    clx.push_back(0x02);
    put32(clx, 4 * 4 + 3 * 8);
    for (std::uint32_t cp : { 0u, 3u, 6u, 10u })
        put32(clx, cp);
    const std::uint16_t prms[] = { 0, (0 << 1) | 1, (86 << 1) | (1 << 8) };
    for (int i = 0; i < 3; ++i) {
        put16(clx, 0);
        put32(clx, WordFileBuilder::kTextOffset + 6 * std::uint32_t(i));
        put16(clx, prms[i]);
    }
    builder.tableEntries[kClx] = clx;
    importer::ImportResult result = importBuilt(builder);
    EXPECT_EQ(storageText(result), "abcdefghi\n");
    EXPECT_FALSE(attributesOf(result, "abc").bold);
    EXPECT_TRUE(attributesOf(result, "def").bold);
    EXPECT_FALSE(attributesOf(result, "def").italic);
    EXPECT_TRUE(attributesOf(result, "ghi").italic);
}

TEST(DocText, SymbolCharactersBecomeUnicode)
{
    WordFileBuilder builder = paragraphs({ u"a(b(c(" });
    builder.tableEntries[kSttbfFfn] = fontTable({ { u"Times New Roman", 0 }, { u"Symbol", 2 }, { u"Wingdings", 2 } });
    Bytes alpha = sprm(0x6A09, { 1, 0, 0x61, 0xF0 }); // Symbol's 'a' is alpha
    Bytes sum = sprm(0x6A09, { 1, 0, 0xE5, 0x00 }); // stored as a byte: summation
    Bytes check = sprm(0x6A09, { 2, 0, 0xFC, 0xF0 }); // Wingdings' check mark
    builder.characterRuns = { { 1, 2, alpha }, { 3, 4, sum }, { 5, 6, check } };
    EXPECT_EQ(storageText(importBuilt(builder)), "a\u03B1b\u2211c\u2713\n");
}

namespace {

// A Word 6 numbering description: format, counts of characters before and after the number, a start, and
// the characters (bytes) themselves.
Bytes numbering(std::uint8_t level, std::uint8_t format, const std::string& before, const std::string& after, std::uint16_t font = 0)
{
    Bytes anld(52, 0);
    anld[0] = format;
    anld[1] = std::uint8_t(before.size());
    anld[2] = std::uint8_t(before.size() + after.size());
    anld[6] = std::uint8_t(font);
    anld[10] = 1;
    std::string text = before + after;
    std::copy(text.begin(), text.end(), anld.begin() + 20);
    Bytes grpprl = { 12, std::uint8_t(anld.size()) };
    grpprl.insert(grpprl.end(), anld.begin(), anld.end());
    grpprl.push_back(13);
    grpprl.push_back(level);
    return grpprl;
}

} // namespace

TEST(DocWord6, NumbersParagraphsFromTheirNumberingDescription)
{
    Word6File file;
    file.lid = 0x0409;
    file.withPieceTable = true;
    std::string text;
    auto paragraph = [&](const std::string& words, Bytes grpprl) {
        text += words + "\r";
        file.paragraphRuns.push_back({ std::uint32_t(text.size()), std::move(grpprl) });
    };
    paragraph("one", numbering(10, 0, "", "."));
    paragraph("two", numbering(10, 0, "", "."));
    paragraph("plain", {});
    paragraph("again", numbering(10, 0, "", "."));
    paragraph("roman", numbering(1, 2, "(", ")"));
    paragraph("dot", numbering(11, 0, "\xB7", "", 1));
    file.text.assign(text.begin(), text.end());
    Bytes fonts;
    put16(fonts, 0);
    for (const auto& [name, charset] : { std::pair<std::string, std::uint8_t> { "Times New Roman", 0 }, { "Symbol", 2 } }) {
        Bytes entry = { 0, 0, 0, charset, 0 };
        entry.insert(entry.end(), name.begin(), name.end());
        entry.push_back(0);
        fonts.push_back(std::uint8_t(entry.size()));
        fonts.insert(fonts.end(), entry.begin(), entry.end());
    }
    fonts[0] = std::uint8_t(fonts.size());
    file.fonts = fonts;
    importer::ImportResult result = importBytes(file.build());
    EXPECT_EQ(storageText(result), "1.\tone\n2.\ttwo\nplain\n1.\tagain\n(i)\troman\n\u2022\tdot\n");
    EXPECT_TRUE(attributesOf(result, "2.\t").listLabel);
}

TEST(DocWord6, SectionsNameTheHeaderStoriesTheyHave)
{
    // Word 6 lists only the stories that exist: one note separator, then the first section's odd header and
    // footer, then the second section's odd header; its footer is the first section's.
    Word6File file;
    std::string body = "One\x0CTwo\x0D",
                stories = "--\x0D"
                          "First head\x0D\x0D"
                          "Foot\x0D\x0D"
                          "Second head\x0D\x0D"
                          "\x0D";
    file.text.assign(body.begin(), body.end());
    file.text.insert(file.text.end(), stories.begin(), stories.end());
    file.headerLength = std::uint32_t(stories.size());
    for (std::uint32_t cp : { 0u, 3u, 15u, 21u, 34u, 35u })
        put32(file.headerCps, cp);
    file.headerStories = 0x01;
    file.paragraphRuns = { { 4, {} }, { 8, {} } };
    // sprmSXaPage 164, sprmSYaPage 165, sprmSBOrientation 162, sprmSGprfIhdt 153, sprmSBkc 142.
    file.sections = { { 4, { 164, 0x82, 0x2E, 165, 0xE0, 0x3D, 153, 0x0A } },
        { 8, { 142, 2, 164, 0xE0, 0x3D, 165, 0x82, 0x2E, 162, 2, 153, 0x02 } } };
    importer::ImportResult result = importBytes(file.build());
    ASSERT_TRUE(result.text) << errorText(result.error);
    EXPECT_EQ(result.text->string(), "One\fTwo\n");
    const auto& setup = result.text->pageSetup();
    ASSERT_TRUE(setup);
    ASSERT_EQ(setup->sections.size(), 2u);
    EXPECT_EQ(setup->sections[0].paperSize, (kit::Size { 595.3f, 792 }));
    EXPECT_EQ(setup->sections[1].paperSize, (kit::Size { 792, 595.3f }));
    EXPECT_EQ(setup->sections[1].start, 4u);
    auto text = [](const std::shared_ptr<kit::TextStorage>& story) { return story ? story->string() : "<none>"; };
    EXPECT_EQ(text(setup->header(0, kit::HeaderFooterKind::Default)), "First head\n");
    EXPECT_EQ(text(setup->footer(0, kit::HeaderFooterKind::Default)), "Foot\n");
    EXPECT_EQ(text(setup->header(1, kit::HeaderFooterKind::Default)), "Second head\n");
    EXPECT_EQ(text(setup->footer(1, kit::HeaderFooterKind::Default)), "Foot\n");
    EXPECT_FALSE(setup->sections[1].footers[0]) << "linked, not copied";
}
