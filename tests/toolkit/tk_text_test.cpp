#include "tk_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tk_test_support.h"
#include "tk_text_decoder.h"

namespace {

struct code_page_case {
    int code_page;
    std::string bytes;
    std::u16string text;
};

const code_page_case k_code_page_cases[] = {
    // Single-byte code pages, through their tables.
    {1252, "CITT\xC0", u"CITT\u00C0"},
    {1252, "\x80\x9F", u"\u20AC\u0178"},
    {1252, "a\x81z", u"a\uFFFDz"},  // 0x81 is not a character of 1252
    {1251, "\xCF\xF0\xE8", u"\u041F\u0440\u0438"},
    {1258, "ABC \xC3\xD0", u"ABC \u0102\u0110"},  // converters that hold letters back for marks
    {1255, "Hi \xE0\xE1", u"Hi \u05D0\u05D1"},
    {28591, "\xFF", u"\u00FF"},
    {37, "\xC1\x81", u"Aa"},  // EBCDIC
    // Multi-byte code pages, through iconv.
    {936, "\xC8\xAB\xB9\xFA", u"\u5168\u56FD"},
    {936, "a\xFF", u"a\uFFFD"},
    {936, "a\xC8", u"a\uFFFD"},                            // a character cut off at the end
    {936, "\xC8\xAB\xFF\xB9\xFA", u"\u5168\uFFFD\u56FD"},  // decoding goes on after a bad byte
    {932, "\x82\xA0x", u"\u3042x"},
    {949, "\xB0\xA1", u"\uAC00"},
    {950, "\xA4\xA4", u"\u4E2D"},
    // Unicode.
    {65001, "\xC3\xA9", u"\u00E9"},
    {65001, "a\xE4\xB8", u"a\uFFFD"},
    {65001, "\xC0\x80", u"\uFFFD\uFFFD"},
    {65001, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate is not UTF-8
    {0, "\xF0\x9F\x98\x80", u"\U0001F600"},          // 0: the system code page, UTF-8
    {1200, std::string("a\0b", 3), u"a\uFFFD"},      // UTF-16LE with an odd last byte
    {1201, std::string("\0a\0b", 4), u"ab"},
    // The result ends at its first NUL.
    {1252, std::string("ab\0cd", 5), u"ab"},
    // A code page without a converter: ASCII stays, the rest is unknown.
    {12345, "ok\xE9", u"ok\uFFFD"},
};

}  // namespace

TEST(tk_ansi_to_ucs2, decodes_each_code_page_and_marks_bad_bytes) {
    for (const code_page_case& c : k_code_page_cases) {
        EXPECT_EQ(tk_ansi_to_ucs2(c.bytes, c.code_page), c.text) << "code page " << c.code_page;
    }
}

TEST(tk_ansi_to_ucs2, traces_text_and_code_page) {
    tk_test_log trace(1);
    tk_ansi_to_ucs2("abc", 1252);
    EXPECT_NE(trace.text().find("tk_ansi_to_ucs2(abc,1252)\r\n"), std::string::npos);
}

TEST(tk_text_decoder, long_multi_byte_input_is_decoded_whole) {
    // Longer than one conversion buffer, with a bad byte past the first buffer.
    std::string bytes;
    std::u16string expected;
    for (int i = 0; i < 70000; ++i) {
        bytes += "\xC8\xAB";
        expected += u'\u5168';
    }
    bytes += "\xFF\xB9\xFA";
    expected += u"\uFFFD\u56FD";
    auto decoder = tk_text_decoder::for_code_page(936);
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->decode(bytes), expected);
}

TEST(tk_text_decoder, characters_held_for_combining_marks_are_never_lost) {
    auto decoder = tk_text_decoder::for_encoding("BIG5-HKSCS");
    if (!decoder)
        GTEST_SKIP() << "iconv has no BIG5-HKSCS here";
    EXPECT_EQ(decoder->decode("\x88\x62"), u"\u00CA\u0304");
    EXPECT_EQ(decoder->decode("A\x88\x66"), u"A\u00CA");
    EXPECT_EQ(decoder->decode("\x88\x66\xFF"), u"\u00CA\uFFFD");
    EXPECT_EQ(decoder->decode("\x88\x66\xA4"), u"\u00CA\uFFFD");
}

TEST(tk_text_decoder, names_and_code_pages_without_converter_give_none) {
    EXPECT_EQ(tk_text_decoder::for_encoding("NO-SUCH-ENCODING"), nullptr);
    EXPECT_EQ(tk_text_decoder::for_code_page(12345), nullptr);
    EXPECT_STREQ(tk_text_decoder::encoding_of_code_page(936), "GBK");
    auto single = tk_text_decoder::for_code_page(1252);
    ASSERT_NE(single, nullptr);
    EXPECT_TRUE(single->is_single_byte());
}

TEST(tk_text_decoder, encode_and_decode_round_trip) {
    std::u16string text = u"Gr\u00fc\u00dfe \u4e2d\u6587";
    std::string gbk = tk_encode_text(text, "GB18030");
    EXPECT_EQ(tk_text_decoder::for_encoding("GB18030")->decode(gbk), text);
    EXPECT_EQ(tk_encode_text(u"a\u4e2d", "ISO-8859-1"), "a?");
}

TEST(tk_text, utf8_conversions) {
    std::u16string text = u"A\u00e9\u4e2d\U0001F600";
    EXPECT_EQ(tk_from_utf8(tk_to_utf8(text)), text);
    EXPECT_EQ(tk_to_utf8(std::u16string(u"ab\0cd", 5)), "ab");
    EXPECT_EQ(tk_to_utf8(u"\xD800x"), "\xEF\xBF\xBDx");  // a lone surrogate has no UTF-8 form
    std::string all;
    tk_append_utf8(all, std::u16string(u"a\0b", 3));
    EXPECT_EQ(all, std::string("a\0b", 3));
    EXPECT_EQ(tk_ansi_to_wide("\xC3\xA9t\xC3\xA9"), u"\u00e9t\u00e9");
}

TEST(tk_text, wide_to_ansi) {
    std::string out = "unchanged";
    EXPECT_FALSE(tk_wide_to_ansi(nullptr, out));
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(tk_wide_to_ansi(u"na\u00efve", out));
    EXPECT_EQ(out, "na\xC3\xAFve");
}

TEST(tk_text, names_compare_without_case) {
    EXPECT_TRUE(tk_equal_nocase(u"Emp_Name", u"EMP_NAME"));
    EXPECT_TRUE(tk_equal_nocase(u"\u00c4hnlich", u"\u00e4HNLICH"));
    EXPECT_TRUE(tk_equal_nocase(u"\u0394\u0395", u"\u03b4\u03b5"));
    EXPECT_FALSE(tk_equal_nocase(u"EMP", u"EMPS"));
    EXPECT_FALSE(tk_equal_nocase(u"EMP1", u"EMP2"));
}
