#include "import/common/Dump.h"
#include "import/rtf/RtfImporter.h"
#include "support/GoldenFile.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

// Run dumps of corpus documents, reviewed by eye against the documents. LECTORIN_UPDATE_GOLDEN=1 rewrites
// them instead of comparing.
TEST(RtfGolden, CorpusDocumentsMatchTheirReviewedDumps)
{
    const char* files[] = {
        "pandoc-footnote.rtf",
        "pandoc-formatting.rtf",
        "pandoc-heading.rtf",
        "pandoc-image.rtf",
        "pandoc-list_complex.rtf",
        "pandoc-list_simple.rtf",
        "pandoc-table_error_codes.rtf",
        "pandoc-table_nested_malformed_itap.rtf",
        "pandoc-unicode.rtf",
        "pandoc-writer.rtf",
    };
    for (const char* name : files) {
        SCOPED_TRACE(name);
        auto bytes = testsupport::readFile(testsupport::corpusPath(name));
        ASSERT_FALSE(bytes.empty());
        auto result = importer::importRtf(bytes);
        ASSERT_TRUE(result.text);
        testsupport::expectMatchesGolden(importer::dumpRuns(*result.text), "tests/import_rtf/golden/" + std::string(name) + ".runs");
    }
}
