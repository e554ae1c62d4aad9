// The fixture writer's own checks: Oracle's value encodings against known bytes (from the format
// and from real dumps), and the header and row layouts that the reader's tests rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classic_dump_writer.h"
#include "dump_damage.h"
#include "oracle_value_encoding.h"

namespace {

using bytes = std::vector<uint8_t>;

struct number_case {
    const char* text;
    bytes expected;
};

TEST(ora_number_bytes, encodes_decimal_text_like_oracle) {
    const number_case cases[] = {
        {"1", {0xC1, 0x02}},
        {"1234", {0xC2, 0x0D, 0x23}},
        {"-5", {0x3E, 0x60, 0x66}},
        {"-1234", {0x3D, 0x59, 0x43, 0x66}},
        {"0.5", {0xC0, 0x33}},
        {"0", {0x80}},
        {"-0.000", {0x80}},
        {"7369", {0xC2, 0x4A, 0x46}},  // EMPNO of SMITH in a real dump
        {"6000", {0xC2, 0x3D}},        // trailing zero digits are dropped
        {"3.56789", {0xC1, 0x04, 0x39, 0x4F, 0x5B}},
        {"0.001", {0xBF, 0x0B}},
        {"012.50", {0xC1, 0x0D, 0x33}},
        {"-0.5", {0x3F, 0x33, 0x66}},
    };
    for (const auto& c : cases) EXPECT_EQ(ora_number_bytes(c.text), c.expected) << c.text;
}

TEST(ora_number_bytes, twenty_digit_negative_has_no_terminator) {
    bytes b = ora_number_bytes("-1234567890123456789012345678901234567890");
    EXPECT_EQ(b.size(), 21u);
    EXPECT_NE(b.back(), 102);
}

TEST(ora_date_bytes, common_era_and_before) {
    EXPECT_EQ(ora_date_bytes({1980, 12, 17, 0, 0, 0, 0}),
              (bytes{0x77, 0xB4, 0x0C, 0x11, 0x01, 0x01, 0x01}));
    EXPECT_EQ(ora_date_bytes({2004, 5, 6, 7, 8, 9, 0}), (bytes{120, 104, 5, 6, 8, 9, 10}));
    // 4712 BC, the first day Oracle knows: century byte 53.
    EXPECT_EQ(ora_date_bytes({-4712, 1, 1, 0, 0, 0, 0}), (bytes{53, 88, 1, 1, 1, 1, 1}));
    bytes ts = ora_timestamp_bytes({2025, 3, 24, 11, 32, 29, 372642000});
    EXPECT_EQ(ts, (bytes{0x78, 0x7D, 0x03, 0x18, 0x0C, 0x21, 0x1E, 0x16, 0x36, 0x10, 0xD0}));
    EXPECT_EQ(ora_timestamp_bytes({2025, 3, 24, 11, 32, 29, 0}).size(), 7u);
    EXPECT_EQ(ora_timestamp_tz_bytes({2025, 3, 24, 11, 32, 29, 0}, -5, 30).size(), 13u);
}

TEST(ora_encode_text, real_character_sets) {
    EXPECT_EQ(ora_encode_text(u"CITT\u00C0", 178), "CITT\xC0");
    EXPECT_EQ(ora_encode_text(u"\u5168\u56FD", 852), "\xC8\xAB\xB9\xFA");
    EXPECT_EQ(ora_encode_text(u"A\u00E9", 2000), std::string("\0A\0\xE9", 4));
    EXPECT_EQ(ora_encode_text(u"\u00E9", 873), "\xC3\xA9");
}

// The header as real dumps of versions 8 to 19 lay it out: lead bytes with the session set, the
// version word, five line ends after the export mode, then the fixed block.
TEST(classic_dump_writer, header_layout) {
    classic_dump_writer w(export_version::v11_2());
    w.charsets(846, 873, 2000);
    dump_layout layout;
    bytes d = w.build(&layout);
    EXPECT_EQ(d[0], 3);
    EXPECT_EQ(d[1], 0x03);
    EXPECT_EQ(d[2], 0x4E);
    EXPECT_EQ(std::string(d.begin() + 3, d.begin() + 20), "EXPORT:V11.02.00\n");
    uint64_t p = dump_find(d, "RUSERS");
    int line_ends = 0;
    for (p += 6; line_ends < 5; ++p)
        if (d[p] == '\n')
            ++line_ends;
    EXPECT_EQ(p, layout.header_block);
    const bytes block(d.begin() + static_cast<long>(p), d.begin() + static_cast<long>(p) + 16);
    EXPECT_EQ(block,
              (bytes{0x03, 0x4E, 0x03, 0x69, 0x07, 0xD0, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(d.size() % 2048, 0u);
}

TEST(classic_dump_writer, part_marker_32_has_no_declared_size) {
    classic_dump_writer w(export_version::v9_2());
    w.header().part_marker = 32;
    dump_layout layout;
    bytes d = w.build(&layout);
    EXPECT_EQ(d[layout.header_block + 7], 32);
    // The file name length follows the part marker directly.
    EXPECT_EQ(d[layout.header_block + 8], 0);
    EXPECT_EQ(d[layout.header_block + 9], 10);
}

TEST(classic_dump_writer, rows_and_trailers) {
    classic_dump_writer w;
    auto& t = w.add_table(u"T");
    t.column(u"ID", "NUMBER").column(u"C", "CLOB");
    t.row({fixture_value::number("1"), fixture_value::text(u"ab")});
    t.row({fixture_value::number("2"), fixture_value::null()});
    dump_layout layout;
    bytes d = w.build(&layout);
    ASSERT_EQ(layout.tables.size(), 1u);
    const block_layout& b = layout.tables[0].blocks.at(0);
    ASSERT_EQ(b.rows.size(), 2u);
    // The trailer counts the LOB entries after the row; a NULL CLOB has none.
    EXPECT_EQ(dump_word(d, b.rows[0].trailer), 1);
    EXPECT_EQ(dump_word(d, b.rows[1].trailer), 0);
    // CLOB data of a single-byte database set is in that set.
    EXPECT_EQ(dump_word(d, b.rows[0].lob_entries.at(0)), 2);
    EXPECT_EQ(d[b.rows[0].lob_entries[0] + 2], 'a');
    EXPECT_EQ(dump_word(d, b.end_marker), 0xFFFF);
    EXPECT_EQ(d[b.end_marker + 2], '\n');
}

TEST(classic_dump_writer, long_chunk_forms) {
    classic_dump_writer w(export_version::v10_2());
    auto& t = w.add_table(u"T");
    t.column(u"L", "LONG RAW");
    t.row({fixture_value::bytes(bytes(10, 7)).chunked(4)});  // 4, 4, 2, terminator
    t.row({fixture_value::bytes(bytes(8, 7)).chunked(4)});   // 4, 4, 0
    t.row({fixture_value::bytes(bytes(3, 7)).chunked(4)});   // 3, 0
    dump_layout layout;
    bytes d = w.build(&layout);
    const auto& rows = layout.tables[0].blocks[0].rows;
    EXPECT_EQ(rows[0].trailer - rows[0].start, 2u + 3 * 2 + 10 + 2);
    EXPECT_EQ(rows[1].trailer - rows[1].start, 2u + 3 * 2 + 8);
    EXPECT_EQ(rows[2].trailer - rows[2].start, 2u + 2 * 2 + 3);
    EXPECT_EQ(dump_word(d, rows[0].start), 0xFFFD);
}

TEST(classic_dump_writer, two_parts_merge_back_into_the_whole) {
    classic_dump_writer w;
    auto& t = w.add_table(u"T");
    t.column(u"ID", "NUMBER").column(u"S", "VARCHAR2(100)");
    for (int i = 0; i < 200; ++i)
        t.row({fixture_value::number(std::to_string(i)), fixture_value::text(u"row text")});
    auto parts = w.build_two_parts(3000);
    ASSERT_GT(parts.split, 2048u);
    // What the merge tool does: the first file with its declared size cleared, then the second
    // without its header and the zeros after it.
    bytes merged = parts.first;
    dump_layout layout;
    w.build(&layout);
    for (int i = 0; i < 8; ++i) merged[layout.header_block + 8 + static_cast<uint64_t>(i)] = 0;
    uint64_t o = 256;
    while (o < parts.second.size() && parts.second[o] == 0) ++o;
    merged.insert(merged.end(), parts.second.begin() + static_cast<long>(o), parts.second.end());
    EXPECT_EQ(merged, parts.whole);
    // The first part declares the whole length; the second is marked as a later part.
    uint64_t declared = 0;
    for (int i = 0; i < 8; ++i) declared = declared << 8 | parts.first[layout.header_block + 8 + i];
    EXPECT_EQ(declared, parts.whole.size());
    EXPECT_EQ(parts.second[layout.header_block + 7], 2);
}

}  // namespace
