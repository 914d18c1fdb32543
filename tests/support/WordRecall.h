#pragma once

// Word-level comparison of an importer's text with an independent reading of the same document: which words
// of the expected text appear in the imported text, in order (a longest common subsequence of words).
// Header-only: the corpus tests of each package format use it.

#include "import/Importer.h"
#include "import/common/Dump.h"
#include "kit/foundation/Utf8.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wordrecall {

inline bool isWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (c <= 0xBF || c == 0xD7 || c == 0xF7 || c == 0xFEFF)
        return false; // Latin-1 punctuation and signs, the byte-order mark
    if ((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xFE30 && c <= 0xFE4F)
        || (c >= 0xFF00 && c <= 0xFF0F) || c >= 0xFFF0)
        return false; // punctuation, symbols, private use, specials (U+FFFC)
    return true;
}

// Words as Python's \w+ finds them (near enough), ASCII letters folded to lower case, soft hyphens ignored.
inline std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> out;
    std::string current;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = kit::decodeUtf8(text, i);
        if (c == 0xAD) {
            // A soft hyphen is invisible inside its word.
        } else if (isWordCharacter(c)) {
            kit::appendUtf8(current, c >= 'A' && c <= 'Z' ? c + 32 : c);
        } else if (!current.empty()) {
            out.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty())
        out.push_back(std::move(current));
    return out;
}

// Marks which words of expected are matched, in order, by words of actual. Exact dynamic programming where
// the problem is small; on long texts, words that occur once in both anchor the alignment first (as
// patience diff does), which yields a common subsequence that may fall short of the longest one but never
// counts a word that is not there.
class Aligner {
public:
    Aligner(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
    {
        std::unordered_map<std::string, int> ids;
        auto idOf = [&](const std::string& word) { return ids.emplace(word, int(ids.size())).first->second; };
        for (const auto& word : expected)
            m_a.push_back(idOf(word));
        for (const auto& word : actual)
            m_b.push_back(idOf(word));
        m_matched.assign(m_a.size(), false);
        align(0, m_a.size(), 0, m_b.size(), 0);
    }
    const std::vector<bool>& matched() const { return m_matched; }
    std::size_t matchedCount() const { return std::size_t(std::count(m_matched.begin(), m_matched.end(), true)); }

private:
    void align(std::size_t a0, std::size_t a1, std::size_t b0, std::size_t b1, int depth)
    {
        while (a0 < a1 && b0 < b1 && m_a[a0] == m_b[b0])
            m_matched[a0++] = true, ++b0;
        while (a0 < a1 && b0 < b1 && m_a[a1 - 1] == m_b[b1 - 1])
            m_matched[--a1] = true, --b1;
        if (a0 == a1 || b0 == b1)
            return;
        std::size_t n = a1 - a0, m = b1 - b0;
        if (n * m <= 4000000) {
            exact(a0, a1, b0, b1);
            return;
        }
        // Anchors: words found exactly once in each range, in increasing order in both.
        std::unordered_map<int, std::pair<int, std::size_t>> inA, inB; // id → (count, position)
        for (std::size_t i = a0; i < a1; ++i) {
            auto& entry = inA[m_a[i]];
            ++entry.first;
            entry.second = i;
        }
        for (std::size_t j = b0; j < b1; ++j) {
            auto& entry = inB[m_b[j]];
            ++entry.first;
            entry.second = j;
        }
        std::vector<std::pair<std::size_t, std::size_t>> pairs;
        for (std::size_t i = a0; i < a1; ++i) {
            auto a = inA.find(m_a[i]);
            auto b = inB.find(m_a[i]);
            if (a->second.first == 1 && b != inB.end() && b->second.first == 1)
                pairs.push_back({ i, b->second.second });
        }
        std::vector<std::pair<std::size_t, std::size_t>> anchors = increasing(pairs);
        if (anchors.empty() || depth > 64) {
            greedy(a0, a1, b0, b1);
            return;
        }
        std::size_t lastA = a0, lastB = b0;
        for (auto [i, j] : anchors) {
            align(lastA, i, lastB, j, depth + 1);
            m_matched[i] = true;
            lastA = i + 1;
            lastB = j + 1;
        }
        align(lastA, a1, lastB, b1, depth + 1);
    }

    // The longest run of pairs increasing in the second element (pairs come sorted by the first).
    static std::vector<std::pair<std::size_t, std::size_t>> increasing(const std::vector<std::pair<std::size_t, std::size_t>>& pairs)
    {
        std::vector<std::size_t> tails, previous(pairs.size(), SIZE_MAX);
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            auto it = std::lower_bound(tails.begin(), tails.end(), pairs[k].second,
                [&](std::size_t index, std::size_t value) { return pairs[index].second < value; });
            if (it != tails.begin())
                previous[k] = *(it - 1);
            if (it == tails.end())
                tails.push_back(k);
            else
                *it = k;
        }
        std::vector<std::pair<std::size_t, std::size_t>> out;
        for (std::size_t k = tails.empty() ? SIZE_MAX : tails.back(); k != SIZE_MAX; k = previous[k])
            out.push_back(pairs[k]);
        std::reverse(out.begin(), out.end());
        return out;
    }

