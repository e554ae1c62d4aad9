// ora_dump_table: the parsers of the table definition (CREATE TABLE) and of the index and
// primary-key statements (CREATE [UNIQUE] INDEX, ALTER TABLE ... ADD ... PRIMARY KEY).
#include <cctype>
#include <cstdlib>
#include <string>

#include "ora_byte_source.h"
#include "ora_dump_column.h"
#include "ora_dump_table.h"
#include "ora_text_codec.h"
#include "tk_exception.h"
#include "tk_log.h"

namespace {

std::string_view trim_spaces(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

std::string to_upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    }
    return true;
}

// Tracks whether a position of DDL text lies inside a double-quoted name, a single-quoted
// literal (DEFAULT 'a,b') or parentheses, so that separators there do not cut the text.
struct ddl_nesting {
    bool in_name = false;
    bool in_literal = false;
    int depth = 0;

    // Feeds one byte; true when the byte is outside names, literals and parentheses.
    bool outside(char c) {
        if (in_name) {
            if (c == '"') in_name = false;
            return false;
        }
        if (in_literal) {
            if (c == '\'') in_literal = false;
            return false;
        }
        switch (c) {
            case '"': in_name = true; return false;
            case '\'': in_literal = true; return false;
            case '(': ++depth; return false;
            case ')':
                if (depth > 0) --depth;
                return false;
            default: return depth == 0;
        }
    }
};

}  // namespace

