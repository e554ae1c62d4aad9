#include "ora_dump_column.h"

const char* ora_kind_name(int32_t kind) {
    switch (kind) {
        case ora_kind_number: return "NUMBER";
        case ora_kind_char: return "CHAR";
        case ora_kind_nchar: return "NCHAR";
        case ora_kind_varchar2: return "VARCHAR2";
        case ora_kind_nvarchar2: return "NVARCHAR2";
        case ora_kind_blob: return "BLOB";
        case ora_kind_clob: return "CLOB";
        case ora_kind_raw: return "RAW";
        case ora_kind_long_raw: return "LONG RAW";
        case ora_kind_date: return "DATE";
        case ora_kind_float: return "FLOAT";
        case ora_kind_long: return "LONG";
        case ora_kind_rowid: return "ROWID";
        case ora_kind_timestamp: return "TIMESTAMP";
        case ora_kind_other: return "OTHER";
        default: return "UNKNOWN";
    }
}

ora_dump_column::ora_dump_column(int32_t size, int32_t kind, std::u16string name,
                                 uint16_t vartype, bool b_not_null, int32_t flags)
    : udb_column(size, std::move(name), vartype, b_not_null, false, ole_variant(), flags),
      m_kind(kind) {}

ora_dump_column::~ora_dump_column() = default;
