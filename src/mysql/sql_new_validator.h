// sql_new_validator and its family: the name rules of MySQL 4.1 and later.
//
// Those servers take every name in backquotes, so almost any character is allowed; what remains
// refused is the empty name, a name longer than 64 characters, a name that begins or ends with a
// space, and a few characters that break the quoting or the file names the server makes of table
// and database names. Column and index names refuse the first 8 of these characters
// ` " ' ^ * # \ ; and table and database names all 16 (also + | : < > ? . /). There are no
// reserved words: a backquoted order is a valid name. A refused name gets a safe one: the spaces
// at both ends are removed, then the generic rules of udb_validator replace the forbidden
// characters by "_", shorten and number the name.
//
// The family, one class per kind of name:
// - sql_new_validator(all = true): database names;
// - sql_new_tn_validator: table names, knowing the selected source tables and the tables that
//   already exist at the destination;
// - sql_new_fn_validator: column names, knowing every column of the source table;
// - sql_new_in_validator: index names, knowing every index of the source table.
// sql_engine hands them out (create_*_validator) when the target server is 4.1.0 or later; the
// caller owns the validator. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "udb_index.h"
#include "udb_schema.h"
#include "udb_validator.h"

class sql_new_validator : public udb_validator {
public:
    // The longest name MySQL accepts, for every kind of name.
    static constexpr int32_t max_name_length = 64;
    // The forbidden characters in order; column and index names use the first 8.
    static constexpr char16_t forbidden_chars_all[16] = {u'`',  u'"', u'\'', u'^', u'*', u'#',
                                                         u'\\', u';', u'+',  u'|', u':', u'<',
                                                         u'>',  u'?', u'.',  u'/'};
    static constexpr size_t forbidden_count_names = 8;

    // all: forbid all 16 characters (table and database names) instead of the first 8.
    explicit sql_new_validator(bool all);
    ~sql_new_validator() override;

    // Refused when empty, longer than 64 characters, beginning or ending with a space; otherwise
    // the generic test. Trace "sql_new_validator::is_acceptable(%s)".
    bool is_acceptable(const std::u16string& name) override;
    // The spaces at both ends removed, then the generic safe name. Trace
    // "sql_new_validator::get_safe_name(%s)". Never fails for any input.
    std::u16string get_safe_name(const std::u16string& name) override;
};

class sql_new_tn_validator : public sql_new_validator {
public:
    // All 16 characters are forbidden; every name of both lists is in use from the start.
    sql_new_tn_validator(const std::vector<std::u16string>& source_tables,
                         const std::vector<std::u16string>& existing_tables);
    ~sql_new_tn_validator() override;
};

class sql_new_fn_validator : public sql_new_validator {
public:
    // The first 8 characters are forbidden; every column name of the schema is in use.
    explicit sql_new_fn_validator(const udb_schema& schema);
    ~sql_new_fn_validator() override;
};

class sql_new_in_validator : public sql_new_validator {
public:
    // The first 8 characters are forbidden; every index name is in use.
    explicit sql_new_in_validator(const udb_indexes& indexes);
    ~sql_new_in_validator() override;
};
