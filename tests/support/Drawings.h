#pragma once

#include "kit/text/Attributes.h"
#include "kit/text/VectorDrawing.h"

#include <memory>
#include <optional>

namespace testsupport {

// An attachment drawn as one box of a solid colour, so that tests of layout and drawing need no image
// decoder; it floats where placement says, or stands in its line without one.
inline std::shared_ptr<const kit::Attachment> filledBox(
    kit::Size size, kit::Color color, std::optional<kit::FloatPlacement> placement = std::nullopt)
{
    auto drawing = std::make_shared<kit::VectorDrawing>();
    drawing->size = size;
    kit::VectorShape shape;
    shape.rect = { {}, size };
    shape.fill = color;
    drawing->shapes.push_back(shape);
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->size = size;
    attachment->drawing = drawing;
    attachment->placement = placement;
    return attachment;
}

} // namespace testsupport
