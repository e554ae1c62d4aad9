#include "classic_dump_encoder.h"

#include <algorithm>
#include <cstdio>

#include "ora_dump_format.h"
#include "oracle_value_encoding.h"
#include "tk_exception.h"

// The layout constants shared with the reader; UROWID is not among them.
namespace {
constexpr uint16_t k_type_varchar = ora_fmt::type_varchar2;
constexpr uint16_t k_type_number = ora_fmt::type_number;
constexpr uint16_t k_type_long = ora_fmt::type_long;
constexpr uint16_t k_type_date = ora_fmt::type_date;
constexpr uint16_t k_type_raw = ora_fmt::type_raw;
constexpr uint16_t k_type_long_raw = ora_fmt::type_long_raw;
constexpr uint16_t k_type_rowid = ora_fmt::type_rowid;
constexpr uint16_t k_type_char = ora_fmt::type_char;
constexpr uint16_t k_type_clob = ora_fmt::type_clob;
constexpr uint16_t k_type_blob = ora_fmt::type_blob;
constexpr uint16_t k_type_timestamp = ora_fmt::type_timestamp;
constexpr uint16_t k_type_timestamp_tz = ora_fmt::type_timestamp_tz;
constexpr uint16_t k_type_urowid = 208;
constexpr uint16_t k_type_timestamp_ltz = ora_fmt::type_timestamp_ltz;
constexpr uint16_t k_type_v7_extra = ora_fmt::type_v7_extra;

constexpr uint16_t k_null = ora_fmt::null_length;
constexpr uint16_t k_chunked = ora_fmt::long_chunked;
constexpr uint16_t k_end_of_table = ora_fmt::end_of_table;
constexpr uint16_t k_lob_fffc = ora_fmt::lob_chunked;
constexpr uint16_t k_lob_fffa = ora_fmt::lob_chunked_ext;
constexpr uint16_t k_part_single = ora_fmt::part_single;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The single number between the parentheses of a type text (VARCHAR2(30 BYTE) gives 30).
int declared_length(const std::string& type, int fallback) {
    size_t open = type.find('(');
    if (open == std::string::npos)
        return fallback;
    int n = std::atoi(type.c_str() + open + 1);
    return n > 0 ? n : fallback;
}

}  // namespace

std::string export_version::word() const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "EXPORT:V%02d.%02d.%02d", major, minor, patch);
    return buf;
}

classic_dump_encoder::classic_dump_encoder(dump_byte_sink& sink, dump_header_options options,
                                           dump_layout* layout)
    : m_sink(sink), m_options(std::move(options)), m_layout(layout) {}

void classic_dump_encoder::put_word(uint16_t value) {
    uint8_t b[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    put(b, 2);
}

void classic_dump_encoder::put_word_be(uint16_t value) {
    uint8_t b[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value & 0xFF)};
    put(b, 2);
}

std::string classic_dump_encoder::session_text(std::u16string_view text) const {
    return ora_encode_text(text, m_options.session_charset);
}

std::string classic_dump_encoder::quoted(std::u16string_view name) const {
    return "\"" + session_text(name) + "\"";
}

void classic_dump_encoder::write_part_header() {
    TK_ASSERT(m_state == state::start);
    write_header_lines();
    m_state = state::finished;
}

void classic_dump_encoder::write_header() {
    TK_ASSERT(m_state == state::start);
    write_header_lines();
    write_preamble();
    m_state = state::between_tables;
}

void classic_dump_encoder::write_header_lines() {
    const export_version& v = m_options.version;
    const int family = v.family();
    uint8_t lead[3] = {3, static_cast<uint8_t>(m_options.session_charset >> 8),
                       static_cast<uint8_t>(m_options.session_charset & 0xFF)};
    put(lead, 3);
    put(v.word() + "\n");
    put("U" + session_text(m_options.user) + "\n");
    put("R" + m_options.export_mode + "\n");
    // Four more lines (buffer size and three settings); the fixed block follows the fifth line
    // end after the export mode.
    put(std::to_string(m_options.buffer_size) + "\n0\n");
    if (v.major >= 11)
        put("72\n0\n");
    else if (v.major == 8)
        put("28\n4000\n");
    else
        put("20\n0\n");
    if (family >= 8) {
        if (m_layout)
            m_layout->header_block = position();
        put_word_be(m_options.session_charset);
        put_word_be(m_options.database_charset);
        put_word_be(m_options.national_charset);
        put_word_be(m_options.part_marker);
        if (m_options.part_marker != k_part_single) {
            for (int shift = 56; shift >= 0; shift -= 8)
                put(std::string(1, static_cast<char>((m_options.declared_size >> shift) & 0xFF)));
        }
    }
    // The export's date and file name, then zeros up to the buffer size.
    put_word_be(static_cast<uint16_t>(m_options.file_name.size()));
    put(std::string(1, '\0') + std::string(36, ' ') + "Sat Jan 6 10:20:30 2024" +
        m_options.file_name);
    TK_ASSERT(position() <= m_options.buffer_size);
    put(std::string(m_options.buffer_size - position(), '\0'));
}

