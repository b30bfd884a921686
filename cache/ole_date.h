#pragma once

#include <cstdint>
#include <ctime>

namespace tarvex::cache {

// An OLE automation date: days since 1899-12-30 00:00 local time, the fraction being the time
// of day, with a status (0 valid, 1 invalid).
struct OleDate {
    static constexpr std::int32_t kValid = 0;
    static constexpr std::int32_t kInvalid = 1;

    double days = 0.0;
    std::int32_t status = kValid;

    friend bool operator==(const OleDate&, const OleDate&) = default;
};

// The day count of a broken-down local time (seconds only; tm_isdst is not used).
[[nodiscard]] double oleDaysFromLocalTime(const std::tm& local);

// The broken-down local time of a day count, to the nearest second; false for a value outside
// the dates an OLE date can hold (years 100 to 9999) or not a number.
[[nodiscard]] bool localTimeFromOleDays(double oleDays, std::tm& local);

// Negative dates carry a positive time of day (-1.25 is 1899-12-29 06:00): the continuous day
// count that orders them.
[[nodiscard]] double continuousDays(double oleDays);

// "Now" for the cache: the current time in whole seconds, in local time.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual OleDate now() const = 0;
};

// The system clock; 0.0 with status invalid when the time cannot be broken down.
class SystemClock final : public Clock {
public:
    [[nodiscard]] OleDate now() const override;
};

} // namespace tarvex::cache
