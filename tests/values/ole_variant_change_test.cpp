// ole_variant::change_type: every rule, the OLE conversions of the remaining pairs, and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "ole_variant.h"

namespace {

ole_decimal decimal_of(const char* text) {
    ole_decimal d;
    EXPECT_EQ(ole_var_dec_from_str(text, d), OLE_S_OK) << text;
    return d;
}

ole_systemtime date_time(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s) {
    ole_systemtime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    return t;
}

struct change_case {
    const char* name;
    ole_variant value;
    VARTYPE to;
    const char* printed;  // nullptr: ole_type_exception
};

void run(const change_case& c) {
    ole_variant v(c.value);
    if (c.printed == nullptr) {
        EXPECT_THROW(v.change_type(c.to), ole_type_exception) << c.name;
        return;
    }
    ASSERT_NO_THROW(v.change_type(c.to)) << c.name;
    VARTYPE expected = ole_is_binary_type(c.to) ? VT_ARRAY_UI1 : c.to;
    if (c.value.is_empty())
        expected = c.value.vartype();
    EXPECT_EQ(v.vartype(), expected) << c.name;
    EXPECT_EQ(v.to_string(), c.printed) << c.name;
}

TEST(OleVariantChange, NothingChanges) {
    const VARTYPE all[] = {VT_I2, VT_I4, VT_R8, VT_BSTR, VT_DATE, VT_DECIMAL, VT_I8, VT_BLOB};
    for (VARTYPE to : all) {
        ole_variant empty;
        empty.change_type(to);
        EXPECT_EQ(empty.vartype(), VT_EMPTY) << to;
    }
    ole_variant blob(std::vector<uint8_t>{1});
    blob.change_type(VT_BLOB);
    EXPECT_EQ(blob.vartype(), VT_ARRAY_UI1);
    blob.change_type(VT_BLOB_OBJECT);
    EXPECT_EQ(blob.to_string(), "0x01");
    ole_variant same(u"text");
    same.change_type(VT_BSTR);
    EXPECT_EQ(same.bstr(), u"text");
}

TEST(OleVariantChange, FromSigned64) {
    const change_case cases[] = {
        {"to I2", ole_variant(int64_t{-1234}), VT_I2, "-1234"},
        {"to I4", ole_variant(int64_t{2147483647}), VT_I4, "2147483647"},
        {"to I1", ole_variant(int64_t{-128}), VT_I1, "-128"},
        {"to UI1", ole_variant(int64_t{255}), VT_UI1, "255"},
        {"to UI2", ole_variant(int64_t{65535}), VT_UI2, "65535"},
        {"to UI4", ole_variant(int64_t{4294967295}), VT_UI4, "4294967295"},
        // Out of the target's range: a failure, not the low bits under the new tag.
        {"70000 to I2", ole_variant(int64_t{70000}), VT_I2, nullptr},
        {"2^31 to I4", ole_variant(int64_t{2147483648}), VT_I4, nullptr},
        {"-1 to UI4", ole_variant(int64_t{-1}), VT_UI4, nullptr},
        {"256 to UI1", ole_variant(int64_t{256}), VT_UI1, nullptr},
        {"to INT", ole_variant(int64_t{-5}), VT_INT, ""},
        {"1 to BOOL", ole_variant(int64_t{1}), VT_BOOL, "1"},
        {"0 to BOOL", ole_variant(int64_t{0}), VT_BOOL, "0"},
        {"to R8", ole_variant(int64_t{-3}), VT_R8, "-3.000000000000000e+000"},
        {"to R4", ole_variant(int64_t{16777216}), VT_R4, "1.677722e+007"},
        {"to CY", ole_variant(int64_t{-12}), VT_CY, "-12"},
        {"too large for CY", ole_variant(int64_t{922337203685478}), VT_CY, nullptr},
        {"to DECIMAL", ole_variant(std::numeric_limits<int64_t>::min()), VT_DECIMAL,
         "-9223372036854775808"},
        {"to BSTR", ole_variant(int64_t{-9876543210}), VT_BSTR, "-9876543210"},
        {"to UI8", ole_variant(int64_t{5}), VT_UI8, "5"},
        {"negative to UI8", ole_variant(int64_t{-5}), VT_UI8, nullptr},
        {"to DATE", ole_variant(int64_t{5}), VT_DATE, nullptr},
        {"to BLOB", ole_variant(int64_t{5}), VT_BLOB, nullptr},
    };
    for (const auto& c : cases) run(c);
}

TEST(OleVariantChange, FromUnsigned64) {
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    const change_case cases[] = {
        {"to UI4", ole_variant(uint64_t{4000000000}), VT_UI4, "4000000000"},
        {"to I4 too large", ole_variant(uint64_t{4000000000}), VT_I4, nullptr},
        {"to R8", ole_variant(max), VT_R8, "1.844674407370955e+019"},
        {"to BSTR", ole_variant(max), VT_BSTR, "18446744073709551615"},
        {"to I8", ole_variant(uint64_t{42}), VT_I8, "42"},
        {"to I8 too large", ole_variant(max), VT_I8, nullptr},
        {"to DECIMAL", ole_variant(max), VT_DECIMAL, "18446744073709551615"},
        {"to BOOL", ole_variant(uint64_t{1} << 40), VT_BOOL, "1"},
    };
    for (const auto& c : cases) run(c);
}

TEST(OleVariantChange, FromDate) {
    ole_variant v(date_time(2004, 5, 6, 7, 8, 9));
    v.change_type(VT_BSTR);
    EXPECT_EQ(v.bstr(), u"2004-05-06 07:08:09");
    ole_variant d(date_time(2004, 5, 6, 7, 8, 9));
    EXPECT_THROW(d.change_type(VT_R8), ole_type_exception);
    EXPECT_THROW(d.change_type(VT_I8), ole_type_exception);
}

TEST(OleVariantChange, ToSigned64) {
    const change_case cases[] = {
        {"I2", ole_variant(static_cast<short>(-5)), VT_I8, "-5"},
        {"BOOL", ole_variant(true), VT_I8, "-1"},
        {"I4", ole_variant(-7), VT_I8, "-7"},
        {"I1", ole_variant(static_cast<signed char>(-7)), VT_I8, "-7"},
        {"UI1", ole_variant(static_cast<unsigned char>(255)), VT_I8, "255"},
        {"UI4", ole_variant(4294967295u), VT_I8, "4294967295"},
        {"R8 truncates", ole_variant(-2.9), VT_I8, "-2"},
        {"R4 truncates", ole_variant(2.9f), VT_I8, "2"},
        {"R8 too large", ole_variant(1e19), VT_I8, nullptr},
        {"R8 NaN", ole_variant(std::nan("")), VT_I8, nullptr},
        {"CY 2.5", ole_variant(ole_currency{25000}), VT_I8, "3"},
        {"CY 2.4999", ole_variant(ole_currency{24999}), VT_I8, "2"},
        {"CY -2.5", ole_variant(ole_currency{-25000}), VT_I8, "-2"},
        {"CY -2.7", ole_variant(ole_currency{-27000}), VT_I8, "-3"},
        {"DECIMAL 2.5", ole_variant(decimal_of("2.5")), VT_I8, "3"},
        {"DECIMAL -1234.4", ole_variant(decimal_of("-1234.4")), VT_I8, "-1234"},
        {"DECIMAL too large for CY", ole_variant(decimal_of("1e16")), VT_I8, nullptr},
        {"BSTR", ole_variant(u"12"), VT_I8, nullptr},
        {"to UI8", ole_variant(7), VT_UI8, "7"},
        {"negative to UI8", ole_variant(-7), VT_UI8, nullptr},
        {"R8 to UI8", ole_variant(3.99), VT_UI8, "3"},
    };
    for (const auto& c : cases) run(c);
}

TEST(OleVariantChange, ToDate) {
    ole_variant v(u"2004-05-06 07:08:09");
    v.change_type(VT_DATE);
    EXPECT_EQ(v.vartype(), VT_DATE);
    EXPECT_EQ(v.systemtime().year, 2004);
    EXPECT_EQ(v.to_string(), "2004-05-06 07:08:09");
    ole_variant zero(u"0000-00-00 00:00:00");
    zero.change_type(VT_DATE);
    EXPECT_EQ(zero.to_string(), "0000-00-00 00:00:00");
    ole_variant date_only(u"2004-05-06");
    EXPECT_THROW(date_only.change_type(VT_DATE), ole_type_exception);
    ole_variant garbage(u"abcdefghijklmnopqrs");  // 19 units, no date
    EXPECT_THROW(garbage.change_type(VT_DATE), ole_type_exception);
    ole_variant number(38113.5);
    EXPECT_THROW(number.change_type(VT_DATE), ole_type_exception);
}

std::vector<uint8_t> bytes_of(ole_variant v) {
    v.change_type(VT_BLOB);
    auto span = v.binary();
    return {span.begin(), span.end()};
}

TEST(OleVariantChange, ToBinaryGivesTheLittleEndianBytes) {
    EXPECT_EQ(bytes_of(ole_variant(static_cast<short>(0x0102))), (std::vector<uint8_t>{2, 1}));
    EXPECT_EQ(bytes_of(ole_variant(true)), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(bytes_of(ole_variant(0x01020304)), (std::vector<uint8_t>{4, 3, 2, 1}));
    EXPECT_EQ(bytes_of(ole_variant(static_cast<unsigned char>(7))), (std::vector<uint8_t>{7}));
    EXPECT_EQ(bytes_of(ole_variant(1.0f)), (std::vector<uint8_t>{0, 0, 0x80, 0x3F}));
    EXPECT_EQ(bytes_of(ole_variant(1.0)), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(bytes_of(ole_variant(ole_currency{1})),
              (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytes_of(ole_variant(decimal_of("-1.5"))),
              (std::vector<uint8_t>{14, 0, 1, 0x80, 0, 0, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0}));
    // Text: its UTF-8 bytes, every code unit.
    EXPECT_EQ(bytes_of(ole_variant(std::u16string(u"A\u00e4\0B", 4))),
              (std::vector<uint8_t>{'A', 0xC3, 0xA4, 0, 'B'}));
    ole_variant date(date_time(2004, 5, 6, 7, 8, 9));
    EXPECT_THROW(date.change_type(VT_BLOB), ole_type_exception);
}

TEST(OleVariantChange, NumbersAmongThemselves) {
    const change_case cases[] = {
        {"R8 2.5 to I2", ole_variant(2.5), VT_I2, "2"},
        {"R8 3.5 to I2", ole_variant(3.5), VT_I2, "4"},
        {"R8 -2.5 to I4", ole_variant(-2.5), VT_I4, "-2"},
        {"R8 127.5 to I1", ole_variant(127.5), VT_I1, nullptr},
        {"R8 1e10 to I4", ole_variant(1e10), VT_I4, nullptr},
        {"R8 -1 to UI2", ole_variant(-1.0), VT_UI2, nullptr},
        {"R8 NaN to I4", ole_variant(std::nan("")), VT_I4, nullptr},
        {"R8 to R4", ole_variant(0.5), VT_R4, "5.000000e-001"},
        {"R8 1e300 to R4", ole_variant(1e300), VT_R4, nullptr},
        {"R8 to DECIMAL", ole_variant(1.0 / 3.0), VT_DECIMAL, "0.333333333333333"},
        {"R8 12.5 to DECIMAL", ole_variant(12.5), VT_DECIMAL, "12.5"},
        {"R8 1e30 to DECIMAL", ole_variant(1e30), VT_DECIMAL, nullptr},
        {"R4 to DECIMAL", ole_variant(0.1f), VT_DECIMAL, "0.1"},
        {"R8 to CY", ole_variant(1.23456), VT_CY, "1.2346"},
        {"R8 to BOOL", ole_variant(0.1), VT_BOOL, "1"},
        {"I4 to I2", ole_variant(-32768), VT_I2, "-32768"},
        {"I4 to I2 too large", ole_variant(32768), VT_I2, nullptr},
        {"I4 to UI1", ole_variant(255), VT_UI1, "255"},
        {"I4 -1 to UI1", ole_variant(-1), VT_UI1, nullptr},
        {"I1 -1 to UI4", ole_variant(static_cast<signed char>(-1)), VT_UI4, nullptr},
        {"UI4 to I4 too large", ole_variant(4294967295u), VT_I4, nullptr},
        {"UI2 to I2", ole_variant(static_cast<unsigned short>(32767)), VT_I2, "32767"},
        {"I4 to R8", ole_variant(7), VT_R8, "7.000000000000000e+000"},
        {"I4 to DECIMAL", ole_variant(-7), VT_DECIMAL, "-7"},
        {"I4 to CY", ole_variant(-7), VT_CY, "-7"},
        {"UI4 to CY", ole_variant(4294967295u), VT_CY, "4294967295"},
        {"CY to I4", ole_variant(ole_currency{25000}), VT_I4, "2"},
        {"CY to I4 odd", ole_variant(ole_currency{35000}), VT_I4, "4"},
        {"CY to DECIMAL", ole_variant(ole_currency{12345}), VT_DECIMAL, "1.2345"},
        {"CY to R8", ole_variant(ole_currency{-25000}), VT_R8, "-2.500000000000000e+000"},
        {"DECIMAL to I2", ole_variant(decimal_of("-2.5")), VT_I2, "-2"},
        {"DECIMAL to I2 too large", ole_variant(decimal_of("32767.5")), VT_I2, nullptr},
        {"DECIMAL to UI1", ole_variant(decimal_of("254.5")), VT_UI1, "254"},
        {"DECIMAL to R8", ole_variant(decimal_of("0.1")), VT_R8, "1.000000000000000e-001"},
        {"DECIMAL to CY", ole_variant(decimal_of("1.23455")), VT_CY, "1.2346"},
        {"DECIMAL to CY too large", ole_variant(decimal_of("1e15")), VT_CY, nullptr},
        {"DECIMAL to BOOL", ole_variant(decimal_of("0.001")), VT_BOOL, "1"},
        {"DECIMAL zero to BOOL", ole_variant(decimal_of("0.00")), VT_BOOL, "0"},
        {"BOOL to I4", ole_variant(true), VT_I4, "-1"},
        {"BOOL to UI1", ole_variant(true), VT_UI1, "255"},
        {"BOOL to UI4", ole_variant(true), VT_UI4, "4294967295"},
        {"BOOL false to UI2", ole_variant(false), VT_UI2, "0"},
        {"BOOL to R8", ole_variant(true), VT_R8, "-1.000000000000000e+000"},
        {"BOOL to DECIMAL", ole_variant(true), VT_DECIMAL, "-1"},
        {"BOOL to CY", ole_variant(true), VT_CY, "-1"},
        {"I2 to BOOL", ole_variant(static_cast<short>(2)), VT_BOOL, "1"},
        {"UI4 to BOOL", ole_variant(0u), VT_BOOL, "0"},
        {"to EMPTY", ole_variant(5), VT_EMPTY, ""},
        {"to NULL", ole_variant(5), VT_NULL, nullptr},
        {"to ERROR", ole_variant(5), VT_ERROR, nullptr},
    };
    for (const auto& c : cases) run(c);
}

TEST(OleVariantChange, NumbersToText) {
    const struct {
        ole_variant value;
        const char16_t* text;
    } cases[] = {
        {ole_variant(static_cast<signed char>(-5)), u"-5"},
        {ole_variant(-32768), u"-32768"},
        {ole_variant(4294967295u), u"4294967295"},
        {ole_variant(1.5), u"1.5"},
        {ole_variant(1e20), u"1E+20"},
        {ole_variant(0.00001), u"1E-05"},
        {ole_variant(1.0 / 3.0), u"0.333333333333333"},
        {ole_variant(0.1f), u"0.1"},
        {ole_variant(ole_currency{-15000}), u"-1.5"},
        {ole_variant(decimal_of("1.50")), u"1.50"},
        {ole_variant(true), u"-1"},
        {ole_variant(false), u"0"},
        {ole_variant(std::vector<uint8_t>{'a', 0, 'b', 0}), u"ab"},
        {ole_variant(std::vector<uint8_t>{'a', 0, 'b'}), u"ab"},
    };
    for (const auto& c : cases) {
        ole_variant v(c.value);
        v.change_type(VT_BSTR);
        EXPECT_EQ(v.vartype(), VT_BSTR);
        EXPECT_EQ(v.bstr(), c.text);
    }
}

TEST(OleVariantChange, TextToNumbers) {
    const change_case cases[] = {
        {"to I4", ole_variant(u" 42 "), VT_I4, "42"},
        {"thousands", ole_variant(u"1,234"), VT_I4, "1234"},
        {"halves to even", ole_variant(u"2.5"), VT_I4, "2"},
        {"halves to even, odd", ole_variant(u"3.5"), VT_I2, "4"},
        {"exact, not through a double", ole_variant(u"2.50000000000000000001"), VT_I4, "3"},
        {"too large", ole_variant(u"2147483648"), VT_I4, nullptr},
        {"not a number", ole_variant(u"abc"), VT_I4, nullptr},
        {"empty", ole_variant(u""), VT_I4, nullptr},
        {"negative to unsigned", ole_variant(u"-1"), VT_UI2, nullptr},
        {"to R8", ole_variant(u"-1.5e3"), VT_R8, "-1.500000000000000e+003"},
        {"to R8 huge", ole_variant(u"1e400"), VT_R8, nullptr},
        {"to R4", ole_variant(u"0.5"), VT_R4, "5.000000e-001"},
        {"to R4 too large", ole_variant(u"1e39"), VT_R4, nullptr},
        {"to CY", ole_variant(u"$1,234.56789"), VT_CY, "1234.5679"},
        {"to DECIMAL", ole_variant(u"1,234.50"), VT_DECIMAL, "1234.50"},
        {"to DECIMAL bad", ole_variant(u"1.2.3"), VT_DECIMAL, nullptr},
        {"to BOOL true", ole_variant(u"True"), VT_BOOL, "1"},
        {"to BOOL false", ole_variant(u" FALSE "), VT_BOOL, "0"},
        {"to BOOL number", ole_variant(u"0.5"), VT_BOOL, "1"},
        {"to BOOL zero", ole_variant(u"0"), VT_BOOL, "0"},
        {"to BOOL text", ole_variant(u"yes"), VT_BOOL, nullptr},
        {"to UI8", ole_variant(u"5"), VT_UI8, nullptr},
    };
    for (const auto& c : cases) run(c);
}

TEST(OleVariantChange, RecordConversionOfANumberColumn) {
    // A NUMBER(12,2) column delivers doubles; the destination DECIMAL column gets them exact.
    const struct {
        double value;
        const char* text;
    } cases[] = {{12.5, "12.5"},
                 {0.07, "0.07"},
                 {-1234567890.12, "-1234567890.12"},
                 {99999999.99, "99999999.99"},
                 {0.0, "0"}};
    for (const auto& c : cases) {
        ole_variant v(c.value);
        v.change_type(VT_DECIMAL);
        EXPECT_EQ(v.to_string(), c.text);
    }
}

}  // namespace
