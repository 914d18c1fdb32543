#include "kit/text/HarfBuzzParagraphEngine.h"

#include "kit/text/FontMap.h"
#include "kit/text/ParagraphRuns.h"
#include "kit/text/TextStorage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <hb-ot.h>
#include <limits>

namespace kit {

namespace {

int toPango(float points) { return int(std::lround(points * PANGO_SCALE)); }

// The scripts a paragraph the engine takes is itemized with: no letters at all, Latin, Greek, Cyrillic.
constexpr std::array<hb_script_t, 4> kScripts { HB_SCRIPT_COMMON, HB_SCRIPT_LATIN, HB_SCRIPT_GREEK, HB_SCRIPT_CYRILLIC };

float fromPango(int units) { return float(units) / PANGO_SCALE; }

constexpr std::uint8_t kBreakBefore = 1; // a line may start at this byte
constexpr std::uint8_t kWhite = 2; // a white character starts at this byte
constexpr std::uint8_t kItemStart = 4; // an item starts here (or the paragraph ends)

// How the engine takes a printable ASCII character. In text of letters, digits and spaces, where the
// punctuation below ends a word and an apostrophe stands between letters, a line may break only after a
// run of spaces, before anything but that punctuation; other characters need the full rules.
enum class AsciiClass : std::uint8_t { Refused, Letter, Plain, Punctuation, Apostrophe, Other };

constexpr std::array<AsciiClass, 128> kAsciiClass = [] {
    std::array<AsciiClass, 128> table {};
    for (int c = 0x20; c < 0x7F; ++c)
        table[c] = AsciiClass::Other;
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = table[c - 'a' + 'A'] = AsciiClass::Letter;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = AsciiClass::Plain;
    table[' '] = AsciiClass::Plain;
    for (char c : { '.', ',', ';', ':', '!', '?' })
        table[std::size_t(c)] = AsciiClass::Punctuation;
    table['\''] = AsciiClass::Apostrophe;
    return table;
}();

// Characters a space before never allows a break before (UAX #14: no break before exclamation and
// infix separators).
bool noBreakBefore(char c) { return kAsciiClass[static_cast<unsigned char>(c) & 0x7F] == AsciiClass::Punctuation; }

// Characters outside printable ASCII that the engine takes: they shape and break like ordinary Latin text
// in Pango (no font of their own, no emoji presentation, no direction, no mandatory break, no hyphen of
// their own). Everything else goes to Pango.
bool isTakenCharacter(gunichar c)
{
    if (c < 0xA0)
        return false; // controls (tab, separators Pango breaks paragraphs at, C1 controls)
    if (c == 0xAD || (c >= 0x2028 && c <= 0x202E) || (c >= 0x200B && c <= 0x200F) || (c >= 0x2060 && c <= 0x206F))
        return false; // soft hyphen, line and paragraph separators, bidi controls, zero-width characters
    switch (g_unichar_get_script(c)) {
    case G_UNICODE_SCRIPT_LATIN:
    case G_UNICODE_SCRIPT_GREEK:
    case G_UNICODE_SCRIPT_CYRILLIC:
        return true;
    case G_UNICODE_SCRIPT_INHERITED:
        return c < 0x370; // combining diacritical marks
    case G_UNICODE_SCRIPT_COMMON:
        // The numero sign stands before numbers in Cyrillic text as "No." does in English.
        return c < 0x2B0 || (c >= 0x2010 && c <= 0x2027) || (c >= 0x2030 && c <= 0x205E)
            || (c >= 0x20A0 && c <= 0x20C0) || c == 0x2116;
    default:
        return false;
    }
}

bool isMark(gunichar c) { return g_unichar_get_script(c) == G_UNICODE_SCRIPT_INHERITED; }

// A 'kern'-less face whose GSUB and GPOS lookups involve the space glyph only as pair adjustments: then a
// word shaped alone has the glyphs and advances it has inside a run, and the run's width is the words'
// widths plus each space's advance and its pair kerning with its neighbours.
bool wordsShapeAlone(hb_font_t* font, hb_codepoint_t space, hb_script_t script, const std::vector<hb_feature_t>& features)
{
    hb_face_t* face = hb_font_get_face(font);
    if (!hb_ot_layout_has_positioning(face)) {
        // A legacy 'kern' table: HarfBuzz applies it to every pair, spaces included.
        hb_blob_t* kern = hb_face_reference_table(face, HB_TAG('k', 'e', 'r', 'n'));
        bool hasKern = hb_blob_get_length(kern) > 0;
        hb_blob_destroy(kern);
        if (hasKern)
            return false;
    }
    hb_segment_properties_t properties = HB_SEGMENT_PROPERTIES_DEFAULT;
    properties.direction = HB_DIRECTION_LTR;
    properties.script = script;
    properties.language = hb_language_get_default();
    hb_shape_plan_t* plan = hb_shape_plan_create_cached(
        face, &properties, features.data(), unsigned(features.size()), nullptr);
    bool safe = true;
    hb_blob_t* gpos = hb_face_reference_table(face, HB_OT_TAG_GPOS);
    unsigned gposLength = 0;
    const auto* gposData = reinterpret_cast<const std::uint8_t*>(hb_blob_get_data(gpos, &gposLength));
    auto u16 = [&](std::size_t at) -> int {
        return at + 2 <= gposLength ? gposData[at] << 8 | gposData[at + 1] : -1;
    };
    // The type of a GPOS lookup, looking through extension lookups; -1 when the table is damaged.
    auto gposLookupType = [&](unsigned index) -> int {
        int list = u16(8);
        if (list < 0 || unsigned(u16(std::size_t(list))) <= index)
            return -1;
        int offset = u16(std::size_t(list) + 2 + 2 * index);
        if (offset < 0)
            return -1;
        std::size_t lookup = std::size_t(list) + std::size_t(offset);
        int type = u16(lookup);
        if (type != 9)
            return type;
        int subtable = u16(lookup + 6);
        return subtable < 0 ? -1 : u16(lookup + std::size_t(subtable) + 2);
    };
    hb_set_t* sets[4] = { hb_set_create(), hb_set_create(), hb_set_create(), hb_set_create() };
    for (hb_tag_t table : { HB_OT_TAG_GSUB, HB_OT_TAG_GPOS }) {
        hb_set_t* lookups = hb_set_create();
        hb_ot_shape_plan_collect_lookups(plan, table, lookups);
        for (hb_codepoint_t index = HB_SET_VALUE_INVALID; safe && hb_set_next(lookups, &index);) {
            for (hb_set_t* set : sets)
                hb_set_clear(set);
            hb_ot_layout_lookup_collect_glyphs(face, table, index, sets[0], sets[1], sets[2], sets[3]);
            bool touchesSpace = false;
            for (hb_set_t* set : sets)
                touchesSpace |= bool(hb_set_has(set, space));
            if (touchesSpace && (table == HB_OT_TAG_GSUB || gposLookupType(index) != 2))
                safe = false;
        }
        hb_set_destroy(lookups);
    }
    for (hb_set_t* set : sets)
        hb_set_destroy(set);
    hb_blob_destroy(gpos);
    hb_shape_plan_destroy(plan);
    return safe;
}

} // namespace

struct HarfBuzzParagraphEngine::Font {
    std::uint32_t id = 0; // the word cache's font number: this font with Latin (odd) or common script
    PangoFont* pango = nullptr; // kept alive by the font map's cache
    hb_font_t* hb = nullptr; // Pango's own, so advances are the ones Pango measures
    FontMetrics metrics;
    std::vector<hb_feature_t> features;
    hb_codepoint_t spaceGlyph = 0;
    bool hasSpace = false;
    std::array<std::int8_t, 4> wordsShapeAlone { -1, -1, -1, -1 }; // per paragraph script; -1 not asked yet
    std::int32_t spaceAdvance = 0; // a space shaped alone
    std::int32_t spaceSpaceKern = 0; // added to a space followed by another
    std::vector<std::int8_t> covers; // per character below kCoverageTable: -1 not asked yet (ASCII is asked first)
    std::unordered_map<gunichar, bool> coversOther;
    std::unordered_map<gunichar, std::int32_t> kernBefore, kernAfter; // of a space with a character's glyph
    std::unordered_map<gunichar, std::int32_t> whiteAdvance; // white characters shaped alone

