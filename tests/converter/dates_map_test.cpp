// The date statistics and the statements that narrow date columns.
#include <gtest/gtest.h>

#include <memory>

#include "converter_test_support.h"
#include "dates_map.h"
#include "mysql_converter_impl.h"
#include "udb_record.h"
#include "udb_schema.h"

using namespace conv_test;

namespace {

ole_variant date_time(int y, int mo, int d, int h, int mi, int s) {
    ole_systemtime t{};
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(mo);
    t.day = static_cast<uint16_t>(d);
    t.hour = static_cast<uint16_t>(h);
    t.minute = static_cast<uint16_t>(mi);
    t.second = static_cast<uint16_t>(s);
    return ole_variant(t);
}

const ole_variant k_stamp = date_time(2001, 2, 3, 4, 5, 6);
const ole_variant k_day = date_time(2001, 2, 3, 0, 0, 0);
const ole_variant k_time = date_time(0, 0, 0, 10, 20, 30);
const ole_variant k_null;

struct decision_case {
    const char* name;
    std::vector<ole_variant> values;
    const char16_t* type;  // nullptr: no statement
};

class decisions : public testing::TestWithParam<decision_case> {};

TEST_P(decisions, the_values_of_a_column_decide_its_type) {
    udb_schema schema;
    schema.add(make_column({u"ID", VT_I4, 0, false, false}));
    schema.add(make_column({u"D", VT_DATE, 0, false, false}));
    dates_map stats(u"T", schema, true);
    ASSERT_EQ(stats.size(), 1u);
    for (const ole_variant& v : GetParam().values) {
        udb_record record;
        record.add(std::make_unique<udb_field>(u"ID", 0, ole_variant(1)));
        record.add(std::make_unique<udb_field>(u"D", 0, v));
        stats.add_rec_stat(record);
    }
    mysql_converter_impl mysql;
    mysql.engine().set_server_version(sql_version(10, 11, 0));
    const types_map::entry& e = stats.at(0);
    const std::u16string statement =
        mysql.date_alter_statement(u"T", schema, e.column, e.kind, e.seen, e.current_kind);
    if (GetParam().type == nullptr) {
        EXPECT_EQ(statement, u"");
    } else {
        EXPECT_EQ(statement, std::u16string(u"ALTER TABLE `T` MODIFY `D` ") + GetParam().type);
    }
}

INSTANTIATE_TEST_SUITE_P(
    table, decisions,
    testing::Values(
        decision_case{"no_rows", {}, nullptr},
        decision_case{"only_nulls", {k_null, k_null}, nullptr},
        decision_case{"dates_with_times", {k_stamp, k_null, k_stamp}, nullptr},
        decision_case{"dates_without_times", {k_day, k_null, k_day}, u"DATE"},
        decision_case{"dates_then_a_date_with_time", {k_day, k_stamp, k_day}, nullptr},
        decision_case{"a_date_with_time_then_dates", {k_stamp, k_day}, nullptr},
        decision_case{"times_of_day", {k_time, k_null, k_time}, u"TIME"},
        decision_case{"a_time_among_dates", {k_day, k_time, k_day}, u"CHAR(19)"},
        decision_case{"a_time_first", {k_time, k_stamp}, u"CHAR(19)"},
        decision_case{"a_time_after_stamps", {k_stamp, k_stamp, k_time}, u"CHAR(19)"},
        decision_case{"text_of_no_kind_first", {ole_variant(u"soon"), k_day}, u"CHAR(19)"},
        decision_case{"date_texts", {ole_variant(u"2001-02-03"), ole_variant(u"1999-12-31")},
                      u"DATE"},
        decision_case{"empty_texts_are_skipped", {ole_variant(u""), k_time}, u"TIME"}),
    [](const testing::TestParamInfo<decision_case>& i) { return std::string(i.param.name); });

TEST(dates_map, only_date_columns_are_tracked_with_their_schema_positions) {
    udb_schema schema;
    schema.add(make_column({u"A", VT_BSTR, 10, false, false}));
    schema.add(make_column({u"B", VT_DATE, 0, false, false}));
    schema.add(make_column({u"C", VT_I4, 0, false, false}));
    schema.add(make_column({u"E", VT_DATE, 0, false, false}));
    dates_map stats(u"T", schema, true);
    ASSERT_EQ(stats.size(), 2u);
    EXPECT_EQ(stats.at(0).column, 1);
    EXPECT_EQ(stats.at(1).column, 3);
    EXPECT_EQ(stats.at(1).name, u"E");
    EXPECT_EQ(stats.at(0).current_kind, types_map::kind_datetime);
    EXPECT_THROW(stats.at(2), tk_mail_assertion);
    dates_map all(u"T", schema, false);
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(all.at(0).current_kind, types_map::kind_char19);
}

TEST(date_post_process, keeps_not_null_and_the_default_and_quotes_by_version) {
    udb_schema schema;
    schema.add(std::make_unique<udb_column>(0, u"WHEN", VT_DATE, true, false,
                                            date_time(2000, 1, 2, 0, 0, 0), 1));
    mysql_converter_impl mysql;
    mysql.engine().set_server_version(sql_version(5, 0, 51));
    EXPECT_EQ(mysql.date_alter_statement(u"T_1", schema, 0, types_map::kind_date, true, 1),
              u"ALTER TABLE `T_1` MODIFY `WHEN` DATE NOT NULL DEFAULT \"2000-01-02\"");
    mysql.engine().set_server_version(sql_version(3, 20, 1));
    EXPECT_EQ(mysql.date_alter_statement(u"T_1", schema, 0, types_map::kind_time, true, 1),
              u"ALTER TABLE T_1 MODIFY WHEN TIME NOT NULL DEFAULT \"2000-01-02\"");
}

TEST(date_post_process, runs_one_statement_per_changed_column_through_the_destination) {
    auto state = std::make_shared<dest_state>();
    mem_dest destination(state);
    udb_schema schema;
    schema.add(make_column({u"A", VT_DATE, 0, false, false}));
    schema.add(make_column({u"B", VT_DATE, 0, false, false}));
    schema.add(make_column({u"C", VT_DATE, 0, false, false}));
    dates_map stats(u"T", schema, true);
    udb_record record;
    record.add(std::make_unique<udb_field>(u"A", 0, k_day));
    record.add(std::make_unique<udb_field>(u"B", 0, k_stamp));
    record.add(std::make_unique<udb_field>(u"C", 0, k_time));
    stats.add_rec_stat(record);
    mysql_converter_impl mysql;
    mysql.engine().set_server_version(sql_version(10, 0, 0));
    EXPECT_EQ(mysql.date_post_process(destination, schema, stats), 2);
    EXPECT_EQ(state->statements,
              (std::vector<std::u16string>{u"ALTER TABLE `T` MODIFY `A` DATE",
                                           u"ALTER TABLE `T` MODIFY `C` TIME"}));
    // A destination schema that lacks the column: traced, nothing else.
    udb_schema short_schema;
    short_schema.add(make_column({u"A", VT_DATE, 0, false, false}));
    EXPECT_EQ(mysql.date_post_process(destination, short_schema, stats), 1);
}

}  // namespace
