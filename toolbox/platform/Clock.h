// The platform layer's clocks: the monotonic clock in milliseconds and
// ticks, the wall clock as date-time arrays, and their conversions between
// the system's time zone and UTC. Every layer reads time through these
// calls; VSystem forwards to them.
#pragma once

#include <cstdint>

namespace zeft::platform {

// Milliseconds of the monotonic clock.
std::uint64_t GetCurrentTime();

// Sixtieths of a second (ticks) of the same clock.
std::uint32_t GetCurrentTicks();

// Distance between now and `since` in ticks, either way, taken across a
// wrap of the 32-bit count when that is shorter.
std::uint32_t GetCurrentDeltaTicks(std::uint32_t since);

// A date-time array holds seven numbers in this order: year, month (1-12),
// day (1-31), hour (0-23), minute, second, millisecond.
void GetSystemUTCTime(std::int16_t* dateTime);
void GetSystemLocalTime(std::int16_t* dateTime);

// Convert the array in place between the system's time zone and UTC, with
// the zone's rules at that date. The millisecond is neither read nor
// written; an array with year 0 and month or hour 0 (a time of day without
// a date) is left unchanged.
void LocalToUTCTime(std::int16_t* dateTime);
void UTCToLocalTime(std::int16_t* dateTime);

// Seconds from 1970-01-01 UTC to the local date-time of the array, with the
// zone's rules at that date; -1 when the system cannot tell. The
// millisecond is not read.
std::int64_t LocalToUnixTime(const std::int16_t* dateTime);

// The system zone's offsets from UTC now, in seconds (east positive): with
// daylight saving and without it (one hour less while daylight saving is in
// effect).
void ReadGMTOffsets(std::int32_t* offset, std::int32_t* offsetWithDaylight);

// One of those offsets, read on first use and kept until UpdateGMTOffset.
std::int32_t GetGMTOffset(bool withDaylight);
void UpdateGMTOffset();

// Days from 1970-01-01 to the given proleptic Gregorian date; a day past the
// month's end counts on into the next month.
std::int64_t DaysSinceEpoch(std::int64_t year, std::int64_t month, std::int64_t day);

}  // namespace zeft::platform
