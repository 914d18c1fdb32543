#include "hosts/common/gtk/FindBar.h"

#include "hosts/common/gtk/FindMatches.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"

namespace hosts {

namespace {

// The sender of a find panel action: the text view reads the action from its tag.
class FindActionSender : public kit::Responder {
public:
    explicit FindActionSender(int action)
        : m_action(action)
    {
    }
    int tag() const override { return m_action; }

private:
    int m_action;
};

} // namespace

FindBar::FindBar(std::function<kit::TextView*()> textView, GtkWidget* focusBack)
    : m_textView(std::move(textView))
    , m_focusBack(focusBack)
{
    m_entry = gtk_search_entry_new();
    gtk_widget_set_size_request(m_entry, 260, -1);
    g_object_set(m_entry, "placeholder-text", "Find in document", nullptr);
    m_previous = gtk_button_new_from_icon_name("go-up-symbolic");
    gtk_widget_set_tooltip_text(m_previous, "Find Previous (Shift+Ctrl+G)");
    m_next = gtk_button_new_from_icon_name("go-down-symbolic");
    gtk_widget_set_tooltip_text(m_next, "Find Next (Ctrl+G)");
    m_count = gtk_label_new("");
    gtk_widget_set_size_request(m_count, 90, -1);
    gtk_label_set_xalign(GTK_LABEL(m_count), 0);
    gtk_widget_add_css_class(m_count, "dim-label");

    // Small toggles, so the bar never keeps the window from getting narrow.
    m_matchCase = gtk_toggle_button_new_with_label("Aa");
    gtk_widget_set_tooltip_text(m_matchCase, "Match Case");
    m_wholeWords = gtk_toggle_button_new_with_label("\u201Cw\u201D");
    gtk_widget_set_tooltip_text(m_wholeWords, "Whole Words");
    auto optionsChanged = +[](FindBar* self) {
        kit::FindPasteboard::setOptions({ bool(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(self->m_matchCase))),
            bool(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(self->m_wholeWords))) });
        self->updateCount();
    };
    g_signal_connect_swapped(m_matchCase, "toggled", G_CALLBACK(optionsChanged), this);
    g_signal_connect_swapped(m_wholeWords, "toggled", G_CALLBACK(optionsChanged), this);

    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_add_css_class(buttons, "linked");
    gtk_box_append(GTK_BOX(buttons), m_previous);
    gtk_box_append(GTK_BOX(buttons), m_next);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_append(GTK_BOX(row), m_entry);
    gtk_box_append(GTK_BOX(row), buttons);
    gtk_box_append(GTK_BOX(row), m_count);
    gtk_box_append(GTK_BOX(row), m_matchCase);
    gtk_box_append(GTK_BOX(row), m_wholeWords);

    m_bar = gtk_search_bar_new();
    gtk_search_bar_set_child(GTK_SEARCH_BAR(m_bar), row);
    gtk_search_bar_connect_entry(GTK_SEARCH_BAR(m_bar), GTK_EDITABLE(m_entry));
    gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(m_bar), TRUE);

    g_signal_connect_swapped(m_entry, "activate", G_CALLBACK(+[](FindBar* self) { self->findNext(); }), this);
    g_signal_connect_swapped(m_entry, "next-match", G_CALLBACK(+[](FindBar* self) { self->findNext(); }), this);
    g_signal_connect_swapped(m_entry, "previous-match", G_CALLBACK(+[](FindBar* self) { self->findPrevious(); }), this);
    g_signal_connect_swapped(m_entry, "stop-search", G_CALLBACK(+[](FindBar* self) { self->hide(); }), this);
    g_signal_connect_swapped(m_entry, "search-changed", G_CALLBACK(+[](FindBar* self) {
        if (!self->m_settingText)
            self->updateCount();
    }), this);
    g_signal_connect_swapped(m_next, "clicked", G_CALLBACK(+[](FindBar* self) { self->findNext(); }), this);
    g_signal_connect_swapped(m_previous, "clicked", G_CALLBACK(+[](FindBar* self) { self->findPrevious(); }), this);
    // Shift+Return searches backwards, as in every find bar.
    GtkEventController* keys = gtk_event_controller_key_new();
    g_signal_connect(keys, "key-pressed", G_CALLBACK(+[](GtkEventControllerKey*, unsigned keyval, unsigned, GdkModifierType state, FindBar* self) -> gboolean {
        if ((keyval == GDK_KEY_Return || keyval == GDK_KEY_KP_Enter) && (state & GDK_SHIFT_MASK)) {
            self->findPrevious();
            return TRUE;
        }
        return FALSE;
    }), this);
    gtk_widget_add_controller(m_entry, keys);
    // When the bar closes by its own button, the document takes the keyboard back.
    g_signal_connect_swapped(m_bar, "notify::search-mode-enabled", G_CALLBACK(+[](FindBar* self) {
        if (!self->isShown() && self->m_focusBack)
            gtk_widget_grab_focus(self->m_focusBack);
        if (self->m_changed)
            self->m_changed();
    }), this);
}

void FindBar::show()
{
    findStringDidChange(kit::FindPasteboard::string());
    gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(m_bar), TRUE);
    gtk_widget_grab_focus(m_entry);
    gtk_editable_select_region(GTK_EDITABLE(m_entry), 0, -1);
    updateCount();
}

void FindBar::hide()
{
    gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(m_bar), FALSE);
}

bool FindBar::isShown() const
{
    return gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(m_bar));
}

bool FindBar::findNext()
{
    return find(int(kit::FindPanelAction::Next));
}

bool FindBar::findPrevious()
{
    return find(int(kit::FindPanelAction::Previous));
}

bool FindBar::find(int action)
{
    std::string text = gtk_editable_get_text(GTK_EDITABLE(m_entry));
    kit::TextView* textView = m_textView();
    if (text.empty() || !textView)
        return false;
    kit::FindPasteboard::setString(text);
    // Straight to the text view: the document's own find-next command would first take the selection as
    // the find string, and the user has just typed a new one.
    FindActionSender sender(action);
    textView->performFindPanelAction(&sender);
    updateCount();
    return true;
}

void FindBar::findStringDidChange(const std::string& text)
{
    if (text == gtk_editable_get_text(GTK_EDITABLE(m_entry)))
        return;
    m_settingText = true;
    gtk_editable_set_text(GTK_EDITABLE(m_entry), text.c_str());
    m_settingText = false;
    updateCount();
}

void FindBar::updateCount()
{
    std::string needle = gtk_editable_get_text(GTK_EDITABLE(m_entry));
    kit::TextView* textView = m_textView();
    kit::LayoutManager* manager = textView ? textView->layoutManager() : nullptr;
    std::shared_ptr<kit::TextStorage> storage = textView ? textView->textStorage() : nullptr;
    MatchCount count;
    if (storage && manager)
        count = countMatches(storage->string(), needle, manager->selectedRange(), kit::FindPasteboard::options());
    gtk_label_set_text(GTK_LABEL(m_count), matchCountLabel(count, !needle.empty() && storage).c_str());
    if (m_changed)
        m_changed();
}

std::string FindBar::countText() const
{
    return gtk_label_get_text(GTK_LABEL(m_count));
}

} // namespace hosts
