#include "ZipBuilder.h"
#include "import/package/OpenPackage.h"
#include "import/package/XmlChildPieces.h"
#include "import/package/XmlPart.h"
#include "import/package/ZipArchive.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <thread>

#include <csignal>

using importer::ZipArchive;
using importer::ZipLimits;
using importer::ZipOpenError;
using importer::ZipReadError;

namespace {

std::vector<std::uint8_t> sampleArchive()
{
    return testzip::build({
        { "mimetype", "application/x-test", false },
        { "word/document.xml", "<doc>hello</doc>" },
        { "word/media/Image 1.PNG", std::string(1000, 'x') },
    });
}

} // namespace

TEST(ZipArchive, FindsEntriesAsPackagePartNames)
{
    auto bytes = sampleArchive();
    auto opened = ZipArchive::open(testzip::view(bytes));
    ASSERT_TRUE(opened.ok());
    const testsupport::Case<const char*, bool> cases[] = {
        { "word/document.xml", true, "as stored" },
        { "/word/document.xml", true, "part names start with a slash" },
        { "WORD/Document.XML", true, "part names compare without case" },
        { "word\\document.xml", true, "some writers use backslashes" },
        { "word/./media/../document.xml", true, "dot segments resolve" },
        { "word/media/image 1.png", true, "spaces stay, case folds" },
        { "word/document.xm", false, "a prefix is not the name" },
        { "word", false, "folders are not entries" },
        { "", false, "empty" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return opened->contains(input); });
    auto read = opened->read("/WORD/DOCUMENT.XML");
    ASSERT_TRUE(read.bytes);
    EXPECT_EQ(*read.bytes, "<doc>hello</doc>");
    EXPECT_EQ(opened->read("missing.xml").error, ZipReadError::Missing);
}

TEST(ZipArchive, ReadsStoredAndDeflatedEntriesAlike)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "line " + std::to_string(i) + "\n";
    auto bytes = testzip::build({ { "stored.txt", text, false }, { "deflated.txt", text, true } });
    auto opened = ZipArchive::open(testzip::view(bytes));
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(opened->read("stored.txt").bytes.value_or(""), text);
    EXPECT_EQ(opened->read("deflated.txt").bytes.value_or(""), text);
    const auto* deflated = opened->find("deflated.txt");
    ASSERT_TRUE(deflated);
    EXPECT_LT(deflated->compressedSize, deflated->uncompressedSize);
}

TEST(ZipArchive, TruncatedArchiveIsReportedNotRead)
{
    auto bytes = sampleArchive();
    // The central directory sits at the end; losing any of its bytes loses the archive's index.
    const testsupport::Case<std::size_t, ZipOpenError> cases[] = {
        { bytes.size() - 1, ZipOpenError::Truncated, "one byte short of the end record" },
        { bytes.size() - 22, ZipOpenError::Truncated, "end record gone entirely" },
        { bytes.size() / 2, ZipOpenError::Truncated, "cut through the entries" },
        { 4, ZipOpenError::Truncated, "only the local header's signature" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(c.input));
        auto opened = ZipArchive::open(testzip::view(cut));
        EXPECT_FALSE(opened.ok());
        EXPECT_EQ(opened.error(), c.expected);
    }
    auto whole = ZipArchive::open(testzip::view(bytes));
    EXPECT_TRUE(whole.ok()) << "the uncut archive opens";
}

TEST(ZipArchive, OpenErrorsReadAsTheImportErrorsTheUserIsTold)
{
    using importer::ImportError;
    const testsupport::Case<ZipOpenError, ImportError> cases[] = {
        { ZipOpenError::Truncated, ImportError::Truncated, "the central directory is cut off" },
        { ZipOpenError::Damaged, ImportError::Damaged, "it is there but does not read" },
        { ZipOpenError::TooLarge, ImportError::TooLarge, "more entries than the limits allow" },
        { ZipOpenError::NotZip, ImportError::NotKnownFormat, "no ZIP at all" },
    };
    testsupport::expectEach(cases, [](ZipOpenError error) { return importer::importError(error); });
    EXPECT_STREQ(importer::errorText(ZipOpenError::NotZip), "not a known format") << "spelled as the import error";
}

