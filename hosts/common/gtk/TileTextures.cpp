#include "hosts/common/gtk/TileTextures.h"

#include "kit/foundation/GRefPtr.h"

#include <cstring>

namespace hosts {

namespace {

// The tile's pixels copied out of the store's surface: the node must not change when the store does.
cairo_surface_t* copyTile(const unsigned char* data, int stride, PixelRect tile)
{
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tile.width, tile.height);
    if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS)
        return copy;
    unsigned char* pixels = cairo_image_surface_get_data(copy);
    int copyStride = cairo_image_surface_get_stride(copy);
    std::size_t rowBytes = std::size_t(tile.width) * 4;
    for (int row = 0; row < tile.height; ++row)
        std::memcpy(pixels + std::size_t(row) * std::size_t(copyStride),
            data + std::size_t(tile.y + row) * std::size_t(stride) + std::size_t(tile.x) * 4, rowBytes);
    cairo_surface_mark_dirty(copy);
    return copy;
}

GskRenderNode* textureNode(const unsigned char* data, int stride, PixelRect tile, const graphene_rect_t& bounds)
{
    std::size_t rowBytes = std::size_t(tile.width) * 4;
    auto* pixels = static_cast<unsigned char*>(g_malloc(rowBytes * std::size_t(tile.height)));
    for (int row = 0; row < tile.height; ++row)
        std::memcpy(pixels + rowBytes * std::size_t(row),
            data + std::size_t(tile.y + row) * std::size_t(stride) + std::size_t(tile.x) * 4, rowBytes);
    GBytes* bytes = g_bytes_new_take(pixels, rowBytes * std::size_t(tile.height));
    // Cairo's ARGB32 is premultiplied, native-endian: GDK's default memory format.
    auto texture = kit::adoptGRef(gdk_memory_texture_new(tile.width, tile.height, GDK_MEMORY_DEFAULT, bytes, rowBytes));
    g_bytes_unref(bytes);
    return gsk_texture_node_new(texture.get(), &bounds);
}

GskRenderNode* cairoNode(const unsigned char* data, int stride, PixelRect tile, int scale, const graphene_rect_t& bounds)
{
    GskRenderNode* node = gsk_cairo_node_new(&bounds);
    cairo_surface_t* copy = copyTile(data, stride, tile);
    cairo_t* cr = gsk_cairo_node_get_draw_context(node);
    if (cairo_surface_status(copy) == CAIRO_STATUS_SUCCESS) {
        // One device pixel of the tile to one of the screen: the device scale undoes the node's.
        cairo_surface_set_device_scale(copy, scale, scale);
        cairo_set_source_surface(cr, copy, bounds.origin.x, bounds.origin.y);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(copy);
    return node;
}

} // namespace

unsigned long long TileTextures::update(BackingStore& store, Kind kind)
{
    cairo_surface_t* surface = store.surface();
    if (!surface)
        return 0;
    if (kind != m_kind) {
        m_nodes.clear();
        m_kind = kind;
    }
    cairo_surface_flush(surface);
    int count = store.tileColumns() * store.tileRows();
    m_nodes.resize(std::size_t(count));
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    int scale = store.scale();
    unsigned long long copied = 0;
    for (int i = 0; i < count; ++i) {
        auto& node = m_nodes[std::size_t(i)];
        if (node && !store.isTileStale(i))
            continue;
        PixelRect tile = store.tileRect(i);
        graphene_rect_t bounds = GRAPHENE_RECT_INIT(float(tile.x) / float(scale), float(tile.y) / float(scale),
            float(tile.width) / float(scale), float(tile.height) / float(scale));
        node.reset(kind == Kind::Cairo ? cairoNode(data, stride, tile, scale, bounds) : textureNode(data, stride, tile, bounds));
        store.markTileFresh(i);
        copied += static_cast<unsigned long long>(tile.width) * static_cast<unsigned long long>(tile.height);
    }
    return copied;
}

} // namespace hosts