    static constexpr gunichar kCoverageTable = 0x300;
    bool hasCharacter(gunichar c)
    {
        if (c < kCoverageTable) {
            if (covers[c] < 0)
                covers[c] = pango_font_has_char(pango, c) ? 1 : 0;
            return covers[c];
        }
        auto found = coversOther.find(c);
        if (found == coversOther.end())
            found = coversOther.emplace(c, pango_font_has_char(pango, c)).first;
        return found->second;
    }
};

HarfBuzzParagraphEngine::HarfBuzzParagraphEngine()
    : m_buffer(hb_buffer_create())
    , m_language(hb_language_from_string(pango_language_to_string(pango_language_get_default()), -1))
{
}

HarfBuzzParagraphEngine::~HarfBuzzParagraphEngine() { hb_buffer_destroy(m_buffer); }

void HarfBuzzParagraphEngine::invalidate()
{
    // Word widths depend on fonts only, so they stay for the next text.
    m_pango.invalidate();
}

void HarfBuzzParagraphEngine::recordLine(
    PageDisplayList::Builder& builder, const ParagraphInput& input, std::size_t line, Point origin)
{
    m_pango.recordLine(builder, input, line, origin);
}

void HarfBuzzParagraphEngine::drawAttachment(cairo_t* cr, const std::shared_ptr<const Attachment>& attachment, const Rect& rect)
{
    m_pango.drawAttachment(cr, attachment, rect);
}

std::vector<std::pair<float, float>> HarfBuzzParagraphEngine::xRangesForRange(
    const ParagraphInput& input, std::size_t line, Range range)
{
    return m_pango.xRangesForRange(input, line, range);
}

std::size_t HarfBuzzParagraphEngine::characterIndexForX(const ParagraphInput& input, std::size_t line, float x)
{
    return m_pango.characterIndexForX(input, line, x);
}

void HarfBuzzParagraphEngine::layOutParagraph(const ParagraphInput& input, std::vector<LineMetrics>& lines)
{
    std::size_t before = lines.size();
    if (breakLines(input, lines)) {
        ++m_statistics.taken;
        return;
    }
    lines.resize(before);
    ++m_statistics.declined;
    m_pango.layOutParagraph(input, lines);
}

std::int32_t HarfBuzzParagraphEngine::shape(
    const Font& font, const char* context, std::size_t contextLength, std::size_t offset, std::size_t count, hb_script_t script)
{
    hb_buffer_clear_contents(m_buffer);
    hb_buffer_add_utf8(m_buffer, context, int(contextLength), unsigned(offset), int(count));
    hb_buffer_set_direction(m_buffer, HB_DIRECTION_LTR);
    hb_buffer_set_script(m_buffer, script);
    hb_buffer_set_language(m_buffer, m_language);
    hb_shape(font.hb, m_buffer, font.features.data(), unsigned(font.features.size()));
    unsigned glyphs = 0;
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(m_buffer, &glyphs);
    std::int32_t sum = 0;
    for (unsigned g = 0; g < glyphs; ++g)
        sum += positions[g].x_advance;
    return sum;
}

HarfBuzzParagraphEngine::Font& HarfBuzzParagraphEngine::font(const PangoFontDescription* description)
{
    auto found = m_fonts.find(description);
    if (found != m_fonts.end())
        return *found->second;
    FontMap& fonts = FontMap::shared();
    auto font = std::make_unique<Font>();
    font->id = std::uint32_t(m_fonts.size()) * kScripts.size();
    font->pango = fonts.font(description);
    font->covers.assign(Font::kCoverageTable, -1);
    for (gunichar c = 0x20; c < 0x80; ++c)
        font->hasCharacter(c);
    if (font->pango) {
        font->hb = pango_font_get_hb_font(font->pango);
        font->metrics = fonts.metrics(font->pango);
        hb_feature_t features[32];
        guint count = 0;
        pango_font_get_features(font->pango, features, G_N_ELEMENTS(features), &count);
        font->features.assign(features, features + count);
    }
    if (font->hb && hb_font_get_nominal_glyph(font->hb, ' ', &font->spaceGlyph)) {
        font->hasSpace = true;
        font->spaceAdvance = shape(*font, " ", 1, 0, 1, HB_SCRIPT_LATIN);
        font->spaceSpaceKern = shape(*font, "  ", 2, 0, 2, HB_SCRIPT_LATIN) - 2 * font->spaceAdvance;

    }
    return *m_fonts.emplace(description, std::move(font)).first->second;
}

// Which paragraphs the engine takes: every character is one it knows to shape and break as Pango does,
// and the font Pango would ask first has it (else Pango would fall back to another font for it). Notes on
// the way the paragraph's script (that of its letters, which Pango gives every item, the common script
// when it has none) and what each item needs to know to be measured.
bool HarfBuzzParagraphEngine::scanCharacters(
    const char* text, std::size_t length, bool& simple, bool& mixed, unsigned& script)
{
    simple = true;
    mixed = false;
    script = 0;
    // Pango gives each run of one script an item of its own; a paragraph of several is cut the same way.
    auto letter = [&](unsigned s) {
        mixed = mixed || (script && script != s);
        if (!script)
            script = s;
    };
    bool afterSpace = false;
    for (Item& item : m_items) {
        Font& font = *item.font;
        for (std::size_t i = item.start; i < item.end;) {
            unsigned char byte = static_cast<unsigned char>(text[i]);
            if (byte < 0x80) {
                switch (kAsciiClass[byte]) {
                case AsciiClass::Refused:
                    return false;
                case AsciiClass::Letter:
                    letter(1);
                    break;
                case AsciiClass::Plain:
                    break;
                case AsciiClass::Punctuation:
                    // "1.5", "a,b": the full rules decide around punctuation inside a word.
                    simple &= i + 1 == length || text[i + 1] == ' ';
                    break;
                case AsciiClass::Apostrophe:
                    // Inside a word ("don't") it never breaks; as a quotation mark it may.
                    simple &= i > 0 && g_ascii_isalpha(text[i - 1]) && i + 1 < length && g_ascii_isalpha(text[i + 1]);
                    break;
                case AsciiClass::Other:
                    simple = false;
                    break;
                }
                if (!font.covers[byte])
                    return false;
                afterSpace = byte == ' ';
                ++i;
                continue;
            }
            gunichar c = g_utf8_get_char(text + i);
            simple = false;
            if (!isTakenCharacter(c))
                return false;
            bool mark = isMark(c);
            // A mark after a space joins the space's cluster, which words shaped alone do not see.
            if (afterSpace && mark)
                return false;
            if (mark || c == 0xA0)
                item.wordsAlone = false; // marks may attach across what the cache splits; a no-break space is white
            GUnicodeScript unicodeScript = g_unichar_get_script(c);
            if (unicodeScript != G_UNICODE_SCRIPT_COMMON && unicodeScript != G_UNICODE_SCRIPT_INHERITED)
                letter(unicodeScript == G_UNICODE_SCRIPT_LATIN ? 1 : unicodeScript == G_UNICODE_SCRIPT_GREEK ? 2 : 3);
            if (!font.hasCharacter(c))
                return false;
            afterSpace = false;
            i = std::size_t(g_utf8_next_char(text + i) - text);
        }
    }
    return true;
}

bool HarfBuzzParagraphEngine::splitByScript(const char* text, std::size_t length)
{
    std::vector<Item> split;
    PangoScriptIter* runs = pango_script_iter_new(text, int(length));
    bool known = true;
    std::size_t next = 0; // the first item not wholly before the run
    do {
        const char* runStart = nullptr;
        const char* runEnd = nullptr;
        PangoScript runScript = PANGO_SCRIPT_COMMON;
        pango_script_iter_get_range(runs, &runStart, &runEnd, &runScript);
        auto a = std::uint32_t(runStart - text), b = std::uint32_t(runEnd - text);
        unsigned index = runScript == PANGO_SCRIPT_LATIN ? 1
            : runScript == PANGO_SCRIPT_GREEK        ? 2
            : runScript == PANGO_SCRIPT_CYRILLIC     ? 3
            : runScript == PANGO_SCRIPT_COMMON       ? 0
                                                     : 4;
        known = known && index < kScripts.size();
        while (next < m_items.size() && m_items[next].end <= a)
            ++next;
        for (std::size_t i = next; i < m_items.size() && m_items[i].start < b; ++i) {
            Item piece = m_items[i];
            piece.start = std::max(piece.start, a);
            piece.end = std::min(piece.end, b);
            piece.script = index;
            split.push_back(piece);
        }
    } while (known && pango_script_iter_next(runs));
    pango_script_iter_free(runs);
    if (!known)
        return false;
    m_items = std::move(split);
    return true;
}

bool HarfBuzzParagraphEngine::collectItems(const ParagraphInput& input)
{
    FontMap& fonts = FontMap::shared();
    m_items.clear();
    bool taken = forEachParagraphRun(input, [&](const Attributes& attributes, std::size_t a, std::size_t b) {
        if (attributes.attachment || attributes.allCaps || attributes.smallCaps)
            return false;
        // Families for East Asian and complex scripts do not matter: the characters taken are of neither.
        Font& runFont = font(fonts.fontDescription(attributes));
        if (!runFont.hb || !runFont.hasSpace)
            return false;
        // The rise Pango draws with, in its units.
        float rise = fromPango(toPango(FontMap::baselineOffset(attributes)));
        if (!m_items.empty() && m_items.back().font == &runFont && m_items.back().rise == rise
            && m_items.back().end == a) {
            m_items.back().end = std::uint32_t(b);
            return true;
        }
        m_items.push_back({ std::uint32_t(a), std::uint32_t(b), &runFont, rise });
        return true;
    });
    if (!taken)
        return false;
    return !m_items.empty() && m_items.front().start == 0 && m_items.back().end == input.length;
}

void HarfBuzzParagraphEngine::findBreaks(const char* text, std::size_t length, bool simple)
{
    m_flags.assign(length + 1, 0);
    m_flags[length] = kBreakBefore | kItemStart;
    for (const Item& item : m_items)
        m_flags[item.start] |= kItemStart;
    if (simple) {
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] != ' ')
                continue;
            m_flags[i] |= kWhite;
            if (i + 1 < length && text[i + 1] != ' ' && !noBreakBefore(text[i + 1]))
                m_flags[i + 1] |= kBreakBefore;
        }
        return;
    }
    glong characters = g_utf8_strlen(text, glong(length));
    m_logAttrs.resize(std::size_t(characters) + 1);
    pango_get_log_attrs(text, int(length), -1, pango_language_get_default(), m_logAttrs.data(), int(characters) + 1);
    std::size_t byte = 0;
    for (glong i = 0; i < characters; ++i) {
        if (i > 0 && m_logAttrs[std::size_t(i)].is_line_break)
            m_flags[byte] |= kBreakBefore;
        if (m_logAttrs[std::size_t(i)].is_white)
            m_flags[byte] |= kWhite;
        byte = std::size_t(g_utf8_next_char(text + byte) - text);
    }
}

