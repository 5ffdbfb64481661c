#include "mail/IdDateTime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Day 0 of the date-time scale, 1899-12-30, counted from 1970-01-01.
constexpr long kEpochShift = -25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil algorithms).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

struct CivilDate {
    long year;
    unsigned month, day;
};

CivilDate CivilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long>(yoe) + era * 400 + (m <= 2), m, d};
}

const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
    const long days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochShift;
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

TDateTime LocalDateTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        throw EIdFailedToRetreiveTimeZoneInfo();
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
}

std::chrono::minutes LocalOffsetFromUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &local))
        throw EIdFailedToRetreiveTimeZoneInfo();
    return std::chrono::minutes(local.tm_gmtoff / 60);
}

std::string UtcOffsetText(std::chrono::minutes offset, bool gmt) {
    const long minutes = static_cast<long>(offset.count());
    if (gmt && minutes == 0)
        return "GMT";
    const long magnitude = std::labs(minutes);
    char text[48];
    std::snprintf(text, sizeof text, "%c%02ld%02ld", minutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string InternetDateText(TDateTime date, bool gmt) {
    // The day is the whole part; the time of day is the fraction, also before day 0.
    long days = static_cast<long>(std::trunc(date));
    long seconds = std::lround(std::fabs(date - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) { // rounding up to midnight belongs to the next day
        seconds -= 86400;
        ++days;
    }
    const long unixDays = days + kEpochShift;
    const CivilDate civil = CivilFromDays(unixDays);
    const long weekday = ((unixDays + 4) % 7 + 7) % 7; // 1970-01-01 was a Thursday
    char text[128];
    std::snprintf(text, sizeof text, "%s, %u %s %ld %02ld:%02ld:%02ld ", kDayNames[weekday],
                  civil.day, kMonthNames[civil.month - 1], civil.year, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return text + UtcOffsetText(LocalOffsetFromUtc(), gmt);
}
