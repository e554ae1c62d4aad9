#include "ora_dump_reader_th7.h"

#include "ora_byte_source.h"
#include "ora_dump_format.h"
#include "tk_log.h"

ora_dump_reader_th7::ora_dump_reader_th7() = default;

ora_dump_reader_th7::~ora_dump_reader_th7() = default;

void ora_dump_reader_th7::read_column_header(ora_byte_source& source, const ora_column_list&) {
    uint16_t count = need_u16(source);
    m_header_columns = count;
    int extra = 0;
    for (uint16_t i = 0; i < count; ++i) {
        uint16_t type = need_u16(source);
        need_u16(source);  // column length
        if (type == ora_fmt::type_v7_extra) ++extra;
    }
    if (extra != 0) need_skip(source, ora_fmt::v7_extra_bytes);
}

void ora_dump_reader_th7::skip_clob_blob_data(ora_byte_source& source,
                                              const std::vector<size_t>& lob_columns) {
    tk_trace(1, "ora_dump_reader_th::skip_clob_blob_data");
    if (lob_columns.empty()) {
        need_skip(source, ora_fmt::row_trailer_size);
        return;
    }
    skip_blob_data_list(source, lob_columns.size());
}

void ora_dump_reader_th7::read_lob_values(ora_byte_source& source, const ora_column_list& columns,
                                          udb_record& record, const std::vector<uint32_t>& slots,
                                          const std::vector<size_t>& lobs) {
    if (lobs.empty()) {
        need_skip(source, ora_fmt::row_trailer_size);
        return;
    }
    for (size_t i : lobs) {
        need_skip(source, 2);
        read_lob_field(source, *columns[i], record[slots[i]]);
    }
}

void ora_dump_reader_th7::skip_blob_data_list(ora_byte_source& source, size_t count) {
    tk_trace(1, "ora_dump_reader_th7::skip_blob_data");
    for (size_t i = 0; i < count; ++i) {
        need_skip(source, 2);
        uint16_t marker = need_u16(source);
        if (marker == ora_fmt::lob_chunked_ext) {
            skip_lob_header(source, marker);
            read_lob_chunks(source, nullptr);
        } else {
            need_skip(source, marker);
        }
    }
}
