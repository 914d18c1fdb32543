#include "import/doc/OfficeArt.h"

#include "import/common/Encoding.h"
#include "kit/foundation/GRefPtr.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace importer::doc {

namespace {

constexpr std::uint16_t kDggContainer = 0xF000;
constexpr std::uint16_t kSpgrContainer = 0xF003;
constexpr std::uint16_t kSpContainer = 0xF004;
constexpr std::uint16_t kBlipStoreEntry = 0xF007;
constexpr std::uint16_t kShape = 0xF00A;
constexpr std::uint16_t kProperties = 0xF00B;
constexpr std::uint16_t kClientTextbox = 0xF00D;
constexpr std::uint16_t kTertiaryProperties = 0xF122;
constexpr std::uint16_t kBlipFirst = 0xF018;
constexpr std::uint16_t kBlipLast = 0xF117;

constexpr std::uint16_t kPropertyTextIdentifier = 0x0080;
constexpr std::uint16_t kPropertyPicture = 0x0104;
constexpr std::uint16_t kPropertyDescription = 0x0381;
constexpr std::uint16_t kPropertyTextLeft = 0x0081; // dxTextLeft, dyTextTop, dxTextRight, dyTextBottom follow
constexpr std::uint16_t kPropertyFillColor = 0x0181;
constexpr std::uint16_t kPropertyFillFlags = 0x01BF;
constexpr std::uint16_t kPropertyLineColor = 0x01C0;
constexpr std::uint16_t kPropertyLineWidth = 0x01CB;
constexpr std::uint16_t kPropertyLineFlags = 0x01FF;

// An OfficeArtCOLORREF: red, green and blue bytes; none for colours that index a palette, scheme or the
// system, which a document's own shapes rarely use.
std::optional<kit::Color> colorReference(std::uint32_t value)
{
    if (value >> 24)
        return std::nullopt;
    return kit::Color::calibratedRGB(
        float(value & 0xFF) / 255.0f, float((value >> 8) & 0xFF) / 255.0f, float((value >> 16) & 0xFF) / 255.0f);
}

// A boolean property of a set of them (fFilled, fLine): its bit where its "use" bit says it is given.
std::optional<bool> flag(std::uint32_t value, unsigned bit)
{
    if (!((value >> (bit + 16)) & 1))
        return std::nullopt;
    return bool((value >> bit) & 1);
}

// A picture store entry: type codes, a 16-byte identifier, tag, size, reference count, the offset of the
// picture in the delay stream, and the length of its name.
constexpr std::size_t kStoreEntryHeader = 36;
constexpr int kMaximumDepth = 16;
// Larger bitmaps are shown as placeholders: decoding them costs more than a page is worth.
constexpr std::uint64_t kMaximumPixels = 64ull * 1024 * 1024;

bool startsWith(const ByteReader& bytes, std::initializer_list<std::uint8_t> prefix)
{
    std::size_t i = 0;
    for (std::uint8_t byte : prefix) {
        if (bytes.readU8(i++) != byte)
            return false;
    }
    return true;
}

// Decodes a bitmap gdk-pixbuf can read and writes it again as PNG.
std::optional<std::vector<std::uint8_t>> convertToPng(const std::vector<std::uint8_t>& bytes, const char* type)
{
    GError* error = nullptr;
    auto loader = kit::adoptGRef(gdk_pixbuf_loader_new_with_type(type, &error));
    if (!loader) {
        g_clear_error(&error);
        return std::nullopt;
    }
    bool written = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), &error);
    g_clear_error(&error);
    bool closed = gdk_pixbuf_loader_close(loader.get(), &error);
    g_clear_error(&error);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader.get()) : nullptr;
    if (!pixbuf)
        return std::nullopt;
    gchar* buffer = nullptr;
    gsize size = 0;
    if (!gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", &error, nullptr)) {
        g_clear_error(&error);
        return std::nullopt;
    }
    std::vector<std::uint8_t> png(buffer, buffer + size);
    g_free(buffer);
    return png;
}

