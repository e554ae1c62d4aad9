// Tables on the private MariaDB server: CREATE TABLE from the type map and read back, index
// clauses within the limits, foreign keys with their child indexes, and the duplicate-key
// recovery on real duplicate-key errors.
#include <gtest/gtest.h>

#include <map>

#include "mysql_resolve_duplicates.h"
#include "sql_exception.h"
#include "sql_recordset.h"
#include "sql_test_server.h"
#include "udb_column.h"
#include "udb_relationship.h"

using namespace sql_test;

namespace {

class table_test : public server_test {
protected:
    void add(int32_t size, std::u16string name, VARTYPE type, bool not_null = false,
             bool b_auto = false, const ole_variant& def = ole_variant(), int32_t flags = 0) {
        schema.add(std::make_unique<udb_column>(size, std::move(name), type, not_null, b_auto, def,
                                                flags));
    }
    static udb_index index(std::u16string name, std::vector<std::u16string> fields,
                           bool unique = false, bool primary = false) {
        udb_index i;
        i.name = std::move(name);
        i.fields = std::move(fields);
        i.b_unique = unique;
        i.b_primary = primary;
        return i;
    }
    std::unique_ptr<sql_recordset> create(const std::u16string& name) {
        auto rs = db->create_table(name, schema, indexes);
        auto* typed = dynamic_cast<sql_recordset*>(rs.get());
        EXPECT_NE(typed, nullptr);
        rs.release();
        return std::unique_ptr<sql_recordset>(typed);
    }
    // Index name -> its columns in order, as the server has them.
    std::map<std::string, std::vector<std::string>> server_indexes(const std::string& table) {
        std::map<std::string, std::vector<std::string>> out;
        for (const auto& row : check->query("SHOW INDEX FROM `" + table + "`")) {
            out[*row[2]].push_back(*row[4]);
        }
        return out;
    }

