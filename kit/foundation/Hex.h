#pragma once

namespace kit {

// The value of one hexadecimal digit of either case; -1 for any other byte, so that callers can check and
// convert in one step.
constexpr int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace kit
