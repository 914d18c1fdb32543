#pragma once

#include "kit/view/View.h"

#include <string>

namespace kit {

// A view the user operates that sends an action (selector text) with itself as sender: to its target,
// or, without one, along its window's responder chain.
class Control : public View {
public:
    using View::View;

    const std::string& action() const { return m_action; }
    void setAction(std::string action) { m_action = std::move(action); }
    // Non-owning; reads as null once the target is gone.
    Responder* target() const { return m_target.get(); }
    void setTarget(Responder* target) { m_target = target; }
    int tag() const override { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // False when there is no action, the control is disabled, its target has gone, or nobody performed it.
    bool sendAction();

    // tag, enabled. (The nib loader sets action and target itself.)
    bool setNibAttribute(std::string_view name, std::string_view value) override;

private:
    std::string m_action;
    WeakPtr<Responder> m_target;
    int m_tag = 0;
    bool m_enabled = true;
};

} // namespace kit
