#include "udb_database.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tk_exception.h"

namespace {

// A destination cursor that keeps the rows given to it as text, after converting them to its
// schema as the real destinations do.
class test_recordset : public udb_recordset {
public:
    explicit test_recordset(std::u16string name) : udb_recordset(std::move(name), true) {}
    void append_record(udb_record& record) override {
        convert_record(record);
        std::vector<std::u16string> row;
        for (const auto& field : record.fields()) {
            row.push_back(field->to_wstring());
        }
        rows.push_back(std::move(row));
    }
    std::vector<std::vector<std::u16string>> rows;
};

// A database holding a list of table names and nothing else.
class test_database : public udb_database {
public:
    explicit test_database(std::vector<std::u16string> tables) : udb_database(u"test", 0) {
        set_table_names(std::move(tables));
    }
    std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema&,
                                                const udb_indexes&) override {
        add_table_name(name);
        return std::make_unique<test_recordset>(name);
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int32_t) override {
        return std::make_unique<test_recordset>(name);
    }
    std::unique_ptr<udb_recordset> get_query(const std::u16string&, const std::u16string&,
                                             int32_t) override {
        return nullptr;
    }
    bool query(const std::u16string&) override { return true; }
};

std::unique_ptr<udb_column> column(const std::u16string& name, VARTYPE vt = VT_I4,
                                   int32_t size = 0) {
    return std::make_unique<udb_column>(size, name, vt, false, false);
}

std::unique_ptr<udb_field> field(const std::u16string& name, const ole_variant& value) {
    return std::make_unique<udb_field>(name, 0, value);
}

udb_index index(const std::u16string& name, std::vector<std::u16string> fields,
                bool b_primary = false) {
    udb_index i;
    i.name = name;
    i.b_primary = b_primary;
    i.b_unique = b_primary;
    i.fields = std::move(fields);
    return i;
}

}  // namespace

TEST(udb_database, table_lookup_ignores_case) {
    test_database db({u"EMP", u"DEPT"});
    EXPECT_TRUE(db.is_table_exist(u"emp"));
    EXPECT_TRUE(db.is_table_exist(u"Dept"));
    EXPECT_FALSE(db.is_table_exist(u"EMP2"));
}

TEST(udb_database, delete_tab_removes_the_first_match_and_keeps_the_order) {
    test_database db({u"A", u"EMP", u"B", u"emp"});
    EXPECT_TRUE(db.delete_tab(u"Emp"));
    EXPECT_EQ(db.table_names(), (std::vector<std::u16string>{u"A", u"B", u"emp"}));
}

TEST(udb_database, delete_tab_of_the_only_table_leaves_an_empty_list) {
    test_database db({u"EMP"});
    EXPECT_TRUE(db.delete_tab(u"emp"));
    EXPECT_TRUE(db.table_names().empty());
    EXPECT_FALSE(db.is_table_exist(u"EMP"));
}

TEST(udb_database, delete_tab_of_an_unknown_table_is_an_assertion) {
    test_database db({u"EMP"});
    EXPECT_THROW(db.delete_tab(u"DEPT"), tk_mail_assertion);
    EXPECT_EQ(db.table_names().size(), 1u);
}

TEST(udb_database, created_table_is_then_known) {
    test_database db({});
    udb_schema schema;
    auto table = db.create_table(u"NEW", schema, udb_indexes());
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(db.is_table_exist(u"new"));
}

TEST(udb_database, cursor_query_is_unsupported_by_default) {
    test_database db({});
    EXPECT_THROW(db.query_records(u"SELECT 1"), tk_mail_assertion);
}

TEST(udb_database, recordset_defaults) {
    test_recordset table(u"T");
    EXPECT_TRUE(table.is_eof());
    EXPECT_EQ(table.get_item(), nullptr);
    EXPECT_FALSE(table.is_query());
    EXPECT_EQ(table.record_count(), 0);
}

TEST(udb_schema, lookups_ignore_case) {
    udb_schema schema;
    schema.add(column(u"Id", VT_I4, 4));
    schema.add(std::make_unique<udb_column>(30, u"NAME", VT_BSTR, true, true));
    EXPECT_TRUE(schema.find_field(u"name"));
    EXPECT_FALSE(schema.find_field(u"nam"));
    EXPECT_EQ(&schema.get_field(u"ID"), &schema[0]);
    EXPECT_EQ(schema.get_field_size(u"name"), 30);
    EXPECT_EQ(schema.get_field_type(u"name"), VT_BSTR);
    EXPECT_TRUE(schema.is_field_auto(u"Name"));
    EXPECT_FALSE(schema.is_field_auto(u"id"));
}

