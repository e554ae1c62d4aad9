// Data Pump dumps made by the fixture writer, through the reader's public API: the header of each
// family and its checks, the catalogue (internal tables, tables without rows, owners), the row
// pieces in every layout, LOB pieces, long values, descriptions split over LOB pieces, hidden
// columns, timestamps, a single-byte character set, foreign keys and the thread's stop request.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dump_test_harness.h"
#include "pump_test_fixtures.h"
#include "tk_thread.h"

using namespace pump_test;

namespace {

const row_texts k_dept_rows[] = {{"10", "ACCOUNTING", "NEW YORK"},
                                 {"20", "RESEARCH", "DALLAS"},
                                 {"30", "SALES", "NULL"}};

std::vector<row_texts> emp_rows() {
    return {{"7369", "SMITH", "first note", "1980-12-17 00:00:00", "800", hex(blob(5)), "20"},
            {"7499", "ALLEN", "NULL", "1981-02-20 00:00:00", "1600.5", hex(blob(3, 9)), "NULL"},
            {"7521", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL"}};
}

std::vector<std::string> column_names(udb_recordset& t) {
    std::vector<std::string> out;
    for (const udb_column* c : t.schema().columns()) out.push_back(tk_to_utf8(c->name()));
    return out;
}

}  // namespace

TEST(pump_fixture, standard_dump_lists_user_tables_and_reads_every_row) {
    pump_dump_writer w = standard_writer();
    std::vector<uint8_t> bytes = w.build();
    dump_harness h;
    h.open_bytes(bytes);
    EXPECT_TRUE(h.reader().b_pump());
    EXPECT_EQ(h.reader().version_word(), "12.02.00.00.00");
    // The master table and SYS.IMPDP_STATS are the export's own; BONUS has no rows.
    EXPECT_EQ(h.table_names(), (std::vector<std::string>{"BONUS", "DEPT", "EMP"}));

    table_read dept = h.read(u"DEPT");
    EXPECT_FALSE(dept.failed) << dept.error;
    EXPECT_EQ(dept.rows, std::vector<row_texts>(std::begin(k_dept_rows), std::end(k_dept_rows)));
    table_read e = h.read(u"EMP");
    EXPECT_FALSE(e.failed) << e.error;
    EXPECT_EQ(e.rows, emp_rows());
    table_read b = h.read(u"BONUS");
    EXPECT_FALSE(b.failed) << b.error;
    EXPECT_TRUE(b.rows.empty());

    auto t = h.table(u"EMP");
    ASSERT_TRUE(t);
    EXPECT_EQ(column_names(*t), (std::vector<std::string>{"EMPNO", "ENAME", "NOTE", "HIREDATE",
                                                          "SAL", "PHOTO", "DEPTNO"}));
    EXPECT_TRUE(t->schema()[0].b_not_null());
    EXPECT_EQ(t->schema()[4].vartype(), VT_DECIMAL);
    ASSERT_EQ(t->indexes().size(), 2u);
    EXPECT_TRUE(t->indexes()[0].b_primary);
    EXPECT_TRUE(t->indexes()[1].b_unique);
    // Opening EMP handed its foreign key to the dump; opening it again adds nothing.
    auto again = h.table(u"EMP");
    ASSERT_EQ(h.file().relationships().size(), 1u);
    const udb_relationship& fk = h.file().relationships()[0];
    EXPECT_EQ(fk.name, u"FK_DEPTNO");
    EXPECT_EQ(fk.child_table, u"EMP");
    EXPECT_EQ(fk.parent_table, u"DEPT");
    EXPECT_EQ(fk.child_fields, std::vector<std::u16string>{u"DEPTNO"});
}

TEST(pump_fixture, every_header_family_opens) {
    struct family_case {
        int family;
        const char* version;
    };
    const family_case cases[] = {{1, "10.02.00.04.00"}, {2, "11.01.00.07.00"},
                                 {3, "11.02.00.04.00"}, {4, "12.01.00.02.00"},
                                 {5, "12.02.00.00.00"}, {5, "19.00.00.00.00"},
                                 {5, "21.00.00.00.00"}, {5, "23.00.00.00.00"}};
    for (const family_case& c : cases) {
        SCOPED_TRACE(std::to_string(c.family) + " " + c.version);
        pump_dump_writer w = standard_writer(c.family);
        w.set_version_text(c.version);
        std::vector<uint8_t> bytes = w.build();
        dump_harness h;
        h.open_bytes(bytes);
        EXPECT_EQ(h.reader().version_word(), c.version);
        EXPECT_EQ(h.table_names().size(), 3u);
        EXPECT_EQ(h.read(u"EMP").rows, emp_rows());
    }
}

TEST(pump_fixture, rejected_headers_give_their_messages) {
    const std::string generic = ora_dump_reader::open_error_text;
    const std::string non_leading = ora_dump_reader::non_leading_part_text;
    using bytes_t = std::vector<uint8_t>;
    struct header_case {
        const char* what;
        std::function<void(pump_dump_writer&)> writer_change;
        std::function<void(bytes_t&)> byte_change;
        std::string message;
    };
    const header_case cases[] = {
        {"second file of a set", [](pump_dump_writer& w) { w.set_file_number(2); }, nullptr,
         non_leading},
        {"version 9", [](pump_dump_writer& w) { w.set_version_text("09.02.00.00.00"); }, nullptr,
         generic},
        {"version text not a version",
         [](pump_dump_writer& w) { w.set_version_text("12x02.00.00.00"); }, nullptr, generic},
        {"family 6", nullptr, [](bytes_t& b) { b[0] = 6; }, generic},
        {"second byte 3", nullptr, [](bytes_t& b) { b[1] = 3; }, generic},
        {"damaged block size", nullptr, [](bytes_t& b) { b[36] = 0xBF; }, generic},
        // A family 5 header read as family 3: no version text at 477.
        {"family 3 with a late header", nullptr, [](bytes_t& b) { b[0] = 3; }, generic},
    };
    for (const header_case& c : cases) {
        SCOPED_TRACE(c.what);
        pump_dump_writer w = standard_writer();
        if (c.writer_change) c.writer_change(w);
        std::vector<uint8_t> bytes = w.build();
        if (c.byte_change) c.byte_change(bytes);
        dump_harness h;
        thrown t = catch_thrown([&] { h.open_bytes(bytes); });
        EXPECT_EQ(t.type, "tk_exception");
        EXPECT_EQ(t.level, 1);
        EXPECT_EQ(t.text, c.message);
        EXPECT_EQ(h.reader().progress(), -1);
    }
}

TEST(pump_fixture, compressed_dump_says_how_to_export_again) {
    pump_dump_writer w = standard_writer();
    w.set_compressed(true);
    std::vector<uint8_t> bytes = w.build();
    dump_harness h;
    thrown t = catch_thrown([&] { h.open_bytes(bytes); });
    EXPECT_EQ(t.type, "tk_exception");
    EXPECT_EQ(t.level, 1);
    EXPECT_NE(t.text.find("COMPRESSION=ALL"), std::string::npos) << t.text;
    EXPECT_NE(t.text.find("COMPRESSION=METADATA_ONLY"), std::string::npos);
    EXPECT_NE(t.text.find("COMPRESSION=NONE"), std::string::npos);
}

TEST(pump_fixture, every_row_piece_layout_gives_the_same_rows) {
    struct layout_case {
        bool sized;
        size_t values_per_piece;
        size_t lob_chunk;
        bool omit_trailing_nulls;
    };
    const layout_case cases[] = {
        {true, 0, 0, true},  {false, 0, 0, true}, {true, 0, 0, false}, {false, 2, 0, true},
        {false, 1, 0, false}, {false, 0, 3, true}, {true, 3, 1, true},  {false, 0, 2, false},
    };
    for (const layout_case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sized) + " " + std::to_string(c.values_per_piece) + " " +
                     std::to_string(c.lob_chunk) + " " + std::to_string(c.omit_trailing_nulls));
        pump_dump_writer w = standard_writer();
        w.row_layout() = {c.sized, c.values_per_piece, c.lob_chunk, c.omit_trailing_nulls};
        std::vector<uint8_t> bytes = w.build();
        dump_harness h;
        h.open_bytes(bytes, 4096);
        table_read e = h.read(u"EMP");
        EXPECT_FALSE(e.failed) << e.error;
        EXPECT_EQ(e.rows, emp_rows());
        table_read d = h.read(u"DEPT");
        EXPECT_EQ(d.rows.size(), 3u);
    }
}

