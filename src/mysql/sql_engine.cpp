#include "sql_engine.h"

#include <errmsg.h>
#include <mysql.h>

#include <cstdio>
#include <cstdlib>

#include "dmp_database.h"
#include "sql_database.h"
#include "sql_exception.h"
#include "sql_new_validator.h"
#include "sql_old_validator.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

constexpr unsigned int k_connect_timeout = 10;

std::string utf8_of(std::u16string_view text) {
    std::string out;
    tk_append_utf8(out, text);
    return out;
}

}  // namespace

sql_engine::sql_engine() {
    initialize();
}

sql_engine::~sql_engine() {
    if (m_b_connected && !execute(std::string_view("SET FOREIGN_KEY_CHECKS = 1"))) {
        tk_trace(2, "Cannot turn ON foreign key check: %s", mysql_error(m_connection));
    }
    close();
}

void sql_engine::initialize() {
    tk_trace(1, "sql_engine::initialize");
    m_connection = mysql_init(nullptr);
    // Without a handle nothing can ever talk to a server: the client library is out of memory.
    TK_ASSERT(m_connection != nullptr);
    tk_trace(1, "sql_engine::initialize - 1");
    mysql_options(m_connection, MYSQL_READ_DEFAULT_GROUP, "QM MySQL Lib");
    tk_trace(1, "sql_engine::initialize - 2");
    mysql_options(m_connection, MYSQL_OPT_CONNECT_TIMEOUT, &k_connect_timeout);
    tk_trace(1, "sql_engine::initialize - END");
}

void sql_engine::close() {
    if (m_connection != nullptr) {
        mysql_close(m_connection);
        m_connection = nullptr;
    }
    m_b_connected = false;
}

void sql_engine::connect(const std::string& host, const std::string& user,
                         const std::string& password, uint32_t port) {
    tk_trace(2, "sql_engine::connect(%s,%s,%s)", host.c_str(), user.c_str(), password.c_str());
    if (m_b_connected) {
        tk_trace(2, "Connection was established already - disconnecting...");
        close();
        initialize();
    }
    tk_trace(3, "Connecting to MySQL server...");
    if (mysql_real_connect(m_connection, host.c_str(), user.c_str(), password.c_str(), nullptr,
                           port, nullptr, 0) == nullptr) {
        // Connector/C reports a server that does not answer (nothing listening, a wrong port)
        // as 2002, where the MySQL client library says 2003 (CR_CONN_HOST_ERROR); the error
        // texts and the advice for it are keyed on 2003.
        const unsigned number = mysql_errno(m_connection);
        sql_exception error = number == CR_CONNECTION_ERROR
                                  ? sql_exception(mysql_error(m_connection), CR_CONN_HOST_ERROR)
                                  : sql_exception(m_connection);
        // A failed attempt leaves the handle half-used: start the next one from a fresh handle.
        close();
        initialize();
        throw error;
    }
    m_b_connected = true;

    // The version decides the connection's character set, so it is read first: servers from
    // 5.5.3 on take the 4-byte form of UTF-8, which holds characters beyond the Basic
    // Multilingual Plane; older ones know only the 3-byte "utf8".
    const char* info = mysql_get_server_info(m_connection);
    int major = 0, minor = 0, patch = 0;
    const bool has_version = info != nullptr && *info != 0;
    const bool parsed = has_version && std::sscanf(info, "%d.%d.%d", &major, &minor, &patch) == 3;
    if (parsed) {
        m_server_version = sql_version(static_cast<uint32_t>(major), static_cast<uint32_t>(minor),
                                       static_cast<uint32_t>(patch));
    }

    tk_trace(3, "Setting UTF-8 collation...");
    const char* names =
        m_server_version >= sql_versions::utf8mb4 ? "SET NAMES utf8mb4" : "SET NAMES UTF8";
    if (!execute(std::string_view(names))) {
        tk_trace(3, "Failed");
        tk_trace(2, "Cannot set UTF-8 collation: %s", mysql_error(m_connection));
    }

    if (!has_version) {
        return;
    }
    tk_trace(2, "Got MySQL server version: %s", info);
    if (!parsed) {
        tk_trace(3, "Invalid MySQL version: %s", info);
        TK_FAIL();
    }
    tk_trace(1, "Hex version: %08X", m_server_version);
    if (m_server_version >= sql_versions::innodb_default) {
        m_table_type = innodb;
    }
    read_max_allowed_packet();
    if (m_server_version == sql_versions::new_syntax && !password.empty()) {
        throw sql_auth_not_supported_exception();
    }
    if (!execute(std::string_view("SET FOREIGN_KEY_CHECKS = 0"))) {
        tk_trace(2, "Cannot turn off foreign key check: %s", mysql_error(m_connection));
    }
}

void sql_engine::read_max_allowed_packet() {
    // SHOW VARIABLES works on every server version, unlike @@max_allowed_packet.
    static const char statement[] = "SHOW VARIABLES LIKE 'max_allowed_packet'";
    if (mysql_real_query(m_connection, statement, sizeof statement - 1) != 0) {
        tk_trace(2, "Cannot read max_allowed_packet: %s", mysql_error(m_connection));
        return;
    }
    MYSQL_RES* result = mysql_store_result(m_connection);
    if (result == nullptr) {
        return;
    }
    MYSQL_ROW row = mysql_fetch_row(result);
    if (row != nullptr && mysql_num_fields(result) >= 2 && row[1] != nullptr) {
        const unsigned long long bytes = std::strtoull(row[1], nullptr, 10);
        if (bytes > 0) {
            m_max_allowed_packet =
                bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
        }
    }
    mysql_free_result(result);
    tk_trace(1, "max_allowed_packet=%u", m_max_allowed_packet);
}

