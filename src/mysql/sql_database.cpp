#include "sql_database.h"

#include <cstdio>

#include "error_handler.h"
#include "sql_engine.h"
#include "sql_exception.h"
#include "sql_indexes_initializer.h"
#include "sql_recordset.h"
#include "sql_schema_initializer.h"
#include "sql_tmp_recordset.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

std::string utf8_of(std::u16string_view text) {
    std::string out;
    tk_append_utf8(out, text);
    return out;
}

// Names joined by ", ", each quoted.
std::u16string quoted_list(const sql_engine& engine, const std::vector<std::u16string>& names) {
    std::u16string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            out += u", ";
        }
        out += engine.quote_name(names[i]);
    }
    return out;
}

}  // namespace

sql_database::sql_database(std::u16string name, int32_t mode, MYSQL* connection)
    : udb_database(std::move(name), mode), m_connection(connection) {
    tk_wtrace(2, u"sql_database::sql_database(%s, mode=%d)", this->name().c_str(), mode);
    MYSQL_RES* result = mysql_list_tables(m_connection, nullptr);
    if (result == nullptr) {
        throw sql_exception(m_connection);
    }
    sql_tmp_recordset tables(result);
    std::vector<std::u16string> names;
    for (tables.reset(); !tables.is_eof(); tables.next()) {
        udb_record* record = tables.get_item();
        if (record != nullptr && !record->empty()) {
            names.push_back((*record)[0].bstr());
        }
    }
    set_table_names(std::move(names));
}

sql_database::~sql_database() = default;

std::unique_ptr<udb_recordset> sql_database::create_table(const std::u16string& name,
                                                          const udb_schema& schema,
                                                          const udb_indexes& indexes) {
    tk_wtrace(2, u"sql_database::create_table(%s)", name.c_str());
    TK_ASSERT((mode() & mode_no_new_tables) == 0);
    if (is_table_exist(name)) {
        TK_ASSERT((mode() & mode_append) != 0);
        return get_table(stored_table_name(name), open_append);
    }
    const sql_engine& engine = sql_engine::instance();
    std::u16string statement = u"CREATE TABLE " + engine.quote_name(name) + u" (";
    std::u16string auto_name;
    sql_schema_initializer columns(name, schema, indexes, auto_name);
    std::vector<std::u16string> chunks;
    columns.get_init_chunks(chunks);
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (i > 0) {
            statement += u", ";
        }
        statement += chunks[i];
    }
    if (!indexes.empty() || !auto_name.empty()) {
        sql_indexes_initializer index_clauses(columns.schema(), indexes, auto_name,
                                              columns.column_map());
        std::vector<std::u16string> index_chunks;
        index_clauses.get_init_chunks(index_chunks);
        for (const std::u16string& chunk : index_chunks) {
            statement += u", ";
            statement += chunk;
        }
    }
    statement += u")";
    statement += table_option_clause(engine.server_version(), engine.table_type());
    const std::string text = utf8_of(statement);
    tk_trace(2, "Run SQL query: %s\n", text.c_str());
    if (mysql_real_query(m_connection, text.data(), text.size()) != 0) {
        throw sql_exception(m_connection);
    }
    add_table_name(name);
    names_map().add_fn_map(name, columns.column_map());
    return get_table(name, open_created);
}

std::u16string sql_database::table_option_clause(uint32_t server_version, int32_t table_type) {
    std::u16string clause = server_version > sql_versions::engine_keyword ? u" ENGINE=" : u" TYPE=";
    clause += server_version >= sql_versions::innodb_tables && table_type == sql_engine::innodb
                  ? u"InnoDB"
                  : u"MyISAM";
    return clause;
}

bool sql_database::delete_tab(const std::u16string& name) {
    tk_wtrace(2, u"sql_database::delete_tab (%s)", name.c_str());
    TK_ASSERT((mode() & mode_no_new_tables) == 0);
    const std::u16string stored = stored_table_name(name);
    TK_ASSERT(!stored.empty());
    const std::string text = utf8_of(u"DROP TABLE " + sql_engine::instance().quote_name(stored));
    if (mysql_real_query(m_connection, text.data(), text.size()) != 0) {
        throw sql_exception(m_connection);
    }
    return udb_database::delete_tab(name);
}

