#pragma once

#include "hosts/common/gtk/BackingStore.h"
#include "kit/foundation/CRelease.h"

#include <gtk/gtk.h>
#include <vector>

namespace hosts {

// What the compositor is handed of a backing store: one render node per tile. A tile that changed since it
// was last handed over gets a new node; an unchanged one keeps its node, which the renderer recognises and
// does not draw again.
//
// The node is a texture for renderers that keep textures on the graphics card. GTK's software renderer
// instead converts a texture's every pixel through floating point each time it draws it (as costly as
// drawing the page anew); for it the tile is a Cairo drawing of a copy of the tile's pixels, which it
// composites as they are.
class TileTextures {
public:
    enum class Kind { Texture, Cairo };

    TileTextures() = default;
    TileTextures(const TileTextures&) = delete;
    TileTextures& operator=(const TileTextures&) = delete;

    // Makes nodes of the store's stale tiles and marks them fresh. Returns the device pixels copied. A change
    // of kind makes every node again.
    unsigned long long update(BackingStore& store, Kind kind = Kind::Texture);
    // The node of tile index (as the store counts tiles), placed in logical pixels of the widget; valid
    // until the next update or release.
    GskRenderNode* node(int index) const { return m_nodes[std::size_t(index)].get(); }
    int count() const { return int(m_nodes.size()); }
    // Drops every node, for a store made anew (another size or scale).
    void release() { m_nodes.clear(); }

private:
    std::vector<kit::CPtr<GskRenderNode, gsk_render_node_unref>> m_nodes; // null until made
    Kind m_kind = Kind::Texture;
};

} // namespace hosts
