#include "sql_util.h"

#include <mysql.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "ole_date.h"
#include "sql_type_map.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "udb_column.h"
#include "udb_field.h"

namespace {

const char16_t k_empty_literal[] = u"\"\"";
constexpr char k_hex_digits[] = "0123456789ABCDEF";

// Wide text of a view for the traces (which take zero-terminated text).
std::u16string trace_text(std::u16string_view text) {
    return std::u16string(text);
}

bool is_hex_digit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Escapes backslash, apostrophe and NUL: the three characters that would end or change a
// quoted MySQL string. A NUL written as such would also cut the statement for any C-string API.
void escape_into(std::u16string& out, std::u16string_view text) {
    for (char16_t c : text) {
        if (c == u'\\' || c == u'\'') {
            out.push_back(u'\\');
            out.push_back(c);
        } else if (c == 0) {
            out.push_back(u'\\');
            out.push_back(u'0');
        } else {
            out.push_back(c);
        }
    }
}

std::u16string quoted(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 2);
    out.push_back(u'\'');
    escape_into(out, text);
    out.push_back(u'\'');
    return out;
}

// "0x" and two hexadecimal digits per byte, every byte (the value's own printed form stops at
// 327,680 bytes, which would cut large binary values).
void append_hex(std::string& out, std::span<const uint8_t> bytes) {
    const size_t start = out.size();
    out.resize(start + 2 + bytes.size() * 2);
    char* p = out.data() + start;
    *p++ = '0';
    *p++ = 'x';
    for (uint8_t b : bytes) {
        *p++ = k_hex_digits[b >> 4];
        *p++ = k_hex_digits[b & 15];
    }
}

// The whole text of a value, as the literals need it: every code unit of a text and every byte
// of a binary value; the value's printed form otherwise.
std::u16string full_text(const ole_variant& value) {
    if (value.vartype() == VT_BSTR) {
        return value.bstr();
    }
    if (value.is_binary()) {
        if (value.binary_size() == 0) {
            return std::u16string();
        }
        std::string hex;
        append_hex(hex, value.binary());
        return tk_widen_ascii(hex);
    }
    return value.to_wstring();
}

bool is_null_literal_type(VARTYPE type) {
    return type == VT_EMPTY || type == VT_NULL;
}

// The literal of an empty value in `column`: the column's default for a NOT NULL column, NULL
// otherwise.
std::u16string null_literal(const udb_column& column) {
    tk_trace(1, "Put NULL-field");
    if (column.b_not_null()) {
        return to_mysql_str(full_text(column.default_value()), column.vartype());
    }
    return u"NULL";
}

size_t append_wide(std::string& out, const std::u16string& text) {
    tk_append_utf8(out, text);
    return text.size();
}

size_t append_null_literal(std::string& out, const udb_column& column) {
    if (!column.b_not_null()) {
        tk_trace(1, "Put NULL-field");
        out.append("NULL", 4);
        return 4;
    }
    return append_wide(out, null_literal(column));
}

// The text reads as a number, as a whole (white space around it allowed).
bool read_double(const std::u16string& text, double& value) {
    std::string narrow;
    for (char16_t c : text) {
        if (c >= 0x80) {
            return false;
        }
        narrow.push_back(static_cast<char>(c));
    }
    const char* begin = narrow.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtod(begin, &end);
    if (end == begin) {
        return false;
    }
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') {
        ++end;
    }
    return *end == 0;
}

// The text as the C library's atoi reads it (white space, sign, digits), held to 32 bits.
int32_t read_int32(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > 0x80000000ll) {
            value = 0x80000000ll;
        }
    }
    value = negative ? -value : value;
    if (value > 0x7FFFFFFFll) {
        value = 0x7FFFFFFFll;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

size_t append_escaped_text(std::string& out, std::u16string_view text) {
    // Most text needs no escape: copy runs between the characters that do.
    size_t run = 0;
    size_t extra = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\\' || c == u'\'' || c == 0) {
            tk_append_utf8(out, text.substr(run, i - run));
            out.push_back('\\');
            out.push_back(c == 0 ? '0' : static_cast<char>(c));
            ++extra;
            run = i + 1;
        }
    }
    tk_append_utf8(out, text.substr(run));
    return text.size() + extra;
}

