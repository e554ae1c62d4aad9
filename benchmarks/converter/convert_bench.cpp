// convert_bench [MEGABYTES] [FOLDER] [keep]: how fast VELTAGENT loads a large classic dump into the
// private MariaDB server, against the server's own speed at the same rows.
//
// It streams a generated classic dump of about MEGABYTES (default 1024) into FOLDER (default
// $TMPDIR or /tmp), one table of six columns (numbers, texts, a date with a time of day, a
// primary key), converts it with VELTAGENT into the database veltbench, then writes the same
// rows as a mysqldump-style script (extended INSERT statements of up to 1 MB between LOCK TABLES
// and DISABLE KEYS, unique and foreign-key checks off) and times the mariadb client replaying it
// into veltbench_replay over the same kind of connection. Prints both times, rows per second,
// their ratio and VELTAGENT's peak resident memory (wait4's ru_maxrss). Needs the server of
// scripts/lib/mariadb.sh (VELT_TEST_MYSQL_*); removes its files and databases at the end, unless
// "keep" is given (to profile VELTAGENT on the same dump).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "classic_dump_encoder.h"
#include "dump_byte_sink.h"
#include "oracle_value_encoding.h"

extern char** environ;

namespace {

struct row_values {
    char id[16];
    char name[48];
    char amount[24];
    ora_moment created;
    char created_text[24];
    char note[160];
    char qty[8];
};

// Row i of the generated table, the same in the dump and in the script.
void make_row(uint64_t i, row_values& r) {
    std::snprintf(r.id, sizeof r.id, "%llu", static_cast<unsigned long long>(i));
    std::snprintf(r.name, sizeof r.name, "customer %08llu", static_cast<unsigned long long>(i));
    const uint64_t cents = (i * 7919) % 100000000;
    std::snprintf(r.amount, sizeof r.amount, "%llu.%02llu",
                  static_cast<unsigned long long>(cents / 100),
                  static_cast<unsigned long long>(cents % 100));
    r.created.year = 2000 + static_cast<int>(i % 24);
    r.created.month = 1 + static_cast<int>(i % 12);
    r.created.day = 1 + static_cast<int>(i % 28);
    r.created.hour = 1 + static_cast<int>(i % 23);
    r.created.minute = static_cast<int>(i % 60);
    r.created.second = static_cast<int>((i * 7) % 60);
    std::snprintf(r.created_text, sizeof r.created_text, "%04d-%02d-%02d %02d:%02d:%02d",
                  r.created.year, r.created.month, r.created.day, r.created.hour,
                  r.created.minute, r.created.second);
    static const char words[] = "order shipped to the warehouse at the north gate, invoice "
                                "attached, customer asked for a call back before noon; ";
    const size_t length = 80 + i % 41;
    const size_t offset = i % 37;
    for (size_t k = 0; k < length; ++k) r.note[k] = words[(offset + k) % (sizeof words - 1)];
    r.note[length] = 0;
    std::snprintf(r.qty, sizeof r.qty, "%llu", static_cast<unsigned long long>(i % 1000));
}

fixture_table bench_table() {
    fixture_table t;
    t.name = u"ORDERS";
    t.tablespace = u"USERS";
    t.column(u"ID", "NUMBER(10, 0)", "NOT NULL ENABLE")
        .column(u"NAME", "VARCHAR2(40 BYTE)")
        .column(u"AMOUNT", "NUMBER(12, 2)")
        .column(u"CREATED", "DATE")
        .column(u"NOTE", "VARCHAR2(200 BYTE)")
        .column(u"QTY", "NUMBER(6, 0)");
    t.primary_key(u"PK_ORDERS", {u"ID"});
    return t;
}

uint64_t write_dump(const std::string& path, uint64_t target_bytes) {
    dump_file_sink sink(path);
    dump_header_options options;
    options.session_charset = options.database_charset = 873;
    classic_dump_encoder encoder(sink, options);
    encoder.write_header();
    const fixture_table table = bench_table();
    encoder.begin_table(table);
    encoder.begin_block();
    row_values r{};
    dump_cell cells[6];
    uint64_t rows = 0;
    while (sink.position() < target_bytes) {
        make_row(++rows, r);
        const std::vector<uint8_t> id = ora_number_bytes(r.id);
        const std::vector<uint8_t> amount = ora_number_bytes(r.amount);
        const std::vector<uint8_t> created = ora_date_bytes(r.created);
        const std::vector<uint8_t> qty = ora_number_bytes(r.qty);
        auto text = [](dump_cell& c, const char* s) {
            c = dump_cell{};
            c.data = reinterpret_cast<const uint8_t*>(s);
            c.size = std::strlen(s);
        };
        auto bytes = [](dump_cell& c, const std::vector<uint8_t>& v) {
            c = dump_cell{};
            c.data = v.data();
            c.size = v.size();
        };
        bytes(cells[0], id);
        text(cells[1], r.name);
        bytes(cells[2], amount);
        bytes(cells[3], created);
        text(cells[4], r.note);
        if (rows % 10 == 0) {
            cells[5] = dump_cell{};
            cells[5].null = true;
        } else {
            bytes(cells[5], qty);
        }
        encoder.write_cells(cells, 6);
    }
    encoder.end_block();
    encoder.end_table();
    encoder.finish();
    sink.close();
    return rows;
}

void write_script(const std::string& path, const std::string& create, uint64_t rows) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fputs("/*!40101 SET NAMES utf8mb4 */;\n"
               "/*!40014 SET UNIQUE_CHECKS=0 */;\n/*!40014 SET FOREIGN_KEY_CHECKS=0 */;\n"
               "DROP TABLE IF EXISTS `ORDERS`;\n",
               f);
    std::fputs(create.c_str(), f);
    std::fputs(";\nLOCK TABLES `ORDERS` WRITE;\n/*!40000 ALTER TABLE `ORDERS` DISABLE KEYS */;\n",
               f);
    std::string statement;
    statement.reserve(1 << 21);
    row_values r{};
    for (uint64_t i = 1; i <= rows; ++i) {
        make_row(i, r);
        statement += statement.empty() ? "INSERT INTO `ORDERS` VALUES (" : ",(";
        statement += r.id;
        statement += ",'";
        statement += r.name;
        statement += "',";
        statement += r.amount;
        statement += ",'";
        statement += r.created_text;
        statement += "','";
        statement += r.note;
        statement += "',";
        statement += i % 10 == 0 ? "NULL" : r.qty;
        statement += ')';
        if (statement.size() >= 1000000 || i == rows) {
            statement += ";\n";
            std::fwrite(statement.data(), 1, statement.size(), f);
            statement.clear();
        }
    }
    std::fputs("/*!40000 ALTER TABLE `ORDERS` ENABLE KEYS */;\nUNLOCK TABLES;\n", f);
    std::fclose(f);
}

