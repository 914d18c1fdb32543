#include "hosts/web/ViewPresentation.h"

#include "kit/foundation/CRelease.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/ScaleUtilities.h"
#include "plugin/NRVLectorin.h"

#include <cairo.h>
#include <cmath>
#include <memory>

namespace hosts {

namespace {

using SurfacePtr = std::unique_ptr<cairo_surface_t, kit::CRelease<cairo_surface_destroy>>;
using CairoPtr = std::unique_ptr<cairo_t, kit::CRelease<cairo_destroy>>;

constexpr int kMaximumSide = 16384; // device pixels; cairo's own limit is 32,767

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::optional<std::vector<std::uint8_t>> encodePNG(cairo_surface_t* surface)
{
    std::vector<std::uint8_t> bytes;
    auto write = [](void* closure, const unsigned char* data, unsigned length) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_surface_write_to_png_stream(surface, write, &bytes) != CAIRO_STATUS_SUCCESS)
        return std::nullopt;
    return bytes;
}

std::string cssColor(kit::Color color)
{
    auto rgb = color.usingCalibratedRGB().value_or(kit::Color::whiteColor());
    auto channel = [](float c) { return std::to_string(int(std::lround(std::clamp(c, 0.0f, 1.0f) * 255))); };
    return "rgba(" + channel(rgb.red()) + "," + channel(rgb.green()) + "," + channel(rgb.blue()) + ","
        + number(rgb.alpha()) + ")";
}

// The text a line shows, for the text layer: control characters (tabs, the paragraph's end, object
// replacement characters) become spaces so that the line keeps its characters' order and find sees words.
std::string lineText(const std::string& text, kit::Range range)
{
    std::size_t end = std::min(text.size(), range.location + range.length);
    std::string out;
    for (std::size_t i = std::min(range.location, end); i < end; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f)
            out += ' ';
        else if (c == 0xEF && i + 2 < end && static_cast<unsigned char>(text[i + 1]) == 0xBF
            && static_cast<unsigned char>(text[i + 2]) == 0xBC) {
            out += ' ';
            i += 2;
        } else
            out += char(c);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

const char* kStyle
    = "html,body{margin:0;padding:0}"
      "body{font:13px sans-serif;overflow:auto}"
      ".stack{position:relative;margin:0 auto}"
      ".page{position:absolute}"
      ".page img{position:absolute;left:0;top:0;width:100%;height:100%;user-select:none}"
      ".page svg{position:absolute;overflow:visible}"
      ".page svg text{fill:transparent;white-space:pre;font-family:sans-serif}"
      ".page svg text::selection{fill:transparent;background:rgba(60,120,230,.35)}"
      ".box{display:block;width:100%;height:100%}"
      ".nib{position:fixed;right:6px;bottom:6px;display:flex;gap:2px;opacity:.85}"
      ".nib a{display:inline-block;min-width:18px;padding:1px 5px;text-align:center;border:1px solid #888;"
      "border-radius:4px;background:#f4f4f4;color:#222;text-decoration:none;cursor:default}";

std::string head(kit::Color background)
{
    // No script of ours runs here and none of a page's may: every behaviour comes from the isolated world.
    return "<!DOCTYPE html><html><head><meta charset=utf-8>"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'none'; "
           "img-src lectorin-embed:; style-src 'unsafe-inline'\">"
           "<style>"
        + std::string(kStyle) + "body{background:" + cssColor(background) + "}</style></head><body>";
}

} // namespace

std::string escapeHTML(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string viewHTML(NRVLectorin& plugin, kit::Size box)
{
    std::string html = head(plugin.backgroundColor());
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    if (plugin.isLoading() || plugin.hasFailed() || !pageView || pageView->numberOfPages() == 0) {
        html += "<img class=box alt=\"\" width=\"" + number(box.width) + "\" height=\"" + number(box.height)
            + "\" srcset=\"box.png?s=1 1x, box.png?s=2 2x\" src=\"box.png?s=1\"></body></html>";
        return html;
    }
    float scale = ScaleUtilities::scale(*pageView).width;
    float separator = pageView->pageSeparatorHeight();
    kit::Size stack = pageView->bounds().size;
    int step = pageView->zoomStep();
    html += "<div class=stack style=\"width:" + number(stack.width * scale)
        + "px;height:" + number(stack.height * scale) + "px\">";
    kit::LayoutManager* layout = pageView->layoutManager();
    const std::string& text = pageView->textStorage() ? pageView->textStorage()->string() : std::string();
    for (std::uint32_t page = 0; page < pageView->numberOfPages(); ++page) {
        kit::Rect rect = pageView->pageRectForPageNumber(page);
        kit::Rect outer { rect.x() - separator, rect.y() - separator, rect.width() + 2 * separator,
            rect.height() + 2 * separator };
        std::string source = "page/" + std::to_string(page) + ".png?z=" + std::to_string(step);
        html += "<div class=page style=\"left:" + number(outer.x() * scale) + "px;top:" + number(outer.y() * scale)
            + "px;width:" + number(outer.width() * scale) + "px;height:" + number(outer.height() * scale) + "px\">";
        html += "<img alt=\"\" loading=lazy src=\"" + source + "&amp;s=1\" srcset=\"" + source + "&amp;s=1 1x, "
            + source + "&amp;s=2 2x\">";
        // The text layer of every page stays in the document, so the browser's find covers all of it.
        kit::Rect textRect = pageView->documentRectForPageNumber(page);
        kit::Point offset { textRect.x() - outer.x(), textRect.y() - outer.y() };
        html += "<svg width=\"" + number(outer.width() * scale) + "\" height=\"" + number(outer.height() * scale)
            + "\" viewBox=\"0 0 " + number(outer.width()) + " " + number(outer.height()) + "\">";
        if (layout && page < layout->textContainers().size()) {
            for (const auto& line : layout->lineFragmentsForTextContainer(*layout->textContainers()[page])) {
                std::string shown = lineText(text, line.range);
                if (line.isDecoration || shown.empty() || line.usedRect.width() <= 0)
                    continue;
                float fontSize = std::max(1.0f, line.rect.height() * 0.8f);
                html += "<text x=\"" + number(offset.x + line.usedRect.x()) + "\" y=\""
                    + number(offset.y + line.baseline) + "\" font-size=\"" + number(fontSize) + "\" textLength=\""
                    + number(line.usedRect.width()) + "\" lengthAdjust=\"spacingAndGlyphs\">" + escapeHTML(shown)
                    + "</text>";
            }
        }
        html += "</svg></div>";
    }
    html += "</div><div class=nib>"
            "<a href=\"#\" data-command=zoomOut title=\"Zoom Out\">&#8722;</a><a href=\"#\" data-command=zoomIn "
            "title=\"Zoom In\">+</a>"
            "<a href=\"#\" data-command=save title=\"Save a Copy\">Save&#8230;</a><a href=\"#\" data-command=print "
            "title=\"Print\">Print&#8230;</a>"
            "<a href=\"#\" data-command=preferences title=\"Preferences\">&#9881;</a><a href=\"#\" data-command=about "
            "title=\"About\">?</a>"
            "</div></body></html>";
    return html;
}

std::optional<std::vector<std::uint8_t>> boxPNG(kit::Window& window, double deviceScale)
{
    kit::Size size = window.contentSize();
    int width = int(std::ceil(size.width * deviceScale)), height = int(std::ceil(size.height * deviceScale));
    if (width <= 0 || height <= 0 || width > kMaximumSide || height > kMaximumSide)
        return std::nullopt;
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    CairoPtr context(cairo_create(surface.get()));
    cairo_scale(context.get(), deviceScale, deviceScale);
    window.display(context.get());
    context.reset();
    return encodePNG(surface.get());
}

std::optional<std::vector<std::uint8_t>> pagePNG(NRVLectorin& plugin, std::uint32_t page, double deviceScale)
{
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    if (!pageView || page >= pageView->numberOfPages())
        return std::nullopt;
    float separator = pageView->pageSeparatorHeight();
    kit::Rect rect = pageView->pageRectForPageNumber(page);
    rect = { rect.x() - separator, rect.y() - separator, rect.width() + 2 * separator, rect.height() + 2 * separator };
    double scale = ScaleUtilities::scale(*pageView).width * deviceScale;
    int width = int(std::ceil(rect.width() * scale)), height = int(std::ceil(rect.height() * scale));
    if (width <= 0 || height <= 0 || width > kMaximumSide || height > kMaximumSide)
        return std::nullopt;
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    CairoPtr context(cairo_create(surface.get()));
    cairo_scale(context.get(), scale, scale);
    pageView->displayRectInContext(rect, context.get());
    context.reset();
    return encodePNG(surface.get());
}

} // namespace hosts
