// ora_dump_reader_th: the row decoder of a dump, and the base of its family.
//
// Reads a table's data from the dump's byte source: the column header after each INSERT INTO
// statement, then one row at a time, either decoded into a udb_record or skipped. The layout
// differs between export versions, so there is one class per layout (ora_dump_reader_th7, _th8,
// _th9; Data Pump has its own), chosen once per dump by create_row_decoder. Column values are
// decoded by get_ole_value; LONG, LONG RAW and LOB data by the operations of the LONG and LOB
// layouts (get_long_raw_value, get_blob_value and the skips).
//
// Classic row: per column a little-endian length word (0xFFFE: NULL) and its data; then, unless
// the column header's flag word (no_lob_tail) is set, a 2-byte trailer; then one entry per
// non-NULL LOB column. 0xFFFF in place of the next row's first length word ends the table.
//
// Every read of a row is bounded by the table's limit and the dump's length: a length that
// points past them ends the row with tk_exception "Can't read record. EOF reached" (level 0), so
// damaged data never makes the decoder allocate or seek beyond the table.
//
// The column list handed to the operations is in the order of the row (the INSERT INTO list);
// the columns are borrowed from the table's schema. One decoder per opened dump, owned by the
// dump facade (ora_dump_file) and shared by its tables; one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "ora_dump_column.h"
#include "udb_record.h"

class ora_byte_source;
class ora_text_codec;

using ora_column_list = std::vector<ora_dump_column*>;

class ora_dump_reader_th {
public:
    static constexpr uint64_t no_limit = UINT64_MAX;

    ora_dump_reader_th();
    ora_dump_reader_th(const ora_dump_reader_th&) = delete;
    ora_dump_reader_th& operator=(const ora_dump_reader_th&) = delete;
    virtual ~ora_dump_reader_th();

    // The dump's character sets and length, given by the open before any table is read. Without
    // a codec, text is read as UTF-8 and the length is unbounded.
    void set_context(std::unique_ptr<ora_text_codec> codec, uint64_t file_length);
    ora_text_codec& codec();
    uint64_t file_length() const { return m_file_length; }

    // How many columns the latest column header described.
    size_t header_column_count() const { return m_header_columns; }

    // Reads the column header that follows an INSERT INTO statement; may set no_lob_tail and the
    // character-set ids of character LOB columns. Throws "Can't read record. EOF reached" when
    // the header runs past the end of the dump.
    virtual void read_column_header(ora_byte_source& source, const ora_column_list& columns) = 0;
    // Decodes the row at the source's position into a new record (owned by the caller) whose
    // fields follow `columns`; the source is left after the row and its LOB data. `limit`: where
    // the table's data ends. Throws tk_exception "Can't read record. EOF reached" (level 0) when
    // the row runs past `limit` or the dump, "Can't read record. Date error." (level 1) for a
    // DATE of the wrong size; the record is then discarded.
    virtual std::unique_ptr<udb_record> get_record(ora_byte_source& source,
                                                   const ora_column_list& columns,
                                                   uint64_t limit);
    // get_record into an existing record: the value of columns[i] goes to record[slots[i]]; the
    // other fields become empty. The record must hold a field for every slot. Same errors; the
    // record's values are unspecified after one.
    virtual void read_record(ora_byte_source& source, const ora_column_list& columns,
                             uint64_t limit, udb_record& record,
                             const std::vector<uint32_t>& slots);
    // Moves the source from the start of a row to the start of the next one. Throws "Can't read
    // record. EOF reached" when the row runs past `limit` or the dump.
    virtual void skip_row(ora_byte_source& source, const ora_column_list& columns,
                          uint64_t limit = no_limit);
    // True when the source is at the end-of-table marker (or at the end of the dump); the
    // position does not change.
    virtual bool check_for_eof(ora_byte_source& source);
    // Whether a row is followed by the 2-byte trailer (when no_lob_tail is not set).
    virtual bool has_row_trailer() const;
    // Skips a LONG or LONG RAW value whose length word `length` was just read.
    virtual void skip_long_raw_data(ora_byte_source& source, uint16_t length, bool last);
    // Skips one LOB entry after a row.
    virtual void skip_blob_data(ora_byte_source& source);
    // Skips what follows a row's columns: the trailer and the LOB entries of the columns listed
    // (positions in the column list).
    virtual void skip_clob_blob_data(ora_byte_source& source,
                                     const std::vector<size_t>& lob_columns);
    // Reads a LONG RAW value whose length word `length` was just read (0xFFFD: in chunks).
    virtual ole_variant get_long_raw_value(ora_byte_source& source, uint16_t length);

