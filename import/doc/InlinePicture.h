#pragma once

#include "import/common/ByteReader.h"
#include "kit/text/Attributes.h"

#include <cstdint>
#include <optional>

namespace importer::doc {

// The picture behind an inline picture character: a picture header (PICF) at offset in stream (the Data
// stream; WordDocument in Word 6 files), followed by an OfficeArt shape and its picture, or by a metafile or
// bitmap of the old kind, which becomes a placeholder of the picture's size. nullopt when there is no
// header there.
std::optional<kit::Attachment> inlinePicture(const ByteReader& stream, std::uint32_t offset, const ByteReader& delayStream);

} // namespace importer::doc
