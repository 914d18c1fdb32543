#include "hosts/gtk/ViewerSession.h"

#include <algorithm>
#include <cstdio>

namespace hosts {

ViewerSession::ViewerSession(GtkHost& host, const std::vector<std::string>& pages, const DocumentWindow::Settings& settings)
    : m_host(host)
    , m_settings(settings)
{
    // A window opens further documents through the session, which may have ended by the time it asks.
    m_settings.openPage = [session = kit::WeakPtr(this)](const std::string& page) {
        if (session)
            session->open(page);
    };
    std::vector<std::string> shown = pages.empty() ? std::vector<std::string> { std::string() } : pages;
    for (const auto& page : shown)
        open(page);
}

void ViewerSession::open(const std::string& page)
{
    m_windows.push_back(std::make_unique<DocumentWindow>(m_host, page, m_settings, [this](DocumentWindow& window) { windowClosed(window); }));
}

ViewerSession::~ViewerSession()
{
    // Newest first, as a browser closes its windows.
    while (!m_windows.empty())
        m_windows.pop_back();
}

void ViewerSession::windowClosed(DocumentWindow& window)
{
    if (!window.error().empty()) {
        std::fprintf(stderr, "lectorin: %s\n", window.error().c_str());
        m_hadErrors = true;
    }
    std::erase_if(m_windows, [&](const std::unique_ptr<DocumentWindow>& held) { return held.get() == &window; });
    if (m_windows.empty() && m_over) {
        auto over = std::move(m_over);
        over();
    }
}

} // namespace hosts
