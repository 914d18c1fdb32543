#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>

using kit::Attributes;
using kit::Range;
using kit::TextStorage;

namespace {

Attributes boldAttributes()
{
    Attributes a;
    a.bold = true;
    return a;
}

// Runs must start at 0, be ordered, be non-empty and never repeat their neighbour's attributes.
void expectRunsConsistent(const TextStorage& storage)
{
    const auto& runs = storage.runs();
    if (storage.length() == 0)
        return;
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().location, 0u);
    for (std::size_t i = 1; i < runs.size(); ++i) {
        EXPECT_LT(runs[i - 1].location, runs[i].location) << "run " << i;
        EXPECT_FALSE(*runs[i - 1].attributes == *runs[i].attributes) << "equal neighbours at run " << i;
    }
    EXPECT_LT(runs.back().location, storage.length());
}

} // namespace

TEST(TextStorage, AppendMergesEqualAttributesAndCountsCharacters)
{
    TextStorage storage;
    storage.append("Hello, ", Attributes {});
    storage.append("world", Attributes {});
    storage.append("!", boldAttributes());
    storage.append("", Attributes {});
    expectRunsConsistent(storage);
    EXPECT_EQ(storage.runs().size(), 2u);
    storage.append("Żółw", boldAttributes());
    EXPECT_EQ(storage.length(), 20u);
    EXPECT_EQ(storage.characterCount(), 17u) << "code points, not bytes";
    Range range;
    EXPECT_TRUE(storage.attributesAt(13, &range).bold);
    EXPECT_EQ(range, (Range { 12, 8 }));
}

TEST(TextStorage, MutationsKeepRunsConsistent)
{
    const struct {
        const char* why;
        Range range;
        std::string expectedText;
        std::size_t expectedRuns;
    } cases[] = {
        { "replace inside one run splits it", { 1, 2 }, "aXYdefgh", 4 },
        { "replace across the run boundary", { 2, 3 }, "abXYfgh", 3 },
        { "replace everything leaves one run", { 0, 8 }, "XY", 1 },
        { "insert at the end", { 8, 0 }, "abcdefghXY", 3 },
        { "range past the end is clipped", { 6, 100 }, "abcdefXY", 3 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TextStorage storage;
        storage.append("abcd", Attributes {});
        storage.append("efgh", boldAttributes());
        Attributes italic;
        italic.italic = true;
        storage.replaceCharacters(c.range, "XY", italic);
        EXPECT_EQ(storage.string(), c.expectedText);
        EXPECT_EQ(storage.runs().size(), c.expectedRuns);
        expectRunsConsistent(storage);
    }
}

TEST(TextStorage, ModifyAttributesMergesNeighboursThatBecomeEqual)
{
    TextStorage storage;
    storage.append("abc", Attributes {});
    storage.append("def", boldAttributes());
    storage.append("ghi", Attributes {});
    storage.modifyAttributes({ 3, 3 }, [](Attributes& a) { a.bold = false; });
    EXPECT_EQ(storage.runs().size(), 1u);
    storage.modifyAttributes({ 4, 1 }, [](Attributes& a) { a.fontSize = 20; });
    EXPECT_EQ(storage.runs().size(), 3u);
    expectRunsConsistent(storage);
    EXPECT_EQ(storage.attributesAt(4).fontSize, 20);
    EXPECT_EQ(storage.attributesAt(5).fontSize, 12);
}

TEST(TextStorage, SubstringAndShallowEqualityOfSharedParts)
{
    TextStorage storage;
    Attributes a;
    a.paragraph = std::make_shared<kit::ParagraphStyle>(kit::ParagraphStyle { .alignment = kit::TextAlignment::Center });
    Attributes b;
    b.paragraph = std::make_shared<kit::ParagraphStyle>(kit::ParagraphStyle { .alignment = kit::TextAlignment::Center });
    storage.append("one\n", a);
    storage.append("two\n", b);
    EXPECT_EQ(storage.runs().size(), 1u) << "equal paragraph styles in different objects are equal attributes";
    TextStorage middle = storage.substring({ 2, 4 });
    EXPECT_EQ(middle.string(), "e\ntw");
    EXPECT_EQ(middle.attributesAt(0).paragraphStyle().alignment, kit::TextAlignment::Center);
}
