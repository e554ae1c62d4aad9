// pump_dump_writer: writes Data Pump dumps byte for byte, in the layout of the dumps Oracle 11.2
// to 21c write, so that every rule of the Data Pump reader has a small fixture.
//
// A dump is: the file header (block 0) of a header family (3: version text at 477, 4 and 5: at
// 856), a few blocks of compressed metadata ("KGC"), then one segment per table with rows (a
// segment header block, the stream description 2 bytes into the next block, the row data at the
// next 8-byte boundary), then the export job's master table, whose XML_CLOB column holds each
// table's full description (TABLE_T, with its constraints) as UTF-16BE text. Rows are Oracle row
// pieces; row_layout says how they are cut (sized or plain pieces, how many values a piece takes,
// how long a LOB piece may be, whether trailing NULLs are left out).
//
// Values are given as the bytes Oracle stores (oracle_value_encoding helps: NUMBER, DATE, text);
// LOB values as their data (CLOB text already in its stored form, see clob_bytes). After build()
// layout_of() tells where each table's parts lie, for tests that damage them.
//
// Plain object; one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

using pump_value = std::optional<std::vector<uint8_t>>;  // nullopt: NULL

struct pump_fixture_column {
    std::string name;            // UTF-8
    int type_num = 2;            // Oracle type number: 1, 2, 12, 23, 96, 112, 113, 180, 181, ...
    int length = 22;
    int precision = -1;          // -1: the element is left out
    int scale = -1;
    std::string not_null = "0";  // the NOT_NULL text
    int charset_id = 0;          // CHARSETID
    int col_num = -1;            // -1: the column's position; 0 makes it a hidden column
    bool in_rows = true;         // false: only the full description lists it

    bool is_lob() const { return type_num == 112 || type_num == 113; }
};

struct pump_fixture_constraint {
    std::string name;
    int type = 2;  // CONTYPE: 1 check, 2 primary key, 3 unique, 4 foreign key, 7 NOT NULL
    std::vector<std::string> columns;
    // Foreign keys: the referenced table and its columns.
    std::string parent_owner;
    std::string parent_table;
    std::vector<std::string> parent_columns;
};

struct pump_fixture_table {
    std::string owner = "SCOTT";
    std::string name;
    std::vector<pump_fixture_column> columns;
    std::vector<pump_fixture_constraint> constraints;
    // One value per column with in_rows set, in column order.
    std::vector<std::vector<pump_value>> rows;
    bool has_segment = true;  // false: described, but no rows segment (a table without rows)
    bool described = true;    // false: no full description in the master table
};

struct pump_row_layout {
    bool sized = true;               // a one-piece row is 0x3C with its size, else 0x0C
    size_t values_per_piece = 0;     // >0: the other columns' values in pieces of at most this many
    size_t lob_chunk = 0;            // >0: LOB values in pieces of at most this many bytes
    bool omit_trailing_nulls = true;
};

class pump_dump_writer {
public:
    struct segment_layout {
        uint64_t segment = 0;       // the segment header
        uint64_t stream_start = 0;  // the stream description's "<"
        uint64_t stream_end = 0;
        uint64_t data_start = 0;
        uint64_t data_end = 0;
        std::vector<uint64_t> rows;  // where each row starts
    };

    // family: byte 0 of the header (1 to 5); charset_id: the database character set.
    explicit pump_dump_writer(int family = 5, uint16_t charset_id = 873);

    void set_version_text(std::string text) { m_version = std::move(text); }
    void set_file_number(uint16_t number) { m_file_number = number; }
    void set_block_size(uint32_t size) { m_block_size = size; }
    void set_job(std::string owner, std::string table);
    // COMPRESSION=ALL: every segment is compressed ("KGC" blocks of kind 14 04).
    void set_compressed(bool compressed) { m_compressed = compressed; }
    // Writes SYS.IMPDP_STATS, a table of the export's own, with two rows.
    void set_stats_table(bool stats) { m_stats = stats; }
    // Leaves the master table out.
    void set_master(bool master) { m_with_master = master; }
    // LOB pieces of the master table's descriptions (0: whole values).
    void set_master_lob_chunk(size_t bytes) { m_master_chunk = bytes; }
    pump_row_layout& row_layout() { return m_layout; }

    void add_table(pump_fixture_table table) { m_tables.push_back(std::move(table)); }

    std::vector<uint8_t> build();
    // Where the last build put the table's rows ("" + job table name for the master table).
    const segment_layout& layout_of(const std::string& table) const;
    uint64_t master_row_of(const std::string& table) const;

    // The documents, as the dump holds them (UTF-8 text).
    static std::string table_description(const pump_fixture_table& table);
    std::string stream_description(const pump_fixture_table& table) const;
    // The row pieces of one row: `columns` in row order (other columns, then LOBs).
    static std::vector<uint8_t> encode_row(const std::vector<const pump_fixture_column*>& columns,
                                           const std::vector<pump_value>& values,
                                           const pump_row_layout& layout);
    // CLOB data as Oracle stores it in a database of `charset_id`: UTF-16BE for the Unicode sets,
    // the set's own bytes otherwise.
    static std::vector<uint8_t> clob_bytes(std::u16string_view text, uint16_t charset_id);

private:
    void write_header(std::vector<uint8_t>& out) const;
    void write_segment(std::vector<uint8_t>& out, const pump_fixture_table& table,
                       const pump_row_layout& layout, segment_layout& where) const;
    pump_fixture_table master_table() const;

    int m_family;
    uint16_t m_charset;
    std::string m_version;
    uint16_t m_file_number = 1;
    uint32_t m_block_size = 4096;
    std::string m_job_owner = "SYSTEM";
    std::string m_job_table = "SYS_EXPORT_SCHEMA_01";
    bool m_compressed = false;
    bool m_stats = false;
    bool m_with_master = true;
    size_t m_master_chunk = 0;
    pump_row_layout m_layout;
    std::vector<pump_fixture_table> m_tables;
    std::map<std::string, segment_layout> m_where;
    std::map<std::string, uint64_t> m_master_rows;
};
