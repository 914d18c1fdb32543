#include "hosts/common/gtk/InputTranslation.h"

#include <cmath>
#include <cstring>

namespace hosts {

namespace {

struct NamedKey {
    unsigned keyval;
    const char* characters;
    const char* name;
};

const NamedKey kNamedKeys[] = {
    { GDK_KEY_Return, "\r", "" },
    { GDK_KEY_KP_Enter, "\r", "" },
    { GDK_KEY_ISO_Enter, "\r", "" },
    { GDK_KEY_Escape, "\x1b", "" },
    { GDK_KEY_Tab, "\t", "" },
    { GDK_KEY_ISO_Left_Tab, "\t", "" },
    { GDK_KEY_BackSpace, "\x7f", "" },
    { GDK_KEY_space, " ", "" },
    { GDK_KEY_KP_Space, " ", "" },
    { GDK_KEY_Up, "", "Up" },
    { GDK_KEY_KP_Up, "", "Up" },
    { GDK_KEY_Down, "", "Down" },
    { GDK_KEY_KP_Down, "", "Down" },
    { GDK_KEY_Left, "", "Left" },
    { GDK_KEY_KP_Left, "", "Left" },
    { GDK_KEY_Right, "", "Right" },
    { GDK_KEY_KP_Right, "", "Right" },
    { GDK_KEY_Page_Up, "", "PageUp" },
    { GDK_KEY_KP_Page_Up, "", "PageUp" },
    { GDK_KEY_Page_Down, "", "PageDown" },
    { GDK_KEY_KP_Page_Down, "", "PageDown" },
    { GDK_KEY_Home, "", "Home" },
    { GDK_KEY_KP_Home, "", "Home" },
    { GDK_KEY_End, "", "End" },
    { GDK_KEY_KP_End, "", "End" },
    { GDK_KEY_Delete, "", "Delete" },
    { GDK_KEY_KP_Delete, "", "Delete" },
    { GDK_KEY_Insert, "", "Insert" },
};

constexpr auto kShortcutModifiers = GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_ALT_MASK | GDK_SUPER_MASK);

struct Shortcut {
    unsigned keyval; // lower case
    GdkModifierType modifiers;
    const char* action;
    const char* accelerator; // for menus; null for the alternatives a menu does not show
    bool shiftFree; // the layout may need Shift to type the key
};

const Shortcut kShortcuts[] = {
    { GDK_KEY_s, GDK_CONTROL_MASK, "save-copy", "<Control>s", false },
    { GDK_KEY_p, GDK_CONTROL_MASK, "print", "<Control>p", false },
    { GDK_KEY_f, GDK_CONTROL_MASK, "find", "<Control>f", false },
    { GDK_KEY_g, GDK_CONTROL_MASK, "find-next", "<Control>g", false },
    { GDK_KEY_F3, GdkModifierType(0), "find-next", nullptr, false },
    { GDK_KEY_g, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK), "find-previous", "<Control><Shift>g", false },
    { GDK_KEY_F3, GDK_SHIFT_MASK, "find-previous", nullptr, false },
    { GDK_KEY_plus, GDK_CONTROL_MASK, "zoom-in", "<Control>plus", true },
    { GDK_KEY_equal, GDK_CONTROL_MASK, "zoom-in", nullptr, true },
    { GDK_KEY_KP_Add, GDK_CONTROL_MASK, "zoom-in", nullptr, false },
    { GDK_KEY_minus, GDK_CONTROL_MASK, "zoom-out", "<Control>minus", false },
    { GDK_KEY_KP_Subtract, GDK_CONTROL_MASK, "zoom-out", nullptr, false },
    { GDK_KEY_0, GDK_CONTROL_MASK, "actual-size", "<Control>0", false },
    { GDK_KEY_KP_0, GDK_CONTROL_MASK, "actual-size", nullptr, false },
    { GDK_KEY_KP_Insert, GDK_CONTROL_MASK, "actual-size", nullptr, false },
    { GDK_KEY_c, GDK_CONTROL_MASK, "copy", "<Control>c", false },
    { GDK_KEY_a, GDK_CONTROL_MASK, "select-all", "<Control>a", false },
    { GDK_KEY_comma, GDK_CONTROL_MASK, "preferences", "<Control>comma", false },
    { GDK_KEY_w, GDK_CONTROL_MASK, "close", "<Control>w", false },
};

} // namespace

