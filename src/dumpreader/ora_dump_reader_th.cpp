#include "ora_dump_reader_th.h"

#include <cmath>
#include <limits>

#include "ora_byte_source.h"
#include "ora_dump_format.h"
#include "ora_number.h"
#include "ora_text_codec.h"
#include "tk_exception.h"
#include "tk_log.h"

namespace {

const uint8_t k_no_bytes[1] = {0};

// Restores the decoder's bound when a row ends, normally or by an exception.
class row_bound {
public:
    row_bound(uint64_t& limit, uint64_t value) : m_limit(limit), m_previous(limit) {
        m_limit = value;
    }
    ~row_bound() { m_limit = m_previous; }
    row_bound(const row_bound&) = delete;
    row_bound& operator=(const row_bound&) = delete;

private:
    uint64_t& m_limit;
    uint64_t m_previous;
};

// VarI1FromR8 / VarI2FromR8 / VarI4FromR8: the nearest integer, halves to even; 0 when the value
// is out of the target's range.
template <class T>
T ole_round_to(double x) {
    double r = std::nearbyint(x);
    if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
          r <= static_cast<double>(std::numeric_limits<T>::max()))) {
        return 0;
    }
    return static_cast<T>(r);
}

}  // namespace

ora_dump_reader_th::ora_dump_reader_th() : m_codec(std::make_unique<ora_text_codec>()) {}

ora_dump_reader_th::~ora_dump_reader_th() = default;

void ora_dump_reader_th::set_context(std::unique_ptr<ora_text_codec> codec, uint64_t file_length) {
    m_codec = codec ? std::move(codec) : std::make_unique<ora_text_codec>();
    m_file_length = file_length;
}

ora_text_codec& ora_dump_reader_th::codec() { return *m_codec; }

void ora_dump_reader_th::throw_eof() { throw tk_exception("Can't read record. EOF reached", 0); }

uint16_t ora_dump_reader_th::need_u16(ora_byte_source& source) {
    uint16_t v = 0;
    if (source.position() + 2 > m_limit || !source.read_u16le(v)) throw_eof();
    return v;
}

uint8_t ora_dump_reader_th::need_u8(ora_byte_source& source) {
    uint8_t v = 0;
    if (source.position() + 1 > m_limit || !source.read_byte(v)) throw_eof();
    return v;
}

void ora_dump_reader_th::need_skip(ora_byte_source& source, uint64_t count) {
    uint64_t pos = source.position();
    if (count > m_limit || pos > m_limit - count || pos + count > source.size()) throw_eof();
    source.skip(count);
}

void ora_dump_reader_th::need_read(ora_byte_source& source, std::string& out, size_t count) {
    uint64_t pos = source.position();
    if (count > m_limit || pos > m_limit - count) throw_eof();
    if (source.read_append(out, count) != count) throw_eof();
}

const uint8_t* ora_dump_reader_th::value_bytes(ora_byte_source& source, size_t size) {
    if (size == 0) return k_no_bytes;
    uint64_t pos = source.position();
    if (size > m_limit || pos > m_limit - size) throw_eof();
    if (const uint8_t* p = source.view(size)) return p;
    m_scratch.resize(size);
    if (source.read(m_scratch.data(), size) != size) throw_eof();
    return reinterpret_cast<const uint8_t*>(m_scratch.data());
}

std::unique_ptr<udb_record> ora_dump_reader_th::get_record(ora_byte_source& source,
                                                           const ora_column_list& columns,
                                                           uint64_t limit) {
    auto record = std::make_unique<udb_record>();
    record->reserve(columns.size());
    std::vector<uint32_t> slots(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        TK_ASSERT(columns[i] != nullptr);
        record->add(std::make_unique<udb_field>(columns[i]->name(), columns[i]->size(),
                                                ole_variant()));
        slots[i] = static_cast<uint32_t>(i);
    }
    read_record(source, columns, limit, *record, slots);
    return record;
}

