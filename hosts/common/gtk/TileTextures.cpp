#include "hosts/common/gtk/TileTextures.h"

#include <cstring>

namespace hosts {

unsigned long long TileTextures::update(BackingStore& store)
{
    cairo_surface_t* surface = store.surface();
    if (!surface)
        return 0;
    cairo_surface_flush(surface);
    int count = store.tileColumns() * store.tileRows();
    m_textures.resize(std::size_t(count));
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    unsigned long long copied = 0;
    for (int i = 0; i < count; ++i) {
        kit::GRefPtr<GdkTexture>& texture = m_textures[std::size_t(i)];
        if (texture && !store.isTileStale(i))
            continue;
        PixelRect tile = store.tileRect(i);
        std::size_t rowBytes = std::size_t(tile.width) * 4;
        auto* pixels = static_cast<unsigned char*>(g_malloc(rowBytes * std::size_t(tile.height)));
        for (int row = 0; row < tile.height; ++row)
            std::memcpy(pixels + rowBytes * std::size_t(row),
                data + std::size_t(tile.y + row) * std::size_t(stride) + std::size_t(tile.x) * 4, rowBytes);
        GBytes* bytes = g_bytes_new_take(pixels, rowBytes * std::size_t(tile.height));
        // Cairo's ARGB32 is premultiplied, native-endian: GDK's default memory format.
        texture = kit::adoptGRef(gdk_memory_texture_new(tile.width, tile.height, GDK_MEMORY_DEFAULT, bytes, rowBytes));
        g_bytes_unref(bytes);
        store.markTileFresh(i);
        copied += static_cast<unsigned long long>(tile.width) * static_cast<unsigned long long>(tile.height);
    }
    return copied;
}

void TileTextures::release() { m_textures.clear(); }

} // namespace hosts
