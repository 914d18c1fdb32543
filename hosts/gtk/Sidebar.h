#pragma once

#include "hosts/gtk/ThumbnailWorker.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/text/TextOutline.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <gtk/gtk.h>
#include <map>
#include <memory>
#include <set>
#include <vector>

class NRVLectorinMultiPageView;

namespace hosts {

// The sidebar of a document window, left of the pages: two panes, the outline (the document's headings,
// indented by level; a click scrolls its heading to the top of the view) and the page thumbnails (a
// click goes to the page; the current page is selected).
//
// Thumbnails are drawn lazily and off the UI thread: only pages whose row is on screen are asked for; the
// UI thread copies what such a page shows (its lines, cells and pictures) and a worker with its own font
// map draws it, at most kPagesAtWorker pages at a time, so the pages the reader scrolls to next are never
// queued behind a long list. The request nearest to the current page goes first, and requests for rows
// that scrolled away are dropped. At most kCachedThumbnails images are kept.
class Sidebar {
public:
    static constexpr int kThumbnailWidth = 120; // logical pixels
    static constexpr std::size_t kCachedThumbnails = 160;
    static constexpr std::size_t kPagesAtWorker = 2;

    // pageView answers the document's page view when asked (null while there is none).
    explicit Sidebar(std::function<NRVLectorinMultiPageView*()> pageView);
    ~Sidebar();
    Sidebar(const Sidebar&) = delete;
    Sidebar& operator=(const Sidebar&) = delete;

    // The sidebar, owned by the container it is put in.
    GtkWidget* widget() const { return m_root.get(); }
    bool isShown() const;
    void setShown(bool shown);
    enum class Pane { Outline, Thumbnails };
    Pane pane() const;
    void showPane(Pane pane);

    // The document's text or its pages changed: the outline is rebuilt and every thumbnail redrawn.
    void setOutline(std::vector<kit::OutlineEntry> outline);
    void setPageCount(std::uint32_t count);
    void invalidateThumbnails();
    // The page the reader is on (0-based): selected among the thumbnails, and scrolled into sight.
    void setCurrentPage(std::uint32_t page);

    // What the panes hold, for the window's tests.
    const std::vector<kit::OutlineEntry>& outline() const { return m_outline; }
    GtkListBox* outlineList() const { return GTK_LIST_BOX(m_outlineList); }
    GtkListView* thumbnailList() const { return GTK_LIST_VIEW(m_thumbnailList); }
    // Goes where a click on an outline row or a thumbnail goes.
    void activateOutlineEntry(std::size_t index);
    void activateThumbnail(std::uint32_t page);
    bool hasThumbnail(std::uint32_t page) const { return m_thumbnails.count(page) != 0; }
    std::size_t thumbnailsDrawn() const { return m_thumbnailsDrawn; }
    std::uint32_t selectedThumbnail() const;

private:
    struct Bound {
        std::uint32_t page;
        GtkPicture* picture; // owned by its list item
    };
    void requestThumbnail(std::uint32_t page);
    void scheduleRequests();
    void sendRequests();
    void thumbnailDrawn(std::uint32_t page, std::uint64_t generation, CairoSurfacePtr surface);
    int thumbnailHeight() const;
    static void onSetup(GtkSignalListItemFactory*, GtkListItem* item, Sidebar* self);
    static void onBind(GtkSignalListItemFactory*, GtkListItem* item, Sidebar* self);
    static void onUnbind(GtkSignalListItemFactory*, GtkListItem* item, Sidebar* self);

    std::function<NRVLectorinMultiPageView*()> m_pageView;
    kit::GRefPtr<GtkWidget> m_root; // the containers that show it hold references of their own
    GtkWidget* m_stack = nullptr;
    GtkWidget* m_outlineList = nullptr;
    GtkWidget* m_outlineEmpty = nullptr;
    GtkWidget* m_thumbnailList = nullptr;
    GtkStringList* m_pages = nullptr; // the thumbnail list's model: one item per page (owned by m_selection)
    GtkSingleSelection* m_selection = nullptr; // owned by the list view
    std::vector<kit::OutlineEntry> m_outline;
    std::map<std::uint32_t, kit::GRefPtr<GdkTexture>> m_thumbnails;
    std::deque<std::uint32_t> m_thumbnailOrder; // oldest first, for eviction
    std::map<GtkListItem*, Bound> m_bound;
    std::deque<std::uint32_t> m_requests;
    std::uint32_t m_currentPage = 0;
    guint m_drawSource = 0;
    std::size_t m_thumbnailsDrawn = 0;
    bool m_selecting = false;
    // Pictures of an older generation (before the pages changed) are dropped when they arrive.
    std::uint64_t m_generation = 0;
    std::set<std::uint32_t> m_atWorker; // pages of this generation being drawn
    std::unique_ptr<ThumbnailWorker> m_worker; // last: it goes first, before what its answers touch
};

} // namespace hosts
