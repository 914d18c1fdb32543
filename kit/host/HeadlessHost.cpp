#include "kit/host/HeadlessHost.h"

#include "kit/foundation/RunLoop.h"
#include "kit/view/Alert.h"
#include "kit/view/Menu.h"
#include "kit/view/PngEncoding.h"
#include "kit/view/Window.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <glib.h>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

namespace kit {

static constexpr int kMaximumImageSide = 32767; // Cairo's limit for image surfaces

void HeadlessHost::queueAlertAnswer(std::string answer)
{
    m_alertAnswers.push_back(std::move(answer));
}

void HeadlessHost::queueSaveAnswer(std::optional<std::filesystem::path> path)
{
    m_saveAnswers.push_back(std::move(path));
}

void HeadlessHost::queuePrintAnswer(bool print)
{
    m_printAnswers.push_back(print);
}

void HeadlessHost::queueColorAnswer(std::optional<Color> color)
{
    m_colorAnswers.push_back(color);
}

void HeadlessHost::queueMenuAnswer(std::string itemTitle)
{
    m_menuAnswers.push_back(std::move(itemTitle));
}

std::optional<DisplayInfo> HeadlessHost::parseDisplayOption(std::string_view text)
{
    // W x H @ MM x MM, each a non-negative integer; pixels must be positive.
    int values[4] = {};
    const char separators[3] = { 'x', '@', 'x' };
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        auto [next, error] = std::from_chars(p, end, values[i]);
        if (error != std::errc() || next == p || values[i] < 0)
            return std::nullopt;
        p = next;
        if (i < 3) {
            if (p == end || *p != separators[i])
                return std::nullopt;
            ++p;
        }
    }
    if (p != end || values[0] == 0 || values[1] == 0)
        return std::nullopt;
    return DisplayInfo { true, values[0], values[1], values[2], values[3] };
}

void HeadlessHost::echo(std::string line)
{
    if (m_echo)
        std::cerr << line << std::endl;
    m_transcript.push_back(std::move(line));
}

bool HeadlessHost::isShown(const Window& window) const
{
    return std::find(m_shown.begin(), m_shown.end(), &window) != m_shown.end();
}

void HeadlessHost::showWindow(Window& window)
{
    if (!isShown(window))
        m_shown.push_back(&window);
}

void HeadlessHost::hideWindow(Window& window)
{
    std::erase(m_shown, &window);
}

void HeadlessHost::willDetachWindow(Window& window)
{
    std::erase(m_shown, &window);
}

Result<Size> HeadlessHost::writeWindowPNG(Window& window, const std::filesystem::path& path, float scale)
{
    Size size = window.contentSize();
    if (!(scale > 0) || !std::isfinite(scale))
        return Result<Size>::failure("the scale must be positive");
    float largest = std::max(size.width, size.height);
    if (largest * scale > kMaximumImageSide)
        scale = kMaximumImageSide / largest;
    int width = std::max(1, std::min(kMaximumImageSide, int(std::ceil(size.width * scale))));
    int height = std::max(1, std::min(kMaximumImageSide, int(std::ceil(size.height * scale))));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return Result<Size>::failure("cannot make an image of that size");
    }
    cairo_t* context = cairo_create(surface);
    cairo_scale(context, scale, scale);
    window.display(context);
    cairo_destroy(context);
    bool written = writePng(surface, path);
    cairo_surface_destroy(surface);
    if (!written)
        return Result<Size>::failure(std::string("cannot write ") + path.string());
    return Size { float(width), float(height) };
}

