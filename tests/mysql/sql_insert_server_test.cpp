// Row insertion on the private MariaDB server: batching around the 300,000-character threshold,
// records of other shapes, text and binary values arriving whole, refused batches kept row by
// row, and statements held below the server's max_allowed_packet.
#include <gtest/gtest.h>

#include "sql_exception.h"
#include "sql_recordset.h"
#include "sql_test_server.h"
#include "udb_column.h"

using namespace sql_test;

namespace {

class insert_test : public server_test {
protected:
    void add(int32_t size, std::u16string name, VARTYPE type, bool not_null = false,
             const ole_variant& def = ole_variant()) {
        schema.add(
            std::make_unique<udb_column>(size, std::move(name), type, not_null, false, def, 0));
    }
    std::unique_ptr<sql_recordset> create(const std::u16string& name) {
        auto rs = db->create_table(name, schema, indexes);
        auto* typed = dynamic_cast<sql_recordset*>(rs.release());
        EXPECT_NE(typed, nullptr);
        return std::unique_ptr<sql_recordset>(typed);
    }
    udb_schema schema{true};
    udb_indexes indexes;
};

TEST_F(insert_test, rows_collect_in_one_statement_sent_when_the_cursor_is_released) {
    add(4, u"N", VT_I4);
    add(10, u"S", VT_BSTR);
    {
        auto rs = create(u"T");
        rs->append_record(*make_record({{u"N", ole_variant(1)}, {u"S", ole_variant(u"a")}}));
        rs->append_record(*make_record({{u"N", ole_variant(2)}, {u"S", ole_variant(u"b")}}));
        rs->append_record(*make_record({{u"N", ole_variant(3)}, {u"S", ole_variant(u"c")}}));
        EXPECT_EQ(rs->batch_text(), "INSERT INTO `T` VALUES(1, 'a'), (2, 'b'), (3, 'c')");
        EXPECT_EQ(rs->batch_rows(), 3u);
        EXPECT_EQ(check->count("T"), 0);
    }
    EXPECT_EQ(check->query("SELECT N, S FROM T ORDER BY N"),
              (rows{{cell("1"), cell("a")}, {cell("2"), cell("b")}, {cell("3"), cell("c")}}));
}

TEST_F(insert_test, a_batch_is_sent_when_it_passes_300000_characters_and_not_before) {
    add(0, u"S", VT_BSTR);
    auto rs = create(u"T");
    // One row adds ", ('" + text + "')" to the statement; the row alone is "('" + text + "')".
    // A row is sent with the statement when statement (row included) + row > 300,000.
    auto append = [&](size_t n) {
        rs->append_record(*make_record({{u"S", ole_variant(std::u16string(n, u'x'))}}));
    };
    append(1000);
    while (rs->batch_chars() < 290000) {
        append(1000);
        ASSERT_GT(rs->batch_rows(), 0u) << "sent too early at " << rs->batch_chars();
    }
    // Make the last row land exactly on the threshold: statement + row == 300,000.
    if ((300000 - rs->batch_chars() - 10) % 2 != 0)
        append(999);
    const size_t n = (300000 - rs->batch_chars() - 10) / 2;
    append(n);
    EXPECT_EQ(rs->batch_chars() + n + 4, 300000u);
    const size_t kept = rs->batch_rows();
    EXPECT_GT(kept, 0u) << "a batch that reaches the threshold is not sent yet";
    EXPECT_EQ(check->count("T"), 0);
    append(n);  // one more row of that length crosses: it goes with the statement
    EXPECT_EQ(rs->batch_rows(), 0u);
    EXPECT_EQ(check->count("T"), static_cast<long long>(kept + 1));
    append(5);  // the next row starts a new statement
    EXPECT_EQ(rs->batch_text().rfind("INSERT INTO `T` VALUES(", 0), 0u);
    rs->clean();
    EXPECT_EQ(check->count("T"), static_cast<long long>(kept + 2));
}

TEST_F(insert_test, the_threshold_counts_utf16_characters_not_bytes) {
    add(0, u"S", VT_BSTR);
    auto rs = create(u"T");
    rs->append_record(*make_record({{u"S", ole_variant(u"x")}}));
    const size_t before = rs->batch_chars();
    rs->append_record(*make_record({{u"S", ole_variant(u"ä\U0001F600")}}));
    EXPECT_EQ(rs->batch_chars() - before, 3u + 3u + 3u);  // ", ('" ä + surrogate pair "')"
}

TEST_F(insert_test, records_with_more_fields_name_the_columns_and_match_them_by_name) {
    add(4, u"A", VT_I4);
    add(4, u"B", VT_I4);
    auto rs = create(u"T");
    rs->append_record(
        *make_record({{u"A", ole_variant(1)}, {u"B", ole_variant(2)}, {u"C", ole_variant(3)}}));
    EXPECT_EQ(rs->batch_text(), "INSERT INTO `T`(`A`, `B`) VALUES( 1, 2)");
    // Out of order: each value goes to the column of its name.
    rs->append_record(
        *make_record({{u"B", ole_variant(20)}, {u"X", ole_variant(99)}, {u"A", ole_variant(10)}}));
    rs->clean();
    EXPECT_EQ(check->query("SELECT A, B FROM T ORDER BY A"),
              (rows{{cell("1"), cell("2")}, {cell("10"), cell("20")}}));
}

TEST_F(insert_test, records_with_fewer_fields_leave_the_other_columns_to_their_defaults) {
    add(4, u"A", VT_I4, false, ole_variant(u"7"));
    add(10, u"B", VT_BSTR);
    auto rs = create(u"T");
    rs->append_record(*make_record({{u"A", ole_variant(1)}, {u"B", ole_variant(u"full")}}));
    rs->append_record(*make_record({{u"b", ole_variant(u"only b")}}));
    rs->append_record(*make_record({{u"A", ole_variant(2)}, {u"B", ole_variant(u"again")}}));
    rs->clean();
    EXPECT_EQ(
        check->query("SELECT A, B FROM T ORDER BY B"),
        (rows{{cell("2"), cell("again")}, {cell("1"), cell("full")}, {cell("7"), cell("only b")}}));
}

TEST_F(insert_test, a_field_the_table_does_not_have_is_a_structure_error) {
    add(4, u"A", VT_I4);
    add(4, u"B", VT_I4);
    auto rs = create(u"T");
    rs->append_record(*make_record({{u"A", ole_variant(1)}, {u"B", ole_variant(2)}}));
    try {
        rs->append_record(*make_record({{u"Z", ole_variant(1)}}));
        FAIL() << "a foreign field was accepted";
    } catch (const sql_exception&) {
        FAIL() << "not a server error";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.text().rfind("The structure of data source does not conform", 0), 0u);
    }
    EXPECT_EQ(rs->batch_rows(), 1u);  // the statement is as it was
    rs->clean();
    EXPECT_EQ(check->count("T"), 1);
}

