#pragma once

#include "kit/foundation/Result.h"
#include "kit/host/Host.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// A host without a screen, for the command line and for tests. Windows stay off screen but can be drawn
// to PNG. Panels take their answers from per-kind queues filled in advance; a panel with no answer queued
// cancels (save, print, colour) or takes its Escape button, else its first (alert). Every answer is echoed
// to stderr as one line and kept in transcript(). Sheets and the colour panel answer on the next turn of the
// run loop, as a panel the user closes would; an alert first lets the run loop dispatch what is ready.
class HeadlessHost : public Host {
public:
    HeadlessHost() = default;

    // Answers, consumed first in, first out.
    // An alert answer is a button title, "Return" (the button whose key is Return) or "Escape".
    void queueAlertAnswer(std::string answer);
    // A path chooses OK with that path; nullopt cancels.
    void queueSaveAnswer(std::optional<std::filesystem::path> path);
    void queuePrintAnswer(bool print);
    // A colour is picked; nullopt closes the panel without a pick.
    void queueColorAnswer(std::optional<Color> color);
    // A context menu chooses the item with that title.
    void queueMenuAnswer(std::string itemTitle);

    // Where a confirmed print goes, as a PDF of the job's pages; without it the pages are drawn and dropped.
    void setPrintOutputPath(std::filesystem::path path) { m_printOutputPath = std::move(path); }
    // How many pages the last print panel answered with "print" wrote, once written (0 before any).
    int lastPrintPageCount() const { return *m_lastPrintPageCount; }
    // The main display; none by default.
    void setDisplay(std::optional<DisplayInfo> display) { m_display = display; }
    // Reads "WxH@MMxMM" (pixels, then millimetres, e.g. "1440x900@381x238"); nullopt when malformed.
    static std::optional<DisplayInfo> parseDisplayOption(std::string_view text);
    // Whether answers are also written to stderr (on by default).
    void setEchoesToStandardError(bool echoes) { m_echo = echoes; }

    // What happened.
    const std::vector<std::string>& transcript() const { return m_transcript; }
    int beepCount() const { return m_beeps; }
    const std::string& clipboardText() const { return m_clipboard; }
    const std::vector<std::string>& openedURLs() const { return m_openedURLs; }
    int findBarCount() const { return m_findBars; }
    bool isShown(const Window& window) const;
    const std::vector<std::string>& alertMessages() const { return m_alertMessages; }

    // Draws the whole window into a PNG at scale (pixels per point); the scale is lowered when a side would
    // pass 32767 pixels. Returns the image's size in pixels.
    Result<Size> writeWindowPNG(Window& window, const std::filesystem::path& path, float scale = 1);

    void showWindow(Window& window) override;
    void hideWindow(Window& window) override;
    int runModalAlert(const Alert& alert) override;
    void beginSavePanel(Window* window, const SavePanelOptions& options,
        std::function<void(int returnCode, std::string path)> done) override;
    void runPrintPanel(Window* window, unsigned options, std::shared_ptr<PrintJob> job,
        std::function<void(bool printed)> done) override;
    void runColorPanel(Color initial, std::function<void(Color)> changed) override;
    void showFindBar(Window& window) override;
    void popUpContextMenu(Window& window, std::shared_ptr<Menu> menu, Point location) override;
    DisplayInfo mainDisplay() const override { return m_display.value_or(DisplayInfo {}); }
    void beep() override { ++m_beeps; }
    void setClipboardText(const std::string& text) override { m_clipboard = text; }
    // Prints "open URL <url>" on stdout and launches nothing.
    void openURL(const std::string& url) override;

protected:
    void willDetachWindow(Window& window) override;

private:
    void echo(std::string line);

    std::deque<std::string> m_alertAnswers;
    std::deque<std::optional<std::filesystem::path>> m_saveAnswers;
    std::deque<bool> m_printAnswers;
    std::deque<std::optional<Color>> m_colorAnswers;
    std::deque<std::string> m_menuAnswers;
    std::filesystem::path m_printOutputPath;
    std::shared_ptr<int> m_lastPrintPageCount = std::make_shared<int>(0);
    std::optional<DisplayInfo> m_display;
    std::vector<std::string> m_transcript;
    std::vector<std::string> m_alertMessages;
    std::vector<std::string> m_openedURLs;
    std::vector<const Window*> m_shown;
    std::string m_clipboard;
    int m_beeps = 0;
    int m_findBars = 0;
    bool m_echo = true;
};

} // namespace kit