std::u16string to_mysql_str(std::u16string_view text, VARTYPE vartype) {
    if (tk_log::wants(1)) {
        tk_wtrace(1, u"to_mysql_str(%s)", trace_text(text).c_str());
    }
    if (text.empty()) {
        return k_empty_literal;
    }
    if (!ole_is_binary_type(vartype)) {
        if (vartype == VT_DATE) {
            const std::u16string canonical = ole_date(text).to_wstring();
            return quoted(canonical);
        }
        if (vartype == VT_BSTR) {
            return quoted(text);
        }
        std::u16string out;
        out.reserve(text.size());
        escape_into(out, text);
        return out;
    }

    tk_trace(1, "GOT BLOB");
    if (text.size() == 1) {
        return quoted(text);
    }
    if (text.size() >= 45) {
        ole_guid_extractor guid(text);
        std::u16string digits = guid.get_guid();
        if (guid.found() && !digits.empty()) {
            tk_trace(1, "BLOB IS AN GUID");
            return u"0x" + digits;
        }
    }
    bool valid = false;
    if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        valid = true;
        for (size_t i = 2; i < text.size() && valid; ++i) {
            valid = is_hex_digit(text[i]);
        }
    } else if (is_digit(text[0]) && is_digit(text[1])) {
        valid = true;
        for (size_t i = 2; i < text.size() && valid; ++i) {
            valid = is_digit(text[i]);
        }
    }
    if (valid) {
        tk_trace(1, "BLOB IS VALID");
        return std::u16string(text);
    }
    // Escaped like any text: an apostrophe inside must not end the literal.
    return quoted(text);
}

std::u16string get_fld_str(const udb_field& field) {
    return to_mysql_str(full_text(field), field.get_type());
}

std::u16string get_fld_append_str(const udb_field& field, const udb_column& column) {
    tk_trace(1, "get_fld_append_str");
    std::u16string literal = get_fld_str(field);
    if (tk_log::wants(1)) {
        tk_wtrace(1, u"Got field: %s", literal.c_str());
    }
    const VARTYPE type = field.get_type();
    if (is_null_literal_type(type) ||
        (type != VT_BSTR && type != VT_BLOB && literal == k_empty_literal)) {
        return null_literal(column);
    }
    return literal;
}

size_t append_fld_literal(std::string& out, const udb_field& field, const udb_column& column) {
    const VARTYPE type = field.get_type();
    switch (type) {
        case VT_EMPTY:
        case VT_NULL:
            return append_null_literal(out, column);
        case VT_BSTR: {
            const std::u16string& text = field.bstr();
            if (text.empty()) {
                out.append("\"\"", 2);
                return 2;
            }
            out.push_back('\'');
            const size_t n = append_escaped_text(out, text);
            out.push_back('\'');
            return n + 2;
        }
        case VT_ARRAY_UI1: {
            const size_t size = field.binary_size();
            if (size == 0) {
                return append_null_literal(out, column);
            }
            append_hex(out, field.binary());
            return 2 + 2 * size;
        }
        case VT_DATE: {
            const std::string text = field.to_string();
            if (text.empty()) {
                return append_null_literal(out, column);
            }
            const size_t start = out.size();
            out.push_back('\'');
            ole_date(text).append_string(out);
            out.push_back('\'');
            // Printed dates are digits, dashes, colons and spaces: one byte per character.
            return out.size() - start;
        }
        default:
            break;
    }
    // Numbers and the other scalar types: their printed form, unquoted.
    const size_t start = out.size();
    field.append_string(out);
    if (out.size() == start) {
        // The empty-text literal, which only text and binary columns keep as it is.
        if (type == VT_BLOB) {
            out.append("\"\"", 2);
            return 2;
        }
        return append_null_literal(out, column);
    }
    bool plain = true;
    for (size_t i = start; i < out.size() && plain; ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        plain = c != '\\' && c != '\'' && c != 0 && c < 0x80;
    }
    if (plain) {
        return out.size() - start;
    }
    const std::u16string text = tk_from_utf8(std::string_view(out).substr(start));
    out.resize(start);
    return append_wide(out, to_mysql_str(text, type));
}

