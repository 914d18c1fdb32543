#include "kit/foundation/Preferences.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/AtomicFile.h"
#include "kit/foundation/FileDescriptor.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <pwd.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

namespace {

// Domains whose writes failed since their last synchronize().
std::map<std::string, bool, std::less<>>& failedDomains()
{
    static auto* domains = new std::map<std::string, bool, std::less<>>; // lives as long as the process
    return *domains;
}

enum class FileState { Missing, Parsed, Corrupt, Unreadable };

struct DomainFile {
    FileState state = FileState::Missing;
    Value entries = Value::dictionary();
};

// Reads the whole file, refusing more than a property list may hold. Opened without waiting and without
// following a link, then checked: a FIFO in its place would block the open until a writer came, and a link
// could point anywhere (and would be replaced by a file on the next write). Both count as unreadable.
DomainFile readDomainFile(const std::filesystem::path& path)
{
    DomainFile file;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (fd.get() < 0) {
        file.state = errno == ENOENT ? FileState::Missing : FileState::Unreadable;
        return file;
    }
    struct stat info;
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        file.state = FileState::Unreadable;
        return file;
    }
    // More than the limit is refused by fromPropertyList as too large: the file then counts as corrupt.
    std::optional<std::string> bytes = readAll(fd.get(), Value::kMaxInputBytes);
    if (!bytes) {
        file.state = FileState::Unreadable;
        return file;
    }
    auto parsed = Value::fromPropertyList(*bytes);
    if (!parsed.ok() || !parsed->isDictionary()) {
        file.state = FileState::Corrupt;
        return file;
    }
    file.state = FileState::Parsed;
    file.entries = std::move(*parsed);
    return file;
}

// mkdir -p with mode 0700 for every folder it creates; folders that exist keep their mode.
bool ensureFolder(const std::filesystem::path& folder)
{
    if (folder.empty())
        return false;
    struct stat info;
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !ensureFolder(parent))
        return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The read-modify-write cycle of one change under the domain's lock. change() edits the entries and
// says whether it changed anything; an unchanged, sound file is not rewritten.
bool updateDomain(std::string_view domain, const std::function<bool(Value& entries)>& change)
{
    if (!Preferences::isValidDomain(domain))
        return false;
    std::filesystem::path folder = Preferences::folder();
    if (!ensureFolder(folder))
        return false;
    std::filesystem::path path = Preferences::fileForDomain(domain);
    std::filesystem::path lockPath = path.string() + ".lock";
    FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0)
        return false;
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }
    // The lock is released when the descriptor closes, after the rename and the folder's fsync.
    DomainFile file = readDomainFile(path);
    if (file.state == FileState::Unreadable)
        return false; // never overwrite what could not be read
    if (file.state == FileState::Corrupt) {
        std::filesystem::path corrupt = path.string() + ".corrupt";
        if (::rename(path.c_str(), corrupt.c_str()) != 0)
            return false;
    }
    bool changed = change(file.entries);
    if (!changed && file.state != FileState::Corrupt)
        return true;
    return writeFileAtomically(path.string(), file.entries.toXmlPropertyList(), 0600); // settings are private
}

} // namespace

std::filesystem::path Preferences::folder()
{
    // A relative XDG_CONFIG_HOME is invalid by the base-directory rules and is ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return config;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/')
        return {};
    return std::filesystem::path(home) / ".config";
}

std::filesystem::path Preferences::fileForDomain(std::string_view domain)
{
    std::filesystem::path base = folder();
    if (base.empty() || !isValidDomain(domain))
        return {};
    return base / (std::string(domain) + ".plist");
}

bool Preferences::isValidDomain(std::string_view domain)
{
    return !domain.empty() && domain.size() <= 200 && domain != "." && domain != ".."
        && domain.find('/') == std::string_view::npos && domain.find('\0') == std::string_view::npos;
}

Value Preferences::copyDomain(std::string_view domain)
{
    std::filesystem::path path = fileForDomain(domain);
    if (path.empty())
        return Value::dictionary();
    return readDomainFile(path).entries;
}

std::optional<Value> Preferences::copyValue(std::string_view key, std::string_view domain)
{
    Value entries = copyDomain(domain);
    if (const Value* value = entries.get(key))
        return *value;
    return std::nullopt;
}

bool Preferences::setValue(std::string_view key, std::optional<Value> value, std::string_view domain)
{
    bool ok = updateDomain(domain, [&](Value& entries) {
        if (!value)
            return entries.remove(key);
        const Value* old = entries.get(key);
        if (old && *old == *value)
            return false;
        entries.set(std::string(key), std::move(*value));
        return true;
    });
    if (!ok)
        failedDomains().insert_or_assign(std::string(domain), true);
    return ok;
}

bool Preferences::synchronize(std::string_view domain)
{
    if (!isValidDomain(domain))
        return false;
    auto& failed = failedDomains();
    auto found = failed.find(domain);
    if (found == failed.end())
        return true;
    failed.erase(found);
    return false;
}

bool Preferences::getAppBooleanValue(std::string_view key, std::string_view domain, bool* valid)
{
    std::optional<bool> result;
    if (auto value = copyValue(key, domain)) {
        if (auto flag = value->asBool())
            result = *flag;
        else if (auto number = value->asDouble())
            result = *number != 0;
        else if (const std::string* text = value->asString()) {
            if (equalsIgnoringAsciiCase(*text, "yes") || equalsIgnoringAsciiCase(*text, "true"))
                result = true;
            else if (equalsIgnoringAsciiCase(*text, "no") || equalsIgnoringAsciiCase(*text, "false"))
                result = false;
        }
    }
    if (valid)
        *valid = result.has_value();
    return result.value_or(false);
}

} // namespace kit
