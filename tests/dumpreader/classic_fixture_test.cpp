// End-to-end tests of the classic dump reader on dumps made by the fixture writer: every layout
// the writer produces is opened through the reader's public API (open, the table list,
// get_table, the cursor, the records) and compared with the values that were written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classic_dump_writer.h"
#include "dump_damage.h"
#include "dump_test_harness.h"
#include "ora_dump_column.h"

namespace {

using fv = fixture_value;

// Expected texts; one ending in '*' matches by prefix (timestamps keep their seconds, and a
// reader may add the milliseconds).
void expect_row(const row_texts& got, const std::vector<std::string>& want,
                const std::string& where) {
    ASSERT_EQ(got.size(), want.size()) << where;
    for (size_t i = 0; i < want.size(); ++i) {
        const std::string& w = want[i];
        if (!w.empty() && w.back() == '*') {
            EXPECT_EQ(got[i].substr(0, w.size() - 1), w.substr(0, w.size() - 1))
                << where << " column " << i;
        } else {
            EXPECT_EQ(got[i], w) << where << " column " << i;
        }
    }
}

void expect_rows(const table_read& r, const std::vector<std::vector<std::string>>& want,
                 const std::string& where) {
    EXPECT_FALSE(r.failed) << where << ": " << r.error;
    ASSERT_EQ(r.rows.size(), want.size()) << where << ": " << r.error;
    for (size_t i = 0; i < want.size(); ++i)
        expect_row(r.rows[i], want[i], where + " row " + std::to_string(i + 1));
}

const ora_dump_column& column_of(udb_recordset& t, size_t i) {
    const auto* c = dynamic_cast<const ora_dump_column*>(&t.schema().at(i));
    if (!c)
        throw std::runtime_error("not an ora_dump_column");
    return *c;
}

std::string version_name(const export_version& v) {
    return v.word().substr(8);
}

// ---- Every type keyword, every version --------------------------------------------------------

struct charset_set {
    uint16_t session, database, national;
};

struct version_case {
    export_version version;
    charset_set charsets;
};

std::string case_name(const testing::TestParamInfo<version_case>& info) {
    std::string s = "v" + version_name(info.param.version) + "_db" +
                    std::to_string(info.param.charsets.database);
    for (char& c : s)
        if (c == '.')
            c = '_';
    return s;
}

class all_types : public testing::TestWithParam<version_case> {};

// The table of every type keyword the table parser knows (LONG and LONG RAW have tables of their
// own: Oracle allows one of them per table).
fixture_table& add_all_types(classic_dump_writer& w) {
    auto& t = w.add_table(u"ALLTYPES");
    t.column(u"ID", "NUMBER(4, 0)", "NOT NULL ENABLE")
        .column(u"SMALL", "NUMBER(2)")
        .column(u"MID", "NUMBER(*,0)")
        .column(u"BIG", "NUMBER(19, 0)")
        .column(u"AMOUNT", "NUMBER(12, 2)")
        .column(u"RATIO", "NUMBER")
        .column(u"F", "FLOAT(126)")
        .column(u"NAME", "VARCHAR2(30 BYTE)")
        .column(u"NNAME", "NVARCHAR2(20)")
        .column(u"CODE", "CHAR(5)")
        .column(u"NCODE", "NCHAR(3)")
        .column(u"OLDV", "VARCHAR(10)")
        .column(u"HIRED", "DATE", "DEFAULT SYSDATE NOT NULL ENABLE")
        .column(u"STAMP", "TIMESTAMP (6)")
        .column(u"STAMPTZ", "TIMESTAMP(6) WITH TIME ZONE")
        .column(u"BIN", "RAW(16)")
        .column(u"RID", "ROWID")
        .column(u"NOTE", "CLOB")
        .column(u"NNOTE", "NCLOB")
        .column(u"PIC", "BLOB");
    t.row({fv::number("1"),
           fv::number("5"),
           fv::number("123456"),
           fv::number("1234567890123456789"),
           fv::number("12.5"),
           fv::number("-0.001"),
           fv::number("3.56789"),
           fv::text(u"Smith"),
           fv::text(u"\u00D1and\u00FA"),
           fv::text(u"AB   "),
           fv::text(u"xyz"),
           fv::text(u"v"),
           fv::date(2004, 5, 6, 7, 8, 9),
           fv::timestamp(2022, 6, 2, 8, 45, 40, 346906000),
           fv::timestamp_tz({2020, 1, 1, 0, 0, 0, 0}, 5, 30),
           fv::bytes({'A', 'B', 'C'}),
           fv::text(u"AAAB"),
           fv::text(u"note one"),
           fv::text(u"gr\u00F6\u00DFe"),
           fv::bytes({0, 1, 2, 255})});
    std::vector<fv> nulls(t.columns.size(), fv::null());
    nulls[0] = fv::number("2");
    t.row(nulls);
    // Zero-length values that are not NULL, negative and zero numbers, a date before the common
    // era, a timestamp without fraction, empty LOBs.
    t.row({fv::number("3"),
           fv::number("-5"),
           fv::number("0"),
           fv::number("-922337203685477580"),
           fv::number("-1234.56"),
           fv::number("0"),
           fv::number("100000000000000000000"),
           fv::text(u""),
           fv::text(u""),
           fv::text(u"Z    "),
           fv::text(u"n  "),
           fv::text(u""),
           fv::date(-4712, 1, 1),
           fv::timestamp(1999, 12, 31, 23, 59, 59, 0),
           fv::null(),
           fv::null(),
           fv::null(),
           fv::text(u""),
           fv::text(u""),
           fv::bytes({})});
    t.row({fv::number("9999"),
           fv::number("99"),
           fv::number("999999999"),
           fv::number("999999999999999999"),
           fv::number("9999999999.99"),
           fv::number("0.000000123"),
           fv::number("-3.5"),
           fv::text(u"x"),
           fv::text(u"y"),
           fv::text(u"12345"),
           fv::text(u"abc"),
           fv::text(u"0123456789"),
           fv::date(9999, 12, 31, 23, 59, 59),
           fv::timestamp(2000, 2, 29, 12, 0, 0, 500000000),
           fv::null(),
           fv::bytes({'0', '1'}),
           fv::null(),
           fv::null(),
           fv::null(),
           fv::null()});
    return t;
}

std::vector<std::vector<std::string>> all_types_expected(const std::string& raw_abc,
                                                         const std::string& raw_01) {
    return {
        {"1",
         "5",
         "123456",
         "1234567890123456789",
         "12.5",
         "-0.001",
         "3.56789",
         "Smith",
         "\u00D1and\u00FA",
         "AB   ",
         "xyz",
         "v",
         "2004-05-06 07:08:09",
         "2022-06-02 08:45:40*",
         "2020-01-01 00:00:00*",
         raw_abc,
         "AAAB",
         "note one",
         "gr\u00F6\u00DFe",
         "0x000102FF"},
        {"2",    "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL",
         "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL"},
        {"3",   "-5", "0",    "-922337203685477580", "-1234.56", "0",    "1e+20", "", "", "Z    ",
         "n  ", "",   "NULL", "1999-12-31 23:59:59", "NULL",     "NULL", "NULL",  "", "", "0x"},
        {"9999",
         "99",
         "999999999",
         "999999999999999999",
         "9999999999.99",
         "1.23e-07",
         "-3.5",
         "x",
         "y",
         "12345",
         "abc",
         "0123456789",
         "9999-12-31 23:59:59",
         "2000-02-29 12:00:00*",
         "NULL",
         raw_01,
         "NULL",
         "NULL",
         "NULL",
         "NULL"},
    };
}

TEST_P(all_types, values_come_back_as_written) {
    const version_case& p = GetParam();
    classic_dump_writer w(p.version);
    w.charsets(p.charsets.session, p.charsets.database, p.charsets.national);
    add_all_types(w);
    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.reader().version(), p.version.major);
    EXPECT_EQ(h.reader().charset_id(), p.charsets.database);
    EXPECT_EQ(h.reader().ncharset_id(), p.charsets.national);
    EXPECT_EQ(h.reader().session_charset_id(), p.charsets.session);
    EXPECT_EQ(h.table_names(), std::vector<std::string>{"ALLTYPES"});

