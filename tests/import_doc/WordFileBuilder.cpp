#include "WordFileBuilder.h"

#include <algorithm>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>
#include <stdexcept>

namespace testdoc {

void put16(Bytes& out, std::uint16_t value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void put32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

Bytes sprm(std::uint16_t code, std::initializer_list<std::uint8_t> operand)
{
    Bytes out;
    put16(out, code);
    // Byte by byte: GCC 12 mistakes a range insert into a two-byte vector for an overflowing copy.
    for (std::uint8_t byte : operand)
        out.push_back(byte);
    return out;
}

Bytes sprm16(std::uint16_t code, std::uint16_t operand)
{
    Bytes out;
    put16(out, code);
    put16(out, operand);
    return out;
}

Bytes sprm32(std::uint16_t code, std::uint32_t operand)
{
    Bytes out;
    put16(out, code);
    put32(out, operand);
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes compoundFile(const std::map<std::string, Bytes>& streams)
{
    gsf_init();
    GsfOutput* memory = gsf_output_memory_new();
    GError* error = nullptr;
    GsfOutfile* file = gsf_outfile_msole_new(memory);
    for (const auto& [name, bytes] : streams) {
        GsfOutput* child = gsf_outfile_new_child(file, name.c_str(), FALSE);
        if (!bytes.empty())
            gsf_output_write(child, bytes.size(), bytes.data());
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(file));
    g_object_unref(file);
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
    Bytes out(data, data + gsf_output_size(memory));
    g_object_unref(memory);
    if (error)
        g_error_free(error);
    return out;
}

namespace {

constexpr std::size_t kPage = 512;

void padTo(Bytes& out, std::size_t size)
{
    if (out.size() < size)
        out.resize(size, 0);
}

void set32(Bytes& out, std::size_t at, std::uint32_t value)
{
    padTo(out, at + 4);
    for (int i = 0; i < 4; ++i)
        out[at + i] = std::uint8_t(value >> (8 * i));
}

void set16(Bytes& out, std::size_t at, std::uint16_t value)
{
    padTo(out, at + 2);
    out[at] = std::uint8_t(value);
    out[at + 1] = std::uint8_t(value >> 8);
}

using Bounds = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// A formatted disk page: count + 1 FCs from the start and the count in the last byte; each run's entry is
// stored from the end backwards at an even place, and its place in words is the first byte of the run's
// slot (slots `slot` bytes long) after the FCs.
Bytes pageOfRuns(const Bounds& fcs, const std::vector<Bytes>& entries, std::size_t slot)
{
    Bytes page(kPage, 0);
    for (std::size_t i = 0; i < fcs.size(); ++i)
        set32(page, 4 * i, fcs[i].first);
    set32(page, 4 * fcs.size(), fcs.empty() ? 0 : fcs.back().second);
    page[511] = std::uint8_t(fcs.size());
    std::size_t free = 511;
    for (std::size_t i = 0; i < fcs.size(); ++i) {
        const Bytes& entry = entries[i];
        std::size_t at = (free - entry.size()) & ~std::size_t(1);
        std::copy(entry.begin(), entry.end(), page.begin() + std::ptrdiff_t(at));
        page[4 * (fcs.size() + 1) + slot * i] = std::uint8_t(at / 2);
        free = at;
    }
    return page;
}

// Character runs: each entry is its properties' size in bytes, then the properties.
Bytes characterPage(const Bounds& fcs, const std::vector<Bytes>& grpprls)
{
    std::vector<Bytes> entries;
    for (const Bytes& grpprl : grpprls) {
        Bytes entry { std::uint8_t(grpprl.size()) };
        entry.insert(entry.end(), grpprl.begin(), grpprl.end());
        entries.push_back(std::move(entry));
    }
    return pageOfRuns(fcs, entries, 1);
}

// Paragraph runs, in the long form: a zero, the size in words, the style and the properties.
Bytes paragraphPage(const Bounds& fcs, const std::vector<ParagraphRun>& runs)
{
    std::vector<Bytes> entries;
    for (const ParagraphRun& run : runs) {
        Bytes properties;
        put16(properties, run.istd);
        properties.insert(properties.end(), run.grpprl.begin(), run.grpprl.end());
        if (properties.size() & 1)
            properties.push_back(0);
        Bytes entry { 0, std::uint8_t(properties.size() / 2) };
        entry.insert(entry.end(), properties.begin(), properties.end());
        entries.push_back(std::move(entry));
    }
    return pageOfRuns(fcs, entries, 13);
}

} // namespace

Bytes WordFileBuilder::wordDocumentStream() const
{
    Bytes stream(kTextOffset, 0);
    std::uint32_t width = compressed ? 1 : 2;
    for (char16_t c : text) {
        stream.push_back(std::uint8_t(c));
        if (!compressed)
            stream.push_back(std::uint8_t(c >> 8));
    }
    auto fc = [&](std::uint32_t cp) { return kTextOffset + cp * width; };
    padTo(stream, (stream.size() + kPage - 1) / kPage * kPage);
    // The pages hold up to 16 runs each, which fits the small property lists tests use.
    constexpr std::size_t perPage = 16;
    for (std::size_t first = 0; first < characterRuns.size(); first += perPage) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> fcs;
        std::vector<Bytes> grpprls;
        for (std::size_t i = first; i < std::min(characterRuns.size(), first + perPage); ++i) {
            fcs.push_back({ fc(characterRuns[i].start), fc(characterRuns[i].end) });
            grpprls.push_back(characterRuns[i].grpprl);
        }
        // Runs must follow each other; a gap gets an empty run of its own.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> contiguous;
        std::vector<Bytes> contiguousGrpprls;
        for (std::size_t i = 0; i < fcs.size(); ++i) {
            if (!contiguous.empty() && contiguous.back().second != fcs[i].first) {
                contiguous.push_back({ contiguous.back().second, fcs[i].first });
                contiguousGrpprls.push_back({});
            }
            contiguous.push_back(fcs[i]);
            contiguousGrpprls.push_back(grpprls[i]);
        }
        Bytes page = characterPage(contiguous, contiguousGrpprls);
        stream.insert(stream.end(), page.begin(), page.end());
    }
    std::uint32_t previous = 0;
    for (std::size_t first = 0; first < paragraphRuns.size(); first += perPage) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> fcs;
        std::vector<ParagraphRun> runs;
        for (std::size_t i = first; i < std::min(paragraphRuns.size(), first + perPage); ++i) {
            fcs.push_back({ fc(previous), fc(paragraphRuns[i].end) });
            runs.push_back(paragraphRuns[i]);
            previous = paragraphRuns[i].end;
        }
        Bytes page = paragraphPage(fcs, runs);
        stream.insert(stream.end(), page.begin(), page.end());
    }

    // Section properties, each a size and a grpprl, at offsets the section table will name.
    sectionOffsets.clear();
    for (const auto& section : sections) {
        sectionOffsets.push_back(std::uint32_t(stream.size()));
        put16(stream, std::uint16_t(section.second.size()));
        stream.insert(stream.end(), section.second.begin(), section.second.end());
    }

    // The FIB: base, 14 shorts, 22 longs (with the story lengths), 93 (fc, lcb) pairs.
    std::uint32_t total = std::uint32_t(text.size());
    std::uint32_t main = mainLength == UINT32_MAX
        ? total - footnoteLength - headerLength - commentLength - endnoteLength - textBoxLength
        : mainLength;
    set16(stream, 0, 0xA5EC);
    set16(stream, 2, nFib);
    set16(stream, 6, 0x0409);
    std::uint16_t flags = 0x0200 | 0x1000; // 1Table, extended characters
    if (encrypted)
        flags |= 0x0100;
    set16(stream, 10, flags);
    set16(stream, 32, 14);
    set16(stream, 62, 22);
    set32(stream, 64, std::uint32_t(stream.size()));
    set32(stream, 76, main);
    set32(stream, 80, footnoteLength);
    set32(stream, 84, headerLength);
    set32(stream, 92, commentLength);
    set32(stream, 96, endnoteLength);
    set32(stream, 100, textBoxLength);
    set16(stream, 152, 93);
    return stream;
}

Bytes WordFileBuilder::build() const
{
    Bytes document = wordDocumentStream();
    std::map<std::string, Bytes> streams;
    if (withTableStream) {
        std::map<int, Bytes> entries = tableEntries;
        // The piece table: one piece with all the text.
        if (!entries.count(kClx)) {
            Bytes clx = { 0x02 };
            put32(clx, 16);
            put32(clx, 0);
            put32(clx, std::uint32_t(text.size()));
            put16(clx, 0);
            put32(clx, compressed ? (kTextOffset * 2) | 0x40000000u : kTextOffset);
            put16(clx, 0);
            entries[kClx] = clx;
        }
        // The bin tables list the pages in the order wordDocumentStream wrote them.
        std::uint32_t firstPage = std::uint32_t((kTextOffset + text.size() * (compressed ? 1 : 2) + kPage - 1) / kPage);
        std::uint32_t characterPages = std::uint32_t((characterRuns.size() + 15) / 16);
        std::uint32_t paragraphPages = std::uint32_t((paragraphRuns.size() + 15) / 16);
        auto binTable = [](std::uint32_t first, std::uint32_t count) {
            Bytes plc;
            for (std::uint32_t i = 0; i <= count; ++i)
                put32(plc, kTextOffset + i);
            for (std::uint32_t i = 0; i < count; ++i)
                put32(plc, first + i);
            return plc;
        };
        if (characterPages && !entries.count(kPlcfBteChpx))
            entries[kPlcfBteChpx] = binTable(firstPage, characterPages);
        if (paragraphPages && !entries.count(kPlcfBtePapx))
            entries[kPlcfBtePapx] = binTable(firstPage + characterPages, paragraphPages);
        if (!sections.empty() && !entries.count(kPlcfSed))
            entries[kPlcfSed] = sectionTable(sections, sectionOffsets);
        Bytes table;
        for (const auto& [index, bytes] : entries) {
            set32(document, 154 + 8 * std::size_t(index), std::uint32_t(table.size()));
            set32(document, 154 + 8 * std::size_t(index) + 4, std::uint32_t(bytes.size()));
            table.insert(table.end(), bytes.begin(), bytes.end());
            if (auto trailing = trailingBytes.find(index); trailing != trailingBytes.end())
                table.insert(table.end(), trailing->second.begin(), trailing->second.end());
        }
        table.push_back(0);
        streams["1Table"] = table;
    }
    streams["WordDocument"] = document;
    if (!data.empty())
        streams["Data"] = data;
    return compoundFile(streams);
}

Bytes sectionTable(const std::vector<std::pair<std::uint32_t, Bytes>>& sections, const std::vector<std::uint32_t>& offsets)
{
    Bytes plc;
    put32(plc, 0);
    for (const auto& section : sections)
        put32(plc, section.first);
    for (std::uint32_t offset : offsets) {
        put16(plc, 0);
        put32(plc, offset);
        put16(plc, 0);
        put32(plc, 0xFFFFFFFF);
    }
    return plc;
}

Bytes fontTable(const std::vector<std::pair<std::u16string, std::uint8_t>>& fonts)
{
    Bytes out;
    put16(out, std::uint16_t(fonts.size()));
    put16(out, 0);
    for (const auto& [name, charset] : fonts) {
        Bytes entry(39, 0);
        entry[3] = charset;
        for (char16_t c : name)
            put16(entry, c);
        put16(entry, 0);
        out.push_back(std::uint8_t(entry.size()));
        out.insert(out.end(), entry.begin(), entry.end());
    }
    return out;
}

Bytes styleSheet(const std::vector<StyleDefinition>& styles)
{
    Bytes out;
    // The header: count, base size 10, flags, limits, three default fonts (all font 0).
    Bytes header;
    put16(header, std::uint16_t(styles.size()));
    put16(header, 10);
    for (int i = 0; i < 7; ++i)
        put16(header, 0);
    put16(out, std::uint16_t(header.size()));
    out.insert(out.end(), header.begin(), header.end());
    for (std::size_t i = 0; i < styles.size(); ++i) {
        const StyleDefinition& style = styles[i];
        Bytes std;
        put16(std, std::uint16_t(i < 10 ? i : 0x0FFE));
        put16(std, std::uint16_t((style.base << 4) | (style.isCharacterStyle ? 2 : 1)));
        put16(std, std::uint16_t((0 << 4) | (style.isCharacterStyle ? 1 : 2)));
        put16(std, 0);
        put16(std, 0);
        put16(std, std::uint16_t(style.name.size()));
        for (char16_t c : style.name)
            put16(std, c);
        put16(std, 0);
        auto upx = [&](const Bytes& bytes) {
            if (std.size() & 1)
                std.push_back(0);
            put16(std, std::uint16_t(bytes.size()));
            std.insert(std.end(), bytes.begin(), bytes.end());
        };
        if (!style.isCharacterStyle) {
            Bytes paragraph;
            put16(paragraph, std::uint16_t(i));
            paragraph.insert(paragraph.end(), style.paragraph.begin(), style.paragraph.end());
            upx(paragraph);
        }
        upx(style.character);
        if (std.size() & 1)
            std.push_back(0);
        put16(out, std::uint16_t(std.size()));
        out.insert(out.end(), std.begin(), std.end());
    }
    return out;
}

Bytes listDefinition(std::uint32_t id, bool simple)
{
    Bytes out;
    put32(out, id);
    put32(out, 0);
    for (int i = 0; i < 9; ++i)
        put16(out, 0x0FFF);
    out.push_back(simple ? 1 : 0);
    out.push_back(0);
    return out;
}

Bytes listLevel(std::int32_t start, std::uint8_t format, const std::u16string& text, const Bytes& paragraph,
    const Bytes& character)
{
    Bytes out;
    put32(out, std::uint32_t(start));
    out.push_back(format);
    out.push_back(0);
    for (int i = 0; i < 9; ++i)
        out.push_back(0);
    out.push_back(0); // followed by a tab
    put32(out, 0);
    put32(out, 0);
    out.push_back(std::uint8_t(character.size()));
    out.push_back(std::uint8_t(paragraph.size()));
    out.push_back(0);
    out.push_back(0);
    out = concat({ out, paragraph, character });
    put16(out, std::uint16_t(text.size()));
    for (char16_t c : text)
        put16(out, c);
    return out;
}

} // namespace testdoc
