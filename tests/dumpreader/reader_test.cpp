// The open (header, section scan, catalogue), the cursor and what real dumps taught us: names in
// the session's character set, rows in the INSERT INTO order, rows without trailer, empty LOBs,
// later export versions, damaged dumps. Dumps come from the fixture writer.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "classic_dump_writer.h"
#include "dump_test_harness.h"
#include "ora_fault_source.h"

namespace {

using fv = fixture_value;

classic_dump_writer emp_dump(export_version v = export_version::v11_2()) {
    classic_dump_writer w(v);
    fixture_table& t = w.add_table(u"EMP");
    t.column(u"EMPNO", "NUMBER(4, 0)", "NOT NULL ENABLE")
        .column(u"ENAME", "VARCHAR2(10)")
        .column(u"HIREDATE", "DATE");
    for (int i = 0; i < 12; ++i) {
        t.row({fv::number(std::to_string(7000 + i)), fv::text(u"N" + tk_from_utf8(std::to_string(i))),
               fv::date(1980, 12, 17)});
    }
    t.index(u"PK_EMP", {u"EMPNO"}, true).primary_key(u"PK_EMP", {u"EMPNO"});
    return w;
}

TEST(Open, ReadsEveryExportVersionFromEightOn) {
    for (export_version v : {export_version::v8_0_6(), export_version::v8_1_7(),
                             export_version::v9_2(), export_version::v10_2(),
                             export_version::v11_2(), export_version::v12_1(), export_version::v19(),
                             export_version{23, 0, 0}}) {
        dump_harness h;
        h.open_bytes(emp_dump(v).build());
        table_read r = h.read(u"emp");
        EXPECT_FALSE(r.failed) << v.word() << r.error;
        ASSERT_EQ(r.rows.size(), 12u) << v.word();
        EXPECT_EQ(r.rows[0], (row_texts{"7000", "N0", "1980-12-17 00:00:00"}));
    }
}

TEST(Open, VersionFiveAndEmptyOrMissingFilesFail) {
    std::vector<uint8_t> v5 = emp_dump().build();
    std::string word = "EXPORT:V11";
    auto at = std::search(v5.begin(), v5.end(), word.begin(), word.end());
    at[8] = '0';
    at[9] = '5';
    dump_harness h;
    for (auto bytes : {v5, std::vector<uint8_t>()}) {
        thrown t = catch_thrown([&] { h.open_bytes(bytes); });
        EXPECT_EQ(t.text, ora_dump_reader::open_error_text);
        EXPECT_EQ(t.level, 1);
        EXPECT_EQ(h.reader().progress(), -1);
    }
    thrown t = catch_thrown([&] { h.open_path("/nonexistent/x.dmp"); });
    EXPECT_EQ(t.text, ora_dump_reader::open_error_text);
}

TEST(Open, PartMarkersAndDeclaredSizes) {
    classic_dump_writer w = emp_dump();
    w.header().part_marker = 2;
    std::vector<uint8_t> bytes;
    {
        dump_harness h;
        EXPECT_EQ(catch_thrown([&] { h.open_bytes(w.build()); }).text,
                  ora_dump_reader::non_leading_part_text);

        w.header().part_marker = 1;
        bytes = w.build();
        w.header().declared_size = bytes.size() + 1000;
        h.open_bytes(w.build());
        EXPECT_TRUE(h.reader().b_multifile_first());
        EXPECT_FALSE(h.reader().b_compound());
    }

    // Two dumps merged: only the first is read, up to its declared size.
    w.header().declared_size = bytes.size();
    std::vector<uint8_t> merged = w.build();
    std::vector<uint8_t> other = classic_dump_writer().build();
    merged.insert(merged.end(), other.begin(), other.end());
    dump_harness h2;
    h2.open_bytes(merged);
    EXPECT_TRUE(h2.reader().b_compound());
    EXPECT_EQ(h2.reader().file_length(), bytes.size());
    EXPECT_EQ(h2.read(u"EMP").rows.size(), 12u);
}

TEST(Scan, CatalogueOrderTablespacesAndIndexes) {
    classic_dump_writer w;
    for (auto name : {u"ZETA", u"ALPHA", u"MID"}) w.add_table(name).column(u"ID", "NUMBER").row({fv::number("1")});
    w.add_table(u"TWICE", u"USERS").column(u"A", "NUMBER").row({fv::number("1")});
    w.add_table(u"TWICE", u"DATA").column(u"B", "NUMBER").row({fv::number("2")});
    w.add_table(u"PLAIN", u"").column(u"C", "NUMBER");
    {
        dump_harness h;
        h.open_bytes(w.build(), 5);
        EXPECT_EQ(h.table_names(), (std::vector<std::string>{"ALPHA", "DATA.TWICE", "MID",
                                                             "PLAIN", "USERS.TWICE", "ZETA"}));
        EXPECT_EQ(h.read(u"data.twice").rows, (std::vector<row_texts>{{"2"}}));
        EXPECT_TRUE(h.read(u"PLAIN").rows.empty());
        EXPECT_EQ(h.file().get_table(u"NOPE", 0), nullptr);
    }

    dump_harness e;
    e.open_bytes(emp_dump().build());
    auto t = e.table(u"EMP");
    ASSERT_EQ(t->indexes().size(), 2u);
    EXPECT_TRUE(t->indexes()[0].b_unique);
    EXPECT_TRUE(t->indexes()[1].b_primary);
}

TEST(Names, AreDecodedInTheExportSessionsCharacterSet) {
    classic_dump_writer w;
    w.charsets(178, 873, 2000);  // a cp1252 client, an AL32UTF8 database
    fixture_table& t = w.add_table(u"CITTÀ");
    t.column(u"CITTÀ", "VARCHAR2(20)").column(u"NÉ", "NUMBER(4)").row({fv::text(u"Città"), fv::number("5")});
    t.index(u"IDX_À", {u"CITTÀ"}).primary_key(u"PK_À", {u"NÉ"});
    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.table_names(), (std::vector<std::string>{"CITTÀ"}));
    auto table = h.table(u"CITTÀ");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->schema()[0].name(), u"CITTÀ");
    ASSERT_EQ(table->indexes().size(), 2u);
    EXPECT_EQ(table->indexes()[0].name, u"IDX_À");
    EXPECT_EQ(table->indexes()[0].fields[0], u"CITTÀ");
    EXPECT_EQ(table->indexes()[1].name, u"PK_À");
    table_read r;
    dump_harness::read_cursor(*table, r);
    EXPECT_EQ(r.rows, (std::vector<row_texts>{{"Città", "5"}}));
}

