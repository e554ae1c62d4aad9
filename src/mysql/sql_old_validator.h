// sql_old_validator and its family: the name rules of MySQL servers before 4.1.
//
// Those servers take names bare (no backquotes), so a name must be made of letters, digits, "_"
// and "$" only, must not be one of the 167 reserved words below (compared ignoring case), must not
// consist of digits alone and may have at most 64 characters. A refused name gets a safe one:
// every other character becomes "_", a digits-only result gets "_" for its first digit, and the
// generic numbering of udb_validator (five digits) makes it unique among the names in use.
//
// The family, one class per kind of name:
// - sql_old_dn_validator: database names, which additionally must not be empty nor start with a
//   digit;
// - sql_old_tn_validator: table names, knowing the selected source tables and the tables that
//   already exist at the destination;
// - sql_old_fn_validator: column names, knowing every column of the source table;
// - sql_old_in_validator: index names, knowing every index of the source table.
// sql_engine hands them out (create_*_validator) when the target server is older than 4.1.0; the
// caller owns the validator. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "udb_index.h"
#include "udb_schema.h"
#include "udb_validator.h"

class sql_old_validator : public udb_validator {
public:
    // The longest name MySQL accepts, for every kind of name.
    static constexpr int32_t max_name_length = 64;
    // The reserved words of the old servers, lower case.
    static const std::vector<std::u16string>& reserved_words();

    sql_old_validator();
    ~sql_old_validator() override;

    // The generic test (length, reserved words), then: only letters, digits, "_" and "$", and not
    // digits alone (the empty name included). Trace "sql_old_validator::is_acceptable(%s)".
    bool is_acceptable(const std::u16string& name) override;
    // Replaces what the old servers refuse, then the generic shortening and numbering. Trace
    // "sql_old_validator::get_safe_name(%s)". Never fails for any input.
    std::u16string get_safe_name(const std::u16string& name) override;

    // A letter or digit of any script (the locale's alphanumeric test), "_" or "$".
    static bool is_name_char(char16_t c);
    // True for a text made only of the digits 0-9, the empty text included.
    static bool is_digits_only(const std::u16string& name);
};

class sql_old_dn_validator : public sql_old_validator {
public:
    sql_old_dn_validator();
    ~sql_old_dn_validator() override;

    // The old test, and the name is neither empty nor starts with a digit 0-9.
    // Trace "sql_old_dn_validator::is_acceptable(%s)".
    bool is_acceptable(const std::u16string& name) override;
    // A leading digit becomes "_" first: numbering alone cannot repair a name whose first
    // character is refused, and would otherwise run through every number before failing.
    std::u16string get_safe_name(const std::u16string& name) override;
};

class sql_old_tn_validator : public sql_old_validator {
public:
    // Every name of both lists is in use from the start.
    sql_old_tn_validator(const std::vector<std::u16string>& source_tables,
                         const std::vector<std::u16string>& existing_tables);
    ~sql_old_tn_validator() override;
};

class sql_old_fn_validator : public sql_old_validator {
public:
    // Every column name of the schema is in use from the start.
    explicit sql_old_fn_validator(const udb_schema& schema);
    ~sql_old_fn_validator() override;
};

class sql_old_in_validator : public sql_old_validator {
public:
    // Every index name is in use from the start.
    explicit sql_old_in_validator(const udb_indexes& indexes);
    ~sql_old_in_validator() override;
};
