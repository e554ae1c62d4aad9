// ora_dump_table: one table of an opened dump, as a udb_recordset cursor over its rows.
//
// init() goes to the table's section, parses its CREATE TABLE statement into the schema
// (ora_dump_column items), finds every INSERT INTO block of rows that belongs to the table and
// parses its index and primary-key statements into the indexes. Afterwards the table is a forward
// cursor with a short memory: next() moves on, prev() steps back up to four rows (the driver uses
// it to retry a row), get_item() decodes the current row, reset() goes back to the oldest
// remembered row. Rows are never held in memory: the cursor keeps at most five row positions and
// finds a row again by seeking.
//
// Rows follow the column list of their INSERT INTO statement, which may differ from the CREATE
// TABLE order: each block keeps its column order, and get_item() hands the values on in the
// schema's order (columns the list lacks stay empty).
//
// Created by ora_dump_file::get_table and owned by the caller; it reads through the facade's
// byte source and decoder (borrowed), so it must be destroyed before the facade. Every operation
// that moves the byte source puts it back where it found it or at the current row. One thread at
// a time.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dump_table_entry.h"
#include "ora_dump_reader_th.h"
#include "udb_recordset.h"

class ora_byte_source;
class ora_dump_file;

class ora_dump_table : public udb_recordset {
public:
    // The longest CREATE TABLE or INSERT INTO line taken (a table of 1,000 columns with long
    // names and clauses stays far below it).
    static constexpr size_t max_statement = 16 * 1024 * 1024;

    // Traces "ora_dump_table::ctor(%s)".
    ora_dump_table(ora_dump_file& owner, const std::u16string& name);
    ~ora_dump_table() override;

    // Reads the table's definition, finds its row blocks and parses its indexes. True when the
    // definition was accepted. Throws the tk_exception of a user-defined type ("User-defined
    // types are not supported", level 0) or of a column header that cannot be read; the byte
    // source is then back where it was.
    bool init(ora_byte_source& source, const dump_table_entry& entry, ora_dump_reader_th& decoder,
              const std::string& version_word);

    // Does nothing: a dump is read only.
    void append_record(udb_record& record) override;
    // The current row, owned by the table and valid until the next get_item() or the table's
    // destruction. Throws tk_exception "Out of recordset range." (level 1) at the end, and the
    // decoder's errors ("Can't read record. EOF reached", level 0, and others) for a damaged row.
    udb_record* get_item() override;
    bool is_eof() override;
    // Throws "Out of recordset range." (level 1) at the end; the decoder's errors for a row that
    // cannot be passed over, after which the cursor is at its end.
    void next() override;
    // Throws "Out of recordset range." (level 1) before the oldest remembered row.
    void prev() override;
    void reset() override;

    // Publishes the position inside the table as the reader's local progress.
    void set_progress();

    // --- the parts of init, public for the tests ---
    // The rest of the CREATE TABLE line after the table's quoted name; true when every column
    // definition was accepted.
    bool process_table_desc(std::string_view text);
    // One column definition; true also for constraints (which add no column).
    bool add_field(std::string_view definition);
    // The column description of an Oracle type text. False when a declared length is missing;
    // throws tk_exception "User-defined types are not supported" (level 0) for an unknown type.
    bool get_type(std::string_view type, int32_t& size, uint16_t& vartype, int32_t& scale,
                  int32_t& precision, int32_t& kind);
    // The numbers between the first "(" and ")" of a type text ("*" counts as 9); false when
    // there is no "(" before a ")".
    static bool get_typesize(std::string_view type, std::vector<int32_t>& numbers);
    bool parse_indexes(const std::vector<index_span>& spans);
    bool parse_keys(const std::vector<alter_span>& spans);
    // The column list (with its parentheses) at the byte source's position, or "" for an
    // expression list.
    std::string get_index_fields();
    // Finds the next `byte` from the source's position: `position` becomes the position after
    // it. The source does not move. False when there is none.
    static bool find_delimeter(ora_byte_source* source, uint8_t byte, uint64_t& position);
    // The quoted column names of an INSERT INTO statement's text after INTO ("name" (cols)...);
    // false when it holds no column list.
    static bool parse_insert_columns(std::string_view text, std::vector<std::string>& names);

    // For the parsers used without init (tests): the byte source and the decoder, whose codec
    // decodes the names.
    void set_source(ora_byte_source& source, ora_dump_reader_th& decoder);

private:
    struct insert_block {
        uint64_t first_row = 0;
        uint16_t no_lob_tail = 0;
        ora_column_list columns;      // in row order
        std::vector<uint32_t> slots;  // schema position of each row column
        uint64_t data_end = 0;        // Data Pump: where this block's rows end (0: data end)
    };
    struct row_position {
        uint64_t position;
        uint32_t block;
    };

    bool open_classic(const dump_table_entry& entry);
    bool open_pump(const dump_table_entry& entry);
    // The row layout of the block whose INSERT INTO text (after INTO) is `text`; false with a
    // trace when the list names a column the schema lacks.
    bool make_block(std::string_view text, uint64_t first_row, insert_block& block);
    void find_blocks();
    std::u16string decode_name(std::string_view bytes);
    std::vector<std::u16string> column_names(std::string list);

    const row_position* current_row() const;
    void use_block(uint32_t block);
    void clear_rows();

    ora_dump_file& m_owner;
    ora_byte_source* m_source = nullptr;
    ora_dump_reader_th* m_decoder = nullptr;
    uint64_t m_data_start = 0;
    uint64_t m_data_end = 0;

    std::deque<row_position> m_rows;  // oldest first
    int64_t m_first_index = 0;        // number of the oldest remembered row
    int64_t m_current = -1;
    int64_t m_end = -1;               // -1: not known
    std::vector<insert_block> m_blocks;
    uint32_t m_current_block = 0;
    bool m_block_failed = false;  // a block whose column list or header does not fit the schema
    std::unique_ptr<udb_record> m_record;
    // Data Pump: columns of the rows that the table's description lacks (read, not kept).
    std::vector<std::unique_ptr<ora_dump_column>> m_row_only_columns;
};
