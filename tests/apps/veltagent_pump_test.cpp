// The Data Pump dumps of the shared collection of real exports convert through VELTAGENT into the
// server: every user table with the row count of the fixtures' README, and the foreign keys the
// dumps describe as constraints of the server's tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sql_test_server.h"
#include "veltagent_run.h"

namespace {

namespace fs = std::filesystem;

fs::path datapump_folder() {
    const char* source = std::getenv("VELT_SOURCE_DIR");
    return fs::path(source ? source : ".") / ".." / "shared" / "fixtures" / "datapump";
}

struct pump_case {
    const char* file;
    std::map<std::string, long long> rows;
    std::vector<std::string> foreign_keys;  // "TABLE.CONSTRAINT"; empty: none to check by name
    size_t foreign_key_count;
};

const pump_case k_cases[] = {
    {"dp11-02_win64_5tables.dmp",
     {{"AEREO", 60}, {"AEROPORTO", 90}, {"CLIENTE", 200}, {"COMPAGNIA_AEREA", 20}, {"VOLO", 69},
      {"PRENOTAZIONE", 0}, {"STATISTICHE", 0}},
     {},
     0},
    {"dp12-01_linux_scott.dmp",
     {{"DEPT", 4}, {"EMP", 14}, {"SALGRADE", 5}, {"BONUS", 0}},
     {"EMP.FK_DEPTNO"},
     1},
    {"dp12-02_linux_hr.dmp",
     {{"COUNTRIES", 25}, {"DEPARTMENTS", 27}, {"EMPLOYEES", 107}, {"JOBS", 19},
      {"JOB_HISTORY", 10}, {"LOCATIONS", 23}, {"REGIONS", 4}},
     {"EMPLOYEES.EMP_DEPT_FK", "EMPLOYEES.EMP_MANAGER_FK", "DEPARTMENTS.DEPT_LOC_FK",
      "JOB_HISTORY.JHIST_EMP_FK"},
     10},
    {"dp21_win64_job_tables.dmp",
     {{"SYS_EXPORT_SCHEMA_01", 1611}, {"SYS_EXPORT_SCHEMA_02", 1609}, {"TAAABB_CUSERI", 5},
      {"TAAABB_CPRJTM", 1}, {"TAAABB_CORGNI", 0}},
     {},
     0},
};

}  // namespace

TEST(agent_pump, data_pump_dumps_convert_with_rows_and_foreign_keys) {
    const auto server = agent_test_server();
    if (!server) GTEST_SKIP() << "VELT_TEST_MYSQL_* not set: no test server";
    if (!fs::is_directory(datapump_folder())) GTEST_SKIP() << "no " << datapump_folder();
    const sql_test::server_settings settings = *sql_test::test_server();
    fixture_temp_dir dir("velt_agent_pump");
    const std::string home = dir.file("home");
    int n = 0;
    for (const pump_case& c : k_cases) {
        SCOPED_TRACE(c.file);
        const std::string dump = (datapump_folder() / c.file).string();
        const std::string db = sql_test::unique_name("pump" + std::to_string(++n));
        sql_test::probe admin(settings, "");
        admin.query("DROP DATABASE IF EXISTS `" + db + "`");

        // The foreign keys the dump describes, as the reader's inspection tool lists them.
        const agent_run inspect = run_program(VELTINSPECT_PATH, {dump, "--json", "--rows", "0"},
                                              home);
        ASSERT_EQ(inspect.status, 0) << inspect.err;
        size_t described = 0;
        for (size_t at = inspect.out.find("\"parent_table\""); at != std::string::npos;
             at = inspect.out.find("\"parent_table\"", at + 1)) {
            ++described;
        }
        if (c.foreign_key_count != 0) EXPECT_EQ(described, c.foreign_key_count);

        std::vector<std::string> args{"--src=" + dump, "--dest=" + db};
        for (const std::string& o : server->options()) args.push_back(o);
        const agent_run run = run_agent(args, home);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out.find("Error:"), std::string::npos) << run.out;

        sql_test::probe p(settings, db);
        for (const auto& [table, rows] : c.rows) EXPECT_EQ(p.count(table), rows) << table;
        EXPECT_EQ(p.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                           "TABLE_SCHEMA='" + db + "'"),
                  std::to_string(c.rows.size()));
        EXPECT_EQ(p.scalar("SELECT COUNT(*) FROM information_schema.TABLE_CONSTRAINTS WHERE "
                           "TABLE_SCHEMA='" + db + "' AND CONSTRAINT_TYPE='FOREIGN KEY'"),
                  std::to_string(described));
        for (const std::string& key : c.foreign_keys) {
            const std::string table = key.substr(0, key.find('.'));
            const std::string name = key.substr(key.find('.') + 1);
            EXPECT_EQ(p.scalar("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS "
                               "WHERE CONSTRAINT_SCHEMA='" + db + "' AND TABLE_NAME='" + table +
                               "' AND CONSTRAINT_NAME='" + name + "'"),
                      "1")
                << key;
        }
        admin.query("DROP DATABASE IF EXISTS `" + db + "`");
    }
}
