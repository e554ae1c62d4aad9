#include "tk_log.h"

#include <gtest/gtest.h>

#include <cctype>

#include "tk_exception.h"
#include "tk_path.h"
#include "tk_test_support.h"

namespace {

class tk_log_file : public ::testing::Test {
protected:
    tk_temp_folder m_folder;
    std::string m_path = m_folder / "run.log";
};

}  // namespace

TEST_F(tk_log_file, disabled_log_writes_no_file_even_for_main_events) {
    tk_log log(m_path, false, 3, false);
    tk_trace(3, "Conversion started");
    tk_wtrace(3, u"Table %s", u"EMP");
    EXPECT_FALSE(tk_exists(m_path));
}

TEST_F(tk_log_file, enabled_log_empties_the_file_at_construction) {
    tk_write_file(m_path, "left over from the last run\r\n");
    tk_log log(m_path, true, 3, false);
    EXPECT_TRUE(tk_exists(m_path));
    EXPECT_EQ(tk_read_file(m_path), "");
}

TEST_F(tk_log_file, switched_on_log_is_emptied_by_the_first_line_and_keeps_the_threshold) {
    tk_write_file(m_path, "left over from the last run\r\n");
    tk_log log(std::nullopt, false, 3, false);
    log.set_path(m_path);
    log.set_enabled(true);
    // Below the threshold: nothing is written, but the old run's lines are gone.
    tk_trace(2, "ora_dump_table::init(%d)", 4);
    EXPECT_EQ(tk_read_file(m_path), "");
    tk_trace(3, "Table %s: %d rows", "EMP", 14);
    tk_trace(1, "row %d", 1);
    tk_trace(4, "done");
    EXPECT_EQ(tk_read_file(m_path), "Table EMP: 14 rows\r\ndone\r\n");
}

TEST_F(tk_log_file, format_ending_in_line_feed_gives_lf_cr_lf) {
    tk_log log(m_path, true, 1, false);
    tk_trace(1, "Internal error:\n");
    tk_wtrace(1, u"wide\n");
    EXPECT_EQ(tk_read_file(m_path), "Internal error:\n\r\nwide\n\r\n");
}

TEST_F(tk_log_file, wide_lines_are_utf8_and_narrow_lines_keep_their_bytes) {
    tk_log log(m_path, true, 1, false);
    tk_wtrace(2, u"caf\u00e9 %s %d", u"\u4e2d\U0001F600", 7);
    tk_trace(2, "%s", "\xC0\xFF");
    EXPECT_EQ(tk_read_file(m_path),
              "caf\xC3\xA9 \xE4\xB8\xAD\xF0\x9F\x98\x80 7\r\n"
              "\xC0\xFF\r\n");
}

TEST_F(tk_log_file, long_wide_line_is_cut_on_a_character_boundary) {
    tk_log log(m_path, true, 1, false);
    std::u16string long_text(20000, u'\u00e9');  // two UTF-8 bytes each
    tk_wtrace(1, u"%s", long_text.c_str());
    std::string text = tk_read_file(m_path);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::string line = text.substr(0, text.size() - 2);
    EXPECT_LE(line.size(), 10240u);
    EXPECT_GE(line.size(), 10238u);
    EXPECT_EQ(line.size() % 2, 0u);
    EXPECT_EQ(line.substr(line.size() - 2), "\xC3\xA9");
}

TEST_F(tk_log_file, time_stamps_prefix_each_line) {
    tk_log log(m_path, true, 1, true);
    tk_trace(1, "stamped");
    std::string text = tk_read_file(m_path);
    ASSERT_EQ(text.size(), 9u + 9u) << text;  // "hh:mm:ss " + "stamped\r\n"
    for (size_t i : {0, 1, 3, 4, 6, 7}) EXPECT_TRUE(std::isdigit(text[i])) << text;
    EXPECT_EQ(text.substr(2, 1) + text.substr(5, 1), "::");
    EXPECT_EQ(text.substr(8), " stamped\r\n");
}

