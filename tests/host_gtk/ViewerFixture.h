#pragma once

#include "GtkTestSupport.h"
#include "hosts/gtk/ViewerSession.h"
#include "kit_net/LoopbackServer.h"
#include "kit/view/ClipView.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "plugin/NRVLectorin.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace gtktest {

// The text of the served document: enough paragraphs for a dozen Letter pages, with the word "zanzibar"
// twice, on pages far apart.
std::string longDocumentText(int paragraph);
int longDocumentParagraphs();
std::string longDocumentRTF();

// A window test: its own Xvfb and GTK, a recording GTK host made current, a loopback server with
// /long.rtf, /page.html (embedding long.rtf), /two.html (two embeds, a <base href>) and /slow.rtf (held
// back until release is raised).
class ViewerTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual DisplaySettings displaySettings() const { return {}; }

    // Opens a session on pages and waits until every plug-in view has loaded and painted.
    void open(const std::vector<std::string>& pages, hosts::DocumentWindow::Settings settings = {});
    hosts::DocumentWindow& document(std::size_t index = 0) const { return *m_session->windows().at(index); }
    hosts::HostWindow& hostWindow(std::size_t index = 0) const { return document(index).hostWindow(); }
    hosts::KitViewWidget& view(std::size_t index = 0) const { return hostWindow(index).view(); }
    NRVLectorin& plugin(std::size_t index = 0) const { return *document(index).plugin(); }
    NRVLectorinMultiPageView& pageView(std::size_t index = 0) const { return *plugin(index).pageView(); }
    kit::ClipView& clipView(std::size_t index = 0) const { return *pageView(index).enclosingScrollView()->contentView(); }
    // Runs a document window's command as its menu and shortcuts do.
    bool activate(const char* action, std::size_t index = 0) const;
    // A rectangle of a view in the widget's coordinates (logical pixels, y down).
    kit::Rect widgetRect(const kit::View& view, kit::Rect rect, std::size_t index = 0) const;
    // Resizes a document window as the user drags its edge, so that its content gets width x height.
    void resizeContent(int width, int height, std::size_t index = 0) const;
    // Waits until the widget has drawn what the view tree shows now.
    bool settle(std::size_t index = 0) const;

    std::unique_ptr<RecordingHost> m_host;
    std::unique_ptr<hosts::ViewerSession> m_session;
    std::unique_ptr<nettest::LoopbackServer> m_server;
    nettest::Signal m_release;
    bool m_skipped = false;
};

} // namespace gtktest
