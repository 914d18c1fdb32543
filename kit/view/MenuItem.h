#pragma once

#include "kit/view/Responder.h"

#include <string>

namespace kit {

class Menu;

// One entry of a menu: a title and an action (selector text) sent to its target, or along the responder
// chain when it has none. The item is the action's sender, so it carries a tag.
class MenuItem : public Responder {
public:
    MenuItem(std::string title, std::string action, std::string keyEquivalent = {});
    static std::unique_ptr<MenuItem> separatorItem();

    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    const std::string& action() const { return m_action; }
    void setAction(std::string action) { m_action = std::move(action); }
    // Non-owning; reads as null once the target is gone.
    Responder* target() const { return m_target.get(); }
    void setTarget(Responder* target) { m_target = target; }
    bool hasTarget() const { return m_target.wasSet(); }
    const std::string& keyEquivalent() const { return m_keyEquivalent; }
    void setKeyEquivalent(std::string key) { m_keyEquivalent = std::move(key); }
    int tag() const override { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isSeparatorItem() const { return m_separator; }
    Menu* menu() const { return m_menu; }

private:
    friend class Menu;
    std::string m_title;
    std::string m_action;
    std::string m_keyEquivalent;
    WeakPtr<Responder> m_target;
    int m_tag = 0;
    bool m_enabled = true;
    bool m_separator = false;
    Menu* m_menu = nullptr;
};

} // namespace kit
