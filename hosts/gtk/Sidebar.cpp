#include "hosts/gtk/Sidebar.h"

#include "kit/print/PrintInfo.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageNavigation.h"
#include "pageview/PageSnapshot.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <string>

namespace hosts {

namespace {

constexpr int kIndentPerLevel = 14; // logical pixels

// Where the picture of a list item is: the item's child is a box of the picture and the page number.
GtkPicture* pictureOf(GtkListItem* item)
{
    GtkWidget* box = gtk_list_item_get_child(item);
    return box ? GTK_PICTURE(gtk_widget_get_first_child(box)) : nullptr;
}

GtkLabel* labelOf(GtkListItem* item)
{
    GtkWidget* box = gtk_list_item_get_child(item);
    return box ? GTK_LABEL(gtk_widget_get_last_child(box)) : nullptr;
}

} // namespace

Sidebar::Sidebar(std::function<NRVLectorinMultiPageView*()> pageView)
    : m_pageView(std::move(pageView))
{
    m_outlineList = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(m_outlineList), GTK_SELECTION_NONE);
    gtk_list_box_set_activate_on_single_click(GTK_LIST_BOX(m_outlineList), TRUE);
    g_signal_connect(m_outlineList, "row-activated", G_CALLBACK(+[](GtkListBox*, GtkListBoxRow* row, Sidebar* self) {
        self->activateOutlineEntry(std::size_t(gtk_list_box_row_get_index(row)));
    }), this);
    m_outlineEmpty = gtk_label_new("This document has no headings.");
    gtk_widget_add_css_class(m_outlineEmpty, "dim-label");
    gtk_label_set_wrap(GTK_LABEL(m_outlineEmpty), TRUE);
    gtk_widget_set_margin_top(m_outlineEmpty, 24);
    gtk_widget_set_margin_start(m_outlineEmpty, 12);
    gtk_widget_set_margin_end(m_outlineEmpty, 12);
    GtkWidget* outlineColumn = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_append(GTK_BOX(outlineColumn), m_outlineList);
    gtk_box_append(GTK_BOX(outlineColumn), m_outlineEmpty);
    GtkWidget* outlineScroller = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(outlineScroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(outlineScroller), outlineColumn);

    m_pages = gtk_string_list_new(nullptr);
    m_selection = gtk_single_selection_new(G_LIST_MODEL(m_pages)); // takes the model
    gtk_single_selection_set_autoselect(m_selection, FALSE);
    gtk_single_selection_set_can_unselect(m_selection, TRUE);
    GtkListItemFactory* factory = gtk_signal_list_item_factory_new();
    g_signal_connect(factory, "setup", G_CALLBACK(onSetup), this);
    g_signal_connect(factory, "bind", G_CALLBACK(onBind), this);
    g_signal_connect(factory, "unbind", G_CALLBACK(onUnbind), this);
    m_thumbnailList = gtk_list_view_new(GTK_SELECTION_MODEL(m_selection), factory); // takes both
    gtk_list_view_set_single_click_activate(GTK_LIST_VIEW(m_thumbnailList), TRUE);
    g_signal_connect(m_thumbnailList, "activate", G_CALLBACK(+[](GtkListView*, guint position, Sidebar* self) {
        self->activateThumbnail(position);
    }), this);
    GtkWidget* thumbnailScroller = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(thumbnailScroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(thumbnailScroller), m_thumbnailList);

    m_stack = gtk_stack_new();
    gtk_widget_set_vexpand(m_stack, TRUE);
    gtk_widget_set_vexpand(thumbnailScroller, TRUE);
    gtk_widget_set_vexpand(outlineScroller, TRUE);
    gtk_stack_add_titled(GTK_STACK(m_stack), outlineScroller, "outline", "Outline");
    gtk_stack_add_titled(GTK_STACK(m_stack), thumbnailScroller, "thumbnails", "Pages");
    // The list binds rows whether or not its pane is in sight; they are drawn once it is.
    g_signal_connect(m_stack, "notify::visible-child-name", G_CALLBACK(+[](GObject*, GParamSpec*, Sidebar* self) {
        self->scheduleRequests();
    }), this);
    GtkWidget* switcher = gtk_stack_switcher_new();
    gtk_stack_switcher_set_stack(GTK_STACK_SWITCHER(switcher), GTK_STACK(m_stack));
    gtk_widget_set_halign(switcher, GTK_ALIGN_CENTER);
    gtk_widget_set_margin_top(switcher, 6);
    gtk_widget_set_margin_bottom(switcher, 6);

