// The SQL literals of values (sql_util) and the type maps, without a server.
#include <gtest/gtest.h>
#include <mysql.h>

#include <memory>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "sql_engine.h"
#include "sql_type_map.h"
#include "sql_util.h"
#include "tk_text.h"
#include "udb_column.h"
#include "udb_field.h"

namespace {

class literal_test : public ::testing::Test {
protected:
    literal_test() { engine.set_server_version(sql_version(5, 0, 51)); }
    sql_engine engine;
};

udb_column column_of(VARTYPE type, bool not_null = false, const ole_variant& def = ole_variant(),
                     int32_t size = 20, int32_t flags = 0) {
    return udb_column(size, u"C", type, not_null, false, def, flags);
}

struct text_case {
    std::u16string text;
    VARTYPE type;
    std::u16string literal;
};

TEST_F(literal_test, to_mysql_str_writes_each_kind_of_literal) {
    const text_case cases[] = {
        {u"O'Brien\\x", VT_BSTR, u"'O\\'Brien\\\\x'"},
        {u"", VT_BSTR, u"\"\""},
        {u"", VT_I4, u"\"\""},
        {u"42", VT_I4, u"42"},
        {u"1.5", VT_R8, u"1.5"},
        {u"2004-05-06 07:08:09", VT_DATE, u"'2004-05-06 07:08:09'"},
        {u"20040506070809", VT_DATE, u"'2004-05-06 07:08:09'"},
        {u"2004-05-06 00:00:00", VT_DATE, u"'2004-05-06'"},
        {u"0x0A1B", VT_ARRAY_UI1, u"0x0A1B"},
        {u"0X0a1b", VT_BLOB, u"0X0a1b"},
        {u"1234", VT_BLOB, u"1234"},
        {u"12ab", VT_BLOB, u"'12ab'"},
        {u"x", VT_BLOB, u"'x'"},
        {u"blob guid={12345678-1234-5678-9ABC-DEF012345678}", VT_BLOB,
         u"0x12345678123456789ABCDEF012345678"},
        // An apostrophe inside a quoted binary text must not end the literal.
        {u"it's", VT_BLOB, u"'it\\'s'"},
        // A NUL is written as the escape \0, so the statement keeps every character after it.
        {std::u16string(u"a\0b", 3), VT_BSTR, u"'a\\0b'"},
    };
    for (const text_case& c : cases) {
        EXPECT_EQ(tk_to_utf8(to_mysql_str(c.text, c.type)), tk_to_utf8(c.literal))
            << tk_to_utf8(c.text) << " type " << c.type;
    }
}

TEST_F(literal_test, empty_values_become_null_or_the_columns_default) {
    const udb_field empty(u"C", 4, ole_variant());
    EXPECT_EQ(get_fld_append_str(empty, column_of(VT_I4)), u"NULL");
    EXPECT_EQ(get_fld_append_str(empty, column_of(VT_I4, true, ole_variant(0))), u"0");
    EXPECT_EQ(get_fld_append_str(empty, column_of(VT_BSTR, true, ole_variant(u"n/a"))), u"'n/a'");
    // An empty text stays the empty-text literal, which MySQL reads as an empty string.
    const udb_field empty_text(u"C", 4, ole_variant(u""));
    EXPECT_EQ(get_fld_append_str(empty_text, column_of(VT_BSTR)), u"\"\"");
    // An empty byte array counts as NULL.
    const udb_field empty_bytes(u"C", 4, ole_variant(std::vector<uint8_t>()));
    EXPECT_EQ(get_fld_append_str(empty_bytes, column_of(VT_BLOB)), u"NULL");
}

TEST_F(literal_test, a_large_binary_value_is_written_whole) {
    // The printed form of a byte array stops at 327,680 bytes; the literal must not.
    std::vector<uint8_t> bytes(400000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    const udb_field field(u"B", 0, ole_variant(bytes));
    const std::u16string literal = get_fld_append_str(field, column_of(VT_BLOB));
    ASSERT_EQ(literal.size(), 2 + 2 * bytes.size());
    EXPECT_EQ(literal.substr(0, 8), u"0x00070E");
    EXPECT_EQ(literal.substr(literal.size() - 2), u"79");  // 399999 * 7 mod 256 = 0x79
    std::string fast;
    EXPECT_EQ(append_fld_literal(fast, field, column_of(VT_BLOB)), literal.size());
    EXPECT_EQ(fast, tk_to_utf8(literal));
}

TEST_F(literal_test, the_fast_writer_matches_the_wide_literal) {
    ole_systemtime when;
    when.year = 2004;
    when.month = 5;
    when.day = 6;
    when.hour = 7;
    when.minute = 8;
    when.second = 9;
    ole_systemtime date_only = when;
    date_only.hour = date_only.minute = date_only.second = 0;
    const std::vector<std::pair<ole_variant, udb_column>> cases = {
        {ole_variant(42), column_of(VT_I4)},
        {ole_variant(-7), column_of(VT_I4)},
        {ole_variant(static_cast<long long>(-9000000000ll)), column_of(VT_I8)},
        {ole_variant(1.25), column_of(VT_R8)},
        {ole_variant(1.5f), column_of(VT_R4)},
        {ole_variant(true), column_of(VT_BOOL)},
        {ole_variant(ole_currency{123456}), column_of(VT_CY)},
        {ole_variant(when), column_of(VT_DATE, false, ole_variant(), 0, 1)},
        {ole_variant(date_only), column_of(VT_DATE, false, ole_variant(), 0, 2)},
        {ole_variant(u"plain"), column_of(VT_BSTR)},
        {ole_variant(u"O'Brien\\x"), column_of(VT_BSTR)},
        {ole_variant(u"Zähler 数据 \U0001F600"), column_of(VT_BSTR)},
        {ole_variant(std::u16string_view(u"nul\0inside", 10)), column_of(VT_BSTR)},
        {ole_variant(u""), column_of(VT_BSTR)},
        {ole_variant(), column_of(VT_I4)},
        {ole_variant(), column_of(VT_I4, true, ole_variant(5))},
        {ole_variant(std::vector<uint8_t>{0x00, 0xFF, 0x10}), column_of(VT_BLOB)},
    };
    for (const auto& [value, column] : cases) {
        const udb_field field(u"C", 0, value);
        const std::u16string wide = get_fld_append_str(field, column);
        std::string fast = "prefix";
        const size_t chars = append_fld_literal(fast, field, column);
        EXPECT_EQ(fast, "prefix" + tk_to_utf8(wide)) << tk_to_utf8(wide);
        EXPECT_EQ(chars, wide.size()) << tk_to_utf8(wide);
    }
}

TEST_F(literal_test, a_nul_inside_text_is_escaped_and_keeps_what_follows) {
    const udb_field field(u"C", 0, ole_variant(std::u16string_view(u"a\0b'c", 5)));
    std::string out;
    append_fld_literal(out, field, column_of(VT_BSTR));
    EXPECT_EQ(out, "'a\\0b\\'c'");
    EXPECT_EQ(out.find('\0'), std::string::npos);
}

struct default_case {
    VARTYPE type;
    std::u16string text;
    std::u16string literal;
};

TEST_F(literal_test, make_mysql_def_val_keeps_only_defaults_mysql_accepts) {
    const default_case cases[] = {
        {VT_I4, u"42", u"42"},
        {VT_I4, u"-7", u"-7"},
        {VT_I4, u"042", u""},
        {VT_I4, u"4.0", u""},
        {VT_UI1, u"3", u"3"},
        {VT_BOOL, u"1", u"1"},
        {VT_R8, u"0.00", u"0.00"},
        {VT_R8, u"abc", u""},
        {VT_R8, u"1.5e3", u"1.5e3"},
        {VT_R8, u"0", u"0"},
        {VT_DECIMAL, u"2.50", u"2.50"},
        {VT_R8, u"1.5abc", u""},
        {VT_BSTR, u"it's", u"'it\\'s'"},
        {VT_BSTR, u"", u""},
        {VT_I8, u"5", u""},
        {VT_BLOB, u"0x00", u""},
        {VT_DATE, u"2004-05-06 07:08:09", u"\"2004-05-06 07:08:09\""},
        {VT_DATE, u"nonsense", u""},
    };
    for (const default_case& c : cases) {
        const udb_column column = column_of(c.type, false, ole_variant(c.text));
        EXPECT_EQ(tk_to_utf8(make_mysql_def_val(column)), tk_to_utf8(c.literal))
            << tk_to_utf8(c.text) << " type " << c.type;
    }
}

struct native_case {
    VARTYPE type;
    int32_t size;
    int32_t flags;
    std::u16string mysql;
};

TEST_F(literal_test, the_type_map_gives_every_mysql_type) {
    const native_case cases[] = {
        {VT_I1, 0, 0, u"TINYINT"},
        {VT_UI1, 0, 0, u"TINYINT UNSIGNED"},
        {VT_BOOL, 0, 0, u"TINYINT"},
        {VT_I2, 0, 0, u"SMALLINT"},
        {VT_UI2, 0, 0, u"SMALLINT UNSIGNED"},
        {VT_I4, 0, 0, u"INT"},
        {VT_INT, 0, 0, u"INT"},
        {VT_UI4, 0, 0, u"INT UNSIGNED"},
        {VT_UINT, 0, 0, u"INT UNSIGNED"},
        {VT_I8, 0, 0, u"BIGINT"},
        {VT_UI8, 0, 0, u"BIGINT UNSIGNED"},
        {VT_R4, 0, 0, u"FLOAT"},
        {VT_R8, 0, 0, u"DOUBLE"},
        {VT_CY, 0, 0, u"DECIMAL(19,4)"},
        {VT_DECIMAL, 0, udb_column::decimal_flags(10, 2), u"DECIMAL(10,2)"},
        {VT_DECIMAL, 0, 0, u"DOUBLE"},
        {VT_DATE, 0, 0, u"CHAR(19)"},
        {VT_DATE, 0, 1, u"DATETIME"},
        {VT_DATE, 0, 2, u"DATE"},
        {VT_DATE, 0, 3, u"TIME"},
        {VT_BSTR, 1, 0, u"VARCHAR(1)"},
        {VT_BSTR, 255, 0, u"VARCHAR(255)"},
        {VT_BSTR, 256, 0, u"TEXT"},
        {VT_BSTR, 65535, 0, u"TEXT"},
        {VT_BSTR, 65536, 0, u"MEDIUMTEXT"},
        {VT_BSTR, 16777215, 0, u"MEDIUMTEXT"},
        {VT_BSTR, 16777216, 0, u"LONGTEXT"},
        {VT_BSTR, 0, 0, u"LONGTEXT"},
        {VT_BLOB, 1, 0, u"TINYBLOB"},
        {VT_BLOB, 255, 0, u"TINYBLOB"},
        {VT_BLOB, 256, 0, u"BLOB"},
        {VT_BLOB, 65536, 0, u"MEDIUMBLOB"},
        {VT_BLOB, 0, 0, u"LONGBLOB"},
        {VT_BLOB, 16777216, 0, u"LONGBLOB"},
    };
    for (const native_case& c : cases) {
        EXPECT_EQ(tk_to_utf8(get_native_type(c.type, c.size, c.flags)), tk_to_utf8(c.mysql))
            << "type " << c.type << " size " << c.size;
    }
    engine.set_case_sensitive(true);
    EXPECT_EQ(get_native_type(VT_BSTR, 255, 0), u"VARCHAR(255) BINARY");
    EXPECT_EQ(get_native_type(VT_BSTR, 256, 0), u"TEXT");
    EXPECT_THROW(get_native_type(VT_DATE, 0, 4), tk_mail_assertion);
    EXPECT_THROW(get_native_type(VT_ERROR, 0, 0), tk_mail_assertion);
    EXPECT_THROW(get_native_type(VT_BLOB_OBJECT, 0, 0), tk_mail_assertion);
}

TEST_F(literal_test, the_read_back_type_map_follows_the_unsigned_flag) {
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_TINY, 0), VT_I1);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_TINY, UNSIGNED_FLAG), VT_UI1);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_LONGLONG, UNSIGNED_FLAG), VT_UI8);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_INT24, UNSIGNED_FLAG), VT_I4);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_NEWDECIMAL, 0), VT_DECIMAL);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_TIMESTAMP, 0), VT_DATE);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_YEAR, 0), VT_UI2);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_BIT, 0), VT_BOOL);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_MEDIUM_BLOB, 0), VT_BLOB);
    EXPECT_EQ(mysql_type_to_vartype(MYSQL_TYPE_ENUM, 0), VT_BSTR);
}

