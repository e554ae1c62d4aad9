// sql_record: one result row of the MySQL server as a record of sql_field values.
//
// Built from a fetched row: one field per result column, named after the column. Text cells (CHAR,
// VARCHAR, and BLOB columns without the BINARY flag) are decoded from UTF-8; every other cell keeps
// its bytes and becomes a value of the read-back type map (get_variant). SQL NULL gives an empty
// value. Owned by the cursor that fetched it (sql_recordset's row block, sql_tmp_recordset's
// rows); one thread.
#pragma once

#include <mysql.h>

#include "udb_record.h"

class sql_record : public udb_record {
public:
    // `row`, `lengths` and `fields` describe `n_fields` cells of one fetched row; they are read
    // during construction only.
    sql_record(MYSQL_ROW row, const unsigned long* lengths, const MYSQL_FIELD* fields,
               unsigned int n_fields);
    ~sql_record() override;
};