void ora_dump_reader_th::read_record(ora_byte_source& source, const ora_column_list& columns,
                                     uint64_t limit, udb_record& record,
                                     const std::vector<uint32_t>& slots) {
    tk_trace(1, "ora_dump_reader_th::get_record");
    tk_trace(1, "Reading at position: %lld", static_cast<long long>(source.position()));
    TK_ASSERT(slots.size() == columns.size());
    for (size_t i = 0; i < record.size(); ++i) record[i].clear();
    row_bound bound(m_limit, std::min(limit, m_file_length));
    m_lob_list.clear();
    for (size_t i = 0; i < columns.size(); ++i) {
        const ora_dump_column& column = *columns[i];
        uint16_t size = need_u16(source);
        tk_trace(1, "GOT FIELD SIZE: %d", size);
        if (size == ora_fmt::null_length) {
            tk_trace(1, "Got NULL-value");
            continue;
        }
        if (ora_is_lob(column.kind())) {
            // The in-row bytes are the LOB's locator; its data follows the row.
            need_skip(source, size);
            m_lob_list.push_back(i);
            continue;
        }
        udb_field& field = record[slots[i]];
        static_cast<ole_variant&>(field) =
            get_ole_value(column.vartype(), column.kind(), source, size, 0);
    }
    tk_trace(1, ">>> iterate through possible blobs");
    tk_trace(1, "blbs_count=%d", static_cast<int>(m_lob_list.size()));
    read_lob_values(source, columns, record, slots, m_lob_list);
}

void ora_dump_reader_th::read_lob_values(ora_byte_source& source, const ora_column_list& columns,
                                         udb_record& record, const std::vector<uint32_t>& slots,
                                         const std::vector<size_t>& lobs) {
    // With the header's flag word set, rows carry no trailer (skip_row reads none either).
    if (has_row_trailer() && m_no_lob_tail == 0) need_skip(source, ora_fmt::row_trailer_size);
    for (size_t i : lobs) read_lob_field(source, *columns[i], record[slots[i]]);
}

void ora_dump_reader_th::read_lob_field(ora_byte_source& source, const ora_dump_column& column,
                                        udb_field& field) {
    VARTYPE tag = column.kind() == ora_kind_clob ? VT_BSTR : VT_EMPTY;
    static_cast<ole_variant&>(field) = get_blob_value(source, tag, column.charset_id());
    field.set_size(0);
}

void ora_dump_reader_th::skip_row(ora_byte_source& source, const ora_column_list& columns,
                                  uint64_t limit) {
    tk_trace(1, "ora_dump_reader_th::skip_row");
    row_bound bound(m_limit, std::min(limit, m_file_length));
    std::vector<size_t> lobs;
    for (size_t i = 0; i < columns.size(); ++i) {
        uint16_t size = need_u16(source);
        tk_trace(1, "Field #%d has size=%d", static_cast<int>(i), size);
        if (size == ora_fmt::null_length) continue;
        int32_t kind = columns[i]->kind();
        if (ora_is_lob(kind)) {
            lobs.push_back(i);
            need_skip(source, size);
        } else if (ora_is_long(kind)) {
            skip_long_raw_data(source, size, i + 1 == columns.size());
        } else {
            need_skip(source, size);
        }
    }
    skip_clob_blob_data(source, lobs);
}

bool ora_dump_reader_th::check_for_eof(ora_byte_source& source) {
    tk_trace(1, "ora_dump_reader_th::check_for_eof");
    uint64_t pos = source.position();
    uint8_t b[2] = {0, 0};
    size_t n = source.read(b, 2);
    source.seek(pos);
    if (n < 2) return true;
    return b[0] == 0xFF && b[1] == 0xFF;
}

bool ora_dump_reader_th::has_row_trailer() const { return true; }

void ora_dump_reader_th::skip_long_raw_data(ora_byte_source& source, uint16_t length, bool) {
    tk_trace(1, "ora_dump_reader_th::skip_long_raw_data");
    if (length != ora_fmt::long_chunked) {
        need_skip(source, length);
        return;
    }
    read_long_chunks(source, nullptr);
}

