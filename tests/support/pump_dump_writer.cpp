#include "pump_dump_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ora_pump_format.h"
#include "oracle_value_encoding.h"
#include "tk_exception.h"
#include "tk_text.h"

namespace {

namespace f = ora_pump_fmt;

void put_be16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v >> 8);
    out[at + 1] = static_cast<uint8_t>(v);
}
void put_be32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void put_be64(std::vector<uint8_t>& out, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) out[at + i] = static_cast<uint8_t>(v >> (56 - 8 * i));
}
void append(std::vector<uint8_t>& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }
void pad_to(std::vector<uint8_t>& out, uint64_t step) {
    while (out.size() % step != 0) out.push_back(0);
}

std::string xml_escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::string element(const char* name, const std::string& text) {
    return std::string("<") + name + ">" + xml_escape(text) + "</" + name + ">";
}
std::string element(const char* name, int value) { return element(name, std::to_string(value)); }

// Bytes that look like Oracle's compressor output: "KGC" and a deterministic noise that also holds
// a segment marker off the block boundary.
void compressed_block(std::vector<uint8_t>& out, uint32_t block_size, uint32_t seed) {
    size_t start = out.size();
    append(out, "KGC\x80\x01HDR>T");
    uint32_t x = seed * 2654435761u + 12345u;
    while (out.size() - start < block_size) {
        x = x * 1103515245u + 12345u;
        out.push_back(static_cast<uint8_t>(x >> 16));
    }
    std::memcpy(out.data() + start + 100, f::segment_magic, 4);
}

std::string column_item(const pump_fixture_column& c, int position, bool full) {
    std::string s = "<COL_LIST_ITEM><OBJ_NUM>4711</OBJ_NUM>";
    s += element("COL_NUM", c.col_num >= 0 ? c.col_num : position);
    s += element("INTCOL_NUM", position) + element("SEGCOL_NUM", position);
    s += "<PROPERTY>0</PROPERTY>";
    s += element("NAME", c.name) + element("TYPE_NUM", c.type_num) + element("LENGTH", c.length);
    if (c.precision >= 0) s += element("PRECISION_NUM", c.precision);
    if (c.scale != -1) s += element("SCALE", c.scale);
    s += element("NOT_NULL", c.not_null);
    s += element("CHARSETID", c.charset_id);
    s += element("CHARSETFORM", c.charset_id ? 1 : 0);
    if (full && c.not_null != "0") {
        // The column's NOT NULL constraint, with a NAME that is not the column's.
        s += "<CON><OWNER_NUM>1</OWNER_NUM>" + element("NAME", "SYS_C00" + c.name) +
             "<CONTYPE>7</CONTYPE></CON>";
    }
    if (full && c.is_lob()) {
        s += "<LOBMD><SCHEMA_OBJ>" + element("NAME", "SYS_LOB0000" + c.name) +
             "</SCHEMA_OBJ><TYPE_NUM>5</TYPE_NUM></LOBMD>";
    }
    s += "</COL_LIST_ITEM>";
    return s;
}

std::string constraint_columns(const char* list, const char* item,
                               const std::vector<std::string>& names) {
    std::string s = std::string("<") + list + ">";
    int pos = 1;
    for (const std::string& n : names) {
        s += std::string("<") + item + "><CON_NUM>9</CON_NUM>" + element("POS_NUM", pos++) +
             "<COL><OBJ_NUM>4711</OBJ_NUM><COL_NUM>1</COL_NUM>" + element("NAME", n) +
             "<TYPE_NUM>2</TYPE_NUM></COL></" + item + ">";
    }
    s += std::string("</") + list + ">";
    return s;
}

}  // namespace

pump_dump_writer::pump_dump_writer(int family, uint16_t charset_id)
    : m_family(family), m_charset(charset_id) {
    m_version = family >= 5 ? "12.02.00.00.00" : family == 4 ? "12.01.00.02.00" : "11.02.00.00.00";
}

void pump_dump_writer::set_job(std::string owner, std::string table) {
    m_job_owner = std::move(owner);
    m_job_table = std::move(table);
}

