#include "hosts/gtk/PageProbe.h"

#include "kit/foundation/RunLoop.h"
#include "kit/net/URLRequest.h"

#include <algorithm>

namespace hosts {

namespace {

// Enough bytes to get past a byte-order mark and leading white space.
constexpr std::size_t kSniffLength = 512;

} // namespace

PageProbe::PageProbe(const kit::URL& url, std::vector<std::string> documentTypes, std::function<void(Answer)> answered)
    : m_documentTypes(std::move(documentTypes))
    , m_answered(std::move(answered))
{
    m_connection = kit::URLConnection::start(kit::URLRequest(url), this);
    if (!m_connection) {
        // No connection means nothing will be reported: answer from the loop, as a failed load would.
        kit::RunLoop::post([probe = kit::WeakPtr(this)] {
            if (probe)
                probe->answer({ false, true, {} });
        });
    }
}

PageProbe::~PageProbe() = default;

bool PageProbe::startsLikeMarkup(std::span<const std::uint8_t> bytes)
{
    std::size_t i = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        i = 3;
    // A UTF-16 page is rare, but a plain-text or binary document never starts with its byte-order mark and a '<'.
    if (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        std::size_t j = 2;
        while (j + 1 < bytes.size() && (bytes[j] == 0 || bytes[j] == ' ' || bytes[j] == '\t' || bytes[j] == '\r' || bytes[j] == '\n'))
            ++j;
        return j < bytes.size() && bytes[j] == '<';
    }
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\f'))
        ++i;
    return i < bytes.size() && bytes[i] == '<';
}

void PageProbe::connectionDidReceiveResponse(kit::URLConnection&, const kit::URLResponse& response)
{
    m_bytes.clear();
    m_decided = false;
    const std::string& type = response.mimeType();
    m_declaredMarkup = type == "text/html" || type == "application/xhtml+xml";
    bool redirect = response.statusCode() >= 300 && response.statusCode() < 400;
    if (!m_declaredMarkup && !redirect && std::find(m_documentTypes.begin(), m_documentTypes.end(), type) != m_documentTypes.end()) {
        m_decided = true;
        answer({ false, false, {} });
    }
}

void PageProbe::connectionDidReceiveData(kit::URLConnection&, std::span<const std::uint8_t> data)
{
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    if (m_decided || m_declaredMarkup || m_bytes.size() < kSniffLength)
        return;
    m_decided = true;
    if (!startsLikeMarkup(m_bytes))
        answer({ false, false, {} });
}

void PageProbe::connectionDidFinishLoading(kit::URLConnection&)
{
    bool markup = m_declaredMarkup || startsLikeMarkup(m_bytes);
    answer({ markup, false, markup ? std::move(m_bytes) : std::vector<std::uint8_t> {} });
}

void PageProbe::connectionDidFailWithError(kit::URLConnection&, const kit::Error&)
{
    answer({ false, true, {} });
}

void PageProbe::answer(Answer result)
{
    if (!m_answered)
        return;
    // Stops the download (a document is fetched again by the plug-in view) and answers once; the one told
    // may destroy this probe.
    m_connection.reset();
    auto answered = std::move(m_answered);
    m_answered = nullptr;
    answered(std::move(result));
}

} // namespace hosts