TEST(udb_schema, missing_column_is_an_assertion) {
    udb_schema schema;
    schema.add(column(u"ID"));
    EXPECT_THROW(schema.get_field(u"X"), tk_mail_assertion);
    EXPECT_THROW(schema.get_field_size(u"X"), tk_mail_assertion);
    EXPECT_THROW(schema.get_field_type(u"X"), tk_mail_assertion);
    EXPECT_THROW(schema.is_field_auto(u"X"), tk_mail_assertion);
    EXPECT_EQ(schema.find_column(u"X"), nullptr);
}

TEST(udb_schema, position_past_the_end_is_out_of_range) {
    udb_schema schema;
    schema.add(column(u"ID"));
    EXPECT_EQ(schema.at(0).name(), u"ID");
    EXPECT_THROW(schema.at(1), std::out_of_range);
}

TEST(udb_schema, borrowing_schema_leaves_the_columns_alone) {
    udb_column id(0, u"ID", VT_I4, false, false);
    {
        udb_schema borrowed(false);
        borrowed.add_borrowed(id);
        EXPECT_EQ(&borrowed[0], &id);
        EXPECT_THROW(borrowed.add(column(u"X")), tk_mail_assertion);
    }
    EXPECT_EQ(id.name(), u"ID");
    udb_schema owner;
    EXPECT_THROW(owner.add_borrowed(id), tk_mail_assertion);
}

TEST(udb_schema, moved_schema_keeps_its_columns) {
    udb_schema a;
    a.add(column(u"ID"));
    udb_schema b(std::move(a));
    EXPECT_EQ(b.size(), 1u);
    udb_schema c;
    c.add(column(u"OLD"));
    c = std::move(b);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].name(), u"ID");
}

TEST(udb_column, copy_keeps_every_field) {
    udb_column a(12, u"PRICE", VT_DECIMAL, true, false, ole_variant(7),
                 udb_column::decimal_flags(10, 2));
    const udb_column b(a);
    EXPECT_EQ(b.size(), 12);
    EXPECT_EQ(b.name(), u"PRICE");
    EXPECT_EQ(b.vartype(), VT_DECIMAL);
    EXPECT_TRUE(b.b_not_null());
    EXPECT_FALSE(b.b_auto());
    EXPECT_EQ(b.default_value().vartype(), VT_I4);
    EXPECT_EQ(b.default_value().i4(), 7);
    EXPECT_EQ(b.decimal_precision(), 10);
    EXPECT_EQ(b.decimal_scale(), 2);
}

TEST(udb_record, field_lookup_ignores_case) {
    udb_record record;
    record.add(field(u"Id", ole_variant(1)));
    record.add(field(u"NAME", ole_variant(u"x")));
    EXPECT_TRUE(record.find_field(u"id"));
    EXPECT_FALSE(record.find_field(u"x"));
    EXPECT_EQ(record.get_field(u"name"), &record[1]);
    EXPECT_EQ(record.get_field(u"other"), nullptr);
    EXPECT_THROW(record.at(2), std::out_of_range);
}

TEST(udb_field, carries_name_size_and_value) {
    udb_field f(u"NAME", 30, ole_variant(u"abc"));
    EXPECT_EQ(f.name(), u"NAME");
    EXPECT_EQ(f.size(), 30);
    EXPECT_EQ(f.get_type(), VT_BSTR);
    f.set_value(ole_variant(5));
    EXPECT_EQ(f.get_type(), VT_I4);
    EXPECT_EQ(f.name(), u"NAME");
    EXPECT_EQ(udb_field().get_type(), VT_EMPTY);
}

TEST(udb_recordset, add_column_renames_duplicates_by_the_suffix_cycle) {
    test_recordset table(u"T");
    for (int i = 0; i < 7; ++i) {
        table.add_column(column(u"ID"));
    }
    std::vector<std::u16string> names;
    for (const udb_column* c : table.schema().columns()) {
        names.push_back(c->name());
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"ID", u"ID_", u"ID_1", u"ID_1_", u"ID_1_2",
                                                  u"ID_1_2_", u"ID_1_2_3"}));
}

TEST(udb_recordset, add_column_sees_a_name_in_other_case_as_taken) {
    test_recordset table(u"T");
    table.add_column(column(u"ID"));
    table.add_column(column(u"id"));
    EXPECT_EQ(table.schema()[1].name(), u"id_");
}

TEST(udb_recordset, add_column_keeps_a_free_name) {
    test_recordset table(u"T");
    table.add_column(column(u"A"));
    table.add_column(column(u"B"));
    EXPECT_EQ(table.schema()[1].name(), u"B");
}

