// The Word documents of the shared corpus: each loads or says why not, keeps the words of its main text in
// order (checked against a deliberately simple decoder of our own), keeps its scripts, and is compared with
// the reference text exports.
#include "import/common/Dump.h"
#include "import/common/Encoding.h"
#include "import/doc/DocImporter.h"
#include "kit/foundation/Utf8.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>

namespace {

using Bytes = std::vector<std::uint8_t>;

importer::ImportResult importFile(const std::filesystem::path& path)
{
    Bytes bytes = testsupport::readFile(path);
    return importer::importOle(bytes);
}

std::optional<Bytes> oleStream(const Bytes& file, const char* name)
{
    gsf_init();
    GsfInput* input = gsf_input_memory_new(file.data(), gsf_off_t(file.size()), FALSE);
    GsfInfile* ole = gsf_infile_msole_new(input, nullptr);
    g_object_unref(input);
    if (!ole)
        return std::nullopt;
    std::optional<Bytes> out;
    if (GsfInput* child = gsf_infile_child_by_name(ole, name)) {
        Bytes bytes(std::size_t(gsf_input_size(child)));
        if (bytes.empty() || gsf_input_read(child, bytes.size(), bytes.data()))
            out = std::move(bytes);
        g_object_unref(child);
    }
    g_object_unref(ole);
    return out;
}

std::uint32_t u32(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24; }
std::uint16_t u16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

// The main story of a Word 97 document straight from its piece table, with field codes and object
// characters dropped and nothing else interpreted; nullopt for what it does not handle.
std::optional<std::u16string> simpleMainText(const Bytes& file)
{
    auto document = oleStream(file, "WordDocument");
    if (!document || document->size() < 0x1AA || u16(*document, 2) < 193 || (u16(*document, 10) & 0x0100))
        return std::nullopt;
    auto table = oleStream(file, (u16(*document, 10) & 0x0200) ? "1Table" : "0Table");
    std::uint32_t clxAt = u32(*document, 0x1A2), clxSize = u32(*document, 0x1A6), mainLength = u32(*document, 0x4C);
    if (!table || std::uint64_t(clxAt) + clxSize > table->size())
        return std::nullopt;
    std::size_t at = clxAt;
    while (at < clxAt + clxSize && (*table)[at] == 1)
        at += 3 + u16(*table, at + 1);
    if (at >= clxAt + clxSize || (*table)[at] != 2)
        return std::nullopt;
    std::uint32_t size = u32(*table, at + 1);
    std::size_t plc = at + 5, count = (size - 4) / 12;
    std::u16string text;
    for (std::size_t i = 0; i < count && text.size() < mainLength; ++i) {
        std::uint32_t start = u32(*table, plc + 4 * i), end = u32(*table, plc + 4 * (i + 1));
        std::uint32_t fc = u32(*table, plc + 4 * (count + 1) + 8 * i + 2);
        bool compressed = fc & 0x40000000;
        std::size_t offset = compressed ? (fc & 0x3FFFFFFF) / 2 : fc;
        // 8-bit text is Windows-1252; only its 0x80-0x9F differ from the first 256 code points.
        static const char16_t windows1252[32] = { 0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030,
            0x160, 0x2039, 0x152, 0x8D, 0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x2DC, 0x2122,
            0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178 };
        for (std::uint32_t cp = start; cp < end && text.size() < mainLength; ++cp) {
            std::size_t byte = offset + (cp - start) * (compressed ? 1 : 2);
            if (byte + 2 > document->size())
                return std::nullopt;
            char16_t c = compressed ? (*document)[byte] : u16(*document, byte);
            text.push_back(compressed && c >= 0x80 && c < 0xA0 ? windows1252[c - 0x80] : c);
        }
    }
    // Styles can hide text, and which text uses them takes the whole style machinery to tell: a style sheet
    // that switches sprmCFVanish on anywhere puts the document beyond this decoder.
    std::uint32_t styleAt = u32(*document, 0xA2), styleSize = u32(*document, 0xA6);
    if (std::uint64_t(styleAt) + styleSize > table->size())
        return std::nullopt;
    for (std::size_t i = styleAt; i + 3 <= std::size_t(styleAt) + styleSize; ++i) {
        if ((*table)[i] == 0x3C && (*table)[i + 1] == 0x08 && (*table)[i + 2] != 0)
            return std::nullopt;
    }

    // Text marked hidden by its own character properties goes too: the character pages' property lists
    // that switch on sprmCFVanish, by byte offset.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> hidden;
    std::uint32_t binAt = u32(*document, 0xFA), binSize = u32(*document, 0xFE);
    if (std::uint64_t(binAt) + binSize <= table->size() && binSize >= 4) {
        std::size_t pages = (binSize - 4) / 8;
        for (std::size_t i = 0; i < pages; ++i) {
            std::size_t page = std::size_t(u32(*table, binAt + 4 * (pages + 1) + 4 * i) & 0x3FFFFF) * 512;
            if (page + 512 > document->size())
                continue;
            std::size_t runs = (*document)[page + 511];
            for (std::size_t r = 0; r < runs && 4 * (runs + 1) + r < 511; ++r) {
                std::size_t offset = std::size_t((*document)[page + 4 * (runs + 1) + r]) * 2;
                if (!offset)
                    continue;
                std::size_t size = (*document)[page + offset];
                for (std::size_t k = 0; k + 3 <= size && offset + 1 + k + 3 <= 512; ++k) {
                    if (u16(*document, page + offset + 1 + k) == 0x083C && (*document)[page + offset + 1 + k + 2] == 1)
                        hidden.push_back({ u32(*document, page + 4 * r), u32(*document, page + 4 * (r + 1)) });
                }
            }
        }
    }
    auto isHidden = [&](std::uint32_t fc) {
        return std::any_of(hidden.begin(), hidden.end(), [&](const auto& range) { return fc >= range.first && fc < range.second; });
    };
    for (std::size_t i = 0, cp = 0; i < count; ++i) {
        std::uint32_t start = u32(*table, plc + 4 * i), end = u32(*table, plc + 4 * (i + 1));
        std::uint32_t fc = u32(*table, plc + 4 * (count + 1) + 8 * i + 2);
        bool compressed = fc & 0x40000000;
        std::size_t offset = compressed ? (fc & 0x3FFFFFFF) / 2 : fc;
        for (std::uint32_t at = start; at < end && cp < text.size(); ++at, ++cp) {
            if (isHidden(std::uint32_t(offset + (at - start) * (compressed ? 1 : 2))) && text[cp] != 0x0D && text[cp] != 0x07)
                text[cp] = 0xFFFF;
        }
    }

    // Field codes go, results stay; object characters go.
    std::u16string shown;
    std::vector<bool> inResult;
    for (char16_t c : text) {
        if (c == 0x13) {
            inResult.push_back(false);
        } else if (c == 0x14) {
            if (!inResult.empty())
                inResult.back() = true;
        } else if (c == 0x15) {
            if (!inResult.empty())
                inResult.pop_back();
        } else if (c != 0xFFFF && std::all_of(inResult.begin(), inResult.end(), [](bool b) { return b; })) {
            shown.push_back(c == 0x01 || c == 0x08 ? u' ' : c);
        }
    }
    return shown;
}

// Words: runs of letters and digits (and of any character beyond ASCII that is not punctuation or space),
// case folded for ASCII.
std::vector<std::string> words(std::u32string_view text)
{
    auto isWordCharacter = [](char32_t c) {
        if (c < 0x80)
            return bool(std::isalnum(int(c)));
        // Latin-1's signs and punctuation (but its letters and number forms are word characters).
        if ((c >= 0xA0 && c <= 0xBF) || c == 0xD7 || c == 0xF7)
            return c == 0xAA || c == 0xB2 || c == 0xB3 || c == 0xB5 || c == 0xB9 || c == 0xBA || (c >= 0xBC && c <= 0xBE);
        bool isPunctuationOrSpace = c == 0xA0 || c == 0xAD || (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F)
            || (c >= 0xFF00 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) || c == 0xFFFC || c == 0xFFFD || (c >= 0xF000 && c <= 0xF0FF)
            || c == 0xAB || c == 0xBB || c == 0xB7 || c == 0xA7 || c == 0xFEFF;
        return !isPunctuationOrSpace;
    };
    std::vector<std::string> out;
    std::string current;
    auto endWord = [&] {
        if (!current.empty())
            out.push_back(std::move(current));
        current.clear();
    };
    // Digits and letters are separate words: a note's number stands right after the word it marks.
    bool lastWasDigit = false;
    for (char32_t c : text) {
        if (!isWordCharacter(c)) {
            endWord();
            continue;
        }
        bool isDigit = c >= '0' && c <= '9';
        if (isDigit != lastWasDigit)
            endWord();
        lastWasDigit = isDigit;
        importer::encoding::appendUtf8(current, c < 0x80 ? char32_t(std::tolower(int(c))) : c);
    }
    endWord();
    return out;
}

std::u32string decodeUtf8(const std::string& text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();)
        out.push_back(kit::decodeUtf8(text, i));
    return out;
}