bool ora_dump_table::process_table_desc(std::string_view text) {
    tk_trace(2, "ora_dump_table::process_table_desc(...)\n");
    size_t open = text.find('(');
    if (open == std::string_view::npos) {
        tk_trace(2, "Incorrect field format.\n");
        return false;
    }
    // The column list ends at the parenthesis that closes the first one; parentheses inside
    // quoted names and literals do not count.
    size_t close = std::string_view::npos;
    {
        int depth = 1;
        bool in_name = false, in_literal = false;
        for (size_t i = open + 1; i < text.size(); ++i) {
            char c = text[i];
            if (in_name) {
                in_name = c != '"';
            } else if (in_literal) {
                in_literal = c != '\'';
            } else if (c == '"') {
                in_name = true;
            } else if (c == '\'') {
                in_literal = true;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                close = i;
                break;
            }
        }
    }
    if (close == std::string_view::npos) {
        tk_trace(2, "Incorrect field format.\n");
        return false;
    }
    std::string_view list = text.substr(open + 1, close - open - 1);
    std::vector<std::string_view> pieces;
    ddl_nesting nesting;
    size_t begin = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (nesting.outside(list[i]) && list[i] == ',') {
            pieces.push_back(list.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    std::string_view last = trim_spaces(list.substr(begin));
    if (!last.empty() && last.substr(0, 11) != "PRIMARY KEY") pieces.push_back(last);
    for (std::string_view piece : pieces) {
        if (!add_field(piece)) return false;
    }
    return true;
}

bool ora_dump_table::add_field(std::string_view definition) {
    tk_trace(2, "ora_dump_table::add_field(...)\n");
    std::string_view text = trim_spaces(definition);
    if (starts_with_nocase(text, "CONSTRAINT")) return true;

    std::vector<std::string> tokens;
    ddl_nesting nesting;
    size_t begin = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (nesting.outside(text[i]) && text[i] == ' ') {
            tokens.emplace_back(text.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    std::string_view rest = trim_spaces(text.substr(begin));
    if (!rest.empty()) tokens.emplace_back(rest);
    if (tokens.size() < 2) {
        tk_trace(2, "Missing required tokens <field name>or/and <type>\n");
        return false;
    }
    std::string_view quoted = tokens[0];
    std::u16string name =
        decode_name(quoted.size() >= 2 ? quoted.substr(1, quoted.size() - 2) : std::string_view());
    bool not_null = false;
    for (size_t i = 2; i + 1 < tokens.size(); ++i) {
        if (tokens[i] == "NOT" && tokens[i + 1] == "NULL") not_null = true;
    }
    std::string type = tokens[1];
    if (tokens.size() >= 3 && to_upper(tokens[1]).find("LONG") != std::string::npos &&
        to_upper(tokens[2]).find("RAW") != std::string::npos) {
        type = "LONG RAW";
    }
    int32_t size = 0, scale = 0, precision = 0, kind = 0;
    uint16_t vartype = 0;
    if (!get_type(type, size, vartype, scale, precision, kind)) {
        tk_trace(2, "Failed to get field type.\n");
        return false;
    }
    int32_t flags = scale + 256 * precision;
    if (vartype == VT_DATE) {
        flags = udb_column::date_and_time;
        tk_trace(2, "Set 'trusted date' flag");
    }
    schema().add(std::make_unique<ora_dump_column>(size, kind, std::move(name), vartype, not_null,
                                                   flags));
    return true;
}

bool ora_dump_table::get_typesize(std::string_view type, std::vector<int32_t>& numbers) {
    tk_trace(1, "ora_dump_table::get_typesize(%.*s)", static_cast<int>(type.size()), type.data());
    numbers.clear();
    size_t open = type.find('(');
    size_t close = type.find(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return false;
    }
    std::string_view inside = trim_spaces(type.substr(open + 1, close - open - 1));
    size_t begin = 0;
    for (;;) {
        size_t comma = inside.find(',', begin);
        std::string piece(inside.substr(begin, comma == std::string_view::npos ? std::string_view::npos
                                                                               : comma - begin));
        if (piece == "*") piece = "9";
        numbers.push_back(static_cast<int32_t>(std::atol(piece.c_str())));
        if (comma == std::string_view::npos) break;
        begin = comma + 1;
    }
    return true;
}

bool ora_dump_table::get_type(std::string_view type, int32_t& size, uint16_t& vartype,
                              int32_t& scale, int32_t& precision, int32_t& kind) {
    tk_trace(2, "ora_dump_table::get_type(scale=%d,prec=%d)\n", scale, precision);
    const std::string upper = to_upper(type);
    auto has = [&upper](const char* keyword) { return upper.find(keyword) != std::string::npos; };
    auto declared = [&](uint16_t vt, int32_t k) {
        std::vector<int32_t> numbers;
        get_typesize(type, numbers);
        if (numbers.size() != 1) {
            tk_trace(2, "Failed to get the data type size %.*s\n", static_cast<int>(type.size()),
                     type.data());
            return false;
        }
        size = numbers[0];
        vartype = vt;
        kind = k;
        return true;
    };
    auto fixed = [&](int32_t s, uint16_t vt, int32_t k) {
        size = s;
        vartype = vt;
        kind = k;
        return true;
    };
    if (has("NVARCHAR2")) return declared(VT_BSTR, ora_kind_nvarchar2);
    if (has("VARCHAR2")) return declared(VT_BSTR, ora_kind_varchar2);
    if (has("NCHAR")) return declared(VT_BSTR, ora_kind_nchar);
    if (has("CHAR")) return declared(VT_BSTR, ora_kind_char);
    if (has("DATE")) return fixed(8, VT_DATE, ora_kind_date);
    if (has("NUMBER")) {
        std::vector<int32_t> numbers;
        get_typesize(type, numbers);
        kind = ora_kind_number;
        if (numbers.empty()) {
            size = 8;
            vartype = VT_R8;
            scale = 0;
            precision = 0;
            return true;
        }
        int32_t p = numbers[0];
        int32_t s = numbers.size() > 1 ? numbers[1] : 0;
        if (s != 0) {
            size = 8;
            vartype = VT_DECIMAL;
            scale = s;
            precision = p;
            return true;
        }
        scale = p;
        precision = 0;
        if (p < 3) {
            size = 1;
            vartype = VT_I1;
        } else if (p <= 4) {
            size = 2;
            vartype = VT_I2;
        } else if (p <= 9) {
            size = 4;
            vartype = VT_I4;
        } else {
            size = 8;
            vartype = VT_I8;
        }
        return true;
    }
    if (has("FLOAT")) return fixed(4, VT_R8, ora_kind_float);
    if (has("LONG RAW")) return fixed(0, VT_BLOB, ora_kind_long_raw);
    if (has("LONG")) return fixed(0, VT_BSTR, ora_kind_long);
    if (has("CLOB")) return fixed(0, VT_BSTR, ora_kind_clob);
    if (has("BLOB")) return fixed(0, VT_BLOB, ora_kind_blob);
    if (has("ROWID")) return fixed(0, VT_BSTR, ora_kind_rowid);
    if (has("RAW")) return declared(VT_BSTR, ora_kind_raw);
    if (has("TIMESTAMP")) return fixed(0, VT_DATE, ora_kind_timestamp);
    if (has("KEY")) return fixed(0, VT_BSTR, ora_kind_other);
    throw tk_exception("User-defined types are not supported", 0);
}

std::string ora_dump_table::get_index_fields() {
    tk_trace(1, "ora_dump_table::get_index_fields");
    ora_byte_source& source = *m_source;
    uint8_t b = 0;
    do {
        if (!source.read_byte(b)) return std::string();
    } while (b == ' ');
    std::string out;
    if (b == '(') {
        out.push_back('(');
        while (source.read_byte(b)) {
            if (b == '(') return std::string();  // an expression, not a column list
            out.push_back(static_cast<char>(b));
            if (b == ')') break;
            if (out.size() > max_statement) return std::string();
        }
        return out;
    }
    out.push_back(static_cast<char>(b));
    while (source.read_byte(b) && !ora_byte_source::is_space(b)) {
        out.push_back(static_cast<char>(b));
        if (out.size() > max_statement) break;
    }
    return out;
}

std::vector<std::u16string> ora_dump_table::column_names(std::string list) {
    std::string cleaned;
    for (char c : trim_spaces(list)) {
        if (c != '(' && c != ')' && c != '"') cleaned.push_back(c);
    }
    std::vector<std::u16string> names;
    size_t begin = 0;
    for (;;) {
        size_t comma = cleaned.find(',', begin);
        std::string_view piece(cleaned);
        piece = piece.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
        names.push_back(decode_name(trim_spaces(piece)));
        if (comma == std::string::npos) break;
        begin = comma + 1;
    }
    return names;
}

bool ora_dump_table::parse_indexes(const std::vector<index_span>& spans) {
    tk_trace(1, "ora_dump_table::parse_indexes");
    ora_byte_source& source = *m_source;
    const uint64_t here = source.position();
    bool result = true;
    for (const index_span& span : spans) {
        if (span.end <= span.start) {
            result = false;
            break;
        }
        source.seek(span.start);
        std::string_view word;
        std::string index_name;
        if (source.read_word(word)) index_name = std::string(word);
        source.read_word(word);  // ON
        source.read_word(word);  // the table
        std::string fields = get_index_fields();
        if (fields.empty()) continue;
        std::string unquoted;
        for (char c : index_name) {
            if (c != '"') unquoted.push_back(c);
        }
        udb_index index;
        index.name = decode_name(unquoted);
        index.b_unique = span.b_unique;
        index.b_primary = false;
        index.fields = column_names(std::move(fields));
        indexes().add(std::move(index));
    }
    source.seek(here);
    return result;
}

bool ora_dump_table::parse_keys(const std::vector<alter_span>& spans) {
    tk_trace(1, "ora_dump_table::parse_keys");
    ora_byte_source& source = *m_source;
    const uint64_t here = source.position();
    bool result = true;
    try {
        for (const alter_span& span : spans) {
            if (span.start == 0) break;
            source.seek(span.start);
            std::string_view word;
            while (!source.at_end() && source.position() < span.end && source.read_word(word)) {
                if (word != "ADD") continue;
                if (!source.read_word(word)) break;
                std::u16string constraint;
                if (word == "CONSTRAINT") {
                    tk_trace(1, "Got PK or FK");
                    if (!source.read_word(word)) break;
                    if (word.size() >= 2) constraint = decode_name(word.substr(1, word.size() - 2));
                    if (!source.read_word(word)) break;
                }
                if (word != "PRIMARY") continue;
                source.read_word(word);  // KEY
                udb_index index;
                index.name = std::move(constraint);
                index.b_unique = false;
                index.b_primary = true;
                index.fields = column_names(get_index_fields());
                indexes().add(std::move(index));
            }
        }
    } catch (const std::exception&) {
        result = false;
    }
    source.seek(here);
    return result;
}
