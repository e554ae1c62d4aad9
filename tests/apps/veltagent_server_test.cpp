// VELTAGENT end to end against the private MariaDB server: generated dumps of every column type
// converted into a database and into a script that the mariadb client replays, the
// existing-destination modes, table definitions only, skipped indexes, table lists, profiles, a
// row the server refuses in the middle of a batch, and an unreadable dump that must not cost the
// old database.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "classic_dump_writer.h"
#include "sql_test_server.h"
#include "veltagent_run.h"

namespace {

using fv = fixture_value;
using sql_test::cell;
using sql_test::rows;

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>((i * 7 + 3) & 0xFF);
    return out;
}

std::string as_text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::u16string long_text(size_t size) {
    std::u16string out;
    const std::u16string piece = u"Zeile \u00FC\u4E2D ";
    while (out.size() < size) out += piece;
    out.resize(size);
    return out;
}

std::string utf8(const std::u16string& text) { return tk_to_utf8(text); }

// A DATE value of year, month and day zero: Oracle itself never writes one, but the bytes read
// as a time of day, which is how a column ends as TIME.
fv time_of_day(int hour, int minute, int second) {
    return fv::encoded({100, 100, 0, 0, static_cast<uint8_t>(hour + 1),
                        static_cast<uint8_t>(minute + 1), static_cast<uint8_t>(second + 1)});
}

// The dump with every column type and the names that need care.
void add_all_types(classic_dump_writer& w) {
    fixture_table& t = w.add_table(u"ALLTYPES");
    t.column(u"ID", "NUMBER(4, 0)", "NOT NULL ENABLE")
        .column(u"SMALL", "NUMBER(2, 0)")
        .column(u"BIG", "NUMBER(19, 0)")
        .column(u"AMOUNT", "NUMBER(12, 2)")
        .column(u"RATIO", "NUMBER")
        .column(u"F", "FLOAT(126)")
        .column(u"NAME", "VARCHAR2(30 BYTE)")
        .column(u"NNAME", "NVARCHAR2(20)")
        .column(u"CODE", "CHAR(5)")
        .column(u"STAMP", "TIMESTAMP (6)")
        .column(u"BIN", "RAW(16)")
        .column(u"NOTE", "CLOB")
        .column(u"NNOTE", "NCLOB")
        .column(u"PIC", "BLOB")
        .column(u"SELECT", "VARCHAR2(10 BYTE)")
        .column(u"NET#", "NUMBER(5, 0)");
    t.row({fv::number("1"), fv::number("5"), fv::number("1234567890123456789"),
           fv::number("12.5"), fv::number("-0.001"), fv::number("3.5"), fv::text(u"Smith"),
           fv::text(u"\u00D1and\u00FA"), fv::text(u"AB   "),
           fv::timestamp(2022, 6, 2, 8, 45, 40, 346906000), fv::bytes({'A', 'B', 'C'}),
           fv::text(u"note one"), fv::text(u"gr\u00F6\u00DFe"), fv::bytes({0, 1, 2, 255}),
           fv::text(u"sel"), fv::number("42")});
    std::vector<fv> nulls(t.columns.size(), fv::null());
    nulls[0] = fv::number("2");
    t.row(nulls);
    t.row({fv::number("3"), fv::number("-5"), fv::number("-922337203685477580"),
           fv::number("-1234.56"), fv::number("0"), fv::number("-3.25"), fv::text(u""),
           fv::text(u"\u4E2D\u6587"), fv::text(u"Z    "), fv::timestamp(1999, 12, 31, 23, 59, 59, 0),
           fv::null(), fv::text(u""), fv::text(u""), fv::bytes({}), fv::text(u"O'Brien\\x"),
           fv::number("-7")});
    t.row({fv::number("4"), fv::number("99"), fv::number("999999999999999999"),
           fv::number("9999999999.99"), fv::number("0.5"), fv::number("100000"),
           fv::text(u"x"), fv::null(), fv::text(u"12345"),
           fv::timestamp(2000, 2, 29, 12, 0, 0, 0), fv::bytes({0x0A}),
           fv::text(long_text(100000)).lob(lob_layout::fffc, 8132), fv::null(),
           fv::bytes(pattern(70000)).lob(lob_layout::fffc, 8132), fv::null(),
           fv::null()});
    t.primary_key(u"PK_ALLTYPES", {u"ID"});
    t.index(u"ALLTYPES_NAME", {u"NAME"});

    fixture_table& d = w.add_table(u"DATES");
    d.column(u"ID", "NUMBER(4, 0)")
        .column(u"DT", "DATE")
        .column(u"DO", "DATE")
        .column(u"TM", "DATE")
        .column(u"MX", "DATE")
        .column(u"NN", "DATE");
    d.row({fv::number("1"), fv::date(2001, 2, 3, 4, 5, 6), fv::date(2001, 2, 3),
           time_of_day(10, 20, 30), fv::date(2001, 2, 3), fv::null()});
    d.row({fv::number("2"), fv::date(1999, 12, 31, 23, 59, 59), fv::date(1999, 12, 31),
           time_of_day(23, 59, 59), time_of_day(10, 20, 30), fv::null()});
    d.row({fv::number("3"), fv::null(), fv::null(), fv::null(), fv::null(), fv::null()});

    fixture_table& o = w.add_table(u"ORDER");
    o.column(u"ID", "NUMBER(4, 0)").column(u"COL;X", "VARCHAR2(5 BYTE)");
    o.row({fv::number("1"), fv::text(u"a")});
    fixture_table& l = w.add_table(u"ORDER.LINES");
    l.column(u"ID", "NUMBER(4, 0)").column(u"QTY", "NUMBER(6, 0)");
    l.row({fv::number("1"), fv::number("10")});
    l.row({fv::number("2"), fv::number("20")});
}

