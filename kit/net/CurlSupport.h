#pragma once

#include "kit/net/CurlLibrary.h"
#include "kit/net/Error.h"
#include "kit/net/Transfer.h"
#include "kit/net/URL.h"

namespace kit {

// The options every transfer of ours shares: the schemes it may load (http, https, file) and be redirected
// to (http, https), no signals (the process has a GLib main loop), proxies never used for loopback.
void applyCommonCurlOptions(CURL* easy);

// The URL error for a failed transfer of url. File failures are told apart by looking at the file:
// missing, a folder, or unreadable. detail is curl's error buffer (may be empty).
Error errorForCurlResult(CURLcode result, const URL& url, const char* detail);

} // namespace kit
