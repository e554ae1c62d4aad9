// mysql_insert_bench: loading rows through sql_recordset against replaying the same rows with the
// mariadb command-line client, on the private MariaDB server (VELT_TEST_MYSQL_*; start one with
// `source scripts/lib/mariadb.sh; velt_mariadb_start`).
//
// It generates rows of five mixed columns (INT, VARCHAR(40) with apostrophes and non-ASCII text,
// DECIMAL(12,2), DATETIME, DOUBLE), appends them through sql_recordset into one InnoDB table and
// times that; then writes the same rows as a mysqldump-style script of extended INSERT statements
// of about 300,000 characters each into a second database and times the client's replay. It
// prints both times and their ratio (ours / client).
//
// Usage: mysql_insert_bench [rows (default 1000000)] [rounds (default 2)]
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "ole_decimal.h"
#include "ole_variant.h"
#include "sql_database.h"
#include "sql_engine.h"
#include "sql_recordset.h"
#include "sql_util.h"
#include "tk_text.h"
#include "udb_column.h"
#include "udb_field.h"
#include "udb_record.h"
#include "udb_schema.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

const char16_t* const k_words[] = {u"Müller", u"O'Brien", u"Łódź",  u"Smith",
                                   u"東京",   u"Nørby",   u"d'Arc", u"Ivanov"};

// Fills the five values of row i (the same values on every run).
void fill_row(udb_record& record, int32_t i) {
    record[0].set_value(ole_variant(i));
    std::u16string name = k_words[i % 8];
    name += u' ';
    name += k_words[(i / 8) % 8];
    name += u" #";
    name += tk_widen_ascii(std::to_string(i));
    record[1].set_value(ole_variant(std::move(name)));
    char amount[32];
    std::snprintf(amount, sizeof amount, "%d.%02d", (i * 37) % 1000000, i % 100);
    record[2].set_value(ole_variant::from_string(amount, VT_DECIMAL));
    ole_systemtime when;
    when.year = static_cast<uint16_t>(1990 + i % 30);
    when.month = static_cast<uint16_t>(1 + i % 12);
    when.day = static_cast<uint16_t>(1 + i % 28);
    when.hour = static_cast<uint16_t>(i % 24);
    when.minute = static_cast<uint16_t>(i % 60);
    when.second = static_cast<uint16_t>((i / 7) % 60);
    record[3].set_value(ole_variant(when));
    record[4].set_value(ole_variant(i / 7.0));
}

std::unique_ptr<udb_record> make_row() {
    auto record = std::make_unique<udb_record>();
    for (const char16_t* name : {u"ID", u"NAME", u"AMOUNT", u"CREATED", u"RATIO"}) {
        record->add(std::make_unique<udb_field>(name, 0, ole_variant()));
    }
    return record;
}

void add_columns(udb_schema& schema) {
    schema.add(std::make_unique<udb_column>(4, u"ID", VT_I4, true, false, ole_variant(), 0));
    schema.add(std::make_unique<udb_column>(40, u"NAME", VT_BSTR, false, false, ole_variant(), 0));
    schema.add(std::make_unique<udb_column>(0, u"AMOUNT", VT_DECIMAL, false, false, ole_variant(),
                                            udb_column::decimal_flags(12, 2)));
    schema.add(
        std::make_unique<udb_column>(0, u"CREATED", VT_DATE, false, false, ole_variant(), 1));
    schema.add(std::make_unique<udb_column>(0, u"RATIO", VT_R8, false, false, ole_variant(), 0));
}

