#include "kit/foundation/AtomicFile.h"
#include "kit/foundation/FileDescriptor.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string contents(const std::filesystem::path& path)
{
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(FileDescriptor, WritesAndReadsMoreThanAPipeHolds)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    kit::FileDescriptor reading(ends[0]), writing(ends[1]);
    std::string sent(1 << 20, 'x');
    for (std::size_t i = 0; i < sent.size(); i += 4093)
        sent[i] = char('a' + i % 26);
    std::thread writer([&] {
        EXPECT_TRUE(kit::writeAll(writing.get(), sent));
        EXPECT_TRUE(writing.close());
    });
    auto received = kit::readAll(reading.get(), sent.size());
    writer.join();
    ASSERT_TRUE(received);
    EXPECT_EQ(*received, sent) << "exactly the limit reads whole";
}

TEST(FileDescriptor, ReadingStopsPastTheLimit)
{
    std::filesystem::path file = testsupport::temporaryFolder("readall") / "data";
    testsupport::writeFile(file, std::string(300000, 'y'));
    kit::FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0);
    auto read = kit::readAll(fd.get(), 1000);
    ASSERT_TRUE(read);
    EXPECT_GT(read->size(), 1000u) << "more than the limit shows that there was more";
    EXPECT_LT(read->size(), 300000u) << "but the rest stays unread";
}

TEST(FileDescriptor, FailuresAreReported)
{
    EXPECT_FALSE(kit::readAll(-1, 10));
    std::filesystem::path file = testsupport::temporaryFolder("writeall") / "data";
    testsupport::writeFile(file, "x");
    kit::FileDescriptor readOnly(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_GE(readOnly.get(), 0);
    EXPECT_FALSE(kit::writeAll(readOnly.get(), "more"));
    EXPECT_TRUE(kit::writeAll(readOnly.get(), "")) << "nothing to write is done at once";
    EXPECT_TRUE(readOnly.close());
    EXPECT_TRUE(readOnly.close()) << "closing again does nothing";
}

TEST(AtomicFile, ReplacesWholeAndLeavesNothingBehind)
{
    std::filesystem::path folder = testsupport::temporaryFolder("atomic");
    std::filesystem::path path = folder / "state";
    testsupport::writeFile(path, "old contents that are longer");
    ASSERT_TRUE(kit::writeFileAtomically(path.string(), std::string_view("new"), 0600));
    EXPECT_EQ(contents(path), "new");
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        entries += entry.path() != path;
    EXPECT_EQ(entries, 0u) << "no temporary file is left";
}

TEST(AtomicFile, RefusesWhatIsNoFileInAFolder)
{
    std::filesystem::path folder = testsupport::temporaryFolder("atomic-refused");
    testsupport::writeFile(folder / "plain", "x");
    EXPECT_FALSE(kit::writeFileAtomically((folder / "missing" / "state").string(), std::string_view("x")));
    EXPECT_FALSE(kit::writeFileAtomically((folder / "plain" / "state").string(), std::string_view("x")))
        << "a file in place of the folder";
    EXPECT_FALSE(kit::writeFileAtomically((folder / "").string(), std::string_view("x"))) << "a folder's name";
    EXPECT_FALSE(kit::writeFileAtomically("", std::string_view("x")));
    std::filesystem::create_directory(folder / "taken");
    EXPECT_FALSE(kit::writeFileAtomically((folder / "taken").string(), std::string_view("x")))
        << "rename does not put a file over a folder";
    EXPECT_EQ(contents(folder / "plain"), "x");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++entries;
    EXPECT_EQ(entries, 2u) << "only what was there before";
}

} // namespace
