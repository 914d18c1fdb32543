#pragma once

#include "kit/net/Error.h"
#include "kit/net/URL.h"

#include <curl/curl.h>
#include <optional>

namespace kit {

// libcurl's process-wide set-up, done once before the first handle is made.
void initializeCurlOnce();

// The options every transfer of ours shares: the schemes it may load (http, https, file) and be redirected
// to (http, https), no signals (the process has a GLib main loop), proxies never used for loopback.
void applyCommonCurlOptions(CURL* easy);

// What keeps a local file URL from being read (missing, a folder, unreadable); nullopt when nothing does
// or the URL is not a local file's. curl reads a folder as an empty file, so loads check before finishing.
std::optional<URLErrorCode> localFileProblem(const URL&);

// The URL error for a failed transfer of url. File failures are told apart by looking at the file:
// missing, a folder, or unreadable. detail is curl's error buffer (may be empty).
Error errorForCurlResult(CURLcode result, const URL& url, const char* detail);

} // namespace kit
