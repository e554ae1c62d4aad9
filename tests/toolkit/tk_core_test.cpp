#include <gtest/gtest.h>

#include "tk_exception.h"
#include "tk_text.h"
#include "tk_text_decoder.h"

TEST(tk_text, utf8_round_trip_keeps_astral_characters) {
    std::u16string text = u"A\u00e9\u4e2d\U0001F600";
    EXPECT_EQ(tk_from_utf8(tk_to_utf8(text)), text);
}

TEST(tk_text, code_pages_decode_through_iconv) {
    EXPECT_EQ(tk_ansi_to_ucs2("CITT\xC0", 1252), u"CITT\u00C0");
    EXPECT_EQ(tk_ansi_to_ucs2("\xC8\xAB\xB9\xFA", 936), u"\u5168\u56FD");
    EXPECT_EQ(tk_ansi_to_ucs2("a\xFF", 936), u"a\uFFFD");
}

TEST(tk_exception, assertion_text) {
    tk_mail_assertion a("ab", 7);
    EXPECT_STREQ(a.what(), "Internal error: \ncode=61625c37");
    EXPECT_EQ(a.level(), 2);
}