std::u32string widen(const std::u16string& text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

// The words of a that a longest common subsequence with b leaves out (Myers' difference algorithm, which
// is fast when the two differ little); nullopt when they differ by more than limit edits.
std::optional<std::vector<std::size_t>> unmatched(const std::vector<std::string>& a, const std::vector<std::string>& b, int limit)
{
    int n = int(a.size()), m = int(b.size());
    std::vector<std::vector<int>> trace; // trace[d][k + d] = furthest x on diagonal k after d edits
    for (int d = 0; d <= limit; ++d) {
        std::vector<int> current(std::size_t(2 * d + 1), 0);
        const std::vector<int>* previous = d ? &trace.back() : nullptr;
        auto at = [&](int k) { return (*previous)[std::size_t(k + d - 1)]; };
        for (int k = -d; k <= d; k += 2) {
            int x = 0;
            if (d == 0)
                x = 0;
            else if (k == -d || (k != d && at(k - 1) < at(k + 1)))
                x = at(k + 1);
            else
                x = at(k - 1) + 1;
            int y = x - k;
            while (x < n && y < m && a[std::size_t(x)] == b[std::size_t(y)]) {
                ++x;
                ++y;
            }
            current[std::size_t(k + d)] = x;
            if (x >= n && y >= m) {
                trace.push_back(std::move(current));
                std::vector<std::size_t> missing;
                int cx = n, cy = m;
                for (int e = d; e > 0; --e) {
                    const std::vector<int>& before = trace[std::size_t(e - 1)];
                    auto was = [&](int kk) { return before[std::size_t(kk + e - 1)]; };
                    int kk = cx - cy;
                    bool down = kk == -e || (kk != e && was(kk - 1) < was(kk + 1));
                    int previousK = down ? kk + 1 : kk - 1;
                    int px = was(previousK), py = px - previousK;
                    if (!down)
                        missing.push_back(std::size_t(px)); // a[px] has no partner in b
                    cx = px;
                    cy = py;
                }
                std::reverse(missing.begin(), missing.end());
                return missing;
            }
        }
        trace.push_back(std::move(current));
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> wordFiles()
{
    auto files = testsupport::corpusFiles({ "doc" });
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(DocCorpus, EveryDocumentLoadsOrSaysWhy)
{
    const std::set<std::string> errors = { "encrypted", "truncated", "not a known format" };
    const std::map<std::string, std::string> expectedErrors = { { "poi-password_password_cryptoapi.doc", "encrypted" } };
    auto files = wordFiles();
    ASSERT_GE(files.size(), 27u);
    for (const auto& file : files) {
        std::string name = file.filename().string();
        SCOPED_TRACE(name);
        auto started = std::chrono::steady_clock::now();
        importer::ImportResult result = importFile(file);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_LT(seconds, 10) << "an import must not hang";
        EXPECT_EQ(result.format, "doc");
        if (auto expected = expectedErrors.find(name); expected != expectedErrors.end()) {
            EXPECT_EQ(errorText(result.error), expected->second);
            EXPECT_FALSE(result.text);
            continue;
        }
        if (!result.text) {
            EXPECT_TRUE(errors.count(errorText(result.error))) << "unexplained failure: " << errorText(result.error);
            continue;
        }
        const std::string& text = result.text->string();
        EXPECT_TRUE(importer::encoding::isValidUtf8(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
        for (const auto& run : result.text->runs())
            EXPECT_TRUE(run.attributes);
        EXPECT_EQ(text.find('\r'), std::string::npos) << "paragraphs end in \\n only";
    }
}

TEST(DocCorpus, MainTextWordsAppearInOrder)
{
    int checked = 0;
    for (const auto& file : wordFiles()) {
        std::string name = file.filename().string();
        SCOPED_TRACE(name);
        auto simple = simpleMainText(testsupport::readFile(file));
        if (!simple) {
            std::printf("%-70s not for the simple decoder\n", name.c_str());
            continue;
        }
        importer::ImportResult result = importFile(file);
        ASSERT_TRUE(result.text);
        std::vector<std::string> expected = words(widen(*simple));
        std::vector<std::string> imported = words(decodeUtf8(importer::plainText(*result.text)));
        auto missing = unmatched(expected, imported, 6000);
        ASSERT_TRUE(missing) << "the texts differ too much to compare";
        ++checked;
        double share = expected.empty() ? 1 : 1 - double(missing->size()) / double(expected.size());
        std::printf("%-70s %6zu words, %5.1f%% in order\n", name.c_str(), expected.size(), 100 * share);
        std::string list;
        for (std::size_t i = 0; i < missing->size() && i < 60; ++i)
            list += expected[(*missing)[i]] + " ";
        EXPECT_GE(share, 0.99) << missing->size() << " words missing, first: " << list;
        if (!missing->empty())
            std::printf("    missing: %s\n", list.c_str());
    }
    EXPECT_GE(checked, 20);
}

TEST(DocCorpus, ScriptsSurvive)
{
    const struct {
        const char* file;
        char32_t first, last;
        std::size_t minimum;
        const char* why;
    } cases[] = {
        { "poi-Bug50955.doc", 0x0410, 0x044F, 100000, "a Word 95 novel in Windows-1251" },
        { "poi-header_image.doc", 0x0410, 0x044F, 500, "Russian in Unicode pieces" },
        { "poi-Bug45473.doc", 0x05D0, 0x05EA, 300, "Hebrew" },
        { "poi-61490.doc", 0x4E00, 0x9FFF, 150, "Chinese" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importFile(testsupport::corpusPath(c.file));
        ASSERT_TRUE(result.text);
        std::u32string text = decodeUtf8(result.text->string());
        std::size_t count = std::count_if(text.begin(), text.end(), [&](char32_t ch) { return ch >= c.first && ch <= c.last; });
        EXPECT_GE(count, c.minimum);
        std::size_t replaced = std::count(text.begin(), text.end(), U'\uFFFD');
        EXPECT_EQ(replaced, 0u) << "no character may be lost to decoding";
    }
    importer::ImportResult hebrew = importFile(testsupport::corpusPath("poi-Bug45473.doc"));
    std::size_t at = hebrew.text->string().find("\xD7\x99"); // a Hebrew letter
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(hebrew.text->attributesAt(at).paragraphStyle().baseDirection, kit::WritingDirection::RightToLeft);
}

TEST(DocCorpus, WordRecallAgainstReferenceTexts)
{
    double total = 0;
    int files = 0;
    for (const auto& file : wordFiles()) {
        std::string name = file.filename().string();
        auto reference = std::filesystem::path(LECTORIN_CORPUS_REFERENCE_DIR) / (name + ".txt");
        if (!std::filesystem::exists(reference))
            continue;
        SCOPED_TRACE(name);
        importer::ImportResult result = importFile(file);
        ASSERT_TRUE(result.text);
        std::vector<std::string> expected = words(decodeUtf8(testsupport::readText(reference)));
        std::vector<std::string> imported = words(decodeUtf8(importer::plainText(*result.text)));
        std::map<std::string, int> available;
        for (const auto& word : imported)
            ++available[word];
        std::size_t found = 0;
        for (const auto& word : expected) {
            if (available[word] > 0) {
                --available[word];
                ++found;
            }
        }
        double recall = expected.empty() ? 1 : double(found) / double(expected.size());
        std::printf("%-70s recall %.3f (%zu of %zu words)\n", name.c_str(), recall, found, expected.size());
        total += recall;
        ++files;
        // The reference shows hidden text, which the viewer does not; everything else must be there.
        EXPECT_GE(recall, 0.9);
    }
    ASSERT_GT(files, 0);
    std::printf("mean recall over %d files: %.4f\n", files, total / files);
    EXPECT_GE(total / files, 0.99);
}

TEST(DocCorpus, KnownStructuresSurvive)
{
    auto cells = [](const importer::ImportResult& result) {
        std::vector<const kit::TableCell*> out;
        for (const auto& run : result.text->runs()) {
            if (run.attributes->tableCell)
                out.push_back(run.attributes->tableCell.get());
        }
        return out;
    };
    {
        SCOPED_TRACE("a table inside a table cell");
        auto result = importFile(testsupport::corpusPath("poi-innertable.doc"));
        auto all = cells(result);
        ASSERT_FALSE(all.empty());
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](auto* c) { return c->nestingLevel == 2 && c->parent; }));
    }
    {
        SCOPED_TRACE("merged cells");
        auto result = importFile(testsupport::corpusPath("poi-table-merges.doc"));
        auto all = cells(result);
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](auto* c) { return c->columnSpan == 5; })) << "the last row is one cell";
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](auto* c) { return c->columnSpan == 3; }));
    }
    {
        SCOPED_TRACE("list labels");
        auto result = importFile(testsupport::corpusPath("poi-Lists.doc"));
        const std::string& text = result.text->string();
        EXPECT_NE(text.find("1.\tOrdered list 1"), std::string::npos);
        EXPECT_NE(text.find("3.\tOL 3"), std::string::npos);
        EXPECT_NE(text.find("\u2022\tUnordered list 1"), std::string::npos);
        EXPECT_TRUE(result.text->attributesAt(text.find("1.\tOrdered")).listLabel);
    }
    {
        SCOPED_TRACE("a hard page break");
        auto result = importFile(testsupport::corpusPath("poi-page-break.doc"));
        std::size_t at = result.text->string().find("Line 2");
        ASSERT_NE(at, std::string::npos);
        EXPECT_TRUE(result.text->attributesAt(at).paragraphStyle().pageBreakBefore);
    }
    {
        SCOPED_TRACE("an endnote with a roman mark");
        auto result = importFile(testsupport::corpusPath("poi-endingnote.doc"));
        EXPECT_NE(result.text->string().find("i\tEnding note text"), std::string::npos);
    }
    {
        SCOPED_TRACE("text boxes of a diagram follow their anchor, not the end of the document");
        auto result = importFile(testsupport::corpusPath("poi-saved-by-table.doc"));
        const std::string& text = result.text->string();
        std::size_t box = text.find("SADDAM \nAND HIS SONS");
        std::size_t after = text.find("The Presidential Secretariat has around 100 staff");
        ASSERT_NE(box, std::string::npos);
        ASSERT_NE(after, std::string::npos);
        EXPECT_LT(box, after);
    }
    {
        SCOPED_TRACE("floating pictures");
        auto result = importFile(testsupport::corpusPath("poi-Bug50936_3.doc"));
        int pictures = 0, floating = 0;
        for (const auto& run : result.text->runs()) {
            const auto& attachment = run.attributes->attachment;
            pictures += attachment && attachment->mimeType == "image/png";
            floating += attachment && attachment->placement;
        }
        EXPECT_GE(pictures, 6);
        EXPECT_GE(floating, 5) << "the shapes' pictures float where their anchors say";
        // The title page's header holds a shape of its own: a logo beside the school's, anchored in the
        // header's text (the header story's shape table).
        ASSERT_TRUE(result.text->pageSetup());
        int headerFloats = 0;
        for (const auto& section : result.text->pageSetup()->sections) {
            for (const auto& header : section.headers) {
                if (!header)
                    continue;
                for (const auto& run : header->runs())
                    headerFloats += run.attributes->attachment && run.attributes->attachment->placement;
            }
        }
        EXPECT_GE(headerFloats, 1);
    }
    {
        SCOPED_TRACE("pictures");
        auto result = importFile(testsupport::corpusPath("poi-testPictures.doc"));
        int jpeg = 0, png = 0;
        for (const auto& run : result.text->runs()) {
            if (!run.attributes->attachment)
                continue;
            const auto& attachment = *run.attributes->attachment;
            jpeg += attachment.mimeType == "image/jpeg" && attachment.bytes.size() > 2 && attachment.bytes[0] == 0xFF;
            if (attachment.mimeType == "image/png") {
                ++png;
                auto path = testsupport::temporaryFolder("corpus-pictures") / ("p" + std::to_string(png) + ".png");
                testsupport::writeFile(path, std::string(attachment.bytes.begin(), attachment.bytes.end()));
                EXPECT_GT(testsupport::readPng(path).width, 0) << "a PNG that reads back";
            }
            EXPECT_GT(attachment.size.width, 0);
        }
        EXPECT_GE(jpeg, 2);
        EXPECT_GE(png, 2);
    }
}

TEST(DocCorpus, PasswordProtectedFilesSayEncrypted)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "poi-password_password_cryptoapi.doc", "doc", "a Word 97 document encrypted with CryptoAPI" },
        { "poi-bug53475-password-is-pass.docx", "none", "a .docx package inside an OLE2 encryption wrapper" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importFile(testsupport::corpusPath(c.input));
        EXPECT_EQ(result.error, importer::ImportError::Encrypted);
        EXPECT_EQ(result.format, c.expected);
        EXPECT_FALSE(result.text);
    }
}