    m_root = kit::adoptGRef(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0));
    gtk_widget_set_size_request(m_root.get(), kThumbnailWidth + 64, -1);
    gtk_widget_add_css_class(m_root.get(), "sidebar");
    gtk_box_append(GTK_BOX(m_root.get()), switcher);
    gtk_box_append(GTK_BOX(m_root.get()), m_stack);
    gtk_widget_set_visible(m_root.get(), FALSE);
    setOutline({});
    m_worker = std::make_unique<ThumbnailWorker>([this](std::uint32_t page, std::uint64_t generation, CairoSurfacePtr surface) {
        thumbnailDrawn(page, generation, std::move(surface));
    });
}

Sidebar::~Sidebar()
{
    m_worker = nullptr;
    if (m_drawSource)
        g_source_remove(m_drawSource);
    // Unbinding, when the list goes, must not reach a half-destroyed object.
    g_signal_handlers_disconnect_by_data(m_thumbnailList, this);
    g_signal_handlers_disconnect_by_data(gtk_list_view_get_factory(GTK_LIST_VIEW(m_thumbnailList)), this);
    g_signal_handlers_disconnect_by_data(m_outlineList, this);
    g_signal_handlers_disconnect_by_data(m_stack, this);
    m_bound.clear();
    m_thumbnails.clear();
    m_root = nullptr;
}

bool Sidebar::isShown() const
{
    return gtk_widget_get_visible(m_root.get());
}

void Sidebar::setShown(bool shown)
{
    gtk_widget_set_visible(m_root.get(), shown);
    scheduleRequests();
}

Sidebar::Pane Sidebar::pane() const
{
    const char* name = gtk_stack_get_visible_child_name(GTK_STACK(m_stack));
    return name && std::string(name) == "thumbnails" ? Pane::Thumbnails : Pane::Outline;
}

void Sidebar::showPane(Pane pane)
{
    gtk_stack_set_visible_child_name(GTK_STACK(m_stack), pane == Pane::Thumbnails ? "thumbnails" : "outline");
}

