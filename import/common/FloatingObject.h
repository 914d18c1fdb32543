#pragma once

#include "kit/text/Attributes.h"

#include <memory>
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

} // namespace importer
