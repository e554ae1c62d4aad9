#include "tk_string.h"

#include <gtest/gtest.h>

#include <vector>

#include "tk_exception.h"
#include "tk_test_support.h"
#include "tk_text.h"

namespace {

struct trim_case {
    const char* text;
    const char* left;
    const char* right;
    const char* both;
};

// Only the space character goes; tabs and line breaks stay.
const trim_case k_trim_cases[] = {
    {"  ab  ", "ab  ", "  ab", "ab"},
    {"    ", "", "", ""},
    {"", "", "", ""},
    {"\tab ", "\tab ", "\tab", "\tab"},
    {" a b ", "a b ", " a b", "a b"},
    {" \r\n", "\r\n", " \r\n", "\r\n"},
    {"x", "x", "x", "x"},
};

}  // namespace

TEST(tk_trim, narrow_and_wide_forms_remove_only_spaces) {
    for (const trim_case& c : k_trim_cases) {
        EXPECT_EQ(tk_ltrim(c.text), c.left) << '"' << c.text << '"';
        EXPECT_EQ(tk_rtrim(c.text), c.right) << '"' << c.text << '"';
        EXPECT_EQ(tk_trim(c.text), c.both) << '"' << c.text << '"';
        std::u16string wide = tk_widen_ascii(c.text);
        EXPECT_EQ(tk_ltrim(wide), tk_widen_ascii(c.left)) << '"' << c.text << '"';
        EXPECT_EQ(tk_rtrim(wide), tk_widen_ascii(c.right)) << '"' << c.text << '"';
        EXPECT_EQ(tk_trim(wide), tk_widen_ascii(c.both)) << '"' << c.text << '"';
    }
}

TEST(tk_trim, wide_text_keeps_other_spaces_and_traces_the_all_spaces_case) {
    tk_test_log trace(1);
    EXPECT_EQ(tk_trim(u"\u00a0\u4e2d "), u"\u00a0\u4e2d");
    EXPECT_EQ(trace.text().find("Special processing"), std::string::npos);
    EXPECT_EQ(tk_rtrim(u"   "), u"");
    EXPECT_NE(trace.text().find("Special processing for all-spaces-string\r\n"), std::string::npos);
}

TEST(tk_string, split_gives_every_piece_between_separators) {
    struct split_case {
        const char* text;
        std::vector<std::string> pieces;
    };
    const split_case cases[] = {
        {"", {}},        {"abc", {"abc"}},  {"a,", {"a", ""}}, {"a,,b,", {"a", "", "b", ""}},
        {",", {"", ""}}, {",a", {"", "a"}}, {"a;b", {"a;b"}},
    };
    for (const split_case& c : cases) {
        std::vector<std::string> pieces = {"stale"};
        EXPECT_TRUE(tk_string(c.text).split(',', pieces));
        EXPECT_EQ(pieces, c.pieces) << '"' << c.text << '"';
    }
}

TEST(tk_string, split_traces_its_separator) {
    tk_test_log trace(1);
    std::vector<std::string> pieces;
    tk_string("a|b").split('|', pieces);
    EXPECT_NE(trace.text().find("tk_string::split(|)\r\n"), std::string::npos);
}

TEST(tk_string, to_upper_changes_only_ascii_letters_in_place_and_returns_a_copy) {
    tk_string s("abz AZ-09_\xC3\xA9");
    tk_string copy = s.to_upper();
    EXPECT_EQ(s, "ABZ AZ-09_\xC3\xA9");
    EXPECT_EQ(copy, s);
}

TEST(tk_bytes_to_hex, two_upper_case_digits_per_byte) {
    const uint8_t bytes[] = {0x00, 0xAB, 0x10};
    char out[7] = "xxxxxx";
    tk_bytes_to_hex(3, bytes, out);
    EXPECT_STREQ(out, "00AB10");
    char empty[1] = {'x'};
    tk_bytes_to_hex(0, bytes, empty);
    EXPECT_STREQ(empty, "");
    EXPECT_THROW(tk_bytes_to_hex(3, bytes, nullptr), tk_mail_assertion);
}
