#include "kit/view/PngEncoding.h"

#include <csetjmp>
#include <cstdio>
#include <png.h>

namespace kit {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) { }

bool isOpaque(const unsigned char* data, int width, int height, int stride)
{
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
        for (int x = 0; x < width; ++x) {
            if ((row[x] >> 24) != 0xff)
                return false;
        }
    }
    return true;
}

// One row as the PNG holds it: RGB, or RGBA with the colour divided by alpha as Cairo does it.
void convertRow(const std::uint32_t* pixels, int width, bool alpha, std::vector<png_byte>& row)
{
    png_byte* out = row.data();
    for (int x = 0; x < width; ++x) {
        std::uint32_t pixel = pixels[x];
        unsigned r = (pixel >> 16) & 0xff, g = (pixel >> 8) & 0xff, b = pixel & 0xff;
        if (!alpha) {
            *out++ = png_byte(r);
            *out++ = png_byte(g);
            *out++ = png_byte(b);
            continue;
        }
        unsigned a = pixel >> 24;
        if (a == 0) {
            r = g = b = 0;
        } else {
            r = (r * 255 + a / 2) / a;
            g = (g * 255 + a / 2) / a;
            b = (b * 255 + a / 2) / a;
        }
        *out++ = png_byte(r);
        *out++ = png_byte(g);
        *out++ = png_byte(b);
        *out++ = png_byte(a);
    }
}

// Encodes with libpng into out; false on any error libpng reports.
bool encodeRows(cairo_surface_t* surface, bool alpha, std::vector<std::uint8_t>& out, std::vector<png_byte>& row)
{
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    // libpng reports errors by longjmp: nothing with a destructor is made between here and the end.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        convertRow(reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * std::size_t(stride)), width, alpha, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>> encodePng(cairo_surface_t* surface)
{
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS
        || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return std::nullopt;
    cairo_surface_flush(surface);
    cairo_format_t format = cairo_image_surface_get_format(surface);
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    std::vector<std::uint8_t> out;
    if ((format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) || width <= 0 || height <= 0) {
        auto append = [](void* closure, const unsigned char* data, unsigned length) {
            auto* bytes = static_cast<std::vector<std::uint8_t>*>(closure);
            bytes->insert(bytes->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        };
        if (cairo_surface_write_to_png_stream(surface, append, &out) != CAIRO_STATUS_SUCCESS)
            return std::nullopt;
        return out;
    }
    bool alpha = format == CAIRO_FORMAT_ARGB32
        && !isOpaque(cairo_image_surface_get_data(surface), width, height, cairo_image_surface_get_stride(surface));
    std::vector<png_byte> row(std::size_t(width) * (alpha ? 4 : 3));
    if (!encodeRows(surface, alpha, out, row))
        return std::nullopt;
    return out;
}

bool writePng(cairo_surface_t* surface, const std::filesystem::path& path)
{
    std::optional<std::vector<std::uint8_t>> bytes = encodePng(surface);
    if (!bytes)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(bytes->data(), 1, bytes->size(), file) == bytes->size();
    return std::fclose(file) == 0 && written;
}

} // namespace kit
