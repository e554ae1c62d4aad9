// fixture_value: one column value of a fixture row, as a test states it, plus how it is laid out
// in the dump.
//
// A plain value record. The column's Oracle type decides the bytes: a number is written in the
// NUMBER format, text in the database or national character set of the dump, a moment as DATE or
// TIMESTAMP, bytes as they are. `encoded` bypasses all of that and writes the given column data.
// The layout switches choose the chunked form of LONG and LONG RAW values, the form of a LOB
// entry, or a length word that lies about the data (for damaged dumps).
//
// Copyable; used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "oracle_value_encoding.h"

// Forms of a LOB entry after a row: the length M and M bytes; 0xFFFC, 8 header bytes and a chunk
// list; 0xFFFA with further 0xFFFA words, one other word, two bytes per further word and a chunk
// list. Data of length 0 in the plain form is the empty LOB (M = 0).
enum class lob_layout { plain, fffc, fffa };

class fixture_value {
public:
    enum class kind { null, number, text, bytes, moment, encoded };

    static fixture_value null();
    // A NUMBER, FLOAT or other numeric value from decimal text ("-12.5").
    static fixture_value number(std::string decimal_text);
    static fixture_value text(std::u16string text);
    static fixture_value bytes(std::vector<uint8_t> data);
    static fixture_value date(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0);
    static fixture_value timestamp(int year, int month, int day, int hour, int minute, int second,
                                   uint32_t nanoseconds);
    // TIMESTAMP WITH TIME ZONE: the moment and the zone offset.
    static fixture_value timestamp_tz(const ora_moment& moment, int tz_hour, int tz_minute);
    // Column data written as it is, after a length word of its size.
    static fixture_value encoded(std::vector<uint8_t> data);

    // LONG and LONG RAW: the 0xFFFD chunked form with chunks of this length (at most 32,767).
    // All chunks but the last are full; the last is shorter and followed by a 2-byte terminator,
    // or has length 0 (which is its own terminator) when the data fills whole chunks or is shorter
    // than one chunk.
    fixture_value chunked(uint16_t chunk_length) const;
    // LOB columns: the form of the entry after the row (chunk_length for the chunk forms,
    // fffa_words for the number of further 0xFFFA words).
    fixture_value lob(lob_layout layout, uint16_t chunk_length = 0, int fffa_words = 0) const;
    // Writes this length word instead of the real size (the data stays as it is).
    fixture_value with_length_word(uint16_t word) const;

    kind type = kind::null;
    std::string decimal;
    std::u16string chars;
    std::vector<uint8_t> data;
    ora_moment when;
    bool with_zone = false;
    bool timestamp_value = false;
    int tz_hour = 0;
    int tz_minute = 0;

    uint16_t chunk_length = 0;
    lob_layout lob_form = lob_layout::plain;
    uint16_t lob_chunk_length = 0;
    int lob_fffa_words = 0;
    std::optional<uint16_t> length_word;
};