void ora_dump_reader_th::read_long_chunks(ora_byte_source& source, std::string* out) {
    uint16_t length = need_u16(source);
    for (;;) {
        if (out != nullptr) {
            need_read(source, *out, length);
        } else {
            need_skip(source, length);
        }
        uint16_t next = need_u16(source);
        if (next != length) {
            length = next;
            break;
        }
    }
    if (out != nullptr) {
        need_read(source, *out, length);
    } else {
        need_skip(source, length);
    }
    // A last chunk of length 0 is its own terminator.
    if (length != 0) need_skip(source, ora_fmt::long_terminator_size);
}

ole_variant ora_dump_reader_th::get_long_raw_value(ora_byte_source& source, uint16_t length) {
    m_lob.clear();
    if (length != ora_fmt::long_chunked) {
        need_read(source, m_lob, length);
    } else {
        read_long_chunks(source, &m_lob);
    }
    return ole_variant(m_lob.size(), reinterpret_cast<const uint8_t*>(m_lob.data()));
}

void ora_dump_reader_th::skip_lob_header(ora_byte_source& source, uint16_t marker) {
    if (marker == ora_fmt::lob_chunked) {
        need_skip(source, ora_fmt::lob_chunked_header);
        return;
    }
    uint64_t repeats = 0;
    while (need_u16(source) == ora_fmt::lob_chunked_ext) ++repeats;
    need_skip(source, 2 * repeats);
}

void ora_dump_reader_th::read_lob_chunks(ora_byte_source& source, std::string* out) {
    uint16_t length = need_u16(source);
    for (;;) {
        if (out != nullptr) {
            need_read(source, *out, length);
        } else {
            need_skip(source, length);
        }
        uint16_t next = need_u16(source);
        if (next != length) {
            length = next;
            break;
        }
    }
    if (out != nullptr) {
        need_read(source, *out, length);
    } else {
        need_skip(source, length);
    }
}

void ora_dump_reader_th::skip_blob_data(ora_byte_source& source) {
    tk_trace(1, "ora_dump_reader_th::skip_blob_data");
    uint16_t marker = need_u16(source);
    if (marker == ora_fmt::lob_chunked || marker == ora_fmt::lob_chunked_ext) {
        skip_lob_header(source, marker);
        read_lob_chunks(source, nullptr);
        return;
    }
    need_skip(source, marker);
}

void ora_dump_reader_th::skip_clob_blob_data(ora_byte_source& source,
                                             const std::vector<size_t>& lob_columns) {
    tk_trace(1, "ora_dump_reader_th::skip_clob_blob_data");
    // With the header's flag word set there is no trailer; the LOB entries of the row follow its
    // columns all the same, as get_record reads them.
    if (has_row_trailer() && m_no_lob_tail == 0) need_skip(source, ora_fmt::row_trailer_size);
    for (size_t i = 0; i < lob_columns.size(); ++i) skip_blob_data(source);
}

ole_variant ora_dump_reader_th::get_blob_value(ora_byte_source& source, VARTYPE tag,
                                               uint16_t charset_id) {
    tk_trace(1, "ora_dump_reader_th::get_blob_value");
    uint16_t marker = need_u16(source);
    m_lob.clear();
    if (marker == ora_fmt::lob_chunked || marker == ora_fmt::lob_chunked_ext) {
        skip_lob_header(source, marker);
        read_lob_chunks(source, &m_lob);
    } else {
        need_read(source, m_lob, marker);
    }
    ole_variant value;
    if (tag == VT_BSTR) {
        // An empty entry (length 0) is an empty CLOB, not NULL.
        m_text.clear();
        m_codec->decode_clob(reinterpret_cast<const uint8_t*>(m_lob.data()), m_lob.size(),
                             charset_id, m_text);
        value.attach_wstring(std::u16string_view(m_text));
    } else {
        value.attach_binary(m_lob.size(), reinterpret_cast<const uint8_t*>(m_lob.data()));
    }
    return value;
}

ole_variant ora_dump_reader_th::get_datetime_value(ora_byte_source& source, uint16_t size) {
    tk_trace(1, "ora_dump_reader_th::get_datetime_value (size=%d)", size);
    const uint8_t* bytes = value_bytes(source, size);
    if (size != ora_fmt::date_bytes) throw tk_exception("Can't read record. Date error.", 1);
    ole_systemtime time;
    if (!ora_date_to_systemtime(bytes, size, false, time)) return ole_variant();
    return ole_variant(time);
}

