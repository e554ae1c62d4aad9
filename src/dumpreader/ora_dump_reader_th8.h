// ora_dump_reader_th8: the row decoder of version 8 exports.
//
// Knows the export's major, minor and patch numbers: 8.0.5 and 8.0.6 carry no flag word in the
// column header (8.0.6 rows have no trailer and no LOB tail), later 8.x releases do. The column
// header lists type and length per column, 4 character-set bytes after character columns, then a
// count of entries and the flag word. Base of ora_dump_reader_th9. Owned by the dump facade; one
// thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "ora_dump_reader_th.h"

class ora_dump_reader_th8 : public ora_dump_reader_th {
public:
    ora_dump_reader_th8();
    ~ora_dump_reader_th8() override;

    // Reads major, minor and patch from "EXPORT:Vnn.nn.nn" (fields that do not match stay 0).
    void set_version(const std::string& version_word);
    int32_t major() const { return m_major; }
    int32_t minor() const { return m_minor; }
    int32_t patch() const { return m_patch; }

    void read_column_header(ora_byte_source& source, const ora_column_list& columns) override;
    // False only for exports of version 8.0.6.
    bool has_row_trailer() const override;

protected:
    // Reads the column descriptions; `lob_charsets`: type-112 columns carry their character set.
    void read_columns(ora_byte_source& source, const ora_column_list& columns, bool lob_charsets);
    // Reads the W entries after the flag word.
    void skip_entries(ora_byte_source& source, uint16_t count);

    int32_t m_major = 0;
    int32_t m_minor = 0;
    int32_t m_patch = 0;
};
