// The script writer against a real server: a script replayed with the mariadb command-line client
// must give the same tables, indexes, foreign keys and rows as the server writer loading the same
// schema and records directly. Needs the private MariaDB server (VELT_TEST_MYSQL_*).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mysql.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dmp_database.h"
#include "error_handler.h"
#include "ole_variant.h"
#include "sql_database.h"
#include "sql_engine.h"
#include "sql_recordset.h"
#include "tk_text.h"
#include "udb_column.h"
#include "udb_field.h"
#include "udb_index.h"
#include "udb_record.h"
#include "udb_relationship.h"
#include "udb_schema.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct server_settings {
    std::string host, user, password;
    unsigned port = 0;
};

std::optional<server_settings> test_server() {
    const char* host = std::getenv("VELT_TEST_MYSQL_HOST");
    const char* port = std::getenv("VELT_TEST_MYSQL_PORT");
    const char* user = std::getenv("VELT_TEST_MYSQL_USER");
    const char* password = std::getenv("VELT_TEST_MYSQL_PASSWORD");
    if (!host || !port || !user || !password || !*host)
        return std::nullopt;
    return server_settings{host, user, password, static_cast<unsigned>(std::atoi(port))};
}

using cell = std::optional<std::string>;
using row_set = std::vector<std::vector<cell>>;

// A connection of the test's own, reading every cell as the bytes the server stores (utf8mb4).
class probe {
public:
    explicit probe(const server_settings& s) {
        m_mysql = mysql_init(nullptr);
        mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        if (!mysql_real_connect(m_mysql, s.host.c_str(), s.user.c_str(), s.password.c_str(),
                                nullptr, s.port, nullptr, 0)) {
            ADD_FAILURE() << "connect: " << mysql_error(m_mysql);
        }
    }
    ~probe() { mysql_close(m_mysql); }

    row_set rows(const std::string& sql) {
        row_set out;
        if (mysql_real_query(m_mysql, sql.data(), sql.size()) != 0) {
            ADD_FAILURE() << sql << ": " << mysql_error(m_mysql);
            return out;
        }
        MYSQL_RES* result = mysql_store_result(m_mysql);
        if (!result)
            return out;
        const unsigned n = mysql_num_fields(result);
        while (MYSQL_ROW r = mysql_fetch_row(result)) {
            const unsigned long* lengths = mysql_fetch_lengths(result);
            std::vector<cell> values;
            for (unsigned i = 0; i < n; ++i) {
                values.push_back(r[i] ? cell(std::string(r[i], lengths[i])) : std::nullopt);
            }
            out.push_back(std::move(values));
        }
        mysql_free_result(result);
        return out;
    }
    void run(const std::string& sql) { rows(sql); }

private:
    MYSQL* m_mysql;
};

// Fails the test on anything the writers report to the error handler.
class failing_front_end : public error_front_end {
public:
    void internal_error(const std::string& text) override { ADD_FAILURE() << text; }
    void report(error_handler&, int32_t level, const std::string& message, bool) override {
        ADD_FAILURE() << "level " << level << ": " << message;
    }
};