std::u16string make_mysql_def_val(const udb_column& column) {
    const std::u16string text = full_text(column.default_value());
    if (tk_log::wants(1)) {
        tk_wtrace(1, u"make_mysql_def_val(%d,%s)", static_cast<int>(column.vartype()),
                  text.c_str());
    }
    if (text.empty()) {
        tk_trace(1, "Got empty def value");
        return std::u16string();
    }
    switch (column.vartype()) {
        case VT_BSTR:
            tk_wtrace(1, u"Got BSTR def value: %s", text.c_str());
            return to_mysql_str(text, VT_BSTR);
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
        case VT_BOOL: {
            char digits[16];
            const auto result = std::to_chars(digits, digits + sizeof digits, read_int32(text));
            if (tk_widen_ascii(std::string_view(digits, result.ptr - digits)) == text) {
                tk_trace(1, "Int/long default value is correct");
                return text;
            }
            return std::u16string();
        }
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL: {
            double value = 0;
            if (!read_double(text, value)) {
                return std::u16string();
            }
            if (value != 0) {
                return text;
            }
            if (text == u"0") {
                return text;
            }
            for (char16_t c : text) {
                if (std::u16string_view(u"eE-+.,0").find(c) == std::u16string_view::npos) {
                    return std::u16string();
                }
            }
            return text;
        }
        case VT_DATE: {
            tk_trace(1, "Got DATE def value");
            const std::u16string canonical = ole_date(text).to_wstring();
            tk_wtrace(1, u"After canonization: %s", canonical.c_str());
            if (canonical.empty()) {
                return std::u16string();
            }
            return u"\"" + canonical + u"\"";
        }
        default:
            return std::u16string();
    }
}

ole_variant get_variant(VARTYPE vartype, const char* text, size_t length) {
    tk_trace(1, "get_variant(char)");
    if (text == nullptr) {
        return ole_variant();
    }
    if (tk_log::wants(1)) {
        const std::string src(text, length);
        tk_trace(1, "Type=%d, src=%s", static_cast<int>(vartype), src.c_str());
    }
    if (vartype == VT_BOOL) {
        return ole_variant(length != 0);
    }
    return ole_variant::from_string(std::string_view(text, length), vartype);
}

ole_variant get_variant(VARTYPE vartype, const char16_t* text, size_t length) {
    tk_trace(1, "get_variant(wchar_t)");
    if (text == nullptr) {
        return ole_variant();
    }
    if (tk_log::wants(1)) {
        const std::u16string src(text, length);
        tk_wtrace(1, u"Type=%d, src=%s", static_cast<int>(vartype), src.c_str());
    }
    if (vartype == VT_BOOL) {
        return ole_variant(length != 0);
    }
    if (vartype == VT_BSTR) {
        // Every code unit of the cell's text, NULs included.
        return ole_variant(std::u16string_view(text, length));
    }
    return ole_variant::from_wstring(std::u16string_view(text, length), vartype);
}

ole_variant get_variant(int mysql_type, unsigned long length, unsigned int flags,
                        const char* cell) {
    tk_trace(1, "get_variant(2), type=%d, lenght=%lu", mysql_type, length);
    if (cell == nullptr) {
        tk_trace(1, "process NULL-values");
        return ole_variant();
    }
    if (is_mysql_blob_type(mysql_type)) {
        if ((flags & BINARY_FLAG) != 0) {
            tk_trace(1, "Extract BINARY value");
            return ole_variant(static_cast<size_t>(length), reinterpret_cast<const uint8_t*>(cell));
        }
        tk_trace(1, "Extract TEXT value");
        return ole_variant(tk_from_utf8(std::string_view(cell, length)));
    }
    return get_variant(mysql_type_to_vartype(mysql_type, flags), cell, length);
}
