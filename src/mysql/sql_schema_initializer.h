// sql_schema_initializer: the column clauses of one CREATE TABLE.
//
// Built for one table from the source's columns and indexes. The constructor gives every column
// whose name MySQL would refuse a safe name (the column-name validator of sql_engine) and keeps
// copies of the source columns under their MySQL names in its own schema; get_init_chunks writes
// one clause per column: name, MySQL type, character set, NOT NULL, DEFAULT and AUTO_INCREMENT.
// The server writer (sql_database::create_table) and the script writer (dmp_database) both use
// it, so a table looks the same on a server and in a script; the version switches read
// sql_engine's server_version().
//
// Owned by the table creator for the duration of one CREATE TABLE; the source schema and indexes
// and the auto-increment name receiver must outlive it. One thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "t_names_map.h"
#include "udb_column.h"
#include "udb_index.h"
#include "udb_schema.h"
#include "udb_validator.h"

class sql_schema_initializer {
public:
    // `auto_name` receives the name of the table's auto-increment column when get_init_chunks
    // runs (it is cleared first).
    sql_schema_initializer(std::u16string table, const udb_schema& source,
                           const udb_indexes& indexes, std::u16string& auto_name);
    sql_schema_initializer(const sql_schema_initializer&) = delete;
    sql_schema_initializer& operator=(const sql_schema_initializer&) = delete;
    virtual ~sql_schema_initializer();

    // Appends one column clause per column, in column order. Two auto-increment columns are an
    // assertion failure; so is a type the type map does not know.
    virtual void get_init_chunks(std::vector<std::u16string>& chunks);

    // True for the integer types that MySQL lets be AUTO_INCREMENT.
    static bool can_have_auto_num(const udb_column& column);
    // False for auto-increment columns, binary columns and TEXT-sized text columns (size 0 or
    // above 255), which MySQL does not let have a DEFAULT.
    static bool can_have_def_value(const udb_column& column);

    const std::u16string& table() const { return m_table; }
    // The columns under their MySQL names, in source order.
    const udb_schema& schema() const { return m_schema; }
    // Source column name -> MySQL name, for the columns that got a safe name.
    const t_names_map& column_map() const { return m_validator->mapped_pairs(); }

private:
    std::u16string m_table;
    udb_schema m_schema;
    std::u16string& m_auto_name;
    const udb_indexes& m_indexes;
    std::unique_ptr<udb_validator> m_validator;
    const udb_schema& m_source;
};
