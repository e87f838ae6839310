#pragma once

#include "support/date_time.hpp"

#include <optional>
#include <string_view>

namespace tarnwick {

/// Reads a GPX time: an RFC 3339 date and time, "2013-11-24T06:21:52.5Z". "T" and "Z" may be
/// lower case, the fraction may follow a comma and have any number of digits (it is rounded to
/// the nearest millisecond, halves up), a numeric offset ("+09:00") is subtracted to give UTC,
/// a missing offset leaves the time as written (the form the GPX writer uses), and second 60
/// (a leap second) is the first instant of the next minute. XML blanks around the text are
/// ignored. Anything else, and times outside the years 1 to 9999 in UTC, give nothing.
std::optional<DateTime> TryGPXTime(std::string_view Text);

} // namespace tarnwick
