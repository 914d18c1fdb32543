#pragma once

#include "kit/geometry/Geometry.h"
#include "kit/text/LayoutManager.h"

#include <cairo.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit {
class Window;
}
namespace pageview {
class PageSnapshot;
}
class NRVLectorin;

namespace hosts {

// What an inline view's frame shows, made from the plug-in view's state each time it is asked.

// The frame's HTML, without any script (CSP script-src 'none'): while the document loads or when it
// failed, the plug-in's box as one image (its progress indicator or error display); once loaded, the
// background colour and the page stack at the page view's geometry and scale, each page an image
// (lazy, srcset 1x/2x at the current zoom, so a zoom re-requests them sharp) under a transparent text layer
// of the page's lines (SVG text stretched to each line's box: selection, copy and the browser's find), and
// the view's controls (-/+, save, print, preferences, about) that the isolated user script turns into
// commands. A document's link is an <a data-link=N> over its characters in the text layer, N its index in
// *links (filled anew), so the frame holds no URL and nothing in it navigates by itself. Lengths are CSS
// pixels: page points times the view's scale.
// The text layer of the pages as last made, kept by whoever asks for the HTML again (at another zoom, say):
// a page's lines do not change while its layout stays the same, and finding where each line's glyphs run
// lays its paragraph out again.
struct TextLayerCache {
    struct Segment {
        std::string text; // escaped
        std::string link; // empty for none
    };
    struct Line {
        float x = 0, y = 0, fontSize = 0, width = 0; // points from the page's text area, the baseline's left end
        std::vector<Segment> segments;
    };
    std::uint64_t layoutGeneration = 0;
    std::vector<std::vector<Line>> pages;
};
std::string viewHTML(NRVLectorin& plugin, kit::Size box, std::vector<std::string>* links, TextLayerCache* cache = nullptr);

// Making the text layer off the UI thread. Where its glyphs run is what costs: each paragraph is laid out
// again. textLayerWork takes, on the UI thread, what the pages the cache lacks need (nothing: none lacks);
// measureTextLayer measures them on any thread, with an engine and fonts of its own; keepTextLayer adds
// them to the cache on the UI thread, unless the layout changed meanwhile.
struct TextLayerWork {
    std::uint64_t layoutGeneration = 0;
    std::shared_ptr<kit::TextStorage> storage; // what the lines' inputs read, kept alive and unchanged
    std::uint32_t firstPage = 0;
    std::vector<std::vector<kit::LayoutManager::LineToMeasure>> pages;
};
std::optional<TextLayerWork> textLayerWork(NRVLectorin& plugin, const TextLayerCache& cache);
std::vector<std::vector<TextLayerCache::Line>> measureTextLayer(const TextLayerWork& work);
void keepTextLayer(NRVLectorin& plugin, TextLayerCache& cache, const TextLayerWork& work,
    std::vector<std::vector<TextLayerCache::Line>> pages);

// The plug-in's whole box as drawn in its window, at deviceScale pixels per CSS pixel.
std::optional<std::vector<std::uint8_t>> boxPNG(kit::Window& window, double deviceScale);

// Pixels drawn on the UI thread for a frame's image. Nothing else refers to them once drawn, so they may be
// encoded, and freed, on any thread.
using DrawnImage = std::shared_ptr<cairo_surface_t>;

// Page `page` (0-based) with the separator's width of background around it, at the view's scale times
// deviceScale; null for a page that does not exist or an image too large. Drawn by the page view.
DrawnImage drawPage(NRVLectorin& plugin, std::uint32_t page, double deviceScale);

// The same image taken apart: what the page shows, taken on the UI thread, and drawn from that on any
// thread by drawPageImage, with the thread's own decoded pictures and shadow.
struct PageImage {
    std::shared_ptr<const pageview::PageSnapshot> snapshot;
    kit::Rect rect; // view coordinates
    double scale = 1; // device pixels per point
    int width = 0, height = 0;
};
std::optional<PageImage> pageImage(NRVLectorin& plugin, std::uint32_t page, double deviceScale);
DrawnImage drawPageImage(const PageImage&);
// The image as PNG bytes; nothing for a null image or a failed encoding. Any thread.
std::optional<std::vector<std::uint8_t>> encodePNG(const DrawnImage& image);
// drawPage, then encodePNG, on the calling (UI) thread.
std::optional<std::vector<std::uint8_t>> pagePNG(NRVLectorin& plugin, std::uint32_t page, double deviceScale);

// Text as HTML character data or attribute value.
std::string escapeHTML(std::string_view text);

} // namespace hosts
