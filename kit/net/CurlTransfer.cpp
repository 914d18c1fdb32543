#include "kit/net/CurlTransfer.h"

#include "kit/net/CurlSupport.h"
#include "kit/net/LoadPolicy.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <strings.h>

namespace kit {

namespace {

bool isFollowedRedirect(int statusCode)
{
    return statusCode == 301 || statusCode == 302 || statusCode == 303 || statusCode == 307 || statusCode == 308;
}

} // namespace

CurlTransfer::CurlTransfer(const URLRequest& request, Sink& sink)
    : m_sink(sink)
    , m_request(request)
    , m_currentURL(request.url())
{
}

CurlTransfer::~CurlTransfer()
{
    if (m_watchdog)
        g_source_remove(m_watchdog);
    if (m_isRunning)
        m_driver->removeTransfer(m_easy);
    if (m_easy)
        curl().easy_cleanup(m_easy);
    if (m_requestHeaders)
        curl().slist_free_all(m_requestHeaders);
}

bool CurlTransfer::start()
{
    if (!loadCurl())
        return false;
    m_driver = CurlMultiDriver::shared();
    m_easy = curl().easy_init();
    if (!m_easy)
        return false;
    applyCommonCurlOptions(m_easy);
    curl().easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl().easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, headerCallback);
    curl().easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl().easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, writeCallback);
    curl().easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl().easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);
    // Every content coding curl was built with; the body then arrives decoded.
    curl().easy_setopt(m_easy, CURLOPT_ACCEPT_ENCODING, "");

    // The time-out is one of inactivity: connecting, or a whole interval with nothing received. curl's
    // low-speed check cannot say that (it averages over seconds), so a timer of ours watches. The same
    // timer watches the deadline; curl's own total time-out would restart with every redirect.
    auto milliseconds
        = [](double seconds) { return std::chrono::milliseconds(std::max(1L, long(std::ceil(seconds * 1000)))); };
    if (double seconds = m_request.timeoutInterval(); seconds > 0) {
        curl().easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT_MS, long(milliseconds(seconds).count()));
        m_inactivityLimit = milliseconds(seconds);
    }
    if (double seconds = m_request.deadlineInterval(); seconds > 0)
        m_deadline = std::chrono::steady_clock::now() + milliseconds(seconds);
    // A declared length over the maximum fails before the body is read; the decoded bytes are counted
    // as they arrive (writeCallback), since a compressed body declares its compressed length only.
    curl().easy_setopt(m_easy, CURLOPT_MAXFILESIZE_LARGE,
        curl_off_t(std::min<std::size_t>(m_request.maximumBodyLength(), std::numeric_limits<curl_off_t>::max())));
    prepareHop();
    m_isRunning = m_driver->addTransfer(m_easy, *this);
    if (m_isRunning)
        scheduleWatchdog();
    return m_isRunning;
}

void CurlTransfer::scheduleWatchdog()
{
    if (m_watchdog) {
        g_source_remove(m_watchdog);
        m_watchdog = 0;
    }
    std::optional<std::chrono::steady_clock::time_point> due = m_deadline;
    if (m_inactivityLimit.count())
        due = std::min(due.value_or(std::chrono::steady_clock::time_point::max()), m_lastActivity + m_inactivityLimit);
    if (!due)
        return;
    auto delay = std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now()).count();
    m_watchdog = g_timeout_add_full(
        G_PRIORITY_DEFAULT, guint(std::clamp<long long>(delay, 1, G_MAXUINT)), watchdogDidFire, this, nullptr);
}

gboolean CurlTransfer::watchdogDidFire(gpointer opaque)
{
    auto* transfer = static_cast<CurlTransfer*>(opaque);
    transfer->m_watchdog = 0;
    if (!transfer->m_isRunning)
        return G_SOURCE_REMOVE;
    auto now = std::chrono::steady_clock::now();
    bool pastDeadline = transfer->m_deadline && now >= *transfer->m_deadline;
    bool idle = transfer->m_inactivityLimit.count() && now - transfer->m_lastActivity >= transfer->m_inactivityLimit;
    if (!pastDeadline && !idle) {
        transfer->scheduleWatchdog();
        return G_SOURCE_REMOVE;
    }
    // A GLib timer, not one of curl's callbacks: the transfer may be removed here.
    transfer->m_driver->removeTransfer(transfer->m_easy);
    transfer->m_isRunning = false;
    std::string url = transfer->m_currentURL.absoluteString();
    if (pastDeadline) {
        transfer->fail(Error::urlError(URLErrorCode::TimedOut, url,
            { { LocalizedDescriptionKey,
                "The download took longer than it may, however slowly the server sent it." } }));
    } else
        transfer->fail(Error::urlError(URLErrorCode::TimedOut, url));
    return G_SOURCE_REMOVE;
}