// What the server holds. An empty BLOB arrives as NULL: the MySQL writer writes an empty byte
// array as NULL (an empty CLOB stays an empty text).
const rows k_all_types = {
    {"1", "5", "1234567890123456789", "12.50", "-0.001", "3.5", "Smith", utf8(u"\u00D1and\u00FA"),
     "AB   ", "2022-06-02 08:45:40", "ABC", "note one", utf8(u"gr\u00F6\u00DFe"),
     std::string("\0\1\2\xFF", 4), "sel", "42"},
    {"2", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
     std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
     std::nullopt, std::nullopt, std::nullopt},
    {"3", "-5", "-922337203685477580", "-1234.56", "0", "-3.25", "", utf8(u"\u4E2D\u6587"),
     "Z    ", "1999-12-31 23:59:59", std::nullopt, "", "", std::nullopt, "O'Brien\\x", "-7"},
    {"4", "99", "999999999999999999", "9999999999.99", "0.5", "100000", "x", std::nullopt,
     "12345", "2000-02-29 12:00:00", "\n", utf8(long_text(100000)), std::nullopt,
     as_text(pattern(70000)), std::nullopt, std::nullopt},
};

class agent_srv : public testing::Test {
protected:
    void SetUp() override {
        const auto s = agent_test_server();
        if (!s) GTEST_SKIP() << "VELT_TEST_MYSQL_* not set: no test server";
        server = *s;
        settings = *sql_test::test_server();
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        db = sql_test::unique_name(test.substr(0, 24));
        db2 = db + "_r";
        drop_databases();
    }
    void TearDown() override {
        if (!server.host.empty()) drop_databases();
    }
    void drop_databases() {
        sql_test::probe admin(settings, "");
        admin.query("DROP DATABASE IF EXISTS `" + db + "`");
        admin.query("DROP DATABASE IF EXISTS `" + db2 + "`");
    }

