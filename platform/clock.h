// Time as the program uses it: a millisecond tick count for stopwatches and time-outs, and the
// local calendar time for dates in reports.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds from a fixed point in the past (monotonic: never set back by clock changes).
std::uint64_t tick_count_ms();
// Microseconds on the same monotonic clock, for timing short work.
std::uint64_t tick_count_us();

struct LocalTime {
    int year = 0;     // e.g. 2024
    int month = 0;    // 1..12
    int day = 0;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;   // 0..59
    int second = 0;   // 0..60
    int weekday = 0;  // 0 = Sunday .. 6 = Saturday
};

// The current local time (time zone of the environment).
LocalTime local_time();

}  // namespace platform