    auto t = h.table(u"ALLTYPES");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->schema().size(), 20u);
    EXPECT_EQ(t->schema()[0].vartype(), VT_I2);
    EXPECT_TRUE(t->schema()[0].b_not_null());
    EXPECT_EQ(t->schema()[0].flags(), 4);
    EXPECT_EQ(t->schema()[1].vartype(), VT_I1);
    EXPECT_EQ(t->schema()[2].vartype(), VT_I4);
    EXPECT_EQ(t->schema()[3].vartype(), VT_I8);
    EXPECT_EQ(t->schema()[4].vartype(), VT_DECIMAL);
    EXPECT_EQ(t->schema()[4].flags(), 2 + 256 * 12);
    EXPECT_EQ(t->schema()[5].vartype(), VT_R8);
    EXPECT_EQ(column_of(*t, 6).kind(), ora_kind_float);
    EXPECT_EQ(column_of(*t, 8).kind(), ora_kind_nvarchar2);
    EXPECT_EQ(column_of(*t, 10).kind(), ora_kind_nchar);
    EXPECT_EQ(column_of(*t, 11).kind(), ora_kind_char);
    EXPECT_EQ(t->schema()[12].vartype(), VT_DATE);
    EXPECT_TRUE(t->schema()[12].b_not_null());
    EXPECT_EQ(t->schema()[13].flags(), 1);
    EXPECT_EQ(column_of(*t, 14).kind(), ora_kind_timestamp);
    EXPECT_EQ(column_of(*t, 16).kind(), ora_kind_rowid);
    EXPECT_EQ(column_of(*t, 17).kind(), ora_kind_clob);
    EXPECT_EQ(column_of(*t, 18).kind(), ora_kind_clob);
    EXPECT_EQ(t->schema()[19].vartype(), VT_BLOB);
    // RAW: text of the database set as the type table has it, or the bytes.
    const bool raw_text = t->schema()[15].vartype() == VT_BSTR;
    t = nullptr;

    table_read r = h.read(u"ALLTYPES");
    expect_rows(r, all_types_expected(raw_text ? "ABC" : "0x414243", raw_text ? "01" : "0x3031"),
                "ALLTYPES");
}

const charset_set k_cp1252 = {178, 178, 2000};
const charset_set k_utf8 = {873, 873, 2000};
const charset_set k_latin1_v8 = {31, 31, 31};

INSTANTIATE_TEST_SUITE_P(versions, all_types,
                         testing::Values(version_case{export_version::v8_0_5(), k_latin1_v8},
                                         version_case{export_version::v8_0_6(), k_latin1_v8},
                                         version_case{export_version::v8_1_7(), k_latin1_v8},
                                         version_case{export_version::v9_2(), k_cp1252},
                                         version_case{export_version::v10_2(), k_utf8},
                                         version_case{export_version::v11_2(), k_cp1252},
                                         version_case{export_version::v11_2(), k_utf8},
                                         version_case{export_version::v12_1(), k_cp1252},
                                         version_case{export_version{12, 2, 0}, k_utf8},
                                         version_case{export_version{18, 0, 0}, k_cp1252},
                                         version_case{export_version::v19(), k_utf8},
                                         version_case{export_version{21, 0, 0}, k_cp1252},
                                         version_case{export_version{23, 0, 0}, k_utf8}),
                         case_name);

// ---- Version 7 --------------------------------------------------------------------------------