struct run_result {
    int status = -1;
    double seconds = 0;
    long max_rss_kb = 0;
    std::string out;
};

run_result run(const std::vector<std::string>& args, const std::string& input,
               const std::string& output) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(),
                                     O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    run_result result;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.max_rss_kb = usage.ru_maxrss;
    FILE* f = std::fopen(output.c_str(), "rb");
    if (f) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) result.out.append(buffer, n);
        std::fclose(f);
    }
    return result;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const std::string folder = argc > 2 ? argv[2] : (env("TMPDIR").empty() ? "/tmp" : env("TMPDIR"));
    const std::string host = env("VELT_TEST_MYSQL_HOST"), port = env("VELT_TEST_MYSQL_PORT"),
                      user = env("VELT_TEST_MYSQL_USER"), password = env("VELT_TEST_MYSQL_PASSWORD");
    if (host.empty() || port.empty()) {
        std::fprintf(stderr, "convert_bench needs the private server: source scripts/lib/mariadb.sh "
                             "and run velt_mariadb_start first.\n");
        return 1;
    }
    const bool keep = argc > 3 && std::strcmp(argv[3], "keep") == 0;
    const std::string base = folder + "/convert_bench_" + std::to_string(getpid());
    const std::string dump = base + ".dmp", script = base + ".sql", log = base + ".log";
    const std::vector<std::string> client = {"/usr/bin/mariadb", "--no-defaults",
                                             "--default-character-set=utf8mb4", "-h" + host,
                                             "-P" + port, "-u" + user, "-p" + password};
    auto sql = [&](const std::string& statement, const std::string& db = {}) {
        std::vector<std::string> a = client;
        a.push_back("--batch");
        a.push_back("--skip-column-names");
        a.push_back("-e");
        a.push_back(statement);
        if (!db.empty()) a.push_back(db);
        std::string out = run(a, "", log).out;
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    };

    std::printf("Generating a classic dump of %llu MB...\n", static_cast<unsigned long long>(megabytes));
    std::fflush(stdout);
    const uint64_t rows = write_dump(dump, megabytes * 1024 * 1024);
    std::printf("  %llu rows in %s\n", static_cast<unsigned long long>(rows), dump.c_str());

    sql("DROP DATABASE IF EXISTS veltbench");
    std::printf("VELTAGENT into veltbench...\n");
    std::fflush(stdout);
    const run_result agent =
        run({VELTAGENT_PATH, "--src=" + dump, "--dest=veltbench", "--mysqlh=" + host,
             "--port=" + port, "--mysqlu=" + user, "--mysqlp=" + password},
            "", log);
    if (agent.status != 0 || agent.out.find("Error:") != std::string::npos) {
        std::fprintf(stderr, "VELTAGENT failed (status %d):\n%s\n", agent.status, agent.out.c_str());
        return 1;
    }
    const std::string converted = sql("SELECT COUNT(*) FROM ORDERS", "veltbench");
    std::string create = sql("SHOW CREATE TABLE ORDERS", "veltbench");
    // "ORDERS\tCREATE TABLE ..." with the line breaks escaped by --batch.
    create = create.substr(create.find('\t') + 1);
    for (size_t p; (p = create.find("\\n")) != std::string::npos;) create.replace(p, 2, "\n");
    if (!keep) std::remove(dump.c_str());

    std::printf("Writing the same rows as a mysqldump-style script...\n");
    std::fflush(stdout);
    write_script(script, create, rows);
    sql("DROP DATABASE IF EXISTS veltbench_replay");
    sql("CREATE DATABASE veltbench_replay");
    std::printf("mariadb client replaying it into veltbench_replay...\n");
    std::fflush(stdout);
    std::vector<std::string> replay_args = client;
    replay_args.push_back("veltbench_replay");
    const run_result replay = run(replay_args, script, log);
    const std::string replayed = sql("SELECT COUNT(*) FROM ORDERS", "veltbench_replay");
    if (!keep) std::remove(script.c_str());
    sql("DROP DATABASE IF EXISTS veltbench");
    sql("DROP DATABASE IF EXISTS veltbench_replay");
    std::remove(log.c_str());
    if (replay.status != 0) {
        std::fprintf(stderr, "the replay failed (status %d):\n%s\n", replay.status, replay.out.c_str());
        return 1;
    }

    const double agent_rate = rows / agent.seconds, replay_rate = rows / replay.seconds;
    std::printf("\nrows: %llu (server counts: converted %s, replayed %s)\n",
                static_cast<unsigned long long>(rows), converted.c_str(), replayed.c_str());
    std::printf("VELTAGENT:       %8.1f s  %10.0f rows/s  peak memory %.1f MB\n", agent.seconds,
                agent_rate, agent.max_rss_kb / 1024.0);
    std::printf("mariadb replay:  %8.1f s  %10.0f rows/s\n", replay.seconds, replay_rate);
    std::printf("ratio VELTAGENT / replay: %.2f (aim: at most 1.30; peak memory under 64 MB)\n",
                agent.seconds / replay.seconds);
    return 0;
}