std::unique_ptr<udb_recordset> sql_database::get_table(const std::u16string& name,
                                                       int32_t /*open_flags*/) {
    tk_wtrace(2, u"sql_database::get_table (%s)", name.c_str());
    const std::u16string stored = stored_table_name(name);
    TK_ASSERT(!stored.empty());
    return std::make_unique<sql_recordset>(*this, stored, relationships());
}

std::unique_ptr<udb_recordset> sql_database::get_query(const std::u16string& name,
                                                       const std::u16string& query_text,
                                                       int32_t /*reserved*/) {
    return std::make_unique<sql_recordset>(*this, name, query_text, relationships());
}

bool sql_database::query(const std::u16string& statement) {
    tk_wtrace(2, u"sql_database::query(%s)", statement.c_str());
    const std::string text = utf8_of(statement);
    if (mysql_real_query(m_connection, text.data(), text.size()) != 0) {
        return false;
    }
    if (mysql_field_count(m_connection) != 0) {
        if (MYSQL_RES* result = mysql_use_result(m_connection)) {
            mysql_free_result(result);
        }
    }
    return true;
}

std::unique_ptr<udb_recordset> sql_database::query_records(const std::u16string& statement) {
    tk_wtrace(2, u"sql_database::query(%s)", statement.c_str());
    const std::string text = utf8_of(statement);
    if (mysql_real_query(m_connection, text.data(), text.size()) != 0) {
        throw sql_exception(m_connection);
    }
    MYSQL_RES* result = mysql_use_result(m_connection);
    if (mysql_errno(m_connection) != 0) {
        if (result != nullptr) {
            mysql_free_result(result);
        }
        throw sql_exception(m_connection);
    }
    if (result == nullptr) {
        return nullptr;
    }
    return std::make_unique<sql_tmp_recordset>(result);
}

void sql_database::create_fk_index_if(const std::u16string& table,
                                      const std::vector<std::u16string>& columns) {
    tk_wtrace(2, u"sql_database::create_fk_index_if(%s)", table.c_str());
    // The key names source columns, the table's indexes hold MySQL names: compare the MySQL
    // names, or a column that got a safe name would get a second index.
    std::vector<std::u16string> mapped;
    mapped.reserve(columns.size());
    for (const std::u16string& column : columns) {
        mapped.push_back(names_map().get_fn_mapped_name(table, column, true));
    }
    {
        const std::unique_ptr<udb_recordset> structure = get_table(table, open_structure);
        tk_trace(1, "udb_indexes::has_index_on_fields");
        if (structure->indexes().has_index_on_fields(mapped)) {
            tk_wtrace(2, u"Child index for table '%s' exists", table.c_str());
            return;
        }
    }
    const sql_engine& engine = sql_engine::instance();
    const std::u16string statement = u"ALTER TABLE " + engine.quote_name(table) + u" ADD INDEX (" +
                                     quoted_list(engine, mapped) + u")";
    if (!query(statement)) {
        tk_trace(2, "Error while creating index for FK:\n%s\n", mysql_error(m_connection));
    }
}

std::u16string sql_database::stored_table_name(const std::u16string& name) const {
    if (!is_table_exist(name)) {
        return std::u16string();
    }
    for (const std::u16string& table : table_names()) {
        if (tk_equal_nocase(table, name)) {
            return table;
        }
    }
    return std::u16string();
}

