#include "kit/view/Alert.h"

#include "kit/host/Host.h"

namespace kit {

Button& Alert::addButtonWithTitle(std::string title)
{
    auto button = std::make_unique<Button>(Rect { 0, 0, 90, 24 }, std::move(title));
    if (m_buttons.empty())
        button->setKeyEquivalent("\r");
    else if (button->title() == "Cancel")
        button->setKeyEquivalent("\x1b");
    button->setTag(FirstButtonReturn + int(m_buttons.size()));
    m_buttons.push_back(std::move(button));
    return *m_buttons.back();
}

int Alert::buttonIndexForKeyEquivalent(std::string_view key) const
{
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i]->keyEquivalent() == key)
            return int(i);
    }
    return -1;
}

int Alert::defaultDismissIndex() const
{
    if (m_buttons.empty())
        return -1;
    int escape = buttonIndexForKeyEquivalent("\x1b");
    return escape >= 0 ? escape : 0;
}

int Alert::runModal()
{
    if (m_buttons.empty())
        addButtonWithTitle("OK");
    int index = Host::current().runModalAlert(*this);
    if (index < 0 || index >= int(m_buttons.size()))
        index = defaultDismissIndex();
    return FirstButtonReturn + index;
}

} // namespace kit
