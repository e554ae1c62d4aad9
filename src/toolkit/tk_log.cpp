#include "tk_log.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <cwchar>

#include "tk_path.h"
#include "tk_text.h"

namespace {

std::string default_log_path() {
    std::string path = tk_get_module_path();
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        path.erase(dot);
    }
    return path + ".log";
}

void empty_file(const std::string& path) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) std::fclose(f);
}

constexpr size_t k_wide_line_chars = 10240;
constexpr size_t k_wide_line_bytes = 10240;

}  // namespace

tk_log::tk_log(std::optional<std::string> path, bool enabled, int32_t threshold, bool time_stamps)
    : m_path(path ? std::move(*path) : default_log_path()),
      m_threshold(threshold),
      m_enabled(enabled),
      m_time_stamps(time_stamps) {
    if (enabled) {
        empty_file(m_path);
        m_truncated = true;
    }
}

tk_log::~tk_log() = default;

void tk_log::set_path(std::string path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // A new trace file starts empty like the first one: its first written line empties it.
    if (path != m_path) m_truncated = false;
    m_path = std::move(path);
}

void tk_log::set_enabled(bool enabled) { m_enabled = enabled; }

void tk_log::write(int32_t level, std::string_view text) {
    if (!m_enabled) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_truncated) {
        empty_file(m_path);
        m_truncated = true;
    }
    if (level < m_threshold) return;
    FILE* f = std::fopen(m_path.c_str(), "ab");
    if (f == nullptr) return;
    if (m_time_stamps) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::fprintf(f, "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
    }
    std::fwrite(text.data(), 1, text.size(), f);
    if (m_line_break) std::fwrite("\r\n", 1, 2, f);
    std::fclose(f);
}

void tk_trace_line(int32_t level, const char* format, ...) {
    tk_log* log = tk_log::instance_if_any();
    if (log == nullptr) return;
    char small[1024];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        va_end(copy);
        log->write(level, std::string_view(small, static_cast<size_t>(n)));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    big.resize(static_cast<size_t>(n));
    log->write(level, big);
}

void tk_wtrace_line(int32_t level, const char16_t* format, ...) {
    tk_log* log = tk_log::instance_if_any();
    if (log == nullptr) return;
    va_list args;
    va_start(args, format);
    std::u16string wide = tk_vwformat(k_wide_line_chars, format, args);
    va_end(args);
    std::string utf8 = tk_to_utf8(wide);
    if (utf8.size() > k_wide_line_bytes) {
        // Cut on a character boundary so that the line stays valid UTF-8.
        size_t cut = k_wide_line_bytes;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
        utf8.resize(cut);
    }
    log->write(level, utf8);
}

std::u16string tk_wformat(size_t max_chars, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string out = tk_vwformat(max_chars, format, args);
    va_end(args);
    return out;
}

namespace {

void append_padded(std::u16string& out, std::u16string_view piece, int width, bool left) {
    size_t pad = width > 0 && static_cast<size_t>(width) > piece.size()
                     ? static_cast<size_t>(width) - piece.size()
                     : 0;
    if (!left) out.append(pad, u' ');
    out.append(piece);
    if (left) out.append(pad, u' ');
}

}  // namespace

