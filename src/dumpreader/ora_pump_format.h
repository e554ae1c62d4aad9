// ora_pump_format: the constants of the Data Pump dump layout.
//
// One place for the header offsets, segment markers, row-piece flags and document texts that the
// Data Pump reader and the tests' Data Pump fixture writer share. docs/dump_format.md describes
// the layout; what is written here was learnt from dumps written by Oracle 11.2 to 21c.
// Header-only, no state.
#pragma once

#include <cstdint>

namespace ora_pump_fmt {

// ---- File header (block 0) -------------------------------------------------------------------
//
// Byte 0 is the header family, byte 1 is 1. Families 1 and 2 (10g, 11.1) and 3 (11.2) hold the
// database version text at byte 477; families 4 (12.1) and 5 (12.2 to 21c) hold zeros there and
// the version text at byte 856.
constexpr int family_first = 1;
constexpr int family_last = 5;
constexpr int family_late_header = 4;  // from this family on the version text is at 856
constexpr uint8_t header_second_byte = 1;
constexpr int file_number = 33;   // big-endian 16-bit: the file's number in its dump set
constexpr int block_size = 35;    // big-endian 32-bit: 4096 in every dump seen
constexpr int charset = 39;       // big-endian 16-bit: the database character set
constexpr int job_name = 67;      // "OWNER"."JOB", zero-terminated: the export job's master table
constexpr int job_name_max = 260;
constexpr int version_text_early = 477;
constexpr int version_text_late = 856;
constexpr int version_text_length = 14;  // "11.02.00.00.00"
// Zero bytes allowed before the version text.
constexpr int version_text_slack = 32;
// The header bytes the open reads: everything up to the late version text and its slack.
constexpr int header_bytes = version_text_late + version_text_slack + version_text_length;
// Block sizes accepted: a power of two in this range.
constexpr uint32_t min_block_size = 512;
constexpr uint32_t max_block_size = 65536;

// ---- Segments ---------------------------------------------------------------------------------
//
// A table's rows are one segment: at a block boundary a segment header, then (one block further)
// a block that starts with the 2-byte character-set id and holds the table's stream description
// (an 8-bit XML document), then zeros up to the next 8-byte boundary, then the row data.
constexpr uint8_t segment_magic[4] = {0xFF, 0xFF, 0x24, 0x24};
constexpr uint8_t segment_plain[2] = {0x0A, 0x00};       // bytes 4-5 of an uncompressed segment
constexpr uint8_t segment_compressed[2] = {0x14, 0x04};  // COMPRESSION=ALL
constexpr int segment_kind = 4;
// Big-endian 64-bit fields of the segment header.
constexpr int segment_document_length = 6;  // the document's length + 2 (its prefix)
constexpr int segment_document_offset = 14; // from the segment header to the document's block
constexpr int segment_data_length = 22;     // the length of the row data
constexpr int segment_data_offset = 30;     // from the segment header to the row data
constexpr int segment_data_align = 38;      // 8: the row data's alignment
constexpr int segment_end_offset = 46;      // from the segment header to the aligned data end
constexpr int segment_field_count = 6;
constexpr int segment_header_bytes = 6 + 8 * segment_field_count;
constexpr int document_prefix = 2;  // the character-set id before the document
constexpr int data_alignment = 8;
// Blocks of Oracle's compressor (metadata is compressed by default; COMPRESSION=ALL compresses
// the row data too) start with these bytes.
constexpr char compressed_block[] = "KGC";
// The longest description document taken (real ones are below 100 KB).
constexpr uint64_t max_document = 16 * 1024 * 1024;

constexpr char xml_start[] = "<?xml version";
constexpr char stream_document_end[] = "</STRMTABLE_T></ROW></ROWSET>";

// ---- Row pieces -------------------------------------------------------------------------------
//
// A row is one or more pieces: a flag byte, a big-endian 16-bit piece size when flag 0x10 is set
// (counting the whole piece), a count byte, then that many values. A value is a length byte (255
// NULL, 254: the length is in the next 2 bytes, big-endian) and its bytes. Trailing NULL values
// of a row are left out. LOB columns follow all other columns, each value in a piece of its own.
constexpr uint8_t piece_continues_next = 0x01;      // the last value goes on in the next piece
constexpr uint8_t piece_continues_previous = 0x02;  // the first value goes on from the last piece
constexpr uint8_t piece_last = 0x04;
constexpr uint8_t piece_first = 0x08;
constexpr uint8_t piece_sized = 0x10;
constexpr uint8_t piece_cluster = 0x20;  // set with sized first-and-last pieces (0x3C)
constexpr uint8_t piece_known_flags = 0x3F;
constexpr uint8_t value_null = 255;
constexpr uint8_t value_long_length = 254;

// ---- Master table -----------------------------------------------------------------------------
// The column of the export job's master table that holds each table's full description.
constexpr char master_description_column[] = "XML_CLOB";
// Tables the export writes for itself.
constexpr char stats_owner[] = "SYS";
constexpr char stats_table[] = "IMPDP_STATS";

// ---- Oracle type numbers of the descriptions ---------------------------------------------------
constexpr int type_varchar2 = 1;
constexpr int type_number = 2;
constexpr int type_long = 8;
constexpr int type_date = 12;
constexpr int type_raw = 23;
constexpr int type_long_raw = 24;
constexpr int type_char = 96;
constexpr int type_clob = 112;
constexpr int type_blob = 113;
constexpr int type_timestamp = 180;
constexpr int type_timestamp_tz = 181;
constexpr int type_timestamp_ltz = 231;
// SCALE of a FLOAT column (NUMBER with a binary precision).
constexpr int float_scale = -127;

}  // namespace ora_pump_fmt
