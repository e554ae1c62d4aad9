// The command-line parser of the console program.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tk_cmdli.h"
#include "tk_exception.h"

namespace {

const tk_cmd_option k_table[] = {
    {0, "--case_sense"}, {1, "--dest="}, {2, "--dump"}, {5, "--mode="}, {0, ""},
};

std::vector<std::pair<int32_t, std::string>> walk(std::vector<const char*> args,
                                                  int32_t* unrecognised = nullptr) {
    args.insert(args.begin(), "prog");
    tk_cmdli line(static_cast<int>(args.size()), args.data(), k_table);
    std::vector<std::pair<int32_t, std::string>> out;
    for (; line.has_more(); line.advance()) out.emplace_back(line.id(), line.value());
    if (unrecognised) *unrecognised = line.unrecognised_count();
    return out;
}

TEST(tk_cmdli, classifies_by_prefix_in_table_order_and_takes_the_rest_as_value) {
    int32_t bad = 0;
    auto got = walk({"--dest=my db", "--dumpfile", "--case_sensex", "--mode=", "--dest",
                     "-dump", "--DUMP"},
                    &bad);
    std::vector<std::pair<int32_t, std::string>> expected = {
        {1, "my db"}, {2, "file"}, {0, "x"}, {5, ""}, {-1, ""}, {-1, ""}, {-1, ""}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(bad, 3);
}

TEST(tk_cmdli, only_the_program_name_leaves_nothing_to_walk) {
    const char* argv[] = {"prog"};
    tk_cmdli line(1, argv, k_table);
    EXPECT_FALSE(line.has_more());
    EXPECT_THROW(line.value(), tk_mail_assertion);
    EXPECT_THROW(line.advance(), tk_mail_assertion);
}

TEST(tk_cmdli, keeps_twenty_unrecognised_arguments_and_counts_them_all) {
    std::vector<std::string> texts;
    for (int i = 0; i < 25; ++i) texts.push_back("bad" + std::to_string(i));
    std::vector<const char*> args{"prog"};
    for (const std::string& t : texts) args.push_back(t.c_str());
    tk_cmdli line(static_cast<int>(args.size()), args.data(), k_table);
    while (line.has_more()) line.advance();
    EXPECT_EQ(line.unrecognised_count(), 25);
    ASSERT_EQ(line.unrecognised().size(), tk_cmdli::max_unrecognised);
    EXPECT_EQ(line.unrecognised().front(), "bad0");
    EXPECT_EQ(line.unrecognised().back(), "bad19");
}

}  // namespace