// A device-independent bitmap is a BMP file without its 14-byte file header.
std::optional<std::vector<std::uint8_t>> pngFromDib(const ByteReader& dib)
{
    auto headerSize = dib.readU32LE(0);
    if (!headerSize || *headerSize < 12 || *headerSize > dib.size())
        return std::nullopt;
    std::uint32_t paletteEntries = 0;
    std::int64_t width = 0, height = 0;
    if (*headerSize == 12) {
        width = dib.readU16LE(4).value_or(0);
        height = dib.readU16LE(6).value_or(0);
        std::uint16_t bits = dib.readU16LE(10).value_or(0);
        paletteEntries = bits <= 8 ? 1u << bits : 0;
        paletteEntries *= 3; // RGB triples, counted in bytes below as 3-byte entries
    } else {
        width = dib.readI32LE(4).value_or(0);
        height = std::abs(std::int64_t(dib.readI32LE(8).value_or(0)));
        std::uint16_t bits = dib.readU16LE(14).value_or(0);
        std::uint32_t compression = dib.readU32LE(16).value_or(0);
        std::uint32_t used = dib.readU32LE(32).value_or(0);
        paletteEntries = (used ? used : (bits <= 8 ? 1u << bits : 0)) * 4;
        if (compression == 3 && *headerSize == 40)
            paletteEntries += 12; // the three channel masks follow the header
    }
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaximumPixels)
        return std::nullopt;
    std::uint32_t pixels = 14 + *headerSize + paletteEntries;
    std::vector<std::uint8_t> bmp = { 'B', 'M' };
    std::uint32_t total = std::uint32_t(14 + dib.size());
    for (std::uint32_t value : { total, 0u, pixels }) {
        for (int i = 0; i < 4; ++i)
            bmp.push_back(std::uint8_t(value >> (8 * i)));
    }
    bmp.insert(bmp.end(), dib.bytes().begin(), dib.bytes().end());
    return convertToPng(bmp, "bmp");
}

} // namespace

std::optional<OfficeArtRecord> OfficeArtRecord::read(const ByteReader& bytes, std::size_t at)
{
    auto first = bytes.readU16LE(at);
    auto type = bytes.readU16LE(at + 2);
    auto length = bytes.readU32LE(at + 4);
    if (!first || !type || !length)
        return std::nullopt;
    OfficeArtRecord record;
    record.version = *first & 0x0F;
    record.instance = *first >> 4;
    record.type = *type;
    record.bodyOffset = at + 8;
    record.bodyLength = std::min<std::size_t>(*length, bytes.size() - record.bodyOffset);
    return record;
}

std::optional<kit::Attachment> attachmentFromBlip(const ByteReader& bytes, std::size_t at, kit::Size size)
{
    auto record = OfficeArtRecord::read(bytes, at);
    if (!record || record->type < kBlipFirst || record->type > kBlipLast)
        return std::nullopt;
    ByteReader body = bytes.clippedSlice(record->bodyOffset, record->bodyLength);
    // One identifier, or two when the instance is odd; bitmaps then have a tag byte, metafiles a 34-byte header.
    std::size_t skip = 16 + ((record->instance & 1) ? 16 : 0);
    kit::Attachment attachment;
    attachment.size = size;
    switch (record->type) {
    case 0xF01D: // JPEG
    case 0xF02A: { // JPEG in CMYK
        ByteReader image = body.clippedSlice(skip + 1, body.size());
        if (startsWith(image, { 0xFF, 0xD8 })) {
            attachment.bytes.assign(image.bytes().begin(), image.bytes().end());
            attachment.mimeType = "image/jpeg";
        }
        break;
    }
    case 0xF01E: { // PNG
        ByteReader image = body.clippedSlice(skip + 1, body.size());
        if (startsWith(image, { 0x89, 'P', 'N', 'G' })) {
            attachment.bytes.assign(image.bytes().begin(), image.bytes().end());
            attachment.mimeType = "image/png";
        }
        break;
    }
    case 0xF01F: // DIB
        if (auto png = pngFromDib(body.clippedSlice(skip + 1, body.size()))) {
            attachment.bytes = std::move(*png);
            attachment.mimeType = "image/png";
        }
        break;
    default: // EMF, WMF, PICT and TIFF: drawn by nothing here, shown as their frame
        break;
    }
    return attachment;
}

