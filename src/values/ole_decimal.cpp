#include "ole_decimal.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "ole_parsed_number.h"

namespace {

constexpr ole_u128 max_magnitude = (ole_u128{1} << 96) - 1;  // 79228162514264337593543950335
constexpr uint64_t int64_limit = uint64_t{1} << 63;

constexpr ole_u128 pow10_u128(int n) {
    ole_u128 v = 1;
    for (int i = 0; i < n; ++i) v *= 10;
    return v;
}

ole_u128 magnitude_of(const ole_decimal& d) {
    return (ole_u128{d.hi32} << 64) | d.lo64;
}

ole_decimal make_decimal(ole_u128 magnitude, int scale, bool negative) {
    ole_decimal d;
    d.scale = static_cast<uint8_t>(scale);
    d.sign = negative && magnitude != 0 ? ole_decimal::sign_negative : 0;
    d.hi32 = static_cast<uint32_t>(magnitude >> 64);
    d.lo64 = static_cast<uint64_t>(magnitude);
    return d;
}

// Decimal digits of a 128-bit number, written backwards from `end`; returns the first digit.
char* write_u128(ole_u128 value, char* end) {
    constexpr uint64_t chunk = 10000000000000000000ull;  // 10^19
    char* p = end;
    while (value > std::numeric_limits<uint64_t>::max()) {
        uint64_t part = static_cast<uint64_t>(value % chunk);
        value /= chunk;
        for (int i = 0; i < 19; ++i) {
            *--p = static_cast<char>('0' + part % 10);
            part /= 10;
        }
    }
    uint64_t low = static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + low % 10);
        low /= 10;
    } while (low != 0);
    return p;
}

// |value| / 10^scale rounded to the nearest integer, halves to even.
ole_u128 round_to_integer(ole_u128 magnitude, int scale) {
    if (scale == 0)
        return magnitude;
    const ole_u128 divisor = pow10_u128(scale);
    ole_u128 quotient = magnitude / divisor;
    ole_u128 remainder = magnitude % divisor;
    ole_u128 twice = remainder * 2;
    if (twice > divisor || (twice == divisor && (quotient & 1) != 0))
        ++quotient;
    return quotient;
}

ole_hresult signed_result(ole_u128 magnitude, bool negative, ole_u128 positive_limit,
                          ole_u128 negative_limit, int64_t& out) {
    if (negative ? magnitude > negative_limit : magnitude > positive_limit) {
        return OLE_DISP_E_OVERFLOW;
    }
    uint64_t bits = static_cast<uint64_t>(magnitude);
    out = static_cast<int64_t>(negative ? uint64_t{0} - bits : bits);
    return OLE_S_OK;
}

// Fits a parsed number into a DECIMAL: the largest scale up to 28 that the digits ask for and
// the 96 bits allow, rounding the digits that do not fit.
ole_hresult decimal_from_parsed(const ole_parsed_number& number, ole_decimal& out) {
    int scale = number.exponent < 0 ? -number.exponent : 0;
    if (scale > ole_decimal::max_scale)
        scale = ole_decimal::max_scale;
    for (;;) {
        ole_u128 magnitude;
        if (number.scaled_magnitude(scale, magnitude) && magnitude <= max_magnitude) {
            out = make_decimal(magnitude, scale, number.negative);
            return OLE_S_OK;
        }
        if (scale == 0)
            return OLE_DISP_E_OVERFLOW;
        --scale;
    }
}

}  // namespace

ole_decimal ole_dec_from_i8(int64_t value) noexcept {
    uint64_t bits = static_cast<uint64_t>(value);
    return make_decimal(value < 0 ? uint64_t{0} - bits : bits, 0, value < 0);
}

ole_decimal ole_dec_from_ui8(uint64_t value) noexcept {
    return make_decimal(value, 0, false);
}

ole_hresult ole_var_dec_from_str(std::string_view text, ole_decimal& out) {
    ole_parsed_number number;
    ole_hresult hr = ole_parse_number(text, number);
    if (hr != OLE_S_OK)
        return hr;
    return decimal_from_parsed(number, out);
}

