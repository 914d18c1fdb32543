#include "hosts/web/ViewPresentation.h"

#include "kit/foundation/CRelease.h"
#include "kit/text/AttachmentImages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/PangoParagraphEngine.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"
#include "kit/view/PngEncoding.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageShadow.h"
#include "pageview/PageSnapshot.h"
#include "pageview/ScaleUtilities.h"
#include "plugin/NRVLectorin.h"

#include <cairo.h>
#include <cmath>
#include <functional>
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


std::string cssColor(kit::Color color)
{
    auto rgb = color.usingCalibratedRGB().value_or(kit::Color::whiteColor());
    auto channel = [](float c) { return std::to_string(int(std::lround(std::clamp(c, 0.0f, 1.0f) * 255))); };
    return "rgba(" + channel(rgb.red()) + "," + channel(rgb.green()) + "," + channel(rgb.blue()) + ","
        + number(rgb.alpha()) + ")";
}

// A stretch of a line's text with the link its characters carry (empty for none).
struct Segment {
    std::string text;
    std::string link;
};

// The text a line shows, for the text layer, in stretches of one link each: control characters (tabs, the
// paragraph's end, object replacement characters) become spaces so that the line keeps its characters'
// order and find sees words; trailing spaces go.
std::vector<Segment> lineSegments(const kit::TextStorage* storage, kit::Range range)
{
    std::vector<Segment> segments;
    if (!storage)
        return segments;
    const std::string& text = storage->string();
    std::size_t end = std::min(text.size(), range.location + range.length);
    kit::Range run { 0, 0 };
    const std::string* link = nullptr;
    for (std::size_t i = std::min(range.location, end); i < end; ++i) {
        if (!link || i >= run.location + run.length)
            link = &storage->attributesAt(i, &run).link;
        if (segments.empty() || segments.back().link != *link)
            segments.push_back({ {}, *link });
        std::string& out = segments.back().text;
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
    while (!segments.empty()) {
        std::string& last = segments.back().text;
        while (!last.empty() && last.back() == ' ')
            last.pop_back();
        if (!last.empty())
            break;
        segments.pop_back();
    }
    return segments;
}

const char* kStyle
    = "html,body{margin:0;padding:0}"
      "body{font:13px sans-serif;overflow:auto}"
      ".stack{position:relative;margin:0 auto}"
      // Pages out of sight are neither laid out nor painted; they keep their box, and find still reads them.
      ".page{position:absolute;content-visibility:auto}"
      ".page img{position:absolute;left:0;top:0;width:100%;height:100%;user-select:none}"
      ".page svg{position:absolute;overflow:visible}"
      ".page svg text{fill:transparent;white-space:pre;font-family:sans-serif}"
      ".page svg text::selection{fill:transparent;background:rgba(60,120,230,.35)}"
      ".page svg a{cursor:pointer}"
      ".box{display:block;width:100%;height:100%}"
      // Clear of the scroll bars: a press on a bar is the bar's, and makes no click.
      ".nib{position:fixed;right:18px;bottom:18px;display:flex;gap:2px;opacity:.85}"
      ".nib button{min-width:18px;padding:1px 5px;font:inherit;text-align:center;border:1px solid #888;"
      "border-radius:4px;background:#f4f4f4;color:#222;cursor:default}";

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

namespace {

// A line of the text layer, where its glyphs run; none for a line that shows no text.
std::optional<TextLayerCache::Line> textLayerLine(const kit::LayoutManager::LineFragment& fragment, const kit::TextStorage* storage)
{
    if (fragment.isDecoration || fragment.usedRect.width() <= 0)
        return std::nullopt;
    std::vector<Segment> segments = lineSegments(storage, fragment.range);
    if (segments.empty())
        return std::nullopt;
    TextLayerCache::Line line;
    line.x = fragment.usedRect.x();
    line.y = fragment.baseline;
    line.fontSize = std::max(1.0f, fragment.rect.height() * 0.8f);
    line.width = fragment.usedRect.width();
    for (const Segment& segment : segments)
        line.segments.push_back({ escapeHTML(segment.text), segment.link });
    return line;
}

// The lines of a page's text layer, measured here.
std::vector<TextLayerCache::Line> textLayerLines(kit::LayoutManager& layout, const kit::TextStorage* storage, std::uint32_t page)
{
    std::vector<TextLayerCache::Line> lines;
    if (page >= layout.textContainers().size())
        return lines;
    for (const auto& fragment : layout.lineFragmentsForTextContainer(*layout.textContainers()[page])) {
        if (auto line = textLayerLine(fragment, storage))
            lines.push_back(std::move(*line));
    }
    return lines;
}

} // namespace

std::optional<TextLayerWork> textLayerWork(NRVLectorin& plugin, const TextLayerCache& cache)
{
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    kit::LayoutManager* layout = pageView ? pageView->layoutManager() : nullptr;
    if (plugin.isLoading() || plugin.hasFailed() || !layout || pageView->numberOfPages() == 0)
        return std::nullopt;
    TextLayerWork work;
    work.layoutGeneration = layout->layoutGeneration();
    std::size_t kept = cache.layoutGeneration == work.layoutGeneration ? cache.pages.size() : 0;
    std::uint32_t pages = std::min<std::uint32_t>(pageView->numberOfPages(), std::uint32_t(layout->textContainers().size()));
    if (kept >= pages)
        return std::nullopt;
    work.storage = pageView->sharedTextStorage();
    work.firstPage = std::uint32_t(kept);
    for (std::uint32_t page = work.firstPage; page < pages; ++page)
        work.pages.push_back(layout->linesToMeasureForTextContainer(*layout->textContainers()[page]));
    return work;
}

std::vector<std::vector<TextLayerCache::Line>> measureTextLayer(const TextLayerWork& work)
{
    // An engine of this job's own: it lays the paragraphs out with this thread's fonts.
    kit::PangoParagraphEngine engine;
    std::vector<std::vector<TextLayerCache::Line>> pages;
    for (const auto& lines : work.pages) {
        pages.emplace_back();
        for (const auto& measured : lines) {
            kit::LayoutManager::LineFragment fragment = measured.fragment;
            fragment.usedRect = kit::LayoutManager::usedRect(engine, measured);
            if (auto line = textLayerLine(fragment, work.storage.get()))
                pages.back().push_back(std::move(*line));
        }
    }
    return pages;
}

void keepTextLayer(NRVLectorin& plugin, TextLayerCache& cache, const TextLayerWork& work,
    std::vector<std::vector<TextLayerCache::Line>> pages)
{
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    kit::LayoutManager* layout = pageView ? pageView->layoutManager() : nullptr;
    // Measured for a layout that is gone: nothing of it is kept.
    if (!layout || layout->layoutGeneration() != work.layoutGeneration)
        return;
    if (cache.layoutGeneration != work.layoutGeneration) {
        cache.layoutGeneration = work.layoutGeneration;
        cache.pages.clear();
    }
    if (cache.pages.size() != work.firstPage)
        return;
    for (auto& page : pages)
        cache.pages.push_back(std::move(page));
}

std::string viewHTML(NRVLectorin& plugin, kit::Size box, std::vector<std::string>* links, TextLayerCache* cache)
{
    if (links)
        links->clear();
    std::string html = head(plugin.backgroundColor());
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    if (plugin.isLoading() || plugin.hasFailed() || !pageView || pageView->numberOfPages() == 0) {
        html += "<img class=box alt=\"\" width=\"" + number(box.width) + "\" height=\"" + number(box.height)
            + "\" srcset=\"box.png?s=1 1x, box.png?s=2 2x\" src=\"box.png?s=1\"></body></html>";
        return html;
    }
    float scale = pageview::ScaleUtilities::scale(*pageView).width;
    float separator = pageView->pageSeparatorHeight();
    kit::Size stack = pageView->bounds().size;
    int step = pageView->zoomStep();
    html += "<div class=stack style=\"width:" + number(stack.width * scale)
        + "px;height:" + number(stack.height * scale) + "px\">";
    kit::LayoutManager* layout = pageView->layoutManager();
    const kit::TextStorage* storage = pageView->textStorage();
    TextLayerCache uncached;
    TextLayerCache& layer = cache ? *cache : uncached;
    if (layout && layer.layoutGeneration != layout->layoutGeneration()) {
        layer.layoutGeneration = layout->layoutGeneration();
        layer.pages.clear();
    }
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
        if (layout) {
            // Pages are laid out in order, and a page once laid out stays as it is while the layout does.
            while (layer.pages.size() <= page)
                layer.pages.push_back(textLayerLines(*layout, storage, std::uint32_t(layer.pages.size())));
            for (const TextLayerCache::Line& line : layer.pages[page]) {
                html += "<text x=\"" + number(offset.x + line.x) + "\" y=\"" + number(offset.y + line.y)
                    + "\" font-size=\"" + number(line.fontSize) + "\" textLength=\"" + number(line.width)
                    + "\" lengthAdjust=\"spacingAndGlyphs\">";
                for (const TextLayerCache::Segment& segment : line.segments) {
                    // A link carries only its index: the URL stays with us, and the user script asks us
                    // to follow it, so nothing in the frame navigates by itself.
                    if (segment.link.empty() || !links) {
                        html += segment.text;
                        continue;
                    }
                    html += "<a data-link=\"" + std::to_string(links->size()) + "\">" + segment.text + "</a>";
                    links->push_back(segment.link);
                }
                html += "</text>";
            }
        }
        html += "</svg></div>";
    }
    // Buttons, not links: a press on a link may begin a drag of it, and then no click follows.
    html += "</div><div class=nib>"
            "<button type=button data-command=zoomOut title=\"Zoom Out\">&#8722;</button>"
            "<button type=button data-command=zoomIn title=\"Zoom In\">+</button>"
            "<button type=button data-command=save title=\"Save a Copy\">Save&#8230;</button>"
            "<button type=button data-command=print title=\"Print\">Print&#8230;</button>"
            "<button type=button data-command=preferences title=\"Preferences\">&#9881;</button>"
            "<button type=button data-command=about title=\"About\">?</button>"
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
    return kit::encodePng(surface.get());
}