void HarfBuzzParagraphEngine::measureItem(
    const char* text, std::size_t length, const Item& item, bool simple, unsigned scriptIndex)
{
    Font& font = *item.font;
    hb_script_t script = kScripts[scriptIndex];
    if (font.wordsShapeAlone[scriptIndex] < 0)
        font.wordsShapeAlone[scriptIndex] = wordsShapeAlone(font.hb, font.spaceGlyph, script, font.features);
    bool wordsOnly = font.wordsShapeAlone[scriptIndex] && item.wordsAlone;
    // A break inside a word (after a hyphen, before an opening bracket) splits what the cache keeps whole.
    for (std::size_t i = item.start + 1; wordsOnly && !simple && i < item.end; ++i)
        wordsOnly = !(m_flags[i] & kBreakBefore) || text[i - 1] == ' ';
    auto advanceOf = [&](const char* word, std::size_t count) { return shape(font, word, count, 0, count, script); };

    if (!wordsOnly) {
        // The whole run with the paragraph around it as context, as Pango shapes an item.
        shape(font, text, length, item.start, item.end - item.start, script);
        unsigned glyphs = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(m_buffer, &glyphs);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(m_buffer, &glyphs);
        for (std::size_t b = item.start; b < item.end; ++b)
            m_width[b + 1] = 0;
        for (unsigned g = 0; g < glyphs; ++g)
            m_width[std::min<std::size_t>(infos[g].cluster, item.end - 1) + 1] += positions[g].x_advance;
        for (std::size_t b = item.start; b < item.end; ++b)
            m_width[b + 1] += m_width[b];
        return;
    }

    std::uint32_t id = font.id + scriptIndex;
    // Kerning of a space with a word's first or last glyph, when that glyph is its character's own: then
    // it is the same for every word, so it is measured once per character.
    auto spaceKern = [&](gunichar c, bool before) {
        auto& table = before ? font.kernBefore : font.kernAfter;
        gunichar key = c | gunichar(scriptIndex) << 24;
        auto found = table.find(key);
        if (found != table.end())
            return found->second;
        char pair[8];
        int n = g_unichar_to_utf8(c, before ? pair + 1 : pair);
        pair[before ? 0 : n] = ' ';
        std::int32_t kern = advanceOf(pair, std::size_t(n) + 1) - font.spaceAdvance - advanceOf(pair + (before ? 1 : 0), std::size_t(n));
        return table.emplace(key, kern).first->second;
    };
    auto measureWord = [&](std::string_view word) {
        std::uint64_t hash = WordShapeCache::hash(id, word);
        if (const WordShapeCache::Widths* known = m_words.find(id, word, hash))
            return *known;
        WordShapeCache::Widths widths;
        widths.advance = advanceOf(word.data(), word.size());
        unsigned glyphs = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(m_buffer, &glyphs);
        gunichar first = g_utf8_get_char(word.data());
        gunichar last = g_utf8_get_char(g_utf8_prev_char(word.data() + word.size()));
        hb_codepoint_t firstGlyph = 0, lastGlyph = 0;
        bool firstNominal = glyphs && hb_font_get_nominal_glyph(font.hb, first, &firstGlyph) && infos[0].codepoint == firstGlyph;
        bool lastNominal = glyphs && hb_font_get_nominal_glyph(font.hb, last, &lastGlyph) && infos[glyphs - 1].codepoint == lastGlyph;
        std::string spaced;
        if (firstNominal) {
            widths.kernBefore = spaceKern(first, true);
        } else {
            spaced = " ";
            spaced += word;
            widths.kernBefore = advanceOf(spaced.data(), spaced.size()) - font.spaceAdvance - widths.advance;
        }
        if (lastNominal) {
            widths.kernAfter = spaceKern(last, false);
        } else {
            spaced.assign(word);
            spaced += ' ';
            widths.kernAfter = advanceOf(spaced.data(), spaced.size()) - font.spaceAdvance - widths.advance;
        }
        m_words.insert(id, word, hash, widths);
        return widths;
    };

    // Words and single spaces; each kerning pair across a space goes where whole-run shaping puts it: on
    // the first glyph of the pair.
    std::size_t i = item.start;
    while (i < item.end) {
        std::int32_t x = m_width[i];
        if (text[i] == ' ') {
            x += font.spaceAdvance;
            if (i + 1 < item.end)
                x += text[i + 1] == ' ' ? font.spaceSpaceKern : 0;
            m_width[i + 1] = x;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < item.end && text[end] != ' ')
            ++end;
        WordShapeCache::Widths widths = measureWord({ text + i, end - i });
        if (i > item.start)
            m_width[i] += widths.kernBefore, x += widths.kernBefore; // on the space before
        x += widths.advance + (end < item.end ? widths.kernAfter : 0);
        for (std::size_t b = i + 1; b < end; ++b)
            m_width[b] = m_width[i];
        m_width[end] = x;
        i = end;
    }
}

