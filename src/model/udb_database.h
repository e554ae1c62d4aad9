// udb_database: a source or destination database, seen by the conversion driver without knowing
// what it is.
//
// It carries the conversion mode bits, the database name, the names of the tables it holds, the
// names map (source to destination names, udb_names_map) and the foreign keys it knows. The dump
// reader implements it as ora_dump_file, the MySQL server as sql_database, the MySQL script as
// dmp_database. Whoever opens or creates the database owns it. Every cursor it hands out is a new
// object owned by the caller (std::unique_ptr) that must not outlive the database.
//
// Table names compare ignoring case (tk_equal_nocase), in list order; the first match wins.
//
// Used by one thread at a time. Not copyable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "udb_index.h"
#include "udb_names_map.h"
#include "udb_recordset.h"
#include "udb_relationship.h"
#include "udb_schema.h"

class udb_database {
public:
    // Bits of mode().
    static constexpr int32_t mode_no_new_tables = 1;  // the database accepts no new tables
    static constexpr int32_t mode_append = 8;         // rows are appended to existing tables
    // Open flags callers pass to get_table(); the implementations do not interpret them.
    static constexpr int32_t open_structure = 1;  // only the structure and the indexes are wanted
    static constexpr int32_t open_created = 2;    // the table was just created
    static constexpr int32_t open_append = 8;     // append mode

    // Traces "udb_database::ctor(%s)".
    udb_database(std::u16string name, int32_t mode);
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;
    // Traces "udb_database::dtor".
    virtual ~udb_database();

    // Creates a table and returns a new cursor open for appending, or nullptr when the database
    // cannot create tables (the dump source). Throws the destination's errors.
    virtual std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                        const udb_schema& schema,
                                                        const udb_indexes& indexes) = 0;
    // Removes the name from the table-name list and returns true. Default: the list only; a name
    // that is not in the list is an assertion failure. Trace "udb_database::delete_tab (%s)".
    virtual bool delete_tab(const std::u16string& name);
    // A new cursor over an existing table. Throws the source's errors; an implementation that does
    // not support it fails an assertion.
    virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& name,
                                                     int32_t open_flags) = 0;
    // A new cursor over the result of a query the user defined, or nullptr when the database has
    // no queries. `reserved` is not interpreted.
    virtual std::unique_ptr<udb_recordset> get_query(const std::u16string& name,
                                                     const std::u16string& query_text,
                                                     int32_t reserved) = 0;
    // Runs a statement whose result is not needed; true when it succeeded.
    virtual bool query(const std::u16string& statement) = 0;
    // Runs a statement and returns a cursor over its result rows, or nullptr when it has none.
    // Default: assertion failure. Throws sql_exception on a server error.
    virtual std::unique_ptr<udb_recordset> query_records(const std::u16string& statement);
    // Hands the database a list of foreign keys. Default: nothing.
    virtual void create_relationships(const std::vector<udb_relationship>& relationships);
    // True when the table-name list holds the name. Traces "udb_database::is_table_exist(%s)",
    // "Compare with %s" per name, then "table exists" or "table not found".
    virtual bool is_table_exist(const std::u16string& name) const;

    int32_t mode() const { return m_mode; }
    const std::u16string& name() const { return m_name; }
    const std::vector<std::u16string>& table_names() const { return m_table_names; }
    udb_names_map& names_map() { return m_names_map; }
    const udb_names_map& names_map() const { return m_names_map; }
    const std::vector<udb_relationship>& relationships() const { return m_relationships; }

protected:
    // For implementations filling and keeping the table-name list current.
    void add_table_name(std::u16string name) { m_table_names.push_back(std::move(name)); }
    void set_table_names(std::vector<std::u16string> names) { m_table_names = std::move(names); }
    void set_relationships(std::vector<udb_relationship> relationships) {
        m_relationships = std::move(relationships);
    }
    void add_relationship(udb_relationship relationship) {
        m_relationships.push_back(std::move(relationship));
    }

private:
    int32_t m_mode;
    std::u16string m_name;
    std::vector<std::u16string> m_table_names;
    udb_names_map m_names_map;
    std::vector<udb_relationship> m_relationships;
};
