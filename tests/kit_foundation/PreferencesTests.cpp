#include "kit/foundation/Preferences.h"
#include "support/TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using kit::Preferences;
using kit::Value;

namespace {

constexpr const char* kDomain = "org.nrv.internet-plugin.word";

std::set<std::string> folderListing(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Restores the configuration folder's variable when a test that moves it ends.
class ConfigFolderGuard {
public:
    ConfigFolderGuard()
    {
        if (const char* value = std::getenv("XDG_CONFIG_HOME"))
            m_saved = value;
    }
    ~ConfigFolderGuard()
    {
        if (m_saved)
            ::setenv("XDG_CONFIG_HOME", m_saved->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

private:
    std::optional<std::string> m_saved;
};

unsigned modeOf(const std::filesystem::path& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

TEST(Preferences, StoresReadsAndDeletesEveryKindOfValue)
{
    std::filesystem::path folder = std::getenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Preferences::fileForDomain(kDomain), folder / "org.nrv.internet-plugin.word.plist");
    EXPECT_FALSE(Preferences::copyValue("Auto Update", kDomain)) << "a new user has no settings";

    Value colour = Value::array({ Value::real(double(1.0f)), Value::real(double(0.45f)), Value::real(double(0.56f)) });
    ASSERT_TRUE(Preferences::setValue("Background Color", colour, kDomain));
    ASSERT_TRUE(Preferences::setValue("Auto Update", Value::boolean(false), kDomain));
    ASSERT_TRUE(Preferences::setValue("NextScheduledUpdateCheck", Value::date(790000000.75), kDomain));
    EXPECT_TRUE(Preferences::synchronize(kDomain));

    EXPECT_EQ(Preferences::copyValue("Background Color", kDomain), colour);
    EXPECT_EQ(Preferences::copyValue("Auto Update", kDomain), Value::boolean(false));
    EXPECT_EQ(Preferences::copyValue("NextScheduledUpdateCheck", kDomain), Value::date(790000000));
    EXPECT_FALSE(Preferences::copyValue("Background Color", "org.other.domain")) << "domains are separate";

    // Every read reads the file: a change made behind the store's back is seen at once.
    testsupport::writeFile(
        Preferences::fileForDomain(kDomain), "<plist><dict><key>Auto Update</key><string>YES</string></dict></plist>");
    EXPECT_EQ(Preferences::copyValue("Auto Update", kDomain), Value::string("YES"));
    EXPECT_FALSE(Preferences::copyValue("Background Color", kDomain));

    ASSERT_TRUE(Preferences::setValue("Auto Update", std::nullopt, kDomain));
    EXPECT_FALSE(Preferences::copyValue("Auto Update", kDomain)) << "an absent value deletes the key";
    EXPECT_TRUE(Preferences::setValue("never stored", std::nullopt, kDomain)) << "deleting nothing succeeds";

    EXPECT_EQ(folderListing(folder),
        (std::set<std::string> { "org.nrv.internet-plugin.word.plist", "org.nrv.internet-plugin.word.plist.lock" }))
        << "no temporary file is left behind";
    EXPECT_EQ(modeOf(Preferences::fileForDomain(kDomain)) & 077, 0u) << "settings are private to the user";
}

TEST(Preferences, CreatesAMissingFolderPrivately)
{
    ConfigFolderGuard guard;
    std::filesystem::path base = testsupport::temporaryFolder("prefs-folder");
    ::chmod(base.c_str(), 0755);
    std::filesystem::path config = base / "deeper" / "config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_FALSE(Preferences::copyValue("Auto Update", kDomain));
    EXPECT_FALSE(std::filesystem::exists(config)) << "reading creates nothing";

    mode_t previous = ::umask(0);
    bool stored = Preferences::setValue("Auto Update", Value::boolean(true), kDomain);
    ::umask(previous);
    ASSERT_TRUE(stored);
    EXPECT_EQ(modeOf(config), 0700u);
    EXPECT_EQ(modeOf(base / "deeper"), 0700u) << "missing parents are private too";
    EXPECT_EQ(modeOf(base), 0755u) << "an existing folder keeps its mode";
    EXPECT_EQ(Preferences::copyValue("Auto Update", kDomain), Value::boolean(true));

    // A relative XDG_CONFIG_HOME is not valid and falls back to ~/.config.
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(Preferences::folder(), std::filesystem::path(std::getenv("HOME")) / ".config");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Preferences::folder(), std::filesystem::path(std::getenv("HOME")) / ".config");
}

TEST(Preferences, KeepsACorruptFileAsideAndStartsAfresh)
{
    const struct {
        const char* contents;
        const char* why;
    } cases[] = {
        { "this is not a property list", "garbage" },
        { "<plist><dict><key>Auto Update</key></dict></plist>", "a key without a value" },
        { "<plist><array><true/></array></plist>", "a root that is not a dictionary" },
        { "", "an empty file" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::path path = Preferences::fileForDomain(kDomain);
        std::filesystem::path corrupt = path.string() + ".corrupt";
        std::filesystem::remove(corrupt);
        testsupport::writeFile(path, c.contents);

        EXPECT_FALSE(Preferences::copyValue("Auto Update", kDomain)) << "an unparsable file reads as empty";
        bool valid = true;
        EXPECT_FALSE(Preferences::getAppBooleanValue("Auto Update", kDomain, &valid));
        EXPECT_FALSE(valid);
        EXPECT_EQ(testsupport::readText(path), c.contents) << "reading leaves the file alone";

        ASSERT_TRUE(Preferences::setValue("Background Color", Value::array({ Value::real(0.5) }), kDomain));
        ASSERT_TRUE(std::filesystem::exists(corrupt));
        EXPECT_EQ(testsupport::readText(corrupt), c.contents) << "the old bytes are kept, unchanged";
        auto now = Value::fromPropertyList(testsupport::readText(path));
        ASSERT_TRUE(now.ok()) << errorText(now.error());
        EXPECT_EQ(*now, Value::dictionary({ { "Background Color", Value::array({ Value::real(0.5) }) } }))
            << "nothing of the corrupt file is merged in";
    }
}

TEST(Preferences, ReportsAFailedWriteAndOverwritesNothing)
{
    ConfigFolderGuard guard;
    std::filesystem::path base = testsupport::temporaryFolder("prefs-blocked");
    testsupport::writeFile(base / "file", "a file where a folder should be");
    ::setenv("XDG_CONFIG_HOME", (base / "file" / "config").c_str(), 1);
    EXPECT_FALSE(Preferences::setValue("Auto Update", Value::boolean(false), kDomain));
    EXPECT_FALSE(Preferences::synchronize(kDomain)) << "a failed write is not reported as success";
    EXPECT_TRUE(Preferences::synchronize(kDomain)) << "the failure is reported once";

    // A plist that cannot be read (a folder in its place) must not be replaced.
    ::setenv("XDG_CONFIG_HOME", base.c_str(), 1);
    std::filesystem::create_directory(Preferences::fileForDomain(kDomain));
    EXPECT_FALSE(Preferences::setValue("Auto Update", Value::boolean(false), kDomain));
    EXPECT_TRUE(std::filesystem::is_directory(Preferences::fileForDomain(kDomain)));
    EXPECT_FALSE(Preferences::synchronize(kDomain));

    const char* badDomains[] = { "", ".", "..", "a/b", "../escape" };
    for (const char* domain : badDomains) {
        SCOPED_TRACE(domain);
        EXPECT_FALSE(Preferences::setValue("k", Value::boolean(true), domain));
        EXPECT_FALSE(Preferences::copyValue("k", domain));
        EXPECT_FALSE(Preferences::synchronize(domain));
    }
    EXPECT_EQ(folderListing(base),
        (std::set<std::string> {
            "file", "org.nrv.internet-plugin.word.plist", "org.nrv.internet-plugin.word.plist.lock" }))
        << "no stray file from the refused domains";
}

TEST(Preferences, ReadsBooleansInTheirValidForms)
{
    const struct {
        Value stored;
        bool result, valid;
        const char* why;
    } cases[] = {
        { Value::boolean(true), true, true, "a boolean" },
        { Value::boolean(false), false, true, "a boolean" },
        { Value::integer(0), false, true, "zero" },
        { Value::integer(-3), true, true, "any non-zero integer" },
        { Value::real(0.0), false, true, "real zero" },
        { Value::real(0.25), true, true, "a non-zero real" },
        { Value::string("YES"), true, true, "YES" },
        { Value::string("yEs"), true, true, "case does not matter" },
        { Value::string("True"), true, true, "true" },
        { Value::string("no"), false, true, "no" },
        { Value::string("FALSE"), false, true, "false" },
        { Value::string("1"), false, false, "a digit string is not a boolean form" },
        { Value::string("yes "), false, false, "trailing space" },
        { Value::string(""), false, false, "empty string" },
        { Value::date(0), false, false, "a date" },
        { Value::array({ Value::boolean(true) }), false, false, "an array" },
        { Value::data({ 1 }), false, false, "data" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(Preferences::setValue("Auto Update", c.stored, kDomain));
        bool valid = !c.valid;
        EXPECT_EQ(Preferences::getAppBooleanValue("Auto Update", kDomain, &valid), c.result);
        EXPECT_EQ(valid, c.valid);
    }
    ASSERT_TRUE(Preferences::setValue("Auto Update", std::nullopt, kDomain));
    bool valid = true;
    EXPECT_FALSE(Preferences::getAppBooleanValue("Auto Update", kDomain, &valid));
    EXPECT_FALSE(valid) << "no value is not a valid boolean";
    EXPECT_FALSE(Preferences::getAppBooleanValue("Auto Update", kDomain, nullptr)) << "valid may be omitted";
}

// Two processes each write their own 200 keys at the same time while this one reads: the lock and the
// re-read under it must lose no key, and the atomic rename must never expose a partial file.
TEST(Preferences, ConcurrentWritersLoseNothing)
{
    constexpr int kKeysPerWriter = 200;
    constexpr const char* kConcurrentDomain = "org.nrv.concurrent-writers";
    std::filesystem::path path = Preferences::fileForDomain(kConcurrentDomain);
    ASSERT_TRUE(Preferences::setValue("seed", Value::boolean(true), kConcurrentDomain));
    struct stat lockBefore;
    ASSERT_EQ(::stat((path.string() + ".lock").c_str(), &lockBefore), 0);

    int startPipe[2];
    ASSERT_EQ(::pipe(startPipe), 0);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(startPipe[1]);
            char go;
            if (::read(startPipe[0], &go, 1) != 0) // wait until the parent opens the gate (closes the pipe)
                ::_exit(3);
            for (int i = 0; i < kKeysPerWriter; ++i) {
                std::string key = std::string(w ? "b" : "a") + std::to_string(i);
                if (!Preferences::setValue(key, Value::integer(i), kConcurrentDomain))
                    ::_exit(1);
            }
            ::_exit(Preferences::synchronize(kConcurrentDomain) ? 0 : 2);
        }
        writers[w] = pid;
    }
    ::close(startPipe[0]);
    ::close(startPipe[1]); // both writers start now

    int reads = 0, running = 2;
    int statuses[2] = {};
    bool finished[2] = {};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (running && std::chrono::steady_clock::now() < deadline) {
        std::string bytes = testsupport::readText(path);
        auto parsed = Value::fromPropertyList(bytes);
        ASSERT_TRUE(parsed.ok()) << "read " << reads << " saw a broken file: " << errorText(parsed.error());
        ASSERT_TRUE(parsed->isDictionary());
        ++reads;
        for (int w = 0; w < 2; ++w) {
            if (!finished[w] && ::waitpid(writers[w], &statuses[w], WNOHANG) == writers[w]) {
                finished[w] = true;
                --running;
            }
        }
    }
    ASSERT_EQ(running, 0) << "writers did not finish within the bound";
    for (int status : statuses) {
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a writer's setValue or synchronize failed";
    }

    Value all = Preferences::copyDomain(kConcurrentDomain);
    EXPECT_EQ(all.count(), std::size_t(2 * kKeysPerWriter + 1));
    for (int i = 0; i < kKeysPerWriter; ++i) {
        for (const char* prefix : { "a", "b" }) {
            const Value* value = all.get(prefix + std::to_string(i));
            ASSERT_NE(value, nullptr) << "lost " << prefix << i;
            EXPECT_EQ(value->asInteger(), i);
        }
    }
    struct stat lockAfter;
    ASSERT_EQ(::stat((path.string() + ".lock").c_str(), &lockAfter), 0);
    EXPECT_EQ(lockAfter.st_ino, lockBefore.st_ino) << "the lock file is never replaced";
    EXPECT_GT(reads, 0);
}

TEST(Preferences, NeitherWaitsForNorFollowsWhatStandsInPlaceOfTheFile)
{
    ConfigFolderGuard guard;
    const struct {
        const char* kind;
        const char* why;
    } cases[] = {
        { "fifo", "a FIFO would block an ordinary open until some writer came" },
        { "link", "a link to a sound property list elsewhere is not followed" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::path base = testsupport::temporaryFolder(std::string("prefs-") + c.kind);
        ::setenv("XDG_CONFIG_HOME", base.c_str(), 1);
        std::filesystem::path path = Preferences::fileForDomain(kDomain);
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::path elsewhere = base / "elsewhere.plist";
        const std::string sound = Value::dictionary({ { "Auto Update", Value::boolean(true) } }).toXmlPropertyList();
        if (std::string(c.kind) == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else {
            testsupport::writeFile(elsewhere, sound);
            std::filesystem::create_symlink(elsewhere, path);
        }
        // On a thread of its own, so that a read that blocks fails the test instead of hanging it.
        auto read = std::async(std::launch::async, [] { return Preferences::copyValue("Auto Update", kDomain); });
        if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK); // lets the blocked open return
            ::close(writer);
            FAIL() << "the read waited for a writer";
        }
        EXPECT_FALSE(read.get()) << "nothing is read from it";
        EXPECT_FALSE(Preferences::setValue("Auto Update", Value::boolean(false), kDomain)) << "and nothing replaces it";
        std::error_code error;
        auto status = std::filesystem::symlink_status(path, error);
        EXPECT_EQ(status.type(),
            std::string(c.kind) == "fifo" ? std::filesystem::file_type::fifo : std::filesystem::file_type::symlink);
        if (std::string(c.kind) == "link") {
            EXPECT_EQ(testsupport::readText(elsewhere), sound) << "the link's target is untouched";
        }
    }
}
