#include "hosts/gtk/ReadingState.h"

#include "kit/foundation/AtomicFile.h"
#include "kit/foundation/Clock.h"
#include "kit/foundation/FileDescriptor.h"
#include "kit/view/ClipView.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageNavigation.h"
#include "pageview/ZoomFactors.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hosts {

namespace {

constexpr std::string_view kHeader = "lectorin-reading-state 1";

// The height of a page's slot: the page and the separator above it (page view points). Pages of a
// document's own layout differ in height.
float slotHeight(NRVLectorinMultiPageView& pageView, std::uint32_t page)
{
    return pageView.pageRectForPageNumber(page).height() + pageView.pageSeparatorHeight();
}

float slotTop(NRVLectorinMultiPageView& pageView, std::uint32_t page)
{
    return pageView.pageRectForPageNumber(page).minY() - pageView.pageSeparatorHeight();
}

template<typename Number> std::optional<Number> wholeNumber(std::string_view text, std::size_t maximumDigits)
{
    Number value {};
    if (text.empty() || text.size() > maximumDigits)
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<ReadingPlace> parseZoom(std::string_view text)
{
    ReadingPlace place;
    if (text == "fit-width") {
        place.zoom = ReadingPlace::Zoom::FitWidth;
    } else if (text == "fit-page") {
        place.zoom = ReadingPlace::Zoom::FitPage;
    } else if (text.substr(0, 5) == "step:") {
        auto step = wholeNumber<int>(text.substr(5), 2);
        if (!step || *step < 0 || *step >= kZoomFactorsCount)
            return std::nullopt;
        place.zoomStep = *step;
    } else {
        return std::nullopt;
    }
    return place;
}

std::string zoomText(const ReadingPlace& place)
{
    switch (place.zoom) {
    case ReadingPlace::Zoom::FitWidth:
        return "fit-width";
    case ReadingPlace::Zoom::FitPage:
        return "fit-page";
    case ReadingPlace::Zoom::Step:
        break;
    }
    return "step:" + std::to_string(place.zoomStep);
}

// A fraction written by format: "0." and up to six digits (or "0"), nothing else.
std::optional<float> parseOffset(std::string_view text)
{
    if (text == "0")
        return 0.0f;
    if (text.size() < 3 || text.size() > 8 || text.substr(0, 2) != "0.")
        return std::nullopt;
    auto digits = wholeNumber<std::uint32_t>(text.substr(2), 6);
    if (!digits)
        return std::nullopt;
    return float(*digits) / std::pow(10.0f, float(text.size() - 2));
}

std::string offsetText(float offset)
{
    long millionths = std::lround(std::clamp(offset, 0.0f, 1.0f) * 1e6f);
    if (millionths >= 1000000)
        millionths = 999999;
    if (millionths <= 0)
        return "0";
    std::string digits = std::to_string(millionths);
    return "0." + std::string(6 - digits.size(), '0') + digits;
}

bool isDocumentName(std::string_view text)
{
    return !text.empty() && text.size() <= ReadingState::kMaximumLine
        && std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::optional<ReadingState::Entry> parseLine(std::string_view line)
{
    std::string_view fields[5];
    for (std::size_t i = 0; i < 5; ++i) {
        std::size_t tab = line.find('\t');
        if ((tab == std::string_view::npos) != (i == 4))
            return std::nullopt;
        fields[i] = line.substr(0, tab);
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    }
    auto opened = wholeNumber<std::int64_t>(fields[0], 15);
    auto place = parseZoom(fields[1]);
    auto page = wholeNumber<std::uint32_t>(fields[2], 7);
    auto offset = parseOffset(fields[3]);
    if (!opened || !place || !page || !offset || !isDocumentName(fields[4]))
        return std::nullopt;
    place->page = *page;
    place->offset = *offset;
    return ReadingState::Entry { std::string(fields[4]), *opened, *place };
}

// At most limit bytes of a regular file, opened without following a link or waiting on a FIFO. Empty for
// anything else.
std::string readCapped(const std::filesystem::path& path, std::size_t limit)
{
    kit::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    struct stat info;
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    // A file that cannot be read to its end reads as empty, as one that cannot be opened does.
    std::string bytes = kit::readAll(fd.get(), limit).value_or(std::string());
    // What lies past the limit is left unread; parse drops the line it cut.
    if (bytes.size() > limit)
        bytes.resize(limit);
    return bytes;
}

// mkdir -p, each folder it makes private to the user.
bool makeFolders(const std::filesystem::path& folder)
{
    struct stat info;
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    std::filesystem::path parent = folder.parent_path();
    if (parent != folder && !parent.empty() && !makeFolders(parent))
        return false;
    return (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

ReadingPlace ReadingPlace::of(NRVLectorinMultiPageView& pageView)
{
    ReadingPlace place;
    switch (pageView.zoomFit()) {
    case NRVLectorinMultiPageView::ZoomFit::Width:
        place.zoom = Zoom::FitWidth;
        break;
    case NRVLectorinMultiPageView::ZoomFit::Page:
        place.zoom = Zoom::FitPage;
        break;
    case NRVLectorinMultiPageView::ZoomFit::None:
        place.zoomStep = pageView.zoomStep();
        break;
    }
    kit::ClipView* clip = PageNavigation::clipView(pageView);
    if (!clip || pageView.numberOfPages() == 0)
        return place;
    float top = clip->documentVisibleRect().minY();
    // The slot [top of the separator above a page, its bottom) is pageAtY's half separators moved up by half.
    place.page = PageNavigation::pageAtY(pageView, top + pageView.pageSeparatorHeight() / 2);
    place.offset = std::clamp((top - slotTop(pageView, place.page)) / slotHeight(pageView, place.page), 0.0f, 0.999999f);
    return place;
}

void ReadingPlace::restore(NRVLectorinMultiPageView& pageView) const
{
    switch (zoom) {
    case Zoom::FitWidth:
        pageView.setZoomFit(NRVLectorinMultiPageView::ZoomFit::Width);
        break;
    case Zoom::FitPage:
        pageView.setZoomFit(NRVLectorinMultiPageView::ZoomFit::Page);
        break;
    case Zoom::Step:
        pageView.setZoomStep(zoomStep);
        break;
    }
    kit::ClipView* clip = PageNavigation::clipView(pageView);
    if (!clip || pageView.numberOfPages() == 0)
        return;
    std::uint32_t shown = std::min(page, pageView.numberOfPages() - 1);
    float top = slotTop(pageView, shown) + (shown == page ? offset : 0) * slotHeight(pageView, shown);
    kit::Rect inClip = pageView.convertRect({ 0, top, 1, 1 }, clip);
    clip->scrollToPoint({ clip->bounds().x(), std::round(inClip.minY()) });
}

ReadingState::ReadingState(std::filesystem::path file)
    : m_file(std::move(file))
{
}

std::filesystem::path ReadingState::defaultFile()
{
    std::filesystem::path folder;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        folder = state;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::filesystem::path(home) / ".local/state";
    else
        return {};
    return folder / "lectorin" / "reading.state";
}

std::vector<ReadingState::Entry> ReadingState::parse(std::string_view bytes)
{
    std::vector<Entry> entries;
    std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos || bytes.substr(0, end) != kHeader)
        return entries;
    bytes.remove_prefix(end + 1);
    while (!bytes.empty() && entries.size() < kMaximumEntries) {
        end = bytes.find('\n');
        // A last line without its line break was cut short.
        if (end == std::string_view::npos)
            break;
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        auto entry = line.size() <= kMaximumLine ? parseLine(line) : std::nullopt;
        if (!entry)
            continue;
        bool known = std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.document == entry->document; });
        if (!known)
            entries.push_back(std::move(*entry));
    }
    return entries;
}

std::string ReadingState::format(const std::vector<Entry>& entries)
{
    std::string text = std::string(kHeader) + "\n";
    std::size_t written = 0;
    for (const auto& entry : entries) {
        if (written == kMaximumEntries)
            break;
        if (!isDocumentName(entry.document))
            continue;
        text += std::to_string(std::max<std::int64_t>(entry.openedAt, 0)) + "\t" + zoomText(entry.place) + "\t"
            + std::to_string(std::min<std::uint32_t>(entry.place.page, 9999999)) + "\t" + offsetText(entry.place.offset)
            + "\t" + entry.document + "\n";
        ++written;
    }
    return text;
}

std::vector<ReadingState::Entry> ReadingState::entries() const
{
    if (m_file.empty())
        return {};
    return parse(readCapped(m_file, kMaximumBytes));
}

std::optional<ReadingPlace> ReadingState::placeFor(const std::string& document) const
{
    for (const auto& entry : entries()) {
        if (entry.document == document)
            return entry.place;
    }
    return std::nullopt;
}

std::vector<std::string> ReadingState::recentDocuments(std::size_t count) const
{
    std::vector<std::string> documents;
    for (const auto& entry : entries()) {
        if (documents.size() == count)
            break;
        documents.push_back(entry.document);
    }
    return documents;
}

bool ReadingState::noteOpened(const std::string& document)
{
    return update(document, std::nullopt);
}

bool ReadingState::remember(const std::string& document, const ReadingPlace& place)
{
    return update(document, place);
}

bool ReadingState::update(const std::string& document, const std::optional<ReadingPlace>& place)
{
    if (m_file.empty() || !isDocumentName(document))
        return false;
    std::vector<Entry> list = entries();
    Entry changed { document, std::int64_t(kit::Clock::now()), place.value_or(ReadingPlace {}) };
    auto found = std::find_if(list.begin(), list.end(), [&](const Entry& entry) { return entry.document == document; });
    if (found != list.end()) {
        if (!place)
            changed.place = found->place;
        list.erase(found);
    }
    list.insert(list.begin(), changed);
    if (!makeFolders(m_file.parent_path()))
        return false;
    std::string text = format(list);
    return kit::writeFileAtomically(m_file.string(), text, 0600);
}

} // namespace hosts