TEST(Rows, FollowTheInsertIntoOrderAndArriveInSchemaOrder) {
    classic_dump_writer w;
    fixture_table& t = w.add_table(u"T");
    t.column(u"A", "NUMBER(4)").column(u"B", "VARCHAR2(5)").column(u"C", "DATE");
    t.insert_columns({u"C", u"A", u"B"});
    t.row({fv::number("1"), fv::text(u"x"), fv::date(2001, 2, 3)});
    t.row({fv::null(), fv::text(u"y"), fv::null()});
    dump_harness h;
    h.open_bytes(w.build());
    table_read r = h.read(u"T");
    EXPECT_EQ(r.rows, (std::vector<row_texts>{{"1", "x", "2001-02-03 00:00:00"}, {"NULL", "y", "NULL"}}));
}

TEST(Rows, AnInsertListNamingAnUnknownColumnFailsTheTable) {
    classic_dump_writer w;
    fixture_table& t = w.add_table(u"T");
    t.column(u"A", "NUMBER(4)").column(u"B", "NUMBER(4)").row({fv::number("1"), fv::number("2")});
    t.create_line_override = "CREATE TABLE \"T\" (\"A\" NUMBER(4), \"Z\" NUMBER(4))";
    w.add_table(u"U").column(u"X", "NUMBER").row({fv::number("3")});
    dump_harness h;
    h.open_bytes(w.build());
    EXPECT_EQ(h.table(u"T"), nullptr);
    EXPECT_EQ(h.read(u"U").rows, (std::vector<row_texts>{{"3"}}));
}

TEST(Rows, BlocksWithTheFlagWordHaveNoTrailer) {
    classic_dump_writer w;
    fixture_table& t = w.add_table(u"T");
    t.column(u"ID", "NUMBER(4)").column(u"DOC", "CLOB").column(u"PIC", "BLOB");
    t.row({fv::number("1"), fv::text(u"first"), fv::bytes({1, 2, 3})});
    t.block(1);
    t.row({fv::number("2"), fv::text(u"second"), fv::null()});
    t.row({fv::number("3"), fv::null(), fv::bytes({9})});
    dump_harness h;
    h.open_bytes(w.build());
    table_read r = h.read(u"T");
    EXPECT_FALSE(r.failed) << r.error;
    EXPECT_EQ(r.rows, (std::vector<row_texts>{{"1", "first", "0x010203"},
                                              {"2", "second", "NULL"},
                                              {"3", "NULL", "0x09"}}));
}

TEST(Rows, EmptyLobsAreEmptyValuesNotNull) {
    classic_dump_writer w;
    fixture_table& t = w.add_table(u"T");
    t.column(u"DOC", "CLOB").column(u"PIC", "BLOB").column(u"N", "NUMBER(2)");
    t.row({fv::text(u""), fv::bytes({}), fv::number("1")});
    t.row({fv::null(), fv::null(), fv::number("2")});
    dump_harness h;
    h.open_bytes(w.build());
    auto table = h.table(u"T");
    table->reset();
    udb_record* r = table->get_item();
    EXPECT_EQ((*r)[0].vartype(), VT_BSTR);
    EXPECT_EQ((*r)[0].bstr(), u"");
    EXPECT_TRUE((*r)[1].is_binary());
    EXPECT_EQ((*r)[1].binary_size(), 0u);
    table->next();
    r = table->get_item();
    EXPECT_TRUE((*r)[0].is_empty());
    EXPECT_TRUE((*r)[1].is_empty());
}