void classic_dump_encoder::write_preamble() {
    const int major = m_options.version.major;
    if (major < 8) {
        put("\n");
        return;
    }
    // Two NLS records (database and session sets), then from version 9 the session settings:
    // binary data the scanner has to read through like any other. A line end closes them, so that
    // the first statement starts a line.
    auto nls = [&](uint16_t a, uint16_t b) {
        std::string r = "d";
        r += std::string(4, '\0');
        r += "`\x01$\x0f\x05\x0b\x0c\x03\x0c\x0c\x05\x04\x05\x0d\x06\x09\x07\x08\x05\x05";
        r += "\x05\x05\x05\x0f\x05\x05\x05\x05\x05\x0a\x05\x05\x05\x05\x05\x04\x05\x06\x07";
        r += "\x08\x08#G#G\x08\x11#\x08\x11"
             "A\xb0G";
        r.push_back('\0');
        r.push_back('\x83');
        r.push_back(static_cast<char>(a >> 8));
        r.push_back(static_cast<char>(a & 0xFF));
        r.push_back(static_cast<char>(b >> 8));
        r.push_back(static_cast<char>(b & 0xFF));
        r.push_back('\x03');
        r.resize(0x66, '\0');
        return r;
    };
    put(nls(m_options.database_charset, m_options.national_charset));
    put(nls(m_options.session_charset, m_options.session_charset));
    if (major == 8) {
        put(std::string(0x66 - 0x3A, '\0') + "\n");
        return;
    }
    std::string settings;
    auto setting = [&](const std::string& t) {
        settings.push_back(static_cast<char>(t.size()));
        settings.push_back('\0');
        settings += t;
    };
    setting("+00:00");
    settings += std::string(2, '\0');
    setting("BYTE");
    if (major >= 10) {
        setting("UNUSED");
        setting("2");
    }
    setting("INTERPRETED");
    if (major >= 10) {
        setting("DISABLE:ALL");
        settings += std::string(2, '\0');
    }
    put(settings + "\n");
    if (major >= 10)
        put("METRICSU\nMETRICSUXDB Schemas by user \nMETRICEU 12\n");
}

classic_dump_encoder::column_kind classic_dump_encoder::classify(const std::string& type_text) {
    const std::string t = upper(type_text);
    auto has = [&](const char* k) { return t.find(k) != std::string::npos; };
    // Same keyword order as the reader's type table: longer keywords first.
    if (has("NVARCHAR2"))
        return column_kind::national_text;
    if (has("VARCHAR2"))
        return column_kind::text;
    if (has("NCHAR"))
        return column_kind::national_text;
    if (has("CHAR"))
        return column_kind::text;
    if (has("DATE"))
        return column_kind::date;
    if (has("NUMBER") || has("FLOAT"))
        return column_kind::number;
    if (has("LONG RAW"))
        return column_kind::long_raw;
    if (has("LONG"))
        return column_kind::long_text;
    if (has("NCLOB"))
        return column_kind::nclob;
    if (has("CLOB"))
        return column_kind::clob;
    if (has("BLOB"))
        return column_kind::blob;
    if (has("ROWID"))
        return column_kind::rowid;
    if (has("RAW"))
        return column_kind::raw;
    if (has("TIMESTAMP"))
        return has("TIME ZONE") && !has("LOCAL") ? column_kind::timestamp_tz
                                                 : column_kind::timestamp;
    return column_kind::other;
}

