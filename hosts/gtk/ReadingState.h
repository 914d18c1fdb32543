#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NRVLectorinMultiPageView;

namespace hosts {

// Where a reader left a document: the zoom (a step, or a fit that keeps fitting) and the top of the view
// as a page and the part of that page's slot (the page and the separator above it) above the view's top.
struct ReadingPlace {
    enum class Zoom { Step, FitWidth, FitPage };
    Zoom zoom = Zoom::Step;
    int zoomStep = 4;
    std::uint32_t page = 0; // 0-based
    float offset = 0; // 0 <= offset < 1
    bool operator==(const ReadingPlace&) const = default;

    // The page view's zoom and scroll position now.
    static ReadingPlace of(NRVLectorinMultiPageView& pageView);
    // Sets the zoom, then scrolls so that the view's top is where it was; a page past the end goes to the end.
    void restore(NRVLectorinMultiPageView& pageView) const;
};

// What `lectorin view` remembers between runs, in one small text file of the user's state folder: each
// document's reading place and when it was last opened, newest first, which is the list of recent
// documents. Documents are named by their URL.
//
// The file is read whole at every question and rewritten whole (a temporary file renamed over it) at every
// change, so several windows and programs see each other's changes; the last writer wins. It is read as
// hostile input: more than kMaximumBytes, a line that does not parse, a line longer than kMaximumLine or
// entries beyond kMaximumEntries are ignored, never an error.
//
//   lectorin-reading-state 1
//   <opened: seconds since 2001> TAB <zoom: step:N | fit-width | fit-page> TAB <page> TAB <offset> TAB <URL>
class ReadingState {
public:
    static constexpr std::size_t kMaximumBytes = 256 * 1024;
    static constexpr std::size_t kMaximumLine = 4096;
    static constexpr std::size_t kMaximumEntries = 200;

    explicit ReadingState(std::filesystem::path file);
    // $XDG_STATE_HOME/lectorin/reading.state, else ~/.local/state/lectorin/reading.state (a relative
    // $XDG_STATE_HOME is ignored, as the XDG base directory rules require).
    static std::filesystem::path defaultFile();
    const std::filesystem::path& file() const { return m_file; }

    struct Entry {
        std::string document;
        std::int64_t openedAt = 0;
        ReadingPlace place;
        bool operator==(const Entry&) const = default;
    };
    static std::vector<Entry> parse(std::string_view bytes);
    static std::string format(const std::vector<Entry>& entries);
    std::vector<Entry> entries() const;

    std::optional<ReadingPlace> placeFor(const std::string& document) const;
    // The documents opened most recently, newest first.
    std::vector<std::string> recentDocuments(std::size_t count) const;
    // The document was opened now: first in the list, its place kept. False when the file cannot be written.
    bool noteOpened(const std::string& document);
    // Where the reader left it.
    bool remember(const std::string& document, const ReadingPlace& place);

private:
    bool update(const std::string& document, const std::optional<ReadingPlace>& place);

    std::filesystem::path m_file;
};

} // namespace hosts
