#include "sql_old_validator.h"

#include <locale.h>
#include <wctype.h>

#include "tk_log.h"

namespace {

// The alphanumeric test follows Unicode's letter and digit classes, whatever locale the process
// runs in: C.UTF-8 classifies every script (ä, 中 and ٣ are alphanumeric). Without that locale the
// process's own classification is the fallback.
locale_t unicode_ctype() {
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return loc;
}

}  // namespace

const std::vector<std::u16string>& sql_old_validator::reserved_words() {
    static const std::vector<std::u16string> words = {
        u"add",
        u"all",
        u"alter",
        u"and",
        u"as",
        u"asc",
        u"between",
        u"bigint",
        u"binary",
        u"blob",
        u"both",
        u"by",
        u"cascade",
        u"case",
        u"char",
        u"character",
        u"change",
        u"column",
        u"columns",
        u"constraint",
        u"create",
        u"cross",
        u"current_date",
        u"current_time",
        u"current_timestamp",
        u"database",
        u"databases",
        u"day_hour",
        u"day_minute",
        u"day_second",
        u"dec",
        u"decimal",
        u"default",
        u"delayed",
        u"delete",
        u"desc",
        u"describe",
        u"distinct",
        u"distinctrow",
        u"double",
        u"drop",
        u"else",
        u"escaped",
        u"enclosed",
        u"explain",
        u"exists",
        u"fields",
        u"float",
        u"float4",
        u"float8",
        u"foreign",
        u"from",
        u"for",
        u"grant",
        u"group",
        u"having",
        u"high_priority",
        u"hour_minute",
        u"hour_second",
        u"ignore",
        u"in",
        u"index",
        u"infile",
        u"inner",
        u"insert",
        u"insert_id",
        u"int",
        u"int1",
        u"int2",
        u"int3",
        u"int4",
        u"int8",
        u"integer",
        u"interval",
        u"into",
        u"if",
        u"is",
        u"join",
        u"key",
        u"keys",
        u"kill",
        u"last_insert_id",
        u"leading",
        u"left",
        u"like",
        u"lines",
        u"limit",
        u"load",
        u"lock",
        u"long",
        u"longblob",
        u"longtext",
        u"low_priority",
        u"match",
        u"mediumblob",
        u"mediumtext",
        u"mediumint",
        u"middleint",
        u"minute_second",
        u"natural",
        u"numeric",
        u"not",
        u"null",
        u"on",
        u"optimize",
        u"option",
        u"optionally",
        u"or",
        u"order",
        u"outer",
        u"outfile",
        u"partial",
        u"precision",
        u"primary",
        u"procedure",
        u"privileges",
        u"read",
        u"real",
        u"regexp",
        u"rename",
        u"replace",
        u"restrict",
        u"returns",
        u"revoke",
        u"rlike",
        u"select",
        u"set",
        u"show",
        u"smallint",
        u"soname",
        u"sql_big_tables",
        u"sql_big_selects",
        u"sql_low_priority_updates",
        u"sql_log_off",
        u"sql_log_update",
        u"sql_select_limit",
        u"sql_small_result",
        u"sql_big_result",
        u"sql_warnings",
        u"straight_join",
        u"starting",
        u"table",
        u"tables",
        u"terminated",
        u"then",
        u"tinyblob",
        u"tinytext",
        u"tinyint",
        u"trailing",
        u"to",
        u"usage",
        u"use",
        u"using",
        u"unique",
        u"unlock",
        u"unsigned",
        u"update",
        u"values",
        u"varchar",
        u"varying",
        u"varbinary",
        u"with",
        u"write",
        u"when",
        u"where",
        u"year_month",
        u"zerofill",
    };
    return words;
}

sql_old_validator::sql_old_validator() : udb_validator(max_name_length) {
    for (const std::u16string& word : reserved_words()) {
        add_reserved_name(word);
    }
}

sql_old_validator::~sql_old_validator() = default;

bool sql_old_validator::is_name_char(char16_t c) {
    if (c == u'_' || c == u'$') {
        return true;
    }
    // A lone surrogate code unit is no character of its own and stays refused.
    if (c >= 0xD800 && c <= 0xDFFF) {
        return false;
    }
    const locale_t loc = unicode_ctype();
    const wint_t wc = static_cast<wint_t>(c);
    return loc != static_cast<locale_t>(0) ? iswalnum_l(wc, loc) != 0 : iswalnum(wc) != 0;
}

bool sql_old_validator::is_digits_only(const std::u16string& name) {
    for (char16_t c : name) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

bool sql_old_validator::is_acceptable(const std::u16string& name) {
    tk_wtrace(2, u"sql_old_validator::is_acceptable(%s)", name.c_str());
    if (!udb_validator::is_acceptable(name)) {
        return false;
    }
    for (char16_t c : name) {
        if (!is_name_char(c)) {
            tk_wtrace(2, u"Name contains invalid symbol: '%c'", static_cast<int>(c));
            return false;
        }
    }
    if (is_digits_only(name)) {
        tk_trace(2, "Name consists of digits only");
        return false;
    }
    return true;
}

std::u16string sql_old_validator::get_safe_name(const std::u16string& name) {
    tk_wtrace(2, u"sql_old_validator::get_safe_name(%s)", name.c_str());
    std::u16string result = name;
    for (char16_t& c : result) {
        if (!is_name_char(c)) {
            c = u'_';
        }
    }
    if (is_digits_only(result)) {
        // The empty name counts as digits only too; it becomes the single "_".
        if (result.empty()) {
            result = u"_";
        } else {
            result[0] = u'_';
        }
    }
    return udb_validator::get_safe_name(result);
}

sql_old_dn_validator::sql_old_dn_validator() = default;

sql_old_dn_validator::~sql_old_dn_validator() = default;

bool sql_old_dn_validator::is_acceptable(const std::u16string& name) {
    tk_wtrace(2, u"sql_old_dn_validator::is_acceptable(%s)", name.c_str());
    if (!sql_old_validator::is_acceptable(name)) {
        return false;
    }
    return !name.empty() && !(name[0] >= u'0' && name[0] <= u'9');
}

std::u16string sql_old_dn_validator::get_safe_name(const std::u16string& name) {
    if (!name.empty() && name[0] >= u'0' && name[0] <= u'9') {
        std::u16string repaired = name;
        repaired[0] = u'_';
        return sql_old_validator::get_safe_name(repaired);
    }
    return sql_old_validator::get_safe_name(name);
}

sql_old_tn_validator::sql_old_tn_validator(const std::vector<std::u16string>& source_tables,
                                           const std::vector<std::u16string>& existing_tables) {
    for (const std::u16string& table : source_tables) {
        add_name_in_use(table);
    }
    for (const std::u16string& table : existing_tables) {
        add_name_in_use(table);
    }
}

sql_old_tn_validator::~sql_old_tn_validator() = default;

sql_old_fn_validator::sql_old_fn_validator(const udb_schema& schema) {
    for (const udb_column* column : schema.columns()) {
        add_name_in_use(column->name());
    }
}

sql_old_fn_validator::~sql_old_fn_validator() = default;

sql_old_in_validator::sql_old_in_validator(const udb_indexes& indexes) {
    for (const udb_index& index : indexes) {
        add_name_in_use(index.name);
    }
}

sql_old_in_validator::~sql_old_in_validator() = default;