void sql_database::create_relationships(const std::vector<udb_relationship>& relationships) {
    tk_trace(2, "sql_database::create_relationships");
    tk_trace(3, "Converting foreign keys");
    const sql_engine& engine = sql_engine::instance();
    if (engine.server_version() < sql_versions::innodb_default) {
        tk_trace(2, "This version of MySQL doesn't support Foreign Keys");
        return;
    }
    if ((mode() & mode_append) != 0) {
        tk_trace(2, "Foreign keys are not converted in append mode");
        return;
    }
    if (!query(u"SET FOREIGN_KEY_CHECKS = 0")) {
        tk_trace(2, "Cannot turn OFF foreign key check: %s", mysql_error(m_connection));
    }
    // The checks come back on whatever way the loop ends (the user may stop the run).
    struct checks_on {
        sql_database& db;
        ~checks_on() {
            if (!db.query(u"SET FOREIGN_KEY_CHECKS = 1")) {
                tk_trace(2, "Cannot turn ON foreign key check: %s", mysql_error(db.connection()));
            }
        }
    } restore{*this};

    for (const udb_relationship& key : relationships) {
        tk_wtrace(3, u"Processing '%s'", key.name.c_str());
        // The names as the database spells them: table names compare ignoring case, but the
        // server may not (table names are file names on Linux).
        const std::u16string child =
            stored_table_name(names_map().get_tn_mapped_name(key.child_table, false));
        if (child.empty()) {
            continue;
        }
        const std::u16string parent =
            stored_table_name(names_map().get_tn_mapped_name(key.parent_table, false));
        if (parent.empty()) {
            continue;
        }
        create_fk_index_if(child, key.child_fields);
        create_fk_index_if(parent, key.parent_fields);

        std::vector<std::u16string> child_columns;
        for (const std::u16string& column : key.child_fields) {
            child_columns.push_back(names_map().get_fn_mapped_name(child, column, true));
        }
        std::vector<std::u16string> parent_columns;
        for (const std::u16string& column : key.parent_fields) {
            parent_columns.push_back(names_map().get_fn_mapped_name(parent, column, true));
        }
        std::u16string statement = u"ALTER TABLE " + engine.quote_name(child) + u" ADD";
        // An unnamed key lets the server choose the name: "CONSTRAINT ``" would be refused.
        if (!key.name.empty()) {
            statement += u" CONSTRAINT " + engine.quote_name(key.name);
        }
        statement += u" FOREIGN KEY(" + quoted_list(engine, child_columns) + u") REFERENCES " +
                     engine.quote_name(parent) + u"(" + quoted_list(engine, parent_columns) + u")";
        if (query(statement)) {
            continue;
        }
        const std::string server_text = mysql_error(m_connection);
        tk_trace(2, "Error while creating FK:\n%s\n", server_text.c_str());
        error_handler* handler = error_handler::instance_if_any();
        if (handler == nullptr) {
            continue;
        }
        std::string detail = "Foreign key '";
        tk_append_utf8(detail, key.name.empty() ? child : key.name);
        detail += "'";
        handler->context() = detail;
        handler->handle(
            tk_exception("The foreign key could not be created (" + server_text +
                             "). The table and its rows are in place; add the key by hand once "
                             "the cause is repaired. For help write to "
                             "support@quillmark.example.",
                         0),
            false);
    }
}

sql_database::sql_limited_query::sql_limited_query(sql_database& database,
                                                   const std::u16string& name_or_query,
                                                   int32_t offset, int32_t count, bool is_query) {
    tk_trace(1, "sql_database::sql_limited_query::sql_limited_query");
    std::string statement;
    if (is_query) {
        // A query's own text has no LIMIT of ours: its first rows are skipped while storing.
        tk_append_utf8(statement, name_or_query);
        m_skip = offset;
    } else {
        char limit[64];
        std::snprintf(limit, sizeof limit, " LIMIT %ld,%ld", static_cast<long>(offset),
                      static_cast<long>(count));
        statement = "SELECT * FROM ";
        sql_engine::instance().append_quoted_name(statement, name_or_query);
        statement += limit;
    }
    MYSQL* connection = database.connection();
    if (mysql_real_query(connection, statement.data(), statement.size()) != 0) {
        throw sql_exception(connection);
    }
    m_result = mysql_use_result(connection);
    if (m_result == nullptr) {
        throw sql_exception(connection);
    }
}

sql_database::sql_limited_query::~sql_limited_query() {
    if (m_result != nullptr) {
        mysql_free_result(m_result);
    }
}

size_t sql_database::sql_limited_query::store_to(block& rows) {
    tk_trace(1, "sql_database::sql_limited_query::store_to");
    for (auto& row : rows) {
        row.reset();
    }
    const unsigned int n_fields = mysql_num_fields(m_result);
    const MYSQL_FIELD* fields = mysql_fetch_fields(m_result);
    for (; m_skip > 0; --m_skip) {
        if (mysql_fetch_row(m_result) == nullptr) {
            return 0;
        }
    }
    size_t stored = 0;
    while (stored < block_size) {
        MYSQL_ROW row = mysql_fetch_row(m_result);
        if (row == nullptr) {
            break;
        }
        rows[stored++] =
            std::make_unique<sql_record>(row, mysql_fetch_lengths(m_result), fields, n_fields);
    }
    return stored;
}
