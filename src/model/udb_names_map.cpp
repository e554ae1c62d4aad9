#include "udb_names_map.h"

#include "tk_log.h"
#include "tk_text.h"

void udb_names_map::add_tn_mapping(const std::u16string& source_table,
                                   const std::u16string& dest_table) {
    tk_wtrace(2, u"udb_names_map::add_tn_mapping(%s,%s)", source_table.c_str(), dest_table.c_str());
    m_tables.add(source_table, dest_table);
}

void udb_names_map::add_fn_map(const std::u16string& dest_table, const t_names_map& columns) {
    tk_wtrace(2, u"udb_names_map::add_fn_map(%s)", dest_table.c_str());
    m_columns.try_emplace(dest_table, columns);
}

std::u16string udb_names_map::get_tn_mapped_name(const std::u16string& table, bool exact) const {
    tk_wtrace(1, u"udb_names_map::get_tn_mapped_name(%s)", table.c_str());
    for (const auto& [source, destination] : m_tables) {
        tk_wtrace(1, u"Comparing with (%s,%s)", source.c_str(), destination.c_str());
        if (exact ? source == table : tk_equal_nocase(source, table)) {
            tk_wtrace(1, u"Got mapped name: %s", destination.c_str());
            return destination;
        }
    }
    return table;
}

std::u16string udb_names_map::get_fn_mapped_name(const std::u16string& table,
                                                 const std::u16string& column, bool exact) const {
    tk_wtrace(1, u"udb_names_map::get_fn_mapped_name(%s,%s)", table.c_str(), column.c_str());
    const auto it = m_columns.find(table);
    if (it == m_columns.end()) {
        tk_wtrace(1, u"Table '%s' not found", table.c_str());
        return column;
    }
    return it->second.get_mapped_name(column, exact);
}
