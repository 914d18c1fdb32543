#pragma once

#include "kit/view/MenuItem.h"
#include "kit/view/Object.h"

#include <memory>
#include <string>
#include <vector>

namespace kit {

class Window;

// A list of menu items, shown by the host (a view's context menu). It owns its items.
class Menu : public Object {
public:
    explicit Menu(std::string title = {})
        : m_title(std::move(title))
    {
    }

    const std::string& title() const { return m_title; }
    const std::vector<std::unique_ptr<MenuItem>>& items() const { return m_items; }
    std::size_t numberOfItems() const { return m_items.size(); }
    MenuItem* itemAtIndex(std::size_t index) const { return index < m_items.size() ? m_items[index].get() : nullptr; }
    // -1 when no item has that title.
    int indexOfItemWithTitle(std::string_view title) const;
    MenuItem& addItem(std::unique_ptr<MenuItem> item);
    MenuItem& addItemWithTitle(std::string title, std::string action, std::string keyEquivalent = {});
    void addSeparator();

    // Sends the item's action with the item as sender: to the item's target when it has one, else along
    // window's responder chain. False for a separator, a disabled item, an index out of range or an action
    // nobody performed.
    bool performActionForItemAtIndex(std::size_t index, Window* window);

private:
    std::string m_title;
    std::vector<std::unique_ptr<MenuItem>> m_items;
};

} // namespace kit
