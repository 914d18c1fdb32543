#pragma once

#include "kit/view/ActionTable.h"
#include "kit/view/Event.h"
#include "kit/view/Object.h"

#include <string_view>

namespace kit {

// An object in a window's responder chain: views (whose next responder is the superview, and for the
// content view the window), the window (whose next responder is its window controller) and the window
// controller. Events a responder does not handle go to its next responder; actions travel the same way
// through Window::sendAction.
class Responder : public Object {
public:
    virtual Responder* nextResponder() const { return nullptr; }

    // Runs the action method that this object's class maps to selector ("zoomIn:"); false when the class
    // has none. The sender is the control or menu item that sent it (it may be null).
    bool performAction(std::string_view selector, Responder* sender) { return dispatchAction(selector, sender, true); }
    bool respondsToAction(std::string_view selector) { return dispatchAction(selector, nullptr, false); }

    // The integer a sender carries for its receiver (a menu item's or a control's tag); 0 unless a class says.
    virtual int tag() const { return 0; }

    // Keyboard focus: a window makes a responder first responder only if it accepts; the current first
    // responder may refuse to give the focus up.
    virtual bool acceptsFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

    // Events pass to the next responder unless a class handles them.
    virtual void mouseDown(const Event&);
    virtual void mouseDragged(const Event&);
    virtual void mouseUp(const Event&);
    virtual void rightMouseDown(const Event&);
    virtual void scrollWheel(const Event&);
    virtual void keyDown(const Event&);

protected:
    // Every class with actions overrides this with its ActionTable and then asks its base class.
    virtual bool dispatchAction(std::string_view selector, Responder* sender, bool perform);
};

} // namespace kit
