// The OLE date number and its conversions (SystemTimeToVariantTime, VariantTimeToSystemTime,
// VarDateFromStr), written without the Windows library.
//
// The OLE date number counts days since 1899-12-30 00:00 as a double, the time of day being the
// fraction. Before 1899-12-30 the integer part is negative and the fraction is still the time of
// day, taken away: -1.25 is 1899-12-29 06:00. The calendar is the Gregorian one throughout; the
// range is 0100-01-01 (-657434) to 9999-12-31 (2958465). Milliseconds are not carried: a number
// becomes a calendar record rounded to the nearest second.
//
// Pure functions: usable from any thread.
#pragma once

#include <string_view>

#include "ole_types.h"

constexpr double ole_date_min = -657434.0;  // 0100-01-01
constexpr double ole_date_max = 2958465.0;  // 9999-12-31

// The calendar record as a date number. Years 0 to 99 stand for 1900 to 1999; a day past the end
// of its month, or an hour, minute or second past its range, rolls into the next unit. Fails
// (false, out unchanged) for month 0 or above 12, day 0 or above 31, a year above 9999, or a
// result outside the range. Day of week and milliseconds are ignored.
bool ole_system_time_to_variant_time(const ole_systemtime& time, double& out) noexcept;

// The date number as a calendar record, rounded to the nearest second, day of week filled in,
// milliseconds 0. Fails (false, out unchanged) outside the range or for NaN.
bool ole_variant_time_to_system_time(double date, ole_systemtime& out) noexcept;

// Text to date number, English (United States) rules (VarDateFromStr). Accepts a date, a time, or
// both in either order. Dates: year-month-day with '-', '/' or '.' (a first number of three or
// more digits, or above 31, is the year), month/day/year (day/month/year when the first number
// cannot be a month), month names and their three-letter forms ("May 6, 2004", "6-May-2004"),
// weekday names are skipped. Times: hours:minutes[:seconds[.fraction]] with an optional AM or PM.
// A date needs its year. Two-digit years mean 1930 to 2029. A time alone lies on 1899-12-30.
// Returns OLE_DISP_E_TYPEMISMATCH for text that is not a date or time of the range.
ole_hresult ole_var_date_from_str(std::string_view text, double& out) noexcept;

// Days from 1899-12-30 to the given Gregorian date (no range checks), and back.
int64_t ole_days_from_civil(int64_t year, unsigned month, unsigned day) noexcept;
void ole_civil_from_days(int64_t days, int64_t& year, unsigned& month, unsigned& day) noexcept;
