// ora_dump_reader_th7: the row decoder of version 7 exports.
//
// Its column header is only the type and length of each column (plus 16 bytes when a column of
// type 871 occurs); LOB data after a row is skipped entry by entry without a trailer. Owned by
// the dump facade; one thread at a time.
#pragma once

#include "ora_dump_reader_th.h"

class ora_dump_reader_th7 : public ora_dump_reader_th {
public:
    ora_dump_reader_th7();
    ~ora_dump_reader_th7() override;

    void read_column_header(ora_byte_source& source, const ora_column_list& columns) override;
    void skip_clob_blob_data(ora_byte_source& source,
                             const std::vector<size_t>& lob_columns) override;

protected:
    // Version 7 rows end with a 2-byte word when they have no LOB data; otherwise each LOB entry
    // has 2 bytes of its own before it, and there is no trailer.
    void read_lob_values(ora_byte_source& source, const ora_column_list& columns,
                         udb_record& record, const std::vector<uint32_t>& slots,
                         const std::vector<size_t>& lobs) override;

public:
    // Skips `count` version-7 LOB entries: 2 bytes, then a length or a 0xFFFA chunked entry.
    void skip_blob_data_list(ora_byte_source& source, size_t count);
};
