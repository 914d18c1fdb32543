#pragma once

#include "kit/foundation/WeakPtr.h"
#include "kit/net/URL.h"
#include "kit/net/URLConnection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace hosts {

// Finds out whether a URL is a web page (whose embedded documents are to be shown) or a document to show
// by itself, loading no more than it must: a response that is neither declared HTML nor starts like markup
// is a document, and its download stops after the first bytes (the plug-in view downloads it itself).
// A response declared as one of documentTypes (the MIME types the plug-in view claims, lower case) is a
// document at once, before any byte arrives: a slow server then shows the plug-in view's progress while
// the document downloads. A page is read whole. The answer arrives from the run loop, once.
class PageProbe : public kit::URLConnectionDelegate, public kit::Weakable {
public:
    struct Answer {
        bool isMarkup = false; // the bytes may be a page: parse them for embedded documents
        bool failed = false; // the URL could not be loaded (the plug-in view then shows its error display)
        std::vector<std::uint8_t> bytes; // the whole page, when isMarkup
    };

    PageProbe(const kit::URL& url, std::vector<std::string> documentTypes, std::function<void(Answer)> answered);
    ~PageProbe() override;

    // Whether bytes start like HTML: optional byte-order mark and white space, then '<'.
    static bool startsLikeMarkup(std::span<const std::uint8_t> bytes);

    void connectionDidReceiveResponse(kit::URLConnection&, const kit::URLResponse& response) override;
    void connectionDidReceiveData(kit::URLConnection&, std::span<const std::uint8_t> data) override;
    void connectionDidFinishLoading(kit::URLConnection&) override;
    void connectionDidFailWithError(kit::URLConnection&, const kit::Error&) override;

private:
    void answer(Answer result);

    std::unique_ptr<kit::URLConnection> m_connection;
    std::vector<std::string> m_documentTypes;
    std::function<void(Answer)> m_answered;
    std::vector<std::uint8_t> m_bytes;
    bool m_declaredMarkup = false;
    bool m_decided = false; // the first bytes were looked at
};

} // namespace hosts
