// The stored settings (the per-user settings file) and profile files, through the converter.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "converter_test_support.h"
#include "tk_reg_key.h"
#include "tk_text.h"
#include "udb_profile.h"

using namespace conv_test;

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class settings : public testing::Test {
protected:
    private_settings folder;
    recording_front_end front_end;
    error_handler handler{k_mysql_error_text_count, k_mysql_error_texts, front_end};
    std::unique_ptr<test_convertor> conv = std::make_unique<test_convertor>();

    std::string file(const char* name) const { return folder.folder() + "/" + name; }
    std::u16string wfile(const char* name) const { return tk_from_utf8(file(name)); }
    bool load(const std::string& text) {
        write_file(file("p.vlt"), text);
        return load_profile_file(*conv, wfile("p.vlt"));
    }
};

TEST_F(settings, without_stored_settings_the_initial_values_hold) {
    EXPECT_FALSE(conv->serialize(false)) << "no value could be read";
    EXPECT_TRUE(conv->direct_mode());
    EXPECT_FALSE(conv->case_sensitive());
    EXPECT_FALSE(conv->tab_def());
    EXPECT_FALSE(conv->skip_idx());
    EXPECT_EQ(conv->mode(), 0);
    EXPECT_EQ(conv->mysql().port(), "3306");
    const dmp_settings& d = conv->mysql().dump_settings();
    EXPECT_EQ(d.line_break, 0);
    EXPECT_TRUE(d.b_new_ver);
    EXPECT_TRUE(d.b_add_lock);
    EXPECT_TRUE(d.b_ins_comments);
    EXPECT_FALSE(d.b_create_db);
    EXPECT_TRUE(d.b_create_tab);
}

TEST_F(settings, the_sixteen_values_survive_a_store_and_a_new_converter) {
    conv->set_direct_mode(false);
    conv->set_case_sensitive(true);
    conv->set_tab_def(true);
    conv->set_skip_idx(true);
    conv->set_source_path(u"/data/\u00E9xp.dmp");
    conv->set_dest_name(u"shop \u4E2D");
    conv->mysql().set_host("db.example");
    conv->mysql().set_user("me");
    conv->mysql().set_password("p=w\\d");
    conv->mysql().set_port("3307");
    dmp_settings& d = conv->mysql().dump_settings();
    d.line_break = 1;
    d.b_new_ver = false;
    d.b_add_lock = false;
    d.b_ins_comments = false;
    d.b_create_db = true;
    d.b_create_tab = false;
    conv->set_mode(3);  // never stored
    ASSERT_TRUE(conv->serialize(true));

    conv.reset();
    conv = std::make_unique<test_convertor>();
    EXPECT_FALSE(conv->direct_mode());
    EXPECT_TRUE(conv->case_sensitive());
    EXPECT_TRUE(conv->tab_def());
    EXPECT_TRUE(conv->skip_idx());
    EXPECT_EQ(conv->source_path(), u"/data/\u00E9xp.dmp");
    EXPECT_EQ(conv->dest_name(), u"shop \u4E2D");
    EXPECT_EQ(conv->mysql().host(), "db.example");
    EXPECT_EQ(conv->mysql().user(), "me");
    EXPECT_EQ(conv->mysql().password(), "p=w\\d");
    EXPECT_EQ(conv->mysql().port(), "3307");
    const dmp_settings& l = conv->mysql().dump_settings();
    EXPECT_EQ(l.line_break, 1);
    EXPECT_FALSE(l.b_new_ver);
    EXPECT_FALSE(l.b_add_lock);
    EXPECT_FALSE(l.b_ins_comments);
    EXPECT_TRUE(l.b_create_db);
    EXPECT_FALSE(l.b_create_tab);
    EXPECT_EQ(conv->mode(), 0);
    EXPECT_TRUE(conv->serialize(false));
}

TEST_F(settings, loading_starts_each_setting_from_its_initial_value_but_keeps_the_texts) {
    {
        tk_reg_key key;
        ASSERT_EQ(key.create(&tk_hkey_current_user, velt2sql_convertor::settings_key), 0);
        ASSERT_EQ(key.set_value("tab_def", 1u), 0);
    }
    conv->set_skip_idx(true);
    conv->set_direct_mode(false);
    conv->mysql().set_port("1");
    conv->mysql().set_host("kept");
    conv->set_source_path(u"kept.dmp");
    EXPECT_FALSE(conv->serialize(false));
    EXPECT_TRUE(conv->tab_def());
    EXPECT_FALSE(conv->skip_idx());
    EXPECT_TRUE(conv->direct_mode());
    EXPECT_EQ(conv->mysql().port(), "3306");
    EXPECT_EQ(conv->mysql().host(), "kept");
    EXPECT_EQ(conv->source_path(), u"kept.dmp");
}

