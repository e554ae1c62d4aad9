// mysql_resolve_duplicates: the recovery applied when loading a table fails on duplicate keys.
//
// One per table being loaded, made by the conversion driver with the destination database and
// cursor. check_1st_rec looks at the table's first record: a 0 in the auto-increment column would
// be replaced by a generated number, so AUTO_INCREMENT is removed first. handle_if answers a
// failure: the first duplicate-key error (1062) removes AUTO_INCREMENT, the second turns the
// primary key and the unique indexes into plain indexes; each time it answers true and the driver
// appends the same record again. Any other error, or a third duplicate, answers false (and resets
// the stage): the driver then reports it (for a refused batch: sql_recordset::send_rejected_rows).
//
// Borrows the database and the cursor, which must outlive it. One thread.
#pragma once

#include <cstdint>

#include "tk_exception.h"
#include "udb_database.h"
#include "udb_record.h"
#include "udb_recordset.h"

class mysql_resolve_duplicates {
public:
    mysql_resolve_duplicates(udb_database& database, udb_recordset& cursor);
    mysql_resolve_duplicates(const mysql_resolve_duplicates&) = delete;
    mysql_resolve_duplicates& operator=(const mysql_resolve_duplicates&) = delete;

    // For the first record of the table: removes AUTO_INCREMENT when the record's value in that
    // column reads as the integer 0.
    void check_1st_rec(const udb_record& record);
    // True when the failure was a duplicate key at stage 0 or 1 and a repair ran: load the same
    // record again.
    bool handle_if(const tk_exception& error);
    // ALTER TABLE ... MODIFY: the auto-increment column keeps its type, NOT NULL and default.
    void remove_auto_increment();
    // Drops the primary key and the unique indexes that do not hold the auto-increment column and
    // adds plain indexes over the same columns.
    void update_indexes();

    int32_t stage() const { return m_stage; }
    int32_t auto_position() const { return m_auto_position; }

private:
    int32_t m_auto_position = -1;
    int32_t m_stage = 0;
    udb_recordset& m_cursor;
    udb_database& m_database;
};
