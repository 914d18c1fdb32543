#include "kit/foundation/Workspace.h"

#include <cstdio>

namespace kit {

namespace {
Workspace::OpenURLHandler& handler()
{
    static auto* installed = new Workspace::OpenURLHandler; // lives as long as the process
    return *installed;
}
int s_openCount = 0;
std::string& lastURL()
{
    static auto* url = new std::string;
    return *url;
}
} // namespace

void Workspace::setOpenURLHandler(OpenURLHandler newHandler) { handler() = std::move(newHandler); }

void Workspace::openURL(const std::string& url)
{
    ++s_openCount;
    lastURL() = url;
    if (handler()) {
        handler()(url);
        return;
    }
    std::printf("open URL %s\n", url.c_str());
    std::fflush(stdout);
}

int Workspace::openURLCount() { return s_openCount; }
const std::string& Workspace::lastOpenedURL() { return lastURL(); }

void Workspace::resetCountForTesting()
{
    s_openCount = 0;
    lastURL().clear();
}

} // namespace kit