    // VELTAGENT into the server database `database`.
    agent_run convert(const std::string& dump, std::vector<std::string> extra = {},
                      const std::string& database = {}) {
        std::vector<std::string> args{"--src=" + dump, "--dest=" + (database.empty() ? db : database)};
        for (const std::string& o : server.options()) args.push_back(o);
        args.insert(args.end(), extra.begin(), extra.end());
        return run_agent(args, home);
    }
    std::string write_dump(const classic_dump_writer& w, const std::string& name = "t.dmp") {
        const std::string path = dir.file(name);
        w.write_file(path);
        return path;
    }
    sql_test::probe check() { return sql_test::probe(settings, db); }
    std::vector<std::string> tables(const std::string& database) {
        sql_test::probe p(settings, database);
        std::vector<std::string> out;
        for (const auto& r : p.query("SHOW TABLES")) out.push_back(*r[0]);
        return out;
    }
    // Column name -> lower-case type as the server reports it.
    std::map<std::string, std::string> column_types(const std::string& database,
                                                    const std::string& table) {
        sql_test::probe p(settings, "");
        std::map<std::string, std::string> out;
        for (const auto& r : p.query("SELECT COLUMN_NAME, COLUMN_TYPE FROM "
                                     "information_schema.COLUMNS WHERE TABLE_SCHEMA='" +
                                     database + "' AND TABLE_NAME='" + table + "'")) {
            out[*r[0]] = *r[1];
        }
        return out;
    }
    agent_run replay(const std::string& script, const std::string& database) {
        return run_program("/usr/bin/mariadb",
                           {"--no-defaults", "--default-character-set=utf8mb4",
                            "-h" + server.host, "-P" + server.port, "-u" + server.user,
                            "-p" + server.password, database},
                           home, read_text_file(script));
    }

    ::agent_server server;
    sql_test::server_settings settings;
    std::string db;
    std::string db2;
    fixture_temp_dir dir{"velt_agent_srv"};
    std::string home = dir.file("home");
};

TEST_F(agent_srv, every_type_arrives_whole_under_safe_names) {
    classic_dump_writer w;
    w.charsets(873, 873, 2000);
    add_all_types(w);
    const agent_run run = convert(write_dump(w));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.find("Error:"), std::string::npos) << run.out;

    sql_test::probe p = check();
    EXPECT_EQ(tables(db), (std::vector<std::string>{"ALLTYPES", "DATES", "ORDER", "ORDER_LINES"}));
    const rows got = p.query("SELECT * FROM `ALLTYPES` ORDER BY `ID`");
    ASSERT_EQ(got.size(), k_all_types.size());
    for (size_t r = 0; r < got.size(); ++r) {
        ASSERT_EQ(got[r].size(), k_all_types[r].size());
        for (size_t c = 0; c < got[r].size(); ++c) {
            EXPECT_EQ(got[r][c], k_all_types[r][c]) << "row " << r + 1 << " column " << c;
        }
    }
    const auto types = column_types(db, "ALLTYPES");
    EXPECT_EQ(types.count("SELECT"), 1u);
    EXPECT_EQ(types.count("NET_"), 1u) << "NET# is no MySQL column name";
    EXPECT_EQ(types.at("AMOUNT"), "decimal(12,2)");
    EXPECT_EQ(types.at("STAMP"), "datetime");
    const rows keys = p.query("SHOW INDEX FROM `ALLTYPES`");
    std::vector<std::string> key_names;
    for (const auto& k : keys) key_names.push_back(*k[2] + ":" + *k[4]);
    EXPECT_EQ(key_names, (std::vector<std::string>{"PRIMARY:ID", "ALLTYPES_NAME:NAME"}));

    const auto date_types = column_types(db, "DATES");
    EXPECT_EQ(date_types.at("DT"), "datetime");
    EXPECT_EQ(date_types.at("DO"), "date");
    EXPECT_EQ(date_types.at("TM"), "time");
    EXPECT_EQ(date_types.at("MX"), "char(19)");
    EXPECT_EQ(date_types.at("NN"), "datetime");
    EXPECT_EQ(p.query("SELECT DT, DO, TM, MX, NN FROM DATES ORDER BY ID"),
              (rows{{"2001-02-03 04:05:06", "2001-02-03", "10:20:30", "2001-02-03 00:00:00",
                     std::nullopt},
                    {"1999-12-31 23:59:59", "1999-12-31", "23:59:59", "0000-00-00 10:20:30",
                     std::nullopt},
                    {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}}));
    EXPECT_EQ(p.query("SELECT * FROM `ORDER`"), (rows{{"1", "a"}}));
    EXPECT_EQ(column_types(db, "ORDER").count("COL_X"), 1u);
    EXPECT_EQ(p.query("SELECT * FROM ORDER_LINES ORDER BY ID"), (rows{{"1", "10"}, {"2", "20"}}));
}

