// Floating pictures in RTF: shapes (\shp) that say where their picture floats, read from what Word writes
// and kept through our own writer and reader, as the print path's copy needs; drawings travel as pictures.
#include "import/rtf/RtfImporter.h"
#include "kit/text/TextStorage.h"
#include "kit/text/VectorDrawing.h"
#include "support/Drawings.h"
#include "support/PngBytes.h"

#include <gtest/gtest.h>

namespace {

using Placement = kit::FloatPlacement;

std::shared_ptr<const kit::Attachment> onlyAttachment(const std::string& rtf)
{
    auto result = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() });
    if (!result.text)
        return nullptr;
    std::size_t at = result.text->string().find(kit::kAttachmentCharacter);
    EXPECT_NE(at, std::string::npos) << rtf;
    return at == std::string::npos ? nullptr : result.text->attributesAt(at).attachment;
}

std::string hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes)
        out += { digits[c >> 4], digits[c & 15] };
    return out;
}

} // namespace

TEST(RtfShapes, WordsShapesFloatWhereTheirWordsAndPropertiesSay)
{
    std::string picture = "{\\pict\\pngblip\\picw40\\pich20\\picwgoal2000\\pichgoal1000 " + hex(testsupport::pngBytes(40, 20)) + "}";
    std::string shape = "{\\rtf1\\ansi Text {\\shp{\\*\\shpinst\\shpleft1440\\shptop-200\\shpright3440\\shpbottom800"
                        "\\shpbxpage\\shpbxignore\\shpbypara\\shpwr2\\shpwrk0\\shpfblwtxt0"
                        "{\\sp{\\sn posh}{\\sv 3}}{\\sp{\\sn posrelh}{\\sv 0}}{\\sp{\\sn dxWrapDistLeft}{\\sv 114300}}"
                        "{\\sp{\\sn pib}{\\sv " + picture + "}}}{\\shprslt " + picture + "}} after.\\par}";
    auto floating = onlyAttachment(shape);
    ASSERT_TRUE(floating);
    ASSERT_TRUE(floating->placement) << "the picture of a shape with a rectangle floats";
    const Placement& p = *floating->placement;
    EXPECT_EQ(p.horizontalFrame, Placement::Frame::Margin) << "posrelh overrides the \\shpbx word";
    EXPECT_EQ(p.horizontalAlign, Placement::Align::End);
    EXPECT_EQ(p.verticalFrame, Placement::Frame::Paragraph);
    EXPECT_EQ(p.offset, (kit::Point { 72, -10 }));
    EXPECT_EQ(p.wrap, Placement::Wrap::Square);
    EXPECT_FALSE(p.behindText);
    EXPECT_NEAR(p.distance[1], 9, 0.01f);
    EXPECT_EQ(floating->size, (kit::Size { 100, 50 }));

    // The same picture as a plain \shppict stands in its line; so does a shape without a rectangle.
    EXPECT_FALSE(onlyAttachment("{\\rtf1 {\\*\\shppict" + picture + "}\\par}")->placement);
    EXPECT_FALSE(onlyAttachment("{\\rtf1 {\\shp{\\*\\shpinst{\\sp{\\sn pib}{\\sv " + picture + "}}}}\\par}")->placement);
    // A picture after the shape's group is not the shape's.
    std::string after = "{\\rtf1 {\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright100\\shpbottom100}}" + picture + "\\par}";
    EXPECT_FALSE(onlyAttachment(after)->placement);
}

TEST(RtfShapes, FloatsAndDrawingsSurviveOurOwnCopy)
{
    using Frame = Placement::Frame;
    using Align = Placement::Align;
    using Wrap = Placement::Wrap;
    struct Row {
        Frame across, down;
        Align alignAcross, alignDown;
        Wrap wrap;
        bool behind;
    };
    const Row rows[] = {
        { Frame::Page, Frame::Paragraph, Align::Offset, Align::Offset, Wrap::Square, false },
        { Frame::Margin, Frame::Page, Align::Center, Align::End, Wrap::TopAndBottom, false },
        { Frame::Column, Frame::Margin, Align::Start, Align::Start, Wrap::None, true },
    };
    for (const Row& row : rows) {
        Placement placement;
        placement.horizontalFrame = row.across;
        placement.verticalFrame = row.down;
        placement.horizontalAlign = row.alignAcross;
        placement.verticalAlign = row.alignDown;
        placement.offset = { 36.5f, -12 };
        placement.wrap = row.wrap;
        placement.behindText = row.behind;
        placement.distance = { 1, 2, 3, 4 };
        kit::TextStorage storage;
        kit::Attributes a;
        a.attachment = testsupport::filledBox({ 80, 40 }, kit::Color::calibratedRGB(0, 0.5f, 0), placement);
        storage.append("Before ", kit::Attributes {});
        storage.append(kit::kAttachmentCharacter, a);
        storage.append(" after\n", kit::Attributes {});
        auto back = onlyAttachment(storage.rtfFromRange({ 0, storage.length() }));
        ASSERT_TRUE(back);
        ASSERT_TRUE(back->placement);
        EXPECT_EQ(*back->placement, placement);
        EXPECT_EQ(back->size, (kit::Size { 80, 40 }));
        EXPECT_EQ(back->mimeType, "image/png") << "the drawing arrives as its picture";
        EXPECT_FALSE(back->bytes.empty());
    }
}
