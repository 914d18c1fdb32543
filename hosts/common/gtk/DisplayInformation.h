#pragma once

#include "kit/host/Host.h"

#include <cstdint>
#include <gdk/gdk.h>
#include <optional>
#include <span>

namespace hosts {

// The physical image size an EDID block gives in its first detailed timing descriptor (bytes 66-68, in
// millimetres), or nothing when the block is too short, lacks the EDID header or holds a zero size
// (projectors, and monitors that leave it out).
struct PhysicalSize {
    int widthMillimetres = 0;
    int heightMillimetres = 0;
    bool operator==(const PhysicalSize&) const = default;
};
std::optional<PhysicalSize> physicalSizeFromEDID(std::span<const std::uint8_t> edid);

// The main display as the zoom needs it: its width and height in logical pixels (device pixels divided by
// the monitor's scale factor) and its physical size in millimetres, 0 when unknown. On X11 the size is the
// primary RandR output's (0 there means unknown), else its EDID's; GdkMonitor's size is trusted only on
// Wayland (on X11 it invents one from 96 dpi). Not present without a monitor.
kit::DisplayInfo mainDisplayInformation(GdkDisplay* display);

// The main monitor: the primary one on X11, else the first.
GdkMonitor* mainMonitor(GdkDisplay* display);
// The part of the monitor free for windows (without panels and docks), logical pixels.
GdkRectangle monitorWorkArea(GdkMonitor* monitor);

// The content size a new window gets: the size asked for, less what the window adds around its content
// (title bar), limited to the work area; never below minimum.
kit::Size initialContentSize(kit::Size wanted, kit::Size chrome, GdkRectangle workArea, kit::Size minimum);

} // namespace hosts
