#include "tk_exception.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "tk_error_converter.h"
#include "tk_test_support.h"

namespace {

// Which of the usual handlers, tried in the order the error handling code uses, catches what
// `thrower` throws.
std::string caught_by(const std::function<void()>& thrower) {
    try {
        thrower();
    } catch (const tk_exception&) {
        return "tk_exception";
    } catch (const std::exception&) {
        return "std::exception";
    }
    return "nothing";
}

std::string hex_of(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

}  // namespace

TEST(tk_exception, empty_text_reads_unknown_exception) {
    tk_exception e("", 1);
    EXPECT_STREQ(e.what(), "Unknown exception");
    EXPECT_EQ(e.code(), 0);
    EXPECT_EQ(e.level(), 1);
    tk_exception level_only(0);
    EXPECT_STREQ(level_only.what(), "Unknown exception");
    EXPECT_EQ(level_only.level(), 0);
}

TEST(tk_exception, copies_keep_text_code_and_level) {
    errno = ENOENT;
    tk_exception_ex original;
    tk_exception copy = original;
    EXPECT_EQ(copy.text(), original.text());
    EXPECT_EQ(copy.code(), 2);
    EXPECT_EQ(copy.level(), 1);
}

TEST(tk_exception, handlers_of_tk_exception_catch_the_family_but_not_the_final_exception) {
    struct row {
        const char* name;
        std::function<void()> thrower;
        const char* handler;
    };
    const row rows[] = {
        {"tk_exception", [] { throw tk_exception("bad dump", 1); }, "tk_exception"},
        {"tk_exception_ex", [] { throw tk_exception_ex(EACCES); }, "tk_exception"},
        {"tk_mail_assertion", [] { TK_FAIL(); }, "tk_exception"},
        {"tk_final_exception", [] { throw tk_final_exception(); }, "std::exception"},
    };
    for (const row& r : rows) EXPECT_EQ(caught_by(r.thrower), r.handler) << r.name;
}

TEST(tk_exception_ex, failed_unlink_of_a_missing_file_carries_errno_and_its_message) {
    tk_test_log trace(1);
    tk_temp_folder folder;
    std::string missing = folder / "no-such-file";
    int result = unlink(missing.c_str());
    tk_exception_ex e;  // right after the failed call, before anything can change errno
    ASSERT_NE(result, 0);
    EXPECT_EQ(e.code(), 2);
    EXPECT_EQ(e.level(), 1);
    EXPECT_EQ(e.text(), std::strerror(ENOENT));
    std::string text = trace.text();
    EXPECT_NE(text.find("tk_exception_ex::ctor\r\n"), std::string::npos);
    EXPECT_NE(text.find(std::string("GetLastError: ") + std::strerror(ENOENT) + "\r\n"),
              std::string::npos);
}

TEST(tk_mail_assertion, text_is_the_hexadecimal_unit_and_line) {
    tk_test_log trace(1);
    tk_mail_assertion a("ab", 7);
    EXPECT_STREQ(a.what(), "Internal error: \ncode=61625c37");
    EXPECT_EQ(a.level(), 2);
    EXPECT_EQ(a.code(), 0);
    EXPECT_NE(trace.text().find("tk_mail_assertion::ctor(ab)\r\n"), std::string::npos);
}

TEST(tk_mail_assertion, tk_assert_names_this_file_and_line) {
    int line = 0;
    try {
        line = __LINE__ + 1;
        TK_ASSERT(line < 0);
    } catch (const tk_mail_assertion& a) {
        EXPECT_EQ(a.text(), "Internal error: \ncode=" +
                                hex_of("tk_exception_test.cpp\\" + std::to_string(line)));
        return;
    }
    ADD_FAILURE() << "TK_ASSERT did not throw";
}

TEST(tk_final_exception, traces_its_construction) {
    tk_test_log trace(1);
    tk_final_exception e;
    EXPECT_NE(trace.text().find("tk_final_exception::ctor\r\n"), std::string::npos);
}

TEST(tk_error_converter, first_text_of_a_code_wins_and_unknown_codes_give_empty_text) {
    tk_test_log trace(1);
    const tk_error_pair pairs[] = {{5, "five"}, {5, "other"}, {0x400000 | 1045, "Access denied."}};
    tk_error_converter converter(3, pairs);
    EXPECT_EQ(converter.convert(5), "five");
    EXPECT_EQ(converter.convert(0x400000 | 1045), "Access denied.");
    EXPECT_EQ(converter.convert(6), "");
    std::string text = trace.text();
    EXPECT_NE(text.find("tk_error_converter::ctor (map size=3)\r\n"), std::string::npos);
    EXPECT_NE(text.find("tk_error_converter::convert(5)\r\nError message has been found: five\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("tk_error_converter::convert(6)\r\nError message not found!\r\n"),
              std::string::npos);
}

TEST(tk_error_converter, later_loads_keep_the_first_text_and_null_pairs_are_an_assertion) {
    const tk_error_pair first[] = {{1, "one"}};
    const tk_error_pair second[] = {{1, "uno"}, {2, "two"}};
    tk_error_converter converter(1, first);
    converter.load_map(2, second);
    EXPECT_EQ(converter.convert(1), "one");
    EXPECT_EQ(converter.convert(2), "two");
    EXPECT_THROW(converter.load_map(1, nullptr), tk_mail_assertion);
    EXPECT_THROW(tk_error_converter(0, nullptr), tk_mail_assertion);
}
