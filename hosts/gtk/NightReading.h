#pragma once

#include "hosts/common/gtk/BackingStore.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/geometry/Geometry.h"

#include <cstdint>
#include <functional>
#include <gtk/gtk.h>
#include <map>
#include <vector>

class NRVLectorinMultiPageView;

namespace hosts {

class HostWindow;

// Night reading: the pages on screen dark with light text, pictures as they are. It is a way of showing
// the window's pixels, not a change of the document or its views: the window's backing store passes each
// drawing through a filter that turns the pixels of the pages, outside the pictures, to their night
// colours. Printing, saving and the headless commands draw the views themselves and never see it.
//
// The toggle is the stateful action "view.night" of the GTK window, the menu item "Night Reading" after
// the zoom commands, and Ctrl+I. Lives inside the document window; the host window outlives it.
class NightReading {
public:
    NightReading(HostWindow& window, std::function<NRVLectorinMultiPageView*()> pageView);
    ~NightReading();
    NightReading(const NightReading&) = delete;
    NightReading& operator=(const NightReading&) = delete;

    bool isOn() const { return m_on; }
    void setOn(bool on);
    GtkEventController* keyController() const { return m_keys; }
    GAction* action() const { return G_ACTION(m_action.get()); }

    // A page's pixel at night (0xAARRGGBB, premultiplied): lightness turned over with hue and saturation
    // kept (c + 1 - max - min per channel), then drawn into the range from a dark grey paper to a light
    // grey ink, so white paper becomes kPaper and black text kInk.
    static std::uint32_t nightPixel(std::uint32_t pixel);
    // nightPixel for count pixels in place: the same results, with the runs of one colour a page is mostly
    // made of turned once.
    static void turnPixels(std::uint32_t* pixels, int count);
    static constexpr int kPaper = 30;
    static constexpr int kInk = 222;

    // The pictures of a page (page view coordinates): kept as they are.
    std::vector<kit::Rect> pictureRects(NRVLectorinMultiPageView& pageView, std::uint32_t page);

private:
    void filter(cairo_surface_t* surface, int scale, PixelRect drawn);

    HostWindow& m_window;
    std::function<NRVLectorinMultiPageView*()> m_pageView;
    bool m_on = false;
    kit::GRefPtr<GSimpleAction> m_action;
    GtkEventController* m_keys = nullptr; // the window owns its controllers
    // Per page, its pictures, for the text (and layout) they were found in.
    const void* m_picturesOf = nullptr;
    std::map<std::uint32_t, std::vector<kit::Rect>> m_pictures;
};

} // namespace hosts
