// Key, shortcut and scroll translation: pure functions, no display needed.
#include "hosts/common/gtk/InputTranslation.h"

#include <cstring>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

using hosts::ScrollTranslator;

TEST(InputTranslation, KeysBecomeCharactersOrNames)
{
    const struct {
        unsigned keyval;
        const char* characters;
        const char* name;
        const char* why;
    } cases[] = {
        { GDK_KEY_Return, "\r", "", "Return types a carriage return, as alert buttons expect" },
        { GDK_KEY_KP_Enter, "\r", "", "the keypad's Enter is Return" },
        { GDK_KEY_Escape, "\x1b", "", "Escape is the escape character" },
        { GDK_KEY_BackSpace, "\x7f", "", "Backspace deletes backwards: DEL" },
        { GDK_KEY_space, " ", "", "the space bar pages down in a scroll view" },
        { GDK_KEY_Page_Down, "", "PageDown", "special keys carry names" },
        { GDK_KEY_KP_Page_Up, "", "PageUp", "keypad keys with Num Lock off are the same keys" },
        { GDK_KEY_Home, "", "Home", "Home scrolls to the start" },
        { GDK_KEY_End, "", "End", "End scrolls to the end" },
        { GDK_KEY_Up, "", "Up", "arrow" },
        { GDK_KEY_F3, "", "F3", "function keys by number" },
        { GDK_KEY_a, "a", "", "a letter types itself" },
        { GDK_KEY_eacute, "\xC3\xA9", "", "a Latin-1 letter becomes UTF-8" },
        { GDK_KEY_Cyrillic_ya, "\xD1\x8F", "", "keysyms outside Latin-1 too" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto key = hosts::translateKey(c.keyval);
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->characters, c.characters);
        EXPECT_EQ(key->keyName, c.name);
    }
    EXPECT_FALSE(hosts::translateKey(GDK_KEY_Shift_L)) << "a modifier alone types nothing";
    EXPECT_FALSE(hosts::translateKey(GDK_KEY_Control_R)) << "a modifier alone types nothing";
}

TEST(InputTranslation, ModifiersMapToEventFlags)
{
    EXPECT_EQ(hosts::translateModifiers(GdkModifierType(0)), 0u);
    EXPECT_EQ(hosts::translateModifiers(GDK_SHIFT_MASK), unsigned(kit::Event::Shift));
    EXPECT_EQ(hosts::translateModifiers(GDK_CONTROL_MASK), unsigned(kit::Event::Control | kit::Event::Command))
        << "Control is this platform's command key";
    EXPECT_EQ(hosts::translateModifiers(GDK_ALT_MASK), unsigned(kit::Event::Option));
    EXPECT_EQ(hosts::translateModifiers(GdkModifierType(GDK_SHIFT_MASK | GDK_ALT_MASK)), unsigned(kit::Event::Shift | kit::Event::Option));
}

