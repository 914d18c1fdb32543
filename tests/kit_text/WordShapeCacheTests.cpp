#include "kit/text/WordShapeCache.h"

#include <gtest/gtest.h>
#include <string>

using kit::WordShapeCache;

// Many words over several fonts, through every growth of the table: each (font, word) finds its own
// widths, the same bytes under another font are another entry, and words that are prefixes of one
// another never match each other.
TEST(WordShapeCache, KeepsEveryFontAndWordApartThroughGrowth)
{
    WordShapeCache cache;
    auto key = [](int i) { return std::string(std::size_t(1 + i % 7), char('a' + i % 26)) + std::to_string(i / 3); };
    for (int i = 0; i < 20000; ++i) {
        std::string word = key(i);
        for (std::uint32_t font : { 2u, 3u }) {
            ASSERT_EQ(cache.find(font, word, WordShapeCache::hash(font, word)), nullptr) << word;
            cache.insert(font, word, WordShapeCache::hash(font, word), { i, -int(font), i % 5 });
        }
    }
    EXPECT_EQ(cache.size(), 40000u);
    for (int i = 0; i < 20000; ++i) {
        std::string word = key(i);
        for (std::uint32_t font : { 2u, 3u }) {
            const WordShapeCache::Widths* found = cache.find(font, word, WordShapeCache::hash(font, word));
            ASSERT_NE(found, nullptr) << word;
            EXPECT_EQ(found->advance, i);
            EXPECT_EQ(found->kernBefore, -int(font));
        }
    }
    std::string prefix = key(8).substr(0, key(8).size() - 1);
    EXPECT_EQ(cache.find(2, prefix, WordShapeCache::hash(2, prefix)), nullptr);
    EXPECT_EQ(cache.find(4, key(8), WordShapeCache::hash(4, key(8))), nullptr) << "a font never seen";
    cache.clear();
    EXPECT_EQ(cache.find(2, key(8), WordShapeCache::hash(2, key(8))), nullptr);
}