TEST(ZipArchive, BytesThatAreNoArchiveAreNotZip)
{
    std::string text = "just some text that is long enough to hold an end record, but does not";
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    auto opened = ZipArchive::open(testzip::view(bytes));
    EXPECT_FALSE(opened.ok());
    EXPECT_EQ(opened.error(), ZipOpenError::NotZip);
}

TEST(ZipArchive, EntryAndTotalSizeLimitsRefuseBeforeInflating)
{
    std::string big(300000, 'a');
    auto bytes = testzip::build({ { "a.txt", big }, { "b.txt", big }, { "small.txt", "ok" } });
    const struct {
        std::uint64_t maxEntry, maxTotal;
        bool aReadable, bReadable;
        const char* why;
    } cases[] = {
        { 299999, 1u << 30, false, false, "each entry one byte over the entry limit" },
        { 300000, 1u << 30, true, true, "exactly at the entry limit" },
        { 1u << 30, 300000, true, false, "the first read uses the whole budget" },
        { 1u << 30, 600001, true, true, "both fit the budget with a byte to spare" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ZipLimits limits;
        limits.maxEntrySize = c.maxEntry;
        limits.maxTotalSize = c.maxTotal;
        limits.maxRatio = 1u << 30;
        auto opened = ZipArchive::open(testzip::view(bytes), limits);
        ASSERT_TRUE(opened.ok());
        auto a = opened->read("a.txt");
        auto b = opened->read("b.txt");
        EXPECT_EQ(a.bytes.has_value(), c.aReadable);
        EXPECT_EQ(b.bytes.has_value(), c.bReadable);
        if (!b.bytes) {
            EXPECT_EQ(b.error, ZipReadError::TooLarge);
        }
    }
}

TEST(ZipArchive, CompressionBombIsRefusedByRatio)
{
    // Two megabytes of one letter deflate to about two kilobytes: a ratio near deflate's ceiling.
    auto bytes = testzip::build({ { "bomb.xml", std::string(2u << 20, 'a') } });
    auto opened = ZipArchive::open(testzip::view(bytes));
    ASSERT_TRUE(opened.ok());
    auto read = opened->read("bomb.xml");
    EXPECT_FALSE(read.bytes);
    EXPECT_EQ(read.error, ZipReadError::TooLarge);

    ZipLimits lenient;
    lenient.maxRatio = 5000;
    auto again = ZipArchive::open(testzip::view(bytes), lenient);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->read("bomb.xml").bytes.value_or("").size(), 2u << 20) << "the same entry under a higher ratio";
}

TEST(ZipArchive, TooManyEntriesAreRefused)
{
    std::vector<testzip::Entry> entries;
    for (int i = 0; i < 30; ++i)
        entries.push_back({ "e" + std::to_string(i), "x", false });
    auto bytes = testzip::build(entries);
    ZipLimits limits;
    limits.maxEntries = 29;
    EXPECT_EQ(ZipArchive::open(testzip::view(bytes), limits).error(), ZipOpenError::TooLarge);
    limits.maxEntries = 30;
    EXPECT_TRUE(ZipArchive::open(testzip::view(bytes), limits).ok());
}

TEST(ZipArchive, DamagedDataReadsAsDamagedNotAsBytes)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "word" + std::to_string(i * 7919 % 1000) + " ";
    auto bytes = testzip::build({ { "doc.xml", text } });
    // Scribble over the middle of the compressed stream, leaving headers and directory intact.
    for (std::size_t i = 60; i < 160 && i < bytes.size(); ++i)
        bytes[i] = std::uint8_t(bytes[i] * 31 + 7);
    auto opened = ZipArchive::open(testzip::view(bytes));
    ASSERT_TRUE(opened.ok());
    auto read = opened->read("doc.xml");
    if (read.bytes) {
        EXPECT_NE(*read.bytes, text) << "scribbled data cannot come back intact";
    } else {
        EXPECT_EQ(read.error, ZipReadError::Damaged);
    }
}