std::vector<uint8_t> pump_dump_writer::clob_bytes(std::u16string_view text, uint16_t charset_id) {
    std::vector<uint8_t> out;
    if (ora_charset_is_unicode(charset_id)) {
        for (char16_t c : text) {
            out.push_back(static_cast<uint8_t>(c >> 8));
            out.push_back(static_cast<uint8_t>(c));
        }
        return out;
    }
    std::string bytes = ora_encode_text(text, charset_id);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::string pump_dump_writer::table_description(const pump_fixture_table& t) {
    std::string s = "<?xml version=\"1.0\"?><ROWSET><ROW>\n  <TABLE_T><VERS_MAJOR>2</VERS_MAJOR>"
                    "<VERS_MINOR>5 </VERS_MINOR><OBJ_NUM>4711</OBJ_NUM><SCHEMA_OBJ>"
                    "<OBJ_NUM>4711</OBJ_NUM>";
    s += element("OWNER_NAME", t.owner) + element("NAME", t.name);
    s += "<NAMESPACE>1</NAMESPACE><TYPE_NUM>2</TYPE_NUM><TYPE_NAME>TABLE</TYPE_NAME>"
         "<OWNER_NAME2>" + xml_escape(t.owner) + "</OWNER_NAME2></SCHEMA_OBJ>"
         "<STORAGE><FILE_NUM>6</FILE_NUM><TYPE_NUM>5</TYPE_NUM></STORAGE>"
         "<TABLESPACE>" + element("NAME", "USERS") + "</TABLESPACE><CON0_LIST/>";
    // Foreign keys first, then keys and checks, then the columns, as Oracle writes them.
    std::string fks, keys;
    for (const pump_fixture_constraint& c : t.constraints) {
        std::string item = element("NAME", c.name) + "<CON_NUM>9</CON_NUM>" +
                           element("CONTYPE", c.type);
        if (c.type == 4) {
            item += "<SCHEMA_OBJ>" + element("OWNER_NAME", c.parent_owner) +
                    element("NAME", c.parent_table) + "<TYPE_NUM>2</TYPE_NUM></SCHEMA_OBJ>";
            item += constraint_columns("SRC_COL_LIST", "SRC_COL_LIST_ITEM", c.columns);
            item += constraint_columns("TGT_COL_LIST", "TGT_COL_LIST_ITEM", c.parent_columns);
            fks += "<CON2_LIST_ITEM><OWNER_NUM>1</OWNER_NUM>" + item + "</CON2_LIST_ITEM>";
        } else {
            item += constraint_columns("COL_LIST", "COL_LIST_ITEM", c.columns);
            if (c.type == 2 || c.type == 3) {
                // The constraint's index, with names of its own that must not leak out.
                item += "<IND><SCHEMA_OBJ>" + element("OWNER_NAME", t.owner) +
                        element("NAME", c.name + "_IDX") + "</SCHEMA_OBJ>" +
                        constraint_columns("COL_LIST", "COL_LIST_ITEM", {"NOT_A_KEY_COLUMN"}) +
                        "<BASE_OBJ>" + element("NAME", "OTHER") + "</BASE_OBJ></IND>";
            }
            keys += "<CON1_LIST_ITEM><OWNER_NUM>1</OWNER_NUM>" + item + "</CON1_LIST_ITEM>";
        }
    }
    if (!fks.empty()) s += "<CON2_LIST>" + fks + "</CON2_LIST>";
    s += "<REFPAR_LEVEL>0</REFPAR_LEVEL>";
    if (!keys.empty()) s += "<CON1_LIST>" + keys + "</CON1_LIST>";
    s += "<COL_LIST>";
    int pos = 1;
    for (const pump_fixture_column& c : t.columns) s += column_item(c, pos++, true);
    s += "</COL_LIST></TABLE_T></ROW></ROWSET>";
    return s;
}

std::string pump_dump_writer::stream_description(const pump_fixture_table& t) const {
    std::string s = "<?xml version=\"1.0\"?><ROWSET><ROW>\n  <STRMTABLE_T><VERS_MAJOR>1"
                    "</VERS_MAJOR><VERS_MINOR>2 </VERS_MINOR><VERS_DPAPI>3</VERS_DPAPI>"
                    "<ENDIANNESS>2</ENDIANNESS><CHARSET>AL32UTF8</CHARSET>"
                    "<NCHARSET>AL16UTF16</NCHARSET><DBTIMEZONE>+00:00</DBTIMEZONE>"
                    "<FDO>0000006001240F050B0C030C0C0504050D06090708</FDO><OBJ_NUM>4711</OBJ_NUM>";
    s += element("OWNER_NAME", t.owner) + element("NAME", t.name);
    s += "<PROPERTY>536870912</PROPERTY><COL_LIST>";
    int pos = 1;
    for (const pump_fixture_column& c : t.columns) {
        if (c.in_rows) s += column_item(c, pos, false);
        ++pos;
    }
    s += "</COL_LIST></STRMTABLE_T></ROW></ROWSET>";
    return s;
}

std::vector<uint8_t> pump_dump_writer::encode_row(
    const std::vector<const pump_fixture_column*>& columns, const std::vector<pump_value>& values,
    const pump_row_layout& layout) {
    TK_ASSERT(columns.size() == values.size());
    size_t last = values.size();
    if (layout.omit_trailing_nulls) {
        while (last > 0 && !values[last - 1]) --last;
    }
    size_t lob_begin = columns.size();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i]->is_lob()) {
            lob_begin = i;
            break;
        }
    }
    struct piece {
        uint8_t flag = 0;
        std::vector<const pump_value*> values;
        std::vector<std::vector<uint8_t>> parts;  // for a LOB chunk piece: its bytes
        bool chunk = false;
    };
    std::vector<piece> pieces;
    const size_t other_end = std::min(last, lob_begin);
    const size_t per_piece = layout.values_per_piece ? layout.values_per_piece : 255;
    for (size_t i = 0; i < other_end || pieces.empty(); i += per_piece) {
        piece p;
        for (size_t j = i; j < std::min(other_end, i + per_piece); ++j) p.values.push_back(&values[j]);
        pieces.push_back(std::move(p));
        if (other_end == 0) break;
    }
    for (size_t i = lob_begin; i < last; ++i) {
        if (!values[i]) {
            piece p;
            p.values.push_back(&values[i]);
            pieces.push_back(std::move(p));
            continue;
        }
        const std::vector<uint8_t>& data = *values[i];
        size_t chunk = layout.lob_chunk ? layout.lob_chunk : 0xFFF0;
        if (data.size() <= chunk) {
            piece p;
            p.values.push_back(&values[i]);
            pieces.push_back(std::move(p));
            continue;
        }
        for (size_t at = 0; at < data.size(); at += chunk) {
            piece p;
            p.chunk = true;
            p.parts.emplace_back(data.begin() + static_cast<long>(at),
                                 data.begin() + static_cast<long>(std::min(data.size(), at + chunk)));
            if (at > 0) p.flag |= f::piece_continues_previous;
            if (at + chunk < data.size()) p.flag |= f::piece_continues_next;
            pieces.push_back(std::move(p));
        }
    }
    pieces.front().flag |= f::piece_first;
    pieces.back().flag |= f::piece_last;
    const bool one_piece = pieces.size() == 1;
    std::vector<uint8_t> out;
    for (piece& p : pieces) {
        std::vector<uint8_t> body;
        auto put_value = [&body](const std::vector<uint8_t>* v) {
            if (v == nullptr) {
                body.push_back(f::value_null);
                return;
            }
            if (v->size() < f::value_long_length) {
                body.push_back(static_cast<uint8_t>(v->size()));
            } else {
                TK_ASSERT(v->size() <= 0xFFFF);
                body.push_back(f::value_long_length);
                body.push_back(static_cast<uint8_t>(v->size() >> 8));
                body.push_back(static_cast<uint8_t>(v->size()));
            }
            body.insert(body.end(), v->begin(), v->end());
        };
        if (p.chunk) {
            body.push_back(1);
            put_value(&p.parts.front());
        } else {
            body.push_back(static_cast<uint8_t>(p.values.size()));
            for (const pump_value* v : p.values) put_value(*v ? &**v : nullptr);
        }
        uint8_t flag = p.flag;
        if (one_piece && layout.sized) flag |= f::piece_sized | f::piece_cluster;
        out.push_back(flag);
        if (flag & f::piece_sized) {
            size_t size = 3 + body.size();
            out.push_back(static_cast<uint8_t>(size >> 8));
            out.push_back(static_cast<uint8_t>(size));
        }
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

void pump_dump_writer::write_header(std::vector<uint8_t>& out) const {
    out.assign(m_block_size >= 1024 ? m_block_size : 1024, 0);
    out[0] = static_cast<uint8_t>(m_family);
    out[1] = 1;
    put_be16(out, f::file_number, m_file_number);
    put_be32(out, f::block_size, m_block_size);
    put_be16(out, f::charset, m_charset);
    std::string job = "\"" + m_job_owner + "\".\"" + m_job_table + "\"";
    std::memcpy(out.data() + f::job_name, job.data(), std::min<size_t>(job.size(), 190));
    const char* platform = "x86_64/Linux 2.4.xx";
    if (m_family >= f::family_late_header) {
        std::memcpy(out.data() + 512, platform, std::strlen(platform));
        std::memcpy(out.data() + 674, "AL32UTF8", 8);
        std::memcpy(out.data() + f::version_text_late, m_version.data(),
                    std::min<size_t>(m_version.size(), 40));
    } else {
        std::memcpy(out.data() + 133, platform, std::strlen(platform));
        std::memcpy(out.data() + f::version_text_early, m_version.data(),
                    std::min<size_t>(m_version.size(), 30));
    }
    out.resize(m_block_size, 0);
}

void pump_dump_writer::write_segment(std::vector<uint8_t>& out, const pump_fixture_table& t,
                                     const pump_row_layout& layout, segment_layout& where) const {
    pad_to(out, m_block_size);
    where.segment = out.size();
    std::string doc = ora_encode_text(tk_from_utf8(stream_description(t)), m_charset);
    std::vector<const pump_fixture_column*> order;
    for (const auto& c : t.columns) {
        if (c.in_rows && !c.is_lob()) order.push_back(&c);
    }
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].in_rows && t.columns[i].is_lob()) order.push_back(&t.columns[i]);
    }
    std::vector<uint8_t> data;
    std::vector<uint64_t> row_offsets;
    for (const auto& row : t.rows) {
        // The row's values in row order.
        std::vector<pump_value> values;
        size_t k = 0;
        std::vector<const pump_value*> by_column;
        for (const auto& c : t.columns) {
            if (c.in_rows) by_column.push_back(&row.at(k++));
        }
        TK_ASSERT(k == row.size());
        for (const pump_fixture_column* c : order) {
            size_t in_rows_index = 0;
            for (const auto& d : t.columns) {
                if (&d == c) break;
                if (d.in_rows) ++in_rows_index;
            }
            values.push_back(*by_column[in_rows_index]);
        }
        row_offsets.push_back(data.size());
        std::vector<uint8_t> bytes = encode_row(order, values, layout);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    std::vector<uint8_t> head(f::segment_header_bytes, 0);
    std::memcpy(head.data(), f::segment_magic, 4);
    std::memcpy(head.data() + f::segment_kind,
                m_compressed ? f::segment_compressed : f::segment_plain, 2);
    const uint64_t doc_length = doc.size() + f::document_prefix;
    const uint64_t data_offset = m_block_size + ((doc_length + 7) / 8) * 8;
    put_be64(head, f::segment_document_length, doc_length);
    put_be64(head, f::segment_document_offset, m_block_size);
    put_be64(head, f::segment_data_length, data.size());
    put_be64(head, f::segment_data_offset, data_offset);
    put_be64(head, f::segment_data_align, 8);
    put_be64(head, f::segment_end_offset, ((data_offset + data.size() + 7) / 8) * 8);
    out.insert(out.end(), head.begin(), head.end());
    pad_to(out, m_block_size);
    if (m_compressed) {
        compressed_block(out, m_block_size, static_cast<uint32_t>(out.size()));
        compressed_block(out, m_block_size, static_cast<uint32_t>(out.size()));
        return;
    }
    out.push_back(static_cast<uint8_t>(m_charset >> 8));
    out.push_back(static_cast<uint8_t>(m_charset));
    where.stream_start = out.size();
    append(out, doc);
    where.stream_end = out.size();
    pad_to(out, f::data_alignment);
    where.data_start = out.size();
    out.insert(out.end(), data.begin(), data.end());
    where.data_end = out.size();
    for (uint64_t r : row_offsets) where.rows.push_back(where.data_start + r);
    pad_to(out, m_block_size);
}

