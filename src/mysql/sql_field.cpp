#include "sql_field.h"

sql_field::sql_field(std::u16string name, int32_t size, const ole_variant& value)
    : udb_field(std::move(name), size, value) {}

sql_field::~sql_field() = default;
