#include "plugin/VersionComparison.h"

#include <cctype>

namespace plugin {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int compareVersions(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the digit runs by value: skip leading zeros, then the longer run is larger, then digit
            // by digit. Values of any length compare without overflow.
            std::size_t si = i, sj = j;
            while (si < a.size() && a[si] == '0')
                ++si;
            while (sj < b.size() && b[sj] == '0')
                ++sj;
            std::size_t ei = si, ej = sj;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            for (std::size_t k = 0; k < ei - si; ++k) {
                if (a[si + k] != b[sj + k])
                    return a[si + k] < b[sj + k] ? -1 : 1;
            }
            i = ei;
            j = ej;
            continue;
        }
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace plugin