namespace {

// The page's rectangle with the separator around it, at the view's scale times deviceScale.
std::optional<PageImage> pageImageGeometry(NRVLectorinMultiPageView& pageView, std::uint32_t page, double deviceScale)
{
    if (page >= pageView.numberOfPages())
        return std::nullopt;
    PageImage image;
    float separator = pageView.pageSeparatorHeight();
    kit::Rect rect = pageView.pageRectForPageNumber(page);
    image.rect = { rect.x() - separator, rect.y() - separator, rect.width() + 2 * separator, rect.height() + 2 * separator };
    image.scale = pageview::ScaleUtilities::scale(pageView).width * deviceScale;
    image.width = int(std::ceil(image.rect.width() * image.scale));
    image.height = int(std::ceil(image.rect.height() * image.scale));
    if (image.width <= 0 || image.height <= 0 || image.width > kMaximumSide || image.height > kMaximumSide)
        return std::nullopt;
    return image;
}

DrawnImage draw(const PageImage& image, const std::function<void(cairo_t*)>& content)
{
    DrawnImage surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height), cairo_surface_destroy);
    CairoPtr context(cairo_create(surface.get()));
    cairo_scale(context.get(), image.scale, image.scale);
    content(context.get());
    context.reset();
    cairo_surface_flush(surface.get());
    return surface;
}

} // namespace