TEST(version_7, one_character_set_in_the_lead_bytes) {
    classic_dump_writer w(export_version::v7());
    w.charsets(31, 31, 31);
    auto& t = w.add_table(u"CAF\u00C9");
    t.column(u"ID", "NUMBER(6)")
        .column(u"NOM", "VARCHAR2(20)")
        .column(u"CODE", "CHAR(3)")
        .column(u"JOUR", "DATE")
        .column(u"RID", "ROWID")
        .column(u"TXT", "LONG");
    t.row({fv::number("1"), fv::text(u"cr\u00E8me"), fv::text(u"abc"), fv::date(1995, 3, 4),
           fv::text(u"AAAA"), fv::text(u"long text of version 7")});
    t.row({fv::number("2"), fv::null(), fv::text(u"d  "), fv::null(), fv::null(),
           fv::text(std::u16string(100, u'L')).chunked(30)});
    t.row({fv::number("-3"), fv::text(u"\u00E9t\u00E9"), fv::null(), fv::date(1900, 1, 1),
           fv::null(), fv::null()});
    auto& l = w.add_table(u"BIN7");
    l.column(u"ID", "NUMBER").column(u"DATA", "LONG RAW").column(u"R", "RAW(4)");
    l.row({fv::number("1"), fv::bytes({1, 2, 3, 0, 5}), fv::bytes({'x'})});
    l.row({fv::number("2"), fv::bytes(std::vector<uint8_t>(64, 9)).chunked(16), fv::null()});

    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.reader().version(), 7);
    EXPECT_EQ(h.reader().charset_id(), 31);
    EXPECT_EQ(h.table_names(), (std::vector<std::string>{"BIN7", "CAF\u00C9"}));
    expect_rows(
        h.read(u"CAF\u00C9"),
        {{"1", "cr\u00E8me", "abc", "1995-03-04 00:00:00", "AAAA", "long text of version 7"},
         {"2", "NULL", "d  ", "NULL", "NULL", std::string(100, 'L')},
         {"-3", "\u00E9t\u00E9", "NULL", "1900-01-01 00:00:00", "NULL", "NULL"}},
        "CAFE");
    table_read bin = h.read(u"BIN7");
    ASSERT_EQ(bin.rows.size(), 2u) << bin.error;
    EXPECT_EQ(bin.rows[0][1], "0x0102030005");
    std::string nines = "0x";
    for (int i = 0; i < 64; ++i) nines += "09";
    EXPECT_EQ(bin.rows[1][1], nines);
}

TEST(version_7, lob_list_after_the_row) {
    // Version 7 LOB entries: two bytes, then the length (or the 0xFFFA form) and the data.
    classic_dump_writer w(export_version::v7());
    w.charsets(1, 1, 1);
    auto& t = w.add_table(u"DOCS");
    t.column(u"ID", "NUMBER").column(u"BODY", "CLOB");
    t.row({fv::number("1"), fv::text(u"plain body")});
    t.row(
        {fv::number("2"), fv::text(u"chunked body of version seven").lob(lob_layout::fffa, 8, 1)});
    t.row({fv::number("3"), fv::text(u"x")});
    dump_harness h;
    h.open_bytes(w.build());
    expect_rows(h.read(u"DOCS"),
                {{"1", "plain body"}, {"2", "chunked body of version seven"}, {"3", "x"}}, "DOCS");
}

// ---- LONG and LONG RAW chunks -----------------------------------------------------------------

class long_chunks : public testing::TestWithParam<export_version> {};

TEST_P(long_chunks, terminator_and_zero_length_last_chunk) {
    classic_dump_writer w(GetParam());
    w.charsets(178, 178, 2000);
    auto& t = w.add_table(u"LONGS");
    t.column(u"ID", "NUMBER").column(u"TXT", "LONG").column(u"AFTER", "VARCHAR2(5)");
    const std::u16string ten = u"0123456789";
    t.row({fv::number("1"), fv::text(ten).chunked(4), fv::text(u"a")});  // 4, 4, 2, terminator
    t.row({fv::number("2"), fv::text(u"01234567").chunked(4), fv::text(u"b")});  // 4, 4, 0
    t.row({fv::number("3"), fv::text(u"012").chunked(4), fv::text(u"c")});       // 3, 0
    t.row({fv::number("4"), fv::text(u"plain"), fv::text(u"d")});                // not chunked
    t.row({fv::number("5"), fv::null(), fv::text(u"e")});
    std::u16string big;
    for (int i = 0; i < 3000; ++i) big += static_cast<char16_t>(u'a' + i % 26);
    t.row({fv::number("6"), fv::text(big).chunked(32767), fv::text(u"f")});
    t.row({fv::number("7"), fv::text(big).chunked(1000), fv::text(u"g")});  // 3 full, 0
    auto& r = w.add_table(u"RAWS");
    r.column(u"DATA", "LONG RAW").column(u"ID", "NUMBER");
    std::vector<uint8_t> bin(10);
    for (int i = 0; i < 10; ++i) bin[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 25);
    r.row({fv::bytes(bin).chunked(4), fv::number("1")});
    r.row({fv::bytes({1, 2, 3, 4, 5, 6, 7, 8}).chunked(4), fv::number("2")});
    r.row({fv::bytes({0, 0, 0, 0, 0}), fv::number("3")});

    dump_harness h;
    h.open_bytes(w.build());
    std::string big8(big.begin(), big.end());
    expect_rows(h.read(u"LONGS"),
                {{"1", "0123456789", "a"},
                 {"2", "01234567", "b"},
                 {"3", "012", "c"},
                 {"4", "plain", "d"},
                 {"5", "NULL", "e"},
                 {"6", big8, "f"},
                 {"7", big8, "g"}},
                "LONGS");
    expect_rows(
        h.read(u"RAWS"),
        {{"0x0019324B647D96AFC8E1", "1"}, {"0x0102030405060708", "2"}, {"0x0000000000", "3"}},
        "RAWS");
}

INSTANTIATE_TEST_SUITE_P(versions, long_chunks,
                         testing::Values(export_version::v8_1_7(), export_version::v9_2(),
                                         export_version::v11_2(), export_version::v19()),
                         [](const testing::TestParamInfo<export_version>& i) {
                             std::string s = "v" + version_name(i.param);
                             for (char& c : s)
                                 if (c == '.')
                                     c = '_';
                             return s;
                         });

// ---- LOB entries ------------------------------------------------------------------------------

struct lob_case {
    const char* name;
    export_version version;
    charset_set charsets;
};

class lob_forms : public testing::TestWithParam<lob_case> {};