ole_hresult ole_var_cy_from_str(std::string_view text, ole_currency& out) {
    ole_parsed_number number;
    ole_hresult hr = ole_parse_number(text, number);
    if (hr != OLE_S_OK)
        return hr;
    ole_u128 magnitude;
    if (!number.scaled_magnitude(4, magnitude))
        return OLE_DISP_E_OVERFLOW;
    int64_t amount;
    hr = signed_result(magnitude, number.negative, int64_limit - 1, int64_limit, amount);
    if (hr == OLE_S_OK)
        out.int64 = amount;
    return hr;
}

size_t ole_dec_to_chars(const ole_decimal& value, char* out) noexcept {
    char digits[40];
    char* end = digits + sizeof digits;
    char* first = write_u128(magnitude_of(value), end);
    size_t count = static_cast<size_t>(end - first);
    size_t scale = value.scale <= ole_decimal::max_scale ? value.scale : ole_decimal::max_scale;
    char* p = out;
    if (value.is_negative() && !value.is_zero())
        *p++ = '-';
    if (count <= scale) {
        *p++ = '0';
        if (scale > 0) {
            *p++ = '.';
            for (size_t i = count; i < scale; ++i) *p++ = '0';
            std::memcpy(p, first, count);
            p += count;
        }
    } else {
        size_t whole = count - scale;
        std::memcpy(p, first, whole);
        p += whole;
        if (scale > 0) {
            *p++ = '.';
            std::memcpy(p, first + whole, scale);
            p += scale;
        }
    }
    return static_cast<size_t>(p - out);
}

size_t ole_cy_to_chars(ole_currency value, char* out) noexcept {
    uint64_t bits = static_cast<uint64_t>(value.int64);
    uint64_t magnitude = value.int64 < 0 ? uint64_t{0} - bits : bits;
    char* p = out;
    if (value.int64 < 0)
        *p++ = '-';
    p = std::to_chars(p, out + ole_dec_text_max, magnitude / 10000).ptr;
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction != 0) {
        char four[4];
        for (int i = 3; i >= 0; --i) {
            four[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        int length = 4;
        while (four[length - 1] == '0') --length;
        *p++ = '.';
        std::memcpy(p, four, static_cast<size_t>(length));
        p += length;
    }
    return static_cast<size_t>(p - out);
}

std::string ole_var_bstr_from_dec(const ole_decimal& value) {
    char buffer[ole_dec_text_max];
    return std::string(buffer, ole_dec_to_chars(value, buffer));
}

std::string ole_var_bstr_from_cy(ole_currency value) {
    char buffer[ole_dec_text_max];
    return std::string(buffer, ole_cy_to_chars(value, buffer));
}

ole_hresult ole_var_i8_from_dec(const ole_decimal& value, int64_t& out) noexcept {
    if (value.scale > ole_decimal::max_scale)
        return OLE_E_INVALIDARG;
    ole_u128 integer = round_to_integer(magnitude_of(value), value.scale);
    return signed_result(integer, value.is_negative(), int64_limit - 1, int64_limit, out);
}

ole_hresult ole_var_ui8_from_dec(const ole_decimal& value, uint64_t& out) noexcept {
    if (value.scale > ole_decimal::max_scale)
        return OLE_E_INVALIDARG;
    ole_u128 integer = round_to_integer(magnitude_of(value), value.scale);
    if (integer > std::numeric_limits<uint64_t>::max() || (value.is_negative() && integer != 0)) {
        return OLE_DISP_E_OVERFLOW;
    }
    out = static_cast<uint64_t>(integer);
    return OLE_S_OK;
}

ole_hresult ole_var_i4_from_dec(const ole_decimal& value, int32_t& out) noexcept {
    int64_t wide;
    ole_hresult hr = ole_var_i8_from_dec(value, wide);
    if (hr != OLE_S_OK)
        return hr;
    if (wide < std::numeric_limits<int32_t>::min() || wide > std::numeric_limits<int32_t>::max()) {
        return OLE_DISP_E_OVERFLOW;
    }
    out = static_cast<int32_t>(wide);
    return OLE_S_OK;
}

ole_hresult ole_var_cy_from_dec(const ole_decimal& value, ole_currency& out) noexcept {
    if (value.scale > ole_decimal::max_scale)
        return OLE_E_INVALIDARG;
    ole_u128 magnitude = magnitude_of(value);
    ole_u128 amount = value.scale <= 4 ? magnitude * pow10_u128(4 - value.scale)
                                       : round_to_integer(magnitude, value.scale - 4);
    int64_t result;
    ole_hresult hr =
        signed_result(amount, value.is_negative(), int64_limit - 1, int64_limit, result);
    if (hr == OLE_S_OK)
        out.int64 = result;
    return hr;
}

ole_decimal ole_var_dec_from_cy(ole_currency value) noexcept {
    uint64_t bits = static_cast<uint64_t>(value.int64);
    return make_decimal(value.int64 < 0 ? uint64_t{0} - bits : bits, 4, value.int64 < 0);
}

namespace {
// A float printed with `digits` significant digits, read back as a parsed number: the DECIMAL
// conversions of OLE keep that many digits of a double or float.
ole_hresult decimal_from_float(double value, int digits, ole_decimal& out) {
    if (!std::isfinite(value))
        return OLE_DISP_E_OVERFLOW;
    if (value == 0.0) {
        out = ole_decimal{};
        return OLE_S_OK;
    }
    char text[64];
    auto r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, digits - 1);
    ole_parsed_number number;
    const char* p = text;
    if (*p == '-') {
        number.negative = true;
        ++p;
    }
    for (; p < r.ptr && *p != 'e'; ++p) {
        if (*p != '.')
            number.digits[number.count++] = *p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), r.ptr, exponent);
    while (number.count > 1 && number.digits[number.count - 1] == '0') --number.count;
    number.exponent = exponent - (number.count - 1);
    ole_hresult hr = decimal_from_parsed(number, out);
    // A number too small for 28 decimals is plain zero, not zero with 28 decimals.
    if (hr == OLE_S_OK && out.is_zero())
        out = ole_decimal{};
    return hr;
}
}  // namespace

