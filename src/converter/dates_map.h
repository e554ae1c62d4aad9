// dates_map: the date statistics of one table, fed row by row during its conversion.
//
// Built over the source schema: with only_dates set (as the driver builds it), one entry for
// every VT_DATE column, which the destination first creates as DATETIME. add_rec_stat shows it
// every record; the kind of each value (date and time, date only, time of day) narrows the type
// the column needs:
//
//   values seen                                     type after the table
//   none (all NULL or empty, or no rows)            DATETIME (unchanged)
//   only dates with times                           DATETIME
//   only dates without times                        DATE
//   dates without times, then a date with a time    DATETIME
//   only times of day                               TIME
//   a time of day together with any date            CHAR(19)
//   a first non-empty value of no recognised kind   CHAR(19)
//
// Per row it costs one look at each date column: a VT_DATE value is judged from its calendar
// record, other values through their text form.
//
// Lives for one table on the conversion thread; owned by the driver.
#pragma once

#include <cstdint>
#include <string>

#include "types_map.h"

class udb_record;
class udb_schema;

class dates_map : public types_map {
public:
    // Traces "dates_map::ctor(size=%d)" and, per column, "Field #%d has type %d" and "Add map
    // entry for field #%d" or "Field #%d has not a date type".
    dates_map(std::u16string table, const udb_schema& schema, bool only_dates);

    // Updates the entries from one record whose fields are in schema order. A record shorter
    // than an entry's column index leaves that entry alone.
    void add_rec_stat(const udb_record& record);

    // The date kind (1 date and time, 2 date only, 3 time only, else 0) of a value's text.
    static int32_t kind_of_text(const std::u16string& text);
};
