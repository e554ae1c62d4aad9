#include "ole_scan.h"

#include <cstdarg>
#include <cstdint>
#include <limits>
#include <string>

namespace {
bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

int ole_scan(std::string_view text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    size_t pos = 0;
    int stored = 0;
    const char* f = format;
    bool failed = false;
    while (*f != '\0' && !failed) {
        if (is_space(*f)) {
            while (pos < text.size() && is_space(text[pos])) ++pos;
            ++f;
            continue;
        }
        if (*f != '%') {
            if (pos >= text.size()) {
                if (stored == 0)
                    stored = -1;
                break;
            }
            if (text[pos] != *f)
                break;
            ++pos;
            ++f;
            continue;
        }
        ++f;
        size_t width = 0;
        while (is_digit(*f)) width = width * 10 + static_cast<size_t>(*f++ - '0');
        if (width == 0)
            width = std::numeric_limits<size_t>::max();
        bool half = false;
        if (*f == 'h') {
            half = true;
            ++f;
        }
        const char conversion = *f++;
        while (pos < text.size() && is_space(text[pos])) ++pos;
        if (pos >= text.size()) {
            if (stored == 0)
                stored = -1;
            break;
        }
        if (conversion == 's') {
            size_t start = pos;
            while (pos < text.size() && !is_space(text[pos]) && pos - start < width) ++pos;
            *va_arg(args, std::string*) = std::string(text.substr(start, pos - start));
            ++stored;
            continue;
        }
        // 'd': an optional sign and decimal digits, within the width; saturating as strtol.
        size_t start = pos;
        bool negative = false;
        if (text[pos] == '+' || text[pos] == '-') {
            negative = text[pos] == '-';
            ++pos;
        }
        size_t digits_start = pos;
        uint64_t magnitude = 0;
        while (pos < text.size() && is_digit(text[pos]) && pos - start < width) {
            // Past 2^60 one more digit leaves the 64-bit range: saturate as strtol does.
            if (magnitude < (uint64_t{1} << 60)) {
                magnitude = magnitude * 10 + static_cast<uint64_t>(text[pos] - '0');
            } else {
                magnitude = uint64_t{1} << 63;
            }
            ++pos;
        }
        if (pos == digits_start) {
            failed = true;
            break;
        }
        int64_t value;
        if (negative) {
            value = magnitude >= (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                                     : -static_cast<int64_t>(magnitude);
        } else {
            value = magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                        ? std::numeric_limits<int64_t>::max()
                        : static_cast<int64_t>(magnitude);
        }
        if (half) {
            *va_arg(args, uint16_t*) = static_cast<uint16_t>(static_cast<uint64_t>(value));
        } else {
            *va_arg(args, int*) =
                static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
        }
        ++stored;
    }
    va_end(args);
    return stored;
}