classic_dump_encoder::column_info classic_dump_encoder::describe(const fixture_column& c) const {
    column_info info;
    info.kind = classify(c.type);
    const std::string t = upper(c.type);
    const int family = m_options.version.family();
    switch (info.kind) {
        case column_kind::number:
            info.header_type = k_type_number;
            info.header_length = 22;
            break;
        case column_kind::text:
            info.header_type =
                t.find("VARCHAR") != std::string::npos ? k_type_varchar : k_type_char;
            info.header_length = static_cast<uint16_t>(declared_length(t, 1));
            break;
        case column_kind::national_text:
            info.national = true;
            info.header_type =
                t.find("NVARCHAR2") != std::string::npos ? k_type_varchar : k_type_char;
            info.header_length = static_cast<uint16_t>(2 * declared_length(t, 1));
            break;
        case column_kind::date:
            info.header_type = k_type_date;
            info.header_length = 7;
            break;
        case column_kind::timestamp:
            info.header_type =
                t.find("LOCAL") != std::string::npos ? k_type_timestamp_ltz : k_type_timestamp;
            info.header_length = 11;
            break;
        case column_kind::timestamp_tz:
            info.header_type = k_type_timestamp_tz;
            info.header_length = 13;
            break;
        case column_kind::raw:
            info.header_type = k_type_raw;
            info.header_length = static_cast<uint16_t>(declared_length(t, 1));
            break;
        case column_kind::long_text:
            info.header_type = k_type_long;
            break;
        case column_kind::long_raw:
            info.header_type = k_type_long_raw;
            break;
        case column_kind::nclob:
            info.national = true;
            [[fallthrough]];
        case column_kind::clob:
            info.lob = true;
            info.header_type = k_type_clob;
            info.header_length = family == 8 ? 28 : m_options.version.major >= 12 ? 72 : 64;
            break;
        case column_kind::blob:
            info.lob = true;
            info.header_type = k_type_blob;
            info.header_length = family == 8 ? 28 : m_options.version.major >= 12 ? 72 : 64;
            break;
        case column_kind::rowid:
            info.header_type = t.find("UROWID") != std::string::npos ? k_type_urowid : k_type_rowid;
            info.header_length = t.find("UROWID") != std::string::npos ? 4000 : 10;
            break;
        case column_kind::other:
            info.header_type = k_type_varchar;
            info.header_length = 0;
            break;
    }
    if (c.header_type >= 0)
        info.header_type = static_cast<uint16_t>(c.header_type);
    if (c.header_length >= 0)
        info.header_length = static_cast<uint16_t>(c.header_length);
    return info;
}

std::string classic_dump_encoder::storage_clause(bool index) const {
    const int major = m_options.version.major;
    std::string s = index ? "  PCTFREE 10 INITRANS 2 MAXTRANS 255"
                          : "  PCTFREE 10 PCTUSED 40 INITRANS 1 MAXTRANS 255";
    if (major == 8 && !index)
        s += " LOGGING";
    if (major <= 8)
        s += " STORAGE(INITIAL 10240 NEXT 10240 MINEXTENTS 1 MAXEXTENTS 121 PCTINCREASE 50 "
             "FREELISTS 1 FREELIST GROUPS 1" +
             std::string(major == 8 ? " BUFFER_POOL DEFAULT)" : ")");
    else
        s += " STORAGE(INITIAL 65536 NEXT 1048576 MINEXTENTS 1 FREELISTS 1 FREELIST GROUPS 1 "
             "BUFFER_POOL DEFAULT)";
    return s;
}