    udb_schema schema{true};
    udb_indexes indexes;
};

struct type_row {
    VARTYPE type;
    int32_t size;
    int32_t flags;
    const char* data_type;  // information_schema DATA_TYPE
    VARTYPE back;           // read-back value type
    int32_t back_flags;
};

TEST_F(table_test, every_row_of_the_type_map_makes_a_column_that_reads_back) {
    const type_row rows[] = {
        {VT_I1, 0, 0, "tinyint", VT_I1, 0},
        {VT_UI1, 0, 0, "tinyint", VT_UI1, 0},
        {VT_BOOL, 0, 0, "tinyint", VT_I1, 0},
        {VT_I2, 0, 0, "smallint", VT_I2, 0},
        {VT_UI2, 0, 0, "smallint", VT_UI2, 0},
        {VT_I4, 0, 0, "int", VT_I4, 0},
        {VT_INT, 0, 0, "int", VT_I4, 0},
        {VT_UI4, 0, 0, "int", VT_UI4, 0},
        {VT_UINT, 0, 0, "int", VT_UI4, 0},
        {VT_I8, 0, 0, "bigint", VT_I8, udb_column::i8_signed},
        {VT_UI8, 0, 0, "bigint", VT_UI8, udb_column::i8_unsigned},
        {VT_R4, 0, 0, "float", VT_R4, 0},
        {VT_R8, 0, 0, "double", VT_R8, 0},
        {VT_CY, 0, 0, "decimal", VT_DECIMAL, udb_column::decimal_flags(19, 4)},
        {VT_DECIMAL, 0, udb_column::decimal_flags(10, 2), "decimal", VT_DECIMAL,
         udb_column::decimal_flags(10, 2)},
        {VT_DECIMAL, 0, 0, "double", VT_R8, 0},
        {VT_DATE, 0, 0, "char", VT_BSTR, 0},
        {VT_DATE, 0, 1, "datetime", VT_DATE, 1},
        {VT_DATE, 0, 2, "date", VT_DATE, 2},
        {VT_DATE, 0, 3, "time", VT_DATE, 3},
        {VT_BSTR, 20, 0, "varchar", VT_BSTR, 0},
        {VT_BSTR, 300, 0, "text", VT_BSTR, 0},
        {VT_BSTR, 70000, 0, "mediumtext", VT_BSTR, 0},
        {VT_BSTR, 0, 0, "longtext", VT_BSTR, 0},
        {VT_BLOB, 100, 0, "tinyblob", VT_BLOB, 0},
        {VT_BLOB, 300, 0, "blob", VT_BLOB, 0},
        {VT_BLOB, 70000, 0, "mediumblob", VT_BLOB, 0},
        {VT_BLOB, 0, 0, "longblob", VT_BLOB, 0},
    };
    int n = 0;
    for (const type_row& r : rows) {
        add(r.size, u"C" + tk_widen_ascii(std::to_string(n++)), r.type, false, false, ole_variant(),
            r.flags);
    }
    auto rs = create(u"types");
    const auto info = check->query(
        "SELECT COLUMN_NAME, DATA_TYPE, COLUMN_TYPE, CHARACTER_SET_NAME FROM "
        "information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
        db_name + "' AND TABLE_NAME = 'types' ORDER BY ORDINAL_POSITION");
    ASSERT_EQ(info.size(), std::size(rows));
    ASSERT_EQ(rs->schema().size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const type_row& r = rows[i];
        EXPECT_EQ(*info[i][1], r.data_type) << "column " << i;
        const bool is_unsigned = r.type == VT_UI1 || r.type == VT_UI2 || r.type == VT_UI4 ||
                                 r.type == VT_UINT || r.type == VT_UI8;
        EXPECT_EQ(info[i][2]->find("unsigned") != std::string::npos, is_unsigned) << "column " << i;
        if (r.type == VT_BSTR) {
            EXPECT_EQ(*info[i][3], "utf8mb4") << "column " << i;
        }
        const udb_column& back = rs->schema()[i];
        EXPECT_EQ(back.vartype(), r.back) << "column " << i;
        if (r.back != VT_BSTR) {
            EXPECT_EQ(back.flags(), r.back_flags) << "column " << i;
        }
    }
    EXPECT_EQ(rs->schema()[20].size(), 20);  // varchar(20) refined from SHOW COLUMNS
    EXPECT_EQ(rs->record_count(), 0);
    EXPECT_EQ(db->table_names(), std::vector<std::u16string>{u"types"});
}

TEST_F(table_test, defaults_not_null_and_indexes_read_back) {
    add(4, u"ID", VT_I4, true, true);
    add(4, u"A", VT_I4, true, false, ole_variant(u"42"));
    add(20, u"S", VT_BSTR, false, false, ole_variant(u"it's"));
    add(4, u"K", VT_I4);
    add(4, u"U", VT_I4);
    indexes.add(index(u"PK", {u"ID", u"K"}, false, true));
    indexes.add(index(u"UQ", {u"U"}, true));
    auto rs = create(u"t");
    const udb_schema& back = rs->schema();
    EXPECT_TRUE(back[0].b_auto());
    EXPECT_TRUE(back[0].b_not_null());
    EXPECT_EQ(back[1].default_value().i4(), 42);
    EXPECT_EQ(back[2].default_value().bstr(), u"it's");
    EXPECT_TRUE(back[3].b_not_null());  // in the primary key
    ASSERT_EQ(rs->indexes().size(), 2u);
    EXPECT_TRUE(rs->indexes()[0].b_primary);
    EXPECT_EQ(rs->indexes()[0].fields, (std::vector<std::u16string>{u"ID", u"K"}));
    EXPECT_EQ(rs->indexes()[1].name, u"UQ");
    EXPECT_TRUE(rs->indexes()[1].b_unique);
    EXPECT_FALSE(rs->indexes()[1].b_primary);
}

TEST_F(table_test, a_zero_date_default_reads_back_as_nullable_without_default) {
    check->query("CREATE TABLE z (d DATE NOT NULL DEFAULT '0000-00-00', n INT)");
    auto opened = engine->open_db(tk_from_utf8(db_name), 0);
    auto rs = opened->get_table(u"z", 1);
    EXPECT_FALSE(rs->schema()[0].b_not_null());
    EXPECT_TRUE(rs->schema()[0].default_value().is_empty());
}

TEST_F(table_test, reading_back_walks_blocks_of_256_rows_both_ways) {
    check->query("CREATE TABLE r (n INT, s VARCHAR(10))");
    std::string insert = "INSERT INTO r VALUES ";
    for (int i = 0; i < 600; ++i) {
        insert += (i ? ",(" : "(") + std::to_string(i) + ",'s" + std::to_string(i) + "')";
    }
    check->query(insert);
    auto opened = engine->open_db(tk_from_utf8(db_name), 0);
    auto rs = opened->get_table(u"r", 1);
    EXPECT_EQ(rs->record_count(), 600);
    int seen = 0;
    for (rs->reset(); !rs->is_eof(); rs->next(), ++seen) {
        udb_record* row = rs->get_item();
        ASSERT_NE(row, nullptr) << seen;
        ASSERT_EQ((*row)[0].i4(), seen);
        ASSERT_EQ((*row)[1].bstr(), u"s" + tk_widen_ascii(std::to_string(seen)));
    }
    EXPECT_EQ(seen, 600);
    rs->reset();
    for (int i = 0; i < 256; ++i) rs->next();
    EXPECT_EQ((*rs->get_item())[0].i4(), 256);
    rs->prev();  // back across the block boundary
    EXPECT_EQ((*rs->get_item())[0].i4(), 255);

    // A query's cursor pages through its result the same way.
    auto q = opened->get_query(u"q", u"SELECT n FROM r WHERE n >= 100 ORDER BY n", 0);
    EXPECT_EQ(q->record_count(), 500);
    int expected = 100;
    for (q->reset(); !q->is_eof(); q->next(), ++expected) {
        ASSERT_EQ((*q->get_item())[0].i4(), expected);
    }
    EXPECT_EQ(expected, 600);
}

TEST_F(table_test, statements_with_and_without_results) {
    EXPECT_EQ(db->query_records(u"CREATE TABLE s (a INT)"), nullptr);
    EXPECT_TRUE(db->query(u"INSERT INTO s VALUES (1), (2)"));
    EXPECT_TRUE(db->query(u"SELECT * FROM s"));  // the rows are read and discarded
    auto result = db->query_records(u"SELECT a FROM s ORDER BY a");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->record_count(), 2);
    EXPECT_FALSE(db->query(u"SELECT nothing FROM nowhere"));
    try {
        db->query_records(u"SELECT nothing FROM nowhere");
        FAIL() << "no error";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), mysql_error_flag | 1146);
    }
    EXPECT_THROW(result->append_record(*make_record({})), tk_mail_assertion);
}

