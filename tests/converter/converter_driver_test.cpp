// The conversion driver over in-memory doubles of the model: the existing-destination modes,
// table definitions only, skipping indexes, safe table names, the three scopes of failure
// handling, duplicate-key repair, progress and the stop request.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "converter_test_support.h"
#include "sql_exception.h"
#include "tk_thread.h"

using namespace conv_test;

namespace {

std::vector<column_spec> id_name_columns() {
    return {{u"ID", VT_I4, 0, true, false}, {u"NAME", VT_BSTR, 20, false, false}};
}

void fill(mem_table_data& t, int rows) {
    t.columns = id_name_columns();
    for (int i = 1; i <= rows; ++i) {
        t.rows.push_back({ole_variant(i), ole_variant(u"n" + std::u16string(1, u'0' + i % 10))});
    }
}

class driver : public testing::Test {
protected:
    private_settings settings;
    recording_front_end front_end;
    error_handler handler{k_mysql_error_text_count, k_mysql_error_texts, front_end};
    test_convertor conv{velt_program::console};

    void SetUp() override { conv.set_silent(true); }

    const dest_table& table(const std::u16string& name) { return conv.dest->tables.at(name); }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const report_entry& r : front_end.reports) out.push_back(r.message);
        return out;
    }
};

TEST_F(driver, converts_every_table_and_row_in_selection_order_and_resets_progress) {
    fill(conv.source.add(u"B"), 3);
    fill(conv.source.add(u"A"), 2);
    conv.selected_tables() = {u"B", u"A"};
    conv.run();
    EXPECT_TRUE(conv.done());
    ASSERT_EQ(conv.dest->tables.size(), 2u);
    EXPECT_EQ(table(u"B").rows.size(), 3u);
    EXPECT_EQ(table(u"A").rows.size(), 2u);
    EXPECT_EQ(table(u"B").rows[2], (std::vector<std::u16string>{u"3", u"n3"}));
    EXPECT_EQ(conv.table_count(), 0);
    EXPECT_EQ(conv.tables_done(), 0);
    EXPECT_EQ(conv.current_table(), u"A");
    EXPECT_EQ(conv.rows_done(), 2);
    EXPECT_TRUE(front_end.reports.empty());
    EXPECT_EQ(conv.dest->relationship_calls, 1);
}

TEST_F(driver, an_empty_console_selection_converts_every_table_and_missing_names_are_skipped) {
    fill(conv.source.add(u"A"), 1);
    fill(conv.source.add(u"B"), 1);
    conv.run();
    EXPECT_EQ(conv.dest->tables.size(), 2u);

    test_convertor* c = &conv;
    c->dest = std::make_shared<dest_state>();
    c->selected_tables() = {u"NOPE", u"a"};
    c->set_silent(false);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    c->run();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(err, "Table NOPE not exists\n");
    EXPECT_EQ(out, "Converting Oracle dump file (2 tables)\nConverting table a\n");
    EXPECT_EQ(c->dest->tables.count(u"a"), 1u);
}

struct mode_case {
    int32_t mode;
    bool deleted;
    bool created;
    size_t rows;  // rows of T afterwards (the existing table holds 2)
    bool post_processing;
};

class modes : public driver, public testing::WithParamInterface<mode_case> {};