void Sidebar::setOutline(std::vector<kit::OutlineEntry> outline)
{
    m_outline = std::move(outline);
    while (GtkWidget* row = gtk_widget_get_first_child(m_outlineList))
        gtk_list_box_remove(GTK_LIST_BOX(m_outlineList), row);
    for (const auto& entry : m_outline) {
        GtkWidget* label = gtk_label_new(entry.title.c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
        gtk_widget_set_tooltip_text(label, entry.title.c_str());
        gtk_widget_set_margin_start(label, 8 + kIndentPerLevel * (entry.level - 1));
        gtk_widget_set_margin_end(label, 8);
        gtk_widget_set_margin_top(label, 3);
        gtk_widget_set_margin_bottom(label, 3);
        if (entry.level == 1)
            gtk_widget_add_css_class(label, "heading");
        gtk_list_box_append(GTK_LIST_BOX(m_outlineList), label);
    }
    gtk_widget_set_visible(m_outlineEmpty, m_outline.empty());
    gtk_widget_set_visible(m_outlineList, !m_outline.empty());
}

void Sidebar::setPageCount(std::uint32_t count)
{
    guint shown = g_list_model_get_n_items(G_LIST_MODEL(m_pages));
    if (count == shown)
        return;
    m_selecting = true;
    if (count < shown) {
        gtk_string_list_splice(m_pages, count, shown - count, nullptr);
    } else {
        std::vector<std::string> numbers;
        for (guint page = shown; page < count; ++page)
            numbers.push_back(std::to_string(page + 1));
        std::vector<const char*> pointers;
        for (const auto& number : numbers)
            pointers.push_back(number.c_str());
        pointers.push_back(nullptr);
        gtk_string_list_splice(m_pages, shown, 0, pointers.data());
    }
    m_selecting = false;
}

void Sidebar::invalidateThumbnails()
{
    m_thumbnails.clear();
    m_thumbnailOrder.clear();
    m_requests.clear();
    ++m_generation;
    m_atWorker.clear();
    m_worker->cancel();
    for (auto& [item, bound] : m_bound) {
        gtk_picture_set_paintable(bound.picture, nullptr);
        requestThumbnail(bound.page);
    }
}

void Sidebar::setCurrentPage(std::uint32_t page)
{
    if (page >= g_list_model_get_n_items(G_LIST_MODEL(m_pages)) || selectedThumbnail() == page)
        return;
    m_currentPage = page;
    m_selecting = true;
    gtk_single_selection_set_selected(m_selection, page);
    m_selecting = false;
    if (isShown() && pane() == Pane::Thumbnails)
        gtk_widget_activate_action(m_thumbnailList, "list.scroll-to-item", "u", page);
}

std::uint32_t Sidebar::selectedThumbnail() const
{
    return gtk_single_selection_get_selected(m_selection);
}

void Sidebar::activateOutlineEntry(std::size_t index)
{
    NRVLectorinMultiPageView* pageView = m_pageView();
    if (!pageView || index >= m_outline.size())
        return;
    PageNavigation::scrollCharacterToTop(*pageView, m_outline[index].location);
}

void Sidebar::activateThumbnail(std::uint32_t page)
{
    if (NRVLectorinMultiPageView* pageView = m_pageView())
        PageNavigation::scrollToPage(*pageView, page);
}

int Sidebar::thumbnailHeight() const
{
    NRVLectorinMultiPageView* pageView = m_pageView();
    kit::Size paper = pageView ? pageView->printInfo()->paperSize() : kit::Size { 612, 792 };
    if (paper.width <= 0 || paper.height <= 0)
        return kThumbnailWidth;
    return std::clamp(int(std::lround(kThumbnailWidth * paper.height / paper.width)), 16, 4 * kThumbnailWidth);
}

void Sidebar::onSetup(GtkSignalListItemFactory*, GtkListItem* item, Sidebar* self)
{
    GtkWidget* picture = gtk_picture_new();
    gtk_picture_set_can_shrink(GTK_PICTURE(picture), TRUE);
    gtk_widget_set_size_request(picture, kThumbnailWidth, self->thumbnailHeight());
    gtk_widget_set_halign(picture, GTK_ALIGN_CENTER);
    gtk_widget_add_css_class(picture, "frame");
    GtkWidget* number = gtk_label_new("");
    gtk_widget_add_css_class(number, "caption");
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    gtk_widget_set_margin_top(box, 6);
    gtk_widget_set_margin_bottom(box, 6);
    gtk_box_append(GTK_BOX(box), picture);
    gtk_box_append(GTK_BOX(box), number);
    gtk_list_item_set_child(item, box);
}

void Sidebar::onBind(GtkSignalListItemFactory*, GtkListItem* item, Sidebar* self)
{
    std::uint32_t page = gtk_list_item_get_position(item);
    GtkPicture* picture = pictureOf(item);
    gtk_label_set_text(labelOf(item), std::to_string(page + 1).c_str());
    gtk_widget_set_size_request(GTK_WIDGET(picture), kThumbnailWidth, self->thumbnailHeight());
    self->m_bound[item] = { page, picture };
    if (auto it = self->m_thumbnails.find(page); it != self->m_thumbnails.end()) {
        gtk_picture_set_paintable(picture, GDK_PAINTABLE(it->second.get()));
        return;
    }
    gtk_picture_set_paintable(picture, nullptr);
    self->requestThumbnail(page);
}

void Sidebar::onUnbind(GtkSignalListItemFactory*, GtkListItem* item, Sidebar* self)
{
    self->m_bound.erase(item);
    if (GtkPicture* picture = pictureOf(item))
        gtk_picture_set_paintable(picture, nullptr);
}

void Sidebar::requestThumbnail(std::uint32_t page)
{
    m_requests.erase(std::remove(m_requests.begin(), m_requests.end(), page), m_requests.end());
    m_requests.push_back(page);
    scheduleRequests();
}

void Sidebar::scheduleRequests()
{
    if (m_drawSource)
        return;
    // On a later turn, once the list has bound every row it shows: the nearest of them goes first.
    // A timer, not an idle source: GTK's layout and frame idles can keep an idle of ours from ever running.
    m_drawSource = g_timeout_add_full(
        G_PRIORITY_DEFAULT, 1,
        +[](gpointer data) -> gboolean {
            auto* self = static_cast<Sidebar*>(data);
            self->m_drawSource = 0;
            self->sendRequests();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
}

void Sidebar::sendRequests()
{
    // Requests wait while the thumbnails are out of sight.
    if (!isShown() || pane() != Pane::Thumbnails)
        return;
    NRVLectorinMultiPageView* pageView = m_pageView();
    int width = kThumbnailWidth * std::max(1, gtk_widget_get_scale_factor(m_thumbnailList));
    while (!m_requests.empty() && m_atWorker.size() < kPagesAtWorker) {
        // The page nearest to the reader's first: it is the one they look for.
        auto nearest = std::min_element(m_requests.begin(), m_requests.end(), [this](std::uint32_t a, std::uint32_t b) {
            auto distance = [this](std::uint32_t page) {
                return page > m_currentPage ? page - m_currentPage : m_currentPage - page;
            };
            return distance(a) < distance(b);
        });
        std::uint32_t page = *nearest;
        m_requests.erase(nearest);
        // Only rows still on screen, and only pages not drawn or being drawn.
        bool showing = std::any_of(m_bound.begin(), m_bound.end(), [page](const auto& bound) { return bound.second.page == page; });
        if (!showing || m_thumbnails.count(page) || m_atWorker.count(page) || !pageView || page >= pageView->numberOfPages())
            continue;
        m_atWorker.insert(page);
        m_worker->request(page, m_generation, pageview::PageSnapshot::capture(*pageView, page), width);
    }
}

void Sidebar::thumbnailDrawn(std::uint32_t page, std::uint64_t generation, CairoSurfacePtr surface)
{
    if (generation != m_generation)
        return;
    m_atWorker.erase(page);
    if (surface) {
        int width = cairo_image_surface_get_width(surface.get());
        int height = cairo_image_surface_get_height(surface.get());
        int stride = cairo_image_surface_get_stride(surface.get());
        // The texture reads the surface's own pixels, which the bytes keep alive. Cairo's ARGB32 is
        // premultiplied B, G, R, A in memory on this little-endian machine; the painter paints every pixel opaque.
        unsigned char* data = cairo_image_surface_get_data(surface.get());
        GBytes* bytes = g_bytes_new_with_free_func(data, std::size_t(stride) * std::size_t(height),
            reinterpret_cast<GDestroyNotify>(cairo_surface_destroy), surface.release());
        auto texture = kit::adoptGRef(gdk_memory_texture_new(width, height, GDK_MEMORY_B8G8R8A8_PREMULTIPLIED, bytes, std::size_t(stride)));
        g_bytes_unref(bytes);
        m_thumbnails[page] = texture;
        m_thumbnailOrder.push_back(page);
        ++m_thumbnailsDrawn;
        while (m_thumbnailOrder.size() > kCachedThumbnails) {
            // A row still showing keeps its picture's own reference.
            m_thumbnails.erase(m_thumbnailOrder.front());
            m_thumbnailOrder.pop_front();
        }
        for (const auto& [item, bound] : m_bound) {
            if (bound.page == page)
                gtk_picture_set_paintable(bound.picture, GDK_PAINTABLE(texture.get()));
        }
    }
    if (!m_requests.empty())
        scheduleRequests();
}

} // namespace hosts
