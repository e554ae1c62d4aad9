// udb_field: one value of a record, with the name and size of the column it came from.
//
// An ole_variant (the value itself, tag and content) plus the source column's size and name. The
// row decoders build records of fields; the MySQL side derives sql_field from it. A field belongs
// to the record (udb_record) that holds it and is deleted through its virtual destructor.
//
// Rows arrive by the million: a cursor that hands out one record per row should keep that record
// and its fields and only replace their values (set_value), so the names are not rebuilt per row.
//
// Not shared between threads.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "ole_variant.h"

class udb_field : public ole_variant {
public:
    // An empty value with no name and size 0 (trace "udb_field::empty ctor").
    udb_field();
    // Traces "udb_field::ctor #2" then "name=%s, size=%d".
    udb_field(std::u16string name, int32_t size, const ole_variant& value);
    udb_field(std::u16string name, int32_t size, ole_variant&& value);
    udb_field(const udb_field& other) = default;
    udb_field(udb_field&& other) noexcept = default;
    udb_field& operator=(const udb_field& other) = default;
    udb_field& operator=(udb_field&& other) noexcept = default;
    ~udb_field() override;

    // The VARTYPE tag of the held value (the same as ole_variant::vartype()).
    virtual VARTYPE get_type() const;

    const std::u16string& name() const { return m_name; }
    int32_t size() const { return m_size; }
    void set_name(std::u16string name) { m_name = std::move(name); }
    void set_size(int32_t size) { m_size = size; }
    // Replaces the value; the name and size stay.
    void set_value(const ole_variant& value) { ole_variant::operator=(value); }
    void set_value(ole_variant&& value) { ole_variant::operator=(std::move(value)); }

private:
    int32_t m_size = 0;
    std::u16string m_name;
};
