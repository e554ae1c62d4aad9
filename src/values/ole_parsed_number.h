// ole_parsed_number: a number read from text by the OLE Automation number grammar for the English
// (United States) locale, before it is converted to a particular type, and the exact rounding of
// such a number. Internal to the values library.
//
// The number is sign x digits x 10^exponent with the significant digits kept in order (leading
// zeros removed); digits beyond the capacity are dropped and remembered in `sticky` so that
// rounding stays exact.
#pragma once

#include <cstdint>
#include <string_view>

#include "ole_types.h"

__extension__ typedef unsigned __int128 ole_u128;

struct ole_parsed_number {
    static constexpr int capacity = 64;
    bool negative = false;
    bool sticky = false;  // non-zero digits were dropped after the kept ones
    int count = 0;        // kept digits; 0 for the number zero
    int32_t exponent = 0;
    char digits[capacity];  // '0' to '9'

    // The first `keep` digits as an integer (keep may exceed count: zeros are appended), rounded
    // to the nearest, halves to even, by the digits after them. False when the result would not
    // fit 128 bits (keep above 38).
    bool rounded_prefix(int keep, ole_u128& out) const;
    // The number rounded to an integer with `scale` decimals: |value| x 10^scale.
    bool scaled_magnitude(int scale, ole_u128& out) const {
        return rounded_prefix(count + exponent + scale, out);
    }
};

// White space, a sign or parentheses before or after, "$", "," between integer digits, one ".",
// an exponent "e"/"E" with optional sign; the whole text (up to a NUL) must be the number.
// OLE_DISP_E_TYPEMISMATCH otherwise.
ole_hresult ole_parse_number(std::string_view text, ole_parsed_number& out);

// Rounds value to the nearest integer, halves to the even neighbour (independent of the
// floating-point environment).
double ole_round_half_even(double value) noexcept;
