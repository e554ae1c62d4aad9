// Oracle's internal value formats, written: NUMBER from decimal text, DATE and TIMESTAMP from
// calendar fields, text in an Oracle character set.
//
// Used by the fixture writer (classic_dump_writer) and by tests that want the exact bytes Oracle
// stores for a value. Plain functions without state; any thread may call them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// NUMBER bytes of a decimal text such as "1234", "-0.5", "12.5000" or "0": byte 0 holds the sign
// and the base-100 exponent, then base-100 digits, most significant first; a negative value with
// fewer than 20 digit bytes ends with 102; zero is the single byte 0x80. Leading and trailing
// zeros are dropped. Text that is not [-]digits[.digits], or that needs more than 20 base-100
// digits, is an assertion failure.
std::vector<uint8_t> ora_number_bytes(std::string_view decimal_text);

// A calendar moment as Oracle DATE and TIMESTAMP values hold it. Years before the common era are
// negative (-4712 is 4713 BC as Oracle counts, year 0 does not exist).
struct ora_moment {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    uint32_t nanoseconds = 0;  // TIMESTAMP only
};

// The 7 DATE bytes: century + 100, year of century + 100, month, day, hour + 1, minute + 1,
// second + 1; before the common era the century and year bytes count down from 100.
std::vector<uint8_t> ora_date_bytes(const ora_moment& moment);
// TIMESTAMP: the DATE bytes, then (when there are nanoseconds) the nanoseconds as 4 big-endian
// bytes, 11 bytes in all.
std::vector<uint8_t> ora_timestamp_bytes(const ora_moment& moment);
// TIMESTAMP WITH TIME ZONE: the DATE bytes of the moment (UTC), the 4 nanosecond bytes, then the
// zone's hour + 20 and minute + 60: 13 bytes.
std::vector<uint8_t> ora_timestamp_tz_bytes(const ora_moment& moment, int tz_hour, int tz_minute);

// The iconv encoding that stands for an Oracle character-set id on the writing side: the real
// character set of the id (852 ZHS16GBK is GBK, 846 KO16MSWIN949 is CP949, 2 WE8DEC is DEC-MCS,
// 871 and 873 are UTF-8, 2000 AL16UTF16 is UTF-16BE). nullptr for an id the writer does not know.
const char* ora_charset_encoding(uint16_t charset_id);
// Whether text of the id is a varying-width Unicode set, whose CLOB data Oracle stores as
// big-endian UTF-16 (871, 873 and 2000).
bool ora_charset_is_unicode(uint16_t charset_id);
// Text in the character set of the id (characters the set lacks become '?'). An id without an
// encoding is an assertion failure. ASCII text in an ASCII-compatible set takes a fast path.
std::string ora_encode_text(std::u16string_view text, uint16_t charset_id);
