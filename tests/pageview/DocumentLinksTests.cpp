#include "kit/text/TextStorage.h"
#include "pageview/DocumentLinks.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

namespace {

kit::Attributes headingAttributes(int level)
{
    kit::ParagraphStyle style;
    style.outlineLevel = std::uint8_t(level);
    kit::Attributes attributes;
    attributes.paragraph = std::make_shared<const kit::ParagraphStyle>(style);
    return attributes;
}

} // namespace

// Links inside a document name a bookmark, or (Word's outline targets, and documents written by hand) the
// text of a heading; either way the link goes to its target's first character.
TEST(DocumentLinks, FindBookmarksAndHeadingsByName)
{
    kit::TextStorage text;
    kit::Attributes bookmarked;
    bookmarked.anchor = "_Toc42";
    text.append("Preface paragraph.\n", kit::Attributes {});
    kit::Attributes label = headingAttributes(1);
    label.listLabel = true;
    text.append("2.1\t", label);
    text.append("Methods  and\tMaterials\n", headingAttributes(1));
    text.append("Body text that mentions Results.\n", kit::Attributes {});
    text.append("Results\n", headingAttributes(2));
    text.append("Marked place\n", bookmarked);
    kit::Attributes alsoNamedResults;
    alsoNamedResults.anchor = "Results";
    text.append("A bookmark called Results\n", alsoNamedResults);
    const std::string& string = text.string();
    std::size_t methods = string.find("2.1"), results = string.find("Results\n"), marked = string.find("Marked");
    std::size_t namedResults = string.find("A bookmark");

    const testsupport::Case<std::string, std::optional<std::size_t>> cases[] = {
        { "#_Toc42", marked, "a bookmark" },
        { "#_toc42", std::nullopt, "bookmark names are exact; no heading reads so" },
        { "#Methods and Materials|outline", methods, "Word's outline target: white space collapsed, label left out" },
        { "#2.1 Methods and Materials|outline", methods, "or with its label" },
        { "#methods AND materials|Outline", methods, "letter case ignored" },
        { "#Results|outline", results, "an outline target is a heading even where a bookmark has the name" },
        { "#Results", namedResults, "a bookmark comes before a heading of the same text" },
        { "#Methods%20and%20Materials", methods, "a name no bookmark has: the heading of that text" },
        { "#Discussion|outline", std::nullopt, "no such heading" },
        { "#Body text that mentions Results.", std::nullopt, "only headings are targets" },
        { "#|outline", std::nullopt, "an empty heading name" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(DocumentLinks::actionForURL(c.input), DocumentLinks::Action::GoToBookmark);
        EXPECT_EQ(DocumentLinks::bookmarkLocation(text, DocumentLinks::bookmarkName(c.input)), c.expected) << c.input;
    }
}
