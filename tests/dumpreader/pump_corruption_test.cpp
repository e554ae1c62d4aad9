// Damaged Data Pump dumps: truncated files, lying lengths in segment headers and rows, unexpected
// row-piece and LOB-piece flags, damaged descriptions. Each must end in a clear error for the
// table concerned (the other tables stay readable), never a crash, a hang or an allocation beyond
// the bytes that exist.
#include <gtest/gtest.h>

#include "dump_damage.h"
#include "dump_test_harness.h"
#include "ora_pump_format.h"
#include "pump_test_fixtures.h"

using namespace pump_test;

namespace {

// Opens the dump and reads every table; true when nothing but tk_exceptions came out.
bool read_everything(const std::vector<uint8_t>& bytes, size_t* rows = nullptr) {
    dump_harness h;
    try {
        h.open_bytes(bytes);
    } catch (const tk_exception&) {
        return true;
    }
    size_t n = 0;
    for (const std::string& name : h.table_names()) {
        table_read r = h.read(tk_from_utf8(name));
        n += r.rows.size();
    }
    if (rows) *rows = n;
    return true;
}

void set_be64(std::vector<uint8_t>& b, uint64_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (56 - 8 * i));
}

struct fixture {
    pump_dump_writer writer = standard_writer();
    std::vector<uint8_t> bytes;
    fixture() { bytes = writer.build(); }
    const pump_dump_writer::segment_layout& dept() const { return writer.layout_of("DEPT"); }
    const pump_dump_writer::segment_layout& emp() const { return writer.layout_of("EMP"); }
};

}  // namespace

TEST(pump_corruption, cut_anywhere_never_crashes) {
    fixture f;
    for (uint64_t cut = 1; cut < f.bytes.size(); cut += 211) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> b = f.bytes;
        damage_truncate(b, cut);
        EXPECT_TRUE(read_everything(b));
    }
}

TEST(pump_corruption, flipped_bytes_never_crash) {
    fixture f;
    uint32_t x = 7;
    for (int i = 0; i < 300; ++i) {
        x = x * 1103515245u + 12345u;
        uint64_t at = 4096 + (x >> 8) % (f.bytes.size() - 4096);
        SCOPED_TRACE(at);
        std::vector<uint8_t> b = f.bytes;
        damage_flip_byte(b, at, static_cast<uint8_t>(1u << (x % 8)));
        EXPECT_TRUE(read_everything(b));
    }
}

TEST(pump_corruption, cut_inside_a_tables_rows_fails_that_table_only) {
    fixture f;
    std::vector<uint8_t> b = f.bytes;
    // Inside EMP's second row: the master table is gone too, so the stream descriptions
    // describe the tables.
    damage_truncate(b, f.emp().rows[1] + 6);
    dump_harness h;
    h.open_bytes(b);
    EXPECT_EQ(h.table_names(), (std::vector<std::string>{"DEPT", "EMP"}));
    EXPECT_EQ(h.read(u"DEPT").rows.size(), 3u);
    table_read e = h.read(u"EMP");
    EXPECT_TRUE(e.failed);
    EXPECT_EQ(e.rows.size(), 1u);
    EXPECT_EQ(e.error, "Can't read record. EOF reached");
    EXPECT_EQ(e.level, 0);
}

TEST(pump_corruption, unexpected_row_pieces_give_clear_errors) {
    struct piece_case {
        const char* what;
        std::function<void(const fixture&, std::vector<uint8_t>&)> damage;
        const char* table;
        size_t rows_before;
        std::string message;
    };
    const piece_case cases[] = {
        {"unknown flag", [](const fixture& f, std::vector<uint8_t>& b) { b[f.dept().rows[1]] = 0x80; },
         "DEPT", 1, "Unexpected row piece flag 0x80"},
        {"row without first piece",
         [](const fixture& f, std::vector<uint8_t>& b) { b[f.dept().rows[2]] = 0x04; }, "DEPT", 2,
         "Unexpected row piece flag 0x04"},
        {"wrong piece size",
         [](const fixture& f, std::vector<uint8_t>& b) { b[f.dept().rows[0] + 2] += 1; }, "DEPT", 0,
         "does not have the size it declares"},
        {"more values than columns",
         [](const fixture& f, std::vector<uint8_t>& b) { b[f.dept().rows[0] + 3] = 9; }, "DEPT", 0,
         "more values than the table has columns"},
        {"length past the rows",
         [](const fixture& f, std::vector<uint8_t>& b) {
             uint64_t at = f.dept().rows[2] + 4;  // the first value's length byte
             b[at] = ora_pump_fmt::value_long_length;
             b[at + 1] = 0xFF;
             b[at + 2] = 0xFF;
         },
         "DEPT", 2, "Can't read record. EOF reached"},
    };
    for (const piece_case& c : cases) {
        SCOPED_TRACE(c.what);
        fixture f;
        std::vector<uint8_t> b = f.bytes;
        c.damage(f, b);
        dump_harness h;
        h.open_bytes(b);
        table_read r = h.read(tk_from_utf8(c.table));
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(r.rows.size(), c.rows_before);
        EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
        EXPECT_EQ(r.level, 0);
        // The other table is untouched.
        EXPECT_EQ(h.read(u"EMP").rows.size(), 3u);
    }
}