pump_fixture_table pump_dump_writer::master_table() const {
    pump_fixture_table m;
    m.owner = m_job_owner;
    m.name = m_job_table;
    m.described = false;
    auto text = [](const char* name, int length) {
        pump_fixture_column c;
        c.name = name;
        c.type_num = f::type_varchar2;
        c.length = length;
        c.charset_id = 873;
        return c;
    };
    pump_fixture_column order;
    order.name = "PROCESS_ORDER";
    m.columns.push_back(order);
    m.columns.push_back(text("OBJECT_TYPE", 128));
    m.columns.push_back(text("OBJECT_SCHEMA", 128));
    m.columns.push_back(text("OBJECT_NAME", 200));
    pump_fixture_column target = text("TARGET_XML_CLOB", 4000);
    target.type_num = f::type_clob;
    target.charset_id = m_charset;
    m.columns.push_back(target);
    pump_fixture_column xml = target;
    xml.name = "XML_CLOB";
    m.columns.push_back(xml);
    pump_fixture_column state = text("STATE", 12);
    m.columns.push_back(state);
    auto bytes = [](const std::string& s) { return pump_value(std::vector<uint8_t>(s.begin(), s.end())); };
    // The job's own row: no description, trailing NULLs left out.
    m.rows.push_back({pump_value(ora_number_bytes("-1")), bytes("JOB"), std::nullopt,
                      bytes(m_job_table), std::nullopt, std::nullopt, bytes("EXECUTING")});
    int n = 1;
    for (const pump_fixture_table& t : m_tables) {
        if (!t.described) continue;
        m.rows.push_back({pump_value(ora_number_bytes(std::to_string(n++))), bytes("TABLE"),
                          bytes(t.owner), bytes(t.name), std::nullopt,
                          pump_value(clob_bytes(tk_from_utf8(table_description(t)), m_charset)),
                          std::nullopt});
        // A row of another object between the tables.
        m.rows.push_back({pump_value(ora_number_bytes(std::to_string(n++))), bytes("GRANT"),
                          bytes(t.owner), bytes(t.name), std::nullopt, std::nullopt, std::nullopt});
    }
    return m;
}