std::unique_ptr<sql_database> sql_engine::create_db(const std::u16string& name) {
    tk_wtrace(2, u"sql_engine::create_db (%s)", name.c_str());
    tk_wtrace(3, u"Creating MySQL database '%s'", name.c_str());
    if (!execute(u"CREATE DATABASE " + quote_name(name))) {
        raise_error();
    }
    return open_db(name, 2);
}

std::unique_ptr<sql_database> sql_engine::open_db(const std::u16string& name, int32_t mode) {
    tk_wtrace(2, u"sql_engine::open_db (%s)", name.c_str());
    tk_wtrace(3, u"Opening MySQL database '%s'", name.c_str());
    if (mysql_select_db(m_connection, utf8_of(name).c_str()) != 0) {
        raise_error();
    }
    return std::make_unique<sql_database>(name, mode, m_connection);
}

bool sql_engine::is_db_exist(const std::u16string& name) {
    tk_wtrace(1, u"sql_engine::is_db_exist(%s)", name.c_str());
    return mysql_select_db(m_connection, utf8_of(name).c_str()) == 0;
}

void sql_engine::db_delete(const std::u16string& name) {
    tk_wtrace(2, u"sql_engine::db_delete(%s)", name.c_str());
    tk_wtrace(3, u"Deleting MySQL database '%s'", name.c_str());
    if (!execute(std::string_view("SET FOREIGN_KEY_CHECKS = 0"))) {
        tk_trace(2, "Cannot turn off foreign key check: %s", mysql_error(m_connection));
    }
    if (!execute(u"DROP DATABASE " + quote_name(name))) {
        raise_error();
    }
    if (!execute(std::string_view("SET FOREIGN_KEY_CHECKS = 1"))) {
        tk_trace(2, "Cannot turn on foreign key check: %s", mysql_error(m_connection));
    }
}

std::unique_ptr<dmp_database> sql_engine::create_dump(const std::u16string& file,
                                                      const dmp_settings& settings) {
    tk_wtrace(2, u"sql_engine::create_dump (%s)", file.c_str());
    tk_wtrace(3, u"Creating MySQL dump file '%s'", file.c_str());
    return std::make_unique<dmp_database>(file, settings, *this);
}

std::unique_ptr<udb_validator> sql_engine::create_dn_validator() {
    tk_trace(1, "sql_engine::create_dn_validator");
    if (m_server_version >= sql_versions::new_syntax) {
        return std::make_unique<sql_new_validator>(true);
    }
    return std::make_unique<sql_old_dn_validator>();
}

std::unique_ptr<udb_validator> sql_engine::create_tn_validator(
    const std::vector<std::u16string>& tables, const std::vector<std::u16string>& existing) {
    tk_trace(1, "sql_engine::create_tn_validator");
    if (m_server_version >= sql_versions::new_syntax) {
        return std::make_unique<sql_new_tn_validator>(tables, existing);
    }
    return std::make_unique<sql_old_tn_validator>(tables, existing);
}

std::unique_ptr<udb_validator> sql_engine::create_fn_validator(const udb_schema& schema) {
    tk_trace(1, "sql_engine::create_fn_validator");
    if (m_server_version >= sql_versions::new_syntax) {
        return std::make_unique<sql_new_fn_validator>(schema);
    }
    return std::make_unique<sql_old_fn_validator>(schema);
}

std::unique_ptr<udb_validator> sql_engine::create_in_validator(const udb_indexes& indexes) {
    tk_trace(1, "sql_engine::create_in_validator");
    if (m_server_version >= sql_versions::new_syntax) {
        return std::make_unique<sql_new_in_validator>(indexes);
    }
    return std::make_unique<sql_old_in_validator>(indexes);
}

std::u16string sql_engine::quote_name(std::u16string_view name) const {
    if (m_server_version < sql_versions::new_syntax) {
        return std::u16string(name);
    }
    std::u16string quoted;
    quoted.reserve(name.size() + 2);
    quoted.push_back(u'`');
    for (char16_t c : name) {
        if (c == u'`') {
            quoted.push_back(u'`');
        }
        quoted.push_back(c);
    }
    quoted.push_back(u'`');
    return quoted;
}

void sql_engine::append_quoted_name(std::string& out, std::u16string_view name) const {
    tk_append_utf8(out, quote_name(name));
}

const char* sql_engine::text_charset() const {
    return m_server_version >= sql_versions::utf8mb4 ? "utf8mb4" : "utf8";
}

bool sql_engine::execute(std::string_view statement) {
    if (mysql_real_query(m_connection, statement.data(), statement.size()) != 0) {
        return false;
    }
    // Statements that return rows (SHOW, SELECT) must be read out before the next one.
    if (mysql_field_count(m_connection) != 0) {
        MYSQL_RES* result = mysql_use_result(m_connection);
        if (result != nullptr) {
            mysql_free_result(result);
        }
    }
    return true;
}

bool sql_engine::execute(std::u16string_view statement) {
    return execute(utf8_of(statement));
}

void sql_engine::raise_error() const {
    throw sql_exception(m_connection);
}
