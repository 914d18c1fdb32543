#include "import/text/TextImporter.h"

#include "import/common/ByteReader.h"
#include "import/common/Encoding.h"
#include "import/common/OutputBudget.h"

#include <algorithm>

namespace importer {

namespace {

enum class Utf16Order { None, LittleEndian, BigEndian };

// How much of the file the byte statistics look at: enough to be sure, cheap on large files.
constexpr std::size_t kSampleSize = 64 * 1024;

// UTF-16 without a byte-order mark shows itself by its zero bytes: Latin, Cyrillic and Greek characters,
// spaces, digits and line ends all have a zero high byte, so one byte position of each pair is often zero
// and the other almost never. Binary data has zeros in both positions.
Utf16Order utf16OrderFromZeroBytes(std::span<const std::uint8_t> bytes)
{
    std::span<const std::uint8_t> sample = bytes.first(std::min(bytes.size(), kSampleSize) / 2 * 2);
    std::size_t pairs = sample.size() / 2;
    if (pairs < 2)
        return Utf16Order::None;
    std::size_t zerosEven = 0;
    std::size_t zerosOdd = 0;
    for (std::size_t i = 0; i < sample.size(); i += 2) {
        zerosEven += sample[i] == 0;
        zerosOdd += sample[i + 1] == 0;
    }
    // Zeros on one side in at least one pair of twenty, hardly any on the other; and either many of them or
    // most pairs, so that one stray NUL in a short file does not make it UTF-16.
    auto oneSided = [&](std::size_t many, std::size_t few) {
        return many * 20 >= pairs && few * 10 <= many && few * 50 <= pairs && (many >= 8 || many * 3 >= pairs);
    };
    if (oneSided(zerosOdd, zerosEven))
        return Utf16Order::LittleEndian;
    if (oneSided(zerosEven, zerosOdd))
        return Utf16Order::BigEndian;
    return Utf16Order::None;
}

// True when the code units read in that order look like text: no NUL characters, almost no other controls,
// no unpaired surrogates and no non-characters.
bool isPlausibleUtf16(std::span<const std::uint8_t> bytes, Utf16Order order)
{
    std::span<const std::uint8_t> sample = bytes.first(std::min(bytes.size(), kSampleSize) / 2 * 2);
    std::size_t units = sample.size() / 2;
    std::size_t bad = 0;
    bool expectLow = false;
    for (std::size_t i = 0; i < sample.size(); i += 2) {
        unsigned unit = order == Utf16Order::BigEndian ? sample[i] << 8 | sample[i + 1] : sample[i] | sample[i + 1] << 8;
        if (unit == 0)
            return false;
        bool isHigh = unit >= 0xD800 && unit <= 0xDBFF;
        bool isLow = unit >= 0xDC00 && unit <= 0xDFFF;
        if ((isLow && !expectLow) || (expectLow && !isLow))
            ++bad;
        expectLow = isHigh;
        if ((unit < 0x20 && unit != '\t' && unit != '\n' && unit != '\r' && unit != '\f') || unit == 0xFFFE || unit == 0xFFFF)
            ++bad;
    }
    return bad * 100 <= units;
}

// Bytes that are not text in any single-byte encoding: NULs inside the body (trailing NUL padding is
// forgiven), or many control characters.
bool looksBinary(std::span<const std::uint8_t> bytes)
{
    std::size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == 0)
        --end;
    if (std::find(bytes.begin(), bytes.begin() + end, std::uint8_t(0)) != bytes.begin() + end)
        return true;
    std::span<const std::uint8_t> sample = bytes.first(std::min(end, kSampleSize));
    std::size_t controls = std::count_if(sample.begin(), sample.end(), [](std::uint8_t b) {
        return b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1A && b != 0x1B;
    });
    return controls * 10 > sample.size();
}

// Line ends to paragraph ends ("\r\n", "\r", U+2029 and NEL become '\n'); the byte-order mark and control
// characters that mean nothing on paper (a DOS end-of-file mark, escape sequences) are dropped. Form feeds
// stay: they are page breaks.
std::string normalizeText(const std::string& decoded)
{
    std::string out;
    out.reserve(decoded.size());
    std::size_t i = 0;
    if (decoded.compare(0, 3, "\xEF\xBB\xBF") == 0)
        i = 3;
    for (; i < decoded.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(decoded[i]);
        if (c == '\r') {
            out += '\n';
            if (i + 1 < decoded.size() && decoded[i + 1] == '\n')
                ++i;
            continue;
        }
        if (c < 0x20 && c != '\n' && c != '\t' && c != '\f')
            continue;
        if (c == 0x7F)
            continue;
        if (c == 0xE2 && decoded.compare(i, 3, "\xE2\x80\xA9") == 0) {
            out += '\n';
            i += 2;
            continue;
        }
        if (c == 0xC2 && i + 1 < decoded.size() && static_cast<unsigned char>(decoded[i + 1]) == 0x85) {
            out += '\n';
            ++i;
            continue;
        }
        out += char(c);
    }
    return out;
}

} // namespace

ImportResult importText(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    std::string decoded;
    if (reader.startsWith("\xEF\xBB\xBF")) {
        decoded = encoding::sanitizeUtf8(bytes.subspan(3));
    } else if (reader.startsWith("\xFF\xFE")) {
        decoded = encoding::utf16ToUtf8(bytes.subspan(2), false);
    } else if (reader.startsWith("\xFE\xFF")) {
        decoded = encoding::utf16ToUtf8(bytes.subspan(2), true);
    } else if (Utf16Order order = utf16OrderFromZeroBytes(bytes);
               order != Utf16Order::None && isPlausibleUtf16(bytes, order)) {
        decoded = encoding::utf16ToUtf8(bytes, order == Utf16Order::BigEndian);
    } else if (looksBinary(bytes)) {
        return { nullptr, "none", ImportError::NotKnownFormat };
    } else if (encoding::isValidUtf8(bytes)) {
        decoded.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } else {
        decoded = encoding::decode(bytes, encoding::guessLegacyCodePage(bytes));
    }
    // Plain text gets the default attributes: Times New Roman 12 with the default paragraph style, which
    // is how a word processor shows a text file it opens as a document.
    return importWithBudget([&decoded]() -> ImportResult {
        std::string text = normalizeText(decoded);
        if (!OutputBudget::current().charge(text.size()))
            return { nullptr, "text", ImportError::TooLarge };
        return { std::make_shared<kit::TextStorage>(std::move(text)), "text", ImportError::None };
    });
}

} // namespace importer