TEST_F(insert_test, nul_characters_and_4_byte_characters_arrive_whole) {
    add(0, u"S", VT_BSTR);
    auto rs = create(u"T");
    const std::u16string text(u"a\0b'c\\d\0\U0001F600 end", 15);
    rs->append_record(*make_record({{u"S", ole_variant(std::u16string_view(text))}}));
    rs->append_record(*make_record({{u"S", ole_variant(u"after")}}));
    rs->clean();
    const rows back = check->query("SELECT S, CHAR_LENGTH(S) FROM T ORDER BY S DESC");
    ASSERT_EQ(back.size(), 2u);
    std::string expected;
    tk_append_utf8(expected, text);
    EXPECT_EQ(*back[1][0], expected);
    EXPECT_EQ(*back[1][1], "14");  // the emoji is one character
    EXPECT_EQ(*back[0][0], "after");
}

TEST_F(insert_test, binary_values_larger_than_their_printed_form_arrive_whole) {
    add(0, u"B", VT_BLOB);
    auto rs = create(u"T");
    std::vector<uint8_t> bytes(1000003);
    uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    rs->append_record(*make_record({{u"B", ole_variant(bytes)}}));
    rs->clean();
    const rows back = check->query("SELECT B FROM T");
    ASSERT_EQ(back.size(), 1u);
    ASSERT_EQ(back[0][0]->size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(),
                           reinterpret_cast<const uint8_t*>(back[0][0]->data())));
}

