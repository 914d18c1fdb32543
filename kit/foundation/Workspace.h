#pragma once

#include <functional>
#include <string>

namespace kit {

// Opening a URL in the user's web browser. The host decides how (a GTK host launches the default
// browser; the headless host only reports it); without a handler the request is printed to standard
// output as "open URL <url>" and nothing is launched.
class Workspace {
public:
    using OpenURLHandler = std::function<void(const std::string& url)>;

    static void setOpenURLHandler(OpenURLHandler);
    static void openURL(const std::string& url);

    // Calls of openURL since the process started or the last reset, and the last URL asked for.
    static int openURLCount();
    static const std::string& lastOpenedURL();
    static void resetCountForTesting();
};

} // namespace kit
