#include "kit/text/WordShapeCache.h"

#include <cstring>

namespace kit {

std::uint64_t WordShapeCache::hash(std::uint32_t font, std::string_view word)
{
    // FNV-1a over the font number and the bytes, then a final mix so that the bits used for the slot and
    // for the tag depend on every byte.
    std::uint64_t h = 0xcbf29ce484222325ull ^ font;
    for (char c : word) {
        h ^= std::uint8_t(c);
        h *= 0x100000001b3ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

std::size_t WordShapeCache::slotFor(std::uint32_t font, std::string_view word, std::uint64_t hash) const
{
    std::size_t mask = m_slots.size() - 1;
    std::uint64_t tag = hash >> 32;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        std::uint64_t slot = m_slots[i];
        if (!slot)
            return i;
        if (slot >> 32 != tag)
            continue;
        const Entry& entry = m_entries[std::uint32_t(slot) - 1];
        if (entry.font == font && entry.length == word.size()
            && !std::memcmp(m_bytes.data() + entry.offset, word.data(), word.size()))
            return i;
    }
}

const WordShapeCache::Widths* WordShapeCache::find(std::uint32_t font, std::string_view word, std::uint64_t hash) const
{
    if (m_slots.empty())
        return nullptr;
    std::uint64_t slot = m_slots[slotFor(font, word, hash)];
    return slot ? &m_entries[std::uint32_t(slot) - 1].widths : nullptr;
}

void WordShapeCache::insert(std::uint32_t font, std::string_view word, std::uint64_t hash, const Widths& widths)
{
    // At most half full, so probes stay short and an empty slot always ends them.
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        grow();
    std::uint64_t& slot = m_slots[slotFor(font, word, hash)];
    if (slot) {
        m_entries[std::uint32_t(slot) - 1].widths = widths;
        return;
    }
    m_entries.push_back({ std::uint32_t(m_bytes.size()), std::uint32_t(word.size()), font, std::uint32_t(hash), widths });
    m_bytes.insert(m_bytes.end(), word.begin(), word.end());
    slot = (hash >> 32) << 32 | std::uint64_t(m_entries.size());
}

void WordShapeCache::grow()
{
    std::vector<std::uint64_t> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 4096 : old.size() * 2, 0);
    std::size_t mask = m_slots.size() - 1;
    for (std::uint64_t slot : old) {
        if (!slot)
            continue;
        const Entry& entry = m_entries[std::uint32_t(slot) - 1];
        std::size_t i = entry.slotBits & mask;
        while (m_slots[i])
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

void WordShapeCache::clear()
{
    m_slots.clear();
    m_entries.clear();
    m_bytes.clear();
}

} // namespace kit
