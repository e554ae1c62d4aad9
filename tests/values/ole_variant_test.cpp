// ole_variant: construction, copies and moves, printed forms, parsing, byte arrays, GUIDs.
#include "ole_variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ole_date.h"
#include "tk_exception.h"

namespace {

ole_systemtime date_time(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0,
                         uint16_t s = 0) {
    ole_systemtime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    return t;
}

ole_decimal decimal_of(const char* text) {
    ole_decimal d;
    EXPECT_EQ(ole_var_dec_from_str(text, d), OLE_S_OK) << text;
    return d;
}

TEST(OleVariant, ConstructorsGiveTheirTags) {
    EXPECT_EQ(ole_variant().vartype(), VT_EMPTY);
    EXPECT_EQ(ole_variant(true).vartype(), VT_BOOL);
    EXPECT_EQ(ole_variant(true).boolean(), -1);
    EXPECT_EQ(ole_variant(false).boolean(), 0);
    EXPECT_EQ(ole_variant(static_cast<signed char>(-5)).vartype(), VT_I1);
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).vartype(), VT_UI1);
    EXPECT_EQ(ole_variant(static_cast<short>(-5)).vartype(), VT_I2);
    EXPECT_EQ(ole_variant(static_cast<unsigned short>(5)).vartype(), VT_UI2);
    EXPECT_EQ(ole_variant(5).vartype(), VT_I4);
    EXPECT_EQ(ole_variant(5u).vartype(), VT_UI4);
    EXPECT_EQ(ole_variant(int64_t{-5}).vartype(), VT_I8);
    EXPECT_EQ(ole_variant(-5LL).i8(), -5);
    EXPECT_EQ(ole_variant(uint64_t{5}).vartype(), VT_UI8);
    EXPECT_EQ(ole_variant(5ULL).ui8(), 5u);
    EXPECT_EQ(ole_variant(1.5f).vartype(), VT_R4);
    EXPECT_EQ(ole_variant(1.5).vartype(), VT_R8);
    EXPECT_EQ(ole_variant(ole_currency{15000}).vartype(), VT_CY);
    EXPECT_EQ(ole_variant(ole_currency{15000}).currency().int64, 15000);
    EXPECT_EQ(ole_variant(decimal_of("1.5")).vartype(), VT_DECIMAL);
    EXPECT_EQ(ole_variant(u"text").vartype(), VT_BSTR);
    EXPECT_EQ(ole_variant("text").vartype(), VT_BSTR);
    EXPECT_EQ(ole_variant(std::string("text")).bstr(), u"text");
    EXPECT_EQ(ole_variant(std::vector<uint8_t>{1, 2}).vartype(), VT_ARRAY_UI1);
    const uint8_t bytes[] = {9, 8, 7};
    EXPECT_EQ(ole_variant(sizeof bytes, bytes).binary_size(), 3u);
}

TEST(OleVariant, SlotsAndRecordsOfOtherTagsReadAsZero) {
    ole_variant v(42);
    EXPECT_EQ(v.i8(), 0);
    EXPECT_EQ(v.ui8(), 0u);
    EXPECT_EQ(v.systemtime(), ole_systemtime{});
    EXPECT_EQ(v.date(), 0.0);
    EXPECT_TRUE(v.bstr().empty());
    EXPECT_TRUE(v.binary().empty());
    EXPECT_TRUE(v.decimal().is_zero());
    ole_variant text(u"abc");
    EXPECT_EQ(text.i4(), 0);
    EXPECT_EQ(text.r8(), 0.0);
}

