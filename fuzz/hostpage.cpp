// Pages a browser host reads to find the documents it shows: libxml2's HTML parser, then the <embed> and
// <object> elements the plug-in claims, their box sizes and the page's <base href>. Every byte string must
// parse without crashing, and every box size must come out finite and not negative.
#include "OutputChecks.h"
#include "hosts/common/HostPage.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const hosts::ClaimedTypes claimed { { "application/msword", "application/rtf", "text/rtf",
                                                   "application/vnd.openxmlformats-officedocument.wordprocessingml.document" },
        { "doc", "docx", "rtf", "odt" } };
    hosts::HostPage page = hosts::parseHostPage({ data, size }, claimed);
    for (const auto& embed : page.embeds) {
        for (const auto& [name, value] : embed.attributes)
            (void)claimed.claims(value, name);
        float width = hosts::resolveDimension(embed.width, 1024, 300);
        float height = hosts::resolveDimension(embed.height, 768, 150);
        fuzzoutput::require(std::isfinite(width) && width >= 0 && std::isfinite(height) && height >= 0, "hostpage", "box sizes are finite and not negative");
    }
    return 0;
}