void classic_dump_encoder::begin_table(const fixture_table& table) {
    TK_ASSERT(m_state == state::between_tables);
    m_table = table;
    m_info.clear();
    for (const auto& c : m_table.columns) m_info.push_back(describe(c));
    m_order = m_table.written_order();
    m_scratch.assign(m_table.columns.size(), std::string());
    m_lob_scratch.assign(m_table.columns.size(), std::string());
    m_cells.assign(m_table.columns.size(), dump_cell());
    for (const auto& k : m_table.constraints) {
        if (k.type == fixture_constraint::kind::foreign_key) {
            m_foreign_key_tables.push_back(m_table);
            break;
        }
    }
    if (m_layout) {
        m_layout->tables.emplace_back();
        m_layout->tables.back().name = m_table.name;
        m_layout->tables.back().table_line = position();
    }
    put("TABLE " + quoted(m_table.name) + "\n");
    if (m_layout)
        m_layout->tables.back().create_line = position();
    if (!m_table.create_line_override.empty()) {
        put(m_table.create_line_override + "\n");
    } else {
        std::string line = "CREATE TABLE " + quoted(m_table.name) + " (";
        bool first = true;
        for (const auto& c : m_table.columns) {
            if (!first)
                line += ", ";
            first = false;
            line += quoted(c.name) + " " + c.type;
            if (!c.attributes.empty())
                line += " " + c.attributes;
        }
        for (const auto& piece : m_table.extra_pieces) {
            if (!first)
                line += ", ";
            first = false;
            line += piece;
        }
        line += ")" + storage_clause(false);
        if (!m_table.tablespace.empty())
            line += " TABLESPACE " + quoted(m_table.tablespace);
        if (m_options.version.major >= 9)
            line += " LOGGING";
        if (m_options.version.major >= 11)
            line += " NOCOMPRESS";
        for (size_t i = 0; i < m_table.columns.size(); ++i) {
            if (!m_info[i].lob || m_options.version.major < 9)
                continue;
            line += " LOB (" + quoted(m_table.columns[i].name) + ") STORE AS BASICFILE  (";
            if (!m_table.tablespace.empty())
                line += "TABLESPACE " + quoted(m_table.tablespace);
            line +=
                " ENABLE STORAGE IN ROW CHUNK 8192 RETENTION  NOCACHE LOGGING  STORAGE(INITIAL "
                "65536 NEXT 1048576 MINEXTENTS 1 FREELISTS 1 FREELIST GROUPS 1 BUFFER_POOL "
                "DEFAULT))";
        }
        put(line + "\n");
    }
    m_state = state::in_table;
}

void classic_dump_encoder::begin_block(uint16_t no_lob_tail) {
    TK_ASSERT(m_state == state::in_table);
    if (m_layout) {
        m_layout->tables.back().blocks.emplace_back();
        m_layout->tables.back().blocks.back().insert_line = position();
    }
    std::string line = "INSERT INTO " + quoted(m_table.name) + " (";
    std::string binds;
    for (size_t i = 0; i < m_order.size(); ++i) {
        if (i) {
            line += ", ";
            binds += ", ";
        }
        line += quoted(m_table.columns[m_order[i]].name);
        binds += ":" + std::to_string(i + 1);
    }
    put(line + ") VALUES (" + binds + ")\n");
    if (m_layout)
        m_layout->tables.back().blocks.back().column_header = position();
    write_column_header(no_lob_tail);
    if (m_layout)
        m_layout->tables.back().blocks.back().first_row = position();
    m_state = state::in_block;
}

void classic_dump_encoder::write_column_header(uint16_t no_lob_tail) {
    const export_version& v = m_options.version;
    const int family = v.family();
    put_word(static_cast<uint16_t>(m_order.size()));
    bool any_lob = false;
    bool v7_extra = false;
    for (size_t idx : m_order) {
        const column_info& info = m_info[idx];
        put_word(info.header_type);
        put_word(info.header_length);
        any_lob = any_lob || info.lob;
        if (family == 7) {
            v7_extra = v7_extra || info.header_type == k_type_v7_extra;
            continue;
        }
        const bool charset_word = info.header_type == k_type_varchar ||
                                  info.header_type == k_type_char ||
                                  (family >= 9 && info.header_type == k_type_clob);
        if (charset_word) {
            // The column's character set (little-endian) and its form: 1 database, 2 national.
            put_word(info.national ? m_options.national_charset : m_options.database_charset);
            put_word(info.national ? 2 : 1);
        }
    }
    if (family == 7) {
        if (v7_extra)
            put(std::string(ora_fmt::v7_extra_bytes, '\0'));
        m_block_flag = 0;
        return;
    }
    put_word(any_lob ? static_cast<uint16_t>(m_order.size()) : 0);
    if (v.header_without_flag()) {
        m_block_flag = v.rows_without_trailer() ? 1 : 0;
    } else {
        put_word(no_lob_tail);
        m_block_flag = no_lob_tail;
    }
    if (any_lob) {
        // One entry per column: a length byte c and c + 2 bytes; LOB columns carry their names.
        for (size_t idx : m_order) {
            if (m_info[idx].lob) {
                std::string name = session_text(m_table.columns[idx].name);
                put(std::string(1, static_cast<char>(name.size())) + name + std::string(2, '\0'));
            } else {
                put(std::string(3, '\0'));
            }
        }
    }
}

