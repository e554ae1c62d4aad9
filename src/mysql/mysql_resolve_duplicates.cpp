#include "mysql_resolve_duplicates.h"

#include <cstdlib>

#include "sql_engine.h"
#include "sql_exception.h"
#include "sql_type_map.h"
#include "sql_util.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

constexpr int32_t k_duplicate_entry = mysql_error_flag | 1062;

// True when the value reads as the integer 0 (a NULL does not: the server numbers it anyway).
bool reads_as_zero(const ole_variant& value) {
    if (value.is_empty()) {
        return false;
    }
    const std::string text =
        value.vartype() == VT_BSTR ? tk_to_utf8(value.bstr()) : value.to_string();
    const char* begin = text.c_str();
    char* end = nullptr;
    const double number = std::strtod(begin, &end);
    if (end == begin) {
        return false;
    }
    while (*end == ' ') {
        ++end;
    }
    return *end == 0 && number == 0;
}

}  // namespace

mysql_resolve_duplicates::mysql_resolve_duplicates(udb_database& database, udb_recordset& cursor)
    : m_cursor(cursor), m_database(database) {
    tk_trace(2, "mysql_resolve_duplicates::ctor");
    const udb_schema& schema = m_cursor.schema();
    for (size_t i = 0; i < schema.size(); ++i) {
        if (schema[i].b_auto()) {
            m_auto_position = static_cast<int32_t>(i);
            break;
        }
    }
}

void mysql_resolve_duplicates::check_1st_rec(const udb_record& record) {
    tk_trace(2, "mysql_resolve_duplicates::check_1st_rec");
    if (m_auto_position < 0) {
        tk_trace(2, "There's no auto_increment field");
        return;
    }
    if (static_cast<size_t>(m_auto_position) < record.size() &&
        reads_as_zero(record[static_cast<size_t>(m_auto_position)])) {
        tk_trace(2, "Got 0-value for auto_increment field");
        remove_auto_increment();
    }
}

void mysql_resolve_duplicates::remove_auto_increment() {
    tk_trace(2, "mysql_resolve_duplicates::remove_auto_increment");
    if (m_auto_position < 0) {
        return;
    }
    const udb_column& column = m_cursor.schema()[static_cast<size_t>(m_auto_position)];
    tk_wtrace(2, u"Got auto_increment field '%s'", column.name().c_str());
    const sql_engine& engine = sql_engine::instance();
    std::u16string statement = u"ALTER TABLE " + engine.quote_name(m_cursor.name()) + u" MODIFY " +
                               engine.quote_name(column.name()) + u" " +
                               get_native_type(column.vartype(), column.size(), column.flags());
    if (column.b_not_null()) {
        statement += u" NOT NULL";
    }
    const std::u16string def = make_mysql_def_val(column);
    if (!def.empty()) {
        statement += u" DEFAULT " + def;
    }
    m_database.query(statement);
}

void mysql_resolve_duplicates::update_indexes() {
    tk_trace(2, "mysql_resolve_duplicates::update_indexes");
    const udb_indexes& indexes = m_cursor.indexes();
    tk_trace(2, "Got %d indexes", static_cast<int>(indexes.size()));
    const sql_engine& engine = sql_engine::instance();
    const std::u16string table = engine.quote_name(m_cursor.name());
    const std::u16string auto_name =
        m_auto_position >= 0 ? m_cursor.schema()[static_cast<size_t>(m_auto_position)].name()
                             : std::u16string();
    for (const udb_index& index : indexes) {
        bool has_auto = false;
        for (const std::u16string& field : index.fields) {
            has_auto = has_auto || (!auto_name.empty() && tk_equal_nocase(field, auto_name));
        }
        if (has_auto) {
            tk_wtrace(2, u"Skip index '%s', it contains auto increment field", index.name.c_str());
            continue;
        }
        if (index.b_primary) {
            tk_wtrace(2, u"Update primary key '%s'", index.name.c_str());
            m_database.query(u"ALTER TABLE " + table + u" DROP PRIMARY KEY");
        } else if (index.b_unique) {
            tk_wtrace(2, u"Update unique index '%s'", index.name.c_str());
            m_database.query(u"ALTER TABLE " + table + u" DROP INDEX " +
                             engine.quote_name(index.name));
        } else {
            tk_wtrace(2, u"Skip non-unique index '%s'", index.name.c_str());
            continue;
        }
        std::u16string statement = u"ALTER TABLE " + table + u" ADD INDEX (";
        for (size_t i = 0; i < index.fields.size(); ++i) {
            if (i > 0) {
                statement += u",";
            }
            statement += engine.quote_name(index.fields[i]);
        }
        statement += u")";
        tk_wtrace(2, u"Updating query: %s", statement.c_str());
        m_database.query(statement);
    }
}

bool mysql_resolve_duplicates::handle_if(const tk_exception& error) {
    tk_trace(2, "mysql_resolve_duplicates::handle_if");
    if ((m_stage == 0 || m_stage == 1) && error.code() == k_duplicate_entry) {
        if (m_stage == 0) {
            remove_auto_increment();
        } else {
            update_indexes();
        }
        ++m_stage;
        return true;
    }
    m_stage = 0;
    return false;
}
