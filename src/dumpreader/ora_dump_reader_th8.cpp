#include "ora_dump_reader_th8.h"

#include <cstdio>

#include "ora_byte_source.h"
#include "ora_dump_format.h"

ora_dump_reader_th8::ora_dump_reader_th8() = default;

ora_dump_reader_th8::~ora_dump_reader_th8() = default;

void ora_dump_reader_th8::set_version(const std::string& version_word) {
    m_major = m_minor = m_patch = 0;
    if (version_word.empty()) return;
    std::sscanf(version_word.c_str(), "EXPORT:V%02d.%02d.%02d", &m_major, &m_minor, &m_patch);
}

bool ora_dump_reader_th8::has_row_trailer() const {
    return !(m_major == 8 && m_minor == 0 && m_patch == 6);
}

void ora_dump_reader_th8::read_columns(ora_byte_source& source, const ora_column_list& columns,
                                       bool lob_charsets) {
    uint16_t count = need_u16(source);
    m_header_columns = count;
    for (uint16_t i = 0; i < count; ++i) {
        uint16_t type = need_u16(source);
        need_u16(source);  // column length
        if (type == ora_fmt::type_varchar2 || type == ora_fmt::type_char) {
            need_skip(source, ora_fmt::charset_field_bytes);
        } else if (lob_charsets && type == ora_fmt::type_clob) {
            uint16_t charset = need_u16(source);
            if (i < columns.size() && columns[i] != nullptr) columns[i]->set_charset_id(charset);
            need_skip(source, ora_fmt::clob_charset_tail);
        }
    }
}

void ora_dump_reader_th8::skip_entries(ora_byte_source& source, uint16_t count) {
    // Each entry: a length byte, then that many bytes and two more (a LOB column's name, or
    // nothing for other columns). Names of long identifiers need the byte unsigned.
    for (uint16_t i = 0; i < count; ++i) {
        uint8_t length = need_u8(source);
        need_skip(source, static_cast<uint64_t>(length) + 2);
    }
}

void ora_dump_reader_th8::read_column_header(ora_byte_source& source,
                                             const ora_column_list& columns) {
    read_columns(source, columns, false);
    uint16_t entries = need_u16(source);
    if (m_major == 8 && m_minor == 0 && m_patch == 5) {
        m_no_lob_tail = 0;
    } else if (m_major == 8 && m_minor == 0 && m_patch == 6) {
        m_no_lob_tail = 1;
    } else {
        m_no_lob_tail = need_u16(source);
    }
    skip_entries(source, entries);
}
