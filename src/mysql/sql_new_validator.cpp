#include "sql_new_validator.h"

#include <iterator>

#include "tk_log.h"

namespace {

// Only the space character is removed, as the toolkit's trims do; tabs stay (and are allowed).
std::u16string trim_spaces(const std::u16string& text) {
    const size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) {
        return std::u16string();
    }
    const size_t last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

sql_new_validator::sql_new_validator(bool all) : udb_validator(max_name_length) {
    const size_t count = all ? std::size(forbidden_chars_all) : forbidden_count_names;
    for (size_t i = 0; i < count; ++i) {
        add_forbidden_char(forbidden_chars_all[i]);
    }
}

sql_new_validator::~sql_new_validator() = default;

bool sql_new_validator::is_acceptable(const std::u16string& name) {
    tk_wtrace(2, u"sql_new_validator::is_acceptable(%s)", name.c_str());
    if (name.empty() || name.size() > static_cast<size_t>(max_name_length) ||
        name.front() == u' ' || name.back() == u' ') {
        return false;
    }
    return udb_validator::is_acceptable(name);
}

std::u16string sql_new_validator::get_safe_name(const std::u16string& name) {
    tk_wtrace(2, u"sql_new_validator::get_safe_name(%s)", name.c_str());
    return udb_validator::get_safe_name(trim_spaces(name));
}

sql_new_tn_validator::sql_new_tn_validator(const std::vector<std::u16string>& source_tables,
                                           const std::vector<std::u16string>& existing_tables)
    : sql_new_validator(true) {
    for (const std::u16string& table : source_tables) {
        add_name_in_use(table);
    }
    for (const std::u16string& table : existing_tables) {
        add_name_in_use(table);
    }
}

sql_new_tn_validator::~sql_new_tn_validator() = default;

sql_new_fn_validator::sql_new_fn_validator(const udb_schema& schema) : sql_new_validator(false) {
    for (const udb_column* column : schema.columns()) {
        add_name_in_use(column->name());
    }
}

sql_new_fn_validator::~sql_new_fn_validator() = default;

sql_new_in_validator::sql_new_in_validator(const udb_indexes& indexes) : sql_new_validator(false) {
    for (const udb_index& index : indexes) {
        add_name_in_use(index.name);
    }
}

sql_new_in_validator::~sql_new_in_validator() = default;
