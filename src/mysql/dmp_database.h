// dmp_database: a MySQL dump script as the destination of a conversion.
//
// The udb_database that writes a text file of SQL statements (UTF-8) which the MySQL command-line
// client replays: an optional comment header, an optional DROP/CREATE DATABASE and USE, and per
// table an optional DROP TABLE / CREATE TABLE, LOCK TABLES ... WRITE, one INSERT per row
// (dmp_recordset) and UNLOCK TABLES; after the last table the foreign keys. The column and index
// clauses come from sql_schema_initializer and sql_indexes_initializer and the value literals from
// sql_util, exactly as on a server, so a table looks the same in the script as on the server.
// The target syntax ("new" for MySQL 4.1 and later, "old" before) is installed as the engine's
// server_version, so every version switch of the shared code follows it; the character set of
// text columns is therefore the one the 4.1 syntax names (utf8).
//
// Made by sql_engine::create_dump and owned by the caller; it borrows the engine, which must
// outlive it, and its recordsets borrow it. The open-lock state (a LOCK TABLES not yet followed
// by UNLOCK TABLES) lives in the engine, so that whoever writes next closes the lock first.
//
// Errors: a script that cannot be created or written raises tk_exception of level 1 naming the
// file and the system's reason, from the constructor and from every operation that writes. The
// owner calls close() at the end of the conversion to learn whether the whole script reached the
// disk; the destructor closes quietly.
//
// One thread (the conversion's).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dmp_file.h"
#include "dmp_settings.h"
#include "udb_database.h"

class sql_engine;

class dmp_database : public udb_database {
public:
    // Creates (truncates) the script file, sets the engine's server_version from the settings
    // (4.1.0 or 3.20.1) and writes the header and the database statements the settings ask for.
    // Throws tk_exception (level 1) when the file cannot be created or written.
    dmp_database(std::u16string path, const dmp_settings& settings, sql_engine& engine);
    // Closes an open lock and the file; failures are only traced (close() reports them).
    ~dmp_database() override;

    // Writes the table's structure (as the settings ask) and opens its rows; returns the
    // dmp_recordset that writes them, owned by the caller. A table written before is an assertion
    // failure. Throws tk_exception (level 1) when the file cannot be written.
    std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // A script cannot be read: assertion failure.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name,
                                             int32_t open_flags) override;
    // A script holds no queries: nullptr.
    std::unique_ptr<udb_recordset> get_query(const std::u16string& name,
                                             const std::u16string& query_text,
                                             int32_t reserved) override;
    // Writes nothing and answers false: a statement whose success matters cannot run here.
    bool query(const std::u16string& statement) override;
    // Writes the statement (after closing an open lock) followed by ";" and returns nullptr.
    // Throws tk_exception (level 1) when the file cannot be written.
    std::unique_ptr<udb_recordset> query_records(const std::u16string& statement) override;
    // Writes the foreign keys (new syntax only), each after an index on its child columns unless
    // the child table was created with one; keys whose child or parent table is not in this
    // script are left out. Throws tk_exception (level 1) when the file cannot be written.
    void create_relationships(const std::vector<udb_relationship>& relationships) override;

    // Closes an open lock, writes everything buffered and closes the file. Throws tk_exception
    // (level 1) when any part of the script could not be written. A second call does nothing.
    void close();

    const dmp_settings& settings() const { return m_settings; }
    sql_engine& engine() const { return m_engine; }
    // For the recordsets: the file and the line-break sequence.
    dmp_file& file() { return m_file; }
    std::string_view line_end() const { return m_line_end; }

    // The database name a script file implies: its file name without folder and extension.
    static std::u16string database_name_of(const std::u16string& path);

private:
    void write_header();
    void write_create_database();
    void close_lock();
    // Writes the text and the line break.
    void line(std::string_view text);
    void line(const std::u16string& text);
    void line() { m_file.write(m_line_end); }
    // A name as the script's syntax writes it (backquoted for the new syntax), in UTF-8.
    std::string quoted(std::u16string_view name) const;
    // The spelling of a table this script created, or "" (names ignore case).
    std::u16string created_name(const std::u16string& table) const;
    // The indexes a table of this script was created with, or nullptr (names ignore case).
    const udb_indexes* created_indexes(const std::u16string& table) const;

    dmp_file m_file;
    dmp_settings m_settings;
    sql_engine& m_engine;
    std::string m_line_end;
    // Table name -> the indexes it was created with (source column names), for the foreign keys.
    std::vector<std::pair<std::u16string, udb_indexes>> m_table_indexes;
};
