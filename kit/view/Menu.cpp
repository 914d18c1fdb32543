#include "kit/view/Menu.h"

#include "kit/view/Window.h"

namespace kit {

int Menu::indexOfItemWithTitle(std::string_view title) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (!m_items[i]->isSeparatorItem() && m_items[i]->title() == title)
            return int(i);
    }
    return -1;
}

MenuItem& Menu::addItem(std::unique_ptr<MenuItem> item)
{
    item->m_menu = this;
    m_items.push_back(std::move(item));
    return *m_items.back();
}

MenuItem& Menu::addItemWithTitle(std::string title, std::string action, std::string keyEquivalent)
{
    return addItem(std::make_unique<MenuItem>(std::move(title), std::move(action), std::move(keyEquivalent)));
}

void Menu::addSeparator()
{
    addItem(MenuItem::separatorItem());
}

bool Menu::performActionForItemAtIndex(std::size_t index, Window* window)
{
    MenuItem* item = itemAtIndex(index);
    if (!item || item->isSeparatorItem() || !item->isEnabled() || item->action().empty())
        return false;
    // The action may destroy the menu (and the item with it): copy what is needed first.
    std::string action = item->action();
    if (item->hasTarget()) {
        // A target that has gone takes its actions with it.
        Responder* target = item->target();
        return target && target->performAction(action, item);
    }
    return window && window->sendAction(action, item);
}

} // namespace kit
