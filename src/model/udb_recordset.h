// udb_recordset: a cursor over one table, or over the result of a query, and on the destination
// side the appender of its rows.
//
// It carries the table name, the query text (empty for a table), the record count (0 until the
// implementation sets it), the table's schema and its indexes. The dump reader implements it as
// ora_dump_table, the MySQL server as sql_recordset / sql_tmp_recordset, the MySQL script as
// dmp_recordset. Whoever asked the database for the cursor owns it (std::unique_ptr); a cursor
// refers to its database and must not outlive it.
//
// Reading: reset() goes to the first record; while !is_eof(), get_item() gives the current record
// (owned by the cursor, valid until the cursor moves or is destroyed) and next() moves on.
// Writing: convert_record() brings a source record to the schema's column types, append_record()
// writes it.
//
// Used by one thread at a time. Not copyable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "udb_column.h"
#include "udb_index.h"
#include "udb_record.h"
#include "udb_schema.h"

class udb_recordset {
public:
    // b_owner: whether the embedded schema owns its columns.
    udb_recordset(std::u16string name, std::u16string query, bool b_owner);
    udb_recordset(std::u16string name, bool b_owner);
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;
    virtual ~udb_recordset();

    // Appends one row at the destination. The record's values may be converted in place. Throws
    // what the destination throws (sql_exception, tk_exception). The dump source ignores it.
    virtual void append_record(udb_record& record) = 0;
    // The current record, owned by the cursor and valid until the cursor moves or is destroyed;
    // nullptr when there is none. Default: nullptr.
    virtual udb_record* get_item();
    // Default: true.
    virtual bool is_eof();
    // Move to the next / previous record, back to the first. Defaults do nothing.
    virtual void next();
    virtual void prev();
    virtual void reset();

    // True when the cursor runs over a query (the query text is not empty).
    bool is_query() const { return !m_query.empty(); }

    // Appends a column to the schema (which takes it over), renaming it while its name is taken:
    // the suffixes "_", "1", "_", "2", "_", "3", ... are appended one by one and accumulate
    // (ID, ID_, ID_1, ID_1_, ID_1_2, ...). Trace "udb_recordset::add_column (%s)".
    void add_column(std::unique_ptr<udb_column> column);
    // Changes the i-th value of the record to the vartype of the i-th schema column, in place,
    // for every field of the record: matching is by position, names are only traced. A record with
    // more fields than the schema has columns is an assertion failure. Throws what
    // ole_variant::change_type throws (ole_type_exception); the failing value is then left in an
    // unspecified but destructible state.
    void convert_record(udb_record& record) const;

    const std::u16string& name() const { return m_name; }
    const std::u16string& query() const { return m_query; }
    int32_t record_count() const { return m_record_count; }
    void set_record_count(int32_t count) { m_record_count = count; }
    udb_schema& schema() { return m_schema; }
    const udb_schema& schema() const { return m_schema; }
    udb_indexes& indexes() { return m_indexes; }
    const udb_indexes& indexes() const { return m_indexes; }

protected:
    void set_name(std::u16string name) { m_name = std::move(name); }
    void set_query(std::u16string query) { m_query = std::move(query); }

private:
    std::u16string m_name;
    std::u16string m_query;
    int32_t m_record_count = 0;
    udb_schema m_schema;
    udb_indexes m_indexes;
};
