// sql_database: a MySQL database on the server, as a destination (and source) of tables.
//
// The MySQL server implementation of udb_database. It lists the database's tables when it is
// made, creates tables (one CREATE TABLE with the column clauses of sql_schema_initializer and
// the index clauses of sql_indexes_initializer), drops them, hands out cursors over tables and
// queries (sql_recordset) and over statement results (sql_tmp_recordset), runs statements, and
// after the last table creates the foreign keys with their child indexes.
//
// Table names are looked up ignoring case, as everywhere in the model, but every statement names
// a table as the server listed it: on Linux servers table names are case-sensitive file names.
//
// Made by sql_engine::create_db / open_db and owned by the caller; it uses the engine's
// connection, so it must not outlive sql_engine. Every cursor it hands out refers to it and must
// not outlive it. One thread (the connection's).
#pragma once

#include <mysql.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sql_record.h"
#include "udb_database.h"

class sql_database : public udb_database {
public:
    // Lists the tables ("show tables"); a failure throws sql_exception.
    sql_database(std::u16string name, int32_t mode, MYSQL* connection);
    ~sql_database() override;

    // Creates the table and returns the cursor that appends its rows (sql_recordset). In append
    // mode an existing table is returned as it is. Creating in a database that takes no new
    // tables, or a table that exists outside append mode, is an assertion failure. Throws
    // sql_exception when the server refuses the statement; the table list and the names map
    // change only after it succeeded.
    std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // "DROP TABLE", then removes the name from the list. An unknown table is an assertion
    // failure; throws sql_exception.
    bool delete_tab(const std::u16string& name) override;
    // A new sql_recordset over the table (its structure, indexes and first rows read back). A
    // table not in the list is an assertion failure; throws sql_exception.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name,
                                             int32_t open_flags) override;
    // A new sql_recordset over the result of `query_text`. Throws sql_exception.
    std::unique_ptr<udb_recordset> get_query(const std::u16string& name,
                                             const std::u16string& query_text,
                                             int32_t reserved) override;
    // Runs the statement, discarding any result; true when it succeeded. Never throws.
    bool query(const std::u16string& statement) override;
    // Runs the statement and returns a sql_tmp_recordset over its rows, or nullptr when it
    // produced none. Throws sql_exception on a server error.
    std::unique_ptr<udb_recordset> query_records(const std::u16string& statement) override;
    // Creates the foreign keys (ALTER TABLE ... ADD CONSTRAINT), each after an index on its child
    // and parent columns when none exists. A rejected key is reported to the error_handler
    // (level 0) and the next is tried; may let tk_final_exception through when the user stops.
    void create_relationships(const std::vector<udb_relationship>& relationships) override;
    // Adds an index on the columns (source names, mapped to MySQL names) unless an index starts
    // with them. A server refusal is only traced.
    void create_fk_index_if(const std::u16string& table,
                            const std::vector<std::u16string>& columns);

    MYSQL* connection() const { return m_connection; }

    // The storage-engine clause that ends CREATE TABLE: " ENGINE=" above 4.0.22, " TYPE=" up to
    // it; InnoDB when asked for and the server is at least 3.23.35, MyISAM otherwise.
    static std::u16string table_option_clause(uint32_t server_version, int32_t table_type);

    // One result read row by row: sends the statement ("SELECT * FROM t LIMIT offset,count" for a
    // table; a query's own text, whose first `offset` rows store_to() skips) and owns the result
    // handle, which it frees (discarding unread rows) when it ends. Throws sql_exception.
    class sql_limited_query {
    public:
        static constexpr size_t block_size = 256;
        using block = std::array<std::unique_ptr<sql_record>, block_size>;

        sql_limited_query(sql_database& database, const std::u16string& name_or_query,
                          int32_t offset, int32_t count, bool is_query);
        sql_limited_query(const sql_limited_query&) = delete;
        sql_limited_query& operator=(const sql_limited_query&) = delete;
        ~sql_limited_query();

        // Releases the rows the block holds and fetches up to block_size rows into it; returns
        // how many.
        size_t store_to(block& rows);
        MYSQL_RES* result() const { return m_result; }

    private:
        MYSQL_RES* m_result = nullptr;
        int32_t m_skip = 0;
    };

private:
    // The table's name as the table list spells it, or an empty string when there is none.
    std::u16string stored_table_name(const std::u16string& name) const;

    MYSQL* m_connection;
};
