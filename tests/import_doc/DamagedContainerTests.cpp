#include "TestDocuments.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace testdoc;

namespace {

constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kLeftSibling = 0x44;
constexpr std::size_t kRightSibling = 0x48;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

std::uint32_t get32(const Bytes& bytes, std::size_t offset)
{
    return std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 | std::uint32_t(bytes[offset + 2]) << 16
        | std::uint32_t(bytes[offset + 3]) << 24;
}

void set32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

// Offset of the directory's first sector; the files built here use 512-byte sectors.
std::size_t directoryOffset(const Bytes& file)
{
    return 512 + std::size_t(get32(file, 0x30)) * 512;
}

// The number of the directory entry with the given name among the first sector's four, if it is there.
std::optional<std::uint32_t> entryNamed(const Bytes& file, const std::u16string& name)
{
    std::size_t directory = directoryOffset(file);
    for (std::uint32_t entry = 0; entry < 4; ++entry) {
        std::size_t at = directory + entry * kEntrySize;
        std::size_t length = std::size_t(file[at + 0x40]) | std::size_t(file[at + 0x41]) << 8;
        if (length != (name.size() + 1) * 2)
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = (char16_t(file[at + 2 * i]) | char16_t(file[at + 2 * i + 1] << 8)) == name[i];
        if (same)
            return entry;
    }
    return std::nullopt;
}

} // namespace

TEST(DocContainer, IgnoresSiblingLinksOnTheRootStorage)
{
    // The root storage has no siblings; a damaged directory may still give it some. Following them would
    // claim an entry for nobody, so the same entry reached again through the root's children is refused,
    // and the stream behind it goes missing.
    const Bytes original = paragraphs({ u"Hello" }).build();
    const std::size_t root = directoryOffset(original);
    ASSERT_EQ(get32(original, root + kLeftSibling), kNoStream);
    ASSERT_EQ(get32(original, root + kRightSibling), kNoStream);
    std::optional<std::uint32_t> wordDocument = entryNamed(original, u"WordDocument");
    std::optional<std::uint32_t> table = entryNamed(original, u"1Table");
    ASSERT_TRUE(wordDocument && table);

    const struct {
        std::uint32_t left, right;
        const char* why;
    } cases[] = {
        { *wordDocument, kNoStream, "the left link names the main stream, a child of the root" },
        { kNoStream, *table, "the right link names the table stream" },
        { *table, *wordDocument, "both links name children" },
        { 0, 0, "both links name the root itself" },
        { 0x00FFFFFF, kNoStream, "a link past the end of the directory" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Bytes damaged = original;
        set32(damaged, root + kLeftSibling, c.left);
        set32(damaged, root + kRightSibling, c.right);
        importer::ImportResult result = importBytes(damaged);
        EXPECT_EQ(result.error, importer::ImportError::None);
        EXPECT_EQ(plain(result), "Hello\n");
        // The caller's bytes are read, never written: the repair works on a copy.
        EXPECT_EQ(get32(damaged, root + kLeftSibling), c.left);
        EXPECT_EQ(get32(damaged, root + kRightSibling), c.right);
    }
}