// Replays a script with the command-line client; returns its exit status and what it printed.
int replay(const server_settings& s, const fs::path& script, const std::vector<std::string>& extra,
           std::string& output) {
    const fs::path log = script.string() + ".log";
    std::vector<std::string> args = {
        "mariadb", "--no-defaults",  "-h", s.host, "-P", std::to_string(s.port), "-u",
        s.user,    "-p" + s.password};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, script.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "mariadb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        output = "cannot start mariadb";
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    output = text.str();
    fs::remove(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The replay session treats "utf8" as the 4-byte character set (MariaDB's old_mode without
// UTF8_IS_UTF8MB3), and the client sends the script as what it is: UTF-8.
const std::vector<std::string> utf8_replay = {"--default-character-set=utf8mb4",
                                              "--init-command=SET SESSION old_mode=''"};

// One table of the scenario: its structure and a way to make its records afresh (the server
// writer converts records in place).
struct table_def {
    std::u16string name;
    std::vector<udb_column> columns;
    udb_indexes indexes;
    std::vector<std::vector<ole_variant>> rows;
};

udb_column col(const char16_t* name, VARTYPE type, int32_t size, bool not_null = false,
               int32_t flags = 0, const ole_variant& def = ole_variant()) {
    return udb_column(size, name, type, not_null, false, def, flags);
}

ole_systemtime at(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0,
                  uint16_t s = 0) {
    ole_systemtime t{};
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    return t;
}

std::vector<uint8_t> big_blob() {
    // Larger than the 327,680 bytes a printed byte array is capped at.
    std::vector<uint8_t> bytes(400000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 31) ^ (i >> 9));
    return bytes;
}

const std::u16string nul_text(u"a\0b", 3);
const std::u16string non_bmp_text = u"\U0001F600 smile \u00e4\u4e2d";

std::vector<table_def> scenario() {
    std::vector<table_def> tables(2);
    table_def& dept = tables[0];
    dept.name = u"DEPT";
    dept.columns = {col(u"ID", VT_I4, 4, true), col(u"NAME", VT_BSTR, 40),
                    col(u"CODE", VT_BSTR, 10, true, 0, ole_variant(u"n/a"))};
    dept.indexes.add(udb_index{u"PK_DEPT", true, true, {u"ID"}});
    dept.rows = {{ole_variant(10), ole_variant(u"Sales"), ole_variant(u"S")},
                 {ole_variant(20), ole_variant(u"R&D 'lab'"), ole_variant()}};

    table_def& emp = tables[1];
    emp.name = u"EMP";
    emp.columns = {
        col(u"ID", VT_I4, 4, true),
        col(u"DEPT_ID", VT_I4, 4),
        col(u"NAME", VT_BSTR, 100),
        col(u"NOTE", VT_BSTR, 0),
        col(u"PHOTO", VT_BLOB, 0),
        col(u"HIRED", VT_DATE, 0, false, udb_column::date_only),
        col(u"UPDATED", VT_DATE, 0, false, udb_column::date_and_time),
        col(u"SALARY", VT_DECIMAL, 0, false, udb_column::decimal_flags(10, 2)),
        col(u"RATE", VT_R8, 8),
        col(u"X#Y", VT_I2, 2),
        col(u"BOSS", VT_I4, 4),
    };
    emp.indexes.add(udb_index{u"PK_EMP", true, true, {u"ID"}});
    emp.indexes.add(udb_index{u"IX_NAME", false, false, {u"NAME"}});
    emp.indexes.add(udb_index{u"UQ_XY", true, false, {u"X#Y", u"ID"}});
    emp.rows = {
        {ole_variant(1), ole_variant(10), ole_variant(u"O'Brien \\ back"),
         ole_variant(u"note with 'quotes', \\backslashes\\ and \"double\" quotes"),
         ole_variant(big_blob()), ole_variant(at(2004, 5, 6)), ole_variant(at(2004, 5, 6, 7, 8, 9)),
         ole_variant::from_string("1234.50", VT_DECIMAL), ole_variant(1.5),
         ole_variant(static_cast<short>(7)), ole_variant()},
        {ole_variant(2), ole_variant(), ole_variant(nul_text), ole_variant(non_bmp_text),
         ole_variant(std::vector<uint8_t>{0x00, 0xFF, 0x27, 0x5C}), ole_variant(), ole_variant(),
         ole_variant(), ole_variant(), ole_variant(), ole_variant(1)},
        {ole_variant(3), ole_variant(20), ole_variant(u""), ole_variant(), ole_variant(),
         ole_variant(at(1999, 12, 31)), ole_variant(at(2000, 1, 1, 23, 59, 58)),
         ole_variant::from_string("-0.01", VT_DECIMAL), ole_variant(-2.25e10),
         ole_variant(static_cast<short>(-1)), ole_variant(1)},
    };
    return tables;
}

std::vector<udb_relationship> scenario_keys() {
    return {
        {u"FK_EMP_DEPT", u"", u"EMP", u"DEPT", u"", {u"DEPT_ID"}, {u"ID"}},
        {u"FK_EMP_BOSS", u"", u"EMP", u"EMP", u"", {u"BOSS"}, {u"ID"}},
    };
}

// A key over a column that got a safe name (X#Y became X_Y), whose columns already lead the
// unique index UQ_XY.
std::vector<udb_relationship> renamed_column_keys() {
    return {{u"FK_EMP_XY", u"", u"EMP", u"EMP", u"", {u"X#Y", u"ID"}, {u"X#Y", u"ID"}}};
}

void load(udb_database& db, const std::vector<table_def>& tables) {
    for (const table_def& t : tables) {
        udb_schema schema(true);
        for (const udb_column& c : t.columns) schema.add(std::make_unique<udb_column>(c));
        std::unique_ptr<udb_recordset> rs = db.create_table(t.name, schema, t.indexes);
        ASSERT_NE(rs, nullptr);
        for (const std::vector<ole_variant>& values : t.rows) {
            udb_record record;
            for (size_t i = 0; i < values.size(); ++i) {
                record.add(std::make_unique<udb_field>(t.columns[i].name(), t.columns[i].size(),
                                                       values[i]));
            }
            rs->append_record(record);
        }
        if (auto* server = dynamic_cast<sql_recordset*>(rs.get()))
            server->clean();
    }
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class dmp_replay_test : public ::testing::Test {
protected:
    void SetUp() override {
        std::optional<server_settings> s = test_server();
        if (!s)
            GTEST_SKIP() << "no test server (VELT_TEST_MYSQL_HOST and the others)";
        m_server = *s;
        m_prefix = "velt_t" + std::to_string(getpid()) + "_";
        m_dir = fs::temp_directory_path() / (m_prefix + "scripts");
        fs::create_directories(m_dir);
        m_probe = std::make_unique<probe>(m_server);
        m_handler = std::make_unique<error_handler>(k_mysql_error_text_count, k_mysql_error_texts,
                                                    m_front_end);
        m_engine = std::make_unique<sql_engine>();
        m_engine->connect(m_server.host, m_server.user, m_server.password, m_server.port);
    }
    void TearDown() override {
        if (m_probe) {
            for (const std::string& db : m_databases)
                m_probe->run("DROP DATABASE IF EXISTS `" + db + "`");
        }
        m_engine.reset();
        m_handler.reset();
        m_probe.reset();
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    void load_both(const std::string& server_db, const std::string& script_db,
                   const std::vector<udb_relationship>& keys);

    std::string database(const std::string& suffix) {
        const std::string name = m_prefix + suffix;
        m_databases.push_back(name);
        m_probe->run("DROP DATABASE IF EXISTS `" + name + "`");
        return name;
    }

    server_settings m_server;
    std::string m_prefix;
    fs::path m_dir;
    std::vector<std::string> m_databases;
    failing_front_end m_front_end;
    std::unique_ptr<probe> m_probe;
    std::unique_ptr<error_handler> m_handler;
    std::unique_ptr<sql_engine> m_engine;
};

// Loads the tables and keys once through the server writer into `server_db` and once through a
// script (which creates `script_db` itself) replayed with the command-line client.
void dmp_replay_test::load_both(const std::string& server_db, const std::string& script_db,
                                const std::vector<udb_relationship>& keys) {
    const std::vector<table_def> tables = scenario();
    {
        std::unique_ptr<sql_database> db = m_engine->create_db(tk_from_utf8(server_db));
        load(*db, tables);
        db->create_relationships(keys);
    }
    const uint32_t server_version = m_engine->server_version();
    const fs::path script = m_dir / (script_db + ".sql");
    {
        dmp_settings settings;
        settings.b_create_db = true;
        settings.title = "Veltrane 4.1 ";
        std::unique_ptr<dmp_database> db =
            m_engine->create_dump(tk_from_utf8(script.string()), settings);
        load(*db, tables);
        db->create_relationships(keys);
        db->close();
    }
    m_engine->set_server_version(server_version);
    std::string output;
    ASSERT_EQ(replay(m_server, script, utf8_replay, output), 0) << output;
}

TEST_F(dmp_replay_test, replayed_script_equals_the_server_writer) {
    const std::string server_db = database("srv");
    const std::string script_db = database("dmp");
    ASSERT_NO_FATAL_FAILURE(load_both(server_db, script_db, scenario_keys()));

    for (const char* table : {"DEPT", "EMP"}) {
        SCOPED_TRACE(table);
        const auto both = [&](const std::string& sql_of_db) {
            return std::make_pair(m_probe->rows(sql_of_db + "`" + server_db + "`.`" + table + "`"),
                                  m_probe->rows(sql_of_db + "`" + script_db + "`.`" + table + "`"));
        };
        const auto columns = both("SHOW FULL COLUMNS FROM ");
        EXPECT_FALSE(columns.first.empty());
        EXPECT_EQ(columns.first, columns.second);
        auto indexes = both("SHOW INDEX FROM ");
        // The statistics of a fresh table may differ; the definition may not.
        for (auto* side : {&indexes.first, &indexes.second}) {
            for (auto& row : *side) row.at(6) = std::nullopt;
        }
        EXPECT_FALSE(indexes.first.empty());
        EXPECT_EQ(indexes.first, indexes.second);
        EXPECT_EQ(both("SHOW CREATE TABLE ").first, both("SHOW CREATE TABLE ").second);
        const auto data = both("SELECT * FROM ");
        EXPECT_FALSE(data.first.empty());
        EXPECT_EQ(data.first, data.second);
    }
    const auto keys = [&](const std::string& db) {
        return m_probe->rows(
            "SELECT CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, "
            "REFERENCED_TABLE_NAME, REFERENCED_COLUMN_NAME FROM "
            "information_schema.KEY_COLUMN_USAGE "
            "WHERE TABLE_SCHEMA = '" +
            db +
            "' AND REFERENCED_TABLE_NAME IS NOT NULL "
            "ORDER BY 1, 4");
    };
    EXPECT_EQ(keys(server_db).size(), 2u);
    EXPECT_EQ(keys(server_db), keys(script_db));

    // And both hold what was given, not merely the same thing.
    const row_set values = m_probe->rows(
        "SELECT ID, HEX(NAME), NOTE, PHOTO, HIRED, UPDATED, "
        "SALARY, `X_Y` FROM `" +
        script_db + "`.`EMP` ORDER BY ID");
    ASSERT_EQ(values.size(), 3u);
    const std::string blob = [] {
        const std::vector<uint8_t> b = big_blob();
        return std::string(b.begin(), b.end());
    }();
    EXPECT_EQ(values[0][1], hex("O'Brien \\ back"));
    EXPECT_EQ(values[0][3], blob);
    EXPECT_EQ(values[0][4], "2004-05-06");
    EXPECT_EQ(values[0][5], "2004-05-06 07:08:09");
    EXPECT_EQ(values[0][6], "1234.50");
    EXPECT_EQ(values[1][1], std::string("610062"));
    EXPECT_EQ(values[1][2], tk_to_utf8(non_bmp_text));
    EXPECT_EQ(values[1][3], std::string("\x00\xFF\x27\x5C", 4));
    EXPECT_EQ(values[1][4], std::nullopt);
    EXPECT_EQ(values[1][7], std::nullopt);
    EXPECT_EQ(values[2][1], std::string(""));
    EXPECT_EQ(values[2][2], std::nullopt);
    EXPECT_EQ(values[2][6], "-0.01");
    const row_set dept = m_probe->rows("SELECT CODE FROM `" + script_db + "`.`DEPT` ORDER BY ID");
    ASSERT_EQ(dept.size(), 2u);
    EXPECT_EQ(dept[1][0], "n/a");  // an empty value in a NOT NULL column takes the default
}

// Both writers must see that an index already leads with the key's columns, although the key
// names them by their source names and the table by their MySQL names.
TEST_F(dmp_replay_test, a_key_over_a_renamed_column_gets_no_second_index) {
    const std::string server_db = database("srvfk");
    const std::string script_db = database("dmpfk");
    ASSERT_NO_FATAL_FAILURE(load_both(server_db, script_db, renamed_column_keys()));
    const auto indexes = [&](const std::string& db) {
        return m_probe->rows(
            "SELECT INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME FROM "
            "information_schema.STATISTICS WHERE TABLE_SCHEMA = '" +
            db + "' AND TABLE_NAME = 'EMP' ORDER BY 1, 2");
    };
    EXPECT_EQ(indexes(script_db).size(), 4u);  // PRIMARY, IX_NAME and the two columns of UQ_XY
    EXPECT_EQ(indexes(server_db), indexes(script_db));
    const std::string fk_count =
        "SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS "
        "WHERE CONSTRAINT_SCHEMA = '";
    EXPECT_EQ(m_probe->rows(fk_count + script_db + "'").at(0).at(0), "1");
    EXPECT_EQ(m_probe->rows(fk_count + server_db + "'").at(0).at(0), "1");
}

// A 4-byte character in a column the script declares utf8 cannot be stored where utf8 means the
// 3-byte set (the servers' default); the replay must stop with the server's error rather than
// store something else.
TEST_F(dmp_replay_test, a_four_byte_character_on_a_three_byte_server_stops_the_replay) {
    const std::string script_db = database("mb3");
    const fs::path script = m_dir / (script_db + ".sql");
    {
        dmp_settings settings;
        settings.b_create_db = true;
        std::unique_ptr<dmp_database> db =
            m_engine->create_dump(tk_from_utf8(script.string()), settings);
        table_def t;
        t.name = u"T";
        t.columns = {col(u"ID", VT_I4, 4, true), col(u"TXT", VT_BSTR, 20)};
        t.rows = {{ole_variant(1), ole_variant(u"\u00e4")},
                  {ole_variant(2), ole_variant(non_bmp_text)}};
        load(*db, {t});
        db->close();
    }
    std::string output;
    EXPECT_NE(replay(m_server, script,
                     {"--default-character-set=utf8mb4",
                      "--init-command=SET SESSION old_mode='UTF8_IS_UTF8MB3'"},
                     output),
              0);
    EXPECT_NE(output.find("1366"), std::string::npos) << output;
    const row_set stored = m_probe->rows("SELECT ID, TXT FROM `" + script_db + "`.`T`");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][1], "\xC3\xA4");
}

}  // namespace
