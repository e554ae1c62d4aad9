// Bad input for the classic dump reader, in the manner of leveldb's log_test: a valid dump is
// written in memory by the fixture writer, damaged at a known place (a flipped byte, a length
// word, a cut), and each case asserts the rows that still came back, the error's type and level,
// and its message. Nothing may crash, hang or read beyond the table it reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "classic_dump_writer.h"
#include "dump_damage.h"
#include "dump_test_harness.h"
#include "fixture_temp_dir.h"
#include "ora_fault_source.h"

namespace {

using fv = fixture_value;
const char* const k_eof = "Can't read record. EOF reached";

// Table T: 10 rows of NUMBER, VARCHAR2, DATE, LONG and CLOB; then table U with 200 rows.
classic_dump_writer base_writer() {
    classic_dump_writer w(export_version::v11_2());
    auto& t = w.add_table(u"T");
    t.column(u"ID", "NUMBER(5)")
        .column(u"S", "VARCHAR2(20)")
        .column(u"D", "DATE")
        .column(u"L", "LONG")
        .column(u"C", "CLOB");
    for (int i = 1; i <= 10; ++i) {
        std::u16string n = tk_from_utf8(std::to_string(i));
        t.row({fv::number(std::to_string(i)), fv::text(u"text " + n), fv::date(2000, 1, i),
               fv::text(u"long value " + n).chunked(4), fv::text(u"clob " + n)});
    }
    auto& u = w.add_table(u"U");
    u.column(u"ID", "NUMBER").column(u"S", "VARCHAR2(40)");
    for (int i = 1; i <= 200; ++i)
        u.row({fv::number(std::to_string(i)), fv::text(u"the rows of the table after T")});
    return w;
}

struct open_result {
    thrown error;
    table_read t;
    table_read u;
};

open_result open_and_read(const std::vector<uint8_t>& bytes) {
    open_result r;
    dump_harness h;
    r.error = catch_thrown([&] { h.open_bytes(bytes); });
    if (r.error.type != "none")
        return r;
    r.t = h.read(u"T");
    r.u = h.read(u"U");
    return r;
}

void expect_open_error(const thrown& e, const std::string& where) {
    EXPECT_EQ(e.type, "tk_exception") << where;
    EXPECT_EQ(e.level, 1) << where;
    EXPECT_EQ(e.text, ora_dump_reader::open_error_text) << where;
}

// ---- Files the reader must refuse -------------------------------------------------------------

TEST(bad_files, missing_file) {
    fixture_temp_dir dir;
    dump_harness h;
    thrown e = catch_thrown([&] { h.open_path(dir.file("absent.dmp")); });
    expect_open_error(e, "missing");
    EXPECT_EQ(h.reader().progress(), -1);
}

TEST(bad_files, empty_file_on_disk) {
    fixture_temp_dir dir;
    write_bytes_file(dir.file("empty.dmp"), {});
    dump_harness h;
    thrown e = catch_thrown([&] { h.open_path(dir.file("empty.dmp")); });
    expect_open_error(e, "empty");
    EXPECT_EQ(h.reader().progress(), -1);
}

struct refused_case {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<refused_case> refused_cases() {
    std::vector<refused_case> cases;
    const std::vector<uint8_t> good = base_writer().build();
    dump_layout layout;
    base_writer().build(&layout);
    cases.push_back({"empty", {}});
    std::mt19937 rng(20240601);
    std::vector<uint8_t> garbage(8192);
    for (auto& b : garbage) b = static_cast<uint8_t>(rng());
    cases.push_back({"garbage", garbage});
    std::string text = "This is no dump at all.\nJust a few lines of text.\n";
    cases.push_back({"text", std::vector<uint8_t>(text.begin(), text.end())});
    cases.push_back({"three_bytes", {3, 0, 178}});
    cases.push_back(
        {"cut_in_version_lines", std::vector<uint8_t>(good.begin(), good.begin() + 30)});
    cases.push_back({"cut_in_fixed_block",
                     std::vector<uint8_t>(
                         good.begin(), good.begin() + static_cast<long>(layout.header_block) + 4)});
    cases.push_back(
        {"cut_in_declared_size",
         std::vector<uint8_t>(good.begin(),
                              good.begin() + static_cast<long>(layout.header_block) + 12)});
    std::vector<uint8_t> v5 = good;
    damage_overwrite(v5, 3, "EXPORT:V05.00.00");
    cases.push_back({"version_5", v5});
    std::vector<uint8_t> v13 = good;
    damage_overwrite(v13, 3, "EXPORT:V3.");
    cases.push_back({"version_3", v13});
    return cases;
}

TEST(bad_files, refused_with_the_generic_open_error) {
    for (const auto& c : refused_cases()) {
        dump_harness h;
        thrown e = catch_thrown([&] { h.open_bytes(c.bytes); });
        expect_open_error(e, c.name);
        EXPECT_EQ(h.reader().progress(), -1) << c.name;
    }
}

TEST(bad_files, a_failing_disk_fails_the_open) {
    const std::vector<uint8_t> good = base_writer().build();
    dump_layout layout;
    base_writer().build(&layout);
    ora_fault_source::faults f;
    f.fail_at = layout.tables[0].blocks[0].rows[3].start;
    dump_harness h;
    thrown e = catch_thrown([&] {
        h.reader().open(
            std::make_unique<ora_fault_source>(std::string(good.begin(), good.end()), f),
            u"faulty");
    });
    expect_open_error(e, "failing disk");
}

// ---- Damage inside the rows -------------------------------------------------------------------

TEST(damaged_rows, undamaged_base_reads_whole) {
    open_result r = open_and_read(base_writer().build());
    ASSERT_EQ(r.error.type, "none") << r.error.text;
    EXPECT_FALSE(r.t.failed) << r.t.error;
    EXPECT_EQ(r.t.rows.size(), 10u);
    EXPECT_EQ(r.u.rows.size(), 200u);
    EXPECT_EQ(r.t.rows[9][3], "long value 10");
}

struct row_damage {
    const char* name;
    // Damages the dump; returns nothing, the expectations are in the case.
    std::function<void(dump_bytes&, const dump_layout&)> damage;
    size_t rows_before_error;
    const char* error;  // nullptr: the table reads to its end
    int32_t level;
    bool later_table_intact;
};

const row_layout& t_row(const dump_layout& l, size_t i) {
    return l.tables[0].blocks[0].rows[i];
}

std::vector<row_damage> row_damages() {
    return {
        {"length_past_the_file",
         [](dump_bytes& d, const dump_layout& l) {
             damage_set_word(d, t_row(l, 2).length_words[1], 0xF000);
         },
         2, k_eof, 0, true},
        {"length_past_the_table",
         [](dump_bytes& d, const dump_layout& l) {
             // Long enough to end inside table U's rows, short enough to stay in the file.
             uint64_t word = t_row(l, 4).length_words[1];
             uint64_t target = l.tables[1].blocks[0].rows[20].start;
             damage_set_word(d, word, static_cast<uint16_t>(target - word - 2));
         },
         4, k_eof, 0, true},
        {"lob_entry_past_the_table",
         [](dump_bytes& d, const dump_layout& l) {
             uint64_t entry = t_row(l, 6).lob_entries.at(0);
             uint64_t target = l.tables[1].blocks[0].rows[50].start;
             damage_set_word(d, entry, static_cast<uint16_t>(target - entry - 2));
         },
         6, k_eof, 0, true},
        {"long_chunk_past_the_table",
         [](dump_bytes& d, const dump_layout& l) {
             // The first chunk length of the LONG value.
             damage_set_word(d, t_row(l, 1).length_words[3] + 2, 0x7F00);
         },
         1, k_eof, 0, true},
        {"date_of_eight_bytes",
         [](dump_bytes& d, const dump_layout& l) {
             // Claims 8 bytes: the DATE decoder refuses any size but 7.
             damage_set_word(d, t_row(l, 5).length_words[2], 8);
         },
         5, "Can't read record. Date error.", 1, true},
        {"end_marker_overwritten",
         [](dump_bytes& d, const dump_layout& l) {
             damage_set_word(d, l.tables[0].blocks[0].end_marker, 0x4000);
         },
         10, k_eof, 0, true},
        {"cut_in_the_middle_of_a_row",
         [](dump_bytes& d, const dump_layout& l) { damage_truncate(d, t_row(l, 7).start + 9); }, 7,
         k_eof, 0, false},
        {"cut_in_a_lob_entry",
         [](dump_bytes& d, const dump_layout& l) {
             damage_truncate(d, t_row(l, 3).lob_entries.at(0) + 3);
         },
         3, k_eof, 0, false},
        {"cut_after_the_last_row",
         [](dump_bytes& d, const dump_layout& l) { damage_truncate(d, t_row(l, 9).end); }, 10,
         nullptr, 0, false},
        {"cut_before_the_end_marker_half",
         [](dump_bytes& d, const dump_layout& l) {
             damage_truncate(d, l.tables[0].blocks[0].end_marker + 1);
         },
         10, nullptr, 0, false},
    };
}

TEST(damaged_rows, rows_before_the_damage_come_back) {
    for (const auto& c : row_damages()) {
        dump_layout layout;
        dump_bytes d = base_writer().build(&layout);
        c.damage(d, layout);
        open_result r = open_and_read(d);
        ASSERT_EQ(r.error.type, "none") << c.name << ": " << r.error.text;
        EXPECT_EQ(r.t.rows.size(), c.rows_before_error) << c.name << ": " << r.t.error;
        for (size_t i = 0; i < r.t.rows.size() && i < c.rows_before_error; ++i)
            EXPECT_EQ(r.t.rows[i][0], std::to_string(i + 1)) << c.name;
        if (c.error) {
            EXPECT_TRUE(r.t.failed) << c.name;
            EXPECT_EQ(r.t.error, c.error) << c.name;
            EXPECT_EQ(r.t.level, c.level) << c.name;
        } else {
            EXPECT_FALSE(r.t.failed) << c.name << ": " << r.t.error;
        }
        if (c.later_table_intact) {
            EXPECT_FALSE(r.u.failed) << c.name << ": " << r.u.error;
            EXPECT_EQ(r.u.rows.size(), 200u) << c.name;
        }
    }
}

// A chunk chain whose lengths never change until the file ends: the reader must stop at the end
// of the data with an error instead of looping or reading on.
TEST(damaged_rows, chunk_chains_that_never_end) {
    struct chain {
        const char* name;
        bool lob;
    };
    for (chain c : {chain{"long", false}, chain{"lob", true}}) {
        classic_dump_writer w;
        auto& t = w.add_table(u"T");
        t.column(u"ID", "NUMBER").column(u"L", c.lob ? "BLOB" : "LONG RAW");
        t.row({fv::number("1"), fv::bytes({1, 2, 3})});
        t.row({fv::number("2"),
               c.lob ? fv::bytes(std::vector<uint8_t>(40, 7)).lob(lob_layout::fffc, 4)
                     : fv::bytes(std::vector<uint8_t>(40, 7)).chunked(4)});
        dump_layout layout;
        dump_bytes d = w.build(&layout);
        const row_layout& r = layout.tables[0].blocks[0].rows[1];
        uint64_t from = c.lob ? r.lob_entries.at(0) + 10 : r.length_words[1] + 2;
        // 04 00 and four data bytes, over and over, to the end of the file, which ends after one
        // more length word.
        uint64_t p = from;
        for (; p + 8 <= d.size(); p += 6) {
            damage_set_word(d, p, 4);
            damage_overwrite(d, p + 2, "\x01\x02\x03\x04");
        }
        damage_set_word(d, p, 4);
        damage_truncate(d, p + 2);
        dump_harness h;
        h.open_bytes(d);
        table_read got = h.read(u"T");
        EXPECT_EQ(got.rows.size(), 1u) << c.name;
        EXPECT_TRUE(got.failed) << c.name;
        EXPECT_EQ(got.error, k_eof) << c.name;
        EXPECT_EQ(got.level, 0) << c.name;
    }
}

// Every byte of the first table's rows flipped in turn, and the dump cut at many offsets: each
// open either fails with the generic error or gives tables whose reading ends normally or with
// a tk_exception. Under the sanitizers this also proves that no read leaves its buffer.
TEST(damaged_rows, every_flipped_byte_and_every_cut_is_survived) {
    dump_layout layout;
    const dump_bytes good = base_writer().build(&layout);
    const uint64_t from = layout.tables[0].create_line;
    const uint64_t to = layout.tables[1].blocks[0].rows[2].start;
    size_t opened = 0;
    for (uint64_t p = from; p < to; ++p) {
        dump_bytes d = good;
        damage_flip_byte(d, p, p % 3 == 0 ? 0xFF : p % 3 == 1 ? 0x01 : 0x80);
        open_result r = open_and_read(d);
        if (r.error.type != "none") {
            expect_open_error(r.error, "flip at " + std::to_string(p));
            continue;
        }
        ++opened;
        EXPECT_LE(r.t.rows.size(), 10u + 200u) << p;
    }
    EXPECT_GT(opened, 0u);
    for (uint64_t cut = 1; cut < good.size(); cut += 37) {
        dump_bytes d(good.begin(), good.begin() + static_cast<long>(cut));
        open_result r = open_and_read(d);
        if (r.error.type != "none") {
            expect_open_error(r.error, "cut at " + std::to_string(cut));
            continue;
        }
        EXPECT_LE(r.t.rows.size(), 10u) << cut;
        EXPECT_LE(r.u.rows.size(), 200u) << cut;
    }
}

}  // namespace
