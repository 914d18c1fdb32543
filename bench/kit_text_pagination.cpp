// Paginates a generated document the way the page view does (one container per page, glyph range per new
// container, stop once the text is placed) with Pango's line breaking and with the engine of our own, and
// reports pages per second of CPU time and peak memory.
//
// The document: 12,000 paragraphs, about 1.9 MB of words drawn from a pseudo-dictionary with a Zipf-like
// frequency and a fixed seed, 12 pt "Times New Roman" with a tenth of the runs in italics and 5 points of
// spacing after each paragraph, laid out on US Letter with one-inch margins (text area 468 x 648 points).

#include "kit/text/HarfBuzzParagraphEngine.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/PangoParagraphEngine.h"
#include "kit/text/TextStorage.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kParagraphs = 12000;
constexpr std::uint32_t kSeed = 1906;

std::vector<std::string> makeVocabulary(std::mt19937& random, int size)
{
    static const char* onsets[] = { "", "b", "c", "d", "f", "g", "h", "l", "m", "n", "p", "r", "s", "t", "v", "w", "br",
        "ch", "cl", "cr", "dr", "fl", "gr", "pl", "pr", "sh", "st", "str", "th", "tr" };
    static const char* vowels[] = { "a", "e", "i", "o", "u", "ai", "ea", "ee", "io", "ou", "y" };
    static const char* codas[] = { "", "", "", "n", "r", "s", "t", "l", "nd", "st", "ng", "rt", "ck", "m" };
    std::uniform_int_distribution<int> syllables(1, 3);
    std::vector<std::string> words;
    for (int i = 0; i < size; ++i) {
        std::string word;
        int count = syllables(random);
        for (int s = 0; s < count; ++s) {
            word += onsets[random() % std::size(onsets)];
            word += vowels[random() % std::size(vowels)];
            word += codas[random() % std::size(codas)];
        }
        if (random() % 12 == 0)
            word[0] = char(word[0] - 'a' + 'A');
        words.push_back(word);
    }
    return words;
}

std::shared_ptr<kit::TextStorage> makeDocument()
{
    std::mt19937 random(kSeed);
    std::vector<std::string> vocabulary = makeVocabulary(random, 30000);
    // Zipf-like: the word of rank r has weight 1 / (r + 2.7).
    std::vector<double> cumulative(vocabulary.size());
    double sum = 0;
    for (std::size_t r = 0; r < vocabulary.size(); ++r)
        cumulative[r] = sum += 1.0 / (double(r) + 2.7);
    std::uniform_real_distribution<double> uniform(0, sum);
    auto word = [&]() -> const std::string& {
        auto it = std::lower_bound(cumulative.begin(), cumulative.end(), uniform(random));
        return vocabulary[std::min<std::size_t>(std::size_t(it - cumulative.begin()), vocabulary.size() - 1)];
    };

    kit::ParagraphStyle paragraph;
    paragraph.spacingAfter = 5;
    kit::Attributes roman;
    roman.fontFamily = "Times New Roman";
    roman.fontSize = 12;
    roman.paragraph = std::make_shared<const kit::ParagraphStyle>(paragraph);
    kit::Attributes italic = roman;
    italic.italic = true;
    auto storage = std::make_shared<kit::TextStorage>();
    std::uniform_int_distribution<int> paragraphWords(3, 30);
    std::uniform_int_distribution<int> runWords(3, 12);
    std::string run;
    for (int p = 0; p < kParagraphs; ++p) {
        int words = paragraphWords(random);
        for (int w = 0; w < words;) {
            int n = std::min(runWords(random), words - w);
            bool isItalic = random() % 10 == 0;
            run.clear();
            for (int i = 0; i < n; ++i, ++w) {
                if (w)
                    run += ' ';
                run += word();
                if (w + 1 < words && random() % 9 == 0)
                    run += random() % 3 ? "," : ".";
            }
            storage->append(run, isItalic ? italic : roman);
        }
        storage->append(".\n", roman);
    }
    return storage;
}

double cpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

std::size_t paginate(const std::shared_ptr<kit::TextStorage>& storage, bool pango)
{
    // A new engine each time: its word cache starts cold, as for a document opened first.
    kit::LayoutManager layoutManager(pango ? std::unique_ptr<kit::ParagraphEngine>(std::make_unique<kit::PangoParagraphEngine>())
                                           : std::make_unique<kit::HarfBuzzParagraphEngine>());
    layoutManager.replaceTextStorage(storage);
    std::size_t pages = 0;
    bool ends = false;
    do {
        layoutManager.addTextContainer(std::make_unique<kit::TextContainer>(kit::Size { 468, 648 }));
        const kit::TextContainer& container = *layoutManager.textContainers().back();
        layoutManager.glyphRangeForTextContainer(container);
        ends = layoutManager.textEndsInOrBeforeTextContainer(container);
        ++pages;
    } while (!ends);
    return pages;
}

} // namespace

// An argument "pango" or "harfbuzz" times only that engine.
int main(int argc, char** argv)
{
    std::string only = argc > 1 ? argv[1] : "";
    auto storage = makeDocument();
    std::printf(
        "document: %d paragraphs, %zu bytes, %zu runs\n", kParagraphs, storage->length(), storage->runs().size());
    for (bool pango : { true, false }) {
        if (!only.empty() && only != (pango ? "pango" : "harfbuzz"))
            continue;
        std::vector<double> rates, milliseconds;
        std::size_t pages = 0;
        for (int run = 0; run < 3; ++run) {
            double start = cpuSeconds();
            pages = paginate(storage, pango);
            double seconds = cpuSeconds() - start;
            rates.push_back(double(pages) / seconds);
            milliseconds.push_back(seconds * 1000);
            std::printf("%s run %d: %zu pages in %.3f s CPU (%.0f pages/s)\n", pango ? "Pango" : "HarfBuzz", run + 1,
                pages, seconds, rates.back());
        }
        std::sort(rates.begin(), rates.end());
        std::sort(milliseconds.begin(), milliseconds.end());
        std::printf("%s median: %.0f pages/s of CPU, %.1f ms for the document\n", pango ? "Pango" : "HarfBuzz",
            rates[1], milliseconds[1]);
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory %.1f MB\n", double(usage.ru_maxrss) / 1024.0);
    return 0;
}
