#pragma once

#include "import/common/ByteReader.h"
#include "kit/text/Attributes.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace importer::doc {

// One OfficeArt record header: version and instance share the first 16 bits.
struct OfficeArtRecord {
    std::uint16_t version = 0;
    std::uint16_t instance = 0;
    std::uint16_t type = 0;
    std::size_t bodyOffset = 0;
    std::size_t bodyLength = 0; // clipped to the bytes that exist
    bool isContainer() const { return version == 0xF; }
    std::size_t end() const { return bodyOffset + bodyLength; }
    static std::optional<OfficeArtRecord> read(const ByteReader& bytes, std::size_t at);
};

// A picture from an OfficeArt BLIP record: PNG and JPEG as they are, device-independent bitmaps converted to
// PNG, and metafiles (EMF, WMF, PICT) and TIFF as a placeholder of the given size.
std::optional<kit::Attachment> attachmentFromBlip(const ByteReader& bytes, std::size_t at, kit::Size size);

// The drawing layer of a Word document (the table stream's DggInfo): the picture store and the shapes
// that floating objects refer to by their shape identifier.
class OfficeArt {
public:
    static OfficeArt read(const ByteReader& dggInfo);

    struct Shape {
        std::uint32_t id = 0;
        std::uint32_t pictureIndex = 0; // 1-based index into the picture store; 0 for none
        std::optional<std::uint32_t> textIdentifier; // text boxes: the 1-based box in the high 16 bits
        std::string description; // alternative text
        // What a text box draws behind its text: its fill and line (none where they are off) and the room
        // between its edges and its text (top, left, bottom, right), points.
        std::optional<kit::Color> fill = kit::Color::whiteColor();
        std::optional<kit::Color> line = kit::Color::blackColor();
        float lineWidth = 0.75f;
        std::array<float, 4> textInsets { 3.6f, 7.2f, 3.6f, 7.2f };
    };
    const Shape* shape(std::uint32_t id) const;
    // The shapes inside a group shape, in drawing order (nested groups flattened); empty for other shapes.
    const std::vector<std::uint32_t>& groupMembers(std::uint32_t id) const;

    // The picture of a store entry; pictures kept outside the store are read from delayStream.
    std::optional<kit::Attachment> picture(std::uint32_t index, const ByteReader& delayStream, kit::Size size) const;

    // The same for the store entries that follow an inline picture's own shape in the Data stream.
    static std::optional<kit::Attachment> pictureFromStoreEntry(const ByteReader& bytes, const OfficeArtRecord& entry,
        const ByteReader& delayStream, kit::Size size);

private:
    void walk(const ByteReader& bytes, std::size_t begin, std::size_t end, int depth, std::vector<std::uint32_t>* members);
    std::optional<std::uint32_t> readShape(const ByteReader& bytes, const OfficeArtRecord& container);

    ByteReader m_bytes;
    std::vector<OfficeArtRecord> m_store; // the picture store's entries (FBSE), in order
    std::map<std::uint32_t, Shape> m_shapes;
    std::map<std::uint32_t, std::vector<std::uint32_t>> m_groups;
};

} // namespace importer::doc
