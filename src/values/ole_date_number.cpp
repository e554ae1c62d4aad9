#include "ole_date_number.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int64_t unix_epoch_in_ole_days = 25569;  // 1970-01-01 minus 1899-12-30
constexpr int64_t seconds_per_day = 86400;
constexpr int64_t min_day = -657434;  // 0100-01-01
constexpr int64_t max_day = 2958465;  // 9999-12-31

bool is_leap(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned days_in_month(int64_t year, unsigned month) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

}  // namespace

int64_t ole_days_from_civil(int64_t year, unsigned month, unsigned day) noexcept {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + unix_epoch_in_ole_days;
}

void ole_civil_from_days(int64_t days, int64_t& year, unsigned& month, unsigned& day) noexcept {
    const int64_t z = days - unix_epoch_in_ole_days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2);
}

namespace {
// Days and seconds of the day as the OLE number: the time is added after 1899-12-30 and taken
// away before it.
double compose(int64_t days, double seconds) {
    double fraction = seconds / static_cast<double>(seconds_per_day);
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}
}  // namespace

bool ole_system_time_to_variant_time(const ole_systemtime& time, double& out) noexcept {
    if (time.month == 0 || time.month > 12 || time.day == 0 || time.day > 31 || time.year > 9999) {
        return false;
    }
    int64_t year = time.year < 100 ? time.year + 1900 : time.year;
    int64_t days = ole_days_from_civil(year, time.month, 1) + (time.day - 1);
    int64_t seconds = int64_t{time.hour} * 3600 + int64_t{time.minute} * 60 + time.second;
    days += seconds / seconds_per_day;
    seconds %= seconds_per_day;
    if (days < min_day || days > max_day)
        return false;
    out = compose(days, static_cast<double>(seconds));
    return true;
}

bool ole_variant_time_to_system_time(double date, ole_systemtime& out) noexcept {
    if (!(date > static_cast<double>(min_day - 1) && date < static_cast<double>(max_day + 1))) {
        return false;
    }
    double whole = std::trunc(date);
    int64_t days = static_cast<int64_t>(whole);
    // A date number holds the time to about a microsecond; the small addition keeps a half
    // second that the number stores just below it rounding up.
    int64_t seconds =
        static_cast<int64_t>(std::floor((std::fabs(date - whole) + 1e-11) * 86400.0 + 0.5));
    if (seconds >= seconds_per_day) {
        seconds -= seconds_per_day;
        ++days;
    }
    if (days < min_day || days > max_day)
        return false;
    int64_t year;
    unsigned month, day;
    ole_civil_from_days(days, year, month, day);
    out.year = static_cast<uint16_t>(year);
    out.month = static_cast<uint16_t>(month);
    out.day = static_cast<uint16_t>(day);
    out.day_of_week = static_cast<uint16_t>(((days % 7) + 7 + 6) % 7);  // 1899-12-30: Saturday
    out.hour = static_cast<uint16_t>(seconds / 3600);
    out.minute = static_cast<uint16_t>(seconds / 60 % 60);
    out.second = static_cast<uint16_t>(seconds % 60);
    out.milliseconds = 0;
    return true;
}

namespace {

enum class token_kind { number, word, separator };

struct token {
    token_kind kind;
    char separator;  // the separator character (white space as ' ')
    uint32_t value;  // a number's value
    int digits;      // a number's digit count; a word's length
    const char* text;
};

constexpr int max_tokens = 24;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool word_is(const token& t, const char* name) {
    size_t n = std::strlen(name);
    if (static_cast<size_t>(t.digits) != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (lower(t.text[i]) != name[i])
            return false;
    }
    return true;
}

// 1 to 12 for a month name or its three-letter form ("sept" too), 0 otherwise.
int month_of(const token& t) {
    static const char* const names[] = {"january",   "february", "march",    "april",
                                        "may",       "june",     "july",     "august",
                                        "september", "october",  "november", "december"};
    for (int m = 0; m < 12; ++m) {
        if (word_is(t, names[m]))
            return m + 1;
        char abbreviation[4] = {names[m][0], names[m][1], names[m][2], '\0'};
        if (word_is(t, abbreviation))
            return m + 1;
    }
    if (word_is(t, "sept"))
        return 9;
    return 0;
}

bool is_weekday(const token& t) {
    static const char* const names[] = {"sunday",   "monday", "tuesday", "wednesday",
                                        "thursday", "friday", "saturday"};
    for (const char* name : names) {
        char abbreviation[4] = {name[0], name[1], name[2], '\0'};
        if (word_is(t, name) || word_is(t, abbreviation))
            return true;
    }
    return false;
}

int tokenize(std::string_view text, token* tokens) {
    int count = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        if (count == max_tokens)
            return -1;
        token& t = tokens[count];
        t = token{token_kind::separator, ' ', 0, 0, text.data() + pos};
        char c = text[pos];
        if (c >= '0' && c <= '9') {
            t.kind = token_kind::number;
            while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
                if (t.digits < 9)
                    t.value = t.value * 10 + static_cast<uint32_t>(text[pos] - '0');
                ++t.digits;
                ++pos;
            }
        } else if (is_alpha(c)) {
            t.kind = token_kind::word;
            while (pos < text.size() && is_alpha(text[pos])) {
                ++t.digits;
                ++pos;
            }
        } else if (is_space(c)) {
            while (pos < text.size() && is_space(text[pos])) ++pos;
            // White space beside another separator adds nothing.
            if (count > 0 && tokens[count - 1].kind == token_kind::separator)
                continue;
        } else if (c == '-' || c == '/' || c == '.' || c == ':' || c == ',') {
            t.separator = c;
            ++pos;
            if (count > 0 && tokens[count - 1].kind == token_kind::separator &&
                tokens[count - 1].separator == ' ') {
                tokens[count - 1] = t;  // "6 , 2004" reads as "6, 2004"
                continue;
            }
        } else {
            return -1;
        }
        ++count;
    }
    return count;
}

