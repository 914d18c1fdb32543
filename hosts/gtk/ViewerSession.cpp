#include "hosts/gtk/ViewerSession.h"

#include <algorithm>
#include <cstdio>

namespace hosts {

ViewerSession::ViewerSession(GtkHost& host, const std::vector<std::string>& pages, const DocumentWindow::Settings& settings)
{
    std::vector<std::string> shown = pages.empty() ? std::vector<std::string> { std::string() } : pages;
    for (const auto& page : shown)
        m_windows.push_back(std::make_unique<DocumentWindow>(host, page, settings, [this](DocumentWindow& window) { windowClosed(window); }));
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
