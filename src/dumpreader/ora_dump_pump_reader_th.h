// ora_dump_pump_reader_th: the row decoder of Data Pump dumps.
//
// Data Pump rows are Oracle row pieces. A piece is a flag byte (0x08 the row's first piece, 0x04
// its last, 0x02 its first value goes on from the previous piece, 0x01 its last value goes on in
// the next piece, 0x10 a 2-byte size follows, counting the whole piece), a count byte and that
// many values; a value is a length byte (255 NULL, 254: a 2-byte big-endian length follows) and
// its bytes. A row's values follow the columns handed in (the stream description's order: every
// other column first, then the LOB columns, each LOB value in a piece of its own); trailing NULL
// values are left out. A value split over pieces (a long LOB) is put together before it is
// decoded. A table's rows end where its row data ends (the limit handed to read_record and
// skip_row): check_for_eof is true there.
//
// Every read is bounded by the limit and the dump's length, so a damaged length never makes the
// decoder allocate more than the bytes that exist. A piece flag that does not fit its place, a
// declared piece size that does not match, a NULL that continues, or more values than columns
// end the row with a tk_exception (level 0, "Can't read record. ..."); reading the row again
// gives the same error. Each piece checks the thread's stop request.
//
// A slot of no_slot passes the value over without decoding it (values the table's description
// does not have, columns nobody asked for).
//
// Owned by the dump facade; one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ora_dump_reader_th9.h"

class ora_dump_pump_reader_th : public ora_dump_reader_th9 {
public:
    static constexpr uint32_t no_slot = UINT32_MAX;

    // no_lob_tail is 1: nothing follows a row's pieces.
    ora_dump_pump_reader_th();
    ~ora_dump_pump_reader_th() override;

    void read_record(ora_byte_source& source, const ora_column_list& columns, uint64_t limit,
                     udb_record& record, const std::vector<uint32_t>& slots) override;
    void skip_row(ora_byte_source& source, const ora_column_list& columns,
                  uint64_t limit = no_limit) override;
    // True at the end of the row data of the latest row read or passed over (or of the dump).
    bool check_for_eof(ora_byte_source& source) override;
    // LOB values are pieces of their row: nothing follows the row.
    void skip_clob_blob_data(ora_byte_source& source,
                             const std::vector<size_t>& lob_columns) override;
    // One LOB value given as its own pieces (flag, count 1, value; continued while the flag
    // says so): text for `tag` VT_BSTR in the character set `charset_id`, bytes otherwise.
    ole_variant get_blob_value(ora_byte_source& source, VARTYPE tag, uint16_t charset_id) override;

    // Where the latest row read or passed over may end.
    uint64_t rows_end() const { return m_rows_end; }
    void set_rows_end(uint64_t end) { m_rows_end = end; }

private:
    // Reads or passes over one row; decodes into `record` unless it is null.
    void walk(ora_byte_source& source, const ora_column_list& columns, uint64_t limit,
              udb_record* record, const std::vector<uint32_t>* slots);
    void decode_direct(ora_byte_source& source, const ora_dump_column& column, uint32_t length,
                       udb_field& field);
    void decode_buffered(const ora_dump_column& column, udb_field& field);
    ole_variant lob_value(const ora_dump_column& column, const std::string& bytes);
    [[noreturn]] static void fail(const char* what, uint64_t position);

    uint64_t m_rows_end = no_limit;
    std::string m_pending;  // a value that goes on over pieces
    std::string m_bytes;
    std::u16string m_text;
};
