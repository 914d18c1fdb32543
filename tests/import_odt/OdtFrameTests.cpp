// Frames anchored to the paragraph, a character or the page float where their graphic style puts them.
#include "OdtBuilder.h"
#include "kit/text/VectorDrawing.h"
#include "support/PngBytes.h"

#include <gtest/gtest.h>

namespace {

using Placement = kit::FloatPlacement;

std::shared_ptr<const kit::Attachment> frameAttachment(const std::string& frameAttributes, const std::string& graphicStyle,
    const std::string& commonStyles = {})
{
    testodt::Parts parts;
    parts.extra.push_back({ "Pictures/photo.png", testsupport::pngBytes(30, 10) });
    parts.automaticStyles = R"(<style:style style:name="fr1" style:family="graphic" style:parent-style-name="Graphics">)"
        + graphicStyle + "</style:style>";
    parts.styles = commonStyles;
    parts.body = R"(<text:p>Before <draw:frame draw:style-name="fr1" svg:width="2in" svg:height="1in" )" + frameAttributes
        + R"(><draw:image xlink:href="Pictures/photo.png"/></draw:frame> after.</text:p>)";
    auto result = testodt::import(parts);
    if (!result.text)
        return nullptr;
    std::size_t at = result.text->string().find(kit::kAttachmentCharacter);
    return at == std::string::npos ? nullptr : result.text->attributesAt(at).attachment;
}

} // namespace

TEST(OdtFrames, AnchoredFramesFloatAsTheirStyleSays)
{
    const std::string graphics = R"(<style:style style:name="Graphics" style:family="graphic"><style:graphic-properties)"
                                 R"( style:wrap="none" style:horizontal-pos="center" style:horizontal-rel="paragraph"/></style:style>)";
    {
        SCOPED_TRACE("paragraph anchor, offsets from the page, wrap on the widest side, margins kept free");
        auto frame = frameAttachment(R"(text:anchor-type="paragraph" svg:x="1in" svg:y="0.5in")",
            R"(<style:graphic-properties style:wrap="dynamic" style:horizontal-pos="from-left" style:horizontal-rel="page")"
            R"( style:vertical-pos="from-top" style:vertical-rel="paragraph" fo:margin-left="0.1in" fo:margin-right="0.2in"/>)",
            graphics);
        ASSERT_TRUE(frame && frame->placement);
        const Placement& p = *frame->placement;
        EXPECT_EQ(p.horizontalFrame, Placement::Frame::Page);
        EXPECT_EQ(p.verticalFrame, Placement::Frame::Paragraph);
        EXPECT_EQ(p.horizontalAlign, Placement::Align::Offset);
        EXPECT_NEAR(p.offset.x, 72, 0.01f);
        EXPECT_NEAR(p.offset.y, 36, 0.01f);
        EXPECT_EQ(p.wrap, Placement::Wrap::Square);
        EXPECT_NEAR(p.distance[1], 7.2f, 0.01f);
        EXPECT_NEAR(p.distance[3], 14.4f, 0.01f);
        EXPECT_EQ(frame->mimeType, "image/png");
    }
    {
        SCOPED_TRACE("what the style leaves out comes from its parent: centred, text above and below");
        auto frame = frameAttachment(R"(text:anchor-type="char")", "", graphics);
        ASSERT_TRUE(frame && frame->placement);
        EXPECT_EQ(frame->placement->horizontalAlign, Placement::Align::Center);
        EXPECT_EQ(frame->placement->horizontalFrame, Placement::Frame::Column);
        EXPECT_EQ(frame->placement->wrap, Placement::Wrap::TopAndBottom) << "ODF's \"none\" leaves both sides empty";
    }
    {
        SCOPED_TRACE("run-through in the background: behind the text, which ignores it");
        auto frame = frameAttachment(R"(text:anchor-type="page")",
            R"(<style:graphic-properties style:wrap="run-through" style:run-through="background" style:vertical-pos="top" style:vertical-rel="page-content"/>)");
        ASSERT_TRUE(frame && frame->placement);
        EXPECT_EQ(frame->placement->wrap, Placement::Wrap::None);
        EXPECT_TRUE(frame->placement->behindText);
        EXPECT_EQ(frame->placement->verticalFrame, Placement::Frame::Margin);
        EXPECT_EQ(frame->placement->verticalAlign, Placement::Align::Start);
        EXPECT_EQ(frame->placement->horizontalFrame, Placement::Frame::Page) << "a page's frame is placed on the page";
    }
    {
        SCOPED_TRACE("as a character, or without an anchor type, the frame stands in its line");
        auto inlined = frameAttachment(R"(text:anchor-type="as-char")", "", graphics);
        ASSERT_TRUE(inlined);
        EXPECT_FALSE(inlined->placement);
        auto unanchored = frameAttachment("", "", graphics);
        ASSERT_TRUE(unanchored);
        EXPECT_FALSE(unanchored->placement);
    }
}

