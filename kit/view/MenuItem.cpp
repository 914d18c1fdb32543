#include "kit/view/MenuItem.h"

namespace kit {

MenuItem::MenuItem(std::string title, std::string action, std::string keyEquivalent)
    : m_title(std::move(title))
    , m_action(std::move(action))
    , m_keyEquivalent(std::move(keyEquivalent))
{
}

std::unique_ptr<MenuItem> MenuItem::separatorItem()
{
    auto item = std::make_unique<MenuItem>(std::string(), std::string());
    item->m_separator = true;
    item->m_enabled = false;
    return item;
}

} // namespace kit