TEST_F(agent_srv, a_script_replayed_by_the_client_gives_the_same_tables_and_values) {
    classic_dump_writer w;
    w.charsets(873, 873, 2000);
    add_all_types(w);
    const std::string dump = write_dump(w);
    ASSERT_EQ(convert(dump).status, 0);
    const std::string script = dir.file("out.sql");
    const agent_run run = run_agent({"--src=" + dump, "--dump", "--dest=" + script}, home);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    sql_test::probe admin(settings, "");
    admin.query("CREATE DATABASE `" + db2 + "`");
    const agent_run played = replay(script, db2);
    ASSERT_EQ(played.status, 0) << played.err;

    ASSERT_EQ(tables(db2), tables(db));
    for (const std::string& table : tables(db)) {
        EXPECT_EQ(column_types(db2, table), column_types(db, table)) << table;
        sql_test::probe a(settings, db);
        sql_test::probe b(settings, db2);
        const std::string select = "SELECT * FROM `" + table + "` ORDER BY 1";
        EXPECT_EQ(b.query(select), a.query(select)) << table;
    }
}

struct mode_case {
    int mode;
    bool extra_table_stays;
    long long rows_of_a;  // A held 3 rows, a 4th was added by hand
};

class agent_modes : public agent_srv, public testing::WithParamInterface<mode_case> {};