TEST(udb_recordset, convert_record_converts_by_position_not_by_name) {
    test_recordset table(u"T");
    table.add_column(column(u"N", VT_I4));
    table.add_column(column(u"D", VT_DATE));
    udb_record record;
    // Names that match the other column: only positions count.
    record.add(field(u"D", ole_variant(u"42")));
    record.add(field(u"N", ole_variant(u"2004-05-06 07:08:09")));
    table.convert_record(record);
    EXPECT_EQ(record[0].get_type(), VT_I4);
    EXPECT_EQ(record[0].i4(), 42);
    ASSERT_EQ(record[1].get_type(), VT_DATE);
    EXPECT_EQ(record[1].systemtime().year, 2004);
    EXPECT_EQ(record[1].systemtime().second, 9);
    EXPECT_EQ(record[1].name(), u"N");
}

TEST(udb_recordset, convert_record_leaves_nulls_and_extra_columns_alone) {
    test_recordset table(u"T");
    table.add_column(column(u"A", VT_I4));
    table.add_column(column(u"B", VT_BSTR));
    udb_record record;
    record.add(field(u"A", ole_variant()));
    table.convert_record(record);
    EXPECT_EQ(record[0].get_type(), VT_EMPTY);
}

TEST(udb_recordset, convert_record_with_more_fields_than_columns_is_an_assertion) {
    test_recordset table(u"T");
    table.add_column(column(u"A", VT_I4));
    udb_record record;
    record.add(field(u"A", ole_variant(u"1")));
    record.add(field(u"B", ole_variant(u"2")));
    EXPECT_THROW(table.convert_record(record), tk_mail_assertion);
}

TEST(udb_recordset, unconvertible_value_raises_the_type_error) {
    test_recordset table(u"T");
    table.add_column(column(u"A", VT_I4));
    udb_record record;
    record.add(field(u"A", ole_variant(u"not a number")));
    EXPECT_THROW(table.convert_record(record), ole_type_exception);
}

TEST(udb_recordset, appended_rows_arrive_converted) {
    test_database db({});
    udb_schema schema;
    auto table = db.create_table(u"T", schema, udb_indexes());
    table->add_column(column(u"A", VT_I8));
    udb_record record;
    record.add(field(u"A", ole_variant(123)));
    table->append_record(record);
    auto& rows = static_cast<test_recordset&>(*table).rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], u"123");
    EXPECT_EQ(record[0].get_type(), VT_I8);
}

struct starts_case {
    std::vector<std::u16string> list;
    bool expected;
};

class udb_index_starts : public testing::TestWithParam<starts_case> {};

TEST_P(udb_index_starts, starts_with_fields) {
    const udb_index i = index(u"IX", {u"A", u"B", u"C"});
    EXPECT_EQ(i.starts_with_fields(GetParam().list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(cases, udb_index_starts,
                         testing::Values(starts_case{{}, true}, starts_case{{u"A"}, true},
                                         starts_case{{u"a", u"b"}, true},
                                         starts_case{{u"A", u"B", u"C"}, true},
                                         starts_case{{u"B"}, false},
                                         starts_case{{u"A", u"C"}, false},
                                         starts_case{{u"A", u"B", u"C", u"D"}, false}));

TEST(udb_indexes, index_names_ignore_case) {
    udb_indexes indexes;
    indexes.add(index(u"PK_EMP", {u"ID"}, true));
    EXPECT_FALSE(indexes.is_acceptable_name(u"pk_emp"));
    EXPECT_TRUE(indexes.is_acceptable_name(u"PK_EMP2"));
    EXPECT_EQ(&indexes.get_index(u"Pk_Emp"), &indexes[0]);
    EXPECT_THROW(indexes.get_index(u"IX"), tk_mail_assertion);
}

TEST(udb_indexes, index_columns_compare_exactly) {
    udb_indexes indexes;
    indexes.add(index(u"PK_EMP", {u"ID"}, true));
    indexes.add(index(u"IX_NAME", {u"NAME", u"DEPT"}));
    EXPECT_TRUE(indexes.is_idx_field(u"ID", false));
    EXPECT_FALSE(indexes.is_idx_field(u"id", false));
    EXPECT_TRUE(indexes.is_idx_field(u"DEPT", false));
    EXPECT_FALSE(indexes.is_idx_field(u"DEPT", true));  // not in the primary key
    EXPECT_TRUE(indexes.is_idx_field(u"ID", true));
}

TEST(udb_indexes, has_index_on_fields) {
    udb_indexes indexes;
    indexes.add(index(u"IX_NAME", {u"NAME", u"DEPT"}));
    EXPECT_TRUE(indexes.has_index_on_fields({u"name"}));
    EXPECT_FALSE(indexes.has_index_on_fields({u"DEPT"}));
    EXPECT_FALSE(udb_indexes().has_index_on_fields({}));
    EXPECT_THROW(indexes.at(1), std::out_of_range);
}
