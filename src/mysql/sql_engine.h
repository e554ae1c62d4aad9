// sql_engine: the one object that talks to the MySQL client library (MariaDB Connector/C).
//
// It owns the single client connection of the process, connects and learns the server's version,
// creates, opens, tests and drops databases, and hands out the name validators that fit the
// version. Every other part of the MySQL side reaches the connection, the version and the name
// quoting through it. server_version() is also the switch between the syntax of servers before
// 4.1 ("old") and from 4.1 on ("new"); the script writer sets it itself so that the same switches
// shape the script.
//
// One instance per process (tk_single_instance): the MySQL converter holds it as a member. It is
// used by one thread at a time (the conversion thread, or the wizard's thread while it tests a
// connection); the connection must not be shared between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tk_single_instance.h"

struct st_mysql;
struct dmp_settings;
class dmp_database;
class sql_database;
class udb_indexes;
class udb_schema;
class udb_validator;

// major.minor.patch as the engine stores versions: major * 65536 + minor * 256 + patch.
constexpr uint32_t sql_version(uint32_t major, uint32_t minor, uint32_t patch) {
    return major * 65536 + minor * 256 + patch;
}

// The version thresholds of the MySQL side.
namespace sql_versions {
constexpr uint32_t not_null_index_columns = sql_version(3, 23, 2);  // below: index columns NOT NULL
constexpr uint32_t innodb_tables = sql_version(3, 23, 35);   // below: tables are always MyISAM
constexpr uint32_t innodb_default = sql_version(3, 23, 44);  // InnoDB by default, foreign keys
constexpr uint32_t engine_keyword = sql_version(4, 0, 22);   // above: "ENGINE=" not "TYPE="
constexpr uint32_t new_syntax = sql_version(4, 1, 0);        // backquotes, new validators
constexpr uint32_t utf8mb4 = sql_version(5, 5, 3);           // 4-byte UTF-8 character set
}  // namespace sql_versions

class sql_engine : public tk_single_instance<sql_engine> {
public:
    // Storage engines of new tables (table_type()).
    static constexpr int32_t myisam = 0;
    static constexpr int32_t innodb = 1;

    // Prepares the connection handle (initialize()); does not connect.
    sql_engine();
    // When connected: "SET FOREIGN_KEY_CHECKS = 1" (a failure is only traced), then closes.
    virtual ~sql_engine();

    // Connects to the server (closing an earlier connection first), reads the version, sets the
    // connection's character set and switches foreign-key checks off. Throws sql_exception when
    // the server refuses (codes 1045, 2003, 2005, ...), sql_auth_not_supported_exception for a
    // 4.1.0 server with a non-empty password (the connection then stays open), and fails an
    // assertion on a version text that does not read as major.minor.patch.
    void connect(const std::string& host, const std::string& user, const std::string& password,
                 uint32_t port);

    // "CREATE DATABASE" and then open_db(name, 2). Throws sql_exception. The caller owns the
    // result.
    virtual std::unique_ptr<sql_database> create_db(const std::u16string& name);
    // Selects the database and returns a new sql_database over it (which lists its tables).
    // Throws sql_exception. The caller owns the result.
    virtual std::unique_ptr<sql_database> open_db(const std::u16string& name, int32_t mode);
    // "DROP DATABASE" between foreign-key checks off and on. Throws sql_exception when the drop
    // fails.
    virtual void db_delete(const std::u16string& name);
    // True when the database can be selected (and it is then the selected one). Never throws.
    virtual bool is_db_exist(const std::u16string& name);

    // A new dump-script database writing to the file (an existing file is emptied). The caller
    // owns it; it borrows this engine, which must outlive it.
    std::unique_ptr<dmp_database> create_dump(const std::u16string& file,
                                              const dmp_settings& settings);

    // Name validators for the version: the "new" kind from 4.1.0, the "old" kind before. The
    // caller owns the validator.
    std::unique_ptr<udb_validator> create_dn_validator();
    std::unique_ptr<udb_validator> create_tn_validator(const std::vector<std::u16string>& tables,
                                                       const std::vector<std::u16string>& existing);
    std::unique_ptr<udb_validator> create_fn_validator(const udb_schema& schema);
    std::unique_ptr<udb_validator> create_in_validator(const udb_indexes& indexes);

    // The name as a statement writes it: from 4.1.0 enclosed in backquotes, every backquote
    // inside doubled (so no name can end the quoting); unchanged before 4.1.0.
    std::u16string quote_name(std::u16string_view name) const;
    // The same, appended to a UTF-8 statement buffer.
    void append_quoted_name(std::string& out, std::u16string_view name) const;
    // The character set of text columns and of the connection: "utf8mb4" from 5.5.3, "utf8"
    // before (which on those servers holds only the Basic Multilingual Plane).
    const char* text_charset() const;

    // Sends one statement of `size` bytes whole (NUL bytes included): true on success. Any result
    // it produces is read and discarded. The error stays readable through last_error().
    bool execute(std::string_view statement);
    // The statement in UTF-8, every code unit kept.
    bool execute(std::u16string_view statement);
    // Throws the connection's last error as sql_exception.
    [[noreturn]] void raise_error() const;

    st_mysql* connection() const { return m_connection; }
    bool b_connected() const { return m_b_connected; }
    uint32_t server_version() const { return m_server_version; }
    void set_server_version(uint32_t version) { m_server_version = version; }
    int32_t table_type() const { return m_table_type; }
    void set_table_type(int32_t type) { m_table_type = type; }
    bool b_case_sensitive() const { return m_b_case_sensitive; }
    void set_case_sensitive(bool on) { m_b_case_sensitive = on; }
    // A "LOCK TABLES" statement is open in the dump script (the script writer's state).
    bool b_lock_open() const { return m_b_lock_open; }
    void set_lock_open(bool open) { m_b_lock_open = open; }
    // The largest statement the server accepts, in bytes (its max_allowed_packet; 1 MiB, the
    // old servers' default, until a connection tells otherwise).
    uint32_t max_allowed_packet() const { return m_max_allowed_packet; }
    void set_max_allowed_packet(uint32_t bytes) { m_max_allowed_packet = bytes; }

private:
    void initialize();
    void close();
    void read_max_allowed_packet();

    bool m_b_lock_open = false;
    bool m_b_connected = false;
    bool m_b_case_sensitive = false;
    uint32_t m_server_version = 0;
    st_mysql* m_connection = nullptr;
    int32_t m_table_type = myisam;
    uint32_t m_max_allowed_packet = 1024 * 1024;
};
