// sql_field: one cell of a row read back from the MySQL server.
//
// A udb_field named after the result column, sized by the column's length, whose value get_variant
// made from the cell (sql_util.h). It adds nothing but its constructor. Owned by its sql_record;
// one thread.
#pragma once

#include <cstdint>
#include <string>

#include "ole_variant.h"
#include "udb_field.h"

class sql_field : public udb_field {
public:
    sql_field(std::u16string name, int32_t size, const ole_variant& value);
    ~sql_field() override;
};