// An entry inflated on a thread of its own comes back as a read at once would, while the archive reads
// others, and it is charged to the archive's limits when it is asked for.
TEST(ZipArchive, EntriesReadConcurrentlyAreTheSameAndCountTowardTheLimits)
{
    std::string text;
    for (int i = 0; i < 50000; ++i)
        text += "line " + std::to_string(i) + "\n";
    auto bytes = testzip::build({ { "big.txt", text, true }, { "small.txt", "small", true },
        { "bomb.xml", std::string(2u << 20, 'a') } });
    ZipLimits limits;
    limits.maxTotalSize = text.size() + 5;
    auto opened = ZipArchive::open(testzip::view(bytes), limits);
    ASSERT_TRUE(opened.ok());
    // What is to be done with the bytes next runs on the inflating thread, before they are handed over.
    std::thread::id caller = std::this_thread::get_id(), inflatedOn = caller;
    std::size_t seen = 0;
    auto inflating = opened->readBufferConcurrently("BIG.txt", [&](const ZipArchive::Buffer* inflated) {
        inflatedOn = std::this_thread::get_id();
        seen = inflated ? inflated->view().size() : 0;
    });
    EXPECT_EQ(opened->read("small.txt").bytes.value_or(""), "small") << "read meanwhile";
    auto big = inflating.get();
    ASSERT_TRUE(big.buffer);
    EXPECT_TRUE(big.buffer->view() == text);
    EXPECT_EQ(seen, text.size());
    EXPECT_NE(inflatedOn, caller);
    EXPECT_EQ(opened->read("small.txt").error, ZipReadError::TooLarge) << "the budget is spent";

    auto again = ZipArchive::open(testzip::view(bytes));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->readBufferConcurrently("bomb.xml").get().error, ZipReadError::TooLarge);
    int calls = 0;
    bool withBytes = false;
    auto missing = again->readBufferConcurrently("absent.xml", [&](const ZipArchive::Buffer* bytes) {
        ++calls;
        withBytes = bytes != nullptr;
    }).get();
    EXPECT_EQ(calls, 1) << "told that the read ended";
    EXPECT_FALSE(withBytes);
    EXPECT_FALSE(missing.buffer);
    EXPECT_EQ(missing.error, ZipReadError::Missing);
}

TEST(XmlPart, KnownNamespacesGetTheirConventionalPrefixes)
{
    const struct {
        const char* xml;
        const char* expectedRoot;
        const char* expectedChild;
        const char* why;
    } cases[] = {
        { R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body/></w:document>)",
            "w:document", "w:body", "conventional prefixes stay" },
        { R"(<ns0:document xmlns:ns0="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><ns0:body/></ns0:document>)",
            "w:document", "w:body", "another prefix is renamed" },
        { R"(<document xmlns="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><body/></document>)",
            "w:document", "w:body", "a default namespace is renamed" },
        { R"(<x:document xmlns:x="http://purl.oclc.org/ooxml/wordprocessingml/main"><x:body/></x:document>)",
            "w:document", "w:body", "Strict documents read as Transitional ones" },
        { R"(<w:document xmlns:w="urn:something-else"><w:body/></w:document>)", "w:document", "w:body",
            "an unknown namespace keeps its names" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto part = importer::XmlPart::parse(c.xml);
        ASSERT_TRUE(part);
        EXPECT_STREQ(part->root().name(), c.expectedRoot);
        EXPECT_STREQ(part->root().first_child().name(), c.expectedChild);
    }
}

TEST(XmlPart, EntitiesAreNeverExpandedOrFetched)
{
    // A document type with entity declarations: pugixml neither expands them nor reads the external one.
    std::string xml = R"(<?xml version="1.0"?><!DOCTYPE d [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;">)"
                      R"(<!ENTITY ext SYSTEM "file:///etc/passwd">]><d>&b;&ext;&amp;</d>)";
    auto part = importer::XmlPart::parse(xml);
    ASSERT_TRUE(part);
    std::string text = part->root().child_value();
    EXPECT_EQ(text.find("aaaaaaaaaa"), std::string::npos);
    EXPECT_EQ(text.find("root:"), std::string::npos);
    EXPECT_NE(text.find('&'), std::string::npos) << "the predefined entity still reads";
}