TEST_P(agent_modes, treat_an_existing_database_as_the_mode_says) {
    classic_dump_writer w;
    fixture_table& a = w.add_table(u"A");
    a.column(u"ID", "NUMBER(4, 0)").column(u"D", "DATE");
    for (int i = 1; i <= 3; ++i) a.row({fv::number(std::to_string(i)), fv::date(2020, 1, i)});
    fixture_table& b = w.add_table(u"B");
    b.column(u"ID", "NUMBER(4, 0)");
    b.row({fv::number("1")});
    const std::string dump = write_dump(w);
    ASSERT_EQ(convert(dump).status, 0);
    {
        sql_test::probe p = check();
        p.query("INSERT INTO A VALUES (4, '2020-02-02')");
        p.query("CREATE TABLE X (I INT)");
    }
    const agent_run run = convert(dump, {"--mode=" + std::to_string(GetParam().mode)});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("Error:"), std::string::npos) << run.out;
    sql_test::probe p = check();
    const std::vector<std::string> t = tables(db);
    EXPECT_EQ(std::find(t.begin(), t.end(), "X") != t.end(), GetParam().extra_table_stays);
    EXPECT_EQ(p.count("A"), GetParam().rows_of_a);
    EXPECT_EQ(p.count("B"), GetParam().mode == 3 ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(all, agent_modes,
                         testing::Values(mode_case{0, false, 3}, mode_case{1, true, 3},
                                         mode_case{2, true, 4}, mode_case{3, true, 7}),
                         [](const testing::TestParamInfo<mode_case>& i) {
                             return "mode" + std::to_string(i.param.mode);
                         });

classic_dump_writer keyed_dump() {
    classic_dump_writer w;
    fixture_table& p = w.add_table(u"P");
    p.column(u"ID", "NUMBER(4, 0)", "NOT NULL ENABLE").column(u"S", "VARCHAR2(20 BYTE)");
    p.row({fv::number("1"), fv::text(u"one")});
    p.row({fv::number("2"), fv::text(u"two")});
    p.primary_key(u"PK_P", {u"ID"});
    p.index(u"P_S", {u"S"});
    return w;
}

TEST_F(agent_srv, table_definitions_only_create_empty_tables_with_their_keys) {
    const agent_run run = convert(write_dump(keyed_dump()), {"--tab_def"});
    ASSERT_EQ(run.status, 0) << run.out;
    sql_test::probe p = check();
    EXPECT_EQ(p.count("P"), 0);
    EXPECT_EQ(p.query("SHOW INDEX FROM P").size(), 2u);
}

TEST_F(agent_srv, skipped_indexes_give_plain_myisam_tables) {
    const agent_run run = convert(write_dump(keyed_dump()), {"--skip_idx"});
    ASSERT_EQ(run.status, 0) << run.out;
    sql_test::probe p = check();
    EXPECT_EQ(p.count("P"), 2);
    EXPECT_TRUE(p.query("SHOW INDEX FROM P").empty());
    EXPECT_EQ(p.scalar("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + db +
                       "' AND TABLE_NAME='P'"),
              "MyISAM");
}

classic_dump_writer three_tables() {
    classic_dump_writer w;
    w.charsets(873, 873, 2000);
    for (const char16_t* name : {u"A", u"B", u"CAF\u00C9"}) {
        fixture_table& t = w.add_table(name);
        t.column(u"ID", "NUMBER(4, 0)");
        t.row({fv::number("1")});
    }
    return w;
}

struct list_case {
    const char* name;
    std::string file;
    std::vector<std::string> tables;
    std::string err;
};

class agent_table_lists : public agent_srv, public testing::WithParamInterface<list_case> {};

TEST_P(agent_table_lists, choose_the_tables_to_convert) {
    const std::string list = dir.file("tables.txt");
    write_text_file(list, GetParam().file);
    const agent_run run = convert(write_dump(three_tables()), {"--tab_file=" + list});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, GetParam().err);
    EXPECT_EQ(tables(db), GetParam().tables);
}

INSTANTIATE_TEST_SUITE_P(
    all, agent_table_lists,
    testing::Values(
        list_case{"plain_lines", "B\n\nA\n", {"A", "B"}, ""},
        list_case{"utf8_after_a_byte_order_mark", "\xEF\xBB\xBF" "CAF\xC3\x89\r\n\r\nA\r\n",
                  {"A", "CAF\xC3\x89"}, ""},
        list_case{"a_name_with_a_trailing_space_is_not_found", "B \nA\n", {"A"},
                  "Table B  not exists\n"},
        list_case{"an_empty_file_converts_every_table", "", {"A", "B", "CAF\xC3\x89"}, ""}),
    [](const testing::TestParamInfo<list_case>& i) { return std::string(i.param.name); });

TEST_F(agent_srv, a_profile_applies_its_settings_but_the_command_line_connects) {
    const std::string profile = dir.file("p.vlt");
    write_text_file(profile,
                    "[Generic settings]\r\nonly definitions=1\r\nmode=2\r\n"
                    "[MySQL settings]\r\nhost=nowhere.invalid\r\nuser=nobody\r\npassword=x\r\n"
                    "[Selected Tables]\r\nB\r\n");
    const agent_run run = convert(write_dump(three_tables()), {"--profile=" + profile});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(tables(db), std::vector<std::string>{"B"});
    EXPECT_EQ(check().count("B"), 0) << "the profile asked for definitions only";
    // A later list of tables replaces the profile's.
    const std::string list = dir.file("tables.txt");
    write_text_file(list, "A\n");
    const agent_run again =
        convert(write_dump(three_tables()), {"--profile=" + profile, "--tab_file=" + list});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(tables(db), (std::vector<std::string>{"A", "B"}));
}