ole_hresult ole_var_dec_from_r8(double value, ole_decimal& out) noexcept {
    return decimal_from_float(value, 15, out);
}

ole_hresult ole_var_dec_from_r4(float value, ole_decimal& out) noexcept {
    return decimal_from_float(value, 7, out);
}

double ole_var_r8_from_dec(const ole_decimal& value) noexcept {
    char text[64];
    char* end = text + 40;
    char* first = write_u128(magnitude_of(value), end);
    size_t length = static_cast<size_t>(end - first);
    std::memmove(text, first, length);
    text[length++] = 'e';
    text[length++] = '-';
    length = static_cast<size_t>(
        std::to_chars(text + length, text + sizeof text, static_cast<int>(value.scale)).ptr - text);
    double result = 0.0;
    std::from_chars(text, text + length, result);
    return value.is_negative() ? -result : result;
}

ole_hresult ole_var_cy_from_r8(double value, ole_currency& out) noexcept {
    double amount = ole_round_half_even(value * 10000.0);
    // 2^63 is exactly representable; every double below it converts.
    if (!(amount >= -9223372036854775808.0 && amount < 9223372036854775808.0)) {
        return OLE_DISP_E_OVERFLOW;
    }
    out.int64 = static_cast<int64_t>(amount);
    return OLE_S_OK;
}

double ole_var_r8_from_cy(ole_currency value) noexcept {
    return static_cast<double>(value.int64) / 10000.0;
}

int64_t ole_var_i8_from_cy(ole_currency value) noexcept {
    int64_t whole = value.int64 / 10000;
    int64_t rest = value.int64 % 10000;  // same sign as the amount
    int64_t twice = rest * 2;
    if (twice > 10000 || (twice == 10000 && (whole & 1) != 0))
        ++whole;
    if (twice < -10000 || (twice == -10000 && (whole & 1) != 0))
        --whole;
    return whole;
}
