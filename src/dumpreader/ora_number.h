// ora_number: Oracle's NUMBER and DATE encodings turned into numbers and calendar records.
//
// NUMBER: an exponent byte, then base-100 digits, most significant first. Positive numbers have
// the exponent byte's top bit set (193 + E) and store digit + 1; negative numbers store 62 - E and
// 101 - digit, and end with a byte 102 unless all 20 digit bytes are used. The value is
// sum(digit[i] * 100^(E - i)); the single byte 0x80 is zero.
//
// The conversions here are exact where the target can hold the value: a double is the correctly
// rounded value of the decimal number (no text round trip for up to 16 digits), integers and
// DECIMALs are built digit by digit. DATE: century + 100, year + 100, month, day, hour + 1,
// minute + 1, second + 1; TIMESTAMP adds nanoseconds (big-endian) and a time zone.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ole_decimal.h"
#include "ole_types.h"

// The digits of a NUMBER value. False for an empty value.
struct ora_number_parts {
    bool negative = false;
    bool zero = false;
    int exponent = 0;  // base-100 exponent of the first digit
    int count = 0;     // digits used
    int digit[21] = {};
};
bool ora_number_split(const uint8_t* bytes, size_t length, ora_number_parts& out);

// The value as the nearest double (0 for an empty value).
double ora_number_to_double(const uint8_t* bytes, size_t length);
// The value when it is an integer that fits a signed 64-bit integer.
bool ora_number_to_int64(const uint8_t* bytes, size_t length, int64_t& out);
// The value as an exact DECIMAL (scale at most 28, magnitude below 2^96); false otherwise.
bool ora_number_to_decimal(const uint8_t* bytes, size_t length, ole_decimal& out);
// How many significant decimal digits the value has (0 for zero).
int ora_number_significant_digits(const uint8_t* bytes, size_t length);

// A DATE (7 bytes) or TIMESTAMP (7 to 13 bytes; missing bytes count as 0) as a calendar record;
// false when the year is above 9999 (dates before the common era). Fractional seconds become
// milliseconds (truncated) when `with_fraction` is set and the nanosecond bytes are present.
bool ora_date_to_systemtime(const uint8_t* bytes, size_t length, bool with_fraction,
                            ole_systemtime& out);
