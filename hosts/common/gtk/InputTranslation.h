#pragma once

#include "kit/view/Event.h"

#include <gdk/gdk.h>
#include <optional>
#include <string>

namespace hosts {

// What a key press means to a kit view tree: the characters typed ("\r" Return, "\x1b" Escape) or, for a
// special key, its name ("PageDown", "Home", "Up"...). Nothing for keys that type nothing (Shift alone).
struct TranslatedKey {
    std::string characters;
    std::string keyName;
};
std::optional<TranslatedKey> translateKey(unsigned keyval);

// GDK's modifier state as kit::Event modifier flags. Control is also reported as Command: the menu
// shortcut key that the view classes test is Control on this platform.
unsigned translateModifiers(GdkModifierType state);

// The window command a key press triggers ("find-next" for Ctrl+G), or null. The names are the actions of
// a document window's action group; Shift is ignored where a keyboard layout needs it to type the key
// (Ctrl+plus is Ctrl+Shift+equal on many layouts).
const char* shortcutActionForKey(unsigned keyval, GdkModifierType state);

// The accelerator text of an action's first shortcut, as a menu shows it ("<Control>s"); null without one.
const char* acceleratorForAction(const char* action);

// Turns the scroll controller's deltas into kit scroll distances and zoom steps.
//
// Wheel deltas come in notches (a high-resolution wheel sends fractions of one); touchpad deltas come in
// surface pixels, which are window units here. With Control held, scrolling zooms: notches and pixels
// are gathered until they make one whole step, so a touchpad swipe zooms by steps instead of flooding
// the page view with zoom commands.
class ScrollTranslator {
public:
    static constexpr float kPointsPerNotch = 48; // three lines of a scroll view's 16-point line scroll
    static constexpr double kPixelsPerZoomStep = 40;

    enum class Unit { Wheel, Surface };
    struct Result {
        float deltaX = 0; // points, positive: towards the right
        float deltaY = 0; // points, positive: towards the end of the document
        int zoomSteps = 0; // positive: zoom in
    };

    Result translate(double dx, double dy, Unit unit, GdkModifierType state);
    // A touchpad gesture ended (or the user let go of Control): a half-gathered step is dropped.
    void reset() { m_zoomGathered = 0; }

private:
    double m_zoomGathered = 0; // in steps, signed
};

} // namespace hosts
