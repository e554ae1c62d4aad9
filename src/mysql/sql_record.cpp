#include "sql_record.h"

#include <memory>

#include "sql_field.h"
#include "sql_util.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

// CHAR, VARCHAR and the BLOB types without the BINARY flag hold text (UTF-8 on our connection).
bool is_text_cell(const MYSQL_FIELD& field) {
    switch (field.type) {
        case MYSQL_TYPE_STRING:
        case MYSQL_TYPE_VAR_STRING:
        case MYSQL_TYPE_VARCHAR:
            return true;
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
            return (field.flags & BINARY_FLAG) == 0;
        default:
            return false;
    }
}

}  // namespace

sql_record::sql_record(MYSQL_ROW row, const unsigned long* lengths, const MYSQL_FIELD* fields,
                       unsigned int n_fields) {
    tk_trace(1, "sql_record::ctor (n_fields=%d)", static_cast<int>(n_fields));
    reserve(n_fields);
    for (unsigned int i = 0; i < n_fields; ++i) {
        const MYSQL_FIELD& field = fields[i];
        tk_trace(1, "field #%d has type %d", static_cast<int>(i), static_cast<int>(field.type));
        tk_trace(1, "BINARY FLAG=%d", (field.flags & BINARY_FLAG) != 0 ? 1 : 0);
        const char* cell = row[i];
        const unsigned long length = lengths[i];
        ole_variant value;
        if (cell == nullptr) {
            value = ole_variant();
        } else if (is_text_cell(field)) {
            tk_trace(1, "Extract as Unicode");
            value = get_variant(VT_BSTR, tk_from_utf8(std::string_view(cell, length)));
        } else {
            tk_trace(1, "Extract as ANSI");
            value = get_variant(static_cast<int>(field.type), length, field.flags, cell);
        }
        add(std::make_unique<sql_field>(
            tk_from_utf8(std::string_view(field.name, field.name_length)),
            static_cast<int32_t>(field.length), value));
    }
}

sql_record::~sql_record() = default;