TEST(pump_corruption, split_lob_that_is_not_continued) {
    pump_dump_writer w = standard_writer();
    w.row_layout().lob_chunk = 2;
    std::vector<uint8_t> b = w.build();
    // The first row's CLOB "first note" is in 2-byte pieces: 01, then 03 ...; make the second
    // piece start a fresh value.
    const uint64_t row = w.layout_of("EMP").rows[0];
    uint64_t at = row;
    for (uint64_t i = row; i < w.layout_of("EMP").rows[1]; ++i) {
        if (b[i] == 0x03 && b[i + 1] == 0x01 && b[i + 2] == 0x02) {
            at = i;
            break;
        }
    }
    ASSERT_NE(at, row);
    b[at] = 0x00;
    dump_harness h;
    h.open_bytes(b);
    table_read r = h.read(u"EMP");
    EXPECT_TRUE(r.failed);
    EXPECT_TRUE(r.rows.empty());
    EXPECT_NE(r.error.find("goes on over row pieces is not continued"), std::string::npos)
        << r.error;
}

TEST(pump_corruption, segment_header_lengths_past_the_end) {
    {
        // A document length past the end: the segment is passed over, the rest is found.
        fixture f;
        std::vector<uint8_t> b = f.bytes;
        set_be64(b, f.dept().segment + ora_pump_fmt::segment_document_length, 1ull << 60);
        dump_harness h;
        h.open_bytes(b);
        // DEPT is still described by the master table, but its rows are gone with the segment.
        EXPECT_EQ(h.table_names(), (std::vector<std::string>{"BONUS", "DEPT", "EMP"}));
        EXPECT_TRUE(h.read(u"DEPT").rows.empty());
        EXPECT_EQ(h.read(u"EMP").rows, h.read(u"EMP").rows);
        EXPECT_EQ(h.read(u"EMP").rows.size(), 3u);
    }
    {
        // A row-data length past the end: the rows end at the next segment, with an error for
        // what lies between; the tables after it are still found.
        fixture f;
        std::vector<uint8_t> b = f.bytes;
        set_be64(b, f.dept().segment + ora_pump_fmt::segment_data_length, 1ull << 62);
        dump_harness h;
        h.open_bytes(b);
        EXPECT_EQ(h.table_names(), (std::vector<std::string>{"BONUS", "DEPT", "EMP"}));
        table_read d = h.read(u"DEPT");
        EXPECT_EQ(d.rows.size(), 3u);
        EXPECT_TRUE(d.failed);
        EXPECT_NE(d.error.find("Unexpected row piece flag 0x00"), std::string::npos) << d.error;
        EXPECT_EQ(h.read(u"EMP").rows.size(), 3u);
    }
}

TEST(pump_corruption, damaged_stream_description_is_reported_for_its_table) {
    fixture f;
    std::vector<uint8_t> b = f.bytes;
    // Break the stream description inside its column list.
    uint64_t at = dump_find(b, "<COL_LIST_ITEM>", f.dept().stream_start);
    damage_overwrite(b, at, "<COL_LIST_ITEM<<");
    dump_harness h;
    h.open_bytes(b);
    table_read d = h.read(u"DEPT");
    EXPECT_TRUE(d.failed);
    EXPECT_NE(d.error.find("stream description is damaged"), std::string::npos) << d.error;
    EXPECT_EQ(h.read(u"EMP").rows.size(), 3u);
}

TEST(pump_corruption, damaged_full_description_is_reported_for_its_table) {
    fixture f;
    std::vector<uint8_t> b = f.bytes;
    // In the UTF-16BE text of DEPT's description, break "<COL_LIST>" of the table's columns.
    const std::string needle = {0, '<', 0, 'C', 0, 'O', 0, 'L', 0, '_', 0, 'L', 0, 'I', 0, 'S',
                                0, 'T', 0, '>', 0, '<', 0, 'C', 0, 'O', 0, 'L', 0, '_', 0, 'L'};
    uint64_t at = dump_find(b, needle, f.writer.master_row_of("DEPT"));
    b[at + 1] = '#';
    dump_harness h;
    h.open_bytes(b);
    table_read d = h.read(u"DEPT");
    EXPECT_TRUE(d.failed);
    EXPECT_NE(d.error.find("lists no column"), std::string::npos) << d.error;
    EXPECT_EQ(d.level, 0);
    EXPECT_EQ(h.read(u"EMP").rows.size(), 3u);
}
