// The binary form of property lists, parsed by libplist after a structural check of our own: libplist
// recurses once per nesting level without a limit (a few thousand nested arrays overflow the stack),
// expands shared references into copies (a small file can name 2^256 values), and converts dates to
// 32-bit seconds with an unchecked cast. The check walks every reachable object with bounded work first.
#include "kit/foundation/CRelease.h"
#include "kit/foundation/PropertyListCoding.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <plist/plist.h>

namespace kit::plist {

namespace {

using PlistPtr = CPtr<std::remove_pointer_t<plist_t>, plist_free>;
using MallocPtr = CPtr<char, std::free>;

using E = PropertyListError;
using Problem = std::optional<PropertyListError>;

class BinaryChecker {
public:
    explicit BinaryChecker(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {
    }

    // Nothing when the structure is sound, else why it is not.
    Problem check()
    {
        constexpr std::size_t kHeader = 8, kTrailer = 32;
        if (m_bytes.size() < kHeader + kTrailer + 1 || std::memcmp(m_bytes.data(), "bplist00", kHeader) != 0)
            return E::NotBinary;
        std::size_t trailer = m_bytes.size() - kTrailer;
        m_offsetSize = m_bytes[trailer + 6];
        m_referenceSize = m_bytes[trailer + 7];
        std::uint64_t objectCount = readBigEndian(trailer + 8, 8);
        std::uint64_t topObject = readBigEndian(trailer + 16, 8);
        std::uint64_t tableOffset = readBigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_referenceSize < 1 || m_referenceSize > 8)
            return E::BadTrailerSizes;
        if (objectCount == 0 || objectCount > Value::kMaxValueCount || topObject >= objectCount)
            return E::BadTrailerCounts;
        if (tableOffset < kHeader || tableOffset > trailer || (trailer - tableOffset) / m_offsetSize < objectCount)
            return E::OffsetTableOutside;
        m_objectsEnd = tableOffset;
        m_offsets.resize(objectCount);
        for (std::size_t i = 0; i < objectCount; ++i) {
            std::uint64_t offset = readBigEndian(tableOffset + i * m_offsetSize, m_offsetSize);
            if (offset < kHeader || offset >= m_objectsEnd)
                return E::ObjectOutside;
            m_offsets[i] = offset;
        }
        m_state.assign(objectCount, State::Unvisited);
        m_expandedCount.assign(objectCount, 0);
        return walk(topObject);
    }

private:
    enum class State : std::uint8_t { Unvisited, Open, Done };

    std::uint64_t readBigEndian(std::size_t offset, std::size_t width) const
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value = value << 8 | m_bytes[offset + i];
        return value;
    }

    // Whether [offset, offset + length) lies inside the object area, without overflow.
    bool inObjects(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_objectsEnd && length <= m_objectsEnd - offset;
    }

    // The element count of a data, string, array or dictionary object and where its payload starts.
    bool readCount(std::uint64_t offset, std::uint64_t& count, std::uint64_t& payload) const
    {
        count = m_bytes[offset] & 0x0F;
        payload = offset + 1;
        if (count != 0x0F)
            return true;
        if (!inObjects(payload, 1) || (m_bytes[payload] & 0xF0) != 0x10)
            return false;
        std::uint64_t width = std::uint64_t(1) << (m_bytes[payload] & 0x0F);
        if (width > 8 || !inObjects(payload + 1, width))
            return false;
        count = readBigEndian(payload + 1, width);
        payload += 1 + width;
        return true;
    }

