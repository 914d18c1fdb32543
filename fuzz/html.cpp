// HTML through the whole importer: encoding detection, libxml2's parser, the CSS cascade, lists, tables
// and images. Every byte string must import without crashing, and what comes out must keep the text
// model's invariants, which are checked here so that the fuzzer finds logic faults as well as memory ones.
#include "OutputChecks.h"
#include "import/common/Dump.h"
#include "import/html/HtmlImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

// Names the broken invariant on stderr before aborting, so that a crasher explains itself when replayed.
#define check(condition) checkAt(condition, #condition, __LINE__)

void checkAt(bool condition, const char* expression, int line)
{
    if (condition)
        return;
    std::fprintf(stderr, "html.cpp:%d: invariant broken: %s\n", line, expression);
    std::abort();
}

// What the HTML importer adds to the rules of every import: a document that has text ends its last paragraph.
void checkInvariants(const kit::TextStorage& storage)
{
    fuzzoutput::checkOutput(storage, "html");
    const std::string& text = storage.string();
    check(text.empty() || text.back() == '\n' || text.back() == '\f');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> bytes(data, size);
    (void)importer::looksLikeHtml(bytes);
    importer::ImportResult result = importer::importHtml(bytes);
    check(result.text != nullptr);
    checkInvariants(*result.text);
    std::string plain = importer::plainText(*result.text);
    std::string runs = importer::dumpRuns(*result.text);
    (void)plain;
    (void)runs;
    return 0;
}
