// sql_util: the SQL literals of values and the values of result cells.
//
// to_mysql_str writes one text as the literal of a value type; get_fld_append_str writes a record
// field as an INSERT literal, deciding what a NULL becomes; make_mysql_def_val writes a column's
// default as a DEFAULT literal, or nothing when MySQL would refuse it; get_variant makes a value
// from the text or bytes of a cell the server sent back. The server writer and the script writer
// share them, so a value looks the same on both.
//
// Text literals are enclosed in apostrophes with every backslash, apostrophe and NUL escaped
// ("\\", "\'", "\0"); numbers are written unquoted; binary values are written whole as "0x" and
// two hexadecimal digits per byte; the empty text is the literal "" (two double quotes), which
// MySQL reads as an empty string.
//
// append_fld_literal is the loading hot path: it writes the same literal as get_fld_append_str
// straight into a UTF-8 statement buffer, with no wide temporary.
//
// Free functions without state: usable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ole_types.h"
#include "ole_variant.h"

class udb_column;
class udb_field;

// The literal of `text` read as a value of `vartype`.
std::u16string to_mysql_str(std::u16string_view text, VARTYPE vartype);
// to_mysql_str of the field's whole value (every code unit of a text, every byte of a binary
// value) under the field's type.
std::u16string get_fld_str(const udb_field& field);
// The literal of the field in an INSERT into `column`: NULL for an empty value in a nullable
// column, the column's default for an empty value in a NOT NULL column, the field's literal
// otherwise.
std::u16string get_fld_append_str(const udb_field& field, const udb_column& column);
// The DEFAULT literal of the column's default value, or an empty string when the column should
// get no DEFAULT clause.
std::u16string make_mysql_def_val(const udb_column& column);

// Appends get_fld_append_str(field, column) in UTF-8 to `out`. Returns the length of the literal
// in UTF-16 code units (what a wide statement of the same text would count).
size_t append_fld_literal(std::string& out, const udb_field& field, const udb_column& column);
// Appends the text in UTF-8 with backslash, apostrophe and NUL escaped (no enclosing quotes).
// Returns the number of UTF-16 code units written.
size_t append_escaped_text(std::string& out, std::u16string_view text);

// A value of `vartype` made from the text of a cell; a null text gives an empty value. VT_BOOL is
// true exactly when the text is not empty; every other type is parsed by ole_variant.
ole_variant get_variant(VARTYPE vartype, const char* text, size_t length);
ole_variant get_variant(VARTYPE vartype, const char16_t* text, size_t length);
inline ole_variant get_variant(VARTYPE vartype, std::u16string_view text) {
    return get_variant(vartype, text.data(), text.size());
}
// A value made from a result cell (null for SQL NULL) of the MySQL column type `mysql_type`
// (enum_field_types) with the column's flags: binary BLOB columns give byte arrays, text BLOB
// columns VT_BSTR (the cell decoded from UTF-8), every other column the type of the read-back
// type map.
ole_variant get_variant(int mysql_type, unsigned long length, unsigned int flags, const char* cell);
