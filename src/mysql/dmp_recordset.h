// dmp_recordset: writes the rows of one table into a MySQL dump script.
//
// Each appended record becomes one statement INSERT INTO name VALUES(...); of the values'
// literals (sql_util, as on a server), written at once through the script's buffered file, so a
// table of any size needs memory for one row only. The schema holds copies of the table's columns
// under their MySQL names, as sql_schema_initializer made them; the literal of a field follows the
// column at the same position (what an empty value becomes, for one). Only append_record does
// work; the reading operations keep the base's behaviour.
//
// Made by dmp_database::create_table and owned by the caller; it borrows the database, which must
// outlive it. One thread.
#pragma once

#include <string>

#include "udb_recordset.h"

class dmp_database;

class dmp_recordset : public udb_recordset {
public:
    // `columns`: the table's columns with their MySQL names (copied).
    dmp_recordset(dmp_database& database, std::u16string name, const udb_schema& columns);
    ~dmp_recordset() override;

    // Writes the record as one INSERT statement; the values are written in their own types.
    // Throws tk_exception (level 0) when the record has not as many fields as the table has
    // columns, and tk_exception (level 1) when the file cannot be written.
    void append_record(udb_record& record) override;

private:
    dmp_database& m_database;
    // "INSERT INTO name VALUES(" in UTF-8, made once.
    std::string m_head;
    // The statement being built, kept to reuse its memory from row to row.
    std::string m_row;
};
