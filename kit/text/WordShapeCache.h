#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kit {

// Widths of words shaped alone, keyed by a font number the owner gives each font it shapes with (the
// font fixes face, size, features, script and language) and the word's UTF-8 bytes. Open addressing
// over a 64-bit hash; the words' bytes live in one arena. Not shared between threads.
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

    std::size_t size() const { return m_count; }
    void clear();

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t offset = 0; // into m_bytes
        std::uint32_t length = 0;
        std::uint32_t font = 0;
        bool used = false;
        Widths widths;
    };
    std::size_t slotFor(std::uint32_t font, std::string_view word, std::uint64_t hash) const;
    void grow();

    std::vector<Slot> m_slots;
    std::vector<char> m_bytes;
    std::size_t m_count = 0;
};

} // namespace kit