TEST_F(table_test, creating_an_existing_table_in_append_mode_reuses_it) {
    check->query("CREATE TABLE a (n INT)");
    check->query("INSERT INTO a VALUES (1), (2)");
    auto appending = engine->open_db(tk_from_utf8(db_name), udb_database::mode_append);
    add(4, u"n", VT_I4);
    auto rs = appending->create_table(u"A", schema, indexes);
    EXPECT_EQ(rs->record_count(), 2);
    EXPECT_EQ(check->count("a"), 2);
    EXPECT_EQ(appending->table_names(), std::vector<std::u16string>{u"a"});
}

TEST_F(table_test, delete_tab_drops_the_table) {
    add(4, u"n", VT_I4);
    create(u"gone").reset();
    EXPECT_TRUE(db->delete_tab(u"GONE"));
    EXPECT_TRUE(check->query("SHOW TABLES").empty());
    EXPECT_THROW(db->delete_tab(u"gone"), tk_mail_assertion);
}

TEST_F(table_test, index_clauses_stay_within_the_servers_limits) {
    add(4, u"ID", VT_I4, false, true);
    add(200, u"V1", VT_BSTR);
    add(200, u"V2", VT_BSTR);
    add(200, u"V3", VT_BSTR);
    add(0, u"TXT", VT_BSTR);
    add(0, u"BIN", VT_BLOB);
    add(4, u"N", VT_I4);
    indexes.add(index(u"TOO_LONG", {u"V1", u"V2", u"V3"}));  // 600 > 500
    indexes.add(index(u"FITS", {u"V1", u"V2"}));             // 400
    indexes.add(index(u"ON_TEXT", {u"TXT"}));
    indexes.add(index(u"ON_BLOB", {u"N", u"BIN"}));
    for (int i = 0; i < 35; ++i) {
        indexes.add(index(u"N" + tk_widen_ascii(std::to_string(i)), {u"N"}));
    }
    create(u"limits").reset();
    const auto server = server_indexes("limits");
    EXPECT_EQ(server.count("TOO_LONG"), 0u);
    EXPECT_EQ(server.count("ON_TEXT"), 0u);
    EXPECT_EQ(server.count("ON_BLOB"), 0u);
    ASSERT_EQ(server.count("FITS"), 1u);
    EXPECT_EQ(server.at("FITS"), (std::vector<std::string>{"V1", "V2"}));
    // 31 counted (the four above among them), then the auto-increment index of its own.
    EXPECT_EQ(server.size(), 1u + 27u + 1u);
    ASSERT_EQ(server.count("ID"), 1u);
    EXPECT_EQ(server.at("ID"), std::vector<std::string>{"ID"});
    EXPECT_EQ(check->scalar("SELECT EXTRA FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                            db_name + "' AND TABLE_NAME = 'limits' AND COLUMN_NAME = 'ID'"),
              "auto_increment");
}

TEST_F(table_test, a_backquote_in_a_name_cannot_end_the_quoting) {
    // The validators replace a backquote in column and index names; a table name reaches the
    // statement as it is and must stay one name.
    add(4, u"we`ird", VT_I4);
    indexes.add(index(u"ix`; DROP TABLE x; `", {u"we`ird"}));
    create(u"ta`ble").reset();
    EXPECT_EQ(check->query("SHOW TABLES"), (rows{{cell("ta`ble")}}));
    const auto server = server_indexes("ta``ble");
    ASSERT_EQ(server.size(), 1u);
    EXPECT_EQ(server.begin()->second, std::vector<std::string>{"we_ird"});
}

class foreign_key_test : public table_test {
protected:
    void make_tables() {
        add(4, u"ID", VT_I4, true);
        indexes.add(index(u"PK_P", {u"ID"}, false, true));
        create(u"parent").reset();
        schema.clear();
        indexes.clear();
        add(4, u"ID", VT_I4, true);
        add(4, u"PID", VT_I4);
        add(4, u"PID2", VT_I4);
        indexes.add(index(u"PK_C", {u"ID"}, false, true));
        indexes.add(index(u"I_PID2", {u"PID2", u"ID"}));
        create(u"child").reset();
    }
    static udb_relationship key(std::u16string name, std::u16string child_column) {
        udb_relationship r;
        r.name = std::move(name);
        r.child_table = u"CHILD";
        r.parent_table = u"PARENT";
        r.child_fields = {std::move(child_column)};
        r.parent_fields = {u"ID"};
        return r;
    }
    std::vector<std::string> constraints() {
        std::vector<std::string> out;
        for (const auto& row : check->query(
                 "SELECT CONSTRAINT_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                 "CONSTRAINT_SCHEMA = '" +
                 db_name + "' ORDER BY CONSTRAINT_NAME")) {
            out.push_back(*row[0]);
        }
        return out;
    }
};

TEST_F(foreign_key_test, foreign_keys_come_with_their_child_indexes) {
    make_tables();
    const size_t before = server_indexes("child").size();
    db->create_relationships(
        {key(u"FK_PID", u"PID"), key(u"FK_PID2", u"PID2"), key(u"fk`odd", u"PID")});
    EXPECT_EQ(constraints(), (std::vector<std::string>{"FK_PID", "FK_PID2", "fk`odd"}));
    const auto child = server_indexes("child");
    // PID got an index of its own; PID2 already led I_PID2.
    bool pid_indexed = false;
    for (const auto& [name, columns] : child) pid_indexed |= columns.front() == "PID";
    EXPECT_TRUE(pid_indexed);
    EXPECT_LE(child.size(), before + 2);
    EXPECT_EQ(check->scalar("SELECT @@foreign_key_checks"), "1");
    EXPECT_TRUE(front_end.reports.empty());
}

TEST_F(foreign_key_test, a_rejected_foreign_key_is_reported_and_the_next_one_made) {
    make_tables();
    udb_relationship bad = key(u"FK_BAD", u"PID");
    bad.parent_fields = {u"NO_SUCH_COLUMN"};
    db->create_relationships({bad, key(u"FK_GOOD", u"PID2")});
    EXPECT_EQ(constraints(), std::vector<std::string>{"FK_GOOD"});
    ASSERT_EQ(front_end.reports.size(), 1u);
    EXPECT_EQ(front_end.reports[0].level, 0);
    EXPECT_EQ(front_end.reports[0].message.rfind("Foreign key 'FK_BAD': ", 0), 0u)
        << front_end.reports[0].message;
}

TEST_F(foreign_key_test, no_foreign_keys_in_append_mode_or_on_old_servers) {
    make_tables();
    auto appending = engine->open_db(tk_from_utf8(db_name), udb_database::mode_append);
    appending->create_relationships({key(u"FK_A", u"PID")});
    const uint32_t real = engine->server_version();
    engine->set_server_version(sql_version(3, 23, 43));
    db->create_relationships({key(u"FK_B", u"PID")});
    engine->set_server_version(real);
    EXPECT_TRUE(constraints().empty());
}

class duplicates_test : public table_test {
protected:
    std::unique_ptr<sql_recordset> make() {
        add(4, u"ID", VT_I4, true, true);
        add(4, u"CODE", VT_I4);
        indexes.add(index(u"PRIMARY", {u"ID"}, false, true));
        indexes.add(index(u"U_CODE", {u"CODE"}, true));
        return create(u"d");
    }
    static std::unique_ptr<udb_record> row(int id, int code) {
        return make_record({{u"ID", ole_variant(id)}, {u"CODE", ole_variant(code)}});
    }
    std::string extra() {
        return check->scalar("SELECT EXTRA FROM information_schema.COLUMNS WHERE TABLE_SCHEMA='" +
                             db_name + "' AND TABLE_NAME='d' AND COLUMN_NAME='ID'");
    }
};

TEST_F(duplicates_test, both_stages_repair_real_duplicate_key_errors) {
    auto rs = make();
    mysql_resolve_duplicates resolver(*db, *rs);
    EXPECT_EQ(resolver.auto_position(), 0);
    rs->append_record(*row(1, 5));
    rs->append_record(*row(2, 5));  // same CODE: the unique index refuses the batch
    int retries = 0;
    for (;;) {
        try {
            rs->clean();
            break;
        } catch (const sql_exception& e) {
            EXPECT_EQ(e.code(), mysql_error_flag | 1062);
            ASSERT_TRUE(resolver.handle_if(e)) << "stage " << resolver.stage();
            ++retries;
        }
    }
    EXPECT_EQ(retries, 2);
    EXPECT_EQ(check->count("d"), 2);
    EXPECT_EQ(extra(), "");  // AUTO_INCREMENT removed at the first stage
    const auto server = server_indexes("d");
    EXPECT_EQ(server.count("U_CODE"), 0u);
    EXPECT_EQ(
        check->scalar("SELECT COUNT(*) FROM information_schema.STATISTICS WHERE "
                      "TABLE_SCHEMA='" +
                      db_name + "' AND TABLE_NAME='d' AND COLUMN_NAME='CODE' AND NON_UNIQUE=1"),
        "1");
}

TEST_F(duplicates_test, a_third_duplicate_failure_is_not_repaired) {
    auto rs = make();
    mysql_resolve_duplicates resolver(*db, *rs);
    rs->append_record(*row(1, 1));
    rs->append_record(*row(1, 2));  // the primary key holds the auto-increment column: kept
    bool repaired = true;
    int attempts = 0;
    while (repaired) {
        try {
            rs->clean();
            FAIL() << "the duplicate primary key was accepted";
        } catch (const sql_exception& e) {
            repaired = resolver.handle_if(e);
            ++attempts;
        }
    }
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(resolver.stage(), 0);
    EXPECT_TRUE(rs->has_rejected_batch());
    EXPECT_EQ(rs->send_rejected_rows(), 1);
    EXPECT_EQ(check->count("d"), 1);
    ASSERT_EQ(front_end.reports.size(), 1u);
    EXPECT_NE(front_end.reports[0].message.find("d, record #2: Duplicate field values"),
              std::string::npos)
        << front_end.reports[0].message;
}

TEST_F(duplicates_test, a_zero_in_the_first_record_removes_auto_increment) {
    auto rs = make();
    mysql_resolve_duplicates resolver(*db, *rs);
    auto first = row(0, 1);
    resolver.check_1st_rec(*first);
    rs->append_record(*first);
    rs->clean();
    EXPECT_EQ(extra(), "");
    EXPECT_EQ(check->scalar("SELECT ID FROM d"), "0");
}

TEST_F(duplicates_test, a_batch_refused_at_the_threshold_is_repaired_by_appending_again) {
    schema.add(std::make_unique<udb_column>(4, u"ID", VT_I4, true, true, ole_variant(), 0));
    schema.add(std::make_unique<udb_column>(4, u"CODE", VT_I4, false, false, ole_variant(), 0));
    schema.add(std::make_unique<udb_column>(0, u"PAD", VT_BSTR, false, false, ole_variant(), 0));
    indexes.add(index(u"PRIMARY", {u"ID"}, false, true));
    indexes.add(index(u"U_CODE", {u"CODE"}, true));
    auto rs = create(u"d");
    mysql_resolve_duplicates resolver(*db, *rs);
    const std::u16string pad(1000, u'p');
    int appended = 0;
    // The driver's loop: a repaired failure appends the same record again.
    for (int i = 1; i <= 400; ++i) {
        auto r = make_record({{u"ID", ole_variant(i)},
                              {u"CODE", ole_variant(i == 7 ? 3 : i)},
                              {u"PAD", ole_variant(pad)}});
        for (;;) {
            try {
                rs->append_record(*r);
                ++appended;
                break;
            } catch (const sql_exception& e) {
                ASSERT_TRUE(resolver.handle_if(e));
            }
        }
    }
    rs->clean();
    EXPECT_EQ(appended, 400);
    EXPECT_EQ(resolver.stage(), 2);
    EXPECT_EQ(check->count("d"), 400);  // every row once: none lost, none twice
    EXPECT_EQ(check->scalar("SELECT COUNT(DISTINCT ID) FROM d"), "400");
}

}  // namespace