    // Checks one object's own bytes; containers also report their references.
    Problem checkObject(std::uint64_t index, std::vector<std::uint64_t>& references)
    {
        std::uint64_t offset = m_offsets[index];
        std::uint8_t marker = m_bytes[offset];
        std::uint64_t count = 0, payload = 0;
        switch (marker >> 4) {
        case 0x0:
            return marker == 0x08 || marker == 0x09 ? Problem() : E::NullObject;
        case 0x1: {
            std::uint64_t width = std::uint64_t(1) << (marker & 0x0F);
            if (width > 16 || !inObjects(offset + 1, width))
                return E::TruncatedInteger;
            // Sixteen bytes hold values beyond 64 bits; keep only those a signed 64-bit integer can hold.
            if (width == 16
                && (readBigEndian(offset + 1, 8) != 0
                    || readBigEndian(offset + 9, 8) > std::uint64_t(std::numeric_limits<std::int64_t>::max())))
                return E::WideInteger;
            return std::nullopt;
        }
        case 0x2: {
            std::uint64_t width = std::uint64_t(1) << (marker & 0x0F);
            if ((width != 4 && width != 8) || !inObjects(offset + 1, width))
                return E::MalformedReal;
            return std::nullopt;
        }
        case 0x3: {
            if (marker != 0x33 || !inObjects(offset + 1, 8))
                return E::MalformedDate;
            std::uint64_t bits = readBigEndian(offset + 1, 8);
            double seconds;
            std::memcpy(&seconds, &bits, sizeof seconds);
            // libplist keeps dates as 32-bit seconds.
            if (!std::isfinite(seconds) || std::fabs(seconds) >= 2147483647.0)
                return E::DateOutOfRange;
            return std::nullopt;
        }
        case 0x4:
            if (!readCount(offset, count, payload) || !inObjects(payload, count))
                return E::TruncatedData;
            return std::nullopt;
        case 0x5:
        case 0x6: {
            bool wide = (marker >> 4) == 0x6;
            if (!readCount(offset, count, payload) || count > m_objectsEnd
                || !inObjects(payload, count * (wide ? 2 : 1)))
                return E::TruncatedString;
            for (std::uint64_t i = 0; i < count; ++i) {
                bool isNul = wide ? readBigEndian(payload + 2 * i, 2) == 0 : m_bytes[payload + i] == 0;
                if (isNul)
                    return E::StringWithNul;
            }
            return std::nullopt;
        }
        case 0xA:
        case 0xD: {
            bool isDictionary = (marker >> 4) == 0xD;
            // count is bounded by the file size first, so the byte length below cannot overflow.
            if (!readCount(offset, count, payload) || count > m_objectsEnd)
                return E::TruncatedContainer;
            std::uint64_t referenceCount = isDictionary ? count * 2 : count;
            if (!inObjects(payload, referenceCount * m_referenceSize))
                return E::TruncatedContainer;
            for (std::uint64_t i = 0; i < referenceCount; ++i) {
                std::uint64_t reference = readBigEndian(payload + i * m_referenceSize, m_referenceSize);
                if (reference >= m_offsets.size())
                    return E::MissingObject;
                if (isDictionary && i < count) {
                    std::uint8_t keyType = m_bytes[m_offsets[reference]] >> 4;
                    if (keyType != 0x5 && keyType != 0x6)
                        return E::KeyNotString;
                }
                references.push_back(reference);
            }
            return std::nullopt;
        }
        default:
            return E::UnknownObjectType;
        }
    }

    // Depth-first over the reachable objects with an explicit stack: depth is the number of open
    // containers, a reference to an open container is a cycle, and each object's expanded size (what
    // libplist will copy out) is summed from its children once they are done.
    Problem walk(std::uint64_t top)
    {
        struct Frame {
            std::uint64_t object;
            std::vector<std::uint64_t> references;
            std::size_t next = 0;
        };
        std::vector<Frame> stack;
        auto open = [&](std::uint64_t object) -> Problem {
            Frame frame { object, {} };
            if (Problem problem = checkObject(object, frame.references))
                return problem;
            bool isContainer = (m_bytes[m_offsets[object]] >> 4) == 0xA || (m_bytes[m_offsets[object]] >> 4) == 0xD;
            if (isContainer && stack.size() >= Value::kMaxDepth)
                return E::BinaryTooDeep;
            m_state[object] = State::Open;
            stack.push_back(std::move(frame));
            return std::nullopt;
        };
        if (Problem problem = open(top))
            return problem;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == frame.references.size()) {
                std::uint64_t total = 1;
                for (std::uint64_t child : frame.references)
                    total = std::min<std::uint64_t>(total + m_expandedCount[child], Value::kMaxValueCount + 1);
                if (total > Value::kMaxValueCount)
                    return E::BinaryTooManyValues;
                m_expandedCount[frame.object] = total;
                m_state[frame.object] = State::Done;
                stack.pop_back();
                continue;
            }
            std::uint64_t child = frame.references[frame.next++];
            if (m_state[child] == State::Open)
                return E::SelfReference;
            if (m_state[child] == State::Unvisited) {
                if (Problem problem = open(child))
                    return problem;
            }
        }
        return std::nullopt;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offsetSize = 0;
    std::size_t m_referenceSize = 0;
    std::uint64_t m_objectsEnd = 0;
    std::vector<std::uint64_t> m_offsets;
    std::vector<State> m_state;
    std::vector<std::uint64_t> m_expandedCount;
};

