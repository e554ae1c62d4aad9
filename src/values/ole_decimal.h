// The OLE Automation DECIMAL and currency numbers and their conversion rules.
//
// ole_decimal is a 96-bit unsigned magnitude, a sign and a power-of-ten scale 0 to 28, laid out
// as the Windows DECIMAL (16 bytes; the first two are reserved and hold the VARIANT tag when the
// number sits in a value). ole_currency is the amount times 10,000 in a signed 64-bit integer.
// The functions are the OLE Automation rules the values need (VarDecFromStr, VarCyFromStr,
// VarBstrFromDec, VarI4FromDec, VarCyFromDec, VarDecFromCy, VarDecFromR8, ...), written without
// the Windows library, for the English (United States) locale. Every rounding is to the nearest,
// halves to the even neighbour; results out of range give OLE_DISP_E_OVERFLOW and texts that are
// not numbers OLE_DISP_E_TYPEMISMATCH, leaving the output unchanged.
//
// Plain records and pure functions: usable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ole_types.h"

struct ole_decimal {
    static constexpr uint8_t sign_negative = 0x80;
    static constexpr uint8_t max_scale = 28;

    uint16_t reserved = 0;
    uint8_t scale = 0;  // digits after the decimal point, 0 to 28
    uint8_t sign = 0;   // sign_negative or 0
    uint32_t hi32 = 0;  // bits 64-95 of the magnitude
    uint64_t lo64 = 0;  // bits 0-63 of the magnitude

    bool is_zero() const noexcept { return hi32 == 0 && lo64 == 0; }
    bool is_negative() const noexcept { return (sign & sign_negative) != 0; }
    // Same number, sign, scale and magnitude (1.5 and 1.50 differ).
    friend bool operator==(const ole_decimal& a, const ole_decimal& b) noexcept {
        return a.scale == b.scale && a.sign == b.sign && a.hi32 == b.hi32 && a.lo64 == b.lo64;
    }
};
static_assert(sizeof(ole_decimal) == 16);

// The currency number: amount x 10,000.
struct ole_currency {
    int64_t int64 = 0;
    friend bool operator==(const ole_currency&, const ole_currency&) = default;
};

// A DECIMAL of an integer (scale 0).
ole_decimal ole_dec_from_i8(int64_t value) noexcept;
ole_decimal ole_dec_from_ui8(uint64_t value) noexcept;

// Text to number (VarDecFromStr / VarCyFromStr, English (United States) rules): white space, a
// leading or trailing sign or parentheses, a "$", "," thousands separators, one "." and an
// exponent are accepted. More digits than the DECIMAL holds are rounded off the fraction; a
// number too large for it is OLE_DISP_E_OVERFLOW.
ole_hresult ole_var_dec_from_str(std::string_view text, ole_decimal& out);
ole_hresult ole_var_cy_from_str(std::string_view text, ole_currency& out);

// Number to text (VarBstrFromDec / VarBstrFromCy), plain decimal notation, '.' as the decimal
// point, no grouping, no exponent. A DECIMAL keeps the digits of its scale (1.50 stays "1.50");
// a currency drops trailing fractional zeros ("1.5"). The buffer forms write at most
// ole_dec_text_max characters (no terminating zero) and return the count.
constexpr size_t ole_dec_text_max = 32;
size_t ole_dec_to_chars(const ole_decimal& value, char* out) noexcept;
size_t ole_cy_to_chars(ole_currency value, char* out) noexcept;
std::string ole_var_bstr_from_dec(const ole_decimal& value);
std::string ole_var_bstr_from_cy(ole_currency value);

// Between DECIMAL, currency, integers and floats.
ole_hresult ole_var_i4_from_dec(const ole_decimal& value, int32_t& out) noexcept;
ole_hresult ole_var_i8_from_dec(const ole_decimal& value, int64_t& out) noexcept;
ole_hresult ole_var_ui8_from_dec(const ole_decimal& value, uint64_t& out) noexcept;
ole_hresult ole_var_cy_from_dec(const ole_decimal& value, ole_currency& out) noexcept;
ole_decimal ole_var_dec_from_cy(ole_currency value) noexcept;  // scale 4, exact
// Keeps 15 significant digits (R4: 7) and drops trailing zeros: 12.5 gives 12.5, scale 1.
ole_hresult ole_var_dec_from_r8(double value, ole_decimal& out) noexcept;
ole_hresult ole_var_dec_from_r4(float value, ole_decimal& out) noexcept;
double ole_var_r8_from_dec(const ole_decimal& value) noexcept;  // nearest double
ole_hresult ole_var_cy_from_r8(double value, ole_currency& out) noexcept;
double ole_var_r8_from_cy(ole_currency value) noexcept;
// The integer nearest to a currency amount, halves to even (VarI8FromCy).
int64_t ole_var_i8_from_cy(ole_currency value) noexcept;
