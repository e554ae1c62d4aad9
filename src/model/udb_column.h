// udb_column: one column of a table's structure, as the source describes it and as the
// destination creates it.
//
// A plain record: the size, name, value type (a VARTYPE code of ole_variant, so a column's type and
// a value's type compare directly), the auto-increment and NOT NULL switches, the default value and
// a type-dependent `flags` word. The dump reader derives ora_dump_column from it to add the Oracle
// type kind; a schema (udb_schema) that owns its columns deletes them through this class, which is
// why the destructor is virtual. Copying copies every field (the default value by ole_variant's
// copy) and slices a derived column down to its udb_column part.
//
// Not shared between threads.
#pragma once

#include <cstdint>
#include <string>

#include "ole_variant.h"

class udb_column {
public:
    // Meaning of flags() for VT_DATE columns.
    static constexpr int32_t date_as_text = 0;  // keep the value as text of 19 characters
    static constexpr int32_t date_and_time = 1;
    static constexpr int32_t date_only = 2;
    static constexpr int32_t time_only = 3;
    // Meaning of flags() for VT_I8 columns read back from a MySQL server.
    static constexpr int32_t i8_signed = 1;
    static constexpr int32_t i8_unsigned = 2;

    // size: characters for text, bytes for binary, 0 for unlimited. Traces "Got field ...".
    udb_column(int32_t size, std::u16string name, VARTYPE vartype, bool b_not_null, bool b_auto,
               const ole_variant& default_value = ole_variant(), int32_t flags = 0);
    udb_column(const udb_column& other);
    udb_column& operator=(const udb_column& other);
    virtual ~udb_column();

    int32_t size() const { return m_size; }
    const std::u16string& name() const { return m_name; }
    VARTYPE vartype() const { return m_vartype; }
    bool b_auto() const { return m_b_auto; }
    bool b_not_null() const { return m_b_not_null; }
    // VT_EMPTY when the column has no default.
    const ole_variant& default_value() const { return m_default_value; }
    int32_t flags() const { return m_flags; }

    void set_size(int32_t size) { m_size = size; }
    void set_name(std::u16string name) { m_name = std::move(name); }
    void set_vartype(VARTYPE vartype) { m_vartype = vartype; }
    void set_auto(bool b_auto) { m_b_auto = b_auto; }
    void set_not_null(bool b_not_null) { m_b_not_null = b_not_null; }
    void set_default_value(const ole_variant& value);
    void set_flags(int32_t flags) { m_flags = flags; }

    // VT_DECIMAL columns keep the scale in bits 0-7 of flags and the precision in bits 8-15
    // (precision 0: no precision known).
    static int32_t decimal_flags(int32_t precision, int32_t scale) {
        return ((precision & 0xFF) << 8) | (scale & 0xFF);
    }
    int32_t decimal_scale() const { return m_flags & 0xFF; }
    int32_t decimal_precision() const { return (m_flags >> 8) & 0xFF; }

private:
    int32_t m_size;
    std::u16string m_name;
    VARTYPE m_vartype;
    bool m_b_auto;
    bool m_b_not_null;
    ole_variant m_default_value;
    int32_t m_flags;
};
