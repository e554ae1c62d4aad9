#include "ole_number.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "ole_parsed_number.h"

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Values past the double range (1e999) or below it: strtod's answers, in the C locale so that a
// front end's setlocale cannot change the decimal point.
double strtod_c(const char* begin) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(begin, nullptr, c_locale);
}

// from_chars over [begin, end) with strtod's fallback for values out of range.
const char* read_double(const char* begin, const char* end, double& out) {
    auto result = std::from_chars(begin, end, out, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        std::string copy(begin, static_cast<size_t>(result.ptr - begin));
        out = strtod_c(copy.c_str());
    } else if (result.ec != std::errc()) {
        return begin;
    }
    return result.ptr;
}

template <class T>
ole_hresult integer_from_r8(double value, T& out) {
    double r = ole_round_half_even(value);
    if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
          r <= static_cast<double>(std::numeric_limits<T>::max()))) {
        return OLE_DISP_E_OVERFLOW;
    }
    out = static_cast<T>(r);
    return OLE_S_OK;
}

// Widens the exponent of to_chars' scientific form to at least three digits; returns the length.
size_t widen_exponent(char* text, size_t length) {
    char* e = static_cast<char*>(std::memchr(text, 'e', length));
    if (e == nullptr)
        return length;  // inf, nan
    char* digits = e + 2;
    size_t count = static_cast<size_t>(text + length - digits);
    if (count >= 3)
        return length;
    size_t pad = 3 - count;
    std::memmove(digits + pad, digits, count);
    std::memset(digits, '0', pad);
    return length + pad;
}

}  // namespace

double ole_round_half_even(double value) noexcept {
    double r = std::round(value);  // halves away from zero
    if (std::fabs(value - std::trunc(value)) == 0.5)
        r = 2.0 * std::round(value / 2.0);
    return r;
}

ole_hresult ole_var_i1_from_r8(double value, int8_t& out) noexcept {
    return integer_from_r8(value, out);
}
ole_hresult ole_var_i2_from_r8(double value, int16_t& out) noexcept {
    return integer_from_r8(value, out);
}
ole_hresult ole_var_i4_from_r8(double value, int32_t& out) noexcept {
    return integer_from_r8(value, out);
}
ole_hresult ole_var_ui1_from_r8(double value, uint8_t& out) noexcept {
    return integer_from_r8(value, out);
}
ole_hresult ole_var_ui2_from_r8(double value, uint16_t& out) noexcept {
    return integer_from_r8(value, out);
}
ole_hresult ole_var_ui4_from_r8(double value, uint32_t& out) noexcept {
    return integer_from_r8(value, out);
}

bool ole_parsed_number::rounded_prefix(int keep, ole_u128& out) const {
    if (count == 0) {
        out = 0;
        return true;
    }
    if (keep > 38)
        return false;
    ole_u128 value = 0;
    for (int i = 0; i < keep; ++i) {
        value = value * 10 + static_cast<unsigned>(i < count ? digits[i] - '0' : 0);
    }
    // The dropped part: digits from `keep` on (keep < 0: implied leading zeros first).
    if (keep >= 0 && keep < count) {
        const char first = digits[keep];
        bool rest = sticky;
        for (int i = keep + 1; i < count && !rest; ++i) rest = digits[i] != '0';
        if (first > '5' || (first == '5' && (rest || (value & 1) != 0)))
            ++value;
    }
    out = value;
    return true;
}

ole_hresult ole_parse_number(std::string_view text, ole_parsed_number& out) {
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    out = ole_parsed_number{};
    size_t pos = 0;
    const size_t n = text.size();
    bool sign = false, paren = false, currency = false;
    while (pos < n && is_space(text[pos])) ++pos;
    for (;;) {
        if (pos >= n)
            break;
        char c = text[pos];
        if ((c == '+' || c == '-') && !sign && !paren) {
            sign = true;
            out.negative = c == '-';
        } else if (c == '(' && !paren && !sign) {
            paren = true;
            out.negative = true;
        } else if (c == '$' && !currency) {
            currency = true;
        } else {
            break;
        }
        ++pos;
    }
    bool any_digit = false;
    auto add_digit = [&](char c, bool fraction) {
        any_digit = true;
        if (out.count == 0 && c == '0') {
            if (fraction)
                --out.exponent;  // a leading zero of the fraction
            return;
        }
        if (out.count < ole_parsed_number::capacity) {
            out.digits[out.count++] = c;
            if (fraction)
                --out.exponent;
        } else {
            if (c != '0')
                out.sticky = true;
            if (!fraction)
                ++out.exponent;
        }
    };
    while (pos < n && (is_digit(text[pos]) || (text[pos] == ',' && any_digit))) {
        if (text[pos] != ',')
            add_digit(text[pos], false);
        ++pos;
    }
    if (pos < n && text[pos] == '.') {
        ++pos;
        while (pos < n && is_digit(text[pos])) add_digit(text[pos++], true);
    }
    if (!any_digit)
        return OLE_DISP_E_TYPEMISMATCH;
    if (pos < n && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t p = pos + 1;
        bool negative_exponent = false;
        if (p < n && (text[p] == '+' || text[p] == '-'))
            negative_exponent = text[p++] == '-';
        if (p < n && is_digit(text[p])) {
            int32_t e = 0;
            while (p < n && is_digit(text[p])) {
                if (e < 100000)
                    e = e * 10 + (text[p] - '0');
                ++p;
            }
            out.exponent += negative_exponent ? -e : e;
            pos = p;
        }
    }
    for (;;) {
        if (pos >= n)
            break;
        char c = text[pos];
        if ((c == '+' || c == '-') && !sign && !paren) {
            sign = true;
            out.negative = c == '-';
        } else if (c == ')' && paren) {
            paren = false;
        } else if (c == '$' && !currency) {
            currency = true;
        } else if (is_space(c)) {
            while (pos < n && is_space(text[pos])) ++pos;
            break;
        } else {
            break;
        }
        ++pos;
    }
    if (pos != n || paren)
        return OLE_DISP_E_TYPEMISMATCH;
    // Zero keeps its exponent (0.00 has two decimals) but not its sign.
    if (out.count == 0)
        out.negative = false;
    return OLE_S_OK;
}

