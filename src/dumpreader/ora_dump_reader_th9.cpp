#include "ora_dump_reader_th9.h"

#include "ora_byte_source.h"

ora_dump_reader_th9::ora_dump_reader_th9() = default;

ora_dump_reader_th9::~ora_dump_reader_th9() = default;

void ora_dump_reader_th9::read_column_header(ora_byte_source& source,
                                             const ora_column_list& columns) {
    read_columns(source, columns, true);
    uint16_t entries = need_u16(source);
    m_no_lob_tail = need_u16(source);
    skip_entries(source, entries);
}
