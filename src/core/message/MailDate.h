#pragma once
// RFC 822 date texts.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

// The current local time as "Mon, 07 Dec 1998 09:45:03 +0900".
std::string FormatMailDate();
// `when` written in a zone `offsetMinutes` east of UTC (tests, fixed times).
std::string FormatMailDate(std::time_t when, int offsetMinutes);

// " GMT", " +0900" or " -0500" for the local zone now (daylight saving
// included); computed on first use and kept for the run.
const std::string& LocalZoneSuffix();
// The local zone's suffix computed now, without the cache.
std::string CurrentZoneSuffix();
// The suffix for a given offset east of UTC in minutes.
std::string ZoneSuffix(int offsetMinutes);

// Seconds west of UTC of the local zone's standard time (the C library's
// `timezone`). The zone is read again only when the TZ variable changes:
// reading it costs a file lookup, too much once per date of a long list.
long LocalStandardOffsetWest();

// Reads a date text (weekday, day, month, year, time, zone in any order, as
// mail programs write them). The result is the date's UTC wall-clock time
// coded as a local calendar time value, so dates from all zones compare
// correctly. 0 for empty text.
std::time_t ParseMailDate(std::string_view text);

}  // namespace corvina