TEST(Cursor, StepsBackAtMostFourRowsAndCrossesBlocks) {
    classic_dump_writer w;
    fixture_table& t = w.add_table(u"T");
    t.column(u"N", "NUMBER(4)");
    for (int i = 1; i <= 6; ++i) t.row({fv::number(std::to_string(i))});
    t.block();
    for (int i = 7; i <= 12; ++i) t.row({fv::number(std::to_string(i))});
    dump_harness h;
    h.open_bytes(w.build(), 7);
    auto table = h.table(u"T");
    table->reset();
    for (int i = 0; i < 3; ++i) table->next();
    for (int i = 0; i < 3; ++i) table->prev();
    EXPECT_EQ(value_text((*table->get_item())[0]), "1");
    EXPECT_EQ(catch_thrown([&] { table->prev(); }).text, "Out of recordset range.");
    for (int i = 0; i < 10; ++i) table->next();
    EXPECT_EQ(value_text((*table->get_item())[0]), "11");
    for (int i = 0; i < 4; ++i) table->prev();
    EXPECT_EQ(value_text((*table->get_item())[0]), "7");
    EXPECT_THROW(table->prev(), tk_exception);
    for (int i = 0; i < 6; ++i) table->next();
    EXPECT_TRUE(table->is_eof());
    thrown end = catch_thrown([&] { table->get_item(); });
    EXPECT_EQ(end.text, "Out of recordset range.");
    EXPECT_EQ(end.level, 1);
}

TEST(Damage, EveryTruncationEndsCleanly) {
    classic_dump_writer w = emp_dump();
    fixture_table& t = w.add_table(u"LOBS");
    t.column(u"ID", "NUMBER(4)").column(u"DOC", "CLOB").column(u"RAWS", "LONG RAW");
    for (int i = 0; i < 4; ++i) {
        t.row({fv::number(std::to_string(i)), fv::text(std::u16string(300, u'x')).lob(lob_layout::fffc, 100),
               fv::bytes(std::vector<uint8_t>(70, 7)).chunked(32)});
    }
    const std::vector<uint8_t> whole = w.build();
    const std::set<std::string> allowed = {ora_dump_reader::open_error_text,
                                           "Can't read record. EOF reached", "no table",
                                           "Can't read record. Date error."};
    size_t opened = 0;
    for (size_t cut = 0; cut < whole.size(); cut += 7) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
        dump_harness h;
        thrown t = catch_thrown([&] {
            h.open_bytes(part, 64);
            ++opened;
            for (const std::string& name : h.table_names()) {
                table_read r = h.read(tk_from_utf8(name));
                if (r.failed) {
                    EXPECT_TRUE(allowed.count(r.error)) << cut << ": " << r.error;
                }
            }
        });
        if (t.type != "none") {
            EXPECT_TRUE(allowed.count(t.text)) << cut << ": " << t.text;
        }
    }
    EXPECT_GT(opened, 0u);
}

TEST(Damage, ReadErrorsDuringTheScanGiveTheOpenError) {
    std::vector<uint8_t> bytes = emp_dump().build();
    ora_fault_source::faults f;
    f.fail_at = bytes.size() / 2;
    f.window = 100;
    ora_dump_reader reader;
    thrown t = catch_thrown([&] {
        reader.open(std::make_unique<ora_fault_source>(std::string(bytes.begin(), bytes.end()), f),
                    u"faulty");
    });
    EXPECT_EQ(t.text, ora_dump_reader::open_error_text);
    EXPECT_EQ(reader.progress(), -1);
}

TEST(Damage, LengthWordsPastTheTableAreErrorsNotAllocations) {
    classic_dump_writer w;
    fixture_table& t = w.add_table(u"T");
    t.column(u"S", "VARCHAR2(10)").column(u"D", "BLOB");
    t.row({fv::text(u"ok"), fv::bytes({1})});
    t.row({fv::text(u"bad").with_length_word(0xF000), fv::bytes({1})});
    t.row({fv::text(u"x"), fv::bytes({1, 2}).with_length_word(0xFFF0)});
    w.add_table(u"U").column(u"X", "NUMBER").row({fv::number("3")});
    dump_harness h;
    h.open_bytes(w.build());
    table_read r = h.read(u"T");
    EXPECT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.error, "Can't read record. EOF reached");
    EXPECT_EQ(h.read(u"U").rows.size(), 1u);
}

}  // namespace
