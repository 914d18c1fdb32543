#include "hosts/common/gtk/DisplayInformation.h"

#include "kit/foundation/GRefPtr.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#if __has_include(<X11/extensions/Xrandr.h>)
#include <X11/extensions/Xrandr.h>
#define LECTORIN_HAVE_XRANDR 1
#endif
#endif
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/wayland/gdkwayland.h>
#endif

namespace hosts {

std::optional<PhysicalSize> physicalSizeFromEDID(std::span<const std::uint8_t> edid)
{
    static const std::uint8_t header[8] = { 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00 };
    if (edid.size() < 128 || std::memcmp(edid.data(), header, sizeof header))
        return std::nullopt;
    // The first detailed timing descriptor starts at byte 54: its image size is at offsets 12-14, the low
    // eight bits of width and height, then their high four bits in one byte.
    int width = edid[66] | ((edid[68] & 0xF0) << 4);
    int height = edid[67] | ((edid[68] & 0x0F) << 8);
    // A descriptor whose pixel clock (bytes 54-55) is zero is not a timing descriptor at all.
    if ((edid[54] == 0 && edid[55] == 0) || width == 0 || height == 0)
        return std::nullopt;
    return PhysicalSize { width, height };
}

GdkMonitor* mainMonitor(GdkDisplay* display)
{
    if (!display)
        return nullptr;
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(display)) {
        if (GdkMonitor* primary = gdk_x11_display_get_primary_monitor(display))
            return primary;
    }
#endif
    GListModel* monitors = gdk_display_get_monitors(display);
    if (g_list_model_get_n_items(monitors) == 0)
        return nullptr;
    // The display's list keeps the monitor alive; the item was handed to us with a reference of its own.
    auto first = kit::adoptGRef(static_cast<GdkMonitor*>(g_list_model_get_item(monitors, 0)));
    return first.get();
}

GdkRectangle monitorWorkArea(GdkMonitor* monitor)
{
    GdkRectangle area {};
    if (!monitor)
        return area;
    gdk_monitor_get_geometry(monitor, &area);
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_MONITOR(monitor))
        gdk_x11_monitor_get_workarea(monitor, &area);
#endif
    return area;
}

#ifdef LECTORIN_HAVE_XRANDR
namespace {

// The primary RandR output (else the first one driving a CRTC): its mode size in device pixels and its
// physical size, from the output itself or from its EDID.
bool readRandR(Display* xdisplay, int& widthPixels, int& heightPixels, PhysicalSize& size)
{
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(xdisplay, &eventBase, &errorBase))
        return false;
    Window root = DefaultRootWindow(xdisplay);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(xdisplay, root);
    if (!resources)
        return false;
    RROutput primary = XRRGetOutputPrimary(xdisplay, root);
    bool found = false;
    for (int pass = 0; pass < 2 && !found; ++pass) {
        for (int i = 0; i < resources->noutput && !found; ++i) {
            RROutput output = resources->outputs[i];
            if (pass == 0 && output != primary)
                continue;
            XRROutputInfo* info = XRRGetOutputInfo(xdisplay, resources, output);
            if (!info)
                continue;
            if (info->connection == RR_Connected && info->crtc) {
                if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(xdisplay, resources, info->crtc)) {
                    widthPixels = int(crtc->width);
                    heightPixels = int(crtc->height);
                    XRRFreeCrtcInfo(crtc);
                    found = true;
                    size = { int(info->mm_width), int(info->mm_height) };
                    if (size.widthMillimetres == 0 || size.heightMillimetres == 0) {
                        size = {};
                        Atom edidAtom = XInternAtom(xdisplay, "EDID", True);
                        unsigned char* data = nullptr;
                        Atom type = None;
                        int format = 0;
                        unsigned long count = 0, remaining = 0;
                        if (edidAtom != None
                            && XRRGetOutputProperty(xdisplay, output, edidAtom, 0, 256, False, False, AnyPropertyType,
                                   &type, &format, &count, &remaining, &data)
                                == Success
                            && data && format == 8) {
                            if (auto edid = physicalSizeFromEDID({ data, std::size_t(count) }))
                                size = *edid;
                        }
                        if (data)
                            XFree(data);
                    }
                }
            }
            XRRFreeOutputInfo(info);
        }
    }
    XRRFreeScreenResources(resources);
    return found;
}

} // namespace
#endif

kit::DisplayInfo mainDisplayInformation(GdkDisplay* display)
{
    kit::DisplayInfo info;
    GdkMonitor* monitor = mainMonitor(display);
    if (!monitor)
        return info;
    GdkRectangle geometry {};
    gdk_monitor_get_geometry(monitor, &geometry);
    int scale = std::max(gdk_monitor_get_scale_factor(monitor), 1);
    info.present = true;
    info.widthPixels = geometry.width;
    info.heightPixels = geometry.height;
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(display)) {
#ifdef LECTORIN_HAVE_XRANDR
        int widthPixels = 0, heightPixels = 0;
        PhysicalSize size;
        if (readRandR(gdk_x11_display_get_xdisplay(display), widthPixels, heightPixels, size)) {
            info.widthPixels = widthPixels / scale;
            info.heightPixels = heightPixels / scale;
            info.widthMillimetres = size.widthMillimetres;
            info.heightMillimetres = size.heightMillimetres;
        }
#endif
        return info;
    }
#endif
#ifdef GDK_WINDOWING_WAYLAND
    if (GDK_IS_WAYLAND_DISPLAY(display)) {
        info.widthMillimetres = std::max(gdk_monitor_get_width_mm(monitor), 0);
        info.heightMillimetres = std::max(gdk_monitor_get_height_mm(monitor), 0);
    }
#endif
    return info;
}

kit::Size initialContentSize(kit::Size wanted, kit::Size chrome, GdkRectangle workArea, kit::Size minimum)
{
    kit::Size size = wanted;
    if (workArea.width > 0)
        size.width = std::min(size.width, float(workArea.width) - chrome.width);
    if (workArea.height > 0)
        size.height = std::min(size.height, float(workArea.height) - chrome.height);
    size.width = std::max(std::floor(size.width), minimum.width);
    size.height = std::max(std::floor(size.height), minimum.height);
    return size;
}

} // namespace hosts
