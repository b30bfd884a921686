#include "ole_date.h"

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
