#include "kit/net/LoadPolicy.h"

namespace kit {

bool pageMayLoad(const std::optional<URL>& page, const URL& target)
{
    if (!target.isFileURL() || !page)
        return true;
    return page->isFileURL();
}

} // namespace kit
