// Pictures from documents are hostile bytes too: only PNG, JPEG and GIF are decoded, a header claiming
// gigapixels is refused before decoding, images are decoded at the size drawn, and the cache keeps to its
// byte budget.
#include "LayoutTestSupport.h"
#include "kit/text/AttachmentImages.h"
#include "kit/text/VectorDrawing.h"
#include "support/Drawings.h"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

std::vector<std::uint8_t> pngOf(int width, int height) { return layouttest::solidPng(width, height, 0.2, 0.4, 0.8); }

std::uint32_t crc32(const std::uint8_t* data, std::size_t length)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// A small PNG whose header (with a correct checksum) claims width x height.
std::vector<std::uint8_t> pngClaiming(std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> bytes = pngOf(4, 4);
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = std::uint8_t(value >> (24 - 8 * i));
    };
    put(16, width); // IHDR's data starts after the signature (8), the length (4) and the type (4)
    put(20, height);
    put(29, crc32(bytes.data() + 12, 17)); // over the type and the 13 bytes of data
    return bytes;
}

std::shared_ptr<const kit::Attachment> attachment(std::vector<std::uint8_t> bytes, std::string type = "image/png")
{
    auto made = std::make_shared<kit::Attachment>();
    made->bytes = std::move(bytes);
    made->mimeType = std::move(type);
    return made;
}

std::vector<std::uint8_t> text(const std::string& s) { return { s.begin(), s.end() }; }

} // namespace

TEST(AttachmentImages, DecodesOnlyWhatTheBytesSayIsPngJpegOrGif)
{
    const std::string svg
        = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\"><rect width=\"8\" height=\"8\"/></svg>";
    // The XPM, SVG and BMP loaders may be installed; none of them may ever see a document's bytes.
    const struct {
        std::vector<std::uint8_t> bytes;
        std::string claimed;
        bool decodes;
        const char* why;
    } cases[] = {
        { pngOf(8, 8), "image/png", true, "a PNG" },
        { pngOf(8, 8), "image/jpeg", true, "a PNG claimed as JPEG is still a PNG (as an RTF \\jpegblip may claim)" },
        { pngOf(8, 8), "", true, "an RTF \\pngblip claims nothing: its bytes are sniffed" },
        { text(svg), "image/png", false, "SVG claimed as PNG" },
        { text("/* XPM */\nstatic char * x[] = {\"1 1 1 1\", \"a c #000000\", \"a\"};"), "image/png", false, "XPM" },
        { text("BM"), "image/png", false, "a BMP header" },
        { text("GIF88a"), "image/gif", false, "not a GIF signature" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::AttachmentImages images;
        auto picture = attachment(c.bytes, c.claimed);
        EXPECT_EQ(images.surface(picture) != nullptr, c.decodes);
        kit::Size laid = images.layoutSize(picture, 0, 0);
        EXPECT_EQ(laid, (c.decodes ? kit::Size { 8, 8 } : kit::Size { 12, 12 })) << "the undecoded get the small box";
    }
}

TEST(AttachmentImages, RefusesAHeaderOverThePixelLimitBeforeDecoding)
{
    const struct {
        std::uint32_t width, height;
        bool decodes;
        const char* why;
    } cases[] = {
        { 100000, 100000, false, "ten gigapixels in a few hundred bytes" },
        { 50001, 1000, false, "just over 50 megapixels" },
        { 4, 4, true, "the header as written" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::AttachmentImages images;
        auto picture = attachment(pngClaiming(c.width, c.height));
        auto started = std::chrono::steady_clock::now();
        cairo_surface_t* surface = images.surface(picture);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
        if (!c.decodes) {
            EXPECT_EQ(surface, nullptr);
            EXPECT_EQ(images.layoutSize(picture, 0, 0), (kit::Size { 12, 12 }));
        } else {
            EXPECT_NE(images.surface(picture), nullptr);
        }
        EXPECT_LE(images.decodedBytes(), std::size_t(64));
    }
}

TEST(AttachmentImages, DecodesAtTheDrawnSizeAndAgainWhenDrawnLarger)
{
    kit::AttachmentImages images;
    auto picture = attachment(pngOf(2000, 1000));
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 400);
    cairo_t* cr = cairo_create(target);
    images.draw(cr, picture, { { 0, 0 }, { 200, 100 } });
    cairo_surface_t* small = images.surface(picture, { 200, 100 });
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(small), 200) << "not the 2000 pixels of the file";
    EXPECT_EQ(cairo_image_surface_get_height(small), 100);
    cairo_scale(cr, 2, 2); // zoomed in: the same rectangle covers twice the device pixels
    images.draw(cr, picture, { { 0, 0 }, { 200, 100 } });
    cairo_surface_t* larger = images.surface(picture, { 400, 200 });
    EXPECT_EQ(cairo_image_surface_get_width(larger), 400);
    EXPECT_EQ(images.layoutSize(picture, 0, 0), (kit::Size { 2000, 1000 })) << "laid out at its own size still";
    cairo_destroy(cr);
    cairo_surface_destroy(target);
}

