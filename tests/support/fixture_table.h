// fixture_table and its parts: one table of a fixture dump as a test describes it: columns with
// their Oracle type texts, INSERT INTO blocks of rows, indexes and constraints.
//
// Plain records with a few chaining helpers, filled by a test and read by classic_dump_encoder.
// Rows hold one fixture_value per column in CREATE TABLE order, whatever order the INSERT INTO
// statement lists the columns in. Copyable; used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fixture_value.h"

struct fixture_column {
    std::u16string name;
    // The type as the CREATE TABLE statement spells it: "NUMBER(4, 0)", "VARCHAR2(30 BYTE)",
    // "TIMESTAMP (6)", "LONG RAW", "NCLOB"...
    std::string type;
    // Text written after the type ("DEFAULT 0 NOT NULL ENABLE").
    std::string attributes;
    // Column header type code and length; -1: derived from the type text.
    int header_type = -1;
    int header_length = -1;
};

struct fixture_index {
    std::u16string name;
    std::vector<std::u16string> columns;
    bool unique = false;
    // When set, written in place of the quoted column list ("UPPER(\"ENAME\")").
    std::string expression;
};

// An ALTER TABLE ... ADD statement.
struct fixture_constraint {
    enum class kind { primary_key, foreign_key, check };
    kind type = kind::primary_key;
    std::u16string name;  // empty: ADD PRIMARY KEY without a constraint name
    std::vector<std::u16string> columns;
    std::u16string referenced_table;
    std::vector<std::u16string> referenced_columns;
    std::string check_text;
};

// One INSERT INTO statement and the rows that follow it.
struct fixture_block {
    std::vector<std::vector<fixture_value>> rows;
    // The flag word after the column header's entry count (th8 and th9 layouts); 1 means rows
    // without the 2-byte trailer.
    uint16_t no_lob_tail = 0;
};

struct fixture_table {
    std::u16string name;
    // Empty: the CREATE TABLE statement has no TABLESPACE clause.
    std::u16string tablespace;
    std::vector<fixture_column> columns;
    // Column pieces of CREATE TABLE written verbatim after the columns (constraint clauses such as
    // "PRIMARY KEY (\"ID\")" or "CONSTRAINT \"C\" CHECK (...)"); they carry no row data.
    std::vector<std::string> extra_pieces;
    // Replaces the whole CREATE TABLE line when set (without its line end); for broken texts.
    std::string create_line_override;
    // The column order of the INSERT INTO statement and of the row data; empty: CREATE TABLE
    // order.
    std::vector<std::u16string> insert_order;
    std::vector<fixture_block> blocks;
    // No INSERT INTO statement at all.
    bool without_insert = false;
    std::vector<fixture_index> indexes;
    std::vector<fixture_constraint> constraints;

    fixture_table& column(std::u16string name, std::string type, std::string attributes = {});
    // Appends a row to the last block, opening the first block when there is none.
    fixture_table& row(std::vector<fixture_value> values);
    // Opens a new INSERT INTO block.
    fixture_table& block(uint16_t no_lob_tail = 0);
    fixture_table& index(std::u16string name, std::vector<std::u16string> columns,
                         bool unique = false);
    fixture_table& primary_key(std::u16string constraint_name, std::vector<std::u16string> columns);
    fixture_table& foreign_key(std::u16string constraint_name, std::vector<std::u16string> columns,
                               std::u16string referenced_table,
                               std::vector<std::u16string> referenced_columns);
    fixture_table& insert_columns(std::vector<std::u16string> order);

    // Index of the named column in `columns`; an unknown name is an assertion failure.
    size_t column_index(const std::u16string& column_name) const;
    // `columns` indexes in INSERT INTO order.
    std::vector<size_t> written_order() const;
    size_t row_count() const;
};
