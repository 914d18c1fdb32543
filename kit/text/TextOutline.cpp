#include "kit/text/TextOutline.h"

#include "kit/text/TextStorage.h"

#include <glib.h>

namespace kit {

namespace {

constexpr std::size_t kMaximumTitleBytes = 200;

} // namespace

// Runs of white space, breaks and tabs become one space.
std::string outlineTitle(std::string_view paragraph)
{
    std::string title;
    bool pendingSpace = false;
    const char* p = paragraph.data();
    const char* end = p + paragraph.size();
    while (p < end) {
        gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == gunichar(-1) || c == gunichar(-2)) {
            ++p;
            continue;
        }
        const char* next = g_utf8_next_char(p);
        if (c == 0xFFFC) {
            // a picture
        } else if (g_unichar_isspace(c) || c == '\f') {
            pendingSpace = !title.empty();
        } else {
            if (title.size() + (next - p) > kMaximumTitleBytes) {
                title += "\xE2\x80\xA6";
                return title;
            }
            if (pendingSpace)
                title += ' ';
            pendingSpace = false;
            title.append(p, next);
        }
        p = next;
    }
    return title;
}


std::vector<OutlineEntry> outlineOfText(const TextStorage& text)
{
    std::vector<OutlineEntry> outline;
    const std::string& string = text.string();
    std::size_t start = 0;
    while (start < string.size() && outline.size() < kMaximumOutlineEntries) {
        std::size_t end = string.find_first_of("\n\f", start);
        if (end == std::string::npos)
            end = string.size();
        int level = text.attributesAt(start).paragraphStyle().outlineLevel;
        if (level >= 1 && level <= 9) {
            std::string title = outlineTitle(std::string_view(string).substr(start, end - start));
            if (!title.empty())
                outline.push_back({ level, std::move(title), start });
        }
        start = end + 1;
    }
    return outline;
}

} // namespace kit
