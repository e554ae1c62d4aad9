#include "ole_date.h"

#include <cmath>

#include "ole_date_number.h"
#include "ole_number.h"
#include "ole_scan.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

// Only the space character is trimmed; tabs and line breaks stay.
std::string_view trim_spaces(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    return text.substr(begin, end - begin);
}

char* put_number(char* p, unsigned value, int width) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = n; i < width; ++i) *p++ = '0';
    while (n > 0) *p++ = digits[--n];
    return p;
}

}  // namespace

ole_date::ole_date(const ole_systemtime& time) : m_date_kind(kind_date_time), m_time(time) {
    tk_trace(1, "ole_date::ole_date(SYSTEMTIME)");
    refine_type();
}

ole_date::ole_date(std::string_view text) {
    tk_trace(1, "ole_date::ole_date('%.*s')", static_cast<int>(text.size()), text.data());
    parse(text);
}

ole_date::ole_date(std::u16string_view text) {
    std::string narrow = tk_to_utf8(text);
    tk_trace(1, "ole_date::ole_date('%s')", narrow.c_str());
    parse(narrow);
}

void ole_date::parse(std::string_view text) {
    m_time = ole_systemtime{};
    std::string_view t = trim_spaces(text);
    tk_trace(1, "After tk_trim: %.*s", static_cast<int>(t.size()), t.data());
    for (const char* marker : {"AM", "PM", "am", "pm"}) {
        size_t at = t.find(marker);
        if (at != std::string_view::npos) {
            t = trim_spaces(t.substr(0, at));
            break;
        }
    }
    if (t.size() <= 4) {
        tk_trace(2, "Invalid date/time format: '%.*s'", static_cast<int>(text.size()), text.data());
        return;
    }
    import_from_string(t);
    if ((m_date_kind == kind_date_time || m_date_kind == kind_date) && m_time.day > 31 &&
        m_time.year < 32) {
        std::swap(m_time.day, m_time.year);  // the text was written day first
    }
    // 12 AM stays hour 12; PM moves the morning hours to the afternoon.
    const bool pm =
        text.find("PM") != std::string_view::npos || text.find("pm") != std::string_view::npos;
    if (pm && m_time.hour <= 11)
        m_time.hour = static_cast<uint16_t>(m_time.hour + 12);
}

void ole_date::import_from_string(std::string_view t) {
    tk_trace(1, "ole_date::import_from_string");
    auto clear = [this] {
        m_time = ole_systemtime{};
        m_date_kind = kind_invalid;
    };
    auto store = [this](int year, int month, int day, int hour, int minute, int second) {
        m_time.year = static_cast<uint16_t>(year);
        m_time.month = static_cast<uint16_t>(month);
        m_time.day = static_cast<uint16_t>(day);
        m_time.hour = static_cast<uint16_t>(hour);
        m_time.minute = static_cast<uint16_t>(minute);
        m_time.second = static_cast<uint16_t>(second);
    };
    if (t.size() == 14) {
        tk_trace(1, "Trying timestamp format (1)...");
        int y, mo, d, h, mi, s;
        if (ole_scan(t, "%4d%02d%02d%02d%02d%02d", &y, &mo, &d, &h, &mi, &s) == 6) {
            store(y, mo, d, h, mi, s);
            m_date_kind = kind_date_time;
            if (is_valid())
                return;
        }
        clear();
    }
    if (t.size() == 8) {
        tk_trace(1, "Trying timestamp format (2)...");
        int y, mo, d;
        if (ole_scan(t, "%4d%02d%02d", &y, &mo, &d) == 3) {
            store(y, mo, d, 0, 0, 0);
            m_date_kind = kind_date;
            if (is_valid())
                return;
        }
        clear();
    }
    {
        tk_trace(1, "Trying pure time format...");
        std::string rest;
        if (ole_scan(t, "%hd:%hd:%s", &m_time.hour, &m_time.minute, &rest) == 3) {
            m_date_kind = kind_time;
            if (is_valid()) {
                process_milliseconds(rest.c_str());
                return;
            }
        }
        clear();
    }
    double number;
    ole_systemtime parsed;
    if (ole_var_date_from_str(t, number) == OLE_S_OK &&
        ole_variant_time_to_system_time(number, parsed)) {
        tk_trace(1, "Got datetime using Microsoft API");
        m_time = parsed;
        m_date_kind = kind_date_time;
        refine_type();
        return;
    }
    static const char* const formats[] = {"%hd-%hd-%hd %hd:%hd:%s", "%hd/%hd/%hd %hd:%hd:%s",
                                          "%hd.%hd.%hd %hd:%hd:%s"};
    for (int i = 0; i < 3; ++i) {
        tk_trace(1, "Trying datetime format #%d", i);
        std::string rest;
        int items = ole_scan(t, formats[i], &m_time.year, &m_time.month, &m_time.day, &m_time.hour,
                             &m_time.minute, &rest);
        if (items == 3) {
            tk_trace(1, "Format #%d succeeded (3 items)", i);
            m_date_kind = kind_date;
            if (is_valid())
                return;
        } else if (items == 6) {
            tk_trace(1, "Format #%d succeeded (6 items)", i);
            m_date_kind = kind_date_time;
            if (is_valid()) {
                process_milliseconds(rest.c_str());
                refine_type();
                return;
            }
        }
    }
    m_date_kind = kind_invalid;
    tk_trace(2, "Invalid date/time format: '%.*s'", static_cast<int>(t.size()), t.data());
}