void classic_dump_encoder::write_chunks(const uint8_t* data, size_t size, uint16_t chunk,
                                        bool long_terminator) {
    TK_ASSERT(chunk > 0 && size > 0);
    const size_t full = size / chunk;
    const size_t rest = size % chunk;
    if (full == 0) {
        // A single chunk: a second length must differ from the first, so a zero length ends it.
        put_word(static_cast<uint16_t>(size));
        put(data, size);
        put_word(0);
        return;
    }
    for (size_t i = 0; i < full; ++i) {
        put_word(chunk);
        put(data + i * chunk, chunk);
    }
    put_word(static_cast<uint16_t>(rest));
    if (rest == 0)
        return;
    put(data + full * chunk, rest);
    if (long_terminator)
        put_word(0);
}

void classic_dump_encoder::write_lob_entry(const dump_cell& cell, bool /*clob*/) {
    const size_t size = cell.lob_size;
    switch (cell.lob_form) {
        case lob_layout::plain:
            TK_ASSERT(size <= 0xFFFF && size != k_lob_fffc && size != k_lob_fffa);
            put_word(static_cast<uint16_t>(size));
            put(cell.lob_data, size);
            break;
        case lob_layout::fffc: {
            TK_ASSERT(m_options.version.family() >= 8);
            put_word(k_lob_fffc);
            // Eight bytes of LOB header: the data length, big-endian.
            uint8_t header[8];
            for (int i = 0; i < 8; ++i)
                header[i] = static_cast<uint8_t>((static_cast<uint64_t>(size) >> (56 - 8 * i)));
            put(header, 8);
            write_chunks(cell.lob_data, size, cell.lob_chunk_length, false);
            break;
        }
        case lob_layout::fffa:
            put_word(k_lob_fffa);
            for (int i = 0; i < cell.lob_fffa_words; ++i) put_word(k_lob_fffa);
            put_word(0x0008);
            put(std::string(2 * static_cast<size_t>(cell.lob_fffa_words), '\0'));
            write_chunks(cell.lob_data, size, cell.lob_chunk_length, false);
            break;
    }
}

void classic_dump_encoder::encode_value(const fixture_value& value, size_t column, std::string& out,
                                        std::string& lob_out, dump_cell& cell) const {
    const column_info& info = m_info[column];
    cell = dump_cell();
    out.clear();
    lob_out.clear();
    if (value.length_word)
        cell.length_word = *value.length_word;
    cell.chunk_length = value.chunk_length;
    cell.lob_form = value.lob_form;
    cell.lob_chunk_length = value.lob_chunk_length;
    cell.lob_fffa_words = value.lob_fffa_words;
    const uint16_t charset =
        info.national ? m_options.national_charset : m_options.database_charset;
    auto as_string = [](const std::vector<uint8_t>& v) {
        return std::string(reinterpret_cast<const char*>(v.data()), v.size());
    };
    switch (value.type) {
        case fixture_value::kind::null:
            cell.null = true;
            return;
        case fixture_value::kind::encoded:
            out = as_string(value.data);
            break;
        case fixture_value::kind::number:
            out = as_string(ora_number_bytes(value.decimal));
            break;
        case fixture_value::kind::text:
            if (info.lob) {
                // CLOB data of a varying-width Unicode set is stored as big-endian UTF-16.
                lob_out = ora_charset_is_unicode(charset) ? ora_encode_text(value.chars, 2000)
                                                          : ora_encode_text(value.chars, charset);
            } else {
                out = ora_encode_text(value.chars, charset);
            }
            break;
        case fixture_value::kind::bytes:
            (info.lob ? lob_out : out) = as_string(value.data);
            break;
        case fixture_value::kind::moment:
            if (value.with_zone)
                out = as_string(ora_timestamp_tz_bytes(value.when, value.tz_hour, value.tz_minute));
            else if (value.timestamp_value || info.kind == column_kind::timestamp)
                out = as_string(ora_timestamp_bytes(value.when));
            else
                out = as_string(ora_date_bytes(value.when));
            break;
    }
    const bool in_row_given = !info.lob || value.type == fixture_value::kind::encoded;
    if (in_row_given) {
        cell.data = reinterpret_cast<const uint8_t*>(out.data());
        cell.size = out.size();
    }
    if (info.lob) {
        cell.lob_data = reinterpret_cast<const uint8_t*>(lob_out.data());
        cell.lob_size = lob_out.size();
    }
}

