// Times the .docx import of the largest corpus document (12.6 MB of document XML) in its three stages:
// inflating the parts, parsing their XML, and the whole import into attributed text.
#include "import/docx/DocxImporter.h"
#include "import/package/XmlPart.h"
#include "import/package/ZipArchive.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::vector<std::uint8_t>& documentBytes()
{
    static const std::vector<std::uint8_t> bytes = [] {
        std::ifstream in(std::string(LECTORIN_CORPUS_DIR) + "/poi-bug65649.docx", std::ios::binary);
        return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

const char* kParts[] = { "word/document.xml", "word/styles.xml" };

void unzip(benchmark::State& state)
{
    for (auto _ : state) {
        auto opened = importer::ZipArchive::open({ documentBytes().data(), documentBytes().size() });
        for (const char* part : kParts)
            benchmark::DoNotOptimize(opened->read(part).bytes);
    }
}

void parse(benchmark::State& state)
{
    auto opened = importer::ZipArchive::open({ documentBytes().data(), documentBytes().size() });
    std::vector<std::string> parts;
    for (const char* part : kParts)
        parts.push_back(*opened->read(part).bytes);
    for (auto _ : state) {
        // The parser works in place, so each round gets fresh copies, made outside the timing.
        state.PauseTiming();
        std::vector<std::string> copies = parts;
        state.ResumeTiming();
        for (auto& part : copies) {
            auto parsed = importer::XmlPart::parse(std::move(part));
            benchmark::DoNotOptimize(parsed);
        }
    }
}

void import(benchmark::State& state)
{
    for (auto _ : state) {
        auto result = importer::importDocx({ documentBytes().data(), documentBytes().size() });
        if (!result.text)
            state.SkipWithError("the document did not import");
        benchmark::DoNotOptimize(result);
    }
}

} // namespace

BENCHMARK(unzip)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(parse)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(import)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_MAIN();
