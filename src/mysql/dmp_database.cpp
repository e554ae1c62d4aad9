#include "dmp_database.h"

#include <cstdio>
#include <ctime>

#include "dmp_recordset.h"
#include "sql_engine.h"
#include "sql_indexes_initializer.h"
#include "sql_schema_initializer.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "udb_validator.h"

namespace {

// The versions the script's two syntaxes stand for.
constexpr uint32_t new_syntax_version = 0x40100;  // 4.1.0
constexpr uint32_t old_syntax_version = 0x31401;  // 3.20.1

// A name inside a comment line: a line break in it would end the comment and turn the rest of
// the name into a statement, so line breaks become spaces.
std::string comment_text(const std::u16string& text) {
    std::string out = tk_to_utf8(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

// Today's local date as month/day/year.
std::string local_date() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    if (localtime_r(&now, &parts) == nullptr) {
        return std::string();
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_year + 1900);
    return text;
}

bool is_path_separator(char16_t c) {
    return c == u'/' || c == u'\\';
}

}  // namespace

dmp_database::dmp_database(std::u16string path, const dmp_settings& settings, sql_engine& engine)
    : udb_database(path, mode_no_new_tables),
      m_file(path),
      m_settings(settings),
      m_engine(engine),
      m_line_end(settings.line_end()) {
    tk_wtrace(2, u"dmp_database::ctor(%s)", path.c_str());
    m_engine.set_server_version(m_settings.b_new_ver ? new_syntax_version : old_syntax_version);
    tk_trace(1, "b_new_ver=%d", m_settings.b_new_ver ? 1 : 0);
    // A new script has no lock open, whatever an earlier script left behind.
    m_engine.set_lock_open(false);
    if (m_settings.b_ins_comments) {
        write_header();
    }
    if (m_settings.b_create_db && m_settings.b_create_tab) {
        write_create_database();
    }
}

dmp_database::~dmp_database() {
    if (!m_file.is_open()) {
        return;
    }
    try {
        close_lock();
    } catch (const tk_exception& e) {
        tk_trace(3, "Cannot finish the MySQL script: %s", e.what());
    }
    m_engine.set_lock_open(false);
}

void dmp_database::close() {
    if (m_file.is_open()) {
        close_lock();
    }
    m_file.close();
}

void dmp_database::write_header() {
    std::string text = "# File name: ";
    text += comment_text(name());
    line(text);
    line("# Creation date: " + local_date());
    line("# Created by " + comment_text(tk_from_utf8(m_settings.title)));
    line("# --------------------------------------------------");
    line("# More conversion tools at https://www.quillmark.com/");
}

std::u16string dmp_database::database_name_of(const std::u16string& path) {
    size_t start = 0;
    for (size_t i = path.size(); i > 0; --i) {
        if (is_path_separator(path[i - 1])) {
            start = i;
            break;
        }
    }
    std::u16string file = path.substr(start);
    const size_t dot = file.rfind(u'.');
    if (dot != std::u16string::npos) {
        file.resize(dot);
    }
    return file;
}

void dmp_database::write_create_database() {
    std::u16string db = database_name_of(name());
    // The file name need not make a valid database name (a space on an old server, a dot on a
    // new one): the replay would stop at the first statement. Such a name gets a safe one.
    const std::unique_ptr<udb_validator> validator = m_engine.create_dn_validator();
    if (!validator->is_acceptable(db)) {
        const std::u16string safe = validator->get_safe_name(db);
        tk_wtrace(2, u"Database name '%s' replaced by '%s'", db.c_str(), safe.c_str());
        db = safe;
    }
    const std::string q = quoted(db);
    line();
    line("DROP DATABASE IF EXISTS " + q + ";");
    line("CREATE DATABASE " + q + ";");
    line("USE " + q + ";");
}

void dmp_database::close_lock() {
    if (m_engine.b_lock_open()) {
        m_engine.set_lock_open(false);
        line("UNLOCK TABLES;");
    }
}

void dmp_database::line(std::string_view text) {
    m_file.write(text);
    m_file.write(m_line_end);
}

void dmp_database::line(const std::u16string& text) {
    std::string out;
    tk_append_utf8(out, text);
    out += m_line_end;
    m_file.write(out);
}

std::string dmp_database::quoted(std::u16string_view name) const {
    std::string out;
    m_engine.append_quoted_name(out, name);
    return out;
}

std::unique_ptr<udb_recordset> dmp_database::create_table(const std::u16string& name,
                                                          const udb_schema& schema,
                                                          const udb_indexes& indexes) {
    tk_wtrace(2, u"dmp_database::create_table(%s)", name.c_str());
    TK_ASSERT(!is_table_exist(name));
    close_lock();
    const std::string q = quoted(name);
    const std::string& le = m_line_end;
    if (m_settings.b_create_tab) {
        if (m_settings.b_ins_comments) {
            line();
            line("#");
            line("# Table structure for table '" + comment_text(name) + "'");
            line("#");
            line();
        }
        line("DROP TABLE IF EXISTS " + q + ";");
    }

    std::u16string auto_name;
    sql_schema_initializer columns(name, schema, indexes, auto_name);
    std::vector<std::u16string> chunks;
    columns.get_init_chunks(chunks);
    std::string statement = "CREATE TABLE " + q + " (" + le;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (i > 0) {
            statement += ",";
            statement += le;
        }
        statement += "  ";
        tk_append_utf8(statement, chunks[i]);
    }
    if (!columns.schema().empty()) {
        sql_indexes_initializer index_clauses(columns.schema(), indexes, auto_name,
                                              columns.column_map());
        std::vector<std::u16string> index_chunks;
        index_clauses.get_init_chunks(index_chunks);
        for (const std::u16string& chunk : index_chunks) {
            statement += ",";
            statement += le;
            statement += "  ";
            tk_append_utf8(statement, chunk);
        }
    }
    tk_trace(1, "Right before inserting CREATE TABLE statement");
    statement += le;
    statement += ")";
    if (m_settings.b_new_ver) {
        tk_trace(1, "New version of dump file");
        statement +=
            m_engine.table_type() == sql_engine::innodb ? " ENGINE=InnoDB" : " ENGINE=MyISAM";
    } else {
        tk_trace(1, "Old version of dump file");
        statement += " TYPE=MyISAM";
    }
    if (m_settings.b_create_tab) {
        statement += ";";
        line(statement);
    }

