// ora_dump_format: the constants of the Oracle export dump layout.
//
// One place for the markers, type codes and header offsets that the reader and the tests' fixture
// writer share, so that both sides of every test speak the same layout. docs/dump_format.md
// describes the layout these numbers belong to. Header-only, no state.
#pragma once

#include <cstdint>

namespace ora_fmt {

// ---- Classic header -------------------------------------------------------------------------
//
// Three bytes H0 H1 H2, then the version word "EXPORT:Vnn.nn.nn", the user-name word ("D" or "U"
// and the name), the tablespace-name word ("R" and the name), then lines up to the fifth line
// end, then the fixed block. H1 H2 are the export session's character-set id (big-endian).
constexpr int header_lead_bytes = 3;
constexpr char version_prefix[] = "EXPORT:V";
constexpr int version_prefix_length = 8;
// The version word is among the first words after the lead bytes.
constexpr int version_word_tries = 5;
// Versions 8 and later: the fixed block starts after this many line ends, counted from the end
// of the tablespace-name word.
constexpr int header_line_ends = 5;

// Fixed block, big-endian 16-bit fields.
constexpr int block_session_charset = 0;  // the export session's (client's) character set
constexpr int block_charset = 2;          // the database character set
constexpr int block_ncharset = 4;         // the national character set
constexpr int block_part_marker = 6;
constexpr int block_declared_size = 8;    // 8 bytes, present unless the part marker is 32
constexpr int block_size_with_declared = 16;
constexpr int block_size_without_declared = 8;

constexpr uint16_t part_single = 32;  // a single, complete dump
constexpr uint16_t part_first = 1;    // the first (or only) part; real single-file dumps carry it

// ---- Character-set ids ----------------------------------------------------------------------
constexpr uint16_t charset_utf8 = 871;       // UTF8
constexpr uint16_t charset_al32utf8 = 873;   // AL32UTF8
constexpr uint16_t charset_al16utf16 = 2000; // AL16UTF16, big-endian UTF-16

// Encoding kinds of a character set.
constexpr int32_t kind_code_page = 0;
constexpr int32_t kind_utf8 = 1;
constexpr int32_t kind_utf16be = 2;

// ---- Sections (text lines of the DDL) -------------------------------------------------------
constexpr char line_end = '\n';

// ---- Row stream (little-endian 16-bit words) ------------------------------------------------
constexpr uint16_t null_length = 0xFFFE;    // a NULL column value; no data follows
constexpr uint16_t long_chunked = 0xFFFD;   // a LONG / LONG RAW value in chunks
constexpr uint16_t end_of_table = 0xFFFF;   // in place of the next row's first length word
constexpr uint16_t lob_chunked = 0xFFFC;    // LOB entry: 8 header bytes, then a chunk list
constexpr uint16_t lob_chunked_ext = 0xFFFA;  // LOB entry: run of 0xFFFA words, then chunks
constexpr int row_trailer_size = 2;
constexpr int lob_chunked_header = 8;
constexpr int long_terminator_size = 2;

// Column header: for each column the Oracle type code and the column length, each a 16-bit word.
// Character columns (types 1 and 96) carry 4 more bytes: their character-set id and form (1
// database set, 2 national set). Character LOBs (type 112) carry the same 4 bytes from version 9.
constexpr uint16_t type_varchar2 = 1;
constexpr uint16_t type_number = 2;
constexpr uint16_t type_long = 8;
constexpr uint16_t type_date = 12;
constexpr uint16_t type_raw = 23;
constexpr uint16_t type_long_raw = 24;
constexpr uint16_t type_rowid = 69;
constexpr uint16_t type_char = 96;
constexpr uint16_t type_clob = 112;
constexpr uint16_t type_blob = 113;
constexpr uint16_t type_timestamp = 180;
constexpr uint16_t type_timestamp_tz = 181;
constexpr uint16_t type_timestamp_ltz = 231;
// Version 7 headers: columns of this type add 16 bytes after the column list.
constexpr uint16_t type_v7_extra = 871;
constexpr int v7_extra_bytes = 16;
constexpr int charset_field_bytes = 4;
constexpr int clob_charset_tail = 2;  // after a type-112 column's character-set id

// ---- Column values --------------------------------------------------------------------------
// NUMBER: exponent byte then base-100 digits; positive digits are digit+1 under exponent
// 193+E, negative digits 101-digit under exponent 62-E with a closing byte 102.
constexpr uint8_t number_zero = 0x80;
constexpr uint8_t number_negative_end = 102;
constexpr int number_positive_bias = 193;
constexpr int number_negative_bias = 62;
constexpr int number_max_bytes = 22;
// DATE: century+100, year+100, month, day, hour+1, minute+1, second+1.
constexpr int date_bytes = 7;
constexpr int timestamp_fraction_bytes = 11;  // DATE part and 4 bytes of nanoseconds, big-endian

// ---- Data Pump header -----------------------------------------------------------------------
constexpr int pump_file_number = 33;   // big-endian 16-bit
constexpr int pump_charset = 39;       // big-endian 16-bit
constexpr int pump_version_text = 477;

}  // namespace ora_fmt