TEST_F(settings, the_wizard_stores_the_settings_when_it_ends_and_the_console_does_not) {
    conv->set_tab_def(true);
    conv.reset();
    conv = std::make_unique<test_convertor>(velt_program::wizard);
    EXPECT_FALSE(conv->tab_def()) << "the console converter stored nothing";
    conv->set_tab_def(true);
    conv.reset();
    conv = std::make_unique<test_convertor>();
    EXPECT_TRUE(conv->tab_def());
}

TEST_F(settings, a_profile_is_written_byte_for_byte_in_its_fixed_layout) {
    conv->set_source_path(u"x.dmp");
    conv->set_dest_name(u"db");
    conv->set_mode(1);
    conv->set_tab_def(true);
    conv->selected_tables() = {u"EMP", u"DEPT", u"EMP"};
    conv->available_queries()[u"Q"] = u"select 1";
    conv->mysql().store_mysql_settings("h", "u", "p", "3307");
    ASSERT_TRUE(store_profile_file(*conv, wfile("out.vlt")));
    EXPECT_EQ(read_file(file("out.vlt")),
              "[Available Queries]\r\nQ=select 1\r\n\r\n"
              "[Generic settings]\r\ndest=db\r\nmode=1\r\nonly definitions=1\r\n"
              "skip indexes=0\r\nsrc=x.dmp\r\n\r\n"
              "[MySQL settings]\r\ncase sensitive=0\r\ndirect mode=1\r\n"
              "dump add lock to insert=1\r\ndump create database=0\r\ndump create table=1\r\n"
              "dump insert comments=1\r\ndump line break=0\r\ndump new version=1\r\nhost=h\r\n"
              "password=p\r\nport=3307\r\nuser=u\r\n\r\n"
              "[Selected Tables]\r\nDEPT\r\nEMP\r\n\r\n");
}

TEST_F(settings, a_saved_profile_gives_back_every_setting_with_the_tables_in_name_order) {
    conv->set_source_path(u"s.dmp");
    conv->set_dest_name(u"d");
    conv->set_mode(2);
    conv->set_tab_def(true);
    conv->set_skip_idx(true);
    conv->set_direct_mode(false);
    conv->set_case_sensitive(true);
    conv->selected_tables() = {u"b", u"C", u"A"};
    conv->mysql().store_mysql_settings("h", "u", "p\u00E9", "1");
    conv->mysql().dump_settings().line_break = 1;
    conv->mysql().dump_settings().b_create_db = true;
    conv->mysql().dump_settings().b_new_ver = false;
    ASSERT_TRUE(store_profile_file(*conv, wfile("p.vlt")));

    conv.reset();
    conv = std::make_unique<test_convertor>();
    ASSERT_TRUE(load_profile_file(*conv, wfile("p.vlt")));
    EXPECT_EQ(conv->source_path(), u"s.dmp");
    EXPECT_EQ(conv->dest_name(), u"d");
    EXPECT_EQ(conv->mode(), 2);
    EXPECT_TRUE(conv->tab_def());
    EXPECT_TRUE(conv->skip_idx());
    EXPECT_FALSE(conv->direct_mode());
    EXPECT_TRUE(conv->case_sensitive());
    EXPECT_EQ(conv->selected_tables(), (std::vector<std::u16string>{u"A", u"C", u"b"}));
    EXPECT_EQ(conv->mysql().host(), "h");
    EXPECT_EQ(conv->mysql().password(), "p\u00E9");
    EXPECT_EQ(conv->mysql().port(), "1");
    EXPECT_EQ(conv->mysql().dump_settings().line_break, 1);
    EXPECT_TRUE(conv->mysql().dump_settings().b_create_db);
    EXPECT_FALSE(conv->mysql().dump_settings().b_new_ver);
}

struct profile_case {
    const char* name;
    const char* text;
    std::function<void(test_convertor&)> check;
};

