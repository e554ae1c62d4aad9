// Every classic dump of the shared collection of real exports converts into the server without
// an error, each table with the row count the reader's own inspection tool reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "sql_test_server.h"
#include "veltagent_run.h"

namespace {

namespace fs = std::filesystem;

fs::path classic_folder() {
    const char* source = std::getenv("VELT_SOURCE_DIR");
    return fs::path(source ? source : ".") / ".." / "shared" / "fixtures" / "classic";
}

// The MySQL name of a table: the characters a table name cannot hold become "_".
std::string mysql_table_name(std::string name) {
    const std::string forbidden = "`\"'^*#\\;+|:<>?./";
    for (char& c : name) {
        if (forbidden.find(c) != std::string::npos) c = '_';
    }
    return name;
}

std::vector<fs::path> real_dumps() {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(classic_folder(), ec)) {
        if (entry.path().extension() == ".dmp") out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(agent_real, every_classic_dump_converts_with_the_row_counts_the_reader_reports) {
    const auto server = agent_test_server();
    if (!server) GTEST_SKIP() << "VELT_TEST_MYSQL_* not set: no test server";
    const std::vector<fs::path> dumps = real_dumps();
    if (dumps.empty()) GTEST_SKIP() << "no real dumps at " << classic_folder();
    const sql_test::server_settings settings = *sql_test::test_server();
    fixture_temp_dir dir("velt_agent_real");
    const std::string home = dir.file("home");
    const std::regex table_entry("\\{\"name\": \"((?:[^\"\\\\]|\\\\.)*)\", \"row_count\": (\\d+)");

    int n = 0;
    for (const fs::path& dump : dumps) {
        SCOPED_TRACE(dump.filename().string());
        const std::string db = sql_test::unique_name("real" + std::to_string(++n));
        sql_test::probe admin(settings, "");
        admin.query("DROP DATABASE IF EXISTS `" + db + "`");

        const agent_run inspect = run_program(VELTINSPECT_PATH, {dump.string(), "--json",
                                                                 "--rows", "0"}, home);
        ASSERT_EQ(inspect.status, 0) << inspect.err;
        std::vector<std::string> args{"--src=" + dump.string(), "--dest=" + db};
        for (const std::string& o : server->options()) args.push_back(o);
        const agent_run run = run_agent(args, home);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out.find("Error:"), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "");

        sql_test::probe p(settings, db);
        int tables = 0;
        for (auto it = std::sregex_iterator(inspect.out.begin(), inspect.out.end(), table_entry);
             it != std::sregex_iterator(); ++it) {
            const std::string name = mysql_table_name((*it)[1].str());
            EXPECT_EQ(p.count(name), std::stoll((*it)[2].str())) << name;
            ++tables;
        }
        const std::string listed = p.scalar(
            "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + db + "'");
        EXPECT_EQ(listed, std::to_string(tables));
        admin.query("DROP DATABASE IF EXISTS `" + db + "`");
    }
}

}  // namespace
