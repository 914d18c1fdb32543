#include "import/common/OutputBudget.h"

#include <gtest/gtest.h>

namespace {

struct FakeResult {
    std::shared_ptr<kit::TextStorage> text;
    importer::ImportError error = importer::ImportError::None;
};

} // namespace

TEST(OutputBudget, ChargesUpToTheLimitAndNotPast)
{
    const struct {
        std::size_t first, second;
        bool secondFits;
        const char* why;
    } cases[] = {
        { 99, 0, true, "under the limit" },
        { 60, 40, true, "exactly the limit is still within it" },
        { 60, 41, false, "one byte past the limit" },
        { 100, SIZE_MAX, false, "a charge that would wrap around" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::OutputBudget budget(100);
        EXPECT_TRUE(budget.charge(c.first));
        EXPECT_EQ(budget.charge(c.second), c.secondFits);
        EXPECT_EQ(budget.isExhausted(), !c.secondFits);
        if (!c.secondFits) {
            EXPECT_FALSE(budget.charge(0)) << "once spent, always spent";
        }
    }
}

TEST(OutputBudget, AppendsOnlyWhatTheBudgetAllows)
{
    importer::OutputBudget budget(1000);
    kit::TextStorage storage;
    kit::Attributes bold;
    bold.bold = true;
    EXPECT_TRUE(budget.append(storage, "plain ", kit::Attributes {}));
    std::size_t afterOneRun = budget.used();
    EXPECT_GT(afterOneRun, std::size_t(6)) << "a new run costs its attributes too";
    EXPECT_TRUE(budget.append(storage, "more ", kit::Attributes {}));
    EXPECT_EQ(budget.used(), afterOneRun + 5) << "text that joins the last run costs its bytes only";
    EXPECT_TRUE(budget.append(storage, "bold", bold));
    EXPECT_FALSE(budget.append(storage, std::string(1000, 'x'), kit::Attributes {}));
    EXPECT_EQ(storage.string(), "plain more bold") << "nothing past the budget is appended";
    EXPECT_FALSE(budget.append(storage, "y", kit::Attributes {}));
    EXPECT_EQ(storage.string(), "plain more bold");
}

TEST(OutputBudget, NestedImportsShareTheOutermostBudget)
{
    auto outer = importer::importWithBudget([] {
        importer::OutputBudget& budget = importer::OutputBudget::current();
        EXPECT_TRUE(budget.charge(importer::OutputBudget::kDefaultLimit - 10));
        auto inner = importer::importWithBudget([&] {
            EXPECT_EQ(&importer::OutputBudget::current(), &budget) << "a nested import joins";
            importer::OutputBudget::current().charge(11);
            return FakeResult { std::make_shared<kit::TextStorage>("inner") };
        });
        EXPECT_TRUE(inner.text) << "the nested import leaves the verdict to the outer one";
        EXPECT_EQ(inner.error, importer::ImportError::None);
        return FakeResult { std::make_shared<kit::TextStorage>("outer") };
    });
    EXPECT_FALSE(outer.text);
    EXPECT_EQ(outer.error, importer::ImportError::TooLarge);

    auto next = importer::importWithBudget([] {
        EXPECT_EQ(importer::OutputBudget::current().used(), 0u) << "the next import starts afresh";
        return FakeResult { std::make_shared<kit::TextStorage>("next") };
    });
    EXPECT_TRUE(next.text);
}

TEST(OutputBudget, LabelTemplatesAreCutOnCharacterBoundaries)
{
    std::string bullets;
    for (int i = 0; i < 100; ++i)
        bullets += "\xE2\x80\xA2";
    const struct {
        std::string input, expected;
        const char* why;
    } cases[] = {
        { "%1.", "%1.", "short templates are kept" },
        { std::string(64, 'a'), std::string(64, 'a'), "exactly the cap" },
        { std::string(65, 'a'), std::string(64, 'a'), "one past the cap" },
        { bullets, bullets.substr(0, 64 * 3), "three-byte characters are counted as characters" },
        { std::string(63, 'a') + "\xF0\x9F\x98\x80" + "b", std::string(63, 'a') + "\xF0\x9F\x98\x80", "a four-byte character is kept whole" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(importer::cappedLabelTemplate(c.input), c.expected);
    }
}
