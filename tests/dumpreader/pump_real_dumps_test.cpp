// The Data Pump dumps written by Oracle's expdp (../shared/fixtures/datapump): every user table
// is listed with the row count the fixtures' README gives and every row reads; the HR dump holds
// the same rows and column types as the classic HR export; the foreign keys of SCOTT and HR
// arrive; the compressed dump, the second file of a set and the mangled dump fail with their
// messages. Skips when the fixtures are absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "dump_test_harness.h"

namespace fs = std::filesystem;

namespace {

std::string fixtures_dir() {
    const char* src = std::getenv("VELT_SOURCE_DIR");
    if (src == nullptr) return std::string();
    fs::path p = fs::path(src) / ".." / "shared" / "fixtures";
    return fs::is_directory(p) ? p.string() : std::string();
}

#define NEED_FIXTURES(dir)                                                     \
    const std::string dir = fixtures_dir();                                    \
    if (dir.empty()) GTEST_SKIP() << "no ../shared/fixtures beside the source"

struct dump_case {
    const char* file;
    std::map<std::string, size_t> rows;
};

const dump_case k_dumps[] = {
    {"datapump/dp11-02_win64_5tables.dmp",
     {{"AEREO", 60}, {"AEROPORTO", 90}, {"CLIENTE", 200}, {"COMPAGNIA_AEREA", 20}, {"VOLO", 69},
      {"PRENOTAZIONE", 0}, {"STATISTICHE", 0}}},
    {"datapump/dp12-01_linux_scott.dmp", {{"DEPT", 4}, {"EMP", 14}, {"SALGRADE", 5}, {"BONUS", 0}}},
    {"datapump/dp12-02_linux_hr.dmp",
     {{"COUNTRIES", 25}, {"DEPARTMENTS", 27}, {"EMPLOYEES", 107}, {"JOBS", 19},
      {"JOB_HISTORY", 10}, {"LOCATIONS", 23}, {"REGIONS", 4}}},
    {"datapump/dp21_win64_job_tables.dmp",
     {{"SYS_EXPORT_SCHEMA_01", 1611}, {"SYS_EXPORT_SCHEMA_02", 1609}, {"TAAABB_CUSERI", 5},
      {"TAAABB_CPRJTM", 1}, {"TAAABB_CORGNI", 0}}},
};

std::set<std::string> key_names(const ora_dump_file& file) {
    std::set<std::string> out;
    for (const udb_relationship& k : file.relationships()) {
        std::string s = tk_to_utf8(k.name) + " " + tk_to_utf8(k.child_table) + "(";
        for (const auto& c : k.child_fields) s += tk_to_utf8(c) + ",";
        s += ")->" + tk_to_utf8(k.parent_table) + "(";
        for (const auto& c : k.parent_fields) s += tk_to_utf8(c) + ",";
        out.insert(s + ")");
    }
    return out;
}

}  // namespace

TEST(pump_real_dumps, every_user_table_lists_and_reads_with_the_readme_counts) {
    NEED_FIXTURES(dir);
    for (const dump_case& c : k_dumps) {
        SCOPED_TRACE(c.file);
        dump_harness h;
        h.open_path(dir + "/" + c.file);
        EXPECT_TRUE(h.reader().b_pump());
        std::vector<std::string> expected;
        for (const auto& [name, rows] : c.rows) expected.push_back(name);
        EXPECT_EQ(h.table_names(), expected);
        for (const auto& [name, rows] : c.rows) {
            SCOPED_TRACE(name);
            table_read r = h.read(tk_from_utf8(name));
            EXPECT_FALSE(r.failed) << r.error;
            EXPECT_EQ(r.rows.size(), rows);
        }
    }
}

TEST(pump_real_dumps, hr_rows_and_types_equal_the_classic_export) {
    NEED_FIXTURES(dir);
    std::map<std::string, std::pair<std::vector<std::string>, std::vector<row_texts>>> pump, classic;
    for (int i = 0; i < 2; ++i) {
        dump_harness h;
        h.open_path(dir + (i == 0 ? "/datapump/dp12-02_linux_hr.dmp"
                                  : "/classic/v11-02_ko16mswin949_al32utf8_hr.dmp"));
        auto& out = i == 0 ? pump : classic;
        for (const std::string& name : h.table_names()) {
            auto t = h.table(tk_from_utf8(name));
            ASSERT_TRUE(t) << name;
            std::vector<std::string> columns;
            for (const udb_column* c : t->schema().columns()) {
                columns.push_back(tk_to_utf8(c->name()) + ":" + std::to_string(c->vartype()));
            }
            table_read r;
            dump_harness::read_cursor(*t, r);
            EXPECT_FALSE(r.failed) << name << ": " << r.error;
            std::sort(r.rows.begin(), r.rows.end());
            out[name] = {columns, r.rows};
        }
    }
    ASSERT_EQ(pump.size(), 7u);
    for (const auto& [name, facts] : classic) {
        SCOPED_TRACE(name);
        ASSERT_EQ(pump.count(name), 1u);
        EXPECT_EQ(pump[name].first, facts.first);
        EXPECT_EQ(pump[name].second, facts.second);
    }
    size_t rows = 0;
    for (const auto& [name, facts] : pump) rows += facts.second.size();
    EXPECT_EQ(rows, 215u);
}