    void exact(std::size_t a0, std::size_t a1, std::size_t b0, std::size_t b1)
    {
        std::size_t n = a1 - a0, m = b1 - b0;
        std::vector<std::uint16_t> table((n + 1) * (m + 1), 0);
        auto at = [&](std::size_t i, std::size_t j) -> std::uint16_t& { return table[i * (m + 1) + j]; };
        for (std::size_t i = n; i-- > 0;) {
            for (std::size_t j = m; j-- > 0;)
                at(i, j) = m_a[a0 + i] == m_b[b0 + j] ? std::uint16_t(at(i + 1, j + 1) + 1) : std::max(at(i + 1, j), at(i, j + 1));
        }
        std::size_t i = 0, j = 0;
        while (i < n && j < m) {
            if (m_a[a0 + i] == m_b[b0 + j]) {
                m_matched[a0 + i] = true;
                ++i, ++j;
            } else if (at(i + 1, j) >= at(i, j + 1)) {
                ++i;
            } else {
                ++j;
            }
        }
    }

    void greedy(std::size_t a0, std::size_t a1, std::size_t b0, std::size_t b1)
    {
        std::unordered_map<int, std::vector<std::size_t>> positions;
        for (std::size_t j = b0; j < b1; ++j)
            positions[m_b[j]].push_back(j);
        std::size_t next = b0;
        for (std::size_t i = a0; i < a1; ++i) {
            auto it = positions.find(m_a[i]);
            if (it == positions.end())
                continue;
            auto found = std::lower_bound(it->second.begin(), it->second.end(), next);
            if (found == it->second.end())
                continue;
            m_matched[i] = true;
            next = *found + 1;
        }
    }

    std::vector<int> m_a, m_b;
    std::vector<bool> m_matched;
};

// The words of expected that actual misses, grouped into stretches with their position, for failure messages.
inline std::string describeMisses(const std::vector<std::string>& expected, const std::vector<bool>& matched)
{
    std::string out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (matched[i])
            continue;
        if (i == 0 || matched[i - 1])
            out += "\n  at word " + std::to_string(i) + ":";
        out += " " + expected[i];
    }
    return out;
}

// Share of expected's words found in actual regardless of order (the reference tool's "recall").
inline double bagRecall(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
{
    if (expected.empty())
        return 1;
    std::unordered_map<std::string, long> counts;
    for (const auto& word : actual)
        ++counts[word];
    std::size_t found = 0;
    for (const auto& word : expected) {
        auto it = counts.find(word);
        if (it != counts.end() && it->second > 0) {
            --it->second;
            ++found;
        }
    }
    return double(found) / double(expected.size());
}

// Checks that the imported text holds the words of an independent reading of the same document in their order,
// at least minimum of them; prints the figures, and the words missed on failure or with LECTORIN_SHOW_MISSES.
inline void expectWordsInOrder(const std::string& name, std::string_view independentText, std::string_view importedText,
    double minimum = 0.99)
{
    auto expected = words(independentText);
    Aligner aligner(expected, words(importedText));
    double recall = expected.empty() ? 1 : double(aligner.matchedCount()) / double(expected.size());
    std::printf("%-55s words %6zu  in order %.4f\n", name.c_str(), expected.size(), recall);
    if (std::getenv("LECTORIN_SHOW_MISSES"))
        std::printf("%s\n", describeMisses(expected, aligner.matched()).c_str());
    EXPECT_GE(recall, minimum) << "missed words:" << describeMisses(expected, aligner.matched());
}

// The reference text of a corpus document (another word processor's text export), when there is one.
inline std::optional<std::string> referenceText(const std::filesystem::path& document)
{
    auto path = std::filesystem::path(LECTORIN_CORPUS_REFERENCE_DIR) / (document.filename().string() + ".txt");
    if (!std::filesystem::exists(path))
        return std::nullopt;
    return testsupport::readText(path);
}

// Checks the share of the reference text's words found anywhere in the imported text, and prints it with the
// share found in order.
inline void expectReferenceRecall(const std::string& name, std::string_view reference, std::string_view importedText,
    double minimum)
{
    auto expected = words(reference);
    auto actual = words(importedText);
    double recall = bagRecall(expected, actual);
    Aligner aligner(expected, actual);
    double ordered = expected.empty() ? 1 : double(aligner.matchedCount()) / double(expected.size());
    std::printf("%-55s reference words %6zu  recall %.4f  in order %.4f\n", name.c_str(), expected.size(), recall, ordered);
    EXPECT_GE(recall, minimum);
}

// Checks the reference recall of every corpus file with one of these extensions that has a reference text;
// Returns how many were compared.
inline std::size_t expectReferenceRecallOfCorpus(const std::vector<std::string>& extensions,
    const std::function<importer::ImportResult(const std::filesystem::path&)>& importFile, double minimum)
{
    std::size_t compared = 0;
    for (const auto& path : testsupport::corpusFiles(extensions)) {
        auto reference = referenceText(path);
        if (!reference)
            continue;
        std::string name = path.filename().string();
        SCOPED_TRACE(name);
        auto result = importFile(path);
        EXPECT_TRUE(result.text) << errorText(result.error);
        if (!result.text)
            continue;
        expectReferenceRecall(name, *reference, importer::plainText(*result.text), minimum);
        ++compared;
    }
    return compared;
}

} // namespace wordrecall