// A frame holding only a text box floats as a frame of the box's paragraphs, which follow the anchor's;
// one in its line (anchored as a character) or one holding a picture too keeps its text in the flow only.
TEST(OdtFrames, FloatingTextBoxesAreFramesOfTheirText)
{
    testodt::Parts parts;
    parts.extra.push_back({ "Pictures/photo.png", testsupport::pngBytes(30, 10) });
    parts.automaticStyles = R"(<style:style style:name="fr1" style:family="graphic"><style:graphic-properties)"
                            R"( style:wrap="parallel" fo:border="1pt solid #ff0000" fo:padding="2pt" draw:fill="none"/></style:style>)";
    auto frame = [](const char* anchor, const char* height, const char* extra, const char* text) {
        return std::string(R"(<draw:frame draw:style-name="fr1" svg:width="2in" )") + height + R"( text:anchor-type=")" + anchor
            + R"(">)" + extra + R"(<draw:text-box fo:min-height="0.5in"><text:p>)" + text + "</text:p></draw:text-box></draw:frame>";
    };
    parts.body = "<text:p>Anchor " + frame("paragraph", "", "", "Floating") + "</text:p><text:p>"
        + frame("as-char", R"(svg:height="1in")", "", "In line") + "</text:p><text:p>"
        + frame("paragraph", R"(svg:height="1in")", R"(<draw:image xlink:href="Pictures/photo.png"/>)", "Captioned")
        + "</text:p>" + frame("paragraph", "", "", "Between") + "<text:p>End</text:p>";
    auto result = testodt::import(parts);
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const std::string& text = result.text->string();
    const auto& frames = result.text->pageSetup()->frames;
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(text.substr(frames[1].text.location, frames[1].text.length), "Between\n");
    EXPECT_EQ(frames[1].anchor, text.find("End")) << "a frame between paragraphs goes with the next one";
    EXPECT_EQ(text.substr(frames[0].text.location, frames[0].text.length), "Floating\n");
    EXPECT_EQ(frames[0].anchor, 7u);
    const kit::Attachment& box = *frames[0].box;
    ASSERT_TRUE(box.placement && box.drawing);
    EXPECT_NEAR(box.size.width, 144, 0.01f);
    EXPECT_NEAR(box.size.height, 36, 0.01f) << "the text box's least height where the frame gives none";
    EXPECT_TRUE(frames[0].growsWithText);
    ASSERT_EQ(box.drawing->shapes.size(), 1u);
    EXPECT_FALSE(box.drawing->shapes[0].fill) << "draw:fill=\"none\"";
    ASSERT_TRUE(box.drawing->shapes[0].stroke);
    EXPECT_EQ(box.drawing->shapes[0].stroke->rgba(), kit::Color::calibratedRGB(1, 0, 0).rgba());
    EXPECT_NEAR(frames[0].insets[1], 3, 0.01f) << "padding and border";
    EXPECT_NE(text.find("In line\n"), std::string::npos);
    EXPECT_NE(text.find("Captioned\n"), std::string::npos);
}