TEST(pump_real_dumps, known_values) {
    NEED_FIXTURES(dir);
    {
        dump_harness h;
        h.open_path(dir + "/datapump/dp12-01_linux_scott.dmp");
        table_read dept = h.read(u"DEPT");
        ASSERT_FALSE(dept.rows.empty());
        EXPECT_EQ(dept.rows[0], (row_texts{"10", "ACCOUNTING", "NEW YORK"}));
        table_read emp = h.read(u"EMP");
        ASSERT_FALSE(emp.rows.empty());
        EXPECT_EQ(emp.rows[0], (row_texts{"7369", "SMITH", "CLERK", "7902",
                                          "1980-12-17 00:00:00", "800", "NULL", "20"}));
    }
    {
        dump_harness h;
        h.open_path(dir + "/datapump/dp12-02_linux_hr.dmp");
        table_read e = h.read(u"EMPLOYEES");
        ASSERT_FALSE(e.rows.empty());
        EXPECT_EQ(e.rows[0], (row_texts{"100", "Steven", "King", "SKING", "515.123.4567",
                                        "2003-06-17 00:00:00", "AD_PRES", "24000", "NULL",
                                        "NULL", "90"}));
    }
    {
        dump_harness h;
        h.open_path(dir + "/datapump/dp11-02_win64_5tables.dmp");
        auto t = h.table(u"AEROPORTO");
        ASSERT_TRUE(t);
        EXPECT_EQ(tk_to_utf8(t->schema()[2].name()), "CITTÀ");
    }
}

TEST(pump_real_dumps, foreign_keys_arrive_after_the_tables_are_opened) {
    NEED_FIXTURES(dir);
    {
        dump_harness h;
        h.open_path(dir + "/datapump/dp12-01_linux_scott.dmp");
        for (const std::string& name : h.table_names()) h.table(tk_from_utf8(name));
        EXPECT_EQ(key_names(h.file()),
                  (std::set<std::string>{"FK_DEPTNO EMP(DEPTNO,)->DEPT(DEPTNO,)"}));
    }
    {
        dump_harness h;
        h.open_path(dir + "/datapump/dp12-02_linux_hr.dmp");
        for (const std::string& name : h.table_names()) h.table(tk_from_utf8(name));
        std::set<std::string> keys = key_names(h.file());
        EXPECT_EQ(keys.size(), 10u);
        EXPECT_EQ(keys.count("EMP_DEPT_FK EMPLOYEES(DEPARTMENT_ID,)->DEPARTMENTS(DEPARTMENT_ID,)"),
                  1u);
        EXPECT_EQ(keys.count("EMP_MANAGER_FK EMPLOYEES(MANAGER_ID,)->EMPLOYEES(EMPLOYEE_ID,)"), 1u);
        auto employees = h.table(u"EMPLOYEES");
        ASSERT_TRUE(employees);
        ASSERT_EQ(employees->indexes().size(), 2u);
    }
}

TEST(pump_real_dumps, unreadable_dumps_fail_with_their_messages) {
    NEED_FIXTURES(dir);
    struct failure_case {
        const char* file;
        std::string fragment;
    };
    const failure_case cases[] = {
        {"datapump/dp12-02_compression_all.dmp", "COMPRESSION=METADATA_ONLY"},
        {"datapump/dp12-02_file2_of_6.dmp", ora_dump_reader::non_leading_part_text},
        {"corrupt/dp12-02_mangled_utf8.dmp", ora_dump_reader::open_error_text},
    };
    for (const failure_case& c : cases) {
        SCOPED_TRACE(c.file);
        dump_harness h;
        thrown t = catch_thrown([&] { h.open_path(dir + "/" + c.file); });
        EXPECT_EQ(t.type, "tk_exception");
        EXPECT_EQ(t.level, 1);
        EXPECT_NE(t.text.find(c.fragment), std::string::npos) << t.text;
        EXPECT_EQ(h.reader().progress(), -1);
    }
}
