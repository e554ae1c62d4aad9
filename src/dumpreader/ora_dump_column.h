// ora_dump_column: a column of a dump table, as the table definition parser makes it.
//
// A udb_column (size, name, value type, NOT NULL, flags) plus the Oracle type kind that the row
// decoder dispatches on and the column's character-set id, which the column header of a classic
// dump sets for character LOBs. Owned by the table's schema; the row decoder reads it.
#pragma once

#include <cstdint>
#include <string>

#include "udb_column.h"

// Oracle type kinds of a column.
enum ora_kind : int32_t {
    ora_kind_number = 1,
    ora_kind_char = 2,  // CHAR and VARCHAR
    ora_kind_nchar = 3,
    ora_kind_varchar2 = 4,
    ora_kind_nvarchar2 = 5,
    ora_kind_blob = 6,
    ora_kind_clob = 7,
    ora_kind_raw = 8,
    ora_kind_long_raw = 9,
    ora_kind_date = 10,
    ora_kind_float = 11,
    ora_kind_long = 12,
    ora_kind_rowid = 13,
    ora_kind_timestamp = 14,
    ora_kind_other = 15,
};

// The kind's Oracle type, for traces and diagnostics ("NUMBER", "VARCHAR2", ...).
const char* ora_kind_name(int32_t kind);

inline bool ora_is_lob(int32_t kind) { return kind == ora_kind_blob || kind == ora_kind_clob; }
inline bool ora_is_long(int32_t kind) { return kind == ora_kind_long_raw || kind == ora_kind_long; }

class ora_dump_column : public udb_column {
public:
    // Not auto-increment, no default value.
    ora_dump_column(int32_t size, int32_t kind, std::u16string name, uint16_t vartype,
                    bool b_not_null, int32_t flags);
    ~ora_dump_column() override;

    int32_t kind() const { return m_kind; }
    uint16_t charset_id() const { return m_charset_id; }
    void set_charset_id(uint16_t id) { m_charset_id = id; }

private:
    int32_t m_kind;
    uint16_t m_charset_id = 0;
};
