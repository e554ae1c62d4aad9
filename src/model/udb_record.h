// udb_record: one row, its fields in column order.
//
// The record owns its fields and deletes each through its virtual destructor. A cursor that
// returns a record from get_item() keeps ownership: the record stays valid until the cursor moves
// or is destroyed. The MySQL side derives sql_record from it. Positional access is a plain vector
// index: operator[] does not check the position, at() throws std::out_of_range past the end.
// Name lookups ignore case (tk_equal_nocase); the first match wins.
//
// Not shared between threads. Not copyable.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "udb_field.h"

class udb_record {
public:
    udb_record();
    udb_record(const udb_record&) = delete;
    udb_record& operator=(const udb_record&) = delete;
    virtual ~udb_record();

    size_t size() const { return m_fields.size(); }
    bool empty() const { return m_fields.empty(); }
    udb_field& operator[](size_t i) { return *m_fields[i]; }
    const udb_field& operator[](size_t i) const { return *m_fields[i]; }
    udb_field& at(size_t i) { return *m_fields.at(i); }
    const udb_field& at(size_t i) const { return *m_fields.at(i); }
    const std::vector<std::unique_ptr<udb_field>>& fields() const { return m_fields; }

    // Appends a field; the record takes it over. A null field is an assertion failure.
    void add(std::unique_ptr<udb_field> field);
    void reserve(size_t count) { m_fields.reserve(count); }
    void clear() { m_fields.clear(); }

    // True when a field of that name exists (trace "udb_record::find_field(%s)", "Processing %s").
    bool find_field(const std::u16string& name) const;
    // The field of that name or nullptr; no trace.
    udb_field* get_field(const std::u16string& name);
    const udb_field* get_field(const std::u16string& name) const;

private:
    std::vector<std::unique_ptr<udb_field>> m_fields;
};
