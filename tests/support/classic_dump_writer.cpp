#include "classic_dump_writer.h"

#include "tk_exception.h"

classic_dump_writer::classic_dump_writer(export_version version) {
    m_header.version = version;
}

classic_dump_writer& classic_dump_writer::charsets(uint16_t session, uint16_t database,
                                                   uint16_t national) {
    m_header.session_charset = session;
    m_header.database_charset = database;
    m_header.national_charset = national;
    return *this;
}

fixture_table& classic_dump_writer::add_table(std::u16string name, std::u16string tablespace) {
    m_items.emplace_back();
    m_items.back().table.name = std::move(name);
    m_items.back().table.tablespace = std::move(tablespace);
    return m_items.back().table;
}

classic_dump_writer& classic_dump_writer::add_raw(std::string bytes) {
    m_items.emplace_back();
    m_items.back().raw = true;
    m_items.back().bytes = std::move(bytes);
    return *this;
}

fixture_table& classic_dump_writer::table(std::u16string_view name) {
    for (auto& i : m_items)
        if (!i.raw && i.table.name == name)
            return i.table;
    TK_FAIL();
}

void classic_dump_writer::encode(classic_dump_encoder& encoder) const {
    encoder.write_header();
    for (const auto& i : m_items) {
        if (i.raw) {
            encoder.write_raw(i.bytes);
            continue;
        }
        const fixture_table& t = i.table;
        encoder.begin_table(t);
        if (!t.without_insert) {
            if (t.blocks.empty()) {
                encoder.begin_block();
                encoder.end_block();
            }
            for (const auto& b : t.blocks) {
                encoder.begin_block(b.no_lob_tail);
                for (const auto& r : b.rows) encoder.write_row(r);
                encoder.end_block();
            }
        }
        encoder.end_table();
    }
    encoder.finish();
}

std::vector<uint8_t> classic_dump_writer::build(dump_layout* layout) const {
    std::vector<uint8_t> out;
    dump_layout local;
    dump_layout* l = layout ? layout : &local;
    *l = dump_layout();
    {
        dump_vector_sink sink(out);
        classic_dump_encoder encoder(sink, m_header, l);
        encode(encoder);
    }
    if (declared_size_is_length && m_header.version.family() >= 8 && m_header.part_marker != 32) {
        const uint64_t size = out.size();
        for (int i = 0; i < 8; ++i)
            out[l->header_block + 8 + static_cast<uint64_t>(i)] =
                static_cast<uint8_t>(size >> (56 - 8 * i));
    }
    return out;
}

void classic_dump_writer::write_file(const std::string& path, dump_layout* layout) const {
    write_bytes_file(path, build(layout));
}

classic_dump_writer::two_parts classic_dump_writer::build_two_parts(uint64_t split_near) const {
    TK_ASSERT(m_header.version.family() >= 8 && m_header.part_marker == 1);
    two_parts parts;
    classic_dump_writer single = *this;
    single.declared_size_is_length = false;
    single.m_header.declared_size = 0;
    parts.whole = single.build();
    const uint64_t length = parts.whole.size();

    uint64_t split = std::max<uint64_t>(split_near, m_header.buffer_size);
    while (split < length && parts.whole[split] == 0) ++split;
    TK_ASSERT(split < length);
    parts.split = split;

    dump_layout layout;
    classic_dump_writer first = single;
    first.declared_size_is_length = true;
    std::vector<uint8_t> declared = first.build(&layout);
    parts.first.assign(declared.begin(), declared.begin() + static_cast<long>(split));

    dump_header_options later = m_header;
    later.part_marker = 2;
    later.declared_size = length;
    {
        dump_vector_sink sink(parts.second);
        classic_dump_encoder encoder(sink, later);
        encoder.write_part_header();
    }
    parts.second.insert(parts.second.end(), parts.whole.begin() + static_cast<long>(split),
                        parts.whole.end());
    return parts;
}

void write_bytes_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    dump_file_sink sink(path);
    sink.write(bytes.data(), bytes.size());
    sink.close();
}
