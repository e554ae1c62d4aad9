// mysql_converter_impl: the MySQL half of the converter.
//
// Owns the process's MySQL engine (sql_engine), the four connection settings (host, user,
// password, port; narrow text as the client library takes them) and the dump-script settings,
// and offers what the front ends and the driver need on the MySQL side: connect, check a
// database name, test for and drop a database, store the connection settings, and the date
// post-processing that narrows a table's date columns after its rows. Its profile transfer covers
// the "MySQL settings" section.
//
// A part of velt2sql_convertor, living as long as it; used on one thread at a time (the engine's
// connection must not be shared).
#pragma once

#include <string>

#include "dmp_settings.h"
#include "sql_engine.h"

class types_map;
class udb_database;
class udb_profile;
class udb_schema;

class mysql_converter_impl {
public:
    static constexpr const char* default_port = "3306";

    // Builds the engine (not connected). Trace "mysql_converter_impl::ctor".
    mysql_converter_impl();
    mysql_converter_impl(const mysql_converter_impl&) = delete;
    mysql_converter_impl& operator=(const mysql_converter_impl&) = delete;
    // Trace "mysql_converter_impl::dtor"; the engine closes its connection.
    virtual ~mysql_converter_impl();

    sql_engine& engine() { return m_engine; }
    dmp_settings& dump_settings() { return m_dump; }
    const dmp_settings& dump_settings() const { return m_dump; }

    const std::string& host() const { return m_host; }
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    const std::string& port() const { return m_port; }
    void set_host(std::string host) { m_host = std::move(host); }
    void set_user(std::string user) { m_user = std::move(user); }
    void set_password(std::string password) { m_password = std::move(password); }
    void set_port(std::string port) { m_port = std::move(port); }

    // Connects the engine with the stored settings. Throws tk_exception (level 1) "Invalid port
    // number" for a port text that does not start with a non-zero number, and the engine's
    // sql_exception / sql_auth_not_supported_exception.
    void connect_mysql_server();
    // Throws tk_exception (level 1) with the advice text of the engine's version when the name is
    // no valid MySQL database name.
    void check_mysql_db_name(const std::u16string& name);
    // Whether the database exists (it is then the selected one). Never throws.
    bool is_mysql_base_exist(const std::u16string& name);
    // Drops the database; true once dropped. Throws sql_exception when the server refuses.
    bool del_mysql_base(const std::u16string& name);
    // Trims the four values (spaces) and stores them; an empty port becomes "3306".
    void store_mysql_settings(const std::string& host, const std::string& user,
                              const std::string& password, const std::string& port);

    // Narrows the date columns of one table after its rows: for each entry of `stats` whose kind
    // differs from the column's current type, one "ALTER TABLE ... MODIFY ..." through the
    // destination's recordset-returning query (so a server runs it and a script receives it).
    // `schema` is the destination table's schema (MySQL column names). Failures are only traced.
    // Returns the number of statements that went through.
    int date_post_process(udb_database& destination, const udb_schema& schema,
                          const types_map& stats);
    // The statement date_post_process runs for one entry, or an empty text when the column
    // keeps its type.
    std::u16string date_alter_statement(const std::u16string& table, const udb_schema& schema,
                                        int32_t column, int32_t kind, bool seen,
                                        int32_t current_kind);

    // "MySQL settings": host, user, password, port and the six dump keys (empty values change
    // nothing). Always true.
    bool load_profile(const udb_profile& profile);
    bool store_profile(udb_profile& profile) const;

    // The port text read as a decimal number the way the C library's atoi reads it (leading
    // blanks and a sign, then digits; no digits give 0), bounded to the 32-bit range.
    static long port_number(const std::string& text);

private:
    sql_engine m_engine;
    dmp_settings m_dump;
    std::string m_host;
    std::string m_user;
    std::string m_password;
    std::string m_port = default_port;
};