std::vector<uint8_t> pump_dump_writer::build() {
    m_where.clear();
    m_master_rows.clear();
    std::vector<uint8_t> out;
    write_header(out);
    compressed_block(out, m_block_size, 1);
    compressed_block(out, m_block_size, 2);
    if (m_stats) {
        pump_fixture_table stats;
        stats.owner = f::stats_owner;
        stats.name = f::stats_table;
        pump_fixture_column id;
        id.name = "STATID";
        id.type_num = f::type_varchar2;
        id.length = 128;
        id.charset_id = 873;
        pump_fixture_column n1;
        n1.name = "N1";
        pump_fixture_column t1;
        t1.name = "T1";
        t1.type_num = f::type_timestamp_tz;
        t1.length = 13;
        stats.columns = {id, n1, t1};
        ora_moment moment;
        stats.rows.push_back({std::nullopt, pump_value(ora_number_bytes("7")),
                              pump_value(ora_timestamp_tz_bytes(moment, 0, 0))});
        stats.rows.push_back({std::nullopt, pump_value(ora_number_bytes("8")), std::nullopt});
        write_segment(out, stats, pump_row_layout{false, 0, 0, true}, m_where["SYS.IMPDP_STATS"]);
    }
    for (const pump_fixture_table& t : m_tables) {
        if (!t.has_segment) continue;
        write_segment(out, t, m_layout, m_where[t.name]);
    }
    if (m_with_master) {
        pump_fixture_table master = master_table();
        pump_row_layout layout{false, 0, m_master_chunk, true};
        segment_layout& where = m_where[master.name];
        write_segment(out, master, layout, where);
        size_t row = 1;
        for (const pump_fixture_table& t : m_tables) {
            if (!t.described) continue;
            if (!where.rows.empty()) m_master_rows[t.name] = where.rows.at(row);
            row += 2;
        }
    }
    // Oracle leaves the last block partly filled; the file ends at a block.
    pad_to(out, m_block_size);
    return out;
}

const pump_dump_writer::segment_layout& pump_dump_writer::layout_of(const std::string& table) const {
    auto it = m_where.find(table);
    TK_ASSERT(it != m_where.end());
    return it->second;
}

uint64_t pump_dump_writer::master_row_of(const std::string& table) const {
    auto it = m_master_rows.find(table);
    TK_ASSERT(it != m_master_rows.end());
    return it->second;
}
