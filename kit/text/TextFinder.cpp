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

std::optional<Range> TextFinder::find(
    const std::shared_ptr<const TextStorage>& storage, std::string_view needle, Range selection, Direction direction)
{
    if (needle.empty() || !storage || storage->length() == 0)
        return std::nullopt;
    if (m_storage.lock() != storage || m_changeCount != storage->changeCount()
        || m_folded.size() != storage->length()) {
        m_folded = fold(storage->string());
        m_storage = storage;
        m_changeCount = storage->changeCount();
    }
    std::string key = fold(needle);
    if (key.size() > m_folded.size())
        return std::nullopt;
    std::size_t found = std::string::npos;
    if (direction == Direction::Forward) {
        found = m_folded.find(key, std::min(selection.end(), m_folded.size()));
        if (found == std::string::npos)
            found = m_folded.find(key);
    } else {
        if (selection.location >= key.size())
            found = m_folded.rfind(key, selection.location - key.size());
        if (found == std::string::npos)
            found = m_folded.rfind(key);
    }
    if (found == std::string::npos)
        return std::nullopt;
    return Range { found, key.size() };
}

} // namespace kit
