#include "hosts/gtk/NightReading.h"

#include "hosts/common/gtk/HostWindow.h"
#include "hosts/gtk/ControlShortcut.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextStorage.h"
#include "kit/view/ClipView.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageNavigation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hosts {

namespace {

// A rectangle of the page view in device pixels of the backing store, edges rounded to the nearest pixel
// (the pixels whose centres lie inside).
PixelRect devicePixels(kit::Window& window, NRVLectorinMultiPageView& pageView, kit::Rect rect, int scale)
{
    kit::Rect device = window.deviceRectFromBase(pageView.convertRect(rect, nullptr));
    int x0 = int(std::lround(device.minX() * scale)), y0 = int(std::lround(device.minY() * scale));
    int x1 = int(std::lround(device.maxX() * scale)), y1 = int(std::lround(device.maxY() * scale));
    return { x0, y0, x1 - x0, y1 - y0 };
}

PixelRect intersection(const PixelRect& a, const PixelRect& b)
{
    int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    int x1 = std::min(a.x + a.width, b.x + b.width), y1 = std::min(a.y + a.height, b.y + b.height);
    return x1 <= x0 || y1 <= y0 ? PixelRect {} : PixelRect { x0, y0, x1 - x0, y1 - y0 };
}

// The section of a menu whose items include the action; -1 when none has it.
int sectionWithAction(GMenuModel* menu, const char* action)
{
    for (int i = 0; i < g_menu_model_get_n_items(menu); ++i) {
        auto section = kit::adoptGRef(g_menu_model_get_item_link(menu, i, G_MENU_LINK_SECTION));
        for (int j = 0; section && j < g_menu_model_get_n_items(section.get()); ++j) {
            gchar* name = nullptr;
            if (g_menu_model_get_item_attribute(section.get(), j, G_MENU_ATTRIBUTE_ACTION, "s", &name)) {
                bool found = !std::strcmp(name, action);
                g_free(name);
                if (found)
                    return i;
            }
        }
    }
    return -1;
}

} // namespace