TEST_F(agent_srv, progress_goes_to_the_output_and_silent_keeps_it_quiet) {
    const std::string dump = write_dump(three_tables());
    const agent_run run = convert(dump);
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Reading file " + dump +
                           "\nConverting Oracle dump file (3 tables)\nConverting table A\n"
                           "Converting table B\nConverting table CAF\xC3\x89\n");
    const agent_run quiet = convert(dump, {"--silent"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
    EXPECT_EQ(tables(db).size(), 3u);
}

TEST_F(agent_srv, a_row_the_server_refuses_mid_batch_is_reported_and_the_others_arrive) {
    classic_dump_writer w;
    fixture_table& t = w.add_table(u"T");
    t.column(u"ID", "NUMBER(6, 0)").column(u"S", "VARCHAR2(200 BYTE)");
    // About 3,000 rows of 200 characters: the rows fill two full batches and a rest. Row 1,500
    // is longer than its column, which a strict server refuses for the whole statement.
    const int total = 3000;
    const int bad = 1500;
    for (int i = 1; i <= total; ++i) {
        std::u16string s(i == bad ? 300 : 200, u'a' + static_cast<char16_t>(i % 26));
        t.row({fv::number(std::to_string(i)), fv::text(s)});
    }
    const agent_run run = convert(write_dump(w));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Error:\nT, record #1500: Data too long for column 'S' at row 1\n"),
              std::string::npos)
        << run.out;
    size_t errors = 0;
    for (size_t p = 0; (p = run.out.find("Error:", p)) != std::string::npos; ++p) ++errors;
    EXPECT_EQ(errors, 1u);
    sql_test::probe p = check();
    EXPECT_EQ(p.count("T"), total - 1);
    EXPECT_EQ(p.scalar("SELECT COUNT(*) FROM T WHERE ID IN (1499, 1501, 1, 3000)"), "4");
    EXPECT_EQ(p.scalar("SELECT COUNT(*) FROM T WHERE ID = 1500"), "0");
}

TEST_F(agent_srv, an_unreadable_dump_leaves_the_old_database_in_place) {
    ASSERT_EQ(convert(write_dump(keyed_dump())).status, 0);
    const std::string bad = dir.file("bad.dmp");
    write_text_file(bad, std::string(8192, 'z'));
    const agent_run run = convert(bad, {"--mode=0"});
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.out.find("Error:\n"), std::string::npos);
    EXPECT_EQ(check().count("P"), 2) << "mode 0 drops the database only after the dump was read";
    // A readable dump in mode 0 does replace it.
    classic_dump_writer w;
    w.add_table(u"Q").column(u"ID", "NUMBER(4, 0)").row({fv::number("1")});
    ASSERT_EQ(convert(write_dump(w, "q.dmp"), {"--mode=0"}).status, 0);
    EXPECT_EQ(tables(db), std::vector<std::string>{"Q"});
}

TEST_F(agent_srv, a_database_the_server_cannot_create_ends_the_run_with_a_failure) {
    const std::string name(70, 'd');
    const agent_run run = convert(write_dump(three_tables()), {}, name);
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.out.find("Error:\nIncorrect database name"), std::string::npos) << run.out;
}

TEST_F(agent_srv, a_wrong_password_ends_with_the_advice_text) {
    std::vector<std::string> args{"--src=" + write_dump(three_tables()), "--dest=" + db,
                                  "--mysqlh=" + server.host, "--port=" + server.port,
                                  "--mysqlu=" + server.user, "--mysqlp=wrong"};
    const agent_run run = run_agent(args, home);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out,
              "Error:\nAccess denied. Verify the user name and password are correct, and you "
              "have the necessary privileges to connect to the target MySQL server.\n");
}

}  // namespace
