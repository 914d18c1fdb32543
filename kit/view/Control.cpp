#include "kit/view/Control.h"

#include "kit/view/NibAttributeTable.h"
#include "kit/view/RedrawingSetter.h"
#include "kit/view/Window.h"

namespace kit {

void Control::setEnabled(bool enabled)
{
    setAndRedraw(*this, m_enabled, enabled);
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
    static const NibAttributeTable<Control, View> attributes {
        { "tag", nib::set<nib::parseInteger, &Control::setTag> },
        { "enabled", nib::set<nib::parseBool, &Control::setEnabled> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
