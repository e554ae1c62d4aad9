#include "udb_database.h"

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

udb_database::udb_database(std::u16string name, int32_t mode)
    : m_mode(mode), m_name(std::move(name)) {
    tk_wtrace(2, u"udb_database::ctor(%s)", m_name.c_str());
}

udb_database::~udb_database() {
    tk_trace(2, "udb_database::dtor");
}

bool udb_database::delete_tab(const std::u16string& name) {
    tk_wtrace(2, u"udb_database::delete_tab (%s)", name.c_str());
    for (auto it = m_table_names.begin(); it != m_table_names.end(); ++it) {
        tk_wtrace(1, u"Compare with %s", it->c_str());
        if (tk_equal_nocase(*it, name)) {
            m_table_names.erase(it);
            return true;
        }
    }
    TK_FAIL();
}

std::unique_ptr<udb_recordset> udb_database::query_records(const std::u16string& statement) {
    tk_wtrace(3, u"udb_database::query_records(%s) is not supported here", statement.c_str());
    TK_FAIL();
}

void udb_database::create_relationships(const std::vector<udb_relationship>&) {}

bool udb_database::is_table_exist(const std::u16string& name) const {
    tk_wtrace(2, u"udb_database::is_table_exist(%s)", name.c_str());
    for (const std::u16string& table : m_table_names) {
        tk_wtrace(1, u"Compare with %s", table.c_str());
        if (tk_equal_nocase(table, name)) {
            tk_trace(2, "table exists");
            return true;
        }
    }
    tk_trace(2, "table not found");
    return false;
}