TEST(AttachmentImages, KeepsDecodedImagesWithinTheByteBudget)
{
    // 40 images of 1000 x 1000 (4 MB each decoded): 160 MB drawn, more than the budget.
    kit::AttachmentImages images;
    std::vector<std::uint8_t> png = pngOf(1000, 1000);
    std::vector<std::shared_ptr<const kit::Attachment>> pictures;
    for (int i = 0; i < 40; ++i) {
        pictures.push_back(attachment(png));
        ASSERT_NE(images.surface(pictures.back()), nullptr);
        EXPECT_LE(images.decodedBytes(), kit::AttachmentImages::kDecodedBytesBudget);
    }
    EXPECT_GT(images.decodedBytes(), kit::AttachmentImages::kDecodedBytesBudget - 8'000'000) << "the budget is used";
    EXPECT_NE(images.surface(pictures.back()), nullptr) << "the last one drawn is kept";
}

// A thread other than the UI thread lays the text in pictures out with fonts of the cache's own: a
// placeholder's description and a drawing's label come out as the process's fonts draw them.
TEST(AttachmentImages, TextInPicturesDrawnWithTheCachesOwnFontsOnAnotherThreadIsTheSame)
{
    auto placeholder = std::make_shared<kit::Attachment>();
    placeholder->alternativeText = "A chart of the quarter's figures, not shown";
    auto drawing = std::make_shared<kit::VectorDrawing>();
    drawing->size = { 120, 60 };
    kit::VectorShape box, label;
    box.rect = { 2, 2, 116, 56 };
    label.kind = kit::VectorShape::Kind::Text;
    label.rect = { 4, 20, 112, 20 };
    label.text = "Label of a shape";
    label.fontSize = 11;
    drawing->shapes = { box, label };
    auto drawn = std::make_shared<kit::Attachment>();
    drawn->drawing = drawing;

    for (const auto& picture : { std::shared_ptr<const kit::Attachment>(placeholder), std::shared_ptr<const kit::Attachment>(drawn) }) {
        auto draw = [&](kit::AttachmentImages& images) {
            return testsupport::drawnPixels({ 260, 140 }, [&](cairo_t* cr) {
                cairo_scale(cr, 2, 2);
                images.draw(cr, picture, { 5, 5, 120, 60 });
            });
        };
        kit::AttachmentImages processFonts;
        std::vector<std::uint32_t> expected = draw(processFonts), own;
        std::thread([&] {
            kit::AttachmentImages images(kit::AttachmentImages::TextFonts::Own);
            own = draw(images);
        }).join();
        std::size_t inked = std::count_if(expected.begin(), expected.end(), [](std::uint32_t pixel) { return (pixel & 0xff) < 0x80; });
        EXPECT_GT(inked, 100u) << "the text is drawn";
        EXPECT_EQ(own, expected);
    }
}