OfficeArt OfficeArt::read(const ByteReader& dggInfo)
{
    OfficeArt art;
    art.m_bytes = dggInfo;
    // The drawing group (with the picture store), then each drawing preceded by one byte that says whose it
    // is (the main text's or the headers').
    std::size_t at = 0;
    auto group = OfficeArtRecord::read(dggInfo, at);
    if (!group || group->type != kDggContainer)
        return art;
    art.walk(dggInfo, group->bodyOffset, group->end(), 1, nullptr);
    at = group->end();
    while (at + 9 <= dggInfo.size()) {
        auto drawing = OfficeArtRecord::read(dggInfo, at + 1);
        if (!drawing || !drawing->isContainer())
            break;
        art.walk(dggInfo, drawing->bodyOffset, drawing->end(), 1, nullptr);
        at = drawing->end();
    }
    return art;
}

void OfficeArt::walk(
    const ByteReader& bytes, std::size_t begin, std::size_t end, int depth, std::vector<std::uint32_t>* members)
{
    std::size_t at = begin;
    while (at + 8 <= end) {
        auto record = OfficeArtRecord::read(bytes, at);
        if (!record)
            return;
        if (record->type == kBlipStoreEntry) {
            m_store.push_back(*record);
        } else if (record->type == kSpContainer) {
            auto id = readShape(bytes, *record);
            if (id && members)
                members->push_back(*id);
        } else if (record->type == kSpgrContainer && depth < kMaximumDepth) {
            // A group: its first shape is the group itself, the others (and their groups') are its members.
            std::vector<std::uint32_t> inside;
            walk(bytes, record->bodyOffset, record->end(), depth + 1, &inside);
            if (!inside.empty()) {
                std::uint32_t group = inside.front();
                std::vector<std::uint32_t> rest(inside.begin() + 1, inside.end());
                if (members)
                    members->insert(members->end(), inside.begin(), inside.end());
                if (!rest.empty() && !m_groups.count(group))
                    m_groups.emplace(group, std::move(rest));
            }
        } else if (record->isContainer() && depth < kMaximumDepth) {
            walk(bytes, record->bodyOffset, record->end(), depth + 1, members);
        }
        at = record->end();
    }
}