int run_client(const std::string& host, const std::string& port, const std::string& user,
               const std::string& password, const std::string& database,
               const std::string& script) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(script.c_str(), O_RDONLY);
        if (fd < 0 || dup2(fd, 0) < 0)
            _exit(127);
        const std::string password_option = "--password=" + password;
        execlp("mariadb", "mariadb", "--no-defaults", "-h", host.c_str(), "-P", port.c_str(), "-u",
               user.c_str(), password_option.c_str(), database.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double load_ours(sql_engine& engine, const std::u16string& name, int32_t rows) {
    auto db = engine.create_db(name);
    udb_schema schema(true);
    add_columns(schema);
    auto table = db->create_table(u"T", schema, udb_indexes());
    auto record = make_row();
    double generating = 0;
    const auto start = clock_type::now();
    for (int32_t i = 0; i < rows; ++i) {
        const auto before = clock_type::now();
        fill_row(*record, i);
        generating += seconds_since(before);
        table->append_record(*record);
    }
    static_cast<sql_recordset&>(*table).clean();
    return seconds_since(start) - generating;
}

void write_script(const std::string& script, int32_t rows) {
    udb_schema schema(true);
    add_columns(schema);
    std::ofstream out(script, std::ios::binary);
    out << "SET NAMES utf8mb4;\n";
    out << "CREATE TABLE `T` (`ID` INT NOT NULL, `NAME` VARCHAR(40) CHARACTER SET utf8mb4, "
           "`AMOUNT` DECIMAL(12,2), `CREATED` DATETIME, `RATIO` DOUBLE) ENGINE=InnoDB;\n";
    auto record = make_row();
    std::string statement;
    std::string row;
    for (int32_t i = 0; i < rows; ++i) {
        fill_row(*record, i);
        row = "(";
        for (size_t c = 0; c < schema.size(); ++c) {
            if (c > 0)
                row += ',';
            append_fld_literal(row, (*record)[c], schema[c]);
        }
        row += ')';
        if (statement.empty()) {
            statement = "INSERT INTO `T` VALUES ";
        } else {
            statement += ',';
        }
        statement += row;
        if (statement.size() >= 300000) {
            out << statement << ";\n";
            statement.clear();
        }
    }
    if (!statement.empty())
        out << statement << ";\n";
}

int32_t count_rows(sql_engine& engine, const std::u16string& name) {
    auto db = engine.open_db(name, 0);
    auto counted = db->query_records(u"SELECT COUNT(*) FROM `T`");
    counted->reset();
    return (*counted->get_item())[0].to_long();
}

}  // namespace

int main(int argc, char** argv) {
    const int32_t rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    const char* host = std::getenv("VELT_TEST_MYSQL_HOST");
    const char* port = std::getenv("VELT_TEST_MYSQL_PORT");
    const char* user = std::getenv("VELT_TEST_MYSQL_USER");
    const char* password = std::getenv("VELT_TEST_MYSQL_PASSWORD");
    if (!host || !port || !user || !password) {
        std::fprintf(stderr,
                     "mysql_insert_bench needs a server: run `source scripts/lib/mariadb.sh; "
                     "velt_mariadb_start` first (it sets VELT_TEST_MYSQL_*).\n");
        return 2;
    }
    sql_engine engine;
    engine.connect(host, user, password, static_cast<uint32_t>(std::atoi(port)));
    engine.set_table_type(sql_engine::innodb);
    const std::string prefix = "velt_bench_" + std::to_string(getpid());
    const std::u16string ours_db = tk_from_utf8(prefix + "_ours");
    const std::u16string client_db = tk_from_utf8(prefix + "_client");
    const std::string script =
        (std::filesystem::temp_directory_path() / (prefix + ".sql")).string();
    std::printf(
        "Rows: %d of five columns (INT, VARCHAR(40), DECIMAL(12,2), DATETIME, DOUBLE), "
        "%d rounds, best of each\n",
        rows, rounds);
    write_script(script, rows);
    std::printf("Script: %.1f MB of extended INSERT statements of about 300,000 bytes\n",
                static_cast<double>(std::filesystem::file_size(script)) / 1e6);

    double best_ours = 1e300, best_client = 1e300;
    int status = 0;
    for (int round = 0; round < rounds && status == 0; ++round) {
        // Alternate which goes first, so that neither always meets a cold server.
        for (int turn = 0; turn < 2 && status == 0; ++turn) {
            if ((turn == 0) == (round % 2 == 0)) {
                const double t = load_ours(engine, ours_db, rows);
                const int32_t n = count_rows(engine, ours_db);
                engine.db_delete(ours_db);
                std::printf("  round %d  sql_recordset  %.2f s  (%d rows)\n", round + 1, t, n);
                if (n != rows)
                    status = 1;
                best_ours = std::min(best_ours, t);
            } else {
                engine.create_db(client_db).reset();
                const auto start = clock_type::now();
                status = run_client(host, port, user, password, tk_to_utf8(client_db), script);
                const double t = seconds_since(start);
                const int32_t n = count_rows(engine, client_db);
                engine.db_delete(client_db);
                std::printf("  round %d  mariadb client %.2f s  (%d rows)\n", round + 1, t, n);
                if (n != rows)
                    status = 1;
                best_client = std::min(best_client, t);
            }
        }
    }
    std::filesystem::remove(script);
    if (status != 0) {
        std::fprintf(stderr, "a load failed or lost rows\n");
        return 1;
    }
    std::printf("sql_recordset:            %.2f s (%.0f rows/s)\n", best_ours, rows / best_ours);
    std::printf("mariadb client replay:    %.2f s (%.0f rows/s)\n", best_client,
                rows / best_client);
    std::printf("ratio (ours / client):    %.3f\n", best_ours / best_client);
    return 0;
}
