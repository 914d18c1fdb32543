// Times the Word binary import of the corpus's largest .doc (a 49-page Word 97 report with pictures and
// tables) and of its Word 95 novel, whole and in the stage that reads the container.
#include "import/Importer.h"
#include "import/doc/DocImporter.h"
#include "import/doc/OleStorage.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> readCorpus(const char* name)
{
    std::ifstream in(std::string(LECTORIN_CORPUS_DIR) + "/" + name, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void importDocument(benchmark::State& state, const char* name)
{
    std::vector<std::uint8_t> bytes = readCorpus(name);
    std::size_t characters = 0;
    for (auto _ : state) {
        importer::ImportResult result = importer::importOle(bytes);
        characters = result.text ? result.text->length() : 0;
        benchmark::DoNotOptimize(result.text);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes.size()));
    state.counters["text bytes"] = double(characters);
}

void readContainer(benchmark::State& state, const char* name)
{
    std::vector<std::uint8_t> bytes = readCorpus(name);
    for (auto _ : state) {
        auto storage = importer::doc::OleStorage::open(bytes);
        for (const char* stream : { "WordDocument", "1Table", "0Table", "Data" })
            benchmark::DoNotOptimize(storage->readStream(stream));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes.size()));
}

} // namespace

BENCHMARK_CAPTURE(importDocument, word97_report, "poi-Bug50936_3.doc")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(importDocument, word95_novel, "poi-Bug50955.doc")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readContainer, word97_report, "poi-Bug50936_3.doc")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