void CurlTransfer::prepareHop()
{
    m_head.reset();
    m_didReportResponse = false;
    m_errorBuffer[0] = '\0';
    m_lastActivity = std::chrono::steady_clock::now();
    curl().easy_setopt(m_easy, CURLOPT_URL, m_currentURL.withoutFragment().absoluteString().c_str());
    // Judged again at every hop: a redirect to another origin or to http gets less, or nothing.
    std::optional<std::string> referrer;
    if (const auto& page = m_request.mainDocumentURL())
        referrer = referrerFor(*page, m_currentURL);
    curl().easy_setopt(m_easy, CURLOPT_REFERER, referrer ? referrer->c_str() : nullptr);

    // The request's cookies are the ones its browser keeps for the first URL's host: a redirect to another
    // host, or from https down to http, goes without them (curl would pass a header of ours on to any hop).
    const URL& first = m_request.url();
    bool cookiesMayGo = strcasecmp(m_currentURL.host().c_str(), first.host().c_str()) == 0
        && !(first.scheme() == "https" && m_currentURL.scheme() != "https");
    curl().easy_setopt(m_easy, CURLOPT_HTTPHEADER, nullptr);
    if (m_requestHeaders)
        curl().slist_free_all(m_requestHeaders);
    m_requestHeaders = nullptr;
    for (const auto& [name, value] : m_request.allHTTPHeaderFields()) {
        if (strcasecmp(name.c_str(), "Cookie") == 0 && !cookiesMayGo)
            continue;
        m_requestHeaders = curl().slist_append(m_requestHeaders, (name + ": " + value).c_str());
    }
    if (m_requestHeaders)
        curl().easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_requestHeaders);
}

std::size_t CurlTransfer::headerCallback(char* bytes, std::size_t, std::size_t count, void* transfer)
{
    static_cast<CurlTransfer*>(transfer)->m_lastActivity = std::chrono::steady_clock::now();
    static_cast<CurlTransfer*>(transfer)->receiveHeaderLine(std::string_view(bytes, count));
    return count;
}

void CurlTransfer::receiveHeaderLine(std::string_view line)
{
    // An interim response (100 Continue, 103 Early Hints) is followed by the real one.
    if (m_head.read(line) == HTTPHeadReader::Line::End && !m_head.isInterim())
        reportResponseIfNeeded();
}

void CurlTransfer::reportResponseIfNeeded()
{
    if (m_didReportResponse)
        return;
    m_didReportResponse = true;
    // A file has no header: its response comes with its first bytes, or at the end when it is empty.
    if (m_currentURL.isFileURL()) {
        curl_off_t length = -1;
        curl().easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        m_sink.transferDidReceiveResponse(URLResponse::fileResponse(m_currentURL, length));
        return;
    }
    int statusCode = m_head.statusCode();
    if (!statusCode) {
        long code = 0;
        curl().easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
        statusCode = int(code);
    }
    m_sink.transferDidReceiveResponse(URLResponse::httpResponse(m_currentURL, statusCode, m_head.fields()));
}

std::size_t CurlTransfer::writeCallback(char* bytes, std::size_t, std::size_t count, void* opaque)
{
    auto* transfer = static_cast<CurlTransfer*>(opaque);
    transfer->m_lastActivity = std::chrono::steady_clock::now();
    transfer->reportResponseIfNeeded();
    // Nothing past the maximum reaches the sink; returning short makes curl stop the transfer.
    if (count > transfer->m_request.maximumBodyLength() - transfer->m_receivedBodyLength) {
        transfer->m_didExceedMaximumLength = true;
        return 0;
    }
    transfer->m_receivedBodyLength += count;
    transfer->m_sink.transferDidReceiveData({ reinterpret_cast<const std::uint8_t*>(bytes), count });
    return count;
}

void CurlTransfer::fail(Error error) { m_sink.transferDidFail(std::move(error)); }

void CurlTransfer::curlTransferDidComplete(CURLcode result)
{
    m_driver->removeTransfer(m_easy);
    m_isRunning = false;
    if (m_watchdog) {
        g_source_remove(m_watchdog);
        m_watchdog = 0;
    }
    if (m_didExceedMaximumLength || result == CURLE_FILESIZE_EXCEEDED) {
        return fail(dataLengthExceedsMaximumError(m_currentURL, m_request.maximumBodyLength()));
    }
    if (result != CURLE_OK) {
        fail(errorForCurlResult(result, m_currentURL, m_errorBuffer));
        return;
    }
    if (m_currentURL.isFileURL() && !m_didReportResponse) {
        if (auto problem = localFileProblem(m_currentURL))
            return fail(Error::urlError(*problem, m_currentURL.absoluteString()));
    }
    reportResponseIfNeeded();

    auto location = headerFieldValue(m_head.fields(), "Location");
    if (m_currentURL.isFileURL() || !isFollowedRedirect(m_head.statusCode()) || !location) {
        m_sink.transferDidFinish();
        return;
    }
    // The redirect's response and body have been reported; the next hop reports its own.
    auto target = URL::withString(*location, m_currentURL);
    if (!target || !target->isAbsolute())
        return fail(Error::urlError(URLErrorCode::RedirectToNonExistentLocation, *location));
    std::string scheme = target->scheme();
    if (scheme == "file") {
        return fail(Error::urlError(URLErrorCode::NoPermissionsToReadFile, target->absoluteString(),
            { { LocalizedDescriptionKey, "Not allowed to load a local resource from a web page." } }));
    }
    if (scheme != "http" && scheme != "https")
        return fail(Error::urlError(URLErrorCode::UnsupportedURL, target->absoluteString()));
    if (++m_redirectCount > kMaximumRedirects)
        return fail(Error::urlError(URLErrorCode::HTTPTooManyRedirects, target->absoluteString()));

    m_currentURL = *target;
    prepareHop();
    m_isRunning = m_driver->addTransfer(m_easy, *this);
    if (!m_isRunning)
        return fail(Error::urlError(URLErrorCode::Unknown, m_currentURL.absoluteString()));
    scheduleWatchdog();
}

} // namespace kit