std::uint32_t NightReading::nightPixel(std::uint32_t pixel)
{
    int a = int(pixel >> 24), r = int((pixel >> 16) & 0xFF), g = int((pixel >> 8) & 0xFF), b = int(pixel & 0xFF);
    // Premultiplied, so "1" is the pixel's alpha.
    int lift = a - std::max({ r, g, b }) - std::min({ r, g, b });
    auto channel = [&](int c) {
        int turned = std::clamp(c + lift, 0, a);
        return std::uint32_t((kPaper * a + turned * (kInk - kPaper) + 127) / 255);
    };
    return std::uint32_t(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

void NightReading::turnPixels(std::uint32_t* pixels, int count)
{
    std::uint32_t last = 0, turned = nightPixel(0);
    for (int i = 0; i < count; ++i) {
        if (pixels[i] != last) {
            last = pixels[i];
            turned = nightPixel(last);
        }
        pixels[i] = turned;
    }
}

NightReading::NightReading(HostWindow& window, std::function<NRVLectorinMultiPageView*()> pageView)
    : m_window(window)
    , m_pageView(std::move(pageView))
{
    GtkWidget* gtkWindow = GTK_WIDGET(window.gtkWindow());
    auto actions = kit::adoptGRef(g_simple_action_group_new());
    m_action = kit::adoptGRef(g_simple_action_new_stateful("night", nullptr, g_variant_new_boolean(FALSE)));
    g_signal_connect_swapped(m_action.get(), "activate", G_CALLBACK(+[](NightReading* self) { self->setOn(!self->isOn()); }), this);
    g_action_map_add_action(G_ACTION_MAP(actions.get()), G_ACTION(m_action.get()));
    gtk_widget_insert_action_group(gtkWindow, "view", G_ACTION_GROUP(actions.get()));

    if (GtkWidget* button = window.menuButton()) {
        GMenuModel* menu = gtk_menu_button_get_menu_model(GTK_MENU_BUTTON(button));
        if (G_IS_MENU(menu)) {
            auto section = kit::adoptGRef(g_menu_new());
            auto item = kit::adoptGRef(g_menu_item_new("Night Reading", "view.night"));
            g_menu_item_set_attribute(item.get(), "accel", "s", "<Control>i");
            g_menu_append_item(section.get(), item.get());
            g_menu_insert_section(G_MENU(menu), sectionWithAction(menu, "doc.zoom-in") + 1, nullptr, G_MENU_MODEL(section.get()));
        }
    }

    m_keys = addControlShortcut(gtkWindow, GDK_KEY_i, [](gpointer data) {
        auto* self = static_cast<NightReading*>(data);
        self->setOn(!self->isOn());
    }, this);
}

NightReading::~NightReading()
{
    m_window.view().setPixelFilter({});
    g_signal_handlers_disconnect_by_data(m_action.get(), this);
    g_signal_handlers_disconnect_by_data(m_keys, this);
    gtk_widget_insert_action_group(GTK_WIDGET(m_window.gtkWindow()), "view", nullptr);
}

void NightReading::setOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    g_simple_action_set_state(m_action.get(), g_variant_new_boolean(on));
    if (on)
        m_window.view().setPixelFilter([this](cairo_surface_t* surface, int scale, PixelRect drawn) { filter(surface, scale, drawn); });
    else
        m_window.view().setPixelFilter({});
}

std::vector<kit::Rect> NightReading::pictureRects(NRVLectorinMultiPageView& pageView, std::uint32_t page)
{
    kit::LayoutManager* layout = pageView.layoutManager();
    kit::TextStorage* text = pageView.textStorage();
    if (!layout || !text || page >= layout->textContainers().size())
        return {};
    // A new layout manager comes with every new text.
    if (m_picturesOf != layout) {
        m_picturesOf = layout;
        m_pictures.clear();
    }
    auto known = m_pictures.find(page);
    if (known != m_pictures.end())
        return known->second;
    std::vector<kit::Rect> rects;
    const std::string& bytes = text->string();
    const kit::TextContainer& container = *layout->textContainers()[page];
    kit::Point origin = pageView.documentRectForPageNumber(page).origin;
    for (const auto& line : layout->lineFragmentsForTextContainer(container)) {
        std::size_t end = std::min(bytes.size(), line.range.location + line.range.length);
        for (std::size_t i = line.range.location; i + 3 <= end; ++i) {
            if (std::memcmp(bytes.data() + i, kit::kAttachmentCharacter, 3))
                continue;
            const auto& attachment = text->attributesAt(i).attachment;
            auto parts = layout->rectsForCharacterRange({ i, 3 }, container);
            if (!attachment || parts.empty())
                continue;
            // The picture stands on the baseline, as wide as its glyph, as tall as its shape says (the
            // line box may be taller: spacing and the descent below the baseline are the page's).
            kit::Rect glyph = parts.front();
            float height = line.baseline - line.rect.minY();
            if (attachment->size.width > 0 && attachment->size.height > 0)
                height = std::min(height, glyph.width() * attachment->size.height / attachment->size.width);
            rects.push_back({ origin.x + glyph.x(), origin.y + line.baseline - height, glyph.width(), height });
            i += 2;
        }
    }
    m_pictures[page] = rects;
    return rects;
}

void NightReading::filter(cairo_surface_t* surface, int scale, PixelRect drawn)
{
    NRVLectorinMultiPageView* pages = m_pageView ? m_pageView() : nullptr;
    kit::ClipView* clip = pages ? PageNavigation::clipView(*pages) : nullptr;
    if (!clip || pages->numberOfPages() == 0 || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
        return;
    kit::Window& window = m_window.window();
    kit::Rect visible = clip->documentVisibleRect();
    PixelRect shown = intersection(devicePixels(window, *pages, visible, scale), drawn);
    shown = intersection(shown, { 0, 0, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface) });
    if (shown.isEmpty())
        return;
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    std::uint32_t first = PageNavigation::pageAtY(*pages, visible.minY());
    std::uint32_t last = PageNavigation::pageAtY(*pages, visible.maxY());
    for (std::uint32_t page = first; page <= last; ++page) {
        PixelRect paper = intersection(devicePixels(window, *pages, pages->pageRectForPageNumber(page), scale), shown);
        if (paper.isEmpty())
            continue;
        std::vector<PixelRect> pictures;
        for (const kit::Rect& rect : pictureRects(*pages, page)) {
            PixelRect picture = intersection(devicePixels(window, *pages, rect, scale), paper);
            if (!picture.isEmpty())
                pictures.push_back(picture);
        }
        for (int y = paper.y; y < paper.y + paper.height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
            // The row in spans between the pictures it crosses (pictures are few).
            int x = paper.x, end = paper.x + paper.width;
            while (x < end) {
                int spanEnd = end, skipTo = end;
                for (const PixelRect& picture : pictures) {
                    if (y < picture.y || y >= picture.y + picture.height || picture.x + picture.width <= x)
                        continue;
                    if (std::max(picture.x, x) < spanEnd) {
                        spanEnd = std::max(picture.x, x);
                        skipTo = picture.x + picture.width;
                    }
                }
                turnPixels(row + x, spanEnd - x);
                x = std::max(skipTo, spanEnd);
                if (spanEnd == end)
                    break;
            }
        }
    }
}

} // namespace hosts
