// classic_dump_encoder: writes a classic export dump, part by part, to a byte sink.
//
// The layout follows what Oracle's exp writes (studied on real dumps of versions 8.1.5 to 19):
// a header of text lines and a fixed block, then per table a TABLE line, the CREATE TABLE line,
// one or more INSERT INTO statements each followed by a binary column header and the rows (ended
// by 0xFFFF), the index and ALTER TABLE statements, and at the end the foreign-key sections and
// EXIT. Names are written in the export session's character set, row text in the database (and
// national) set. Version 7 has no fixed block and its own column header and LOB list; 8.0.5 and
// 8.0.6 have no flag word in the column header, and 8.0.6 rows have no trailer.
//
// The encoder holds no rows: a caller streams them with write_row or write_cells, so a generated
// dump of any size needs memory for one row. The positions of what it wrote can be recorded into
// a dump_layout (for tests that damage a dump at a known place).
//
// Protocol: write_header; per table begin_table, (begin_block, write_row..., end_block)...,
// end_table; finish. A call out of order is an assertion failure. Used by one thread at a time;
// not copyable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dump_byte_sink.h"
#include "fixture_table.h"
#include "fixture_value.h"

// The export version, as the header word EXPORT:Vmm.nn.pp states it.
struct export_version {
    int major = 11;
    int minor = 2;
    int patch = 0;

    static export_version v7() { return {7, 3, 4}; }
    static export_version v8_0_5() { return {8, 0, 5}; }
    static export_version v8_0_6() { return {8, 0, 6}; }
    static export_version v8_1_7() { return {8, 1, 7}; }
    static export_version v9_2() { return {9, 2, 0}; }
    static export_version v10_2() { return {10, 2, 1}; }
    static export_version v11_2() { return {11, 2, 0}; }
    static export_version v12_1() { return {12, 1, 0}; }
    static export_version v19() { return {19, 0, 0}; }

    // "EXPORT:V11.02.00".
    std::string word() const;
    // The column header and row layout family: 7, 8 or 9 (9 for every version from 9 on).
    int family() const { return major <= 7 ? 7 : major == 8 ? 8 : 9; }
    // 8.0.5 and 8.0.6 write no flag word after the entry count of the column header.
    bool header_without_flag() const {
        return major == 8 && minor == 0 && (patch == 5 || patch == 6);
    }
    // 8.0.6 rows end without the 2-byte trailer.
    bool rows_without_trailer() const { return major == 8 && minor == 0 && patch == 6; }
};

struct dump_header_options {
    export_version version;
    // Oracle character-set ids: the export session's (names), the database's and the national
    // set's (row data). Version 7 has one id only: the session's, in header bytes 1 and 2.
    uint16_t session_charset = 178;
    uint16_t database_charset = 178;
    uint16_t national_charset = 2000;
    // 1 in every single-file dump Oracle writes (with declared size 0); 32 is a single complete
    // dump without a declared size; other values are later parts of a multi-file dump.
    uint16_t part_marker = 1;
    uint64_t declared_size = 0;
    std::u16string user = u"SCOTT";
    std::string export_mode = "USERS";
    // The header is padded with zeros to this size, and the end of the dump to a multiple of it.
    uint32_t buffer_size = 2048;
    std::string file_name = "EXPDAT.DMP";
    bool pad_end = true;
};

// Offsets of what the encoder wrote (0 where a part is absent).
struct row_layout {
    uint64_t start = 0;
    std::vector<uint64_t> length_words;  // per column, in CREATE TABLE order
    uint64_t trailer = 0;
    std::vector<uint64_t> lob_entries;  // in written order
    uint64_t end = 0;
};

struct block_layout {
    uint64_t insert_line = 0;
    uint64_t column_header = 0;
    uint64_t first_row = 0;
    std::vector<row_layout> rows;
    uint64_t end_marker = 0;
};

struct table_layout {
    std::u16string name;
    uint64_t table_line = 0;  // the T of "TABLE \"name\""
    uint64_t create_line = 0;
    std::vector<block_layout> blocks;
    uint64_t end = 0;  // after the table's last statement
};

struct dump_layout {
    uint64_t header_block = 0;  // the fixed block of versions 8 and later
    std::vector<table_layout> tables;
    uint64_t size = 0;
};

