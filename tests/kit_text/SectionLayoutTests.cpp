// How a section places its body on the page: vertically aligned in the room it does not fill.
#include "kit/text/DocumentPages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>

namespace {

// Pages of 400 x 300 points whose text area is 300 x 200, in the sections given.
struct SectionPages {
    std::shared_ptr<kit::TextStorage> body = std::make_shared<kit::TextStorage>();
    std::shared_ptr<kit::PageSetup> setup = std::make_shared<kit::PageSetup>();
    kit::LayoutManager layout;
    std::unique_ptr<kit::DocumentPages> pages;

    static kit::PageSection section(int columns = 1)
    {
        kit::PageSection section;
        section.paperSize = { 400, 300 };
        section.margins = { 50, 50, 50, 50, 20, 20, 0 };
        section.columnCount = columns;
        section.columnSpacing = 20;
        return section;
    }
    void lay(std::vector<kit::PageSection> sections)
    {
        setup->sections = std::move(sections);
        body->setPageSetup(setup);
        pages = std::make_unique<kit::DocumentPages>(setup);
        layout.replaceTextStorage(body);
        pages->paginate(layout);
    }
    std::vector<kit::LayoutManager::LineFragment> lines(std::size_t page)
    {
        return layout.lineFragmentsForTextContainer(*layout.textContainers().at(page));
    }
};

kit::Attributes paragraphAttributes(float spacingAfter = 0)
{
    kit::ParagraphStyle style;
    style.spacingAfter = spacingAfter;
    kit::Attributes attributes;
    attributes.paragraph = std::make_shared<const kit::ParagraphStyle>(style);
    return attributes;
}

TEST(SectionLayout, VerticalAlignmentPlacesTheBodyInTheRoomItLeaves)
{
    // Three one-line paragraphs on a 200-point body; a second page of forty more paragraphs.
    auto build = [](kit::VerticalAlignment alignment, bool longer) {
        auto pages = std::make_unique<SectionPages>();
        int count = longer ? 40 : 3;
        for (int i = 0; i < count; ++i)
            pages->body->append("Paragraph " + std::to_string(i) + "\n", paragraphAttributes());
        kit::PageSection section = SectionPages::section();
        section.verticalAlignment = alignment;
        pages->lay({ section });
        return pages;
    };
    auto top = build(kit::VerticalAlignment::Top, false);
    auto topLines = top->lines(0);
    ASSERT_EQ(topLines.size(), 3u);
    const float used = topLines.back().rect.maxY();
    EXPECT_LT(topLines.front().rect.y(), 0.5f);

    const struct {
        kit::VerticalAlignment alignment;
        float firstTop;
        const char* why;
    } cases[] = {
        { kit::VerticalAlignment::Center, (200 - used) / 2, "centred: half the room above" },
        { kit::VerticalAlignment::Bottom, 200 - used, "at the bottom: all the room above" },
        { kit::VerticalAlignment::Justified, 0, "justified, on the section's last page: at the top" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto aligned = build(c.alignment, false);
        auto lines = aligned->lines(0);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_NEAR(lines.front().rect.y(), c.firstTop, 0.01);
        EXPECT_NEAR(lines[1].rect.y() - lines[0].rect.y(), topLines[1].rect.y() - topLines[0].rect.y(), 0.01)
            << "the lines keep their distances";
        kit::Point inside { lines[1].rect.x() + 0.1f, lines[1].rect.midY() };
        auto hit = aligned->layout.characterIndexForPoint(inside, *aligned->layout.textContainers().front());
        EXPECT_EQ(hit, lines[1].range.location) << "a click finds the line where it is drawn";
    }

    // Justified, on a page the text runs on from: the paragraphs spread so the last reaches the foot, the
    // first stays at the top.
    auto spread = build(kit::VerticalAlignment::Justified, true);
    ASSERT_GE(spread->pages->pages().size(), 2u);
    auto first = spread->lines(0);
    auto plain = build(kit::VerticalAlignment::Top, true);
    auto unspread = plain->lines(0);
    ASSERT_EQ(first.size(), unspread.size()) << "the same lines on the page";
    EXPECT_LT(first.front().rect.y(), 0.5f);
    EXPECT_NEAR(first.back().rect.maxY(), 200, 0.01);
    EXPECT_GT(first.back().rect.maxY() - unspread.back().rect.maxY(), 0.01) << "there was room to spread";
    for (std::size_t i = 1; i < first.size(); ++i)
        EXPECT_GT(first[i].rect.y(), first[i - 1].rect.y());
}

} // namespace
