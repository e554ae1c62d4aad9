#include "udb_profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tk_text.h"

namespace {

// A private folder per test process: ctest runs test cases in parallel.
class udb_profile_file : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("velt_model_profile_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::u16string path(const char* name) const { return tk_from_utf8((m_dir / name).string()); }

    void put(const char* name, const std::string& bytes) const {
        std::ofstream out(m_dir / name, std::ios::binary);
        out << bytes;
    }
    std::string get(const char* name) const {
        std::ifstream in(m_dir / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path m_dir;
};

// The settings a converter stores, in the order it stores them.
udb_profile converter_profile() {
    udb_profile p;
    p.set_value(udb_profile::available_queries, u"q1", u"SELECT * FROM EMP WHERE A=1");
    p.set_value(udb_profile::selected_tables, u"emp", u"");
    p.set_value(udb_profile::selected_tables, u"DEPT", u"");
    p.set_value(udb_profile::selected_tables, u"q1", u"SELECT * FROM EMP WHERE A=1");
    p.set_value(udb_profile::generic_settings, u"src", u"/data/expdat.dmp");
    p.set_value(udb_profile::generic_settings, u"dest", u"target");
    p.set_value(udb_profile::generic_settings, u"skip indexes", u"0");
    p.set_value(udb_profile::generic_settings, u"only definitions", u"1");
    p.set_value(udb_profile::generic_settings, u"mode", u"2");
    for (const char16_t* key : {u"host", u"user", u"password"}) {
        p.set_value(udb_profile::mysql_settings, key, u"");
    }
    p.set_value(udb_profile::mysql_settings, u"port", u"3306");
    for (const char16_t* key : {u"dump line break", u"dump new version", u"dump add lock to insert",
                                u"dump insert comments", u"dump create database",
                                u"dump create table", u"direct mode", u"case sensitive"}) {
        p.set_value(udb_profile::mysql_settings, key, u"1");
    }
    return p;
}

const char* const converter_profile_text =
    "[Available Queries]\r\n"
    "q1=SELECT * FROM EMP WHERE A=1\r\n"
    "\r\n"
    "[Generic settings]\r\n"
    "dest=target\r\n"
    "mode=2\r\n"
    "only definitions=1\r\n"
    "skip indexes=0\r\n"
    "src=/data/expdat.dmp\r\n"
    "\r\n"
    "[MySQL settings]\r\n"
    "case sensitive=1\r\n"
    "direct mode=1\r\n"
    "dump add lock to insert=1\r\n"
    "dump create database=1\r\n"
    "dump create table=1\r\n"
    "dump insert comments=1\r\n"
    "dump line break=1\r\n"
    "dump new version=1\r\n"
    "host=\r\n"
    "password=\r\n"
    "port=3306\r\n"
    "user=\r\n"
    "\r\n"
    "[Selected Tables]\r\n"
    "DEPT\r\n"
    "emp\r\n"
    "q1=SELECT * FROM EMP WHERE A=1\r\n"
    "\r\n";

}  // namespace

TEST(udb_profile, new_profile_holds_three_empty_sections) {
    udb_profile p;
    EXPECT_EQ(p.to_text(),
              "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n");
}

TEST(udb_profile, missing_section_or_key_gives_an_empty_value) {
    udb_profile p;
    EXPECT_EQ(p.get_value(u"MySQL settings", u"host"), u"");
    EXPECT_EQ(p.get_value(u"Generic settings", u"src"), u"");
    EXPECT_EQ(p.get_section(u"MySQL settings"), nullptr);
}

TEST(udb_profile, set_value_keeps_an_existing_value) {
    udb_profile p;
    p.set_value(u"MySQL settings", u"host", u"first");
    p.set_value(u"MySQL settings", u"host", u"second");
    EXPECT_EQ(p.get_value(u"MySQL settings", u"host"), u"first");
}

TEST(udb_profile, sections_and_keys_sort_by_code_units) {
    udb_profile p;
    p.set_value(u"zeta", u"b", u"2");
    p.set_value(u"Zeta", u"a", u"1");
    p.set_value(u"Zeta", u"B", u"3");
    EXPECT_EQ(p.to_text(),
              "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n"
              "[Zeta]\r\nB=3\r\na=1\r\n\r\n[zeta]\r\nb=2\r\n\r\n");
}

TEST(udb_profile, bare_keys_only_in_selected_tables) {
    udb_profile p;
    p.set_value(u"Generic settings", u"src", u"");
    p.set_value(u"Selected Tables", u"EMP", u"");
    const std::string text = p.to_text();
    EXPECT_NE(text.find("[Generic settings]\r\nsrc=\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Selected Tables]\r\nEMP\r\n"), std::string::npos);
}

TEST_F(udb_profile_file, written_bytes_are_exact) {
    ASSERT_TRUE(converter_profile().write(path("p.vlt")));
    EXPECT_EQ(get("p.vlt"), converter_profile_text);
}

TEST_F(udb_profile_file, non_ascii_text_is_utf8_without_byte_order_mark) {
    udb_profile p;
    p.set_value(u"Generic settings", u"src", u"C:\\d\u00fcmp\\\u4e2d.dmp");
    ASSERT_TRUE(p.write(path("p.vlt")));
    const std::string bytes = get("p.vlt");
    EXPECT_EQ(bytes.substr(0, 19), "[Available Queries]");
    EXPECT_NE(bytes.find("src=C:\\d\xC3\xBCmp\\\xE4\xB8\xAD.dmp\r\n"), std::string::npos);
}

TEST_F(udb_profile_file, round_trip_gives_back_every_pair) {
    const udb_profile written = converter_profile();
    ASSERT_TRUE(written.write(path("p.vlt")));
    udb_profile read;
    ASSERT_TRUE(read.read(path("p.vlt")));
    EXPECT_EQ(read.items(), written.items());
    EXPECT_EQ(read.get_value(u"Selected Tables", u"q1"), u"SELECT * FROM EMP WHERE A=1");
    ASSERT_TRUE(read.write(path("q.vlt")));
    EXPECT_EQ(get("q.vlt"), converter_profile_text);
}

TEST_F(udb_profile_file, rewriting_replaces_the_old_file) {
    put("p.vlt", std::string(5000, 'x'));
    ASSERT_TRUE(udb_profile().write(path("p.vlt")));
    EXPECT_EQ(get("p.vlt"),
              "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n");
}

TEST_F(udb_profile_file, missing_file_is_not_read) {
    udb_profile p;
    EXPECT_FALSE(p.read(path("none.vlt")));
}

TEST_F(udb_profile_file, unwritable_path_is_reported) {
    EXPECT_FALSE(udb_profile().write(path("no/such/folder/p.vlt")));
}

TEST_F(udb_profile_file, lines_ending_in_lf_only_are_read) {
    put("p.vlt", "[MySQL settings]\nhost=h\nuser=u");
    udb_profile p;
    ASSERT_TRUE(p.read(path("p.vlt")));
    EXPECT_EQ(p.get_value(u"MySQL settings", u"host"), u"h");
    EXPECT_EQ(p.get_value(u"MySQL settings", u"user"), u"u");  // no line break after the last line
}

TEST_F(udb_profile_file, byte_order_mark_is_skipped) {
    put("p.vlt", "\xEF\xBB\xBF[MySQL settings]\r\nhost=h\r\n");
    udb_profile p;
    ASSERT_TRUE(p.read(path("p.vlt")));
    EXPECT_EQ(p.get_value(u"MySQL settings", u"host"), u"h");
}

struct parse_case {
    const char* what;
    const char* text;
    bool accepted;
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;  // nullptr: the key must be missing
};

class udb_profile_parse : public testing::TestWithParam<parse_case> {};

TEST_P(udb_profile_parse, reads) {
    const parse_case& c = GetParam();
    udb_profile p;
    EXPECT_EQ(p.parse(c.text), c.accepted) << c.what;
    if (c.section == nullptr) {
        return;
    }
    const udb_profile::section* s = p.get_section(c.section);
    if (c.value == nullptr) {
        EXPECT_TRUE(s == nullptr || s->count(c.key) == 0) << c.what;
        return;
    }
    ASSERT_NE(s, nullptr) << c.what;
    ASSERT_EQ(s->count(c.key), 1u) << c.what;
    EXPECT_EQ(s->at(c.key), c.value) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    cases, udb_profile_parse,
    testing::Values(
        parse_case{"spaces around the key go, spaces after the equals sign stay",
                   "[MySQL settings]\r\n  host = x\r\n", true, u"MySQL settings", u"host", u" x"},
        parse_case{"trailing spaces of the line go", "[S]\r\nk=v  \r\n", true, u"S", u"k", u"v"},
        parse_case{"tabs are not trimmed", "[S]\r\n\tk=v\r\n", true, u"S", u"\tk", u"v"},
        parse_case{"a section line with spaces outside the brackets",
                   "  [MySQL settings]  \r\nhost=h\r\n", true, u"MySQL settings", u"host", u"h"},
        parse_case{"spaces inside the brackets belong to the name",
                   "[ MySQL settings ]\r\nhost=h\r\n", true, u" MySQL settings ", u"host", u"h"},
        parse_case{"no such section when the brackets hold spaces",
                   "[ MySQL settings ]\r\nhost=h\r\n", true, u"MySQL settings", u"host", nullptr},
        parse_case{"the first value of a key wins", "[S]\r\nk=1\r\nk=2\r\n", true, u"S", u"k",
                   u"1"},
        parse_case{"a bare line is a key with an empty value", "[Selected Tables]\r\nEMP\r\n", true,
                   u"Selected Tables", u"EMP", u""},
        parse_case{"the value is all text after the first equals sign", "[S]\r\nq=a=b\r\n", true,
                   u"S", u"q", u"a=b"},
        parse_case{"an empty value", "[S]\r\nk=\r\n", true, u"S", u"k", u""},
        parse_case{"a key before any section rejects the file", "k=v\r\n[S]\r\nk=w\r\n", false,
                   u"S", u"k", nullptr},
        parse_case{"a bare line before any section rejects the file", "junk\r\n[S]\r\nk=w\r\n",
                   false, u"S", u"k", nullptr},
        parse_case{"empty and blank lines before the first section are fine",
                   "\r\n   \r\n[S]\r\nk=w\r\n", true, u"S", u"k", u"w"},
        parse_case{"a section seen twice gathers both parts", "[S]\r\na=1\r\n[T]\r\n[S]\r\nb=2\r\n",
                   true, u"S", u"b", u"2"},
        parse_case{"a lone bracket is no section line", "[S]\r\n[\r\n", true, u"S", u"[", u""},
        parse_case{"invalid UTF-8 is replaced, not dropped", "[S]\r\nk=a\xFF\r\n", true, u"S", u"k",
                   u"a\uFFFD"}));

TEST_F(udb_profile_file, lines_longer_than_4095_characters_are_read_whole) {
    const std::string query = "SELECT " + std::string(10000, 'x');
    put("p.vlt", "[Available Queries]\r\nlong=" + query + "\r\nafter=1\r\n");
    udb_profile p;
    ASSERT_TRUE(p.read(path("p.vlt")));
    EXPECT_EQ(p.get_value(u"Available Queries", u"long"), tk_from_utf8(query));
    EXPECT_EQ(p.get_value(u"Available Queries", u"after"), u"1");
}

TEST_F(udb_profile_file, line_over_the_limit_is_skipped_and_reading_goes_on) {
    const std::string huge(udb_profile::max_line_bytes + 10, 'y');
    put("p.vlt", "[S]\r\nbefore=1\r\nhuge=" + huge + "\r\nafter=2\r\nlast=" + huge);
    udb_profile p;
    ASSERT_TRUE(p.read(path("p.vlt")));
    EXPECT_EQ(p.get_value(u"S", u"before"), u"1");
    EXPECT_EQ(p.get_value(u"S", u"after"), u"2");
    EXPECT_EQ(p.get_section(u"S")->count(u"huge"), 0u);
    EXPECT_EQ(p.get_section(u"S")->count(u"last"), 0u);
}

TEST_F(udb_profile_file, file_that_is_no_profile_is_rejected_at_its_first_line) {
    put("p.vlt", std::string(udb_profile::max_line_bytes * 3, '\x01') + "\n[S]\nk=v\n");
    udb_profile p;
    EXPECT_FALSE(p.read(path("p.vlt")));
    EXPECT_EQ(p.get_section(u"S"), nullptr);
}

TEST_F(udb_profile_file, reading_adds_to_what_the_profile_holds) {
    put("p.vlt", "[MySQL settings]\r\nhost=file\r\nport=1\r\n");
    udb_profile p;
    p.set_value(u"MySQL settings", u"host", u"before");
    ASSERT_TRUE(p.read(path("p.vlt")));
    EXPECT_EQ(p.get_value(u"MySQL settings", u"host"), u"before");
    EXPECT_EQ(p.get_value(u"MySQL settings", u"port"), u"1");
}