class refused_batch_test : public insert_test {
protected:
    // A table whose VARCHAR(5) refuses longer text (strict mode: "Data too long").
    std::unique_ptr<sql_recordset> make() {
        add(4, u"N", VT_I4);
        add(5, u"S", VT_BSTR);
        add(0, u"PAD", VT_BSTR);
        return create(u"T");
    }
    static std::unique_ptr<udb_record> row(int n, const std::u16string& s, size_t pad = 0) {
        return make_record({{u"N", ole_variant(n)},
                            {u"S", ole_variant(s)},
                            {u"PAD", ole_variant(std::u16string(pad, u'p'))}});
    }
};

TEST_F(refused_batch_test, a_refused_final_batch_keeps_every_good_row) {
    auto rs = make();
    for (int i = 1; i <= 10; ++i) {
        rs->set_record_number(100 + i);
        rs->append_record(*row(i, i == 4 || i == 8 ? u"far too long" : u"ok"));
    }
    EXPECT_THROW(rs->clean(), sql_exception);
    EXPECT_TRUE(rs->has_rejected_batch());
    EXPECT_EQ(rs->send_rejected_rows(), 2);
    EXPECT_FALSE(rs->has_rejected_batch());
    EXPECT_EQ(check->count("T"), 8);
    ASSERT_EQ(front_end.reports.size(), 2u);
    EXPECT_EQ(front_end.reports[0].level, 0);
    EXPECT_EQ(front_end.reports[0].message.rfind("T, record #104: ", 0), 0u)
        << front_end.reports[0].message;
    EXPECT_EQ(front_end.reports[1].message.rfind("T, record #108: ", 0), 0u);
}

TEST_F(refused_batch_test, a_batch_refused_at_the_threshold_does_not_take_the_table_with_it) {
    auto rs = make();
    int refused = 0;
    for (int i = 1; i <= 1000; ++i) {
        rs->set_record_number(i);
        try {
            rs->append_record(*row(i, i == 50 ? u"far too long" : u"ok", 1000));
        } catch (const sql_exception&) {
            ASSERT_TRUE(rs->has_rejected_batch());
            refused += rs->send_rejected_rows();
        }
    }
    rs->clean();
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(check->count("T"), 999);
    EXPECT_EQ(check->scalar("SELECT COUNT(*) FROM T WHERE N = 50"), "0");
    EXPECT_EQ(check->scalar("SELECT COUNT(DISTINCT N) FROM T"), "999");
    ASSERT_EQ(front_end.reports.size(), 1u);
    EXPECT_EQ(front_end.reports[0].message.rfind("T, record #50: ", 0), 0u);
}

TEST_F(refused_batch_test, the_cursor_release_reports_refused_rows_and_keeps_the_rest) {
    {
        auto rs = make();
        for (int i = 1; i <= 5; ++i) rs->append_record(*row(i, i == 3 ? u"far too long" : u"ok"));
    }
    EXPECT_EQ(check->count("T"), 4);
    ASSERT_EQ(front_end.reports.size(), 1u);
    EXPECT_EQ(front_end.reports[0].message.rfind("T, record #3: ", 0), 0u);
}

TEST_F(insert_test, statements_stay_below_the_servers_max_allowed_packet) {
    add(4, u"N", VT_I4);
    add(0, u"S", VT_BSTR);
    auto rs = create(u"T");
    engine->set_max_allowed_packet(64 * 1024);
    const std::u16string text(1000, u'y');
    for (int i = 1; i <= 200; ++i) {
        rs->append_record(*make_record({{u"N", ole_variant(i)}, {u"S", ole_variant(text)}}));
        ASSERT_LE(rs->batch_text().size(), 64u * 1024u - 1024u);
    }
    EXPECT_GT(check->count("T"), 0);
    // A row larger than the server takes alone: refused before sending, the rest kept.
    rs->set_record_number(201);
    try {
        rs->append_record(*make_record(
            {{u"N", ole_variant(201)}, {u"S", ole_variant(std::u16string(70000, u'z'))}}));
        FAIL() << "an oversized row was accepted";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), mysql_error_flag | 1153);
        EXPECT_EQ(e.level(), 0);
    }
    EXPECT_FALSE(rs->has_rejected_batch());
    rs->append_record(*make_record({{u"N", ole_variant(202)}, {u"S", ole_variant(u"small")}}));
    rs->clean();
    EXPECT_EQ(check->count("T"), 201);
    EXPECT_EQ(check->scalar("SELECT COUNT(*) FROM T WHERE N = 201"), "0");
}

}  // namespace
