#include "ora_dump_pump_reader_th.h"

#include <algorithm>
#include <cstdio>

#include "ora_byte_source.h"
#include "ora_memory_source.h"
#include "ora_pump_format.h"
#include "ora_text_codec.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_thread.h"

namespace {

namespace f = ora_pump_fmt;

// Sets the decoder's bound for one row and restores it when the row ends, however it ends.
class bound_guard {
public:
    bound_guard(uint64_t& limit, uint64_t value) : m_limit(limit), m_previous(limit) {
        m_limit = value;
    }
    ~bound_guard() { m_limit = m_previous; }
    bound_guard(const bound_guard&) = delete;
    bound_guard& operator=(const bound_guard&) = delete;

private:
    uint64_t& m_limit;
    uint64_t m_previous;
};

}  // namespace

ora_dump_pump_reader_th::ora_dump_pump_reader_th() { m_no_lob_tail = 1; }

ora_dump_pump_reader_th::~ora_dump_pump_reader_th() = default;

void ora_dump_pump_reader_th::fail(const char* what, uint64_t position) {
    char text[256];
    std::snprintf(text, sizeof text, "Can't read record. %s (position %llu).", what,
                  static_cast<unsigned long long>(position));
    tk_trace(3, "%s", text);
    throw tk_exception(text, 0);
}

void ora_dump_pump_reader_th::read_record(ora_byte_source& source, const ora_column_list& columns,
                                          uint64_t limit, udb_record& record,
                                          const std::vector<uint32_t>& slots) {
    tk_trace(1, "ora_dump_reader_th::get_record");
    tk_trace(1, "Reading at position: %lld", static_cast<long long>(source.position()));
    TK_ASSERT(slots.size() == columns.size());
    for (size_t i = 0; i < record.size(); ++i) record[i].clear();
    walk(source, columns, limit, &record, &slots);
}

void ora_dump_pump_reader_th::skip_row(ora_byte_source& source, const ora_column_list& columns,
                                       uint64_t limit) {
    tk_trace(1, "ora_dump_reader_th::skip_row");
    walk(source, columns, limit, nullptr, nullptr);
}

bool ora_dump_pump_reader_th::check_for_eof(ora_byte_source& source) {
    tk_trace(1, "ora_dump_reader_th::check_for_eof");
    uint64_t pos = source.position();
    return pos >= m_rows_end || pos >= source.size() || pos >= file_length();
}

void ora_dump_pump_reader_th::skip_clob_blob_data(ora_byte_source&, const std::vector<size_t>&) {
    tk_trace(1, "ora_dump_pump_reader_th::skip_clob_blob_data");
}

void ora_dump_pump_reader_th::walk(ora_byte_source& source, const ora_column_list& columns,
                                   uint64_t limit, udb_record* record,
                                   const std::vector<uint32_t>* slots) {
    const uint64_t end = std::min({limit, file_length(), source.size()});
    m_rows_end = end;
    bound_guard bound(row_limit(), end);
    const size_t count = columns.size();
    size_t next_value = 0;
    bool first = true;
    bool pending = false;  // the last value read goes on in the next piece
    size_t pending_index = 0;
    m_pending.clear();
    for (;;) {
        tk_thread::check_stop();
        const uint64_t piece_start = source.position();
        const uint8_t flag = need_u8(source);
        if ((flag & ~f::piece_known_flags) != 0 || first != ((flag & f::piece_first) != 0)) {
            char what[64];
            std::snprintf(what, sizeof what, "Unexpected row piece flag 0x%02X", flag);
            fail(what, piece_start);
        }
        if (pending != ((flag & f::piece_continues_previous) != 0)) {
            fail(pending ? "A value that goes on over row pieces is not continued"
                         : "A row piece continues a value that did not go on",
                 piece_start);
        }
        uint64_t piece_end = 0;
        if (flag & f::piece_sized) {
            uint16_t size = static_cast<uint16_t>(need_u8(source) << 8);
            size = static_cast<uint16_t>(size | need_u8(source));
            piece_end = piece_start + size;
        }
        const uint8_t values = need_u8(source);
        if (values == 0 && pending) fail("A row piece continues a value but holds none", piece_start);
        for (uint32_t j = 0; j < values; ++j) {
            const uint64_t value_start = source.position();
            uint32_t length = need_u8(source);
            if (length == f::value_long_length) {
                length = static_cast<uint32_t>(need_u8(source)) << 8;
                length |= need_u8(source);
            }
            if (record != nullptr) {
                tk_trace(1, "GOT FIELD SIZE: %d", static_cast<int>(length));
            } else {
                tk_trace(1, "Field #%d has size=%d", static_cast<int>(next_value),
                         static_cast<int>(length));
            }
            const bool continuing = j == 0 && pending;
            const bool goes_on = j + 1 == values && (flag & f::piece_continues_next) != 0;
            if (length == f::value_null) {
                tk_trace(1, "Got NULL-value");
                if (continuing || goes_on) fail("A NULL value goes on over row pieces", value_start);
                if (next_value >= count) {
                    fail("The row holds more values than the table has columns", value_start);
                }
                ++next_value;
                continue;
            }
            size_t index;
            if (continuing) {
                index = pending_index;
            } else {
                if (next_value >= count) {
                    fail("The row holds more values than the table has columns", value_start);
                }
                index = next_value++;
            }
            const uint32_t slot = slots != nullptr ? (*slots)[index] : no_slot;
            const bool decode = record != nullptr && slot != no_slot && slot < record->size();
            if (continuing || goes_on) {
                if (decode) {
                    need_read(source, m_pending, length);
                } else {
                    need_skip(source, length);
                }
                pending = goes_on;
                pending_index = index;
                if (!goes_on) {
                    if (decode) decode_buffered(*columns[index], (*record)[slot]);
                    m_pending.clear();
                }
            } else if (decode) {
                decode_direct(source, *columns[index], length, (*record)[slot]);
            } else {
                need_skip(source, length);
            }
        }
        if (piece_end != 0 && source.position() != piece_end) {
            fail("The row piece does not have the size it declares", piece_start);
        }
        first = false;
        if (flag & f::piece_last) {
            if (pending) fail("The row ends inside a value", piece_start);
            break;
        }
    }
    tk_trace(1, ">>> iterate through possible blobs");
}