TEST(OleVariant, WideAndNarrowTextConstruction) {
    const char16_t with_nul[] = {u'a', 0, u'b'};
    ole_variant all(std::u16string_view(with_nul, 3));
    EXPECT_EQ(all.bstr().size(), 3u);   // all code units kept
    EXPECT_EQ(all.to_wstring(), u"a");  // the text up to the first NUL
    EXPECT_EQ(all.to_string(), "a");
    EXPECT_EQ(ole_variant(static_cast<const char16_t*>(with_nul)).bstr(), u"a");
    EXPECT_EQ(ole_variant(static_cast<const char16_t*>(nullptr)).bstr(), u"");
    EXPECT_EQ(ole_variant(std::string_view("x\0y", 3)).bstr(), u"x");
    ole_variant umlaut(
        "Gr\xC3\xBC\xC3\x9F"
        "e");
    EXPECT_EQ(umlaut.bstr(), u"Gr\u00fc\u00dfe");
    EXPECT_EQ(umlaut.to_string(),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
}

TEST(OleVariant, DateKeepsItsRecordAndNumber) {
    ole_variant v(date_time(2004, 5, 6, 12));
    EXPECT_EQ(v.vartype(), VT_DATE);
    EXPECT_EQ(v.systemtime(), date_time(2004, 5, 6, 12));
    EXPECT_DOUBLE_EQ(v.date(), 38113.5);
    EXPECT_EQ(v.to_string(), "2004-05-06 12:00:00");
    ole_variant before(date_time(1899, 12, 29, 6));
    EXPECT_DOUBLE_EQ(before.date(), -1.25);
    // A record that OLE rejects is still a date and prints from its record.
    ole_variant month_zero(date_time(2004, 0, 6, 7, 8, 9));
    EXPECT_EQ(month_zero.vartype(), VT_DATE);
    EXPECT_EQ(month_zero.date(), 0.0);
    EXPECT_EQ(month_zero.to_string(), "2004-00-06 07:08:09");
    ole_variant time_only(date_time(0, 0, 0, 12, 30, 46));
    EXPECT_EQ(time_only.to_string(), "0000-00-00 12:30:46");
    ole_variant midnight(date_time(2004, 5, 6));
    EXPECT_EQ(midnight.to_string(), "2004-05-06");
}

TEST(OleVariant, CopiesAreDeep) {
    const ole_variant values[] = {
        ole_variant(),
        ole_variant(true),
        ole_variant(static_cast<short>(-3)),
        ole_variant(70000),
        ole_variant(int64_t{-1234567890123}),
        ole_variant(uint64_t{18446744073709551615u}),
        ole_variant(0.1f),
        ole_variant(2.5),
        ole_variant(ole_currency{-15000}),
        ole_variant(decimal_of("-79228162514264337593543950335")),
        ole_variant(date_time(2004, 5, 6, 7, 8, 9)),
        ole_variant(u"a long text that does not fit the small-string buffer"),
        ole_variant(std::vector<uint8_t>{0x00, 0xAB, 0x10}),
    };
    for (const ole_variant& original : values) {
        ole_variant copy(original);
        EXPECT_EQ(copy.vartype(), original.vartype());
        EXPECT_EQ(copy.to_string(), original.to_string());
        ole_variant assigned(u"previous");
        assigned = original;
        EXPECT_EQ(assigned.vartype(), original.vartype());
        EXPECT_EQ(assigned.to_string(), original.to_string());
        ole_variant self(original);
        const ole_variant& alias = self;
        self = alias;
        EXPECT_EQ(self.to_string(), original.to_string());
    }
    ole_variant text(u"first value");
    ole_variant copy(text);
    text.attach_wstring(u"changed");
    EXPECT_EQ(copy.bstr(), u"first value");
    ole_variant bytes(std::vector<uint8_t>{1, 2, 3});
    ole_variant bytes_copy(bytes);
    bytes.binary_data()[0] = 9;
    EXPECT_EQ(bytes_copy.binary()[0], 1);
    EXPECT_EQ(bytes_copy.vartype(), VT_ARRAY_UI1);
}

TEST(OleVariant, MovesHandOverAndLeaveEmpty) {
    ole_variant text(u"a long text that does not fit the small-string buffer");
    const char16_t* buffer = text.bstr().data();
    ole_variant moved(std::move(text));
    EXPECT_EQ(moved.bstr().data(), buffer);  // no copy of the text
    EXPECT_EQ(text.vartype(), VT_EMPTY);
    EXPECT_EQ(text.to_string(), "");

    std::vector<uint8_t> data(1000, 0x5A);
    const uint8_t* bytes = data.data();
    ole_variant blob(std::move(data));
    EXPECT_EQ(blob.binary().data(), bytes);
    ole_variant target(42);
    target = std::move(blob);
    EXPECT_EQ(target.binary().data(), bytes);
    EXPECT_EQ(blob.vartype(), VT_EMPTY);

    ole_variant number(decimal_of("12.50"));
    ole_variant moved_number(std::move(number));
    EXPECT_EQ(moved_number.to_string(), "12.50");
    EXPECT_EQ(number.vartype(), VT_EMPTY);

    std::vector<ole_variant> row;
    for (int i = 0; i < 100; ++i)
        row.emplace_back(u"value number " + std::u16string(1, u'a' + i % 26));
    std::vector<ole_variant> grown(std::move(row));
    EXPECT_EQ(grown[99].to_string(), "value number v");
    static_assert(std::is_nothrow_move_constructible_v<ole_variant>);
    static_assert(std::is_nothrow_move_assignable_v<ole_variant>);
}

TEST(OleVariant, PrintedForms) {
    const struct {
        ole_variant value;
        const char* text;
    } cases[] = {
        {ole_variant(), ""},
        {ole_variant(static_cast<signed char>(-128)), "-128"},
        {ole_variant(static_cast<unsigned char>(255)), "255"},
        {ole_variant(static_cast<short>(-32768)), "-32768"},
        {ole_variant(static_cast<unsigned short>(65535)), "65535"},
        {ole_variant(-2147483647 - 1), "-2147483648"},
        {ole_variant(4294967295u), "4294967295"},
        {ole_variant(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
        {ole_variant(std::numeric_limits<uint64_t>::max()), "18446744073709551615"},
        {ole_variant(1.5f), "1.500000e+000"},
        {ole_variant(1.5), "1.500000000000000e+000"},
        {ole_variant(-0.001), "-1.000000000000000e-003"},
        {ole_variant(1e300), "1.000000000000000e+300"},
        {ole_variant(true), "1"},
        {ole_variant(false), "0"},
        {ole_variant(ole_currency{15000}), "1.5"},
        {ole_variant(ole_currency{-1}), "-0.0001"},
        {ole_variant(ole_currency{20000}), "2"},
        {ole_variant(decimal_of("1.50")), "1.50"},
        {ole_variant(decimal_of("-0.05")), "-0.05"},
        {ole_variant(decimal_of("0.000")), "0.000"},
        {ole_variant(u"O'Brien"), "O'Brien"},
        {ole_variant(std::vector<uint8_t>{0x00, 0xAB, 0x10}), "0x00AB10"},
        {ole_variant(std::vector<uint8_t>{}), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.to_string(), c.text) << c.value.vartype();
        std::u16string wide(c.text, c.text + std::char_traits<char>::length(c.text));
        EXPECT_EQ(c.value.to_wstring(), wide) << c.value.vartype();
        std::string appended = "[";
        c.value.append_string(appended);
        EXPECT_EQ(appended, std::string("[") + c.text);
    }
}

TEST(OleVariant, TagsWithoutTextPrintNothing) {
    ole_variant v = ole_variant::from_string("12", VT_INT);
    EXPECT_EQ(v.vartype(), VT_INT);
    EXPECT_EQ(v.i4(), 12);
    EXPECT_EQ(v.to_string(), "");
    EXPECT_EQ(v.to_long(), 12);
}

TEST(OleVariant, ByteArrayTextIsCapped) {
    std::vector<uint8_t> bytes(400000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    ole_variant v(std::move(bytes));
    std::string text = v.to_string();
    ASSERT_EQ(text.size(), 2u + 655360u);
    EXPECT_EQ(text.substr(0, 8), "0x000102");
    EXPECT_EQ(text.substr(text.size() - 2), "FF");  // byte 327,679
    std::u16string wide = v.to_wstring();
    EXPECT_EQ(wide.size(), 2u + 655360u);
    EXPECT_EQ(wide.substr(0, 4), u"0x00");
}

TEST(OleVariant, SafeArrays) {
    ole_variant v(3.5);
    v.allocate_safe_array(4);
    EXPECT_EQ(v.vartype(), VT_ARRAY_UI1);
    EXPECT_EQ(v.to_string(), "0x00000000");
    v.binary_data()[0] = 0xAA;
    v.allocate_safe_array(6);  // redimension keeps the content
    EXPECT_EQ(v.to_string(), "0xAA0000000000");
    v.allocate_safe_array(1);
    EXPECT_EQ(v.to_string(), "0xAA");
    const uint8_t bytes[] = {1, 2};
    v.attach_binary(2, bytes);
    EXPECT_EQ(v.to_string(), "0x0102");
    v.attach_binary(std::vector<uint8_t>{3});
    EXPECT_EQ(v.to_string(), "0x03");
    v.attach_binary(0, nullptr);
    EXPECT_EQ(v.vartype(), VT_ARRAY_UI1);
    EXPECT_EQ(v.to_string(), "");
    EXPECT_THROW(v.attach_binary(3, nullptr), tk_mail_assertion);
}

TEST(OleVariant, AttachReplacesAnyContent) {
    ole_variant v(std::vector<uint8_t>{1, 2, 3});
    v.attach_string("abc\0def");
    EXPECT_EQ(v.vartype(), VT_BSTR);
    EXPECT_EQ(v.bstr(), u"abc");
    v.attach_wstring(std::u16string(u"x\0y", 3));
    EXPECT_EQ(v.bstr().size(), 3u);
    v = ole_variant(decimal_of("1.5"));
    v.attach_wstring(std::u16string(u"moved in"));
    EXPECT_EQ(v.bstr(), u"moved in");
    v.clear();
    EXPECT_EQ(v.vartype(), VT_EMPTY);
}

TEST(OleVariant, ToLongAndToBool) {
    EXPECT_EQ(ole_variant().to_long(), 0);
    EXPECT_EQ(ole_variant(true).to_long(), -1);
    EXPECT_EQ(ole_variant(static_cast<short>(-7)).to_long(), -7);
    EXPECT_EQ(ole_variant(static_cast<signed char>(-7)).to_long(), -7);
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).to_long(), 200);
    EXPECT_EQ(ole_variant(static_cast<unsigned short>(65535)).to_long(), 65535);
    EXPECT_EQ(ole_variant(-2.9).to_long(), -2);
    EXPECT_EQ(ole_variant(2.9f).to_long(), 2);
    EXPECT_EQ(ole_variant(1e12).to_long(), 0);
    EXPECT_EQ(ole_variant(std::nan("")).to_long(), 0);
    EXPECT_EQ(ole_variant(int64_t{0x100000005}).to_long(), 5);
    EXPECT_EQ(ole_variant(decimal_of("2.5")).to_long(), 2);
    EXPECT_EQ(ole_variant(decimal_of("3.5")).to_long(), 4);
    EXPECT_EQ(ole_variant(decimal_of("1e20")).to_long(), 0);  // VarI4FromDec fails
    EXPECT_THROW(ole_variant(u"1").to_long(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(ole_currency{1}).to_long(), tk_mail_assertion);

    EXPECT_FALSE(ole_variant().to_bool());
    EXPECT_TRUE(ole_variant(true).to_bool());
    EXPECT_TRUE(ole_variant(static_cast<short>(2)).to_bool());
    EXPECT_FALSE(ole_variant(0.0).to_bool());
    EXPECT_TRUE(ole_variant(0.1).to_bool());
    EXPECT_TRUE(ole_variant(int64_t{1} << 40).to_bool());
    EXPECT_TRUE(ole_variant(decimal_of("1e20")).to_bool());
    EXPECT_TRUE(ole_variant(decimal_of("0.3")).to_bool());
    EXPECT_FALSE(ole_variant(decimal_of("0.00")).to_bool());
    EXPECT_THROW(ole_variant(u"yes").to_bool(), tk_mail_assertion);
}

TEST(OleVariantFromString, EmptyText) {
    EXPECT_EQ(ole_variant::from_string("", VT_I4).vartype(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("", VT_DATE).vartype(), VT_EMPTY);
    ole_variant s = ole_variant::from_string("", VT_BSTR);
    EXPECT_EQ(s.vartype(), VT_BSTR);
    EXPECT_EQ(s.bstr(), u"");
    EXPECT_EQ(ole_variant::from_wstring(u"", VT_BSTR).vartype(), VT_BSTR);
    EXPECT_EQ(ole_variant::from_wstring(u"", VT_R8).vartype(), VT_EMPTY);
}

TEST(OleVariantFromString, Table) {
    const struct {
        const char* text;
        VARTYPE type;
        VARTYPE result;
        const char* printed;
    } cases[] = {
        {"42", VT_I4, VT_I4, "42"},
        {" -42abc", VT_I4, VT_I4, "-42"},
        {"abc", VT_I4, VT_I4, "0"},
        {"70000", VT_I2, VT_I2, "4464"},  // atoi, cut to 16 bits
        {"300", VT_UI1, VT_UI1, "44"},
        {"-1", VT_I1, VT_I1, "-1"},
        {"4294967295", VT_UI4, VT_UI4, "4294967295"},
        {"-1", VT_UI4, VT_UI4, "4294967295"},  // sscanf "%u"
        {"x", VT_UI4, VT_UI4, "0"},
        {"-9223372036854775808", VT_I8, VT_I8, "-9223372036854775808"},
        {"  +12345678901234x", VT_I8, VT_I8, "12345678901234"},
        {"99999999999999999999", VT_I8, VT_I8, "9223372036854775807"},
        {"18446744073709551615", VT_UI8, VT_UI8, "18446744073709551615"},
        {"1,5", VT_R8, VT_R8, "1.500000000000000e+000"},
        {"2.5e3", VT_R4, VT_R4, "2.500000e+003"},
        {"abc", VT_R8, VT_R8, "0.000000000000000e+000"},
        {"1,5", VT_CY, VT_CY, "1.5"},
        {"12.3456", VT_CY, VT_CY, "12.3456"},
        {"abc", VT_CY, VT_EMPTY, ""},
        {"1,50", VT_DECIMAL, VT_DECIMAL, "1.50"},
        {"-79228162514264337593543950335", VT_DECIMAL, VT_DECIMAL,
         "-79228162514264337593543950335"},
        {"1,234.5", VT_DECIMAL, VT_EMPTY, ""},  // ',' became a second '.'
        {"2004-05-06 07:08:09", VT_DATE, VT_DATE, "2004-05-06 07:08:09"},
        {"20040506", VT_DATE, VT_DATE, "2004-05-06"},
        {"12:30:45.600", VT_DATE, VT_DATE, "0000-00-00 12:30:46"},
        {"no date", VT_DATE, VT_EMPTY, ""},
        {"True", VT_BOOL, VT_BOOL, "1"},
        {"YES", VT_BOOL, VT_BOOL, "1"},
        {"2", VT_BOOL, VT_BOOL, "1"},
        {"No", VT_BOOL, VT_BOOL, "0"},
        {"false", VT_BOOL, VT_BOOL, "0"},
        {"0", VT_BOOL, VT_BOOL, "0"},
        {"maybe", VT_BOOL, VT_BOOL, "0"},
        {"0x0A0B", VT_BLOB, VT_ARRAY_UI1, "0x0A0B"},
        {"0A0B", VT_BLOB, VT_ARRAY_UI1, "0x0A0B"},
        {"0Xabcd", VT_ARRAY_UI1, VT_ARRAY_UI1, "0xABCD"},
        {"0A0", VT_BLOB, VT_EMPTY, ""},     // odd length
        {"0x0G", VT_BLOB, VT_EMPTY, ""},    // not hexadecimal
        {"0x", VT_BLOB, VT_ARRAY_UI1, ""},  // no bytes
        {"plain text", VT_BSTR, VT_BSTR, "plain text"},
        {" 12 ", VT_INT, VT_INT, ""},
        {"7", VT_UINT, VT_UINT, ""},
    };
    for (const auto& c : cases) {
        ole_variant v = ole_variant::from_string(c.text, c.type);
        EXPECT_EQ(v.vartype(), c.result) << c.text << " as " << c.type;
        EXPECT_EQ(v.to_string(), c.printed) << c.text << " as " << c.type;
    }
    EXPECT_EQ(ole_variant::from_string("0x0A0B", VT_BLOB).binary().size(), 2u);
    EXPECT_EQ(ole_variant::from_string("0x0A0B", VT_BLOB).binary()[1], 0x0B);
}

TEST(OleVariantFromString, ThroughVariantChangeTypeFailures) {
    EXPECT_THROW(ole_variant::from_string("abc", VT_INT), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("5000000000", VT_UINT), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("x", VT_ERROR), ole_type_exception);
    try {
        ole_variant::from_string("abc", VT_INT);
    } catch (const ole_type_exception& e) {
        EXPECT_STREQ(e.what(), "The operating type is not supported yet");
        EXPECT_EQ(e.level(), 1);
    }
}

TEST(OleVariantFromString, WideText) {
    ole_variant s = ole_variant::from_wstring(std::u16string_view(u"a\0b", 3), VT_BSTR);
    EXPECT_EQ(s.bstr(), u"a");
    EXPECT_EQ(ole_variant::from_wstring(u"12.5", VT_DECIMAL).to_string(), "12.5");
    EXPECT_EQ(ole_variant::from_wstring(u"\u00e4", VT_BSTR).to_string(), "\xC3\xA4");
}

TEST(OleGuidExtractor, FindsTheBracedGuid) {
    const std::u16string text = u"object guid = {6B29FC40-CA47-1067-B31D-00DD010662DA} trailing";
    ole_guid_extractor g(text);
    EXPECT_TRUE(g.found());
    EXPECT_EQ(g.get_guid(), u"6B29FC40CA471067B31D00DD010662DA");
    ole_guid_extractor upper(u"OBJECT GUID = {6B29FC40-CA47-1067-B31D-00DD010662DA}");
    EXPECT_EQ(upper.get_guid(), u"6B29FC40CA471067B31D00DD010662DA");
}

TEST(OleGuidExtractor, ShortOrBrokenTexts) {
    // 44 code units, GUID included: too short.
    const std::u16string short_text = u"guid{6B29FC40-CA47-1067-B31D-00DD010662DA}..";
    ASSERT_EQ(short_text.size(), 44u);
    EXPECT_FALSE(ole_guid_extractor(short_text).found());
    EXPECT_EQ(ole_guid_extractor(short_text).get_guid(), u"");
    EXPECT_FALSE(ole_guid_extractor(u"no such word in this text, however long it may be").found());
    EXPECT_FALSE(
        ole_guid_extractor(u"guid without any brace in the rest of this text ....").found());
    // A '{' too near the end: found, but no digits to give.
    ole_guid_extractor tail(u"this text mentions a guid only at the end {6B29");
    EXPECT_TRUE(tail.found());
    EXPECT_EQ(tail.get_guid(), u"");
}

}  // namespace
