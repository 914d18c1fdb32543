// Word binary documents through the OLE2 route: the container, the FIB, the piece table, formatting,
// tables, lists and pictures. Every byte string must import or fail with a stated error, never crash, and
// what comes out keeps the rules of every import (OutputChecks.h).
#include "OutputChecks.h"
#include "import/Importer.h"
#include "import/common/Dump.h"
#include "import/doc/DocImporter.h"

#include <glib.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // libgsf reports damaged containers on the log; thousands of them drown the fuzzer's own output.
    static bool quiet = [] {
        g_log_set_handler("libgsf:msole", G_LOG_LEVEL_MASK, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) { }, nullptr);
        return true;
    }();
    (void)quiet;
    importer::ImportResult result = importer::importOle(std::span<const std::uint8_t>(data, size));
    if (result.text) {
        fuzzoutput::checkOutput(*result.text, "doc");
        // Walk what was produced, so that inconsistent runs or attributes would show.
        std::string plain = importer::plainText(*result.text);
        std::string runs = importer::dumpRuns(*result.text);
        (void)plain;
        (void)runs;
    }
    return 0;
}
