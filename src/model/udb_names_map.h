// udb_names_map: the source-to-destination names of a whole database's tables and columns.
//
// Two parts: the table map (source table name -> destination table name) and the column map,
// keyed by the destination table name, each a t_names_map of that table's source column names ->
// destination column names. Every udb_database embeds one; the conversion fills it as it gives
// tables and columns safe names, and later statements (indexes, foreign keys, date
// post-processing) translate source names through it.
//
// A plain copyable value; not shared between threads.
#pragma once

#include <map>
#include <string>

#include "t_names_map.h"

class udb_names_map {
public:
    // Adds a table pair (the first pair for a source name stays). Trace
    // "udb_names_map::add_tn_mapping(%s,%s)" at level 2.
    void add_tn_mapping(const std::u16string& source_table, const std::u16string& dest_table);
    // Stores a copy of the column pairs under the destination table name; the first entry for a
    // table stays. Trace "udb_names_map::add_fn_map(%s)" at level 2.
    void add_fn_map(const std::u16string& dest_table, const t_names_map& columns);

    // The destination name of a source table, or the name itself. Traces
    // "udb_names_map::get_tn_mapped_name(%s)" and "Comparing with (%s,%s)" per pair (level 1).
    std::u16string get_tn_mapped_name(const std::u16string& table, bool exact) const;
    // The destination name of a column of a destination table, or the column itself. The table is
    // found by its exact name; a missing table traces "Table '%s' not found" (level 1).
    std::u16string get_fn_mapped_name(const std::u16string& table, const std::u16string& column,
                                      bool exact) const;

    const t_names_map& table_map() const { return m_tables; }
    const std::map<std::u16string, t_names_map>& column_map() const { return m_columns; }

private:
    t_names_map m_tables;
    std::map<std::u16string, t_names_map> m_columns;
};
