#pragma once

#include "hosts/common/gtk/GtkHost.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace gtktest {

using namespace std::chrono_literals;

// A private X server for this test process: Xvfb started with -displayfd (it picks a free display and
// tells which), then GTK on it through X11 with the cairo renderer. Everything a window test needs.
struct DisplaySettings {
    int width = 1600;
    int height = 1400;
    int scale = 1; // GDK_SCALE
};
// True when GTK runs on a fresh Xvfb; else why in *reason (Xvfb missing or failing). A process gets one
// display: a second call with other settings fails with its reason.
bool startDisplay(const DisplaySettings& settings, std::string* reason);

// Runs the main loop until condition holds or bound passes; returns condition().
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound = 10s);
// Runs the loop until widget's frame clock has painted count more frames (bounded).
bool waitForPaints(GtkWidget* widget, int count = 1, std::chrono::milliseconds bound = 10s);

// Pixels of a rendered frame, 0xAARRGGBB (premultiplied), row-major, in logical pixels at scale 1.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};
// The widget as its window's renderer draws it now (GtkWidgetPaintable + GskRenderer::render_texture).
Frame renderWidget(GtkWidget* widget);

inline int red(std::uint32_t p) { return int((p >> 16) & 0xFF); }
inline int green(std::uint32_t p) { return int((p >> 8) & 0xFF); }
inline int blue(std::uint32_t p) { return int(p & 0xFF); }
// True when every channel is within tolerance of the colour's (0...1 components).
bool isColor(std::uint32_t pixel, float r, float g, float b, int tolerance = 3);

// The first visible toplevel GTK window that matches, now, or waiting for it (bounded).
GtkWindow* findToplevel(const std::function<bool(GtkWindow*)>& matches);
GtkWindow* waitForToplevel(const std::function<bool(GtkWindow*)>& matches, std::chrono::milliseconds bound = 10s);

// Emits a key press on a key controller as GTK would deliver it; returns whether a handler took it.
bool pressKey(GtkEventController* controller, unsigned keyval, GdkModifierType state = GdkModifierType(0));

// A host that records the URLs it was asked to open instead of starting a browser.
class RecordingHost : public hosts::GtkHost {
public:
    void openURL(const std::string& url) override { openedURLs.push_back(url); }
    std::vector<std::string> openedURLs;
};

} // namespace gtktest
