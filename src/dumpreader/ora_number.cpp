#include "ora_number.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "ora_dump_format.h"

namespace {

using u128 = unsigned __int128;

constexpr double k_pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool digits_valid(const ora_number_parts& p) {
    for (int i = 0; i < p.count; ++i) {
        if (p.digit[i] < 0 || p.digit[i] > 99) return false;
    }
    return true;
}

}  // namespace

bool ora_number_split(const uint8_t* b, size_t n, ora_number_parts& out) {
    out = ora_number_parts();
    if (n == 0) return false;
    if (b[0] == ora_fmt::number_zero) {
        out.zero = true;
        return true;
    }
    size_t end = n;
    if ((b[0] & 0x80) != 0) {
        out.exponent = static_cast<int>(b[0]) - ora_fmt::number_positive_bias;
    } else {
        // Negative: the top bit of the exponent byte is clear; the closing 102 is missing only
        // when all 20 digit bytes are used.
        out.negative = true;
        out.exponent = ora_fmt::number_negative_bias - static_cast<int>(b[0]);
        if (n > 1 && b[n - 1] == ora_fmt::number_negative_end) end = n - 1;
    }
    if (end > 21) end = 21;
    for (size_t i = 1; i < end; ++i) {
        out.digit[out.count++] = out.negative ? 101 - static_cast<int>(b[i]) : b[i] - 1;
    }
    // Oracle never stores trailing zero digits; drop them so every form below is canonical.
    while (out.count > 0 && out.digit[out.count - 1] == 0) --out.count;
    if (out.count == 0) out.zero = true;
    return true;
}

double ora_number_to_double(const uint8_t* bytes, size_t length) {
    ora_number_parts p;
    if (!ora_number_split(bytes, length, p) || p.zero) return 0.0;
    double result;
    // Power of ten of the last digit pair.
    int scale10 = 2 * (p.exponent - p.count + 1);
    if (digits_valid(p) && p.count <= 8) {
        uint64_t mantissa = 0;
        for (int i = 0; i < p.count; ++i) mantissa = mantissa * 100 + static_cast<uint64_t>(p.digit[i]);
        if (mantissa <= (uint64_t{1} << 53) && scale10 >= -22 && scale10 <= 22) {
            // Both operands exact: one correctly rounded operation.
            double m = static_cast<double>(mantissa);
            result = scale10 >= 0 ? m * k_pow10[scale10] : m / k_pow10[-scale10];
            return p.negative ? -result : result;
        }
    }
    if (digits_valid(p)) {
        // Longer mantissas: the decimal text, read with correct rounding.
        char text[64];
        char* t = text;
        for (int i = 0; i < p.count; ++i) {
            *t++ = static_cast<char>('0' + p.digit[i] / 10);
            *t++ = static_cast<char>('0' + p.digit[i] % 10);
        }
        *t++ = 'e';
        auto r = std::to_chars(t, text + sizeof(text), scale10);
        double value = 0.0;
        auto parsed = std::from_chars(text, r.ptr, value);
        if (parsed.ec == std::errc()) return p.negative ? -value : value;
    }
    // Digit bytes out of range (damaged data): the plain sum, as far as it goes.
    result = 0.0;
    for (int i = 0; i < p.count; ++i) {
        result += p.digit[i] * std::pow(100.0, p.exponent - i);
    }
    return p.negative ? -result : result;
}

bool ora_number_to_int64(const uint8_t* bytes, size_t length, int64_t& out) {
    ora_number_parts p;
    if (!ora_number_split(bytes, length, p)) return false;
    if (p.zero) {
        out = 0;
        return true;
    }
    if (!digits_valid(p) || p.exponent < p.count - 1 || p.exponent > 9) return false;
    u128 v = 0;
    for (int i = 0; i <= p.exponent; ++i) v = v * 100 + static_cast<unsigned>(i < p.count ? p.digit[i] : 0);
    u128 limit = p.negative ? (u128{1} << 63)
                                         : (u128{1} << 63) - 1;
    if (v > limit) return false;
    out = p.negative ? static_cast<int64_t>(-static_cast<__int128>(v)) : static_cast<int64_t>(v);
    return true;
}

bool ora_number_to_decimal(const uint8_t* bytes, size_t length, ole_decimal& out) {
    ora_number_parts p;
    if (!ora_number_split(bytes, length, p)) return false;
    out = ole_decimal();
    if (p.zero) return true;
    if (!digits_valid(p)) return false;
    int scale10 = 2 * (p.exponent - p.count + 1);
    u128 v = 0;
    const u128 max = u128{1} << 96;
    for (int i = 0; i < p.count; ++i) {
        v = v * 100 + static_cast<unsigned>(p.digit[i]);
        if (v >= max) return false;
    }
    int scale = 0;
    if (scale10 >= 0) {
        for (int i = 0; i < scale10; ++i) {
            v *= 10;
            if (v >= max) return false;
        }
    } else {
        scale = -scale10;
        // A last digit pair ending in 0 (0.5 is the pair 50) leaves one zero to drop.
        if (v % 10 == 0) {
            v /= 10;
            --scale;
        }
        if (scale > ole_decimal::max_scale) return false;
    }
    out.scale = static_cast<uint8_t>(scale);
    out.sign = p.negative ? ole_decimal::sign_negative : 0;
    out.hi32 = static_cast<uint32_t>(v >> 64);
    out.lo64 = static_cast<uint64_t>(v);
    return true;
}

int ora_number_significant_digits(const uint8_t* bytes, size_t length) {
    ora_number_parts p;
    if (!ora_number_split(bytes, length, p) || p.zero) return 0;
    int digits = 2 * p.count;
    if (p.digit[0] < 10) --digits;
    if (p.count > 0 && p.digit[p.count - 1] % 10 == 0) --digits;
    return digits;
}

bool ora_date_to_systemtime(const uint8_t* b, size_t n, bool with_fraction, ole_systemtime& out) {
    uint8_t d[ora_fmt::timestamp_fraction_bytes] = {};
    std::memcpy(d, b, n < sizeof(d) ? n : sizeof(d));
    uint16_t year = static_cast<uint16_t>(static_cast<uint8_t>(d[0] - 100) * 100 +
                                          static_cast<uint8_t>(d[1] - 100));
    if (year > 9999) return false;
    out = ole_systemtime();
    out.year = year;
    out.month = d[2];
    out.day = d[3];
    auto time_part = [](uint8_t v) -> uint16_t {
        return static_cast<int8_t>(v) < 1 ? 0 : static_cast<uint16_t>(v - 1);
    };
    out.hour = time_part(d[4]);
    out.minute = time_part(d[5]);
    out.second = time_part(d[6]);
    if (with_fraction && n >= ora_fmt::timestamp_fraction_bytes) {
        uint32_t nanos = (uint32_t{d[7]} << 24) | (uint32_t{d[8]} << 16) | (uint32_t{d[9]} << 8) |
                         uint32_t{d[10]};
        if (nanos < 1000000000u) out.milliseconds = static_cast<uint16_t>(nanos / 1000000u);
    }
    return true;
}
