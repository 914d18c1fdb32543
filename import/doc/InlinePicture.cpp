#include "import/doc/InlinePicture.h"

#include "import/doc/OfficeArt.h"
#include "import/doc/Properties.h"

#include <algorithm>

namespace importer::doc {

namespace {

constexpr std::size_t kHeaderSize = 68;
constexpr std::uint16_t kShapeFile = 0x66; // a shape, preceded by the picture's file name
constexpr std::uint16_t kShape = 0x64;
constexpr std::uint16_t kSpContainer = 0xF004;
constexpr std::uint16_t kBlipStoreEntry = 0xF007;
// Pictures are shown between a hair and a poster's size; beyond that the header is damaged.
constexpr float kSmallest = 1;
constexpr float kLargest = 2000;

float scaled(std::int32_t goal, std::int32_t cropA, std::int32_t cropB, std::uint16_t scale)
{
    // Goal size in twips, less the cropping, times the scale in tenths of a percent.
    double twips = double(goal - cropA - cropB) * (scale ? scale : 1000) / 1000;
    return twipsToPoints(twips);
}

} // namespace

std::optional<kit::Attachment> inlinePicture(const ByteReader& stream, std::uint32_t offset, const ByteReader& delayStream)
{
    auto total = stream.readI32LE(offset);
    auto headerSize = stream.readU16LE(std::size_t(offset) + 4);
    if (!total || !headerSize || *total < std::int32_t(kHeaderSize) || *headerSize != kHeaderSize)
        return std::nullopt;
    ByteReader picture = stream.clippedSlice(offset, std::size_t(*total));
    if (picture.size() < kHeaderSize)
        return std::nullopt;
    std::uint16_t mapping = *picture.readU16LE(6);
    kit::Size size { scaled(*picture.readI16LE(28), *picture.readI16LE(36), *picture.readI16LE(40), *picture.readU16LE(32)),
        scaled(*picture.readI16LE(30), *picture.readI16LE(38), *picture.readI16LE(42), *picture.readU16LE(34)) };
    if (!(size.width >= kSmallest && size.width <= kLargest && size.height >= kSmallest && size.height <= kLargest))
        size = { 72, 72 };

    kit::Attachment placeholder;
    placeholder.size = size;
    if (mapping != kShapeFile && mapping != kShape)
        return placeholder; // a metafile or bitmap of the old kind
    std::size_t at = kHeaderSize;
    if (mapping == kShapeFile)
        at += 1 + std::size_t(picture.readU8(at).value_or(0));
    // The shape, whose properties name its picture; the store entries that follow it hold that picture,
    // usually alone, but the index counts in the document's store, so an entry that does not match it
    // still stands in when it is the only one.
    std::uint32_t wanted = 1;
    std::optional<kit::Attachment> found;
    std::optional<kit::Attachment> first;
    std::uint32_t entry = 0;
    while (at + 8 <= picture.size()) {
        auto record = OfficeArtRecord::read(picture, at);
        if (!record)
            break;
        if (record->type == kSpContainer) {
            // Find the picture property among the shape's properties.
            std::size_t inner = record->bodyOffset;
            while (inner + 8 <= record->end()) {
                auto child = OfficeArtRecord::read(picture, inner);
                if (!child)
                    break;
                if (child->type == 0xF00B) {
                    for (std::size_t i = 0; i < child->instance; ++i) {
                        auto id = picture.readU16LE(child->bodyOffset + 6 * i);
                        auto value = picture.readU32LE(child->bodyOffset + 6 * i + 2);
                        if (!id || !value)
                            break;
                        if ((*id & 0x3FFF) == 0x0104 && !(*id & 0x8000))
                            wanted = std::max<std::uint32_t>(*value, 1);
                    }
                }
                inner = child->end();
            }
        } else if (record->type == kBlipStoreEntry) {
            ++entry;
            auto candidate = OfficeArt::pictureFromStoreEntry(picture, *record, delayStream, size);
            if (entry == wanted)
                found = candidate;
            else if (!first)
                first = candidate;
        } else if (record->type >= 0xF018 && record->type <= 0xF117 && !found) {
            found = attachmentFromBlip(picture, at, size);
        }
        at = record->end();
    }
    if (!found || found->bytes.empty())
        found = first && !first->bytes.empty() ? first : found;
    return found ? found : std::optional(placeholder);
}

} // namespace importer::doc
