#include "import/common/ByteReader.h"
#include "import/common/ImageHeader.h"
#include "support/PngBytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using importer::imagePixelSize;
using importer::sniffImageType;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& bytes)
{
    return { reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() };
}

std::string be16(unsigned value) { return { char(value >> 8), char(value & 0xFF) }; }
std::string be32(std::uint32_t value) { return be16(value >> 16) + be16(value & 0xFFFF); }

// A PNG signature and IHDR chunk with the given sides; nothing after it.
std::string pngHeader(std::uint32_t width, std::uint32_t height, const char* chunk = "IHDR")
{
    return std::string("\x89PNG\r\n\x1A\n", 8) + be32(13) + chunk + be32(width) + be32(height);
}

// A JPEG: start of image, the segments given, then a baseline start-of-frame with the sides.
std::string jpeg(const std::string& before, unsigned width, unsigned height)
{
    return std::string("\xFF\xD8", 2) + before + std::string("\xFF\xC0", 2) + be16(17) + '\x08' + be16(height) + be16(width)
        + std::string(12, '\0');
}

std::string sizeText(std::optional<kit::Size> size)
{
    return size ? std::to_string(int(size->width)) + "x" + std::to_string(int(size->height)) : "none";
}

} // namespace

TEST(ByteReader, ReadsBigEndianWithinBoundsOnly)
{
    const std::string bytes("\x12\x34\x56\x78", 4);
    importer::ByteReader reader(bytesOf(bytes));
    EXPECT_EQ(reader.readU16BE(0), 0x1234);
    EXPECT_EQ(reader.readU16BE(2), 0x5678) << "the last two bytes";
    EXPECT_EQ(reader.readU32BE(0), 0x12345678u);
    EXPECT_FALSE(reader.readU16BE(3)) << "one byte short";
    EXPECT_FALSE(reader.readU32BE(1)) << "one byte short";
    EXPECT_FALSE(reader.readU32BE(SIZE_MAX - 1)) << "an offset near SIZE_MAX does not wrap around";
}

// The three readers this replaced (pictures in HTML data URLs, RTF \pict groups and package media) disagreed:
// one took a PNG without its IHDR chunk or with a side of zero, one did not skip the JPEG markers that carry no
// length, one knew no GIF. One rule now, row by row.
TEST(ImageHeader, ReadsPixelSizesOrNothing)
{
    const struct {
        std::string bytes;
        const char* type;
        const char* size;
        const char* why;
    } cases[] = {
        { pngHeader(640, 480), "image/png", "640x480", "a PNG's IHDR" },
        { pngHeader(640, 480, "IDAT"), "image/png", "none", "a PNG whose first chunk is not IHDR" },
        { pngHeader(0, 480), "image/png", "none", "a side of zero" },
        { pngHeader(1000000, 1), "image/png", "1000000x1", "the largest side taken" },
        { pngHeader(1000001, 1), "image/png", "none", "past it: a damaged header" },
        { pngHeader(640, 480).substr(0, 23), "image/png", "none", "cut inside the height" },
        { std::string("GIF89a", 6) + std::string("\x20\x01\x10\x00", 4), "image/gif", "288x16", "a GIF's logical screen, little-endian" },
        { std::string("GIF87a", 6) + std::string("\x00\x00\x10\x00", 4), "image/gif", "none", "a GIF of width zero" },
        { jpeg("", 300, 200), "image/jpeg", "300x200", "a JPEG's start of frame, height before width" },
        { jpeg(std::string("\xFF\xE0", 2) + be16(4) + "JF", 300, 200), "image/jpeg", "300x200", "after an APP0 segment" },
        { jpeg(std::string("\xFF\xFF\xFF\xD0", 4), 300, 200), "image/jpeg", "300x200",
            "fill bytes and a restart marker carry no length" },
        { jpeg(std::string("\xFF\xC4", 2) + be16(2), 300, 200), "image/jpeg", "300x200", "DHT (0xC4) is no frame" },
        { jpeg(std::string("\xFF\xE1", 2) + be16(1), 300, 200), "image/jpeg", "none",
            "a segment shorter than its own length field" },
        { jpeg("", 300, 200).substr(0, 8), "image/jpeg", "none", "cut inside the frame header" },
        { jpeg("", 0, 200), "image/jpeg", "none", "a frame of width zero" },
        { "BM\x36\x00", "", "none", "a bitmap is not one of the three" },
        { "", "", "none", "nothing at all" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(sniffImageType(bytesOf(c.bytes)), c.type);
        EXPECT_EQ(sizeText(imagePixelSize(bytesOf(c.bytes))), c.size);
    }
}

TEST(ImageHeader, ReadsWhatCairoWrites)
{
    std::string png = testsupport::pngBytes(37, 11);
    EXPECT_EQ(sizeText(imagePixelSize(bytesOf(png))), "37x11");
}
