#pragma once

#include "kit/view/Button.h"

#include <memory>
#include <string>
#include <vector>

namespace kit {

// A modal message with buttons, run by the host. The first button added answers the Return key; a button
// titled "Cancel" answers Escape unless another key was given to it. runModal returns FirstButtonReturn
// plus the index of the button chosen.
class Alert {
public:
    enum class Style { Warning, Informational, Critical };
    static constexpr int FirstButtonReturn = 1000;

    Alert() = default;
    Alert(const Alert&) = delete;
    Alert& operator=(const Alert&) = delete;

    const std::string& messageText() const { return m_messageText; }
    void setMessageText(std::string text) { m_messageText = std::move(text); }
    const std::string& informativeText() const { return m_informativeText; }
    void setInformativeText(std::string text) { m_informativeText = std::move(text); }
    Style alertStyle() const { return m_style; }
    void setAlertStyle(Style style) { m_style = style; }

    // The button, so that its key equivalent can be changed.
    Button& addButtonWithTitle(std::string title);
    const std::vector<std::unique_ptr<Button>>& buttons() const { return m_buttons; }
    // The button that key ("\r", "\x1b") presses, or -1.
    int buttonIndexForKeyEquivalent(std::string_view key) const;
    // What a host does when the user gives no answer: the Escape button, else the first; -1 without buttons.
    int defaultDismissIndex() const;

    // Asks Host::current() and returns FirstButtonReturn + the index chosen. An alert without buttons gets
    // an "OK" button first, as a panel must have a way out.
    int runModal();

private:
    std::string m_messageText;
    std::string m_informativeText;
    Style m_style = Style::Warning;
    std::vector<std::unique_ptr<Button>> m_buttons;
};

} // namespace kit