TEST(pump_fixture, long_values_and_large_lobs_come_back_whole) {
    pump_fixture_table t;
    t.name = "DOCS";
    t.columns = {col("ID", 2, 22, 5, 0), text_col("BODY", 4000), col("DATA", 113, 4000),
                 col("TEXT", 112, 4000, -1, -1, "0", 873)};
    std::string long_text(300, 'x');
    std::string text253(253, 'a');
    std::string text254(254, 'b');
    std::string big_clob;
    for (int i = 0; i < 40000; ++i) big_clob += static_cast<char>('A' + i % 26);
    t.rows = {{num("1"), text(long_text), blob(70000), clob(big_clob)},
              {num("2"), text(text253), blob(254), clob("")},
              {num("3"), text(text254), blob(0), null()}};
    pump_dump_writer w;
    w.add_table(t);
    std::vector<uint8_t> bytes = w.build();
    dump_harness h;
    h.open_bytes(bytes);
    table_read r = h.read(u"DOCS");
    ASSERT_FALSE(r.failed) << r.error;
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0], (row_texts{"1", long_text, hex(blob(70000)), big_clob}));
    // An empty CLOB is empty text, not NULL; an empty BLOB is zero bytes.
    EXPECT_EQ(r.rows[1], (row_texts{"2", text253, hex(blob(254)), ""}));
    EXPECT_EQ(r.rows[2], (row_texts{"3", text254, "0x", "NULL"}));
}

