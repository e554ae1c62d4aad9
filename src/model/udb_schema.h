// udb_schema: the ordered column list of a table.
//
// Column order is the table's column order and is significant: records are matched to the schema
// by position (udb_recordset::convert_record). A schema built with b_owner set owns its columns
// and deletes them when it is destroyed or cleared; a schema without it only borrows columns that
// must outlive it (a destination schema made of a source table's columns, for example).
// Positional access is a plain vector index; operator[] does not check the position, at() throws
// std::out_of_range past the end.
//
// Name lookups compare ignoring case (tk_equal_nocase), scan in column order, and the first match
// wins. The lookups that return a column or one of its fields are assertion failures
// (tk_mail_assertion) when the column is missing: callers use them for columns they know exist.
//
// Not shared between threads. Not copyable (it may own its columns); movable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "udb_column.h"

class udb_schema {
public:
    explicit udb_schema(bool b_owner = true);
    udb_schema(const udb_schema&) = delete;
    udb_schema& operator=(const udb_schema&) = delete;
    udb_schema(udb_schema&& other) noexcept;
    udb_schema& operator=(udb_schema&& other) noexcept;
    virtual ~udb_schema();

    bool b_owner() const { return m_b_owner; }
    size_t size() const { return m_columns.size(); }
    bool empty() const { return m_columns.empty(); }
    udb_column& operator[](size_t i) { return *m_columns[i]; }
    const udb_column& operator[](size_t i) const { return *m_columns[i]; }
    udb_column& at(size_t i) { return *m_columns.at(i); }
    const udb_column& at(size_t i) const { return *m_columns.at(i); }
    // The columns in order, for iteration; the pointers stay owned (or borrowed) by the schema.
    const std::vector<udb_column*>& columns() const { return m_columns; }

    // Appends a column the schema takes over; only for an owning schema (assertion otherwise).
    void add(std::unique_ptr<udb_column> column);
    // Appends a column the schema only refers to; only for a non-owning schema (assertion
    // otherwise). The column must outlive the schema.
    void add_borrowed(udb_column& column);
    // Removes every column (deleting them when the schema owns them).
    void clear();

    // True when a column of that name exists. Traces "udb_schema::find_field(%s)" and
    // "Processing %s" for each column visited.
    bool find_field(const std::u16string& name) const;
    // The column of that name; assertion failure when there is none.
    udb_column& get_field(const std::u16string& name);
    const udb_column& get_field(const std::u16string& name) const;
    // The column of that name, or nullptr; no trace, for callers that only test.
    const udb_column* find_column(const std::u16string& name) const;

    // size / vartype / b_auto of the named column; each an assertion failure when it is missing.
    int32_t get_field_size(const std::u16string& name) const;
    VARTYPE get_field_type(const std::u16string& name) const;
    bool is_field_auto(const std::u16string& name) const;

private:
    const udb_column* lookup(const std::u16string& name) const;
    void release() noexcept;

    std::vector<udb_column*> m_columns;
    bool m_b_owner;
};