    // Decodes one column value of `size` bytes at the source's position by the column's value
    // type and kind; the source is left after the value. `charset_id` is not used by classic
    // dumps. An unexpected value type is an assertion failure.
    ole_variant get_ole_value(VARTYPE vartype, int32_t kind, ora_byte_source& source,
                              uint16_t size, uint16_t charset_id);
    // Reads one LOB entry after a row: text for `tag` VT_BSTR (in the column's character set
    // `charset_id`), bytes otherwise. An empty entry is empty text or zero bytes.
    virtual ole_variant get_blob_value(ora_byte_source& source, VARTYPE tag, uint16_t charset_id);
    // A DATE value of `size` bytes; "Can't read record. Date error." (level 1) unless 7.
    ole_variant get_datetime_value(ora_byte_source& source, uint16_t size);

    uint16_t no_lob_tail() const { return m_no_lob_tail; }
    void set_no_lob_tail(uint16_t value) { m_no_lob_tail = value; }

protected:
    // Bounded reads for the row layouts: each throws "Can't read record. EOF reached" when the
    // bytes lie beyond the current limit or the data ends first.
    uint16_t need_u16(ora_byte_source& source);
    uint8_t need_u8(ora_byte_source& source);
    void need_skip(ora_byte_source& source, uint64_t count);
    void need_read(ora_byte_source& source, std::string& out, size_t count);
    [[noreturn]] static void throw_eof();

    // A LOB chunk list: lengths, each followed by its data, while a length repeats the one before;
    // the first length that differs starts the last chunk. Appends the data unless `out` is null.
    void read_lob_chunks(ora_byte_source& source, std::string* out);
    // The bound of the reads of the current row (no_limit between rows).
    uint64_t& row_limit() { return m_limit; }
    // The header of a chunked LOB entry whose first word `marker` (0xFFFC or 0xFFFA) was read.
    void skip_lob_header(ora_byte_source& source, uint16_t marker);
    // What follows a decoded row's columns: the trailer and the entries of the non-NULL LOB
    // columns `lobs` (positions in `columns`), each into its field.
    virtual void read_lob_values(ora_byte_source& source, const ora_column_list& columns,
                                 udb_record& record, const std::vector<uint32_t>& slots,
                                 const std::vector<size_t>& lobs);
    void read_lob_field(ora_byte_source& source, const ora_dump_column& column, udb_field& field);
    // A chunked LONG / LONG RAW value after its 0xFFFD; appends unless `out` is null.
    void read_long_chunks(ora_byte_source& source, std::string* out);

    uint16_t m_no_lob_tail = 0;
    size_t m_header_columns = 0;

private:
    ole_variant decode_number(VARTYPE vartype, const uint8_t* bytes, size_t size);
    void decode_text_value(ora_byte_source& source, uint16_t size, bool national,
                           ole_variant& out);
    // The bytes of a value: a view into the source's window when they lie in it, else a copy in
    // m_scratch. Bounded like need_read.
    const uint8_t* value_bytes(ora_byte_source& source, size_t size);

    std::unique_ptr<ora_text_codec> m_codec;
    uint64_t m_file_length = no_limit;
    uint64_t m_limit = no_limit;
    std::string m_scratch;
    std::string m_lob;
    std::u16string m_text;
    std::vector<size_t> m_lob_list;
};

// The row decoder for an export version: 7 ora_dump_reader_th7, 8 ora_dump_reader_th8 (which
// reads major, minor and patch from the version word "EXPORT:Vnn.nn.nn"), 9 to 11 and every later
// classic version (12.1 to 23 keep the layout of 11) ora_dump_reader_th9, 1 and 2 the Data Pump
// decoder; nullptr for any other version. The caller owns the result.
std::unique_ptr<ora_dump_reader_th> create_row_decoder(int32_t version,
                                                       const std::string& version_word);
