// VELTAGENT's usage text, option errors and destination checks: the cases that end before any
// server is reached, each with its exact message, channel and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "classic_dump_writer.h"
#include "veltagent_run.h"

namespace {

const std::string k_usage =
    "VELTAGENT v4.1\n"
    "Usage: VELTAGENT.EXE OPTIONS\n"
    "\n"
    "   --case_sense   make all CHAR and VARCHAR fields case sensitive\n"
    "   --dest=...     MySQL database or MySQL dump file name\n"
    "   --dump         convert Oracle data into MySQL dump file\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --mode=...     how to process an existing MySQL database\n"
    "                  (0 - overwrite the entire database, 1 - overwrite existing\n"
    "                  tables only, 2 - skip existing tables, 3 - merge)\n"
    "   --mysqlh=...   MySQL server IP address or network name\n"
    "   --mysqlu=...   MySQL user name\n"
    "   --mysqlp=...   MySQL user password\n"
    "   --port=...     MySQL port\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --skip_idx     skip converting indexes\n"
    "   --src=...      Oracle dump file name\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "\n"
    "NOTES:\n"
    "   1) You can omit 'mysqlh' to connect local database server.\n"
    "   2) It is necessary to specify 'port' parameter only if it deffers from\n"
    "      the default MySQL port 3306.\n"
    "   3) If you omit 'tab_file' parameter, all database tables will be converted.\n"
    "   4) If you omit 'mode' parameter, default mode 'overwrite the entire\n"
    "      database' will be used.\n"
    "   5) Command line parameters that contain spaces should be enclosed in\n"
    "      quotes (for example --dest=\"my database\")\n";

const std::string k_mode_message = "Invalid merge/overwrite mode\n";

class agent_cli : public testing::Test {
protected:
    fixture_temp_dir dir{"velt_agent_cli"};
    std::string home = dir.file("home");
    std::string dump = dir.file("small.dmp");

    void SetUp() override {
        classic_dump_writer w;
        fixture_table& t = w.add_table(u"T");
        t.column(u"ID", "NUMBER(4, 0)");
        t.row({fixture_value::number("1")});
        w.write_file(dump);
    }
    // {KEY} in an argument becomes the test's paths.
    std::vector<std::string> expand(const std::vector<std::string>& args) const {
        std::vector<std::string> out;
        for (std::string a : args) {
            for (const auto& [key, value] : {std::pair<std::string, std::string>{"{DUMP}", dump},
                                             {"{DIR}", dir.path()}}) {
                for (size_t p; (p = a.find(key)) != std::string::npos;) a.replace(p, key.size(), value);
            }
            out.push_back(a);
        }
        return out;
    }
};

struct cli_case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

class agent_cases : public agent_cli, public testing::WithParamInterface<cli_case> {};

TEST_P(agent_cases, end_with_their_message_and_status) {
    const cli_case& c = GetParam();
    const agent_run run = run_agent(expand(c.args), home);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
}

const std::string k_dest_missing =
    "You should enter destination MySQL database or dump file name\n";

INSTANTIATE_TEST_SUITE_P(
    table, agent_cases,
    testing::Values(
        cli_case{"no_option", {}, 255, "", k_usage},
        cli_case{"help", {"--help"}, 255, "", k_usage},
        cli_case{"help_among_valid_options", {"--src={DUMP}", "--dest=x", "--help"}, 255, "",
                 k_usage},
        cli_case{"an_unrecognised_argument", {"--src={DUMP}", "--dest=x", "--verbose"}, 255, "",
                 k_usage},
        cli_case{"dest_without_equals_sign", {"--src={DUMP}", "--dest"}, 255, "", k_usage},
        cli_case{"options_are_case_sensitive", {"--SRC={DUMP}", "--dest=x"}, 255, "", k_usage},
        cli_case{"mode_4", {"--mode=4"}, 255, "", k_mode_message},
        cli_case{"mode_minus_1", {"--mode=-1"}, 255, "", k_mode_message},
        cli_case{"mode_01", {"--mode=01"}, 255, "", k_mode_message},
        cli_case{"mode_plus_1", {"--mode=+1"}, 255, "", k_mode_message},
        cli_case{"mode_with_a_blank", {"--mode= 1"}, 255, "", k_mode_message},
        cli_case{"mode_empty", {"--mode="}, 255, "", k_mode_message},
        cli_case{"mode_3_is_accepted", {"--mode=3"}, 255, "", k_dest_missing},
        cli_case{"silent_before_the_mode_hides_its_message", {"--silent", "--mode=9"}, 255, "",
                 ""},
        cli_case{"silent_after_the_mode_comes_too_late", {"--mode=9", "--silent"}, 255, "",
                 k_mode_message},
        cli_case{"silent_hides_the_usage_text", {"--silent", "--bogus"}, 255, "", ""},
        cli_case{"no_destination", {"--src={DUMP}"}, 255, "", k_dest_missing},
        cli_case{"an_empty_destination", {"--src={DUMP}", "--dest="}, 255, "", k_dest_missing},
        cli_case{"no_source", {"--dest=x"}, 255, "", "You should enter Oracle dump file name\n"},
        cli_case{"a_missing_source",
                 {"--dest=x", "--src={DIR}/none.dmp"},
                 255,
                 "",
                 "Source file does not exist.\nPlease verify the correct file name was given.\n"},
        cli_case{"a_missing_table_file",
                 {"--dest=x", "--src={DUMP}", "--tab_file={DIR}/none.txt"},
                 255,
                 "",
                 "Table names file does not exist.\nPlease verify the correct path/name was "
                 "given.\n"},
        cli_case{"a_log_file_in_a_missing_folder",
                 {"--dest=x", "--src={DUMP}", "--logfile={DIR}/no/such/trace.log"},
                 255,
                 "Error:\nLogfile path does not exist. Please verify the correct path was "
                 "given.\n",
                 ""},
        cli_case{"a_port_that_is_no_number",
                 {"--dest=x", "--src={DUMP}", "--port=abc"},
                 255,
                 "Error:\nInvalid port number\n",
                 ""},
        cli_case{"port_zero",
                 {"--dest=x", "--src={DUMP}", "--port=0"},
                 255,
                 "Error:\nInvalid port number\n",
                 ""},
        cli_case{"a_port_outside_the_tcp_range",
                 {"--dest=x", "--src={DUMP}", "--port=70000"},
                 255,
                 "Error:\nInvalid port number\n",
                 ""},
        cli_case{"silent_hides_an_error_but_not_the_status",
                 {"--silent", "--dest=x", "--src={DUMP}", "--port=abc"},
                 255,
                 "",
                 ""},
        cli_case{"no_server_listening",
                 {"--dest=x", "--src={DUMP}", "--mysqlh=127.0.0.1", "--port=1"},
                 255,
                 "Error:\nCan't connect to the MySQL server. Check to verify that MySQL server "
                 "is launched and the correct host/port values were given.\n",
                 ""},
        cli_case{"a_script_in_a_folder_that_does_not_exist",
                 {"--src={DUMP}", "--dumpx", "--dest={DIR}/no/such/out.sql"},
                 255,
                 "Error:\nDestination path does not exist. Please verify the correct path was "
                 "given.\n",
                 ""},
        cli_case{"a_script_named_like_a_folder",
                 {"--src={DUMP}", "--dump", "--dest={DIR}"},
                 255,
                 "Error:\nDestination name should specify a file, not folder.\n",
                 ""}),
    [](const testing::TestParamInfo<cli_case>& i) { return std::string(i.param.name); });

TEST_F(agent_cli, a_read_only_script_destination_is_refused) {
    std::string target = dir.file("ro.sql");
    if (geteuid() == 0) {
        // Permission bits do not stop root: a read-only file of the kernel's does.
        target = "/sys/devices/system/cpu/online";
        if (access(target.c_str(), R_OK) != 0) GTEST_SKIP() << "no read-only file to use";
    } else {
        write_text_file(target, "old");
        chmod(target.c_str(), 0444);
    }
    const agent_run run = run_agent({"--src=" + dump, "--dump", "--dest=" + target}, home);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "Error:\nDestination name specifies an existing read-only file.\n");
}

