#include "import/odt/OdtFrames.h"

#include "import/common/FloatingObject.h"
#include "import/package/OfficeUnits.h"

#include <algorithm>
#include <string_view>

namespace importer::odt {

namespace {

using Align = kit::FloatPlacement::Align;
using Frame = kit::FloatPlacement::Frame;
using Wrap = kit::FloatPlacement::Wrap;

float offset(pugi::xml_node frame, const char* name)
{
    auto value = parseLength(frame.attribute(name).value());
    return value ? std::clamp(*value, -31680.0f, 31680.0f) : 0;
}

Align alignment(const std::optional<std::string>& position)
{
    return position ? floatAlignmentNamed(*position) : Align::Offset;
}

} // namespace

std::optional<kit::FloatPlacement> framePlacement(pugi::xml_node frame, const GraphicProperties& graphic)
{
    std::string_view anchor = frame.attribute("text:anchor-type").value();
    if (anchor != "paragraph" && anchor != "char" && anchor != "page" && anchor != "frame")
        return std::nullopt;
    kit::FloatPlacement placement;
    bool onPage = anchor == "page";
    auto frameFor = [&](const std::optional<std::string>& relation, bool across) {
        std::string_view r = relation ? std::string_view(*relation) : std::string_view(onPage ? "page" : "paragraph");
        if (r == "page" || r == "page-start-margin" || r == "page-end-margin" || r == "page-start" || r == "page-end")
            return Frame::Page;
        if (r == "page-content" || r == "page-content-top" || r == "page-content-bottom")
            return Frame::Margin;
        return across ? Frame::Column : Frame::Paragraph;
    };
    placement.horizontalFrame = frameFor(graphic.horizontalRel, true);
    placement.verticalFrame = frameFor(graphic.verticalRel, false);
    placement.horizontalAlign = alignment(graphic.horizontalPos);
    placement.verticalAlign = alignment(graphic.verticalPos);
    placement.offset = { offset(frame, "svg:x"), offset(frame, "svg:y") };

    // "none" keeps text off both sides (above and below only); "run-through" lets it run over the frame.
    std::string_view wrap = graphic.wrap ? std::string_view(*graphic.wrap) : std::string_view("parallel");
    if (wrap == "none")
        placement.wrap = Wrap::TopAndBottom;
    else if (wrap == "run-through")
        placement.wrap = Wrap::None;
    else
        placement.wrap = Wrap::Square;
    placement.behindText = placement.wrap == Wrap::None && graphic.runThrough && *graphic.runThrough == "background";
    for (std::size_t i = 0; i < 4; ++i)
        placement.distance[i] = graphic.margins[i].value_or(0);
    return placement;
}

kit::VectorDrawing frameBoxDrawing(const GraphicProperties& graphic, kit::Size size)
{
    std::optional<kit::Color> fill = graphic.background ? *graphic.background : std::nullopt;
    bool outlined = graphic.border && graphic.border->style != kit::LineStyle::None && graphic.border->width > 0;
    return textBoxDrawing(size, fill, outlined ? std::optional<kit::Color>(graphic.border->color) : std::nullopt,
        outlined ? std::min(graphic.border->width, 20.0f) : 0);
}

std::array<float, 4> frameInsets(const GraphicProperties& graphic)
{
    float border = graphic.border && graphic.border->style != kit::LineStyle::None ? std::min(graphic.border->width, 20.0f) : 0;
    std::array<float, 4> insets {};
    for (std::size_t i = 0; i < 4; ++i)
        insets[i] = graphic.padding[i].value_or(0) + border;
    return insets;
}

} // namespace importer::odt
