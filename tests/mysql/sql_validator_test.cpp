// The MySQL name validators: what each kind accepts on old (before 4.1) and new servers, and the
// safe names they make, including the numbering against names already in use.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "sql_new_validator.h"
#include "sql_old_validator.h"
#include "tk_text.h"
#include "udb_column.h"
#include "udb_index.h"
#include "udb_schema.h"

namespace {

std::u16string w(const char* utf8) {
    return tk_from_utf8(utf8);
}

std::string n(const std::u16string& wide) {
    return tk_to_utf8(wide);
}

enum class kind { old_fn, old_dn, old_tn, new_fn, new_tn, new_dn };

const char* kind_name(kind k) {
    switch (k) {
        case kind::old_fn:
            return "old column";
        case kind::old_dn:
            return "old database";
        case kind::old_tn:
            return "old table";
        case kind::new_fn:
            return "new column";
        case kind::new_tn:
            return "new table";
        case kind::new_dn:
            return "new database";
    }
    return "?";
}

// A validator of the kind, knowing `in_use` the way its factory would: as the source table's
// columns, the selected tables, or nothing (database names).
std::unique_ptr<udb_validator> make(kind k, const std::vector<std::u16string>& in_use,
                                    udb_schema& schema) {
    for (const std::u16string& name : in_use) {
        schema.add(std::make_unique<udb_column>(10, name, VT_I4, false, false, ole_variant(), 0));
    }
    switch (k) {
        case kind::old_fn:
            return std::make_unique<sql_old_fn_validator>(schema);
        case kind::old_dn:
            return std::make_unique<sql_old_dn_validator>();
        case kind::old_tn:
            return std::make_unique<sql_old_tn_validator>(in_use, std::vector<std::u16string>{});
        case kind::new_fn:
            return std::make_unique<sql_new_fn_validator>(schema);
        case kind::new_tn:
            return std::make_unique<sql_new_tn_validator>(in_use, std::vector<std::u16string>{});
        case kind::new_dn:
            return std::make_unique<sql_new_validator>(true);
    }
    return nullptr;
}

struct name_case {
    kind k;
    std::string name;  // UTF-8
    bool acceptable;
    std::string safe;  // expected safe name when refused (UTF-8)
    std::vector<std::string> in_use;
};

std::string repeat(char c, size_t count) {
    return std::string(count, c);
}

const std::string name64 = "N" + repeat('a', 63);
const std::string name65 = "N" + repeat('a', 64);
const std::string name70 = "N" + repeat('b', 69);
const std::string name70_cut63 = name70.substr(0, 63);
const std::string name70_cut58 = name70.substr(0, 58);

const name_case name_cases[] = {
    // Reserved words refuse names on old servers only.
    {kind::old_fn, "order", false, "order00000", {}},
    {kind::old_fn, "ORDER", false, "ORDER00000", {}},
    {kind::old_tn, "Select", false, "Select00000", {}},
    {kind::old_dn, "table", false, "table00000", {}},
    {kind::new_fn, "order", true, "", {}},
    {kind::new_tn, "select", true, "", {}},
    {kind::old_fn, "orders", true, "", {}},
    // Numbering skips the names in use, ignoring case.
    {kind::old_fn, "select", false, "select00001", {"SELECT00000"}},
    {kind::old_fn, "select", false, "select00002", {"select00000", "select00001"}},
    {kind::new_tn, "a.b", false, "a_b00000", {"A_B"}},
    // Letters of every script pass the old test; punctuation does not.
    {kind::old_fn, "Zähler", true, "", {}},
    {kind::old_fn, "名前", true, "", {}},
    {kind::old_fn, "a$b_1", true, "", {}},
    {kind::old_fn, "PRICE-USD", false, "PRICE_USD", {}},
    {kind::old_fn, "x y", false, "x_y", {}},
    {kind::old_fn, "a.b", false, "a_b", {}},
    {kind::old_fn, "smile😀", false, "smile__", {}},
    // Digits only: refused by the old rules, the first digit becomes "_".
    {kind::old_fn, "2005", false, "_005", {}},
    {kind::old_fn, "", false, "_", {}},
    {kind::old_fn, "1st", true, "", {}},
    {kind::new_fn, "2005", true, "", {}},
    // Database names on old servers: not empty, no leading digit.
    {kind::old_dn, "1st", false, "_st", {}},
    {kind::old_dn, "9", false, "_", {}},
    {kind::old_dn, "shop", true, "", {}},
    // New servers: the first 8 forbidden characters for columns, all 16 for tables.
    {kind::new_fn, "a.b", true, "", {}},
    {kind::new_tn, "a.b", false, "a_b", {}},
    {kind::new_dn, "a/b", false, "a_b", {}},
    {kind::new_fn, "a+b|c:d<e>f?g/h", true, "", {}},
    {kind::new_tn, "a+b|c:d<e>f?g/h", false, "a_b_c_d_e_f_g_h", {}},
    {kind::new_fn, "it's", false, "it_s", {}},
    {kind::new_fn, "a`b", false, "a_b", {}},
    {kind::new_fn, "x\"y", false, "x_y", {}},
    {kind::new_fn, "a^b*c#d\\e;f", false, "a_b_c_d_e_f", {}},
    {kind::new_fn, "x y", true, "", {}},
    {kind::new_fn, "Zähler 😀", true, "", {}},
    // Spaces at either end, and the empty name, are refused by the new rules.
    {kind::new_fn, " x", false, "x", {}},
    {kind::new_tn, "x  ", false, "x", {}},
    {kind::new_fn, "   ", false, "00000", {}},
    {kind::new_fn, "", false, "00000", {}},
    {kind::new_fn, " x", false, "x00000", {"X"}},
    // Length: 64 characters pass, 65 do not; a long name keeps 63 characters when that is
    // free and is cut to 58 before five digits when it is not.
    {kind::old_fn, name64, true, "", {}},
    {kind::new_tn, name64, true, "", {}},
    {kind::old_fn, name65, false, name64.substr(0, 63), {}},
    {kind::new_fn, name70, false, name70_cut63, {}},
    {kind::old_tn, name70, false, name70_cut63, {}},
    {kind::new_fn, name70, false, name70_cut58 + "00000", {name70_cut63}},
    {kind::old_fn, name70, false, name70_cut58 + "00001", {name70_cut63, name70_cut58 + "00000"}},
};

TEST(sql_validator, names_and_safe_names) {
    for (const name_case& c : name_cases) {
        SCOPED_TRACE(std::string(kind_name(c.k)) + " validator, name '" + c.name + "'");
        std::vector<std::u16string> in_use;
        for (const std::string& used : c.in_use) in_use.push_back(w(used.c_str()));
        udb_schema schema(true);
        std::unique_ptr<udb_validator> v = make(c.k, in_use, schema);
        EXPECT_EQ(v->is_acceptable(w(c.name.c_str())), c.acceptable);
        if (!c.acceptable) {
            const std::u16string safe = v->get_safe_name(w(c.name.c_str()));
            EXPECT_EQ(n(safe), c.safe);
            // What the validator makes it must itself accept, and within the length.
            EXPECT_TRUE(v->is_acceptable(safe));
            EXPECT_FALSE(v->is_duplicated(safe));
            EXPECT_LE(safe.size(), 64u);
        }
    }
}

TEST(sql_validator, old_reserved_words_are_all_refused_in_any_case) {
    ASSERT_EQ(sql_old_validator::reserved_words().size(), 167u);
    sql_old_validator v;
    sql_new_validator nv(false);
    for (const std::u16string& word : sql_old_validator::reserved_words()) {
        std::u16string upper = word;
        for (char16_t& c : upper) {
            if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - u'a' + u'A');
        }
        EXPECT_FALSE(v.is_acceptable(word)) << n(word);
        EXPECT_FALSE(v.is_acceptable(upper)) << n(upper);
        EXPECT_EQ(v.get_safe_name(word), word + u"00000");
        EXPECT_TRUE(nv.is_acceptable(word)) << n(word);
    }
}

