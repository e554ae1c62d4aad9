// sql_engine against the private MariaDB server: connections, the version, the connection's
// character set, databases.
#include <gtest/gtest.h>

#include <cstdio>

#include "sql_exception.h"
#include "sql_test_server.h"

using namespace sql_test;

namespace {

class engine_test : public ::testing::Test {
protected:
    void SetUp() override {
        const auto s = test_server();
        if (!s)
            GTEST_SKIP() << "VELT_TEST_MYSQL_* not set: no test server";
        settings = *s;
        engine = std::make_unique<sql_engine>();
    }
    server_settings settings;
    std::unique_ptr<sql_engine> engine;
};

TEST_F(engine_test, connects_and_reads_the_servers_own_version) {
    engine->connect(settings.host, settings.user, settings.password, settings.port);
    EXPECT_TRUE(engine->b_connected());
    probe p(settings, "");
    int major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(p.scalar("SELECT VERSION()").c_str(), "%d.%d.%d", &major, &minor, &patch),
              3);
    EXPECT_EQ(engine->server_version(), sql_version(major, minor, patch));
    EXPECT_GE(engine->server_version(), sql_version(10, 0, 0));  // MariaDB, not 5.5.5
    EXPECT_EQ(engine->table_type(), sql_engine::innodb);
    EXPECT_GE(engine->max_allowed_packet(), 1024u * 1024u);
    EXPECT_STREQ(engine->text_charset(), "utf8mb4");
}

TEST_F(engine_test, the_connection_speaks_utf8mb4_without_foreign_key_checks) {
    engine->connect(settings.host, settings.user, settings.password, settings.port);
    MYSQL* c = engine->connection();
    ASSERT_EQ(mysql_query(c, "SELECT @@character_set_connection, @@foreign_key_checks"), 0);
    MYSQL_RES* r = mysql_store_result(c);
    MYSQL_ROW row = mysql_fetch_row(r);
    EXPECT_STREQ(row[0], "utf8mb4");
    EXPECT_STREQ(row[1], "0");
    mysql_free_result(r);
}

TEST_F(engine_test, bad_credentials_and_ports_arrive_as_sql_exception) {
    try {
        engine->connect(settings.host, settings.user, settings.password + "wrong", settings.port);
        FAIL() << "a wrong password connected";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), mysql_error_flag | 1045);
        EXPECT_EQ(e.level(), 0);
        EXPECT_NE(e.text().find("Access denied"), std::string::npos);
    }
    EXPECT_FALSE(engine->b_connected());
    // Port 1 on the loopback: nothing listens there.
    try {
        engine->connect("127.0.0.1", settings.user, settings.password, 1);
        FAIL() << "port 1 connected";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), mysql_error_flag | 2003);
    }
    // The handle is still good for a proper connection afterwards.
    engine->connect(settings.host, settings.user, settings.password, settings.port);
    EXPECT_TRUE(engine->b_connected());
}

TEST_F(engine_test, connecting_twice_closes_the_first_connection) {
    engine->connect(settings.host, settings.user, settings.password, settings.port);
    const unsigned long first = mysql_thread_id(engine->connection());
    engine->connect(settings.host, settings.user, settings.password, settings.port);
    const unsigned long second = mysql_thread_id(engine->connection());
    EXPECT_NE(first, second);
    probe p(settings, "");
    EXPECT_TRUE(
        p.query("SELECT ID FROM information_schema.PROCESSLIST WHERE ID = " + std::to_string(first))
            .empty());
}

TEST_F(engine_test, creates_tests_opens_and_drops_databases) {
    engine->connect(settings.host, settings.user, settings.password, settings.port);
    // A space and a backquote in the name: the quoting must hold.
    const std::u16string name = tk_from_utf8(unique_name("my `db"));
    EXPECT_FALSE(engine->is_db_exist(name));
    {
        auto db = engine->create_db(name);
        ASSERT_NE(db, nullptr);
        EXPECT_EQ(db->name(), name);
        EXPECT_TRUE(db->table_names().empty());
    }
    EXPECT_TRUE(engine->is_db_exist(name));
    EXPECT_THROW(engine->create_db(name), sql_exception);  // 1007: exists
    {
        auto db = engine->open_db(name, 0);
        EXPECT_TRUE(db->query(u"CREATE TABLE t1 (a INT)"));
    }
    EXPECT_EQ(engine->open_db(name, 0)->table_names(), std::vector<std::u16string>{u"t1"});
    engine->db_delete(name);
    EXPECT_FALSE(engine->is_db_exist(name));
    EXPECT_THROW(engine->db_delete(name), sql_exception);
    EXPECT_THROW(engine->open_db(name, 0), sql_exception);
}

}  // namespace
