#pragma once

#include "kit/text/Attributes.h"
#include "kit/text/VectorDrawing.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

namespace importer {

// A floating object's alignment as the package formats name it (DrawingML's wp:align, VML's
// mso-position-horizontal, ODF's style:horizontal-pos): left, top and inside start; center and middle
// centre; right, bottom and outside end; anything else (from-left, absolute...) places it by its offset.
inline kit::FloatPlacement::Align floatAlignmentNamed(std::string_view name)
{
    using Align = kit::FloatPlacement::Align;
    if (name == "left" || name == "top" || name == "inside")
        return Align::Start;
    if (name == "center" || name == "middle")
        return Align::Center;
    if (name == "right" || name == "bottom" || name == "outside")
        return Align::End;
    return Align::Offset;
}

// A copy of an attachment that floats as placement says (attachments are shared and immutable).
inline std::shared_ptr<const kit::Attachment> floatingCopy(const kit::Attachment& attachment, kit::FloatPlacement placement)
{
    auto floating = std::make_shared<kit::Attachment>(attachment);
    floating->placement = placement;
    return floating;
}

// What a text box draws behind its text: a rectangle of its size with this fill and outline, the outline inset
// by half its width so that it stays inside the box; no shape at all when it has neither.
inline kit::VectorDrawing textBoxDrawing(
    kit::Size size, std::optional<kit::Color> fill, std::optional<kit::Color> outline, float outlineWidth)
{
    kit::VectorDrawing drawing;
    drawing.size = { std::max(size.width, 1.0f), std::max(size.height, 1.0f) };
    if (!fill && !outline)
        return drawing;
    kit::VectorShape box;
    box.fill = fill;
    box.stroke = outline;
    box.strokeWidth = outlineWidth;
    float half = outline ? outlineWidth / 2 : 0;
    box.rect = { half, half, std::max(0.0f, size.width - 2 * half), std::max(0.0f, size.height - 2 * half) };
    drawing.shapes.push_back(std::move(box));
    return drawing;
}

} // namespace importer