TEST(sql_validator, forbidden_characters_by_kind) {
    sql_new_validator names(false);
    sql_new_validator tables(true);
    ASSERT_EQ(names.forbidden_chars().size(), 8u);
    ASSERT_EQ(tables.forbidden_chars().size(), 16u);
    const std::u16string all = u"`\"'^*#\\;+|:<>?./";
    for (size_t i = 0; i < all.size(); ++i) {
        const std::u16string name = std::u16string(u"a") + all[i] + u"b";
        EXPECT_EQ(names.is_acceptable(name), i >= 8) << n(name);
        EXPECT_FALSE(tables.is_acceptable(name)) << n(name);
        EXPECT_EQ(tables.get_safe_name(name), u"a_b");
    }
}

TEST(sql_validator, names_in_use_come_from_the_source) {
    udb_indexes indexes;
    indexes.add(udb_index{u"IDX_A", false, false, {u"A"}});
    indexes.add(udb_index{u"key", true, false, {u"B"}});
    sql_old_in_validator old_in(indexes);
    sql_new_in_validator new_in(indexes);
    EXPECT_TRUE(old_in.is_duplicated(u"idx_a"));
    EXPECT_TRUE(new_in.is_duplicated(u"KEY"));
    EXPECT_FALSE(new_in.is_duplicated(u"IDX_B"));
    // The reserved index name gets a number on old servers only.
    EXPECT_FALSE(old_in.is_acceptable(u"key"));
    EXPECT_EQ(old_in.get_safe_name(u"key"), u"key00000");
    EXPECT_TRUE(new_in.is_acceptable(u"key"));

    sql_new_tn_validator tn({u"EMP"}, {u"dept"});
    EXPECT_TRUE(tn.is_duplicated(u"emp"));
    EXPECT_TRUE(tn.is_duplicated(u"DEPT"));
    EXPECT_EQ(tn.get_safe_name(u"dept."), u"dept_");
    tn.add_name_in_use(u"dept_");
    EXPECT_EQ(tn.get_safe_name(u"dept."), u"dept_00000");
}

TEST(sql_validator, names_taken_by_the_caller_are_refused_later) {
    // The table creator adds every name it used to the reserved names, so that a later column
    // whose safe name would repeat it gets the next number.
    udb_schema schema(true);
    schema.add(std::make_unique<udb_column>(10, u"a b", VT_I4, false, false, ole_variant(), 0));
    schema.add(std::make_unique<udb_column>(10, u"a-b", VT_I4, false, false, ole_variant(), 0));
    sql_old_fn_validator v(schema);
    const std::u16string first = v.get_safe_name(u"a b");
    EXPECT_EQ(first, u"a_b");
    v.add_name_in_use(first);
    v.add_reserved_name(first);
    EXPECT_EQ(v.get_safe_name(u"a-b"), u"a_b00000");
}

}  // namespace