std::optional<TranslatedKey> translateKey(unsigned keyval)
{
    for (const auto& key : kNamedKeys) {
        if (key.keyval == keyval)
            return TranslatedKey { key.characters, key.name };
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F35)
        return TranslatedKey { "", "F" + std::to_string(keyval - GDK_KEY_F1 + 1) };
    gunichar character = gdk_keyval_to_unicode(keyval);
    // Control characters other than those named above, and keys without a character (modifiers), type nothing.
    if (!character || g_unichar_iscntrl(character))
        return std::nullopt;
    char utf8[8] = {};
    g_unichar_to_utf8(character, utf8);
    return TranslatedKey { utf8, "" };
}

unsigned translateModifiers(GdkModifierType state)
{
    unsigned flags = 0;
    if (state & GDK_SHIFT_MASK)
        flags |= kit::Event::Shift;
    if (state & GDK_CONTROL_MASK)
        flags |= kit::Event::Control | kit::Event::Command;
    if (state & GDK_ALT_MASK)
        flags |= kit::Event::Option;
    if (state & (GDK_SUPER_MASK | GDK_META_MASK))
        flags |= kit::Event::Command;
    return flags;
}

const char* shortcutActionForKey(unsigned keyval, GdkModifierType state)
{
    unsigned key = gdk_keyval_to_lower(keyval);
    auto modifiers = GdkModifierType(state & kShortcutModifiers);
    for (const auto& shortcut : kShortcuts) {
        if (shortcut.keyval != key)
            continue;
        auto compared = shortcut.shiftFree ? GdkModifierType(modifiers & ~GDK_SHIFT_MASK) : modifiers;
        if (compared == shortcut.modifiers)
            return shortcut.action;
    }
    return nullptr;
}

const char* acceleratorForAction(const char* action)
{
    for (const auto& shortcut : kShortcuts) {
        if (shortcut.accelerator && !std::strcmp(shortcut.action, action))
            return shortcut.accelerator;
    }
    return nullptr;
}

ScrollTranslator::Result ScrollTranslator::translate(double dx, double dy, Unit unit, GdkModifierType state)
{
    Result result;
    if (state & GDK_CONTROL_MASK) {
        // Scrolling up (towards the start) zooms in, as in every viewer.
        double steps = unit == Unit::Wheel ? -dy : -dy / kPixelsPerZoomStep;
        if (steps == 0)
            return result;
        if ((steps > 0) != (m_zoomGathered > 0) && m_zoomGathered != 0)
            m_zoomGathered = 0;
        m_zoomGathered += steps;
        if (std::abs(m_zoomGathered) >= 1) {
            if (unit == Unit::Wheel) {
                // A fast wheel may send several notches at once; each is a step.
                result.zoomSteps = int(std::trunc(m_zoomGathered));
                m_zoomGathered -= result.zoomSteps;
            } else {
                // One swipe gesture is at most one step per event, and what is left over starts afresh.
                result.zoomSteps = m_zoomGathered > 0 ? 1 : -1;
                m_zoomGathered = 0;
            }
        }
        return result;
    }
    m_zoomGathered = 0;
    // A plain wheel has no horizontal axis: Shift turns it sideways.
    if (unit == Unit::Wheel && (state & GDK_SHIFT_MASK) && dx == 0) {
        dx = dy;
        dy = 0;
    }
    float scale = unit == Unit::Wheel ? kPointsPerNotch : 1;
    result.deltaX = float(dx) * scale;
    result.deltaY = float(dy) * scale;
    return result;
}

} // namespace hosts