TEST(InputTranslation, ShortcutsNameTheirCommands)
{
    const auto ctrl = GDK_CONTROL_MASK;
    const auto ctrlShift = GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    const struct {
        unsigned keyval;
        GdkModifierType state;
        const char* action; // null: no shortcut
        const char* why;
    } cases[] = {
        { GDK_KEY_s, ctrl, "save-copy", "Ctrl+S saves a copy" },
        { GDK_KEY_p, ctrl, "print", "Ctrl+P prints" },
        { GDK_KEY_f, ctrl, "find", "Ctrl+F finds" },
        { GDK_KEY_g, ctrl, "find-next", "Ctrl+G finds the next" },
        { GDK_KEY_G, ctrlShift, "find-previous", "Ctrl+Shift+G arrives as capital G and finds the previous" },
        { GDK_KEY_F3, GdkModifierType(0), "find-next", "F3 alone finds the next" },
        { GDK_KEY_F3, GDK_SHIFT_MASK, "find-previous", "Shift+F3 finds the previous" },
        { GDK_KEY_plus, ctrlShift, "zoom-in", "Ctrl+plus needs Shift on a US layout" },
        { GDK_KEY_plus, ctrl, "zoom-in", "Ctrl+plus without Shift on layouts with a plus key" },
        { GDK_KEY_equal, ctrl, "zoom-in", "Ctrl+= is the unshifted plus key" },
        { GDK_KEY_KP_Add, ctrl, "zoom-in", "the keypad plus" },
        { GDK_KEY_minus, ctrl, "zoom-out", "Ctrl+minus zooms out" },
        { GDK_KEY_0, ctrl, "actual-size", "Ctrl+0 goes back to actual size" },
        { GDK_KEY_c, ctrl, "copy", "Ctrl+C copies" },
        { GDK_KEY_a, ctrl, "select-all", "Ctrl+A selects all" },
        { GDK_KEY_s, GdkModifierType(0), nullptr, "a plain letter is no command" },
        { GDK_KEY_s, GdkModifierType(GDK_CONTROL_MASK | GDK_ALT_MASK), nullptr, "an extra modifier is another shortcut" },
        { GDK_KEY_minus, ctrlShift, nullptr, "Ctrl+Shift+minus is not zoom out (only plus is Shift-free)" },
        { GDK_KEY_g, GDK_SHIFT_MASK, nullptr, "Shift+G types a capital letter" },
        { GDK_KEY_F3, ctrl, nullptr, "Ctrl+F3 is not bound" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const char* action = hosts::shortcutActionForKey(c.keyval, c.state);
        if (!c.action) {
            EXPECT_EQ(action, nullptr) << action;
        } else {
            ASSERT_NE(action, nullptr);
            EXPECT_STREQ(action, c.action);
        }
    }
    // State that is no modifier of a shortcut (Caps Lock, a mouse button held) does not hide the shortcut.
    EXPECT_STREQ(hosts::shortcutActionForKey(GDK_KEY_S, GdkModifierType(GDK_CONTROL_MASK | GDK_LOCK_MASK)), "save-copy");
    EXPECT_STREQ(hosts::shortcutActionForKey(GDK_KEY_s, GdkModifierType(GDK_CONTROL_MASK | GDK_BUTTON1_MASK)), "save-copy");
}

TEST(InputTranslation, MenusShowTheFirstShortcut)
{
    EXPECT_STREQ(hosts::acceleratorForAction("find-next"), "<Control>g");
    EXPECT_STREQ(hosts::acceleratorForAction("zoom-in"), "<Control>plus");
    EXPECT_STREQ(hosts::acceleratorForAction("find-previous"), "<Control><Shift>g");
    EXPECT_EQ(hosts::acceleratorForAction("about"), nullptr);
    // Every accelerator shown parses as GTK reads it.
    for (const char* action : { "save-copy", "print", "find", "find-next", "find-previous", "zoom-in", "zoom-out", "actual-size", "copy", "select-all" }) {
        SCOPED_TRACE(action);
        const char* accelerator = hosts::acceleratorForAction(action);
        ASSERT_NE(accelerator, nullptr);
        unsigned key = 0;
        GdkModifierType modifiers {};
        ASSERT_TRUE(gtk_accelerator_parse(accelerator, &key, &modifiers));
        EXPECT_STREQ(hosts::shortcutActionForKey(key, modifiers), action) << "the menu shows a shortcut that works";
    }
}

TEST(ScrollTranslation, WheelNotchesAndTouchpadPixels)
{
    const auto none = GdkModifierType(0);
    const struct {
        double dx, dy;
        ScrollTranslator::Unit unit;
        GdkModifierType state;
        float expectedX, expectedY;
        const char* why;
    } cases[] = {
        { 0, 1, ScrollTranslator::Unit::Wheel, none, 0, ScrollTranslator::kPointsPerNotch, "one notch down" },
        { 0, -2, ScrollTranslator::Unit::Wheel, none, 0, -2 * ScrollTranslator::kPointsPerNotch, "two notches up" },
        { 0, 0.25, ScrollTranslator::Unit::Wheel, none, 0, 0.25f * ScrollTranslator::kPointsPerNotch, "a high-resolution wheel's fraction" },
        { 0, 1, ScrollTranslator::Unit::Wheel, GDK_SHIFT_MASK, ScrollTranslator::kPointsPerNotch, 0, "Shift turns a wheel sideways" },
        { 1, 0, ScrollTranslator::Unit::Wheel, GDK_SHIFT_MASK, ScrollTranslator::kPointsPerNotch, 0, "a tilt wheel stays sideways" },
        { 3.5, -7.25, ScrollTranslator::Unit::Surface, none, 3.5f, -7.25f, "touchpad pixels are window points" },
        { 0, 10, ScrollTranslator::Unit::Surface, GDK_SHIFT_MASK, 0, 10, "Shift does not turn a touchpad" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ScrollTranslator translator;
        auto result = translator.translate(c.dx, c.dy, c.unit, c.state);
        EXPECT_FLOAT_EQ(result.deltaX, c.expectedX);
        EXPECT_FLOAT_EQ(result.deltaY, c.expectedY);
        EXPECT_EQ(result.zoomSteps, 0);
    }
}

TEST(ScrollTranslation, ControlGathersTouchpadPixelsIntoSingleZoomSteps)
{
    const double step = ScrollTranslator::kPixelsPerZoomStep;
    ScrollTranslator translator;
    auto zoom = [&](double dy, ScrollTranslator::Unit unit = ScrollTranslator::Unit::Surface) {
        auto result = translator.translate(0, dy, unit, GDK_CONTROL_MASK);
        EXPECT_EQ(result.deltaY, 0) << "zooming does not scroll";
        return result.zoomSteps;
    };
    EXPECT_EQ(zoom(-(step - 1)), 0) << "just short of a step";
    EXPECT_EQ(zoom(-1), 1) << "the pixel that completes the step zooms in once";
    EXPECT_EQ(zoom(-(step - 1)), 0) << "the next step starts from nothing";
    translator.reset();
    EXPECT_EQ(zoom(-1), 0) << "a gesture's end drops the half-gathered step";
    EXPECT_EQ(zoom(-(step - 2)), 0);
    EXPECT_EQ(zoom(5 * step), -1) << "turning back starts afresh, and a huge swipe is still one step";
    EXPECT_EQ(zoom(step * 0.5), 0);
    EXPECT_EQ(zoom(step * 0.5), -1) << "scrolling down gathers into zoom out";
    EXPECT_EQ(zoom(-2, ScrollTranslator::Unit::Wheel), 2) << "each wheel notch is a step";
    EXPECT_EQ(zoom(-0.5, ScrollTranslator::Unit::Wheel), 0) << "half a high-resolution notch waits";
    EXPECT_EQ(zoom(-0.5, ScrollTranslator::Unit::Wheel), 1);
    // Without Control the gathered zoom is forgotten and the wheel scrolls again.
    auto plain = translator.translate(0, 1, ScrollTranslator::Unit::Wheel, GdkModifierType(0));
    EXPECT_EQ(plain.zoomSteps, 0);
    EXPECT_FLOAT_EQ(plain.deltaY, ScrollTranslator::kPointsPerNotch);
}