TEST_P(lob_forms, every_entry_form) {
    const lob_case& p = GetParam();
    classic_dump_writer w(p.version);
    w.charsets(p.charsets.session, p.charsets.database, p.charsets.national);
    auto& t = w.add_table(u"LOBS");
    t.column(u"ID", "NUMBER(5)")
        .column(u"DOC", "CLOB")
        .column(u"IMG", "BLOB")
        .column(u"TAIL", "VARCHAR2(4)");
    std::vector<uint8_t> png(3292);
    for (size_t i = 0; i < png.size(); ++i) png[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::u16string text = u"Caf\u00E9 cr\u00E8me, ligne une et ligne deux.";
    std::string text8;
    tk_append_utf8(text8, text);
    std::string png_hex = "0x";
    for (uint8_t b : png) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", b);
        png_hex += buf;
    }
    t.row({fv::number("1"), fv::text(text), fv::bytes(png), fv::text(u"a")});
    t.row({fv::number("2"), fv::text(text).lob(lob_layout::fffc, 8),
           fv::bytes(png).lob(lob_layout::fffc, 1024), fv::text(u"b")});
    t.row({fv::number("3"), fv::text(text).lob(lob_layout::fffa, 5, 0),
           fv::bytes(png).lob(lob_layout::fffa, 4096, 2), fv::text(u"c")});
    t.row({fv::number("4"), fv::text(u""), fv::bytes({}), fv::text(u"d")});  // empty, not NULL
    t.row({fv::number("5"), fv::null(), fv::null(), fv::text(u"e")});
    // A chunk list whose data fills whole chunks ends with a chunk of length 0.
    t.row({fv::number("6"), fv::text(u"abcdefgh").lob(lob_layout::fffc, 4),
           fv::bytes({1, 2, 3, 4}).lob(lob_layout::fffc, 2), fv::text(u"f")});
    t.row({fv::number("7"), fv::null(), fv::bytes({9}), fv::text(u"g")});
    dump_harness h;
    h.open_bytes(w.build());
    expect_rows(h.read(u"LOBS"),
                {{"1", text8, png_hex, "a"},
                 {"2", text8, png_hex, "b"},
                 {"3", text8, png_hex, "c"},
                 {"4", "", "0x", "d"},
                 {"5", "NULL", "NULL", "e"},
                 {"6", "abcdefgh", "0x01020304", "f"},
                 {"7", "NULL", "0x09", "g"}},
                p.name);
}

INSTANTIATE_TEST_SUITE_P(
    layouts, lob_forms,
    testing::Values(lob_case{"v8_1_7_latin1", export_version::v8_1_7(), {31, 31, 31}},
                    lob_case{"v9_2_cp1252", export_version::v9_2(), k_cp1252},
                    lob_case{"v10_2_utf8", export_version::v10_2(), {852, 873, 2000}},
                    lob_case{"v11_2_cp1252", export_version::v11_2(), k_cp1252},
                    lob_case{"v11_2_utf8", export_version::v11_2(), k_utf8},
                    lob_case{"v12_1_cp1252", export_version::v12_1(), {1, 178, 2000}},
                    lob_case{"v19_utf8", export_version::v19(), {852, 873, 2000}}),
    [](const testing::TestParamInfo<lob_case>& i) { return std::string(i.param.name); });

// ---- INSERT INTO blocks, column order, the flag word ------------------------------------------

TEST(insert_blocks, two_blocks_of_one_table_read_in_file_order) {
    classic_dump_writer w;
    auto& t = w.add_table(u"PARTS");
    t.column(u"ID", "NUMBER").column(u"S", "VARCHAR2(10)");
    t.block();  // an empty block first: it begins with the end-of-table marker
    t.block();
    t.row({fv::number("1"), fv::text(u"one")});
    t.row({fv::number("2"), fv::text(u"two")});
    t.block();
    t.row({fv::number("3"), fv::text(u"three")});
    t.block();
    t.block();
    t.row({fv::number("4"), fv::text(u"four")});
    auto& after = w.add_table(u"QUEUE");
    after.column(u"N", "NUMBER");
    after.row({fv::number("42")});
    dump_harness h;
    h.open_bytes(w.build());
    expect_rows(h.read(u"PARTS"), {{"1", "one"}, {"2", "two"}, {"3", "three"}, {"4", "four"}},
                "PARTS");
    expect_rows(h.read(u"QUEUE"), {{"42"}}, "QUEUE");
}

TEST(insert_blocks, insert_column_order_differs_from_create_table) {
    classic_dump_writer w(export_version::v10_2());
    auto& t = w.add_table(u"ORDERED");
    t.column(u"A", "NUMBER")
        .column(u"B", "VARCHAR2(10)")
        .column(u"C", "DATE")
        .column(u"D", "CLOB")
        .column(u"E", "LONG");
    t.insert_columns({u"C", u"D", u"A", u"B", u"E"});
    t.row({fv::number("1"), fv::text(u"bee"), fv::date(2001, 2, 3), fv::text(u"dee"),
           fv::text(u"long e")});
    t.row({fv::number("2"), fv::null(), fv::date(2002, 3, 4), fv::null(),
           fv::text(u"chunked long e value").chunked(6)});
    t.row({fv::null(), fv::text(u"b3"), fv::null(), fv::text(u"d3"), fv::null()});
    dump_harness h;
    h.open_bytes(w.build());
    auto tab = h.table(u"ORDERED");
    ASSERT_TRUE(tab);
    ASSERT_EQ(tab->schema().size(), 5u);
    EXPECT_EQ(tab->schema()[0].name(), u"A");
    EXPECT_EQ(tab->schema()[4].name(), u"E");
    table_read r;
    dump_harness::read_cursor(*tab, r);
    expect_rows(r,
                {{"1", "bee", "2001-02-03 00:00:00", "dee", "long e"},
                 {"2", "NULL", "2002-03-04 00:00:00", "NULL", "chunked long e value"},
                 {"NULL", "b3", "NULL", "d3", "NULL"}},
                "ORDERED");
    // The fields carry the names of the schema columns, in schema order.
    tab->reset();
    udb_record* rec = tab->get_item();
    ASSERT_TRUE(rec);
    ASSERT_EQ(rec->size(), 5u);
    EXPECT_EQ((*rec)[0].name(), u"A");
    EXPECT_EQ((*rec)[3].name(), u"D");
}

TEST(insert_blocks, flag_word_one_means_rows_without_trailer) {
    classic_dump_writer w(export_version::v11_2());
    auto& t = w.add_table(u"NOTAIL");
    t.column(u"ID", "NUMBER").column(u"S", "VARCHAR2(10)").column(u"L", "LONG");
    t.block(1);
    t.row({fv::number("1"), fv::text(u"a"), fv::text(u"x")});
    t.row({fv::number("2"), fv::null(), fv::text(u"long long long").chunked(5)});
    t.block(0);
    t.row({fv::number("3"), fv::text(u"c"), fv::null()});
    t.block(1);
    t.row({fv::number("4"), fv::text(u"d"), fv::text(u"y")});
    dump_harness h;
    h.open_bytes(w.build());
    expect_rows(
        h.read(u"NOTAIL"),
        {{"1", "a", "x"}, {"2", "NULL", "long long long"}, {"3", "c", "NULL"}, {"4", "d", "y"}},
        "NOTAIL");
}