bool is_separator(const token* tokens, int count, int i, char c) {
    return i < count && tokens[i].kind == token_kind::separator && tokens[i].separator == c;
}

uint32_t full_year(const token& t) {
    if (t.digits > 2)
        return t.value;
    return t.value < 30 ? 2000 + t.value : 1900 + t.value;
}

}  // namespace

ole_hresult ole_var_date_from_str(std::string_view text, double& out) noexcept {
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    token tokens[max_tokens];
    const int count = tokenize(text, tokens);
    if (count <= 0)
        return OLE_DISP_E_TYPEMISMATCH;

    const token* numbers[3];
    int number_count = 0;
    int month_name = 0;
    bool has_time = false;
    int ampm = 0;  // 1 AM, 2 PM
    uint32_t hour = 0, minute = 0, second = 0;
    double fraction = 0.0;

    for (int i = 0; i < count; ++i) {
        const token& t = tokens[i];
        if (t.kind == token_kind::separator) {
            if (t.separator == ':')
                return OLE_DISP_E_TYPEMISMATCH;
            continue;
        }
        if (t.kind == token_kind::word) {
            if (int m = month_of(t); m != 0) {
                if (month_name != 0)
                    return OLE_DISP_E_TYPEMISMATCH;
                month_name = m;
            } else if (word_is(t, "am") || word_is(t, "pm")) {
                if (ampm != 0)
                    return OLE_DISP_E_TYPEMISMATCH;
                ampm = word_is(t, "am") ? 1 : 2;
            } else if (!is_weekday(t)) {
                return OLE_DISP_E_TYPEMISMATCH;
            }
            continue;
        }
        if (t.digits > 9)
            return OLE_DISP_E_TYPEMISMATCH;
        if (is_separator(tokens, count, i + 1, ':')) {
            // hours:minutes[:seconds[.fraction]]
            if (has_time || i + 2 >= count || tokens[i + 2].kind != token_kind::number) {
                return OLE_DISP_E_TYPEMISMATCH;
            }
            has_time = true;
            hour = t.value;
            minute = tokens[i + 2].value;
            if (tokens[i + 2].digits > 2)
                return OLE_DISP_E_TYPEMISMATCH;
            i += 2;
            if (is_separator(tokens, count, i + 1, ':')) {
                if (i + 2 >= count || tokens[i + 2].kind != token_kind::number ||
                    tokens[i + 2].digits > 2) {
                    return OLE_DISP_E_TYPEMISMATCH;
                }
                second = tokens[i + 2].value;
                i += 2;
                if (is_separator(tokens, count, i + 1, '.') && i + 2 < count &&
                    tokens[i + 2].kind == token_kind::number) {
                    const token& f = tokens[i + 2];
                    int digits = f.digits < 9 ? f.digits : 9;
                    fraction = static_cast<double>(f.value) / std::pow(10.0, digits);
                    i += 2;
                }
            }
            continue;
        }
        if (number_count == 3)
            return OLE_DISP_E_TYPEMISMATCH;
        numbers[number_count++] = &t;
    }

    int64_t days = 0;
    if (number_count > 0 || month_name != 0) {
        uint32_t year, month, day;
        if (month_name != 0) {
            if (number_count != 2)
                return OLE_DISP_E_TYPEMISMATCH;
            month = static_cast<uint32_t>(month_name);
            const token* a = numbers[0];
            const token* b = numbers[1];
            if (a->digits > 2 || a->value > 31)
                std::swap(a, b);  // the year first
            day = a->value;
            year = full_year(*b);
        } else {
            if (number_count != 3)
                return OLE_DISP_E_TYPEMISMATCH;
            const token* a = numbers[0];
            if (a->digits > 2 || a->value > 31) {
                year = full_year(*a);
                month = numbers[1]->value;
                day = numbers[2]->value;
            } else {
                month = a->value;
                day = numbers[1]->value;
                year = full_year(*numbers[2]);
                if (month > 12 && day <= 12)
                    std::swap(month, day);
            }
        }
        if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
            day > days_in_month(year, month)) {
            return OLE_DISP_E_TYPEMISMATCH;
        }
        days = ole_days_from_civil(year, month, day);
    } else if (!has_time) {
        return OLE_DISP_E_TYPEMISMATCH;
    }
    if (ampm != 0) {
        if (!has_time || hour > 12)
            return OLE_DISP_E_TYPEMISMATCH;
        if (ampm == 2 && hour < 12)
            hour += 12;
        if (ampm == 1 && hour == 12)
            hour = 0;
    }
    if (hour > 23 || minute > 59 || second > 59)
        return OLE_DISP_E_TYPEMISMATCH;
    out = compose(days, static_cast<double>(hour * 3600 + minute * 60 + second) + fraction);
    return OLE_S_OK;
}