    if (m_settings.b_ins_comments) {
        line();
        line("#");
        line("# Dumping data for table '" + comment_text(name) + "'");
        line("#");
        line();
    }
    if (m_settings.b_add_lock) {
        line("LOCK TABLES " + q + " WRITE;");
        m_engine.set_lock_open(true);
    }

    add_table_name(name);
    names_map().add_fn_map(name, columns.column_map());
    m_table_indexes.emplace_back(name, indexes);
    tk_wtrace(1, u"dmp_recordset::dmp_recordset(%s)", name.c_str());
    return std::make_unique<dmp_recordset>(*this, name, columns.schema());
}

std::unique_ptr<udb_recordset> dmp_database::get_table(const std::u16string&, int32_t) {
    TK_FAIL();
}

std::unique_ptr<udb_recordset> dmp_database::get_query(const std::u16string&, const std::u16string&,
                                                       int32_t) {
    return nullptr;
}

bool dmp_database::query(const std::u16string&) {
    return false;
}

std::unique_ptr<udb_recordset> dmp_database::query_records(const std::u16string& statement) {
    close_lock();
    std::string out;
    tk_append_utf8(out, statement);
    out += ";";
    out += m_line_end;
    m_file.write(out);
    return nullptr;
}

std::u16string dmp_database::created_name(const std::u16string& table) const {
    for (const std::u16string& name : table_names()) {
        if (tk_equal_nocase(name, table)) {
            return name;
        }
    }
    return std::u16string();
}

const udb_indexes* dmp_database::created_indexes(const std::u16string& table) const {
    for (const auto& [name, indexes] : m_table_indexes) {
        if (tk_equal_nocase(name, table)) {
            return &indexes;
        }
    }
    return nullptr;
}

void dmp_database::create_relationships(const std::vector<udb_relationship>& relationships) {
    tk_trace(2, "dmp_database::create_relationships");
    if (!m_settings.b_new_ver) {
        tk_trace(2, "This version of MySQL (%08X) doesn't support Foreign Keys",
                 m_engine.server_version());
        return;
    }
    close_lock();
    line();
    line("SET FOREIGN_KEY_CHECKS = 0;");
    for (const udb_relationship& fk : relationships) {
        tk_wtrace(2, u"Processing FK '%s'", fk.name.c_str());
        // The tables as this script spells them: names compare ignoring case here, but a server
        // on a case-sensitive file system would not find EMP under emp.
        const std::u16string child =
            created_name(names_map().get_tn_mapped_name(fk.child_table, false));
        const std::u16string parent =
            created_name(names_map().get_tn_mapped_name(fk.parent_table, false));
        // A key of a table this script does not create would stop the replay at its ALTER TABLE
        // (the table does not exist), losing every key after it.
        if (child.empty() || parent.empty()) {
            tk_wtrace(2, u"Skip FK '%s': its tables are not in the script", fk.name.c_str());
            continue;
        }
        auto column_list = [this](const std::u16string& table,
                                  const std::vector<std::u16string>& fields) {
            std::string out;
            for (size_t i = 0; i < fields.size(); ++i) {
                if (i > 0)
                    out += ", ";
                m_engine.append_quoted_name(out,
                                            names_map().get_fn_mapped_name(table, fields[i], true));
            }
            return out;
        };
        const std::string child_q = quoted(child);
        const std::string child_columns = column_list(child, fk.child_fields);
        const udb_indexes* indexes = created_indexes(child);
        if (indexes != nullptr && indexes->has_index_on_fields(fk.child_fields)) {
            tk_wtrace(2, u"Child index for table '%s' exists", child.c_str());
        } else {
            line("ALTER TABLE " + child_q + " ADD INDEX (" + child_columns + ");");
        }
        std::string statement = "ALTER TABLE " + child_q;
        // An unnamed key lets the server choose the constraint's name; an empty quoted name
        // would be refused.
        if (fk.name.empty()) {
            statement += " ADD FOREIGN KEY(";
        } else {
            statement += " ADD CONSTRAINT " + quoted(fk.name) + " FOREIGN KEY(";
        }
        statement += child_columns + ") REFERENCES " + quoted(parent) + "(" +
                     column_list(parent, fk.parent_fields) + ");";
        line(statement);
    }
    line("SET FOREIGN_KEY_CHECKS = 1;");
}