TEST(pump_fixture, description_split_over_lob_pieces_is_read_whole) {
    for (size_t chunk : {size_t{50}, size_t{511}, size_t{0}}) {
        SCOPED_TRACE(chunk);
        pump_dump_writer w = standard_writer();
        w.set_master_lob_chunk(chunk);
        std::vector<uint8_t> bytes = w.build();
        dump_harness h;
        h.open_bytes(bytes);
        auto t = h.table(u"EMP");
        ASSERT_TRUE(t);
        EXPECT_EQ(t->schema().size(), 7u);
        EXPECT_EQ(t->indexes().size(), 2u);
        EXPECT_EQ(h.file().relationships().size(), 1u);
        EXPECT_EQ(h.read(u"EMP").rows, emp_rows());
    }
}

TEST(pump_fixture, hidden_column_does_not_cost_the_rows) {
    pump_fixture_table t = dept();
    pump_fixture_column hidden = col("SYS_NC00004$", 2, 22);
    hidden.col_num = 0;
    hidden.in_rows = false;
    t.columns.insert(t.columns.begin() + 1, hidden);
    pump_dump_writer w;
    w.add_table(t);
    std::vector<uint8_t> bytes = w.build();
    dump_harness h;
    h.open_bytes(bytes);
    auto table = h.table(u"DEPT");
    ASSERT_TRUE(table);
    EXPECT_EQ(column_names(*table), (std::vector<std::string>{"DEPTNO", "DNAME", "LOC"}));
    EXPECT_EQ(h.read(u"DEPT").rows,
              std::vector<row_texts>(std::begin(k_dept_rows), std::end(k_dept_rows)));
}

TEST(pump_fixture, timestamps_of_every_kind_are_dates) {
    pump_fixture_table t;
    t.name = "TIMES";
    t.columns = {col("TS", 180, 11), col("TSTZ", 181, 13), col("TSLTZ", 231, 11)};
    ora_moment m;
    m.year = 2022;
    m.month = 6;
    m.day = 2;
    m.hour = 8;
    m.minute = 45;
    m.second = 40;
    m.nanoseconds = 346906000;
    t.rows = {{ora_timestamp_bytes(m), ora_timestamp_tz_bytes(m, 0, 0), ora_timestamp_bytes(m)}};
    pump_dump_writer w;
    w.add_table(t);
    std::vector<uint8_t> bytes = w.build();
    dump_harness h;
    h.open_bytes(bytes);
    table_read r = h.read(u"TIMES");
    ASSERT_FALSE(r.failed) << r.error;
    ASSERT_EQ(r.rows.size(), 1u);
    for (const std::string& v : r.rows[0]) EXPECT_EQ(v.substr(0, 19), "2022-06-02 08:45:40");
}

