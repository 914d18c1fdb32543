#include "import/package/OdfBorder.h"
#include "import/package/OfficeUnits.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>

namespace {

using kit::LineStyle;
using Drawn = std::optional<std::pair<LineStyle, float>>; // nullopt: not given

Drawn drawn(std::string_view text)
{
    auto border = importer::parseOdfBorder(text);
    if (!border)
        return std::nullopt;
    return std::make_pair(border->style, border->width);
}

// OpenDocument files and the documents librevenge hands over in OpenDocument's terms read borders by one rule.
TEST(OdfBorder, ReadsTheShorthandInAnyOrder)
{
    const testsupport::Case<const char*, Drawn> cases[] = {
        { "0.5pt solid #000000", std::pair { LineStyle::Single, 0.5f }, "width, style, colour" },
        { "#000000 solid 0.5pt", std::pair { LineStyle::Single, 0.5f }, "in any order" },
        { "  0.0625in   double  ", std::pair { LineStyle::Double, 4.5f }, "extra spaces; inches" },
        { "1pt dotted", std::pair { LineStyle::Single, 1.0f }, "a dotted line is drawn plain" },
        { "thick solid", std::pair { LineStyle::Single, 3.0f }, "a width keyword" },
        { "none", std::pair { LineStyle::None, 0.0f }, "none" },
        { "0.5pt hidden #000000", std::pair { LineStyle::None, 0.0f }, "hidden anywhere hides it" },
        { "", std::nullopt, "empty: not given, the parent style's border holds" },
    };
    testsupport::expectEach(cases, [](const char* text) { return drawn(text); });
}

// Where the two readers used to part: the rule both follow now.
TEST(OdfBorder, FillsWhatTheShorthandLeavesOut)
{
    const testsupport::Case<const char*, Drawn> cases[] = {
        { "2pt #ff0000", std::pair { LineStyle::Single, 2.0f }, "a width without a style: a plain line" },
        { "solid #000000", std::pair { LineStyle::Single, 0.75f }, "a style without a width: a thin line" },
        { "0pt solid", std::pair { LineStyle::Single, 0.75f }, "a zero width with a style: a thin line" },
        { "1in solid", std::pair { LineStyle::Single, 12.0f }, "widths stop at 12 pt" },
        { "1pt windowtext solid", std::pair { LineStyle::Single, 1.0f }, "an unknown word is ignored" },
        { "windowtext", std::pair { LineStyle::None, 0.0f }, "nothing known: no line" },
    };
    testsupport::expectEach(cases, [](const char* text) { return drawn(text); });
}

TEST(OdfBorder, KeepsTheColour)
{
    auto border = importer::parseOdfBorder("0.5pt solid #0000ff");
    ASSERT_TRUE(border);
    EXPECT_EQ(border->color, importer::parseHexColor("#0000ff"));
}

} // namespace
