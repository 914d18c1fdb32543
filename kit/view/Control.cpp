#include "kit/view/Control.h"

#include "kit/view/NibValue.h"
#include "kit/view/Window.h"

namespace kit {

void Control::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    setNeedsDisplay(true);
}

bool Control::sendAction()
{
    if (m_action.empty() || !m_enabled)
        return false;
    // The action may destroy this control: copy what is needed first.
    std::string action = m_action;
    if (m_target.wasSet()) {
        Responder* target = m_target.get();
        return target && target->performAction(action, this);
    }
    return window() && window()->sendAction(action, this);
}

bool Control::setNibAttribute(std::string_view name, std::string_view value)
{
    if (name == "tag") {
        auto tag = nib::parseInteger(value);
        if (!tag)
            return false;
        setTag(*tag);
        return true;
    }
    if (name == "enabled") {
        auto flag = nib::parseBool(value);
        if (!flag)
            return false;
        setEnabled(*flag);
        return true;
    }
    return View::setNibAttribute(name, value);
}

} // namespace kit
