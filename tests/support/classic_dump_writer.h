// classic_dump_writer: builds a complete classic export dump in memory from tables described by
// a test, byte for byte in the layout Oracle's exp writes (see classic_dump_encoder).
//
// A test adds tables (fixture_table: columns with Oracle type texts, blocks of rows, indexes,
// constraints), sets the header (version, character sets, part marker), and takes the bytes or a
// file. build() can also report where everything landed (dump_layout), so that a test can damage
// a dump at a known place (dump_damage). For dumps too large for memory, use
// classic_dump_encoder with a dump_file_sink directly.
//
// The writer owns its table descriptions; references returned by add_table stay valid until the
// writer is destroyed. Used by one thread at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "classic_dump_encoder.h"
#include "fixture_table.h"

class classic_dump_writer {
public:
    explicit classic_dump_writer(export_version version = export_version::v11_2());

    dump_header_options& header() { return m_header; }
    const dump_header_options& header() const { return m_header; }
    classic_dump_writer& charsets(uint16_t session, uint16_t database, uint16_t national);

    // A new table, written after everything added so far. An empty tablespace writes a CREATE
    // TABLE without a TABLESPACE clause.
    fixture_table& add_table(std::u16string name, std::u16string tablespace = u"USERS");
    // Bytes written as they are after everything added so far (a CONNECT line, a stray TABLE
    // word, a statement of another kind).
    classic_dump_writer& add_raw(std::string bytes);
    // The first table of that name; an unknown name is an assertion failure.
    fixture_table& table(std::u16string_view name);

    // The whole dump. When the header's part marker is not 32 and `declared_size_is_length` is
    // set, the declared size is the dump's own length.
    std::vector<uint8_t> build(dump_layout* layout = nullptr) const;
    void write_file(const std::string& path, dump_layout* layout = nullptr) const;
    bool declared_size_is_length = false;

    // The dump as the two files of a multi-file export: the first holds the bytes up to the
    // split (part marker 1, declared size = the whole dump's length), the second a header of its
    // own (part marker 2) padded with zeros to the buffer size, then the rest. The split is moved
    // forward to a non-zero byte, since the merge drops zeros after a later part's header.
    // `whole` is the single-file form (declared size 0), which merging the two must give back.
    struct two_parts {
        std::vector<uint8_t> first;
        std::vector<uint8_t> second;
        std::vector<uint8_t> whole;
        uint64_t split = 0;
    };
    two_parts build_two_parts(uint64_t split_near) const;

private:
    struct item {
        bool raw = false;
        std::string bytes;
        fixture_table table;
    };

    void encode(classic_dump_encoder& encoder) const;

    dump_header_options m_header;
    std::deque<item> m_items;
};

// Writes bytes to a file, replacing it; throws tk_exception (level 1) on failure.
void write_bytes_file(const std::string& path, const std::vector<uint8_t>& bytes);