TEST(insert_blocks, flag_word_one_with_lob_entries) {
    // Without the trailer the LOB entries still follow the row: decoding a row and skipping it
    // must land on the same next row.
    classic_dump_writer w(export_version::v11_2());
    auto& t = w.add_table(u"NOTAILLOB");
    t.column(u"ID", "NUMBER").column(u"C", "CLOB").column(u"S", "VARCHAR2(3)");
    t.block(1);
    t.row({fv::number("1"), fv::text(u"first"), fv::text(u"a")});
    t.row({fv::number("2"), fv::null(), fv::text(u"b")});
    t.row({fv::number("3"), fv::text(u"third").lob(lob_layout::fffc, 2), fv::text(u"c")});
    dump_harness h;
    h.open_bytes(w.build());
    expect_rows(h.read(u"NOTAILLOB"),
                {{"1", "first", "a"}, {"2", "NULL", "b"}, {"3", "third", "c"}}, "NOTAILLOB");
}

TEST(insert_blocks, tables_without_rows) {
    classic_dump_writer w;
    auto& e = w.add_table(u"EMPTY");
    e.column(u"ID", "NUMBER");
    e.block();
    auto& n = w.add_table(u"NOINSERT");
    n.column(u"ID", "NUMBER");
    n.without_insert = true;
    auto& f = w.add_table(u"FULL");
    f.column(u"ID", "NUMBER");
    f.row({fv::number("7")});
    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.table_names(), (std::vector<std::string>{"EMPTY", "FULL", "NOINSERT"}));
    for (const char16_t* name : {u"EMPTY", u"NOINSERT"}) {
        auto t = h.table(name);
        ASSERT_TRUE(t);
        t->reset();
        EXPECT_TRUE(t->is_eof());
        thrown x = catch_thrown([&] { t->get_item(); });
        EXPECT_EQ(x.type, "tk_exception");
        EXPECT_EQ(x.level, 1);
        EXPECT_EQ(x.text, "Out of recordset range.");
    }
    expect_rows(h.read(u"FULL"), {{"7"}}, "FULL");
}

// ---- Character sets ---------------------------------------------------------------------------

struct charset_case {
    const char* name;
    export_version version;
    charset_set charsets;
    std::u16string table;
    std::u16string column;
    std::u16string value;
    std::u16string national_value;
};

class charsets : public testing::TestWithParam<charset_case> {};

TEST_P(charsets, names_in_the_session_set_rows_in_the_database_set) {
    const charset_case& p = GetParam();
    classic_dump_writer w(p.version);
    w.charsets(p.charsets.session, p.charsets.database, p.charsets.national);
    auto& t = w.add_table(p.table);
    t.column(p.column, "VARCHAR2(60)").column(u"N", "NVARCHAR2(30)").column(u"C", "CLOB");
    t.index(p.column + u"_IX", {p.column});
    t.row({fv::text(p.value), fv::text(p.national_value), fv::text(p.value)});
    dump_harness h;
    h.open_bytes(w.build());
    std::string table8, value8, national8;
    tk_append_utf8(table8, p.table);
    tk_append_utf8(value8, p.value);
    tk_append_utf8(national8, p.national_value);
    EXPECT_EQ(h.table_names(), std::vector<std::string>{table8});
    auto tab = h.table(p.table);
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->schema().at(0).name(), p.column);
    ASSERT_EQ(tab->indexes().size(), 1u);
    EXPECT_EQ(tab->indexes()[0].name, p.column + u"_IX");
    EXPECT_EQ(tab->indexes()[0].fields, std::vector<std::u16string>{p.column});
    table_read r;
    dump_harness::read_cursor(*tab, r);
    expect_rows(r, {{value8, national8, value8}}, p.name);
}

INSTANTIATE_TEST_SUITE_P(sets, charsets,
                         testing::Values(
                             // A cp1252 session exporting an AL32UTF8 database.
                             charset_case{"cp1252_session_utf8_database",
                                          export_version::v11_2(),
                                          {178, 873, 2000},
                                          u"LUOGHI",
                                          u"CITT\u00C0",
                                          u"Citt\u00E0 di Castello \u20AC",
                                          u"\u00C0 bient\u00F4t"},
                             charset_case{"gbk",
                                          export_version::v11_2(),
                                          {852, 852, 2000},
                                          u"\u5B66\u751F",
                                          u"\u59D3\u540D",
                                          u"\u5168\u56FD\u96C6\u56E2",
                                          u"\u5F20\u4E09"},
                             charset_case{"gbk_session_utf8_database",
                                          export_version::v10_2(),
                                          {852, 873, 2000},
                                          u"BOOK",
                                          u"\u4E66\u540D",
                                          u"\u9655\u897F\u7701\u897F\u5B89\u5E02",
                                          u"\u5973"},
                             charset_case{"cp949",
                                          export_version::v11_2(),
                                          {846, 846, 2000},
                                          u"\uC0AC\uC6D0",
                                          u"\uC774\uB984",
                                          u"\uD64D\uAE38\uB3D9",
                                          u"\uD55C\uAD6D"},
                             charset_case{"cp949_session_utf8_database",
                                          export_version::v11_2(),
                                          {846, 873, 2000},
                                          u"EMPLOYEES",
                                          u"\uC131",
                                          u"Steven \uD64D",
                                          u"\uAE38"},
                             charset_case{"sjis_session_utf8_database",
                                          export_version::v10_2(),
                                          {838, 873, 2000},
                                          u"\u793E\u54E1",
                                          u"\u6C0F\u540D",
                                          u"\u6C34\u6238\u5BDB\u6A39",
                                          u"\u7BA1\u7406\u8005"},
                             charset_case{"dec_session_latin1_database",
                                          export_version::v9_2(),
                                          {2, 31, 2000},
                                          u"\u0152UVRES",
                                          u"TITRE",
                                          u"caf\u00E9 \u00E0 la cr\u00E8me",
                                          u"\u0152uvre"},
                             charset_case{"arabic",
                                          export_version::v12_1(),
                                          {560, 36, 2000},
                                          u"PROFILE",
                                          u"\u0627\u0633\u0645",
                                          u"\u0645\u0631\u062D\u0628\u0627",
                                          u"\u0634\u0643\u0631\u0627"}),
                         [](const testing::TestParamInfo<charset_case>& i) {
                             return std::string(i.param.name);
                         });

