#include "kit/foundation/Bundle.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/StringsTable.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#ifndef LECTORIN_SOURCE_DIR
#define LECTORIN_SOURCE_DIR "."
#endif

namespace kit {

namespace {

// Reads a small resource file whole; nothing when it is missing or larger than any resource we ship.
std::optional<std::string> readSmallFile(const std::filesystem::path& path)
{
    constexpr std::uintmax_t kMaxBytes = 4 * 1024 * 1024;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) > kMaxBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path executableFolder()
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
}

// The first of: the variable's folder when set, the installed folder next to the executable when it
// exists, the source tree's folder.
std::filesystem::path resolveFolder(const char* variable, const char* installed, const char* inSource)
{
    if (const char* value = std::getenv(variable); value && *value)
        return value;
    if (auto candidate = Bundle::installedFolder(executableFolder(), installed))
        return *candidate;
    return std::filesystem::path(LECTORIN_SOURCE_DIR) / inSource;
}

const Bundle& bundleAt(const std::filesystem::path& folder)
{
    // Loaded bundles live as long as the process, so references handed out never dangle.
    static auto* loaded = new std::map<std::filesystem::path, std::unique_ptr<Bundle>>;
    auto& slot = (*loaded)[folder];
    if (!slot)
        slot = std::make_unique<Bundle>(folder);
    return *slot;
}

} // namespace

Bundle::Bundle(std::filesystem::path folder)
    : m_path(std::move(folder))
    , m_info(Value::dictionary())
{
    if (auto bytes = readSmallFile(m_path / "Info.plist")) {
        auto parsed = Value::fromPropertyList(*bytes);
        if (parsed.ok() && parsed->isDictionary())
            m_info = std::move(*parsed);
    }
}

Bundle::~Bundle() = default;

std::optional<std::filesystem::path> Bundle::installedFolder(const std::filesystem::path& executableFolder, std::string_view installed)
{
    if (executableFolder.empty())
        return std::nullopt;
    // <prefix>/bin/lectorin, then <prefix>/libexec/lectorin/lectorin-window.
    for (const char* up : { "..", "../.." }) {
        std::filesystem::path candidate = (executableFolder / up / installed).lexically_normal();
        std::error_code error;
        if (std::filesystem::is_directory(candidate, error))
            return candidate;
    }
    return std::nullopt;
}

std::filesystem::path Bundle::pluginFolder()
{
    return resolveFolder("LECTORIN_BUNDLE", "share/lectorin/bundle", "resources");
}

std::filesystem::path Bundle::mainFolder()
{
    return resolveFolder("LECTORIN_MAIN_BUNDLE", "share/lectorin/host", "resources/host");
}

const Bundle& Bundle::plugin() { return bundleAt(pluginFolder()); }
const Bundle& Bundle::main() { return bundleAt(mainFolder()); }

std::optional<std::string> Bundle::infoString(std::string_view key) const
{
    const Value* value = infoValue(key);
    if (!value || !value->asString())
        return std::nullopt;
    return *value->asString();
}

std::string Bundle::name() const { return infoString("CFBundleName").value_or(""); }
std::optional<std::string> Bundle::version() const { return infoString("CFBundleVersion"); }
std::string Bundle::identifier() const { return infoString("CFBundleIdentifier").value_or(""); }

std::optional<std::string> Bundle::updateHost() const
{
    auto host = infoString("NRVUpdateHost");
    if (!host || host->empty())
        return std::nullopt;
    return host;
}

std::vector<std::string> Bundle::claimedMIMETypes() const
{
    std::set<std::string> types;
    if (const Value* claimed = infoValue("WebPluginMIMETypes"); claimed && claimed->isDictionary()) {
        for (const auto& [type, description] : *claimed->asDictionary())
            types.insert(asciiLower(type));
    }
    return { types.begin(), types.end() };
}

std::vector<std::string> Bundle::claimedExtensions() const
{
    std::set<std::string> extensions;
    if (const Value* claimed = infoValue("WebPluginMIMETypes"); claimed && claimed->isDictionary()) {
        for (const auto& [type, description] : *claimed->asDictionary()) {
            const Value* list = description.get("WebPluginExtensions");
            if (!list || !list->isArray())
                continue;
            for (const Value& extension : *list->asArray()) {
                if (const std::string* text = extension.asString(); text && !text->empty())
                    extensions.insert(asciiLower(*text));
            }
        }
    }
    return { extensions.begin(), extensions.end() };
}

std::optional<std::filesystem::path> Bundle::resourcePath(std::string_view name) const
{
    std::filesystem::path relative = std::filesystem::path(name).lexically_normal();
    if (name.empty() || relative.is_absolute() || relative.empty() || *relative.begin() == "..")
        return std::nullopt;
    std::filesystem::path full = m_path / relative;
    std::error_code error;
    if (!std::filesystem::exists(full, error))
        return std::nullopt;
    return full;
}

std::vector<std::string> Bundle::preferredLanguages()
{
    std::vector<std::string> languages;
    auto add = [&](std::string_view locale) {
        // "pt_BR.UTF-8@euro" -> "pt_BR", then "pt"
        locale = locale.substr(0, std::min(locale.find('.'), locale.find('@')));
        if (locale.empty() || locale == "C" || locale == "POSIX")
            return;
        auto push = [&](std::string_view form) {
            if (!form.empty() && std::find(languages.begin(), languages.end(), form) == languages.end())
                languages.emplace_back(form);
        };
        push(locale);
        push(locale.substr(0, locale.find('_')));
    };
    if (const char* list = std::getenv("LANGUAGE"); list && *list) {
        std::string_view rest = list;
        while (!rest.empty()) {
            std::size_t colon = rest.find(':');
            add(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        if (const char* value = std::getenv(variable); value && *value) {
            add(value);
            break;
        }
    }
    if (std::find(languages.begin(), languages.end(), "en") == languages.end())
        languages.emplace_back("en");
    return languages;
}

const StringsTable* Bundle::table(const std::string& language, std::string_view tableName) const
{
    // A language name comes from the environment: it must not walk out of the bundle.
    if (language.find('/') != std::string::npos || language.starts_with("."))
        return nullptr;
    std::string cacheKey = language + "/" + std::string(tableName);
    auto found = m_tables.find(cacheKey);
    if (found == m_tables.end()) {
        std::unique_ptr<StringsTable> loaded;
        if (auto bytes = readSmallFile(m_path / (language + ".lproj") / (std::string(tableName) + ".strings")))
            loaded = std::make_unique<StringsTable>(StringsTable::parse(*bytes));
        found = m_tables.emplace(std::move(cacheKey), std::move(loaded)).first;
    }
    return found->second.get();
}

std::string Bundle::localizedStringForKey(
    std::string_view key, std::string_view value, std::string_view tableName) const
{
    if (tableName.empty())
        tableName = "Localizable";
    if (tableName.find('/') == std::string_view::npos) {
        for (const std::string& language : preferredLanguages()) {
            if (const StringsTable* strings = table(language, tableName)) {
                if (const std::string* translation = strings->lookup(key))
                    return *translation;
            }
        }
    }
    return std::string(value.empty() ? key : value);
}

} // namespace kit