TEST(XmlPart, InnerDeclarationsHideOuterOnesUntilTheirElementCloses)
{
    auto part = importer::XmlPart::parse(R"(<x:document xmlns:x="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
                                         R"(<x:body><x:p xmlns:x="urn:other" x:a="1"><x:r x:b="2"/></x:p>)"
                                         R"(<x:p x:c="3"><y:r xmlns:y="http://schemas.openxmlformats.org/wordprocessingml/2006/main"/></x:p>)"
                                         R"(<y:p/></x:body></x:document>)");
    ASSERT_TRUE(part);
    pugi::xml_node body = part->root().first_child();
    EXPECT_STREQ(body.name(), "w:body");
    pugi::xml_node other = body.first_child();
    EXPECT_STREQ(other.name(), "x:p") << "another namespace inside keeps its names";
    EXPECT_TRUE(other.attribute("x:a"));
    EXPECT_STREQ(other.first_child().name(), "x:r");
    EXPECT_TRUE(other.first_child().attribute("x:b"));
    pugi::xml_node after = other.next_sibling();
    EXPECT_STREQ(after.name(), "w:p") << "the outer binding holds again after the inner element";
    EXPECT_TRUE(after.attribute("w:c"));
    EXPECT_STREQ(after.first_child().name(), "w:r") << "a prefix declared on an element names it";
    EXPECT_STREQ(after.next_sibling().name(), "y:p") << "and ends with it";
}

TEST(XmlPart, ThousandsOfDeclaredPrefixesCostOneLookupPerName)
{
    // 40,000 prefixes declared on the root after the one the elements use, then 40,000 elements with
    // attributes: looking each name up through every binding in scope would take billions of comparisons.
    constexpr int kCount = 40000;
    std::string xml = R"(<x:document xmlns:x="http://schemas.openxmlformats.org/wordprocessingml/2006/main")";
    for (int i = 0; i < kCount; ++i)
        xml += " xmlns:p" + std::to_string(i) + "=\"urn:p" + std::to_string(i) + "\"";
    xml += "><x:body>";
    for (int i = 0; i < kCount; ++i)
        xml += R"(<x:p x:a="1" p7:b="2"/>)";
    xml += "</x:body></x:document>";
    auto outcome = testsupport::runBoundedChild(
        [&] {
            auto part = importer::XmlPart::parse(xml);
            if (!part)
                return std::string("no part");
            int renamed = 0;
            for (pugi::xml_node p : part->root().first_child().children())
                renamed += std::string_view(p.name()) == "w:p" && p.attribute("w:a") && p.attribute("p7:b");
            return std::to_string(renamed);
        },
        testsupport::kChildAddressSpace, 20);
    ASSERT_TRUE(outcome.exitedNormally) << "signal " << outcome.signal << " (" << SIGXCPU << " is the time bound)";
    EXPECT_EQ(outcome.report, std::to_string(kCount));
}

TEST(XmlPart, DeepNestingParsesWithoutRecursion)
{
    std::string xml;
    for (int i = 0; i < 200000; ++i)
        xml += "<a>";
    for (int i = 0; i < 200000; ++i)
        xml += "</a>";
    auto part = importer::XmlPart::parse(xml);
    ASSERT_TRUE(part);
    EXPECT_STREQ(part->root().name(), "a");
}

TEST(XmlPart, Utf16PartsParse)
{
    std::u16string source = u"\uFEFF<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:t>\u00E9t\u00E9</w:t></w:document>";
    std::string bytes(reinterpret_cast<const char*>(source.data()), source.size() * 2);
    auto part = importer::XmlPart::parse(bytes);
    ASSERT_TRUE(part);
    EXPECT_STREQ(part->root().first_child().child_value(), "\xC3\xA9t\xC3\xA9");
}