// ---- Indexes and constraints ------------------------------------------------------------------

TEST(indexes, create_index_unique_index_and_primary_keys) {
    classic_dump_writer w;
    auto& t = w.add_table(u"EMP");
    t.column(u"EMPNO", "NUMBER(4, 0)")
        .column(u"ENAME", "VARCHAR2(10)")
        .column(u"DEPTNO", "NUMBER(2, 0)");
    t.row({fv::number("7369"), fv::text(u"SMITH"), fv::number("20")});
    t.index(u"EMP_NAME", {u"ENAME"});
    t.index(u"EMP_UK", {u"DEPTNO", u"ENAME"}, true);
    fixture_index fn;
    fn.name = u"EMP_UPPER";
    fn.expression = "UPPER(\"ENAME\")";
    t.indexes.push_back(fn);
    t.primary_key(u"PK_EMP", {u"EMPNO", u"DEPTNO"});
    t.foreign_key(u"FK_DEPT", {u"DEPTNO"}, u"DEPT", {u"DEPTNO"});
    fixture_constraint check;
    check.type = fixture_constraint::kind::check;
    check.name = u"CK_SAL";
    check.check_text = "EMPNO > 0";
    t.constraints.push_back(check);
    auto& d = w.add_table(u"DEPT");
    d.column(u"DEPTNO", "NUMBER(2, 0)");
    d.row({fv::number("20")});
    d.primary_key(u"", {u"DEPTNO"});
    dump_harness h;
    h.open_bytes(w.build());

    auto emp = h.table(u"EMP");
    ASSERT_TRUE(emp);
    ASSERT_EQ(emp->indexes().size(), 3u);
    EXPECT_EQ(emp->indexes()[0].name, u"EMP_NAME");
    EXPECT_FALSE(emp->indexes()[0].b_unique);
    EXPECT_FALSE(emp->indexes()[0].b_primary);
    EXPECT_EQ(emp->indexes()[0].fields, std::vector<std::u16string>{u"ENAME"});
    EXPECT_EQ(emp->indexes()[1].name, u"EMP_UK");
    EXPECT_TRUE(emp->indexes()[1].b_unique);
    EXPECT_EQ(emp->indexes()[1].fields, (std::vector<std::u16string>{u"DEPTNO", u"ENAME"}));
    EXPECT_EQ(emp->indexes()[2].name, u"PK_EMP");
    EXPECT_TRUE(emp->indexes()[2].b_primary);
    EXPECT_EQ(emp->indexes()[2].fields, (std::vector<std::u16string>{u"EMPNO", u"DEPTNO"}));
    emp = nullptr;

    auto dept = h.table(u"DEPT");
    ASSERT_TRUE(dept);
    ASSERT_EQ(dept->indexes().size(), 1u);
    EXPECT_TRUE(dept->indexes()[0].b_primary);
    EXPECT_EQ(dept->indexes()[0].name, u"");
    EXPECT_EQ(dept->indexes()[0].fields, std::vector<std::u16string>{u"DEPTNO"});
    dept = nullptr;
    expect_rows(h.read(u"EMP"), {{"7369", "SMITH", "20"}}, "EMP");
}

// ---- Tablespaces and the table list -----------------------------------------------------------

TEST(table_list, sorted_by_name_and_qualified_only_when_ambiguous) {
    classic_dump_writer w;
    for (const char16_t* n : {u"ZETA", u"ALPHA", u"MID"}) {
        auto& t = w.add_table(n, u"USERS");
        t.column(u"ID", "NUMBER");
        t.row({fv::number("1")});
    }
    auto& other = w.add_table(u"ELSEWHERE", u"DATA");
    other.column(u"ID", "NUMBER");
    other.row({fv::number("2")});
    auto& plain = w.add_table(u"NOSPACE", u"");
    plain.column(u"ID", "NUMBER");
    plain.row({fv::number("3")});
    w.add_raw("CONNECT OTHER\n");
    auto& e1 = w.add_table(u"EMP", u"USERS");
    e1.column(u"ID", "NUMBER");
    e1.row({fv::number("10")});
    e1.index(u"EMP_IX", {u"ID"});
    auto& e2 = w.add_table(u"EMP", u"DATA");
    e2.column(u"ID", "NUMBER").column(u"X", "VARCHAR2(2)");
    e2.row({fv::number("20"), fv::text(u"b")});
    e2.row({fv::number("21"), fv::text(u"c")});
    // After both sections the name is ambiguous: an index on it belongs to neither.
    w.add_raw("TABLE \"EMP\"\nCREATE INDEX \"LATE_IX\" ON \"EMP\" (\"ID\" )  PCTFREE 10 LOGGING\n");
    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.table_names(), (std::vector<std::string>{"ALPHA", "DATA.EMP", "ELSEWHERE", "MID",
                                                         "NOSPACE", "USERS.EMP", "ZETA"}));
    expect_rows(h.read(u"USERS.EMP"), {{"10"}}, "USERS.EMP");
    expect_rows(h.read(u"DATA.EMP"), {{"20", "b"}, {"21", "c"}}, "DATA.EMP");
    expect_rows(h.read(u"ELSEWHERE"), {{"2"}}, "ELSEWHERE");
    expect_rows(h.read(u"nospace"), {{"3"}}, "NOSPACE (any case)");
    // An index that follows the first section belongs to it: the name was still unique then.
    auto u = h.table(u"USERS.EMP");
    ASSERT_TRUE(u);
    ASSERT_EQ(u->indexes().size(), 1u);
    EXPECT_EQ(u->indexes()[0].name, u"EMP_IX");
    u = nullptr;
    auto d = h.table(u"DATA.EMP");
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->indexes().empty());
    d = nullptr;
    EXPECT_FALSE(h.table(u"NOPE"));
}

// The name occurs twice, so it stays qualified by its tablespace; the first section counts.
TEST(table_list, duplicate_section_keeps_the_first_table) {
    classic_dump_writer w;
    auto& a = w.add_table(u"DUP");
    a.column(u"ID", "NUMBER");
    a.row({fv::number("1")});
    auto& b = w.add_table(u"DUP");
    b.column(u"ID", "NUMBER");
    b.row({fv::number("2")});
    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.table_names(), std::vector<std::string>{"USERS.DUP"});
    expect_rows(h.read(u"USERS.DUP"), {{"1"}}, "DUP");
}

