#include "kit/foundation/PropertyListCoding.h"

#include "kit/foundation/Ascii.h"

#include <cmath>
#include <cstdio>

namespace kit::plist {

namespace {

// Days between 1970-01-01 and the given proleptic Gregorian date (negative before), exact for any year.
constexpr std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

constexpr CivilDate civilFromDays(std::int64_t days)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    return { static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2), month, day };
}

constexpr std::int64_t kReferenceDay = daysFromCivil(2001, 1, 1); // days from 1970 to the reference date
constexpr std::int64_t kSecondsPerDay = 86400;

bool isLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned daysInMonth(std::int64_t year, unsigned month)
{
    static constexpr unsigned days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Reads exactly `width` decimal digits at text[offset].
std::optional<unsigned> readDigits(std::string_view text, std::size_t offset, std::size_t width)
{
    unsigned value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        char c = text[offset + i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + unsigned(c - '0');
    }
    return value;
}

} // namespace

std::string formatIsoDate(double secondsSince2001)
{
    std::int64_t seconds
        = static_cast<std::int64_t>(std::floor(std::min(std::max(secondsSince2001, Value::kMinDate), Value::kMaxDate)));
    std::int64_t days = seconds / kSecondsPerDay, secondOfDay = seconds % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
        --days;
    }
    CivilDate date = civilFromDays(days + kReferenceDay);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(date.year),
        date.month, date.day, static_cast<long long>(secondOfDay / 3600), static_cast<long long>(secondOfDay / 60 % 60),
        static_cast<long long>(secondOfDay % 60));
    return text;
}

std::optional<double> parseIsoDate(std::string_view text)
{
    text = trimmedSpace(text);
    // 0123456789012345678901
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':'
        || text[19] != 'Z')
        return std::nullopt;
    auto year = readDigits(text, 0, 4), month = readDigits(text, 5, 2), day = readDigits(text, 8, 2);
    auto hour = readDigits(text, 11, 2), minute = readDigits(text, 14, 2), second = readDigits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23
        || *minute > 59 || *second > 59)
        return std::nullopt;
    std::int64_t days = daysFromCivil(*year, *month, *day) - kReferenceDay;
    return static_cast<double>(days * kSecondsPerDay + *hour * 3600 + *minute * 60 + *second);
}

std::string sanitizedUtf8(std::string_view text)
{
    std::string clean;
    for (char c : kit::sanitizeUtf8(text)) {
        if (c == '\0')
            kit::appendUtf8(clean, kReplacementCharacter);
        else
            clean += c;
    }
    return clean;
}

} // namespace kit::plist
