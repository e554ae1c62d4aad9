#include "fixture_value.h"

#include "tk_exception.h"

fixture_value fixture_value::null() {
    return fixture_value();
}

fixture_value fixture_value::number(std::string decimal_text) {
    fixture_value v;
    v.type = kind::number;
    v.decimal = std::move(decimal_text);
    return v;
}

fixture_value fixture_value::text(std::u16string text) {
    fixture_value v;
    v.type = kind::text;
    v.chars = std::move(text);
    return v;
}

fixture_value fixture_value::bytes(std::vector<uint8_t> data) {
    fixture_value v;
    v.type = kind::bytes;
    v.data = std::move(data);
    return v;
}

fixture_value fixture_value::date(int year, int month, int day, int hour, int minute, int second) {
    fixture_value v;
    v.type = kind::moment;
    v.when = ora_moment{year, month, day, hour, minute, second, 0};
    return v;
}

fixture_value fixture_value::timestamp(int year, int month, int day, int hour, int minute,
                                       int second, uint32_t nanoseconds) {
    fixture_value v = date(year, month, day, hour, minute, second);
    v.when.nanoseconds = nanoseconds;
    v.timestamp_value = true;
    return v;
}

fixture_value fixture_value::timestamp_tz(const ora_moment& moment, int tz_hour, int tz_minute) {
    fixture_value v;
    v.type = kind::moment;
    v.when = moment;
    v.timestamp_value = true;
    v.with_zone = true;
    v.tz_hour = tz_hour;
    v.tz_minute = tz_minute;
    return v;
}

fixture_value fixture_value::encoded(std::vector<uint8_t> data) {
    fixture_value v;
    v.type = kind::encoded;
    v.data = std::move(data);
    return v;
}

fixture_value fixture_value::chunked(uint16_t chunk) const {
    TK_ASSERT(chunk > 0 && chunk <= 0x7FFF);
    fixture_value v = *this;
    v.chunk_length = chunk;
    return v;
}

fixture_value fixture_value::lob(lob_layout layout, uint16_t chunk, int fffa_words) const {
    TK_ASSERT(layout == lob_layout::plain || chunk > 0);
    TK_ASSERT(fffa_words >= 0);
    fixture_value v = *this;
    v.lob_form = layout;
    v.lob_chunk_length = chunk;
    v.lob_fffa_words = fffa_words;
    return v;
}

fixture_value fixture_value::with_length_word(uint16_t word) const {
    fixture_value v = *this;
    v.length_word = word;
    return v;
}
