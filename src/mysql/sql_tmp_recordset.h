// sql_tmp_recordset: a cursor over the whole result of one statement.
//
// Made from a client result handle (mysql_use_result), which it takes over: the constructor
// fetches every row into sql_record objects and frees the result, so the connection is free for
// the next statement at once. Its record count is the number of rows. It is read only:
// append_record is an assertion failure. Owned by whoever ran the statement
// (sql_database::query_records); one thread.
#pragma once

#include <mysql.h>

#include <memory>
#include <vector>

#include "sql_record.h"
#include "udb_recordset.h"

class sql_tmp_recordset : public udb_recordset {
public:
    // A null result is an assertion failure.
    explicit sql_tmp_recordset(MYSQL_RES* result);
    ~sql_tmp_recordset() override;

    // Assertion failure: a statement's result is not appended to.
    void append_record(udb_record& record) override;
    // The row at the position, owned by the cursor; nullptr past the end.
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void reset() override;

private:
    int32_t m_position = 0;
    std::vector<std::unique_ptr<sql_record>> m_rows;
};