TEST(table_list, bad_definitions_fail_alone) {
    classic_dump_writer w;
    auto& udt = w.add_table(u"UDT");
    udt.column(u"ID", "NUMBER").column(u"P", "\"SCOTT\".\"POINT_T\"");
    udt.row({fv::number("1"), fv::encoded({1, 2})});
    auto& broken = w.add_table(u"BROKEN");
    broken.column(u"ID", "NUMBER");
    broken.create_line_override = "CREATE TABLE \"BROKEN\" (\"ID\" NUMBER  PCTFREE 10";
    broken.row({fv::number("1")});
    auto& nolen = w.add_table(u"NOLEN");
    nolen.column(u"C", "CHAR");
    nolen.row({fv::text(u"x")});
    auto& good = w.add_table(u"GOOD");
    good.column(u"ID", "NUMBER");
    good.row({fv::number("5")});
    dump_harness h;
    h.open_bytes(w.build());
    thrown x = catch_thrown([&] { h.table(u"UDT"); });
    EXPECT_EQ(x.type, "tk_exception");
    EXPECT_EQ(x.level, 0);
    EXPECT_EQ(x.text, "User-defined types are not supported");
    EXPECT_FALSE(h.table(u"BROKEN"));
    EXPECT_FALSE(h.table(u"NOLEN"));
    expect_rows(h.read(u"GOOD"), {{"5"}}, "GOOD");
}

// Constraint pieces inside the column list: a CONSTRAINT piece and a last PRIMARY KEY piece add
// no column; a PRIMARY KEY piece that is not the last becomes a column of type KEY (kind 15),
// which the rows do not fill.
TEST(table_list, constraint_pieces_of_the_column_list) {
    classic_dump_writer w;
    auto& a = w.add_table(u"PIECES");
    a.column(u"ID", "NUMBER").column(u"S", "VARCHAR2(5)").column(u"U", "UROWID");
    a.extra_pieces = {"CONSTRAINT \"CK\" CHECK (ID > 0) ENABLE", "PRIMARY KEY (\"ID\")"};
    a.row({fv::number("1"), fv::text(u"x"), fv::text(u"AAAQ")});
    auto& k = w.add_table(u"KEYED");
    k.column(u"ID", "NUMBER").column(u"S", "VARCHAR2(5)");
    k.create_line_override =
        "CREATE TABLE \"KEYED\" (\"ID\" NUMBER, PRIMARY KEY (\"ID\"), \"S\" VARCHAR2(5))  "
        "PCTFREE 10 TABLESPACE \"USERS\" LOGGING";
    k.row({fv::number("2"), fv::text(u"y")});
    dump_harness h;
    h.open_bytes(w.build());
    auto p = h.table(u"PIECES");
    ASSERT_TRUE(p);
    ASSERT_EQ(p->schema().size(), 3u);
    EXPECT_EQ(column_of(*p, 2).kind(), ora_kind_rowid);
    p = nullptr;
    expect_rows(h.read(u"PIECES"), {{"1", "x", "AAAQ"}}, "PIECES");
    auto t = h.table(u"KEYED");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->schema().size(), 3u);
    EXPECT_EQ(column_of(*t, 1).kind(), ora_kind_other);
    EXPECT_EQ(t->schema()[1].vartype(), VT_BSTR);
    t = nullptr;
    expect_rows(h.read(u"KEYED"), {{"2", "NULL", "y"}}, "KEYED");
}

// ---- Header: part marker, declared size -------------------------------------------------------

fixture_table& add_small_table(classic_dump_writer& w, const std::u16string& name, int rows) {
    auto& t = w.add_table(name);
    t.column(u"ID", "NUMBER").column(u"S", "VARCHAR2(20)");
    for (int i = 1; i <= rows; ++i)
        t.row({fv::number(std::to_string(i)), fv::text(u"row " + tk_from_utf8(std::to_string(i)))});
    return t;
}

TEST(header, part_marker_32_is_a_single_dump) {
    classic_dump_writer w(export_version::v9_2());
    w.header().part_marker = 32;
    add_small_table(w, u"T", 3);
    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.reader().part_marker(), 32);
    EXPECT_FALSE(h.reader().b_compound());
    EXPECT_FALSE(h.reader().b_multifile_first());
    EXPECT_EQ(h.read(u"T").rows.size(), 3u);
}

TEST(header, first_part_of_a_multifile_dump) {
    classic_dump_writer w;
    add_small_table(w, u"T", 300);
    auto parts = w.build_two_parts(4000);
    dump_harness h;
    h.open_bytes(parts.first);
    EXPECT_TRUE(h.reader().b_multifile_first());
    EXPECT_FALSE(h.reader().b_compound());
    EXPECT_EQ(h.reader().file_length(), parts.first.size());
    // The rows up to the cut come back, then the end of the data is reported.
    table_read r = h.read(u"T");
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.error, "Can't read record. EOF reached");
    EXPECT_EQ(r.level, 0);
    EXPECT_GT(r.rows.size(), 10u);
    EXPECT_LT(r.rows.size(), 300u);
    for (size_t i = 0; i < r.rows.size(); ++i) EXPECT_EQ(r.rows[i][0], std::to_string(i + 1));
}

TEST(header, later_part_is_refused) {
    classic_dump_writer w;
    add_small_table(w, u"T", 300);
    auto parts = w.build_two_parts(4000);
    dump_harness h;
    thrown x = catch_thrown([&] { h.open_bytes(parts.second); });
    EXPECT_EQ(x.type, "tk_exception");
    EXPECT_EQ(x.level, 1);
    EXPECT_EQ(x.text, ora_dump_reader::non_leading_part_text);
    EXPECT_EQ(h.reader().progress(), -1);
}

TEST(header, merged_parts_read_as_one_dump) {
    classic_dump_writer w;
    add_small_table(w, u"T", 300);
    add_small_table(w, u"U", 2);
    auto parts = w.build_two_parts(4000);
    dump_harness h;
    h.open_bytes(parts.whole);
    EXPECT_FALSE(h.reader().b_multifile_first());
    EXPECT_EQ(h.read(u"T").rows.size(), 300u);
    EXPECT_EQ(h.read(u"U").rows.size(), 2u);
}

