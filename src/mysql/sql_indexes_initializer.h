// sql_indexes_initializer: the index clauses of one CREATE TABLE.
//
// Built for one table from the columns sql_schema_initializer made (MySQL names), the source's
// indexes, the auto-increment column's name and the source -> MySQL column-name mapping. Index
// names MySQL would refuse get safe names. get_init_chunks writes PRIMARY KEY, UNIQUE and INDEX
// clauses within MySQL's limits (index count, key length, no BLOB or TEXT columns, at most 16
// columns), leaving out with a trace every index the server would refuse, and adds the index
// that MySQL demands for an auto-increment column when no written index starts with it. Index
// clauses never fail.
//
// Owned by the table creator for one CREATE TABLE (server and script writers alike); the schema
// must outlive it. One thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "t_names_map.h"
#include "udb_index.h"
#include "udb_schema.h"
#include "udb_validator.h"

class sql_indexes_initializer {
public:
    sql_indexes_initializer(const udb_schema& schema, const udb_indexes& indexes,
                            std::u16string auto_name, const t_names_map& column_map);
    sql_indexes_initializer(const sql_indexes_initializer&) = delete;
    sql_indexes_initializer& operator=(const sql_indexes_initializer&) = delete;
    virtual ~sql_indexes_initializer();

    // Appends one clause per index written, then the auto-increment index when needed.
    virtual void get_init_chunks(std::vector<std::u16string>& chunks);

    // The indexes with their MySQL index and column names, in source order.
    const udb_indexes& indexes() const { return m_indexes; }

private:
    udb_indexes m_indexes;
    const udb_schema& m_schema;
    std::u16string m_auto_name;
    std::unique_ptr<udb_validator> m_validator;
};
