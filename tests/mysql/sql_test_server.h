// Support for the tests that run against the private MariaDB server: the connection settings from
// VELT_TEST_MYSQL_*, a fixture that connects sql_engine and makes a database of its own (unique per
// test process, dropped at the end), a probe connection of the test's own that reads what the
// server really stores, and an error front end that records what the error_handler reports.
#pragma once

#include <gtest/gtest.h>
#include <mysql.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "error_handler.h"
#include "sql_database.h"
#include "sql_engine.h"
#include "tk_text.h"
#include "udb_field.h"
#include "udb_record.h"

namespace sql_test {

struct server_settings {
    std::string host, user, password;
    unsigned port = 0;
};

inline std::optional<server_settings> test_server() {
    const char* host = std::getenv("VELT_TEST_MYSQL_HOST");
    const char* port = std::getenv("VELT_TEST_MYSQL_PORT");
    const char* user = std::getenv("VELT_TEST_MYSQL_USER");
    const char* password = std::getenv("VELT_TEST_MYSQL_PASSWORD");
    if (!host || !port || !user || !password || !*host)
        return std::nullopt;
    return server_settings{host, user, password, static_cast<unsigned>(std::atoi(port))};
}

// A name unique to this test process.
inline std::string unique_name(const std::string& what) {
    return "velt_t" + std::to_string(getpid()) + "_" + what;
}

using cell = std::optional<std::string>;
using rows = std::vector<std::vector<cell>>;

// A connection of the test's own, independent of sql_engine.
class probe {
public:
    probe(const server_settings& s, const std::string& database) {
        m_mysql = mysql_init(nullptr);
        if (!mysql_real_connect(m_mysql, s.host.c_str(), s.user.c_str(), s.password.c_str(),
                                database.empty() ? nullptr : database.c_str(), s.port, nullptr,
                                0)) {
            ADD_FAILURE() << "probe connection: " << mysql_error(m_mysql);
        }
        mysql_set_character_set(m_mysql, "utf8mb4");
    }
    ~probe() { mysql_close(m_mysql); }
    probe(const probe&) = delete;
    probe& operator=(const probe&) = delete;

    rows query(const std::string& statement) {
        rows out;
        if (mysql_real_query(m_mysql, statement.data(), statement.size()) != 0) {
            ADD_FAILURE() << statement << ": " << mysql_error(m_mysql);
            return out;
        }
        MYSQL_RES* result = mysql_store_result(m_mysql);
        if (result == nullptr)
            return out;
        const unsigned n = mysql_num_fields(result);
        while (MYSQL_ROW row = mysql_fetch_row(result)) {
            const unsigned long* lengths = mysql_fetch_lengths(result);
            std::vector<cell> r;
            for (unsigned i = 0; i < n; ++i) {
                if (row[i]) {
                    r.emplace_back(std::string(row[i], lengths[i]));
                } else {
                    r.emplace_back(std::nullopt);
                }
            }
            out.push_back(std::move(r));
        }
        mysql_free_result(result);
        return out;
    }
    std::string scalar(const std::string& statement) {
        const rows r = query(statement);
        if (r.empty() || r[0].empty() || !r[0][0])
            return "";
        return *r[0][0];
    }
    long long count(const std::string& table) {
        return std::atoll(scalar("SELECT COUNT(*) FROM `" + table + "`").c_str());
    }

private:
    MYSQL* m_mysql = nullptr;
};

// Records every report of the error_handler.
class recording_front_end : public error_front_end {
public:
    struct report_entry {
        int32_t level;
        std::string message;
    };
    void internal_error(const std::string& text) override { internal.push_back(text); }
    void report(error_handler&, int32_t level, const std::string& message, bool) override {
        reports.push_back({level, message});
    }
    std::vector<report_entry> reports;
    std::vector<std::string> internal;
};

// A record of named values.
inline std::unique_ptr<udb_record> make_record(
    const std::vector<std::pair<std::u16string, ole_variant>>& values) {
    auto record = std::make_unique<udb_record>();
    for (const auto& [name, value] : values) {
        record->add(std::make_unique<udb_field>(name, 0, value));
    }
    return record;
}

// Connects the engine and creates a database of the test's own.
class server_test : public ::testing::Test {
protected:
    void SetUp() override {
        const auto s = test_server();
        if (!s)
            GTEST_SKIP() << "VELT_TEST_MYSQL_* not set: no test server";
        settings = *s;
        engine = std::make_unique<sql_engine>();
        engine->connect(settings.host, settings.user, settings.password, settings.port);
        engine->set_table_type(sql_engine::innodb);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        db_name = unique_name(std::string(info->name()).substr(0, 30));
        probe admin(settings, "");
        admin.query("DROP DATABASE IF EXISTS `" + db_name + "`");
        db = engine->create_db(tk_from_utf8(db_name));
        check = std::make_unique<probe>(settings, db_name);
        handler = std::make_unique<error_handler>(k_mysql_error_text_count, k_mysql_error_texts,
                                                  front_end);
    }
    void TearDown() override {
        handler.reset();
        check.reset();
        db.reset();
        if (engine) {
            probe admin(settings, "");
            admin.query("DROP DATABASE IF EXISTS `" + db_name + "`");
        }
        engine.reset();
    }

    server_settings settings;
    std::unique_ptr<sql_engine> engine;
    std::string db_name;
    std::unique_ptr<sql_database> db;
    std::unique_ptr<probe> check;
    recording_front_end front_end;
    std::unique_ptr<error_handler> handler;
};

}  // namespace sql_test