TEST_F(tk_log_file, a_new_path_is_emptied_by_its_first_line) {
    std::string second = m_folder / "second.log";
    tk_write_file(second, "old\r\n");
    tk_log log(m_path, true, 1, false);
    tk_trace(1, "first");
    log.set_path(second);
    tk_trace(1, "second");
    EXPECT_EQ(tk_read_file(m_path), "first\r\n");
    EXPECT_EQ(tk_read_file(second), "second\r\n");
}

TEST_F(tk_log_file, unwritable_path_drops_lines_silently) {
    tk_log log(m_folder / "missing-folder/run.log", true, 1, false);
    tk_trace(3, "dropped");
    tk_wtrace(3, u"dropped");
    EXPECT_FALSE(tk_exists(m_folder / "missing-folder"));
}

TEST_F(tk_log_file, second_log_is_an_assertion_and_the_first_stays) {
    tk_log log(m_path, true, 1, false);
    EXPECT_THROW(tk_log(std::nullopt, false, 3, false), tk_mail_assertion);
    EXPECT_EQ(&tk_log::instance(), &log);
    tk_trace(1, "still here");
    EXPECT_NE(tk_read_file(m_path).find("still here\r\n"), std::string::npos);
}

TEST(tk_log, instance_without_a_log_is_an_assertion_and_traces_do_nothing) {
    EXPECT_EQ(tk_log::instance_if_any(), nullptr);
    EXPECT_THROW(tk_log::instance(), tk_mail_assertion);
    tk_trace(3, "nobody listens %s", "here");
    tk_wtrace(3, u"nobody listens %s", u"here");
}

TEST(tk_log, default_path_is_the_program_path_with_extension_log) {
    tk_log log(std::nullopt, false, 3, false);
    std::string expected = tk_get_module_path();
    size_t slash = expected.rfind('/');
    size_t dot = expected.rfind('.');
    if (dot != std::string::npos && dot > slash)
        expected.erase(dot);
    EXPECT_EQ(log.path(), expected + ".log");
}

TEST(tk_log, arguments_are_not_formatted_when_the_log_is_off) {
    int evaluated = 0;
    auto count = [&evaluated] { return ++evaluated; };
    tk_trace(3, "%d", count());
    tk_temp_folder folder;
    tk_log log(folder / "off.log", false, 3, false);
    tk_trace(3, "%d", count());
    EXPECT_EQ(evaluated, 0);
}

TEST(tk_wformat, conversions_follow_printf) {
    EXPECT_EQ(tk_wformat(100, u"%d|%5d|%-5d|%05d", -3, 42, 42, 42), u"-3|   42|42   |00042");
    EXPECT_EQ(tk_wformat(100, u"%*d|%*d|", 4, 7, -4, 7), u"   7|7   |");
    EXPECT_EQ(tk_wformat(100, u"%u %x %X %o", 4000000000u, 255u, 255u, 8u), u"4000000000 ff FF 10");
    EXPECT_EQ(tk_wformat(100, u"%hd %hhu", 70000, 300), u"4464 44");
    EXPECT_EQ(tk_wformat(100, u"%I64d %lld %ld %zu", int64_t{-5000000000}, -1ll, 12l, size_t{9}),
              u"-5000000000 -1 12 9");
    EXPECT_EQ(tk_wformat(100, u"%.2f %Lf %g", 2.5, 1.25L, 0.5), u"2.50 1.250000 0.5");
    EXPECT_EQ(tk_wformat(100, u"[%s] [%5s] [%-5s] [%.2s]", u"ab", u"ab", u"ab", u"abc"),
              u"[ab] [   ab] [ab   ] [ab]");
    EXPECT_EQ(tk_wformat(100, u"%S/%c/%%", "na\xC3\xAFve", int{u'\u4e2d'}), u"na\u00efve/\u4e2d/%");
    EXPECT_EQ(tk_wformat(100, u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
}

TEST(tk_wformat, output_is_cut_at_the_limit) {
    EXPECT_EQ(tk_wformat(5, u"%s and more", u"abcdefgh"), u"abcde");
    EXPECT_EQ(tk_wformat(3, u"abcdef"), u"abc");
}
