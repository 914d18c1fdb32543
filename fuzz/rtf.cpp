// RTF through the reader, then through the writer and the reader again. Every byte string must import
// without crashing or running away, and what was read must come back with the same text.
#include "OutputChecks.h"
#include "import/common/Dump.h"
#include "import/common/Encoding.h"
#include "import/rtf/RtfImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    importer::installRtfHooks();
    std::string withHeader = "{\\rtf1 ";
    std::span<const std::uint8_t> input(data, size);
    // Most mutations of a seed keep its header; those that lose it are read with one, so that the reader
    // and not the header check gets the bytes.
    if (!importer::looksLikeRtf(input)) {
        withHeader.append(reinterpret_cast<const char*>(data), size);
        input = { reinterpret_cast<const std::uint8_t*>(withHeader.data()), withHeader.size() };
    }
    importer::ImportResult result = importer::importRtf(input);
    if (!result.text)
        std::abort(); // RTF with its header always gives text, if only an empty one
    const kit::TextStorage& text = *result.text;
    const std::string& string = text.string();
    fuzzoutput::checkOutput(text, "rtf");
    std::string runs = importer::dumpRuns(text);
    (void)runs;

    std::string rtf = text.rtfFromRange({ 0, text.length() });
    importer::ImportResult back = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() });
    if (!back.text || back.text->string() != string) {
        std::fprintf(stderr, "round trip changed the text:\n%s\n---\n%s\n", importer::dumpRuns(text).c_str(),
            back.text ? importer::dumpRuns(*back.text).c_str() : "(none)");
        std::abort();
    }
    return 0;
}
