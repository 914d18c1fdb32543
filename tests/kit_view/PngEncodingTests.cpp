// Our PNG writer is held to Cairo's: the same pixels read back, whatever the surface's format and alpha.
#include "kit/view/PngEncoding.h"
#include "support/TestSupport.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Read {
    const std::vector<std::uint8_t>* bytes;
    std::size_t at = 0;
};

cairo_surface_t* readBack(const std::vector<std::uint8_t>& bytes)
{
    Read read { &bytes };
    return cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* data, unsigned length) {
            auto* r = static_cast<Read*>(closure);
            if (r->at + length > r->bytes->size())
                return CAIRO_STATUS_READ_ERROR;
            std::memcpy(data, r->bytes->data() + r->at, length);
            r->at += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &read);
}

std::vector<std::uint8_t> cairosOwn(cairo_surface_t* surface)
{
    std::vector<std::uint8_t> bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned length) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    return bytes;
}

// Pixels as 32-bit words, row by row, with the unused byte of RGB24 cleared.
std::vector<std::uint32_t> pixels(cairo_surface_t* surface)
{
    cairo_surface_flush(surface);
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    bool rgb = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    std::vector<std::uint32_t> out;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            cairo_image_surface_get_data(surface) + std::size_t(y) * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < width; ++x)
            out.push_back(rgb ? row[x] & 0xffffff : row[x]);
    }
    return out;
}

// Text-like strokes and a gradient, over paper or over nothing, with some translucent paint.
cairo_surface_t* drawing(cairo_format_t format, bool opaque)
{
    cairo_surface_t* surface = cairo_image_surface_create(format, 97, 61);
    cairo_t* cr = cairo_create(surface);
    if (opaque) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
    }
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 97, 0);
    cairo_pattern_add_color_stop_rgba(gradient, 0, 0.9, 0.2, 0.1, opaque ? 1 : 0.1);
    cairo_pattern_add_color_stop_rgba(gradient, 1, 0.1, 0.3, 0.8, opaque ? 1 : 0.7);
    cairo_set_source(cr, gradient);
    cairo_rectangle(cr, 5, 5, 87, 20);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_set_line_width(cr, 1.3);
    for (int i = 0; i < 9; ++i) {
        cairo_move_to(cr, 4 + i * 10, 55);
        cairo_line_to(cr, 9 + i * 10.5, 30);
    }
    cairo_stroke(cr);
    cairo_destroy(cr);
    return surface;
}

} // namespace

TEST(PngEncoding, ReadsBackAsCairosOwnPngForEveryFormatAndAlpha)
{
    struct Case {
        cairo_format_t format;
        bool opaque;
        const char* why;
    };
    for (const Case& c : { Case { CAIRO_FORMAT_RGB24, true, "a page" }, Case { CAIRO_FORMAT_ARGB32, true, "a window, opaque" },
             Case { CAIRO_FORMAT_ARGB32, false, "translucent paint over nothing" },
             Case { CAIRO_FORMAT_A8, false, "a mask, which Cairo's own writer takes" } }) {
        SCOPED_TRACE(c.why);
        cairo_surface_t* surface = drawing(c.format, c.opaque);
        auto ours = kit::encodePng(surface);
        ASSERT_TRUE(ours);
        cairo_surface_t* ourImage = readBack(*ours);
        cairo_surface_t* theirImage = readBack(cairosOwn(surface));
        ASSERT_EQ(cairo_surface_status(ourImage), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_format(ourImage), cairo_image_surface_get_format(theirImage))
            << "an alpha channel exactly where Cairo writes one";
        EXPECT_EQ(pixels(ourImage), pixels(theirImage));
        cairo_surface_destroy(ourImage);
        cairo_surface_destroy(theirImage);
        cairo_surface_destroy(surface);
    }

    auto folder = testsupport::temporaryFolder("png");
    cairo_surface_t* page = drawing(CAIRO_FORMAT_RGB24, true);
    EXPECT_TRUE(kit::writePng(page, folder / "page.png"));
    EXPECT_TRUE(std::filesystem::file_size(folder / "page.png") > 100);
    EXPECT_FALSE(kit::writePng(page, folder / "no such folder" / "page.png")) << "a file that cannot be made";
    cairo_surface_t* pdf = cairo_pdf_surface_create((folder / "x.pdf").c_str(), 10, 10);
    EXPECT_FALSE(kit::encodePng(pdf)) << "not an image";
    cairo_surface_destroy(pdf);
    cairo_surface_destroy(page);
}
