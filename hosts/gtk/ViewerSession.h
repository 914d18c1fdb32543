#pragma once

#include "hosts/gtk/DocumentWindow.h"
#include "kit/foundation/WeakPtr.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hosts {

class GtkHost;

// The windows of one `lectorin view`: one DocumentWindow per page argument (the bundled sample page when
// there is none), and one for each document they open. A window the user closes, or whose page cannot be
// shown, goes; when the last has gone the session is over.
class ViewerSession : public kit::Weakable {
public:
    ViewerSession(GtkHost& host, const std::vector<std::string>& pages, const DocumentWindow::Settings& settings);
    ~ViewerSession();

    const std::vector<std::unique_ptr<DocumentWindow>>& windows() const { return m_windows; }
    // One more window, for a document a window opened (Open..., Open Recent, a drop).
    void open(const std::string& page);
    bool isOver() const { return m_windows.empty(); }
    // Told once, when the last window has gone.
    void setOverHandler(std::function<void()> handler) { m_over = std::move(handler); }
    // Whether a page could not be shown (a missing embedded document); its reason went to stderr.
    bool hadErrors() const { return m_hadErrors; }

private:
    void windowClosed(DocumentWindow& window);

    GtkHost& m_host;
    DocumentWindow::Settings m_settings;
    std::vector<std::unique_ptr<DocumentWindow>> m_windows;
    std::function<void()> m_over;
    bool m_hadErrors = false;
};

} // namespace hosts
