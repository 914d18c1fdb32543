#pragma once

#include <functional>
#include <gtk/gtk.h>
#include <string>

namespace kit {
class TextView;
}

namespace hosts {

// The find bar of a document window: an entry holding the process-wide find string, Previous and Next,
// the match count ("3 of 12"), Match Case and Whole Words (the options every text view searches with),
// and a close button. Return and Next search forwards for the entry's text,
// Shift+Return and Previous backwards, through the first text view of the document (which selects the
// match and scrolls to it, or beeps). Escape closes the bar and gives the focus back to the document.
class FindBar {
public:
    // textView answers the document's first text view when asked (null while there is none); focusBack is
    // the widget that gets the keyboard when the bar closes.
    FindBar(std::function<kit::TextView*()> textView, GtkWidget* focusBack);
    FindBar(const FindBar&) = delete;
    FindBar& operator=(const FindBar&) = delete;

    // The bar, owned by the container it is put in.
    GtkWidget* widget() const { return m_bar; }
    GtkEditable* entry() const { return GTK_EDITABLE(m_entry); }
    GtkButton* nextButton() const { return GTK_BUTTON(m_next); }
    GtkButton* previousButton() const { return GTK_BUTTON(m_previous); }
    GtkToggleButton* matchCaseButton() const { return GTK_TOGGLE_BUTTON(m_matchCase); }
    GtkToggleButton* wholeWordsButton() const { return GTK_TOGGLE_BUTTON(m_wholeWords); }
    std::string countText() const;

    // Shows the bar with the find string selected in the entry, which takes the keyboard.
    void show();
    void hide();
    bool isShown() const;
    // Sets the find string from the entry and searches; false when the entry is empty or no text is shown.
    bool findNext();
    bool findPrevious();
    // The find string changed elsewhere (a find command took the selection): the entry follows.
    void findStringDidChange(const std::string& text);
    void updateCount();
    // Told after the count was brought up to date: the find string, its options, the bar's visibility or
    // the current match may have changed.
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    bool find(int action);

    std::function<kit::TextView*()> m_textView;
    GtkWidget* m_focusBack;
    GtkWidget* m_bar;
    GtkWidget* m_entry;
    GtkWidget* m_previous;
    GtkWidget* m_next;
    GtkWidget* m_count;
    GtkWidget* m_matchCase;
    GtkWidget* m_wholeWords;
    std::function<void()> m_changed;
    bool m_settingText = false;
};

} // namespace hosts
