#include "kit/net/CurlLibrary.h"

#include <cassert>
#include <dlfcn.h>
#include <optional>

namespace kit {

namespace {

template <typename F> bool resolve(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

std::optional<CurlLibrary> open()
{
    // The library of the ABI our headers describe; never unloaded, as curl asks of its users.
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return std::nullopt;
    CurlLibrary curl {};
    bool complete = resolve(library, "curl_global_init", curl.global_init)
        && resolve(library, "curl_easy_init", curl.easy_init)
        && resolve(library, "curl_easy_cleanup", curl.easy_cleanup)
        && resolve(library, "curl_easy_setopt", curl.easy_setopt)
        && resolve(library, "curl_easy_getinfo", curl.easy_getinfo)
        && resolve(library, "curl_easy_perform", curl.easy_perform)
        && resolve(library, "curl_easy_strerror", curl.easy_strerror)
        && resolve(library, "curl_slist_append", curl.slist_append)
        && resolve(library, "curl_slist_free_all", curl.slist_free_all)
        && resolve(library, "curl_multi_init", curl.multi_init)
        && resolve(library, "curl_multi_cleanup", curl.multi_cleanup)
        && resolve(library, "curl_multi_setopt", curl.multi_setopt)
        && resolve(library, "curl_multi_add_handle", curl.multi_add_handle)
        && resolve(library, "curl_multi_remove_handle", curl.multi_remove_handle)
        && resolve(library, "curl_multi_socket_action", curl.multi_socket_action)
        && resolve(library, "curl_multi_info_read", curl.multi_info_read);
    if (!complete || curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return std::nullopt;
    return curl;
}

const std::optional<CurlLibrary>& library()
{
    static const std::optional<CurlLibrary> loaded = open();
    return loaded;
}

} // namespace

bool loadCurl() { return library().has_value(); }

const CurlLibrary& curl()
{
    assert(library());
    return *library();
}

} // namespace kit