std::optional<std::uint32_t> OfficeArt::readShape(const ByteReader& bytes, const OfficeArtRecord& container)
{
    Shape shape;
    bool hasIdentifier = false;
    bool filled = true, lined = true;
    std::optional<kit::Color> fill, line;
    std::size_t at = container.bodyOffset;
    while (at + 8 <= container.end()) {
        auto record = OfficeArtRecord::read(bytes, at);
        if (!record)
            break;
        if (record->type == kShape && record->bodyLength >= 8) {
            shape.id = *bytes.readU32LE(record->bodyOffset);
            hasIdentifier = true;
        } else if (record->type == kProperties || record->type == kTertiaryProperties) {
            // Property entries: a 14-bit identifier with "is a picture index" and "complex" flags, and a value;
            // complex values' data follows the entries, in order.
            std::size_t count = record->instance;
            std::size_t complexAt = record->bodyOffset + 6 * count;
            for (std::size_t i = 0; i < count; ++i) {
                auto id = bytes.readU16LE(record->bodyOffset + 6 * i);
                auto value = bytes.readU32LE(record->bodyOffset + 6 * i + 2);
                if (!id || !value)
                    break;
                std::uint16_t property = *id & 0x3FFF;
                bool isComplex = *id & 0x8000;
                if (property == kPropertyPicture && !isComplex)
                    shape.pictureIndex = *value;
                else if (property == kPropertyTextIdentifier && !isComplex)
                    shape.textIdentifier = *value;
                else if (property >= kPropertyTextLeft && property < kPropertyTextLeft + 4 && !isComplex) {
                    constexpr std::size_t kSide[] = { 1, 0, 3, 2 }; // left, top, right, bottom
                    shape.textInsets[kSide[property - kPropertyTextLeft]] = std::min(float(*value) / 12700.0f, 144.0f);
                } else if (property == kPropertyFillColor && !isComplex)
                    fill = colorReference(*value);
                else if (property == kPropertyLineColor && !isComplex)
                    line = colorReference(*value);
                else if (property == kPropertyLineWidth && !isComplex)
                    shape.lineWidth = std::min(float(*value) / 12700.0f, 20.0f);
                else if (property == kPropertyFillFlags && !isComplex)
                    filled = flag(*value, 4).value_or(filled);
                else if (property == kPropertyLineFlags && !isComplex)
                    lined = flag(*value, 3).value_or(lined);
                else if (property == kPropertyDescription && isComplex) {
                    ByteReader text = bytes.clippedSlice(
                        complexAt, std::min<std::size_t>(*value, record->end() - std::min(complexAt, record->end())));
                    std::string description = encoding::utf16ToUtf8(text.bytes(), false);
                    while (!description.empty() && description.back() == '\0')
                        description.pop_back();
                    shape.description = description;
                }
                if (isComplex)
                    complexAt += *value;
            }
        } else if (record->type == kClientTextbox && record->bodyLength >= 4) {
            shape.textIdentifier = *bytes.readU32LE(record->bodyOffset);
        }
        at = record->end();
    }
    if (!hasIdentifier)
        return std::nullopt;
    shape.fill = filled ? fill.value_or(kit::Color::whiteColor()) : std::optional<kit::Color>();
    shape.line = lined ? line.value_or(kit::Color::blackColor()) : std::optional<kit::Color>();
    m_shapes.emplace(shape.id, shape);
    return shape.id;
}

const OfficeArt::Shape* OfficeArt::shape(std::uint32_t id) const
{
    auto it = m_shapes.find(id);
    return it == m_shapes.end() ? nullptr : &it->second;
}

const std::vector<std::uint32_t>& OfficeArt::groupMembers(std::uint32_t id) const
{
    static const std::vector<std::uint32_t> none;
    auto it = m_groups.find(id);
    return it == m_groups.end() ? none : it->second;
}

std::optional<kit::Attachment> OfficeArt::pictureFromStoreEntry(
    const ByteReader& bytes, const OfficeArtRecord& entry, const ByteReader& delayStream, kit::Size size)
{
    if (entry.bodyLength < kStoreEntryHeader)
        return std::nullopt;
    std::size_t nameLength = *bytes.readU8(entry.bodyOffset + 33);
    std::size_t embedded = entry.bodyOffset + kStoreEntryHeader + nameLength;
    if (embedded + 8 <= entry.end())
        return attachmentFromBlip(bytes, embedded, size);
    // Otherwise the picture lies in the delay stream (the WordDocument stream) at the given offset.
    std::uint32_t offset = *bytes.readU32LE(entry.bodyOffset + 28);
    return attachmentFromBlip(delayStream, offset, size);
}

std::optional<kit::Attachment> OfficeArt::picture(
    std::uint32_t index, const ByteReader& delayStream, kit::Size size) const
{
    if (index == 0 || index > m_store.size())
        return std::nullopt;
    return pictureFromStoreEntry(m_bytes, m_store[index - 1], delayStream, size);
}

} // namespace importer::doc