TEST(XmlChildPieces, CutsBetweenChildrenWhateverTheirMarkupHolds)
{
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?><w:document xmlns:w="urn:w"><w:background w:color="FF0000"/>)"
                            R"(<w:body><w:p a="x > y/"><!-- </w:p> --><w:r/></w:p><w:bookmarkStart/><![CDATA[<w:q>]]>)"
                            R"(<w:p><w:t>a &lt; b</w:t></w:p><w:bookmarkEnd/><w:tbl><w:tr/></w:tbl><w:sectPr/></w:body></w:document>)";
    auto isMark = [](std::string_view name) { return name.find("bookmark") != std::string_view::npos; };
    auto pieces = importer::splitChildPieces(xml, "body", 1, isMark);
    ASSERT_TRUE(pieces);
    std::vector<std::string> names;
    for (const auto& child : pieces->children)
        names.emplace_back(child.name);
    EXPECT_EQ(names, (std::vector<std::string> { "w:p", "w:bookmarkStart", "w:p", "w:bookmarkEnd", "w:tbl", "w:sectPr" }));
    ASSERT_EQ(pieces->pieces.size(), 6u) << "a piece of one byte holds one child";

    auto head = importer::XmlPart::parse(pieces->head);
    ASSERT_TRUE(head);
    EXPECT_STREQ(head->root().child("w:background").attribute("w:color").value(), "FF0000");
    EXPECT_FALSE(head->root().child("w:body").first_child()) << "the head holds none of the body";

    // Each piece parses alone, its children to read where first says, the marks and the paragraph beyond
    // them beside it.
    const struct {
        std::size_t piece;
        std::vector<std::string> around; // every child element of the parsed piece's body
        std::size_t first;
    } cases[] = {
        { 0, { "w:p", "w:bookmarkStart", "w:p" }, 0 },
        { 2, { "w:p", "w:bookmarkStart", "w:p", "w:bookmarkEnd", "w:tbl" }, 2 },
        { 5, { "w:tbl", "w:sectPr" }, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.piece);
        std::size_t first = 99;
        std::string text = pieces->pieceText(xml, c.piece, first);
        EXPECT_EQ(text.capacity(), text.size()) << "a piece of megabytes is made at its size, context and all";
        auto part = importer::XmlPart::parse(std::move(text));
        ASSERT_TRUE(part);
        std::vector<std::string> around;
        for (auto child = part->root().child("w:body").first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element)
                around.emplace_back(child.name());
        EXPECT_EQ(around, c.around);
        EXPECT_EQ(first, c.first);
    }

    // Context children a reader only names come as bare elements; those it reads, whole.
    std::size_t first = 99;
    auto onlyParagraphs = [](std::string_view name) { return name == "w:p"; };
    auto part = importer::XmlPart::parse(pieces->pieceText(xml, 3, first, onlyParagraphs));
    ASSERT_TRUE(part);
    pugi::xml_node body = part->root().child("w:body");
    EXPECT_EQ(first, 1u);
    EXPECT_STREQ(body.child("w:p").child("w:t").child_value(), "a < b") << "a paragraph beside it, whole";
    ASSERT_TRUE(body.child("w:tbl"));
    EXPECT_FALSE(body.child("w:tbl").first_child()) << "the table after it, bare";
    ASSERT_TRUE(importer::XmlPart::parse(pieces->pieceText(xml, 5, first, onlyParagraphs)));
}

TEST(XmlChildPieces, LeavesPartsItCannotCutWithConfidenceWhole)
{
    auto never = [](std::string_view) { return false; };
    const struct {
        const char* xml;
        const char* why;
    } cases[] = {
        { "<w:document><w:body><w:p></w:body></w:document>", "an element closed by another's end tag" },
        { "<w:document><w:body><w:p>", "cut off" },
        { "<w:document><w:other/></w:document>", "no body" },
        { "<?xml version=\"1.0\" encoding=\"UTF-16\"?><w:document><w:body/></w:document>", "not UTF-8" },
        { "<!DOCTYPE d><w:document><w:body/></w:document>", "a document type declaration" },
        { "<w:document><w:body><w:p a=\"1></w:p></w:body></w:document>", "an unterminated attribute value" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(importer::splitChildPieces(c.xml, "body", 1024, never));
    }
    auto empty = importer::splitChildPieces("<w:document><w:body/></w:document>", "body", 1024, never);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->pieces.empty());
}
