#include "kit/text/TextFinder.h"

#include "kit/text/TextStorage.h"

#include <glib.h>

namespace kit {

std::string TextFinder::fold(std::string_view text)
{
    std::string folded(text);
    for (std::size_t i = 0; i < folded.size();) {
        auto c = static_cast<unsigned char>(folded[i]);
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                folded[i] = char(c - 'A' + 'a');
            ++i;
            continue;
        }
        const char* p = folded.data() + i;
        gunichar character = g_utf8_get_char_validated(p, gssize(folded.size() - i));
        if (character == gunichar(-1) || character == gunichar(-2)) {
            ++i; // not UTF-8: left alone, compared byte for byte
            continue;
        }
        auto length = std::size_t(g_utf8_next_char(p) - p);
        char lower[6];
        gunichar lowered = g_unichar_tolower(character);
        if (lowered != character && std::size_t(g_unichar_to_utf8(lowered, lower)) == length)
            folded.replace(i, length, lower, length);
        i += length;
    }
    return folded;
}

namespace {

bool isWordCharacter(std::string_view text, const char* at)
{
    gunichar c = g_utf8_get_char_validated(at, gssize(text.data() + text.size() - at));
    return c != gunichar(-1) && c != gunichar(-2) && (g_unichar_isalnum(c) || g_unichar_ismark(c));
}

// Whether [position, position + length) of text stands as a word of its own.
bool isWholeWord(std::string_view text, std::size_t position, std::size_t length)
{
    const char* begin = text.data();
    if (position > 0) {
        const char* before = g_utf8_find_prev_char(begin, begin + position);
        if (before && isWordCharacter(text, before))
            return false;
    }
    return position + length >= text.size() || !isWordCharacter(text, begin + position + length);
}

// The first acceptable occurrence of key in haystack starting at or after from (npos: none).
std::size_t nextMatch(std::string_view haystack, std::string_view text, std::string_view key, std::size_t from, bool wholeWords)
{
    for (std::size_t found = haystack.find(key, from); found != std::string_view::npos; found = haystack.find(key, found + 1)) {
        if (!wholeWords || isWholeWord(text, found, key.size()))
            return found;
    }
    return std::string_view::npos;
}

// The last acceptable occurrence of key starting at or before last (npos: none).
std::size_t previousMatch(std::string_view haystack, std::string_view text, std::string_view key, std::size_t last, bool wholeWords)
{
    for (std::size_t found = haystack.rfind(key, last); found != std::string_view::npos; found = found ? haystack.rfind(key, found - 1) : std::string_view::npos) {
        if (!wholeWords || isWholeWord(text, found, key.size()))
            return found;
    }
    return std::string_view::npos;
}

} // namespace

std::vector<Range> TextFinder::findAll(std::string_view text, std::string_view needle, FindOptions options, std::size_t limit)
{
    std::vector<Range> matches;
    if (needle.empty() || needle.size() > text.size())
        return matches;
    // Folding keeps every character's UTF-8 length, so offsets into the folded text are offsets into the text.
    std::string folded = options.matchCase ? std::string() : fold(text);
    std::string key = options.matchCase ? std::string(needle) : fold(needle);
    std::string_view haystack = options.matchCase ? text : std::string_view(folded);
    for (std::size_t found = nextMatch(haystack, text, key, 0, options.wholeWords); found != std::string_view::npos && matches.size() < limit;
         found = nextMatch(haystack, text, key, found + key.size(), options.wholeWords))
        matches.push_back({ found, key.size() });
    return matches;
}

std::optional<Range> TextFinder::find(const std::shared_ptr<const TextStorage>& storage, std::string_view needle,
    Range selection, Direction direction, FindOptions options)
{
    if (needle.empty() || !storage || storage->length() == 0)
        return std::nullopt;
    if (!options.matchCase
        && (m_storage.lock() != storage || m_changeCount != storage->changeCount() || m_folded.size() != storage->length())) {
        m_folded = fold(storage->string());
        m_storage = storage;
        m_changeCount = storage->changeCount();
    }
    const std::string& text = storage->string();
    std::string key = options.matchCase ? std::string(needle) : fold(needle);
    std::string_view haystack = options.matchCase ? std::string_view(text) : std::string_view(m_folded);
    if (key.size() > haystack.size())
        return std::nullopt;
    std::size_t found = std::string::npos;
    if (direction == Direction::Forward) {
        found = nextMatch(haystack, text, key, std::min(selection.end(), haystack.size()), options.wholeWords);
        if (found == std::string::npos)
            found = nextMatch(haystack, text, key, 0, options.wholeWords);
    } else {
        if (selection.location >= key.size())
            found = previousMatch(haystack, text, key, selection.location - key.size(), options.wholeWords);
        if (found == std::string::npos)
            found = previousMatch(haystack, text, key, haystack.size(), options.wholeWords);
    }
    if (found == std::string::npos)
        return std::nullopt;
    return Range { found, key.size() };
}

} // namespace kit