bool ole_date::is_valid() const {
    tk_trace(1, "ole_date::is_valid");
    if (m_date_kind == kind_invalid)
        return false;
    if (m_time.day == 0 && m_time.month == 0 && m_time.year == 0) {
        tk_trace(1, "DATETIME is a pute time");
    } else {
        if (m_time.month == 0 || m_time.month > 12) {
            tk_trace(1, "Invalid month");
            return false;
        }
        if (m_time.day == 0 || m_time.year == 0 || (m_time.year > 31 && m_time.day > 31)) {
            tk_trace(1, "Invalid day and/or year");
            return false;
        }
    }
    if (m_time.hour > 60 || m_time.minute > 60 || m_time.second > 60) {
        tk_trace(1, "Invalid time");
        return false;
    }
    return true;
}

void ole_date::refine_type() {
    tk_trace(1, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", m_time.year, m_time.month, m_time.day,
             m_time.hour, m_time.minute, m_time.second);
    const bool no_date = m_time.day == 0 && m_time.month == 0 && m_time.year == 0;
    const bool full_date = m_time.day != 0 && m_time.month != 0 && m_time.year != 0;
    if (no_date) {
        m_date_kind = kind_time;
    } else if (full_date && m_time.hour == 0 && m_time.minute == 0 && m_time.second == 0) {
        m_date_kind = kind_date;
    }
}

void ole_date::process_milliseconds(const char* text) {
    tk_trace(1, "ole_date::process_milliseconds");
    TK_ASSERT(text != nullptr);
    tk_trace(1, "Got row sec: '%s'", text);
    double x = ole_atof(text);
    // A seconds text is small; anything outside the 16-bit field cannot be a second and is
    // clamped rather than converted with undefined behaviour.
    if (!(x > -32768.0))
        x = -32768.0;
    if (x > 65535.0)
        x = 65535.0;
    double whole = std::trunc(x);
    int second = static_cast<int>(whole);
    int milliseconds = static_cast<int>((x - whole) * 1000.0);
    tk_trace(1, "Got sec: %d", second);
    tk_trace(1, "Got msec: %d", milliseconds);
    m_time.second = static_cast<uint16_t>(second);
    m_time.milliseconds = static_cast<uint16_t>(milliseconds);
    if (milliseconds > 499)
        ++m_time.second;
    if (m_time.second > 59) {
        ++m_time.minute;
        m_time.second = static_cast<uint16_t>(m_time.second - 60);
    }
    if (m_time.minute > 59) {
        ++m_time.hour;
        m_time.minute = static_cast<uint16_t>(m_time.minute - 60);
    }
    if (m_time.hour > 23)
        m_time.hour = static_cast<uint16_t>(m_time.hour - 24);
    tk_trace(1, "After processing: %02d:%02d:%02d", m_time.hour, m_time.minute, m_time.second);
}

size_t ole_date::to_chars(char* out) const noexcept {
    char* p = out;
    auto put_date = [&] {
        p = put_number(p, m_time.year, 4);
        *p++ = '-';
        p = put_number(p, m_time.month, 2);
        *p++ = '-';
        p = put_number(p, m_time.day, 2);
    };
    auto put_time = [&] {
        *p++ = ' ';
        p = put_number(p, m_time.hour, 2);
        *p++ = ':';
        p = put_number(p, m_time.minute, 2);
        *p++ = ':';
        p = put_number(p, m_time.second, 2);
    };
    switch (m_date_kind) {
        case kind_date_time:
            put_date();
            if (!(m_b_omit_zero_time && m_time.hour == 0 && m_time.minute == 0 &&
                  m_time.second == 0)) {
                put_time();
            }
            break;
        case kind_date:
            put_date();
            break;
        case kind_time:
            for (char c : {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0'}) *p++ = c;
            put_time();
            break;
        default:
            break;
    }
    return static_cast<size_t>(p - out);
}

std::string ole_date::to_string() const {
    tk_trace(1, "ole_date::to_string");
    char buffer[text_max];
    return std::string(buffer, to_chars(buffer));
}

std::u16string ole_date::to_wstring() const {
    tk_trace(1, "ole_date::to_wstring");
    char buffer[text_max];
    size_t length = to_chars(buffer);
    return std::u16string(buffer, buffer + length);
}

void ole_date::append_string(std::string& out) const {
    char buffer[text_max];
    out.append(buffer, to_chars(buffer));
}