DrawnImage drawPage(NRVLectorin& plugin, std::uint32_t page, double deviceScale)
{
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    std::optional<PageImage> image = pageView ? pageImageGeometry(*pageView, page, deviceScale) : std::nullopt;
    if (!image)
        return nullptr;
    return draw(*image, [&](cairo_t* cr) { pageView->displayRectInContext(image->rect, cr); });
}

std::optional<PageImage> pageImage(NRVLectorin& plugin, std::uint32_t page, double deviceScale)
{
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    std::optional<PageImage> image = pageView ? pageImageGeometry(*pageView, page, deviceScale) : std::nullopt;
    if (image)
        image->snapshot = pageview::PageSnapshot::capture(*pageView, page);
    if (!image || !image->snapshot)
        return std::nullopt;
    return image;
}

DrawnImage drawPageImage(const PageImage& image)
{
    // Each thread that draws pages keeps its own decoded pictures and shadow masks.
    thread_local kit::AttachmentImages pictures(kit::AttachmentImages::TextFonts::Own);
    thread_local pageview::PageShadow shadow;
    if (!image.snapshot)
        return nullptr;
    return draw(image, [&](cairo_t* cr) {
        cairo_save(cr);
        cairo_translate(cr, -image.rect.minX(), -image.rect.minY());
        image.snapshot->draw(cr, image.rect, pictures, &shadow);
        cairo_restore(cr);
    });
}

std::optional<std::vector<std::uint8_t>> encodePNG(const DrawnImage& image)
{
    if (!image || cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS)
        return std::nullopt;
    return kit::encodePng(image.get());
}

std::optional<std::vector<std::uint8_t>> pagePNG(NRVLectorin& plugin, std::uint32_t page, double deviceScale)
{
    return encodePNG(drawPage(plugin, page, deviceScale));
}

} // namespace hosts