TEST_P(modes, an_existing_destination_table_is_treated_as_the_mode_says) {
    const mode_case& c = GetParam();
    mem_table_data& t = conv.source.add(u"T");
    t.columns = {{u"ID", VT_I4, 0, true, false}, {u"D", VT_DATE, 0, false, false}};
    ole_systemtime day{};
    day.year = 2001;
    day.month = 2;
    day.day = 3;
    t.rows = {{ole_variant(1), ole_variant(day)}, {ole_variant(2), ole_variant(day)},
              {ole_variant(3), ole_variant()}};
    fill(conv.source.add(u"NEW"), 1);
    conv.dest->add_existing(u"T", {{u"ID", VT_I4, 0, true, false}, {u"D", VT_DATE, 0, false, false}},
                            2);
    conv.set_mode(c.mode);
    conv.selected_tables() = {u"T", u"NEW"};
    conv.run();
    EXPECT_EQ(!conv.dest->deleted.empty(), c.deleted);
    ASSERT_EQ(conv.dest->tables.count(u"T"), 1u);
    EXPECT_EQ(table(u"T").creates, c.created ? 1 : 0);
    EXPECT_EQ(table(u"T").rows.size(), c.rows);
    bool altered = false;
    for (const std::u16string& s : conv.dest->statements) {
        if (s.find(u"MODIFY `D` DATE") != std::u16string::npos) altered = true;
    }
    EXPECT_EQ(altered, c.post_processing);
    // A table that does not exist is simply created in every mode.
    EXPECT_EQ(table(u"NEW").rows.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(all, modes,
                         testing::Values(mode_case{0, false, true, 5, true},
                                         mode_case{1, true, true, 3, true},
                                         mode_case{2, false, false, 2, false},
                                         mode_case{3, false, true, 5, false}),
                         [](const testing::TestParamInfo<mode_case>& i) {
                             return "mode" + std::to_string(i.param.mode);
                         });

TEST_F(driver, table_definitions_only_create_tables_with_indexes_and_foreign_keys_but_no_rows) {
    mem_table_data& t = conv.source.add(u"T");
    fill(t, 4);
    t.indexes.add({u"PK", false, true, {u"ID"}});
    udb_relationship fk;
    fk.name = u"FK";
    fk.child_table = u"T";
    fk.parent_table = u"T";
    conv.source.create_relationships({fk});
    conv.set_tab_def(true);
    conv.run();
    EXPECT_TRUE(table(u"T").rows.empty());
    EXPECT_EQ(table(u"T").indexes.size(), 1u);
    EXPECT_EQ(conv.dest->relationship_calls, 1);
    EXPECT_EQ(conv.dest->foreign_keys.size(), 1u);
    EXPECT_TRUE(conv.dest->statements.empty());
}

TEST_F(driver, skipping_indexes_creates_plain_myisam_tables_and_no_foreign_keys) {
    mem_table_data& t = conv.source.add(u"T");
    fill(t, 2);
    t.indexes.add({u"PK", false, true, {u"ID"}});
    udb_relationship fk;
    fk.name = u"FK";
    conv.source.create_relationships({fk});
    conv.set_skip_idx(true);
    conv.run();
    EXPECT_TRUE(table(u"T").indexes.empty());
    EXPECT_EQ(table(u"T").rows.size(), 2u);
    EXPECT_EQ(conv.dest->relationship_calls, 0);
    EXPECT_EQ(conv.mysql().engine().table_type(), sql_engine::myisam);

    conv.set_skip_idx(false);
    conv.dest = std::make_shared<dest_state>();
    conv.run();
    EXPECT_EQ(conv.mysql().engine().table_type(), sql_engine::innodb);
    EXPECT_EQ(table(u"T").indexes.size(), 1u);
}

TEST_F(driver, an_unsafe_table_name_is_written_under_a_safe_one_and_the_mapping_is_kept) {
    fill(conv.source.add(u"A.B"), 1);
    fill(conv.source.add(u"OK"), 1);
    conv.run();
    EXPECT_EQ(conv.dest->tables.count(u"A.B"), 0u);
    ASSERT_EQ(conv.dest->tables.count(u"A_B"), 1u);
    EXPECT_EQ(table(u"A_B").rows.size(), 1u);
    EXPECT_EQ(conv.dest->tables.count(u"OK"), 1u);
}

TEST_F(driver, a_table_without_columns_is_skipped_silently) {
    conv.source.add(u"EMPTY");
    fill(conv.source.add(u"T"), 1);
    conv.run();
    EXPECT_TRUE(front_end.reports.empty());
    EXPECT_EQ(conv.dest->tables.count(u"EMPTY"), 0u);
    EXPECT_EQ(conv.dest->tables.count(u"T"), 1u);
}

// Row failures: what is reported, and which rows arrive.
struct row_case {
    const char* name;
    std::function<void()> raise;
    bool at_read;  // raised by the source's get_item, else by the destination's append
    std::vector<std::u16string> ids;  // the IDs that arrive (rows 1 to 4, failure at row 2)
    const char* message;                // the one report expected
};

class row_failures : public driver, public testing::WithParamInterface<row_case> {};

TEST_P(row_failures, are_reported_under_the_record_number_and_the_scope_goes_on_as_it_may) {
    const row_case& c = GetParam();
    mem_table_data& t = conv.source.add(u"T");
    fill(t, 4);
    if (c.at_read) {
        t.read_failures.push_back({2, c.raise});
    } else {
        conv.dest->append_failures[u"T"].push_back({2, c.raise});
    }
    fill(conv.source.add(u"U"), 1);
    conv.run();
    std::vector<std::u16string> ids;
    for (const auto& row : table(u"T").rows) ids.push_back(row[0]);
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(table(u"U").rows.size(), 1u) << "the next table is converted";
    EXPECT_EQ(conv.dest->relationship_calls, 1);
}

INSTANTIATE_TEST_SUITE_P(
    all, row_failures,
    testing::Values(
        row_case{"server_error",
                 [] { throw sql_exception("Data too long for column 'NAME' at row 1", 1406); },
                 false, {u"1", u"3", u"4"},
                 "T, record #2: Data too long for column 'NAME' at row 1"},
        row_case{"known_server_error_gets_its_advice",
                 [] { throw sql_exception("Access denied", 1044); }, false,
                 {u"1", u"3", u"4"},
                 "T, record #2: Access denied. Ask your system administrator to grant you the "
                 "necessary privileges to write into the database."},
        row_case{"value_that_does_not_convert",
                 [] { throw tk_exception("The operating type is not supported yet", 1); }, false,
                 {u"1", u"3", u"4"}, "T, record #2: The operating type is not supported yet"},
        row_case{"record_that_does_not_fit_ends_the_table",
                 [] { throw tk_exception("The structure of data source does not conform", 0); },
                 false, {u"1"}, "T, record #2: The structure of data source does not conform"},
        row_case{"damaged_row_ends_the_table",
                 [] { throw tk_exception("Can't read record. EOF reached", 0); }, true, {u"1"},
                 "T, record #2: Can't read record. EOF reached"},
        row_case{"internal_error_skips_the_row",
                 [] { throw tk_mail_assertion("unit", 7); }, true, {u"1", u"3", u"4"},
                 "T, record #2: Internal error:  code=756e69745c37"}),
    [](const testing::TestParamInfo<row_case>& i) { return std::string(i.param.name); });

TEST_F(driver, a_duplicate_key_is_repaired_and_the_same_row_appended_again) {
    mem_table_data& t = conv.source.add(u"T");
    fill(t, 3);
    t.columns[0].auto_increment = true;
    conv.dest->append_failures[u"T"].push_back(
        {2, [] { throw sql_exception("Duplicate entry '2' for key 'PRIMARY'", 1062); }});
    conv.run();
    EXPECT_EQ(table(u"T").rows.size(), 3u);
    EXPECT_TRUE(front_end.reports.empty());
    ASSERT_FALSE(conv.dest->statements.empty());
    EXPECT_NE(conv.dest->statements[0].find(u"MODIFY `ID` INT NOT NULL"), std::u16string::npos);
    EXPECT_EQ(conv.rows_done(), 3);
}

TEST_F(driver, a_third_duplicate_key_failure_of_a_row_is_reported_and_the_row_left_out) {
    fill(conv.source.add(u"T"), 3);
    conv.dest->append_failures[u"T"].push_back(
        {2, [] { throw sql_exception("Duplicate entry", 1062); }});
    conv.dest->append_failures[u"T"].push_back(
        {3, [] { throw sql_exception("Duplicate entry", 1062); }});
    conv.dest->append_failures[u"T"].push_back(
        {4, [] { throw sql_exception("Duplicate entry", 1062); }});
    conv.run();
    // Row 2 is tried three times (calls 2, 3 and 4), then reported; row 3 arrives.
    std::vector<std::u16string> ids;
    for (const auto& row : table(u"T").rows) ids.push_back(row[0]);
    EXPECT_EQ(ids, (std::vector<std::u16string>{u"1", u"3"}));
    ASSERT_EQ(front_end.reports.size(), 1u);
    EXPECT_EQ(front_end.reports[0].message.rfind("T, record #2: Duplicate field values", 0), 0u);
}

TEST_F(driver, a_failed_table_is_reported_under_its_name_and_the_next_table_follows) {
    fill(conv.source.add(u"A"), 1);
    fill(conv.source.add(u"B"), 1);
    conv.source.open_failures[u"A"] = [] {
        throw tk_exception("User-defined types are not supported", 0);
    };
    conv.dest->create_failures[u"B"] = [] { throw sql_exception("Table is full", 1114); };
    fill(conv.source.add(u"C"), 2);
    conv.run();
    EXPECT_EQ(messages(), (std::vector<std::string>{"A: User-defined types are not supported",
                                                    "B: Table is full"}));
    EXPECT_EQ(table(u"C").rows.size(), 2u);
    EXPECT_TRUE(handler.context().empty()) << "the run clears the context at its end";
    EXPECT_EQ(conv.dest->relationship_calls, 1);
}

TEST_F(driver, a_failure_of_the_whole_run_ends_it_without_foreign_keys_and_raises_done) {
    fill(conv.source.add(u"A"), 1);
    conv.fail_dest = true;
    conv.set_silent(false);
    testing::internal::CaptureStderr();
    conv.run();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "the destination cannot be opened\n");
    EXPECT_TRUE(conv.done());
    EXPECT_TRUE(conv.run_failed());
    EXPECT_TRUE(conv.dest->tables.empty());
    EXPECT_EQ(conv.dest->relationship_calls, 0);

    // A toolkit error is handed to the error handler instead.
    conv.fail_dest = false;
    conv.dest->create_failures[u"A"] = [] { throw tk_final_exception(); };
    conv.run();
    EXPECT_EQ(conv.dest->relationship_calls, 0) << "a stop ends the run before the foreign keys";
    EXPECT_TRUE(conv.done());
    EXPECT_FALSE(conv.run_failed()) << "a stop the user asked for is no failure";
}

TEST_F(driver, the_prepare_step_runs_after_the_source_and_before_the_destination) {
    fill(conv.source.add(u"A"), 1);
    std::vector<std::string> order;
    conv.set_prepare_destination([&] {
        order.push_back("prepare");
        EXPECT_TRUE(conv.dest->tables.empty());
    });
    conv.run();
    EXPECT_EQ(order, std::vector<std::string>{"prepare"});
    EXPECT_EQ(conv.dest->tables.size(), 1u);
    EXPECT_FALSE(conv.run_failed());

    // A failing preparation ends the run before anything is written.
    conv.dest = std::make_shared<dest_state>();
    conv.set_prepare_destination([] { throw tk_exception("cannot delete", 1); });
    conv.run();
    EXPECT_TRUE(conv.dest->tables.empty());
    EXPECT_EQ(messages().back(), "cannot delete");
    EXPECT_TRUE(conv.run_failed());
}

// A front end that always asks to stop, as the wizard's "Abort" does.
class aborting_front_end : public error_front_end {
public:
    void internal_error(const std::string&) override {}
    void report(error_handler&, int32_t, const std::string&, bool) override {
        throw tk_final_exception();
    }
};

TEST(error_handler_final, a_final_report_never_lets_a_stop_through) {
    aborting_front_end abort;
    error_handler handler(k_mysql_error_text_count, k_mysql_error_texts, abort);
    const tk_exception error("late", 0);
    EXPECT_NO_THROW(handler.handle(error, true));
    EXPECT_THROW(handler.handle(error, false), tk_final_exception);
}

// A source that lets the test hold the conversion between rows.
class slow_thread : public tk_thread {
public:
    explicit slow_thread(velt2sql_convertor& c) : m_converter(c) {}
    ~slow_thread() override { stop_if_running(); }

protected:
    tk_thread_functor* create_functor() override { return &m_converter; }

private:
    velt2sql_convertor& m_converter;
};

TEST_F(driver, a_stop_request_ends_the_run_between_rows_and_raises_done) {
    mem_table_data& t = conv.source.add(u"T");
    fill(t, 400);
    std::atomic<int> reads{0};
    for (int r = 1; r <= 400; ++r) {
        t.read_failures.push_back({r, [&reads] {
                                       ++reads;
                                       std::this_thread::sleep_for(std::chrono::milliseconds(2));
                                   }});
    }
    fill(conv.source.add(u"U"), 1);
    slow_thread worker(conv);
    worker.start();
    while (conv.rows_done() < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(conv.table_count(), 2);
    EXPECT_EQ(conv.current_table(), u"T");
    worker.stop();
    EXPECT_TRUE(conv.done());
    EXPECT_LT(reads.load(), 400);
    EXPECT_EQ(conv.dest->tables.count(u"U"), 0u);
    EXPECT_EQ(conv.dest->relationship_calls, 0);
}

}  // namespace
