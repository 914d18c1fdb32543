#include "kit/text/WordShapeCache.h"

#include <cstring>

namespace kit {

std::uint64_t WordShapeCache::hash(std::uint32_t font, std::string_view word)
{
    // FNV-1a over the font number and the bytes, then a final mix so that the low bits used for the slot
    // depend on every byte.
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
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (!slot.used)
            return i;
        if (slot.hash == hash && slot.font == font && slot.length == word.size()
            && !std::memcmp(m_bytes.data() + slot.offset, word.data(), word.size()))
            return i;
    }
}

const WordShapeCache::Widths* WordShapeCache::find(std::uint32_t font, std::string_view word, std::uint64_t hash) const
{
    if (m_slots.empty())
        return nullptr;
    const Slot& slot = m_slots[slotFor(font, word, hash)];
    return slot.used ? &slot.widths : nullptr;
}

void WordShapeCache::insert(std::uint32_t font, std::string_view word, std::uint64_t hash, const Widths& widths)
{
    // At most half full, so probes stay short and an unused slot always ends them.
    if ((m_count + 1) * 2 > m_slots.size())
        grow();
    Slot& slot = m_slots[slotFor(font, word, hash)];
    if (slot.used) {
        slot.widths = widths;
        return;
    }
    slot = { hash, std::uint32_t(m_bytes.size()), std::uint32_t(word.size()), font, true, widths };
    m_bytes.insert(m_bytes.end(), word.begin(), word.end());
    ++m_count;
}

void WordShapeCache::grow()
{
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 4096 : old.size() * 2, Slot {});
    std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.used)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].used)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

void WordShapeCache::clear()
{
    m_slots.clear();
    m_bytes.clear();
    m_count = 0;
}

} // namespace kit