// One column value already in Oracle's bytes, for callers that stream many rows (write_cells).
struct dump_cell {
    bool null = false;
    // In-row column data. For LOB columns nullptr means a locator made by the encoder.
    const uint8_t* data = nullptr;
    size_t size = 0;
    // LONG and LONG RAW: written in chunks of this length when not 0.
    uint16_t chunk_length = 0;
    // LOB columns: the LOB data that follows the row, and the form of its entry.
    const uint8_t* lob_data = nullptr;
    size_t lob_size = 0;
    lob_layout lob_form = lob_layout::plain;
    uint16_t lob_chunk_length = 0;
    int lob_fffa_words = 0;
    // Written instead of the real length when >= 0.
    int32_t length_word = -1;
};

class classic_dump_encoder {
public:
    // `sink` and `layout` (may be null) must outlive the encoder.
    classic_dump_encoder(dump_byte_sink& sink, dump_header_options options,
                         dump_layout* layout = nullptr);
    classic_dump_encoder(const classic_dump_encoder&) = delete;
    classic_dump_encoder& operator=(const classic_dump_encoder&) = delete;

    void write_header();
    // Only the header lines, the fixed block and the zero padding up to the buffer size: the
    // header of a later file of a multi-file dump.
    void write_part_header();
    // The TABLE and CREATE TABLE lines. The table definition is copied.
    void begin_table(const fixture_table& table);
    // An INSERT INTO statement and its column header.
    void begin_block(uint16_t no_lob_tail = 0);
    // One row; values in CREATE TABLE order, one per column.
    void write_row(const std::vector<fixture_value>& values);
    // One row of ready cells in CREATE TABLE order.
    void write_cells(const dump_cell* cells, size_t count);
    // The end-of-table marker 0xFFFF.
    void end_block();
    // Indexes, primary keys and other ALTER TABLE statements, statistics.
    void end_table();
    // Foreign-key sections, EXIT and the end padding.
    void finish();
    // Bytes written as they are (between statements).
    void write_raw(std::string_view bytes);

    uint64_t position() const { return m_sink.position(); }
    const dump_header_options& options() const { return m_options; }

private:
    enum class column_kind {
        number,
        text,
        national_text,
        date,
        timestamp,
        timestamp_tz,
        raw,
        long_text,
        long_raw,
        clob,
        nclob,
        blob,
        rowid,
        other
    };
    struct column_info {
        column_kind kind = column_kind::other;
        uint16_t header_type = 1;
        uint16_t header_length = 0;
        bool lob = false;
        bool national = false;
    };

    void write_header_lines();
    void write_preamble();
    static column_kind classify(const std::string& type);
    column_info describe(const fixture_column& column) const;
    std::string session_text(std::u16string_view text) const;
    std::string quoted(std::u16string_view name) const;
    std::string storage_clause(bool index) const;
    void put(std::string_view bytes) { m_sink.write(bytes.data(), bytes.size()); }
    void put(const uint8_t* data, size_t size) { m_sink.write(data, size); }
    void put_word(uint16_t value);
    void put_word_be(uint16_t value);
    void write_column_header(uint16_t no_lob_tail);
    void write_chunks(const uint8_t* data, size_t size, uint16_t chunk, bool long_terminator);
    void write_lob_entry(const dump_cell& cell, bool clob);
    void encode_value(const fixture_value& value, size_t column, std::string& out,
                      std::string& lob_out, dump_cell& cell) const;
    void write_constraint(const fixture_constraint& constraint);

    dump_byte_sink& m_sink;
    dump_header_options m_options;
    dump_layout* m_layout;

    enum class state { start, between_tables, in_table, in_block, finished };
    state m_state = state::start;
    fixture_table m_table;
    std::vector<column_info> m_info;
    std::vector<size_t> m_order;
    std::vector<fixture_table> m_foreign_key_tables;
    uint16_t m_block_flag = 0;
    size_t m_tables_written = 0;
    uint64_t m_row_number = 0;
    // Per-row scratch, reused so that streaming rows does not allocate.
    std::vector<std::string> m_scratch;
    std::vector<std::string> m_lob_scratch;
    std::vector<dump_cell> m_cells;
    std::vector<uint8_t> m_locator;
};