bool HarfBuzzParagraphEngine::breakLines(const ParagraphInput& input, std::vector<LineMetrics>& lines)
{
    const TextStorage& storage = *input.storage;
    const ParagraphStyle& style = storage.attributesAt(input.paragraphStart).paragraphStyle();
    if (style.baseDirection == WritingDirection::RightToLeft)
        return false;
    const char* text = storage.string().data() + input.start;
    std::size_t length = input.length;
    if (length == 0) {
        const FontMetrics& metrics = FontMap::shared().metrics(storage.attributesAt(input.start));
        lines.push_back({ std::uint32_t(input.start), 0, metrics.ascent, metrics.descent, metrics.lineGap() });
        return true;
    }
    if (length > std::numeric_limits<std::int32_t>::max() / 2 || !g_utf8_validate(text, gssize(length), nullptr))
        return false;
    if (!collectItems(input))
        return false;
    bool simple = true, mixed = false;
    unsigned script = 0;
    if (!scanCharacters(text, length, simple, mixed, script))
        return false;
    if (mixed && !splitByScript(text, length))
        return false;
    if (!mixed) {
        for (Item& item : m_items)
            item.script = script;
    }
    findBreaks(text, length, simple);
    m_width.assign(length + 1, 0);
    for (const Item& item : m_items) {
        measureItem(text, length, item, simple, item.script);
    }

    // The box and first-line indent exactly as the Pango engine gives them to its layout.
    float headIndent = saneLength(style.headIndent, -10000, 10000);
    float firstLine = input.continuesParagraph ? headIndent : saneLength(style.firstLineHeadIndent, -10000, 10000);
    float leading = std::min(firstLine, headIndent);
    float trailing = saneLength(style.tailIndent, 0, 10000);
    int boxWidth = toPango(std::max(1.0f, input.columnWidth - leading - trailing));
    int indent = toPango(firstLine - headIndent);

    auto isItemBoundary = [&](std::size_t p) { return bool(m_flags[p] & kItemStart); };
    // The width Pango compares with the line's width for a break at p: the line's text up to p, less the one
    // white character before the break. Pango measures that character in the run (with its kerning with the
    // next character) but the text before the break shaped again without what follows, so inside a run the
    // space's kerning with the next word counts against the line.
    auto fitWidth = [&](std::size_t lineStart, std::size_t p, std::int64_t& withoutWhite) {
        std::int64_t width = std::int64_t(m_width[p]) - m_width[lineStart];
        withoutWhite = width;
        std::size_t white = p;
        if (p > lineStart) {
            white = std::size_t(g_utf8_prev_char(text + p) - text);
            if (white < lineStart || !(m_flags[white] & kWhite))
                white = p;
        }
        if (white == p)
            return width;
        std::int64_t inRun = std::int64_t(m_width[p]) - m_width[white];
        withoutWhite = width - inRun;
        if (isItemBoundary(p))
            return withoutWhite;
        auto holding = std::upper_bound(m_items.begin(), m_items.end(), white,
            [](std::size_t b, const Item& i) { return b < i.start; });
        Font& font = *(holding - 1)->font;
        gunichar c = g_utf8_get_char(text + white);
        std::int32_t alone = font.spaceAdvance;
        if (c != ' ') {
            auto found = font.whiteAdvance.find(c);
            if (found == font.whiteAdvance.end())
                found = font.whiteAdvance.emplace(c, shape(font, text + white, p - white, 0, p - white, HB_SCRIPT_COMMON)).first;
            alone = found->second;
        }
        return withoutWhite - inRun + alone;
    };

    // Greedy, like Pango: each line ends at the last break whose fit width is within the line's width.
    // Widths only grow along a line, so the scan stops once the text without its white is too wide.
    constexpr std::int64_t kScanSlack = 16 * PANGO_SCALE;
    std::size_t lineStart = 0;
    bool firstLineOfLayout = true;
    std::size_t item = 0;
    while (true) {
        int available = boxWidth;
        if (firstLineOfLayout && indent >= 0)
            available -= indent;
        else if (!firstLineOfLayout && indent < 0)
            available += indent;
        available = std::max(available, 0);
        std::size_t best = 0;
        for (std::size_t p = lineStart + 1; p <= length; ++p) {
            if (!(m_flags[p] & kBreakBefore))
                continue;
            std::int64_t withoutWhite = 0;
            std::int64_t fit = fitWidth(lineStart, p, withoutWhite);
            if (fit <= available)
                best = p;
            else if (withoutWhite > available + kScanSlack)
                break;
        }
        if (!best)
            return false; // the first word is wider than the line: Pango breaks it between characters
        LineMetrics line;
        line.start = std::uint32_t(input.start + lineStart);
        line.length = std::uint32_t(best - lineStart);
        bool hasRun = false;
        while (m_items[item].end <= lineStart)
            ++item;
        for (std::size_t i = item; i < m_items.size() && m_items[i].start < best; ++i) {
            const FontMetrics& metrics = m_items[i].font->metrics;
            float rise = m_items[i].rise;
            float ascent = metrics.ascent + rise, descent = metrics.descent - rise, gap = metrics.lineGap();
            line.ascent = hasRun ? std::max(line.ascent, ascent) : ascent;
            line.descent = hasRun ? std::max(line.descent, descent) : descent;
            line.lineGap = hasRun ? std::max(line.lineGap, gap) : gap;
            hasRun = true;
        }
        lines.push_back(line);
        if (best == length)
            return true;
        lineStart = best;
        firstLineOfLayout = false;
    }
}

} // namespace kit