bool convert(plist_t node, std::size_t depth, Value& out, Problem& error)
{
    if (depth > Value::kMaxDepth) {
        error = E::NestedTooDeeply;
        return false;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        out = Value::boolean(flag != 0);
        return true;
    }
    case PLIST_UINT: {
        // Eight-byte integers are signed in this format; libplist hands them over as their bit pattern.
        std::uint64_t bits = 0;
        plist_get_uint_val(node, &bits);
        out = Value::integer(static_cast<std::int64_t>(bits));
        return true;
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(node, &number);
        out = Value::real(number);
        return true;
    }
    case PLIST_STRING: {
        char* raw = nullptr;
        plist_get_string_val(node, &raw);
        MallocPtr text(raw);
        std::string string = text ? text.get() : "";
        if (!isValidUtf8(string)) {
            error = E::StringNotUnicode;
            return false;
        }
        out = Value::string(std::move(string));
        return true;
    }
    case PLIST_DATE: {
        std::int32_t seconds = 0, microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        out = Value::date(double(seconds) + double(microseconds) / 1e6);
        return true;
    }
    case PLIST_DATA: {
        char* raw = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        MallocPtr bytes(raw);
        auto* begin = reinterpret_cast<const std::uint8_t*>(bytes.get());
        out = Value::data(bytes ? Value::Bytes(begin, begin + length) : Value::Bytes {});
        return true;
    }
    case PLIST_ARRAY: {
        Value::Array elements;
        std::uint32_t size = plist_array_get_size(node);
        elements.reserve(size);
        for (std::uint32_t i = 0; i < size; ++i) {
            Value element;
            if (!convert(plist_array_get_item(node, i), depth + 1, element, error))
                return false;
            elements.push_back(std::move(element));
        }
        out = Value::array(std::move(elements));
        return true;
    }
    case PLIST_DICT: {
        Value::Dictionary entries;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        MallocPtr iteratorOwner(static_cast<char*>(iterator));
        while (true) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &rawKey, &item);
            MallocPtr key(rawKey);
            if (!item)
                break;
            std::string keyText = key ? key.get() : "";
            if (!isValidUtf8(keyText)) {
                error = E::KeyNotUnicode;
                return false;
            }
            Value value;
            if (!convert(item, depth + 1, value, error))
                return false;
            entries.insert_or_assign(std::move(keyText), std::move(value));
        }
        out = Value::dictionary(std::move(entries));
        return true;
    }
    default:
        error = E::UnusedValueType;
        return false;
    }
}

} // namespace

Result<Value, PropertyListFailure> readBinary(std::span<const std::uint8_t> bytes)
{
    using Read = Result<Value, PropertyListFailure>;
    if (Problem problem = BinaryChecker(bytes).check())
        return Read::failure({ *problem });
    plist_t raw = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &raw);
    PlistPtr root(raw);
    if (!root)
        return Read::failure({ E::BinaryUnreadable });
    Value value;
    Problem error;
    if (!convert(root.get(), 0, value, error))
        return Read::failure({ error.value_or(E::BinaryUnreadable) });
    return value;
}

} // namespace kit::plist