TEST(header, compound_dump_reads_only_the_first) {
    classic_dump_writer a;
    a.declared_size_is_length = true;
    add_small_table(a, u"FIRST", 4);
    classic_dump_writer b;
    add_small_table(b, u"SECOND", 5);
    std::vector<uint8_t> both = a.build();
    const uint64_t first_size = both.size();
    std::vector<uint8_t> tail = b.build();
    both.insert(both.end(), tail.begin(), tail.end());
    dump_harness h;
    h.open_bytes(both);
    EXPECT_TRUE(h.reader().b_compound());
    EXPECT_EQ(h.reader().file_length(), first_size);
    EXPECT_EQ(h.table_names(), std::vector<std::string>{"FIRST"});
    EXPECT_EQ(h.read(u"FIRST").rows.size(), 4u);
}

TEST(header, windows_of_any_size_give_the_same_rows) {
    classic_dump_writer w;
    add_all_types(w);
    add_small_table(w, u"T", 40);
    std::vector<uint8_t> d = w.build();
    table_read a1, b1;
    {
        dump_harness whole;
        whole.open_bytes(d);
        a1 = whole.read(u"ALLTYPES");
        b1 = whole.read(u"T");
    }
    ASSERT_EQ(a1.rows.size(), 4u);
    ASSERT_EQ(b1.rows.size(), 40u);
    for (size_t window : {1, 2, 3, 7, 64, 4096}) {
        dump_harness h;
        h.open_bytes(d, window);
        EXPECT_EQ(h.read(u"ALLTYPES").rows, a1.rows) << window;
        EXPECT_EQ(h.read(u"T").rows, b1.rows) << window;
    }
}

// The cursor puts the source back where it found it after every row; that must not make the
// source read its window again for every row (it once cost two 1 MB reads per row).
TEST(header, reading_rows_does_not_reload_the_window_per_row) {
    classic_dump_writer w;
    add_small_table(w, u"T", 20000);
    std::vector<uint8_t> d = w.build();
    const size_t window = 64 * 1024;
    dump_harness h;
    h.open_bytes(d, window);
    auto* source = dynamic_cast<ora_memory_source*>(&h.file().source());
    ASSERT_TRUE(source);
    const uint64_t before = source->load_count();
    EXPECT_EQ(h.read(u"T").rows.size(), 20000u);
    const uint64_t loads = source->load_count() - before;
    // Passing over the section once to find its blocks and once for the rows, plus a few.
    EXPECT_LT(loads, 4 * (d.size() / window + 1) + 16) << loads;
}

// ---- The cursor -------------------------------------------------------------------------------

class cursor : public testing::Test {
protected:
    void SetUp() override {
        classic_dump_writer w;
        add_small_table(w, u"T", 12);
        h.open_bytes(w.build());
    }
    std::string current(udb_recordset& t) { return value_text((*t.get_item())[0]); }
    dump_harness h;
};

TEST_F(cursor, three_steps_forward_three_back) {
    auto t = h.table(u"T");
    ASSERT_TRUE(t);
    t->reset();
    for (int i = 0; i < 3; ++i) t->next();
    EXPECT_EQ(current(*t), "4");
    for (int i = 0; i < 3; ++i) ASSERT_NO_THROW(t->prev()) << i;
    EXPECT_EQ(current(*t), "1");
    thrown x = catch_thrown([&] { t->prev(); });
    EXPECT_EQ(x.type, "tk_exception");
    EXPECT_EQ(x.level, 1);
    EXPECT_EQ(x.text, "Out of recordset range.");
}

TEST_F(cursor, five_rows_remembered_four_steps_back) {
    auto t = h.table(u"T");
    ASSERT_TRUE(t);
    t->reset();
    for (int i = 0; i < 10; ++i) t->next();
    EXPECT_EQ(current(*t), "11");
    for (int i = 0; i < 4; ++i) ASSERT_NO_THROW(t->prev()) << i;
    EXPECT_EQ(current(*t), "7");
    thrown x = catch_thrown([&] { t->prev(); });
    EXPECT_EQ(x.text, "Out of recordset range.");
    EXPECT_EQ(x.level, 1);
    // Forward again over the remembered rows, then on to new ones.
    for (int want = 8; want <= 12; ++want) {
        t->next();
        EXPECT_EQ(current(*t), std::to_string(want));
    }
    t->next();
    EXPECT_TRUE(t->is_eof());
    thrown past = catch_thrown([&] { t->next(); });
    EXPECT_EQ(past.text, "Out of recordset range.");
    EXPECT_EQ(past.level, 1);
    thrown item = catch_thrown([&] { t->get_item(); });
    EXPECT_EQ(item.text, "Out of recordset range.");
}

TEST_F(cursor, get_item_twice_and_retry_after_prev) {
    auto t = h.table(u"T");
    ASSERT_TRUE(t);
    t->reset();
    t->next();
    udb_record* a = t->get_item();
    ASSERT_TRUE(a);
    EXPECT_EQ(value_text((*a)[1]), "row 2");
    EXPECT_EQ(current(*t), "2");
    t->next();
    t->prev();  // the driver's retry of a rejected row
    EXPECT_EQ(current(*t), "2");
    t->next();
    EXPECT_EQ(current(*t), "3");
}

TEST(cursors, tables_of_one_dump_do_not_disturb_each_other) {
    classic_dump_writer w;
    add_small_table(w, u"A", 8);
    auto& b = w.add_table(u"B");
    b.column(u"ID", "NUMBER").column(u"C", "CLOB");
    for (int i = 1; i <= 8; ++i)
        b.row({fv::number(std::to_string(100 + i)),
               fv::text(u"clob " + tk_from_utf8(std::to_string(i)))});
    dump_harness h;
    h.open_bytes(w.build());
    auto ta = h.table(u"A");
    auto tb = h.table(u"B");
    ASSERT_TRUE(ta && tb);
    ta->reset();
    tb->reset();
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(value_text((*ta->get_item())[0]), std::to_string(i));
        EXPECT_EQ(value_text((*tb->get_item())[1]), "clob " + std::to_string(i));
        EXPECT_EQ(value_text((*ta->get_item())[1]), "row " + std::to_string(i));
        tb->next();
        ta->next();
    }
    EXPECT_TRUE(ta->is_eof());
    EXPECT_TRUE(tb->is_eof());
}

}  // namespace