ole_hresult ole_var_r8_from_str(std::string_view text, double& out) {
    ole_parsed_number number;
    ole_hresult hr = ole_parse_number(text, number);
    if (hr != OLE_S_OK)
        return hr;
    if (number.count == 0) {
        out = 0.0;
        return OLE_S_OK;
    }
    char buffer[ole_parsed_number::capacity + 16];
    size_t length = 0;
    std::memcpy(buffer, number.digits, static_cast<size_t>(number.count));
    length = static_cast<size_t>(number.count);
    int32_t exponent = number.exponent;
    if (number.sticky) {
        buffer[length++] = '1';  // keeps the rounding of the dropped digits
        --exponent;
    }
    buffer[length++] = 'e';
    auto r = std::to_chars(buffer + length, buffer + sizeof buffer, exponent);
    length = static_cast<size_t>(r.ptr - buffer);
    double value = 0.0;
    read_double(buffer, buffer + length, value);
    if (std::isinf(value))
        return OLE_DISP_E_OVERFLOW;
    out = number.negative ? -value : value;
    return OLE_S_OK;
}

size_t ole_format_e(double value, int precision, char* out) noexcept {
    auto r = std::to_chars(out, out + ole_float_text_max, value, std::chars_format::scientific,
                           precision);
    return widen_exponent(out, static_cast<size_t>(r.ptr - out));
}

size_t ole_format_g(double value, int precision, char* out) noexcept {
    if (!std::isfinite(value)) {
        auto r = std::to_chars(out, out + ole_float_text_max, value);
        return static_cast<size_t>(r.ptr - out);
    }
    if (precision < 1)
        precision = 1;
    char scientific[ole_float_text_max];
    auto r = std::to_chars(scientific, scientific + sizeof scientific, value,
                           std::chars_format::scientific, precision - 1);
    const char* e = static_cast<const char*>(
        std::memchr(scientific, 'e', static_cast<size_t>(r.ptr - scientific)));
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+'), r.ptr, exponent);
    size_t length;
    if (exponent >= -4 && exponent < precision) {
        auto f = std::to_chars(out, out + ole_float_text_max, value, std::chars_format::fixed,
                               precision - 1 - exponent);
        length = static_cast<size_t>(f.ptr - out);
        if (std::memchr(out, '.', length) != nullptr) {
            while (out[length - 1] == '0') --length;
            if (out[length - 1] == '.')
                --length;
        }
        return length;
    }
    // Mantissa without trailing zeros, then "E", the sign and at least two exponent digits.
    size_t mantissa = static_cast<size_t>(e - scientific);
    if (std::memchr(scientific, '.', mantissa) != nullptr) {
        while (scientific[mantissa - 1] == '0') --mantissa;
        if (scientific[mantissa - 1] == '.')
            --mantissa;
    }
    std::memcpy(out, scientific, mantissa);
    length = mantissa;
    out[length++] = 'E';
    out[length++] = exponent < 0 ? '-' : '+';
    int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10)
        out[length++] = '0';
    auto x = std::to_chars(out + length, out + ole_float_text_max, magnitude);
    return static_cast<size_t>(x.ptr - out);
}

double ole_atof(std::string_view text) noexcept {
    size_t pos = 0;
    while (pos < text.size() && is_space(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    if (pos >= text.size() || text[pos] == '+' || text[pos] == '-')
        return 0.0;
    double value = 0.0;
    const char* begin = text.data() + pos;
    if (read_double(begin, text.data() + text.size(), value) == begin)
        return 0.0;
    return negative ? -value : value;
}

int32_t ole_atoi(std::string_view text) noexcept {
    size_t pos = 0;
    while (pos < text.size() && is_space(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    while (pos < text.size() && is_digit(text[pos])) {
        const uint64_t digit = static_cast<uint64_t>(text[pos++] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            while (pos < text.size() && is_digit(text[pos])) ++pos;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    uint64_t bits = negative ? uint64_t{0} - magnitude : magnitude;
    // atoi is strtol cut to int: the low 32 bits of the saturated long.
    return static_cast<int32_t>(static_cast<uint32_t>(bits));
}