void classic_dump_encoder::write_row(const std::vector<fixture_value>& values) {
    TK_ASSERT(m_state == state::in_block);
    TK_ASSERT(values.size() == m_table.columns.size());
    for (size_t i = 0; i < values.size(); ++i)
        encode_value(values[i], i, m_scratch[i], m_lob_scratch[i], m_cells[i]);
    write_cells(m_cells.data(), m_cells.size());
}

void classic_dump_encoder::write_cells(const dump_cell* cells, size_t count) {
    TK_ASSERT(m_state == state::in_block);
    TK_ASSERT(count == m_table.columns.size());
    const int family = m_options.version.family();
    row_layout* r = nullptr;
    if (m_layout) {
        m_layout->tables.back().blocks.back().rows.emplace_back();
        r = &m_layout->tables.back().blocks.back().rows.back();
        r->start = position();
        r->length_words.assign(count, 0);
    }
    ++m_row_number;
    size_t lob_count = 0;
    for (size_t idx : m_order) {
        const dump_cell& cell = cells[idx];
        const column_info& info = m_info[idx];
        if (r)
            r->length_words[idx] = position();
        if (cell.null) {
            put_word(cell.length_word >= 0 ? static_cast<uint16_t>(cell.length_word) : k_null);
            continue;
        }
        const bool long_column =
            info.kind == column_kind::long_text || info.kind == column_kind::long_raw;
        if (long_column && cell.chunk_length) {
            TK_ASSERT(cell.chunk_length <= 0x7FFF);
            put_word(cell.length_word >= 0 ? static_cast<uint16_t>(cell.length_word) : k_chunked);
            write_chunks(cell.data, cell.size, cell.chunk_length, true);
            continue;
        }
        const uint8_t* data = cell.data;
        size_t size = cell.size;
        if (info.lob) {
            ++lob_count;
            if (!data) {
                // A locator like the ones exp writes: a big-endian length, then opaque bytes.
                const bool clob = info.kind != column_kind::blob;
                m_locator.assign(clob ? 102 : 114, 0);
                m_locator[1] = static_cast<uint8_t>(m_locator.size() - 2);
                const uint8_t lead[] = {0x00, 0x01, 0x02, 0x0c, 0x08, 0x00, 0x00, 0x01};
                std::copy(std::begin(lead), std::end(lead), m_locator.begin() + 2);
                if (!clob)
                    m_locator[4] = 0x01;
                for (int i = 0; i < 4; ++i)
                    m_locator[20 + i] = static_cast<uint8_t>(m_row_number >> (24 - 8 * i));
                data = m_locator.data();
                size = m_locator.size();
            }
        }
        TK_ASSERT(cell.length_word >= 0 || size < k_chunked);
        put_word(cell.length_word >= 0 ? static_cast<uint16_t>(cell.length_word)
                                       : static_cast<uint16_t>(size));
        put(data, size);
    }
    const bool trailer =
        family == 7 || (!m_options.version.rows_without_trailer() && m_block_flag == 0);
    if (family == 7) {
        // Version 7: the trailer when the row has no LOB data, else two bytes before each entry.
        if (lob_count == 0) {
            if (r)
                r->trailer = position();
            put_word(0);
        }
    } else if (trailer) {
        // The trailer counts the LOB entries that follow the row.
        if (r)
            r->trailer = position();
        put_word(static_cast<uint16_t>(lob_count));
    }
    for (size_t idx : m_order) {
        const dump_cell& cell = cells[idx];
        if (!m_info[idx].lob || cell.null)
            continue;
        if (r)
            r->lob_entries.push_back(position());
        if (family == 7) {
            TK_ASSERT(cell.lob_form != lob_layout::fffc);
            put_word(static_cast<uint16_t>(lob_count));
        }
        write_lob_entry(cell, m_info[idx].kind != column_kind::blob);
    }
    if (r)
        r->end = position();
}