int HeadlessHost::runModalAlert(const Alert& alert)
{
    // Whatever the run loop has ready happens before the user could have answered.
    RunLoop::drain();
    m_alertMessages.push_back(alert.messageText());
    const auto& buttons = alert.buttons();
    int index = -1;
    std::string how;
    if (!m_alertAnswers.empty()) {
        std::string answer = std::move(m_alertAnswers.front());
        m_alertAnswers.pop_front();
        if (answer == "Return")
            index = alert.buttonIndexForKeyEquivalent("\r");
        else if (answer == "Escape")
            index = alert.buttonIndexForKeyEquivalent("\x1b");
        else {
            for (std::size_t i = 0; i < buttons.size() && index < 0; ++i) {
                if (buttons[i]->title() == answer)
                    index = int(i);
            }
        }
        how = index >= 0 ? answer : answer + " (no such button)";
    } else {
        how = "unscripted";
    }
    if (index < 0)
        index = alert.defaultDismissIndex();
    std::string title = index >= 0 ? buttons[index]->title() : std::string();
    echo("alert \"" + alert.messageText() + "\": " + title + " [" + how + "]");
    return index;
}

void HeadlessHost::beginSavePanel(Window*, const SavePanelOptions& options,
    std::function<void(int returnCode, std::string path)> done)
{
    std::optional<std::filesystem::path> answer;
    if (!m_saveAnswers.empty()) {
        answer = std::move(m_saveAnswers.front());
        m_saveAnswers.pop_front();
    }
    if (answer && !options.requiredExtension.empty()
        && g_ascii_strcasecmp(answer->extension().c_str(), ("." + options.requiredExtension).c_str()) != 0)
        *answer += "." + options.requiredExtension; // the panel appends the required extension, as a save panel does
    echo("save panel \"" + options.suggestedName + "\": " + (answer ? answer->string() : std::string("cancel")));
    RunLoop::post([done = std::move(done), answer] {
        if (answer)
            done(SavePanelOKButton, answer->string());
        else
            done(SavePanelCancelButton, std::string());
    });
}

namespace {

// Writes recorded pages into a PDF on a thread of its own, in order, while the next pages are laid out and
// drawn: turning a page's drawing into PDF (its text into subset fonts, its streams compressed) takes about
// as long as drawing it.
class PdfPageWriter {
public:
    // media: the size the surface was made with.
    PdfPageWriter(cairo_surface_t* pdf, Size media)
        : m_pdf(pdf)
        , m_media(media)
        , m_thread([this] { write(); })
    {
    }
    ~PdfPageWriter()
    {
        finish();
        for (const Page& page : m_pages)
            cairo_surface_destroy(page.recording);
    }

    // Takes the recording; waits while the pages ahead of it are more than a few.
    void add(cairo_surface_t* recording, Size paper)
    {
        std::unique_lock lock(m_mutex);
        m_roomLeft.wait(lock, [this] { return m_pages.size() < kPagesAhead; });
        m_pages.push_back({ recording, paper });
        m_pageAdded.notify_one();
    }

    // Waits for every page to be written.
    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finishing = true;
        }
        m_pageAdded.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    struct Page {
        cairo_surface_t* recording;
        Size paper;
    };
    static constexpr std::size_t kPagesAhead = 4;

    void write()
    {
        cairo_t* context = cairo_create(m_pdf);
        for (;;) {
            Page page;
            {
                std::unique_lock lock(m_mutex);
                m_pageAdded.wait(lock, [this] { return m_finishing || !m_pages.empty(); });
                if (m_pages.empty())
                    break;
                page = m_pages.front();
                m_pages.pop_front();
            }
            m_roomLeft.notify_one();
            // A job whose pages differ in size gets one media box per page.
            if (page.paper.width != m_media.width || page.paper.height != m_media.height) {
                cairo_pdf_surface_set_size(m_pdf, page.paper.width, page.paper.height);
                m_media = page.paper;
            }
            cairo_set_source_surface(context, page.recording, 0, 0);
            cairo_paint(context);
            cairo_show_page(context);
            cairo_surface_destroy(page.recording);
        }
        cairo_destroy(context);
    }

    cairo_surface_t* m_pdf;
    Size m_media; // the writer thread's
    std::mutex m_mutex;
    std::condition_variable m_pageAdded, m_roomLeft;
    std::deque<Page> m_pages;
    bool m_finishing = false;
    std::thread m_thread;
};

} // namespace

