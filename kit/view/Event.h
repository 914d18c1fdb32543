#pragma once

#include "kit/geometry/Geometry.h"

#include <string>

namespace kit {

// A user event as the host delivers it to a window. Locations are in the window's base coordinate system
// (points, origin at the bottom left, y up).
struct Event {
    enum class Type { MouseDown, MouseDragged, MouseUp, RightMouseDown, ScrollWheel, KeyDown };
    enum Modifier : unsigned { Shift = 1u << 0, Control = 1u << 1, Option = 1u << 2, Command = 1u << 3 };

    Type type = Type::MouseDown;
    Point locationInWindow;
    int clickCount = 1;
    unsigned modifierFlags = 0;
    // Scroll wheel: the distance in points the user asked to move the visible area. Positive deltaY moves
    // it towards the end of the document (downwards on screen); positive deltaX moves it to the right.
    float deltaX = 0;
    float deltaY = 0;
    // Key down: the characters typed, UTF-8 ("\r" Return, "\x1b" Escape, "\x7f" Delete); special keys
    // carry their name in keyName ("PageDown", "Home", "Up", ...) and no characters.
    std::string characters;
    std::string keyName;

    bool hasModifier(Modifier m) const { return modifierFlags & m; }
};

} // namespace kit