void classic_dump_encoder::end_block() {
    TK_ASSERT(m_state == state::in_block);
    if (m_layout)
        m_layout->tables.back().blocks.back().end_marker = position();
    put_word(k_end_of_table);
    put("\n");
    m_state = state::in_table;
}

void classic_dump_encoder::write_constraint(const fixture_constraint& k) {
    std::string line = "ALTER TABLE " + quoted(m_table.name) + " ADD ";
    auto column_list = [&](const std::vector<std::u16string>& cols) {
        std::string s = "(";
        for (size_t i = 0; i < cols.size(); ++i) s += (i ? "," : "") + quoted(cols[i]);
        return s + ")";
    };
    switch (k.type) {
        case fixture_constraint::kind::primary_key:
            line += " ";
            if (!k.name.empty())
                line += "CONSTRAINT " + quoted(k.name) + " ";
            line += "PRIMARY KEY " + column_list(k.columns) + " USING INDEX" +
                    storage_clause(true).substr(1);
            if (!m_table.tablespace.empty())
                line += " TABLESPACE " + quoted(m_table.tablespace);
            line += " LOGGING ENABLE ";
            break;
        case fixture_constraint::kind::check:
            line += "CONSTRAINT " + quoted(k.name) + " CHECK (" + k.check_text + ") ENABLE";
            break;
        case fixture_constraint::kind::foreign_key:
            line += "CONSTRAINT " + quoted(k.name) + " FOREIGN KEY " + column_list(k.columns) +
                    " REFERENCES " + quoted(k.referenced_table) + " " +
                    column_list(k.referenced_columns) + " ENABLE NOVALIDATE";
            break;
    }
    put(line + "\n");
}

void classic_dump_encoder::end_table() {
    TK_ASSERT(m_state == state::in_table);
    for (const auto& ix : m_table.indexes) {
        std::string line = std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " +
                           quoted(ix.name) + " ON " + quoted(m_table.name) + " (";
        if (!ix.expression.empty()) {
            line += ix.expression + " ";
        } else {
            for (size_t i = 0; i < ix.columns.size(); ++i)
                line += (i ? ", " : "") + quoted(ix.columns[i]) + " ";
        }
        line += ")" + storage_clause(true);
        if (!m_table.tablespace.empty())
            line += " TABLESPACE " + quoted(m_table.tablespace);
        put(line + " LOGGING\n");
    }
    for (const auto& k : m_table.constraints)
        if (k.type != fixture_constraint::kind::foreign_key)
            write_constraint(k);
    if (m_options.version.major >= 10) {
        // Statistics as exp writes them: a line naming the table, then a length-prefixed
        // statement.
        std::string stmt = "BEGIN  DBMS_STATS.SET_TABLE_STATS(NULL,'" + quoted(m_table.name) +
                           "',NULL,NULL,NULL," + std::to_string(m_table.row_count()) +
                           ",5,20,6); END;";
        put("ANALSTATS TS " + quoted(m_table.name) + "\n");
        put_word(static_cast<uint16_t>(stmt.size()));
        put(stmt + "\n");
    }
    if (m_layout)
        m_layout->tables.back().end = position();
    ++m_tables_written;
    m_state = state::between_tables;
}

void classic_dump_encoder::finish() {
    TK_ASSERT(m_state == state::between_tables);
    const bool metrics = m_options.version.major >= 10;
    if (m_tables_written)
        put("ENDTABLE\n");
    if (metrics)
        put("METRICEU 12\nMETRICSUreferential integrity constraints\n");
    for (const auto& t : m_foreign_key_tables) {
        m_table = t;
        put("TABLE " + quoted(t.name) + "\n");
        for (const auto& k : t.constraints)
            if (k.type == fixture_constraint::kind::foreign_key)
                write_constraint(k);
        put("ENDTABLE\n");
    }
    if (metrics)
        put("METRICEU 13\nMETRICEUG0\n");
    put("EXIT\nEXIT\n");
    if (m_options.pad_end) {
        const uint64_t rest = position() % m_options.buffer_size;
        if (rest)
            put(std::string(m_options.buffer_size - rest, '\0'));
    }
    if (m_layout)
        m_layout->size = position();
    m_state = state::finished;
}

void classic_dump_encoder::write_raw(std::string_view bytes) {
    TK_ASSERT(m_state != state::finished);
    put(bytes);
}