ole_variant ora_dump_pump_reader_th::lob_value(const ora_dump_column& column,
                                               const std::string& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    ole_variant value;
    switch (column.kind()) {
        case ora_kind_clob:
            m_text.clear();
            codec().decode_clob(data, bytes.size(), column.charset_id(), m_text);
            value.attach_wstring(std::u16string_view(m_text));
            break;
        case ora_kind_long:
            m_text.clear();
            codec().decode_text(data, bytes.size(), false, m_text);
            value.attach_wstring(std::u16string_view(m_text));
            break;
        default:
            value.attach_binary(bytes.size(), data);
            break;
    }
    return value;
}

void ora_dump_pump_reader_th::decode_direct(ora_byte_source& source, const ora_dump_column& column,
                                            uint32_t length, udb_field& field) {
    const int32_t kind = column.kind();
    if (ora_is_lob(kind) || ora_is_long(kind)) {
        // LONG and LOB values are taken whole; their lengths carry no chunk markers here.
        m_bytes.clear();
        need_read(source, m_bytes, length);
        static_cast<ole_variant&>(field) = lob_value(column, m_bytes);
        if (ora_is_lob(kind)) field.set_size(0);
        return;
    }
    static_cast<ole_variant&>(field) =
        get_ole_value(column.vartype(), kind, source, static_cast<uint16_t>(length),
                      column.charset_id());
}

void ora_dump_pump_reader_th::decode_buffered(const ora_dump_column& column, udb_field& field) {
    const int32_t kind = column.kind();
    if (ora_is_lob(kind) || ora_is_long(kind)) {
        static_cast<ole_variant&>(field) = lob_value(column, m_pending);
        if (ora_is_lob(kind)) field.set_size(0);
        return;
    }
    if (column.vartype() == VT_BSTR) {
        m_text.clear();
        codec().decode_text(reinterpret_cast<const uint8_t*>(m_pending.data()), m_pending.size(),
                            kind == ora_kind_nchar || kind == ora_kind_nvarchar2, m_text);
        ole_variant value;
        value.attach_wstring(std::u16string_view(m_text));
        static_cast<ole_variant&>(field) = std::move(value);
        return;
    }
    // A number or date split over pieces: decoded from its assembled bytes.
    if (m_pending.size() > UINT16_MAX) fail("A value is longer than its type allows", 0);
    const uint16_t size = static_cast<uint16_t>(m_pending.size());
    ora_memory_source bytes(m_pending);
    bound_guard bound(row_limit(), no_limit);
    static_cast<ole_variant&>(field) =
        get_ole_value(column.vartype(), kind, bytes, size, column.charset_id());
}

ole_variant ora_dump_pump_reader_th::get_blob_value(ora_byte_source& source, VARTYPE tag,
                                                    uint16_t charset_id) {
    tk_trace(1, "ora_dump_reader_th::get_blob_value");
    m_pending.clear();
    bool is_null = false;
    for (bool more = true; more;) {
        const uint64_t piece_start = source.position();
        const uint8_t flag = need_u8(source);
        if ((flag & (f::piece_first | f::piece_sized | ~f::piece_known_flags)) != 0 ||
            need_u8(source) != 1) {
            fail("Unexpected LOB piece", piece_start);
        }
        uint32_t length = need_u8(source);
        if (length == f::value_long_length) {
            length = static_cast<uint32_t>(need_u8(source)) << 8;
            length |= need_u8(source);
        }
        more = (flag & f::piece_continues_next) != 0;
        if (length == f::value_null) {
            if (more || !m_pending.empty()) fail("A NULL value goes on over row pieces", piece_start);
            is_null = true;
            break;
        }
        need_read(source, m_pending, length);
    }
    if (is_null) return ole_variant();
    ora_dump_column column(0, tag == VT_BSTR ? ora_kind_clob : ora_kind_blob, std::u16string(),
                           tag == VT_BSTR ? VT_BSTR : VT_BLOB, false, 0);
    column.set_charset_id(charset_id);
    return lob_value(column, m_pending);
}
