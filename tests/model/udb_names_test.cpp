#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "t_names_map.h"
#include "tk_log.h"
#include "udb_names_map.h"

TEST(t_names_map, unmapped_name_maps_to_itself) {
    t_names_map map;
    map.add(u"Emp", u"EMP_1");
    EXPECT_EQ(map.get_mapped_name(u"DEPT", false), u"DEPT");
    EXPECT_EQ(map.get_mapped_name(u"DEPT", true), u"DEPT");
}

TEST(t_names_map, exact_lookup_ignores_a_name_that_differs_in_case) {
    t_names_map map;
    map.add(u"Emp", u"EMP_1");
    EXPECT_EQ(map.get_mapped_name(u"emp", false), u"EMP_1");
    EXPECT_EQ(map.get_mapped_name(u"emp", true), u"emp");
    EXPECT_EQ(map.get_mapped_name(u"Emp", true), u"EMP_1");
}

TEST(t_names_map, second_pair_for_a_source_keeps_the_first) {
    t_names_map map;
    map.add(u"A", u"first");
    map.add(u"A", u"second");
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(map.get_mapped_name(u"A", true), u"first");
}

TEST(t_names_map, inexact_lookup_takes_the_first_pair_in_code_unit_order) {
    // "ABC" sorts before "abc": the case-insensitive scan meets it first.
    t_names_map map;
    map.add(u"abc", u"lower");
    map.add(u"ABC", u"upper");
    EXPECT_EQ(map.get_mapped_name(u"Abc", false), u"upper");
    EXPECT_EQ(map.get_mapped_name(u"abc", true), u"lower");
}

TEST(udb_names_map, table_names_follow_the_exact_switch) {
    udb_names_map names;
    names.add_tn_mapping(u"Emp", u"EMP_1");
    EXPECT_EQ(names.get_tn_mapped_name(u"emp", false), u"EMP_1");
    EXPECT_EQ(names.get_tn_mapped_name(u"emp", true), u"emp");
    EXPECT_EQ(names.get_tn_mapped_name(u"DEPT", false), u"DEPT");
}

TEST(udb_names_map, column_names_are_looked_up_under_the_exact_table_name) {
    udb_names_map names;
    t_names_map columns;
    columns.add(u"select", u"select00000");
    names.add_fn_map(u"EMP", columns);
    EXPECT_EQ(names.get_fn_mapped_name(u"EMP", u"select", true), u"select00000");
    EXPECT_EQ(names.get_fn_mapped_name(u"EMP", u"SELECT", true), u"SELECT");
    EXPECT_EQ(names.get_fn_mapped_name(u"EMP", u"SELECT", false), u"select00000");
    // The table key itself is exact, whatever the column switch says.
    EXPECT_EQ(names.get_fn_mapped_name(u"emp", u"select", false), u"select");
}

TEST(udb_names_map, first_column_map_of_a_table_stays) {
    udb_names_map names;
    t_names_map first;
    first.add(u"a", u"a1");
    t_names_map second;
    second.add(u"a", u"a2");
    names.add_fn_map(u"T", first);
    names.add_fn_map(u"T", second);
    EXPECT_EQ(names.get_fn_mapped_name(u"T", u"a", true), u"a1");
}

TEST(udb_names_map, stored_column_map_is_a_copy) {
    udb_names_map names;
    t_names_map columns;
    columns.add(u"a", u"a1");
    names.add_fn_map(u"T", columns);
    columns.add(u"b", u"b1");
    EXPECT_EQ(names.get_fn_mapped_name(u"T", u"b", true), u"b");
}

// The trace of a column lookup in a table without renamed columns, read back from a real log.
TEST(udb_names_map, missing_table_is_traced) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("velt_model_names_" + std::to_string(getpid()) + ".log");
    {
        tk_log log(path.string(), true, 1, false);
        udb_names_map names;
        EXPECT_EQ(names.get_fn_mapped_name(u"DEPT", u"LOC", true), u"LOC");
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::remove(path);
    EXPECT_NE(text.str().find("Table 'DEPT' not found\r\n"), std::string::npos) << text.str();
}