TEST(pump_fixture, single_byte_database_character_set) {
    const uint16_t cp1252 = 178;
    pump_fixture_table t;
    t.name = "AEROPORTO";
    t.columns = {col("ID", 2, 22, 5, 0, "1"), text_col("CITTÀ", 50, cp1252),
                 col("NOTE", 112, 4000, -1, -1, "0", cp1252)};
    t.rows = {{num("1"), text("Forlì", cp1252), clob("città è", cp1252)}};
    pump_dump_writer w(5, cp1252);
    w.add_table(t);
    std::vector<uint8_t> bytes = w.build();
    dump_harness h;
    h.open_bytes(bytes);
    auto table = h.table(u"AEROPORTO");
    ASSERT_TRUE(table);
    EXPECT_EQ(column_names(*table), (std::vector<std::string>{"ID", "CITTÀ", "NOTE"}));
    EXPECT_EQ(h.read(u"AEROPORTO").rows, (std::vector<row_texts>{{"1", "Forlì", "città è"}}));
}

TEST(pump_fixture, tables_without_full_description_or_master) {
    for (bool master : {true, false}) {
        SCOPED_TRACE(master);
        pump_fixture_table t = dept();
        t.described = false;
        pump_dump_writer w;
        w.add_table(t);
        w.add_table(emp());
        w.set_stats_table(true);
        w.set_master(master);
        std::vector<uint8_t> bytes = w.build();
        dump_harness h;
        h.open_bytes(bytes);
        EXPECT_EQ(h.table_names(), (std::vector<std::string>{"DEPT", "EMP"}));
        // The stream description describes DEPT: its columns and rows, no keys.
        auto d = h.table(u"DEPT");
        ASSERT_TRUE(d);
        EXPECT_EQ(d->schema().size(), 3u);
        EXPECT_TRUE(d->indexes().empty());
        EXPECT_EQ(h.read(u"DEPT").rows.size(), 3u);
        EXPECT_EQ(h.read(u"EMP").rows, emp_rows());
    }
}

TEST(pump_fixture, same_name_of_two_owners_is_qualified_the_second_time) {
    pump_fixture_table a = dept();
    pump_fixture_table b = dept();
    b.owner = "HR";
    b.rows.pop_back();
    pump_dump_writer w;
    w.add_table(a);
    w.add_table(b);
    std::vector<uint8_t> bytes = w.build();
    dump_harness h;
    h.open_bytes(bytes);
    EXPECT_EQ(h.table_names(), (std::vector<std::string>{"DEPT", "HR.DEPT"}));
    EXPECT_EQ(h.read(u"DEPT").rows.size(), 3u);
    EXPECT_EQ(h.read(u"HR.DEPT").rows.size(), 2u);
}

namespace {

// Runs `task` on a tk_thread once the thread has been asked to stop, and tells what ended it.
class stop_probe : public tk_thread_functor {
public:
    explicit stop_probe(std::function<void()> task) : m_task(std::move(task)) {}
    void operator()() override {
        while (!tk_thread::stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        try {
            m_task();
            outcome = "finished";
        } catch (const tk_thread_stop&) {
            outcome = "stopped";
            throw;
        }
    }
    std::string outcome = "not run";

private:
    std::function<void()> m_task;
};

class probe_thread : public tk_thread {
public:
    explicit probe_thread(stop_probe& probe) : m_probe(probe) {}
    ~probe_thread() override { stop_if_running(); }

protected:
    tk_thread_functor* create_functor() override { return &m_probe; }

private:
    stop_probe& m_probe;
};

}  // namespace

TEST(pump_fixture, open_and_row_reading_honour_a_stop_request) {
    pump_dump_writer w = standard_writer();
    std::vector<uint8_t> bytes = w.build();
    {
        dump_harness h;
        stop_probe probe([&] { h.open_bytes(bytes); });
        probe_thread thread(probe);
        thread.start();
        thread.stop();
        EXPECT_EQ(probe.outcome, "stopped");
        EXPECT_EQ(h.reader().progress(), -1);
    }
    {
        dump_harness h;
        h.open_bytes(bytes);
        auto t = h.table(u"EMP");
        ASSERT_TRUE(t);
        stop_probe probe([&] {
            t->get_item();
        });
        probe_thread thread(probe);
        thread.start();
        thread.stop();
        EXPECT_EQ(probe.outcome, "stopped");
    }
}