// Prints every page of job to a PDF at outputPath (or nowhere: a recording surface); pages hears how many.
// Each page is recorded as soon as it is laid out, and written to the file beside the next one's layout.
static bool printPages(PrintJob& job, const std::filesystem::path& outputPath, int& pages)
{
    Size paper = job.paperSize();
    if (!(paper.width > 0) || !(paper.height > 0))
        return false;
    cairo_surface_t* surface = outputPath.empty()
        ? cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr)
        : cairo_pdf_surface_create(outputPath.c_str(), paper.width, paper.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    std::optional<PdfPageWriter> writer;
    cairo_t* context = nullptr;
    if (outputPath.empty())
        context = cairo_create(surface);
    else
        writer.emplace(surface, paper);
    int i = 0;
    for (; job.hasPage(i); ++i) {
        Size pageSize = job.paperSizeForPage(i);
        if (!(pageSize.width > 0) || !(pageSize.height > 0))
            pageSize = paper;
        if (writer) {
            cairo_rectangle_t extents { 0, 0, pageSize.width, pageSize.height };
            cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
            cairo_t* page = cairo_create(recording);
            job.drawPage(i, page);
            cairo_destroy(page);
            writer->add(recording, pageSize);
            continue;
        }
        cairo_save(context);
        job.drawPage(i, context);
        cairo_restore(context);
        cairo_show_page(context);
    }
    if (context)
        cairo_destroy(context);
    writer.reset(); // every page written
    cairo_surface_finish(surface);
    bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    pages = i;
    return ok;
}

void HeadlessHost::runPrintPanel(Window*, unsigned, std::shared_ptr<PrintJob> job, std::function<void(bool printed)> done)
{
    bool print = false;
    if (!m_printAnswers.empty()) {
        print = m_printAnswers.front();
        m_printAnswers.pop_front();
    }
    echo(std::string("print panel \"") + (job ? job->jobName() : std::string()) + "\": " + (print ? "print" : "cancel"));
    // The closure may outlive this host: it carries what it needs, and the count it sets is shared.
    RunLoop::post([output = m_printOutputPath, job = std::move(job), done = std::move(done), print,
                      count = m_lastPrintPageCount] {
        int pages = 0;
        bool printed = print && job && printPages(*job, output, pages);
        if (print && job)
            *count = pages;
        if (done)
            done(printed);
    });
}

void HeadlessHost::runColorPanel(Color, std::function<void(Color)> changed)
{
    std::optional<Color> answer;
    if (!m_colorAnswers.empty()) {
        answer = m_colorAnswers.front();
        m_colorAnswers.pop_front();
    }
    if (answer) {
        auto [r, g, b, a] = answer->rgba();
        char text[96];
        std::snprintf(text, sizeof text, "%g %g %g %g", r, g, b, a);
        echo(std::string("colour panel: ") + text);
        RunLoop::post([changed = std::move(changed), color = *answer] { changed(color); });
    } else {
        echo("colour panel: cancel");
    }
}

void HeadlessHost::showFindBar(Window&)
{
    ++m_findBars;
}

void HeadlessHost::popUpContextMenu(Window& window, std::shared_ptr<Menu> menu, Point)
{
    int index = -1;
    std::string title;
    if (!m_menuAnswers.empty()) {
        title = std::move(m_menuAnswers.front());
        m_menuAnswers.pop_front();
        index = menu->indexOfItemWithTitle(title);
    }
    echo("menu: " + (index >= 0 ? title : std::string("none")));
    if (index < 0)
        return;
    WeakPtr<Window> target(&window);
    RunLoop::post([menu = std::move(menu), target, index] { menu->performActionForItemAtIndex(index, target.get()); });
}

void HeadlessHost::openURL(const std::string& url)
{
    m_openedURLs.push_back(url);
    std::cout << "open URL " << url << std::endl;
}

} // namespace kit
