#include "udb_validator.h"

#include <gtest/gtest.h>

#include <string>

#include "tk_exception.h"

namespace {

// A validator set up the way the MySQL validators fill theirs.
class test_validator : public udb_validator {
public:
    explicit test_validator(int32_t max_length) : udb_validator(max_length) {
        add_forbidden_char(u'.');
        add_forbidden_char(u'/');
        add_reserved_name(u"select");
        add_reserved_name(u"Order");
    }
};

// Refuses every name, to reach the end of the numbering without 100,000 names in use.
class refusing_validator : public udb_validator {
public:
    refusing_validator() : udb_validator(0) {}
    bool is_acceptable(const std::u16string&) override {
        ++calls;
        return false;
    }
    int calls = 0;
};

std::u16string repeat(char16_t c, size_t n) {
    return std::u16string(n, c);
}

}  // namespace

struct acceptable_case {
    std::u16string name;
    bool acceptable;
};

class udb_validator_rules : public testing::TestWithParam<acceptable_case> {};

TEST_P(udb_validator_rules, is_acceptable) {
    test_validator validator(8);
    EXPECT_EQ(validator.is_acceptable(GetParam().name), GetParam().acceptable);
}

INSTANTIATE_TEST_SUITE_P(
    cases, udb_validator_rules,
    testing::Values(acceptable_case{u"EMP", true}, acceptable_case{u"12345678", true},
                    acceptable_case{u"123456789", false},  // longer than the limit
                    acceptable_case{u"SELECT", false},     // reserved, any case
                    acceptable_case{u"order", false},
                    acceptable_case{u"selects", true},  // reserved names compare whole
                    acceptable_case{u"a.b", false},     // forbidden characters
                    acceptable_case{u"a/b", false}, acceptable_case{u"a_b", true},
                    acceptable_case{u"", true}));

TEST(udb_validator, no_limit_when_the_maximum_is_zero) {
    udb_validator validator(0);
    EXPECT_TRUE(validator.is_acceptable(repeat(u'x', 5000)));
}

TEST(udb_validator, names_in_use_compare_ignoring_case) {
    udb_validator validator(0);
    validator.add_name_in_use(u"Emp");
    EXPECT_TRUE(validator.is_duplicated(u"EMP"));
    EXPECT_FALSE(validator.is_duplicated(u"EMP2"));
}

TEST(udb_validator, safe_name_of_an_acceptable_name_is_the_name) {
    test_validator validator(64);
    EXPECT_EQ(validator.get_safe_name(u"EMP"), u"EMP");
}

TEST(udb_validator, forbidden_characters_become_underscores) {
    test_validator validator(64);
    EXPECT_EQ(validator.get_safe_name(u"a.b/c"), u"a_b_c");
}

TEST(udb_validator, long_name_is_cut_one_below_the_limit) {
    test_validator validator(64);
    EXPECT_EQ(validator.get_safe_name(repeat(u'n', 70)), repeat(u'n', 63));
}

TEST(udb_validator, reserved_name_is_numbered) {
    test_validator validator(64);
    EXPECT_EQ(validator.get_safe_name(u"select"), u"select00000");
    validator.add_name_in_use(u"select00000");
    EXPECT_EQ(validator.get_safe_name(u"select"), u"select00001");
}

TEST(udb_validator, numbered_name_is_cut_to_leave_room_for_the_digits) {
    test_validator validator(64);
    const std::u16string name = repeat(u'n', 64);
    validator.add_name_in_use(name);
    EXPECT_EQ(validator.get_safe_name(name), repeat(u'n', 58) + u"00000");
}

TEST(udb_validator, name_that_fits_with_the_digits_is_not_cut) {
    test_validator validator(64);
    const std::u16string name = repeat(u'n', 59);
    validator.add_name_in_use(name);
    EXPECT_EQ(validator.get_safe_name(name), name + u"00000");
}

TEST(udb_validator, name_that_is_only_too_long_after_numbering_is_cut) {
    // 60 characters plus five digits would pass the limit of 64.
    test_validator validator(64);
    const std::u16string name = repeat(u'n', 60);
    validator.add_name_in_use(name);
    EXPECT_EQ(validator.get_safe_name(name), repeat(u'n', 58) + u"00000");
}

TEST(udb_validator, tiny_limit_does_not_cut_below_nothing) {
    // A limit too small for any numbered name runs out of numbers: an assertion, never a crash.
    test_validator validator(3);
    validator.add_name_in_use(u"ab");
    EXPECT_THROW(validator.get_safe_name(u"ab"), tk_mail_assertion);
}

TEST(udb_validator, passing_99999_is_an_assertion_failure) {
    refusing_validator validator;
    EXPECT_THROW(validator.get_safe_name(u"x"), tk_mail_assertion);
    // The name itself, then 00000 to 99999.
    EXPECT_EQ(validator.calls, 1 + 100000);
}

TEST(udb_validator, mapped_pairs_keep_the_first_pair) {
    udb_validator validator(0);
    validator.add_mapped_pair(u"select", u"select00000");
    validator.add_mapped_pair(u"select", u"select00001");
    EXPECT_EQ(validator.mapped_pairs().get_mapped_name(u"select", true), u"select00000");
}