TEST_F(literal_test, get_variant_makes_values_from_cells) {
    EXPECT_EQ(get_variant(VT_I4, static_cast<const char*>(nullptr), 0).vartype(), VT_EMPTY);
    EXPECT_EQ(get_variant(VT_BOOL, "", 0).boolean(), 0);
    EXPECT_EQ(get_variant(VT_BOOL, "0", 1).boolean(), -1);  // true whenever there is text
    EXPECT_EQ(get_variant(VT_I4, "17", 2).i4(), 17);
    EXPECT_EQ(get_variant(VT_BSTR, std::u16string_view(u"a\0b", 3)).bstr().size(), 3u);

    const char bytes[] = {'\x00', '\x01', '\xFF'};
    const ole_variant blob = get_variant(MYSQL_TYPE_BLOB, 3, BINARY_FLAG, bytes);
    ASSERT_TRUE(blob.is_binary());
    EXPECT_EQ(blob.binary_size(), 3u);
    const ole_variant text = get_variant(MYSQL_TYPE_BLOB, 4, 0, "\xC3\xA4x!");
    EXPECT_EQ(text.bstr(), u"äx!");
    EXPECT_EQ(get_variant(MYSQL_TYPE_LONG, 0, 0, nullptr).vartype(), VT_EMPTY);
    EXPECT_EQ(get_variant(MYSQL_TYPE_LONG, 2, 0, "-5").i4(), -5);
    EXPECT_EQ(get_variant(MYSQL_TYPE_DATETIME, 19, 0, "2004-05-06 07:08:09").vartype(), VT_DATE);
}

}  // namespace