std::u16string tk_vwformat(size_t max_chars, const char16_t* format, va_list args) {
    std::u16string out;
    if (format == nullptr) return out;
    const char16_t* p = format;
    while (*p != 0 && out.size() < max_chars) {
        if (*p != u'%') {
            out.push_back(*p++);
            continue;
        }
        const char16_t* spec_start = p++;
        if (*p == u'%') {
            out.push_back(u'%');
            ++p;
            continue;
        }
        // flags
        std::string spec = "%";
        bool left = false;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
            if (*p == u'-') left = true;
            spec.push_back(static_cast<char>(*p++));
        }
        int width = -1;
        if (*p == u'*') {
            width = va_arg(args, int);
            if (width < 0) {
                // A negative width from the argument list means left adjustment.
                left = true;
                width = -width;
                spec.push_back('-');
            }
            spec += std::to_string(width);
            ++p;
        } else if (*p >= u'0' && *p <= u'9') {
            width = 0;
            while (*p >= u'0' && *p <= u'9') {
                width = width * 10 + (*p - u'0');
                spec.push_back(static_cast<char>(*p++));
            }
        }
        int precision = -1;
        if (*p == u'.') {
            ++p;
            precision = 0;
            if (*p == u'*') {
                precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9') precision = precision * 10 + (*p++ - u'0');
            }
            if (precision >= 0) spec += "." + std::to_string(precision);
        }
        // length: hh, h, l, ll, j, z, t, L, I64
        enum { len_int, len_char, len_short, len_long, len_llong, len_size, len_ldouble } len =
            len_int;
        for (;;) {
            if (*p == u'h') {
                len = len == len_short ? len_char : len_short;
                ++p;
            } else if (*p == u'L') {
                len = len_ldouble;
                ++p;
            } else if (*p == u'j' || *p == u't') {
                len = len_llong;
                ++p;
            } else if (*p == u'l') {
                len = len == len_long ? len_llong : len_long;
                ++p;
            } else if (*p == u'z') {
                len = len_size;
                ++p;
            } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
                len = len_llong;
                p += 3;
            } else {
                break;
            }
        }
        char16_t conv = *p;
        if (conv == 0) {
            out.append(spec_start, p);
            break;
        }
        ++p;
        char buffer[512];
        switch (conv) {
            case u's': {
                const char16_t* s = va_arg(args, const char16_t*);
                std::u16string_view text = s ? std::u16string_view(s) : std::u16string_view(u"(null)");
                if (precision >= 0 && text.size() > static_cast<size_t>(precision)) {
                    text = text.substr(0, static_cast<size_t>(precision));
                }
                append_padded(out, text, width, left);
                break;
            }
            case u'S': {
                const char* s = va_arg(args, const char*);
                std::u16string text = tk_from_utf8(s ? s : "(null)");
                if (precision >= 0 && text.size() > static_cast<size_t>(precision)) {
                    text.resize(static_cast<size_t>(precision));
                }
                append_padded(out, text, width, left);
                break;
            }
            case u'c': {
                char16_t c = static_cast<char16_t>(va_arg(args, int));
                append_padded(out, std::u16string_view(&c, 1), width, left);
                break;
            }
            case u'd':
            case u'i':
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                spec += "ll";
                spec.push_back(static_cast<char>(conv));
                bool is_signed = conv == u'd' || conv == u'i';
                long long value = 0;
                unsigned long long uvalue = 0;
                switch (len) {
                    case len_int:
                    case len_ldouble:
                        if (is_signed) value = va_arg(args, int);
                        else uvalue = va_arg(args, unsigned int);
                        break;
                    case len_char:
                        if (is_signed) value = static_cast<signed char>(va_arg(args, int));
                        else uvalue = static_cast<unsigned char>(va_arg(args, unsigned int));
                        break;
                    case len_short:
                        if (is_signed) value = static_cast<short>(va_arg(args, int));
                        else uvalue = static_cast<unsigned short>(va_arg(args, unsigned int));
                        break;
                    case len_long:
                        if (is_signed) value = va_arg(args, long);
                        else uvalue = va_arg(args, unsigned long);
                        break;
                    case len_llong:
                        if (is_signed) value = va_arg(args, long long);
                        else uvalue = va_arg(args, unsigned long long);
                        break;
                    case len_size:
                        if (is_signed) value = static_cast<long long>(va_arg(args, size_t));
                        else uvalue = va_arg(args, size_t);
                        break;
                }
                if (is_signed) std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
                else std::snprintf(buffer, sizeof buffer, spec.c_str(), uvalue);
                for (const char* b = buffer; *b; ++b) out.push_back(static_cast<char16_t>(*b));
                break;
            }
            case u'e':
            case u'E':
            case u'f':
            case u'F':
            case u'g':
            case u'G': {
                if (len == len_ldouble) {
                    spec.push_back('L');
                    spec.push_back(static_cast<char>(conv));
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), va_arg(args, long double));
                } else {
                    spec.push_back(static_cast<char>(conv));
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), va_arg(args, double));
                }
                for (const char* b = buffer; *b; ++b) out.push_back(static_cast<char16_t>(*b));
                break;
            }
            case u'p': {
                std::snprintf(buffer, sizeof buffer, "%p", va_arg(args, void*));
                for (const char* b = buffer; *b; ++b) out.push_back(static_cast<char16_t>(*b));
                break;
            }
            default:
                // An unknown conversion is copied as it stands; it consumes no argument.
                out.append(spec_start, p);
                break;
        }
    }
    if (out.size() > max_chars) out.resize(max_chars);
    return out;
}
