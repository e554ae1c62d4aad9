// Helpers for the VELTAGENT tests: runs the built program (VELTAGENT_PATH from the build) with a
// private home folder, so that it never reads the real stored settings, and captures its output
// channels and exit status; the private server's connection options; small file helpers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fixture_temp_dir.h"

struct agent_run {
    int status = -1;  // exit status (255 for -1), or 128 + signal when killed
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs VELTAGENT with `args` (without the program name); HOME and XDG_CONFIG_HOME point into
// `home`.
agent_run run_agent(const std::vector<std::string>& args, const std::string& home);
// Runs any program the same way (the mariadb client, veltinspect); `input` becomes its standard
// input when not empty.
agent_run run_program(const std::string& path, const std::vector<std::string>& args,
                      const std::string& home, const std::string& input = {});

// The private server of the test run, from VELT_TEST_MYSQL_*.
struct agent_server {
    std::string host, port, user, password, socket;
    // "--mysqlh=... --port=... --mysqlu=... --mysqlp=..."
    std::vector<std::string> options() const;
};
std::optional<agent_server> agent_test_server();

std::string read_text_file(const std::string& path);
void write_text_file(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);
