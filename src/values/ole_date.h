// ole_date: a date, a date and time, or a time of day, read from text and printed as MySQL reads
// it.
//
// It holds a calendar record and a date kind: 1 date and time, 2 date only, 3 time only, 0 not a
// valid date or time. ole_variant prints VT_DATE values and parses text into VT_DATE through it;
// the MySQL literal writer canonicalises date texts with it and the date post-processing counts
// the kinds of the values of date columns. Parsing never throws: a text that no step accepts gives
// kind 0 and a level-2 trace. Printed forms: "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD" and
// "0000-00-00 HH:MM:SS"; milliseconds are never printed.
//
// A plain value, owned by whoever makes it; not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ole_types.h"

class ole_date {
public:
    // Date kinds; the same numbers are the date flags of columns.
    static constexpr int32_t kind_invalid = 0;
    static constexpr int32_t kind_date_time = 1;
    static constexpr int32_t kind_date = 2;
    static constexpr int32_t kind_time = 3;

    // Copies the record, kind 1, then refine_type.
    explicit ole_date(const ole_systemtime& time);
    // Parses the text; the wide form converts it to narrow text first.
    explicit ole_date(std::string_view text);
    explicit ole_date(const char* text) : ole_date(std::string_view(text ? text : "")) {}
    explicit ole_date(std::u16string_view text);

    bool is_valid() const;
    // Kind 3 when the date is all zero; kind 2 when the time is all zero and the date is not.
    void refine_type();
    // The parsing steps after trimming and AM/PM handling (see the source).
    void import_from_string(std::string_view text);
    // Seconds text with an optional fraction: stores second and milliseconds, rounds a fraction
    // of half a second or more up and carries into minute and hour (not into the day). A null
    // text is an assertion failure.
    void process_milliseconds(const char* text);

    std::string to_string() const;
    std::u16string to_wstring() const;
    // Appends the to_string text to out (no temporary string).
    void append_string(std::string& out) const;
    // Writes the to_string text into out (at least text_max bytes, no terminating zero) and
    // returns its length.
    static constexpr size_t text_max = 40;
    size_t to_chars(char* out) const noexcept;

    int32_t date_kind() const noexcept { return m_date_kind; }
    const ole_systemtime& systemtime() const noexcept { return m_time; }
    bool omit_zero_time() const noexcept { return m_b_omit_zero_time; }
    void set_omit_zero_time(bool omit) noexcept { m_b_omit_zero_time = omit; }

private:
    void parse(std::string_view text);
    bool m_b_omit_zero_time = true;
    int32_t m_date_kind = kind_invalid;
    ole_systemtime m_time;
};
