#include "cache/ole_date.h"

#include <cmath>

namespace tarvex::cache {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The civil date of a day from 1970-01-01 (proleptic Gregorian calendar).
void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

// The range of an OLE date: 0100-01-01 to 9999-12-31.
constexpr double kOleMinimum = -657434.0;
constexpr double kOleMaximum = 2958466.0;

// 1899-12-30 is day -25569 of the Unix day count.
constexpr std::int64_t kOleEpoch = -25569;

} // namespace

double oleDaysFromLocalTime(const std::tm& local) {
    const std::int64_t days =
        daysFromCivil(std::int64_t{local.tm_year} + 1900, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) -
        kOleEpoch;
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    if (days >= 0) {
        return static_cast<double>(days) + seconds / 86400.0;
    }
    // Before the epoch the whole part counts down while the time of day stays positive.
    return static_cast<double>(days) - seconds / 86400.0;
}

bool localTimeFromOleDays(double oleDays, std::tm& local) {
    if (std::isnan(oleDays) || oleDays <= kOleMinimum - 1.0 || oleDays >= kOleMaximum) {
        return false;
    }
    const double whole = std::trunc(oleDays);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(oleDays - whole) * 86400.0));
    auto days = static_cast<std::int64_t>(whole);
    if (seconds >= 86400) {
        // A time of day that rounds up to midnight is the next day, away from the epoch.
        seconds -= 86400;
        days += days >= 0 ? 1 : -1;
    }
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(days + kOleEpoch, year, month, day);
    local = std::tm{};
    local.tm_year = static_cast<int>(year - 1900);
    local.tm_mon = static_cast<int>(month) - 1;
    local.tm_mday = static_cast<int>(day);
    local.tm_hour = static_cast<int>(seconds / 3600);
    local.tm_min = static_cast<int>(seconds / 60 % 60);
    local.tm_sec = static_cast<int>(seconds % 60);
    local.tm_isdst = -1;
    return true;
}

double continuousDays(double oleDays) {
    if (oleDays >= 0.0 || std::isnan(oleDays)) {
        return oleDays;
    }
    const double whole = std::ceil(oleDays);
    return whole + (whole - oleDays);
}

OleDate SystemClock::now() const {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    if (seconds == static_cast<std::time_t>(-1) || localtime_r(&seconds, &local) == nullptr) {
        return OleDate{0.0, OleDate::kInvalid};
    }
    return OleDate{oleDaysFromLocalTime(local), OleDate::kValid};
}

} // namespace tarvex::cache
