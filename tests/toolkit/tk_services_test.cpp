#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tk_bug_report.h"
#include "tk_clipboard.h"
#include "tk_dll_version.h"
#include "tk_test_support.h"

TEST(get_dll_version, library_without_the_entry_gives_zero) {
    tk_test_log trace(1);
    EXPECT_EQ(get_dll_version("libm.so.6"), 0u);
    EXPECT_NE(trace.text().find("get_dll_version failed to obtain DllGetVersion\r\n"),
              std::string::npos);
}

TEST(get_dll_version, missing_library_gives_zero) {
    tk_test_log trace(1);
    EXPECT_EQ(get_dll_version("libvelt-no-such-library.so"), 0u);
    EXPECT_EQ(get_dll_version(nullptr), 0u);
    EXPECT_NE(trace.text().find("get_dll_version failed to load DLL\r\n"), std::string::npos);
}

TEST(get_dll_version, entry_reports_major_and_minor) {
    // The module checks that it got a 20-byte record with zero fields; its major version has
    // bits above the low 16, which do not count.
    EXPECT_EQ(get_dll_version(TK_TEST_VERSION_MODULE), (5u << 16) | 82u);
    EXPECT_EQ(get_dll_version(TK_TEST_FAILING_VERSION_MODULE), 0u);
}

TEST(tk_copy_to_clipboard, goes_to_the_installed_service) {
    tk_test_log trace(1);
    tk_copy_to_clipboard(u"no service");
    EXPECT_NE(trace.text().find("GetLastError() returns 00000026\r\n"), std::string::npos);

    std::u16string placed;
    tk_set_clipboard_handler([&placed](std::u16string_view text) {
        placed = text;
        return true;
    });
    tk_copy_to_clipboard(std::u16string(u"Internal error: \ncode=61\0tail", 29));
    EXPECT_EQ(placed, u"Internal error: \ncode=61");
    EXPECT_NE(trace.text().find("GetLastError() returns 00000000\r\n"), std::string::npos);
    tk_set_clipboard_handler(nullptr);
}

TEST(tk_send_bug_report, message_names_title_text_date_and_support_address) {
    tk_mail_message m = tk_make_bug_report("Veltrane Wizard", "Internal error: \ncode=6162");
    EXPECT_EQ(m.subject, "Bug report on Veltrane Wizard");
    EXPECT_EQ(m.text, "Internal error: \ncode=6162");
    EXPECT_EQ(m.recipient_name, "Quillmark");
    EXPECT_EQ(m.recipient_address, "support@quillmark.example");
    // "%d/%d/%d %d:%d": year, month, day, hour, minute without zero padding.
    int year = 0, month = 0, day = 0, hour = -1, minute = -1;
    ASSERT_EQ(
        std::sscanf(m.date_received.c_str(), "%d/%d/%d %d:%d", &year, &month, &day, &hour, &minute),
        5)
        << m.date_received;
    char again[64];
    std::snprintf(again, sizeof again, "%d/%d/%d %d:%d", year, month, day, hour, minute);
    EXPECT_EQ(m.date_received, again);
    EXPECT_GE(year, 2000);
    EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31) << m.date_received;
    tk_set_support_address("help@example.org");
    EXPECT_EQ(tk_make_bug_report("", "").recipient_address, "help@example.org");
    tk_set_support_address("support@quillmark.example");
}

TEST(tk_send_bug_report, goes_to_the_installed_service_and_keeps_the_current_folder) {
    tk_test_log trace(1);
    std::string before = tk_cwd();
    tk_mail_message sent;
    tk_set_mail_handler([&sent](const tk_mail_message& m) {
        sent = m;
        // A mail system may change the current folder.
        return chdir("/");
    });
    tk_send_bug_report("title", "text");
    tk_set_mail_handler(nullptr);
    EXPECT_EQ(sent.subject, "Bug report on title");
    EXPECT_EQ(sent.text, "text");
    EXPECT_EQ(tk_cwd(), before);
    EXPECT_NE(trace.text().find("Mail service returns 0\r\n"), std::string::npos);
}

TEST(tk_send_bug_report, without_a_mail_program_it_traces_and_returns) {
    tk_test_log trace(1);
    tk_temp_folder empty;
    tk_scoped_env path("PATH", empty.path());
    tk_send_bug_report("title", "text");
    EXPECT_NE(trace.text().find("Failed to locate a mail service (xdg-email)\r\n"),
              std::string::npos);
}

TEST(tk_send_bug_report, default_service_hands_the_mail_to_xdg_email) {
    tk_temp_folder bin;
    std::string out = bin / "arguments";
    tk_write_file(bin / "xdg-email", "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + out +
                                         ".tmp' && mv '" + out + ".tmp' '" + out + "'\n");
    ASSERT_EQ(chmod((bin / "xdg-email").c_str(), 0700), 0);
    tk_scoped_env path("PATH", bin.path() + ":/usr/bin:/bin");
    tk_send_bug_report("Veltrane", "Internal error: \ncode=61");
    // The mail program runs on its own; wait for what it received.
    while (!tk_exists(out)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const char expected[] =
        "--utf8\0--subject\0Bug report on Veltrane\0--body\0Internal error: \ncode=61\0"
        "support@quillmark.example";
    EXPECT_EQ(tk_read_file(out), std::string(expected, sizeof expected));
}