ole_variant ora_dump_reader_th::decode_number(VARTYPE vartype, const uint8_t* bytes, size_t size) {
    // A zero-length value (not NULL) holds no number.
    if (size == 0) return ole_variant();
    switch (vartype) {
        case VT_I1:
            return ole_variant(ole_round_to<signed char>(ora_number_to_double(bytes, size)));
        case VT_I2:
            return ole_variant(ole_round_to<short>(ora_number_to_double(bytes, size)));
        case VT_I4:
            return ole_variant(ole_round_to<int>(ora_number_to_double(bytes, size)));
        case VT_I8: {
            // Integers are built digit by digit: a double keeps only 15 of NUMBER(19)'s digits.
            int64_t exact = 0;
            if (ora_number_to_int64(bytes, size, exact)) return ole_variant(static_cast<long long>(exact));
            double x = ora_number_to_double(bytes, size);
            double f = std::floor(x);
            double r = x - f < 0.5 ? f : std::ceil(x);
            if (r >= -9223372036854775808.0 && r < 9223372036854775808.0) {
                return ole_variant(static_cast<long long>(r));
            }
            // Beyond 64 bits: keep the exact number rather than a wrapped one.
            ole_decimal dec;
            if (ora_number_to_decimal(bytes, size, dec)) return ole_variant(dec);
            return ole_variant(x);
        }
        case VT_DECIMAL: {
            // A double holds 15 significant digits; longer values stay exact as a DECIMAL.
            if (ora_number_significant_digits(bytes, size) > 15) {
                ole_decimal dec;
                if (ora_number_to_decimal(bytes, size, dec)) return ole_variant(dec);
            }
            return ole_variant(ora_number_to_double(bytes, size));
        }
        default:
            return ole_variant(ora_number_to_double(bytes, size));
    }
}

void ora_dump_reader_th::decode_text_value(ora_byte_source& source, uint16_t size, bool national,
                                           ole_variant& out) {
    const uint8_t* bytes = value_bytes(source, size);
    m_text.clear();
    m_codec->decode_text(bytes, size, national, m_text);
    out.attach_wstring(std::u16string_view(m_text));
}

ole_variant ora_dump_reader_th::get_ole_value(VARTYPE vartype, int32_t kind,
                                              ora_byte_source& source, uint16_t size,
                                              uint16_t charset_id) {
    (void)charset_id;
    tk_trace(1, "ora_dump_reader_th::get_ole_value(%d,%d,%d)", vartype, kind, size);
    TK_ASSERT(vartype >= VT_I2 && vartype <= VT_BLOB);
    ole_variant value;
    switch (vartype) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_R8:
        case VT_DECIMAL:
            return decode_number(vartype, value_bytes(source, size), size);
        case VT_DATE:
            if (kind == ora_kind_date) return get_datetime_value(source, size);
            if (kind == ora_kind_timestamp) {
                const uint8_t* bytes = value_bytes(source, size);
                ole_systemtime time;
                if (!ora_date_to_systemtime(bytes, size, true, time)) return value;
                return ole_variant(time);
            }
            [[fallthrough]];
        case VT_BLOB:
            if (kind == ora_kind_long_raw) return get_long_raw_value(source, size);
            if (kind == ora_kind_long) {
                decode_text_value(source, size, false, value);
                return value;
            }
            need_skip(source, size);
            return value;
        case VT_BSTR:
            if (kind == ora_kind_long && size == ora_fmt::long_chunked) {
                m_lob.clear();
                read_long_chunks(source, &m_lob);
                m_text.clear();
                m_codec->decode_text(reinterpret_cast<const uint8_t*>(m_lob.data()), m_lob.size(),
                                     false, m_text);
                value.attach_wstring(std::u16string_view(m_text));
                return value;
            }
            decode_text_value(source, size, kind == ora_kind_nchar || kind == ora_kind_nvarchar2,
                              value);
            return value;
        default:
            TK_FAIL();
    }
}
