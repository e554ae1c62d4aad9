// The type maps of the MySQL side: value type -> MySQL column type for CREATE TABLE and ALTER
// TABLE, and MySQL result column type -> value type for reading existing tables back.
//
// Free functions; they read sql_engine's case-sensitivity switch (VARCHAR ... BINARY) and nothing
// else. Usable from the conversion thread.
#pragma once

#include <cstdint>
#include <string>

#include "ole_types.h"

// The MySQL column type of a column of `vartype`, `size` (characters for text, bytes for binary,
// 0 unlimited) and `flags` (DECIMAL precision and scale, date kind). An unmappable type, or a
// VT_DATE kind outside 0-3, is an assertion failure.
std::u16string get_native_type(VARTYPE vartype, int32_t size, int32_t flags);

// The value type of a MySQL result column of type `mysql_type` (enum_field_types) with the
// column's `flags` (UNSIGNED_FLAG decides the integer types). BLOB types give VT_BLOB; the
// caller turns BLOB columns without BINARY_FLAG into text.
VARTYPE mysql_type_to_vartype(int mysql_type, unsigned int flags);

// True for the MySQL BLOB family (TINYBLOB, MEDIUMBLOB, LONGBLOB, BLOB: types 249-252).
bool is_mysql_blob_type(int mysql_type);
