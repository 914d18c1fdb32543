#pragma once

#include "import/common/ImageHeader.h"
#include "kit/text/Attributes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

// Pictures of package documents as attachments. Only PNG, JPEG and GIF travel as bytes (what the drawing side
// decodes); every other picture (EMF, WMF, TIFF, PICT...) and every chart, diagram or shape becomes a
// placeholder: no bytes, its size and its alternative text.
namespace importer {

// The size scaled down, keeping its proportions, to fit within limit (points); never scaled up.
// A limit of zero or less in one dimension leaves that dimension unconstrained.
kit::Size fitSize(kit::Size size, kit::Size limit);

// An attachment for picture bytes shown at size (points; when zero, the pixels at 96 per inch), fitted to limit.
std::shared_ptr<const kit::Attachment> makeImageAttachment(std::string bytes, kit::Size size, std::string alternativeText,
    kit::Size limit);
std::shared_ptr<const kit::Attachment> makePlaceholderAttachment(kit::Size size, std::string alternativeText,
    kit::Size limit);

} // namespace importer
