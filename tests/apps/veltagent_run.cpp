#include "veltagent_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

agent_run run_program(const std::string& path, const std::vector<std::string>& args,
                      const std::string& home, const std::string& input) {
    mkdir(home.c_str(), 0700);
    const std::string out_path = home + "/.run.out";
    const std::string err_path = home + "/.run.err";
    const std::string in_path = home + "/.run.in";
    write_text_file(in_path, input);

    std::vector<std::string> env_text;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "HOME=", 5) == 0 || std::strncmp(*e, "XDG_CONFIG_HOME=", 16) == 0) {
            continue;
        }
        env_text.emplace_back(*e);
    }
    env_text.push_back("HOME=" + home);
    env_text.push_back("XDG_CONFIG_HOME=" + home + "/.config");
    std::vector<char*> env;
    for (std::string& e : env_text) env.push_back(e.data());
    env.push_back(nullptr);

    std::vector<std::string> argv_text{path};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + path + ": " + std::strerror(rc));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    agent_run run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = read_text_file(out_path);
    run.err = read_text_file(err_path);
    return run;
}

agent_run run_agent(const std::vector<std::string>& args, const std::string& home) {
    return run_program(VELTAGENT_PATH, args, home);
}

std::vector<std::string> agent_server::options() const {
    return {"--mysqlh=" + host, "--port=" + port, "--mysqlu=" + user, "--mysqlp=" + password};
}

std::optional<agent_server> agent_test_server() {
    const char* host = std::getenv("VELT_TEST_MYSQL_HOST");
    const char* port = std::getenv("VELT_TEST_MYSQL_PORT");
    const char* user = std::getenv("VELT_TEST_MYSQL_USER");
    const char* password = std::getenv("VELT_TEST_MYSQL_PASSWORD");
    const char* socket = std::getenv("VELT_TEST_MYSQL_SOCKET");
    if (!host || !port || !user || !password || !*host) return std::nullopt;
    return agent_server{host, port, user, password, socket ? socket : ""};
}

std::string read_text_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_text_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool file_exists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}
