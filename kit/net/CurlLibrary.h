#pragma once

#include <curl/curl.h>

namespace kit {

// libcurl, mapped into the process when the first load over the network needs it: a command that reads a
// local file never maps it, nor the thirty libraries it brings (TLS, HTTP/2, IDN, Kerberos, LDAP), which
// are a third of a short command's start-up. The functions are curl's own, called through these pointers.
struct CurlLibrary {
    decltype(&curl_global_init) global_init;
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_setopt) easy_setopt;
    decltype(&curl_easy_getinfo) easy_getinfo;
    decltype(&curl_easy_perform) easy_perform;
    decltype(&curl_easy_strerror) easy_strerror;
    decltype(&curl_slist_append) slist_append;
    decltype(&curl_slist_free_all) slist_free_all;
    decltype(&curl_multi_init) multi_init;
    decltype(&curl_multi_cleanup) multi_cleanup;
    decltype(&curl_multi_setopt) multi_setopt;
    decltype(&curl_multi_add_handle) multi_add_handle;
    decltype(&curl_multi_remove_handle) multi_remove_handle;
    decltype(&curl_multi_socket_action) multi_socket_action;
    decltype(&curl_multi_info_read) multi_info_read;
};

// Loads and initialises libcurl once (curl_global_init); false when it cannot be loaded, and then every
// later call says the same. Call it before curl().
bool loadCurl();
// The loaded library; only after loadCurl() said true.
const CurlLibrary& curl();

} // namespace kit
