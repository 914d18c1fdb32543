#include "import/Importer.h"
#include "import/revenge/LegacyDocument.h"
#include "import_rtf/RoundTrip.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> legacyFile(const std::string& name)
{
    return testsupport::readFile(std::filesystem::path(LECTORIN_CORPUS_LEGACY_DIR) / name);
}

} // namespace

// Each library answers for its own formats; the names are the signatures, not the file names.
TEST(LegacyDocument, EachLibraryRecognisesItsFormats)
{
    const struct {
        const char* file;
        const char* format;
        const char* words;
    } cases[] = {
        { "formatcorpus-testWordPerfect_50.doc", "wordperfect", "Sluwe Sjaantje" },
        { "formatcorpus-testWordPerfect_51_52.doc", "wordperfect", "Sluwe Sjaantje" },
        { "formatcorpus-TOPOPREC.WPD", "wordperfect", "Ruimtelijke interpolatie" },
        { "tika-testMSWriteFile.wri", "write", "Document Register" },
        { "tika-testWORKS.wps", "works", "Microsoft Works" },
        { "tika-testWORKSWordProcessor3.0.wps", "works", "made with Microsoft Works" },
        { "tika-testStarOffice-5.2-writer.sdw", "staroffice", "example StarOffice 5.2 document" },
        { "tika-testPages.pages", "pages", "Sample pages document" },
        { "poi-Word95.doc", "", nullptr }, // Word's own reader takes it
        { "poi-word2.doc", "", nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto bytes = legacyFile(c.file);
        importer::revenge::Detection detection = importer::revenge::detectDocument(bytes);
        EXPECT_EQ(detection.format, c.format);
        EXPECT_FALSE(detection.encrypted);
        if (!c.words)
            continue;
        importer::ImportResult result = importer::revenge::parseDocument(bytes, detection);
        ASSERT_TRUE(result.text) << errorText(result.error);
        EXPECT_EQ(result.format, c.format);
        EXPECT_NE(result.text->string().find(c.words), std::string::npos) << result.text->string().substr(0, 400);
    }
}

TEST(LegacyDocument, DeclinesWhatNoLibraryReads)
{
    // Pictures and programs included: libwpd alone would take them for WordPerfect 4.2 without a signature.
    const std::string texts[] = { "", "plain words of a letter\n", std::string(3000, '\0'),
        std::string("\xFF"
                    "WPC",
            4),
        std::string("GIF89a\x01\0\x01\0\x80\0\0", 13), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20),
        std::string("\x7F"
                    "ELF\x02\x01\x01\0\0\0\0\0",
            12) };
    for (const auto& text : texts) {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        importer::revenge::Detection detection = importer::revenge::detectDocument(bytes);
        EXPECT_EQ(detection.format, "") << text.size() << " bytes";
        EXPECT_EQ(importer::revenge::parseDocument(bytes, detection).error, importer::ImportError::NotKnownFormat);
    }
}

// A WordPerfect file cut short: the library gives up, and whatever it gave before stays shown.
TEST(LegacyDocument, KeepsWhatADamagedFileGave)
{
    auto bytes = legacyFile("formatcorpus-TOPOPREC.WPD");
    auto whole = importer::revenge::parseDocument(bytes, importer::revenge::detectDocument(bytes));
    ASSERT_TRUE(whole.text);
    for (std::size_t keep : { bytes.size() / 2, bytes.size() / 8, std::size_t(600) }) {
        SCOPED_TRACE(keep);
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(keep));
        auto detection = importer::revenge::detectDocument(cut);
        if (detection.format.empty())
            continue; // too short to be recognised: nothing to keep
        auto result = importer::revenge::parseDocument(cut, detection);
        if (result.text) {
            EXPECT_LE(result.text->length(), whole.text->length());
        } else {
            EXPECT_EQ(result.error, importer::ImportError::Damaged);
        }
    }
}

// The helper hands the document over as RTF: what arrives is what the libraries gave, to RTF's precision.
TEST(LegacyDocument, TheHelperHandsOverTheWholeModel)
{
    for (const auto& entry : std::filesystem::directory_iterator(LECTORIN_CORPUS_LEGACY_DIR)) {
        SCOPED_TRACE(entry.path().filename().string());
        auto bytes = testsupport::readFile(entry.path());
        auto detection = importer::revenge::detectDocument(bytes);
        if (detection.format.empty())
            continue;
        auto direct = importer::revenge::parseDocument(bytes, detection);
        auto handed = importer::importDocument(bytes);
        ASSERT_TRUE(direct.text);
        ASSERT_TRUE(handed.text) << errorText(handed.error);
        EXPECT_EQ(handed.format, detection.format);
        EXPECT_EQ(roundtrip::canonicalDump(*handed.text), roundtrip::canonicalDump(*direct.text));
        EXPECT_EQ(roundtrip::pageSetupDump(handed.text->pageSetup().get()),
            roundtrip::pageSetupDump(direct.text->pageSetup().get()))
            << "the page setup survives the hand-over";
    }
}