class profile_values : public settings, public testing::WithParamInterface<profile_case> {};

TEST_P(profile_values, are_read_as_the_rules_say) {
    conv->set_mode(1);
    ASSERT_TRUE(load(GetParam().text));
    GetParam().check(*conv);
}

INSTANTIATE_TEST_SUITE_P(
    all, profile_values,
    testing::Values(
        profile_case{"mode_digit", "[Generic settings]\r\nmode=2\r\n",
                     [](test_convertor& c) { EXPECT_EQ(c.mode(), 2); }},
        profile_case{"mode_of_two_characters_is_ignored", "[Generic settings]\r\nmode=12\r\n",
                     [](test_convertor& c) { EXPECT_EQ(c.mode(), 1); }},
        profile_case{"empty_mode_is_ignored", "[Generic settings]\r\nmode=\r\n",
                     [](test_convertor& c) { EXPECT_EQ(c.mode(), 1); }},
        profile_case{"anything_but_0_switches_definitions_on",
                     "[Generic settings]\r\nonly definitions=yes\r\nskip indexes=0\r\n",
                     [](test_convertor& c) {
                         EXPECT_TRUE(c.tab_def());
                         EXPECT_FALSE(c.skip_idx());
                     }},
        profile_case{"only_1_switches_direct_mode_on",
                     "[MySQL settings]\r\ndirect mode=yes\r\ncase sensitive=1\r\n",
                     [](test_convertor& c) {
                         EXPECT_FALSE(c.direct_mode());
                         EXPECT_TRUE(c.case_sensitive());
                     }},
        profile_case{"a_duplicated_key_keeps_its_first_value",
                     "[MySQL settings]\r\nhost=first\r\nhost=second\r\n",
                     [](test_convertor& c) { EXPECT_EQ(c.mysql().host(), "first"); }},
        profile_case{"spaces_around_the_key_go_and_the_value_keeps_its_leading_space",
                     "  [MySQL settings]  \n  host = x\n",
                     [](test_convertor& c) { EXPECT_EQ(c.mysql().host(), " x"); }},
        profile_case{"spaces_inside_the_brackets_make_another_section",
                     "[ MySQL settings ]\r\nhost=x\r\n",
                     [](test_convertor& c) { EXPECT_EQ(c.mysql().host(), ""); }},
        profile_case{"tables_with_a_query_text_are_not_selected",
                     "[Selected Tables]\r\nEMP\r\nV=select * from EMP\r\n",
                     [](test_convertor& c) {
                         EXPECT_EQ(c.selected_tables(), std::vector<std::u16string>{u"EMP"});
                         EXPECT_EQ(c.selected_queries().at(u"V"), u"select * from EMP");
                     }},
        profile_case{"dump_flags_are_on_only_for_1",
                     "[MySQL settings]\r\ndump line break=2\r\ndump create table=true\r\n"
                     "dump create database=1\r\n",
                     [](test_convertor& c) {
                         EXPECT_EQ(c.mysql().dump_settings().line_break, 0);
                         EXPECT_FALSE(c.mysql().dump_settings().b_create_tab);
                         EXPECT_TRUE(c.mysql().dump_settings().b_create_db);
                     }}),
    [](const testing::TestParamInfo<profile_case>& i) { return std::string(i.param.name); });

TEST_F(settings, a_profile_adds_its_tables_each_time_it_is_loaded) {
    conv->selected_tables() = {u"FIRST"};
    const std::string text = "[Selected Tables]\r\nB\r\nA\r\n";
    ASSERT_TRUE(load(text));
    ASSERT_TRUE(load(text));
    EXPECT_EQ(conv->selected_tables(),
              (std::vector<std::u16string>{u"FIRST", u"A", u"B", u"A", u"B"}));
}

TEST_F(settings, a_profile_that_cannot_be_read_or_starts_with_a_key_changes_nothing) {
    conv->mysql().set_host("before");
    EXPECT_FALSE(load_profile_file(*conv, wfile("missing.vlt")));
    EXPECT_FALSE(load("host=x\r\n[MySQL settings]\r\nuser=y\r\n"));
    EXPECT_EQ(conv->mysql().host(), "before");
    EXPECT_EQ(conv->mysql().user(), "");
    EXPECT_FALSE(store_profile_file(*conv, wfile("no/such/folder.vlt")));
}

}  // namespace
