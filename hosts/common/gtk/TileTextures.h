#pragma once

#include "hosts/common/gtk/BackingStore.h"
#include "kit/foundation/GRefPtr.h"

#include <gtk/gtk.h>
#include <vector>

namespace hosts {

// What the compositor is handed of a backing store: one GdkTexture per tile. A tile that changed since it
// was last handed over is copied into a new texture; an unchanged one keeps its texture, which the renderer
// recognises and does not draw again.
class TileTextures {
public:
    TileTextures() = default;
    TileTextures(const TileTextures&) = delete;
    TileTextures& operator=(const TileTextures&) = delete;

    // Makes textures of the store's stale tiles and marks them fresh. Returns the device pixels copied.
    unsigned long long update(BackingStore& store);
    // The texture of tile index (as the store counts tiles); valid until the next update or release.
    GdkTexture* texture(int index) const { return m_textures[std::size_t(index)].get(); }
    int count() const { return int(m_textures.size()); }
    // Drops every texture, for a store made anew (another size or scale).
    void release();

private:
    std::vector<kit::GRefPtr<GdkTexture>> m_textures; // null until made
};

} // namespace hosts