TEST_F(agent_cli, a_read_only_log_file_is_refused) {
    std::string log = dir.file("ro.log");
    if (geteuid() == 0) {
        log = "/sys/devices/system/cpu/online";
        if (access(log.c_str(), R_OK) != 0) GTEST_SKIP() << "no read-only file to use";
    } else {
        write_text_file(log, "old");
        chmod(log.c_str(), 0444);
    }
    const agent_run run = run_agent({"--logfile=" + log, "--src=" + dump, "--dest=x"}, home);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "Error:\nLogfile name specifies an existing read-only file.\n");
}

TEST_F(agent_cli, a_script_is_written_and_an_existing_one_replaced) {
    const std::string script = dir.file("out.sql");
    write_text_file(script, "OLD CONTENT\n");
    const agent_run run = run_agent({"--src=" + dump, "--dump", "--dest=" + script}, home);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "Reading file " + dump +
                           "\nConverting Oracle dump file (1 tables)\nConverting table T\n");
    EXPECT_EQ(run.err, "");
    const std::string text = read_text_file(script);
    EXPECT_EQ(text.find("OLD CONTENT"), std::string::npos);
    EXPECT_NE(text.find("INSERT INTO `T` VALUES(1);"), std::string::npos);
}

TEST_F(agent_cli, an_unreadable_dump_leaves_the_old_script_in_place) {
    const std::string bad = dir.file("bad.dmp");
    write_text_file(bad, std::string(4096, 'x'));
    const std::string script = dir.file("keep.sql");
    write_text_file(script, "KEEP ME\n");
    const agent_run run = run_agent({"--src=" + bad, "--dump", "--dest=" + script}, home);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out.rfind("Reading file " + bad + "\nError:\n", 0), 0u) << run.out;
    EXPECT_EQ(read_text_file(script), "KEEP ME\n");
}

TEST_F(agent_cli, a_log_file_receives_the_trace_of_the_run) {
    const std::string log = dir.file("trace.log");
    const std::string script = dir.file("t.sql");
    const agent_run run =
        run_agent({"--logfile=" + log, "--src=" + dump, "--dump", "--dest=" + script}, home);
    EXPECT_EQ(run.status, 0) << run.out;
    const std::string trace = read_text_file(log);
    EXPECT_NE(trace.find("Converting Oracle dump file (1 tables)\r\n"), std::string::npos);
    EXPECT_NE(trace.find("Converting table T\r\n"), std::string::npos);
    EXPECT_NE(trace.find("Conversion ended on "), std::string::npos);
}

TEST_F(agent_cli, silent_prints_nothing_on_a_successful_run) {
    const std::string script = dir.file("s.sql");
    const agent_run run = run_agent({"--silent", "--src=" + dump, "--dump", "--dest=" + script},
                                    home);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(file_exists(script));
}

}  // namespace
