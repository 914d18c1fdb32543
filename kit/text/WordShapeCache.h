#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kit {

// Widths of words shaped alone, keyed by a font number the owner gives each font it shapes with (the
// font fixes face, size, features, script and language) and the word's UTF-8 bytes. The table itself
// holds only a 32-bit tag of each key's hash and the index of its entry, so that it stays in the
// processor's cache while the entries and the words' bytes live in arenas. Not shared between threads.
class WordShapeCache {
public:
    struct Widths {
        std::int32_t advance = 0; // the word shaped alone, 1/1024 point
        std::int32_t kernBefore = 0; // added to a space before the word by kerning with its first glyph
        std::int32_t kernAfter = 0; // added to the word's last glyph by kerning with a space after it
    };

    // The entry of (font, word), or null; insert() adds one the caller has measured.
    const Widths* find(std::uint32_t font, std::string_view word, std::uint64_t hash) const;
    void insert(std::uint32_t font, std::string_view word, std::uint64_t hash, const Widths&);
    static std::uint64_t hash(std::uint32_t font, std::string_view word);

    std::size_t size() const { return m_entries.size(); }
    void clear();

private:
    struct Entry {
        std::uint32_t offset = 0; // into m_bytes
        std::uint32_t length = 0;
        std::uint32_t font = 0;
        std::uint32_t slotBits = 0; // the hash's low half, which picks the slot: growing needs no rehash
        Widths widths;
    };
    // The slot holding (font, word), or the empty slot where it would go.
    std::size_t slotFor(std::uint32_t font, std::string_view word, std::uint64_t hash) const;
    void grow();

    std::vector<std::uint64_t> m_slots; // tag << 32 | entry index + 1; 0 is an empty slot
    std::vector<Entry> m_entries;
    std::vector<char> m_bytes;
};

} // namespace kit
