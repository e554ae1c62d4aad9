// The Data Pump description reader: name mode on both document kinds, the column types, NOT
// NULL, hidden columns, constraints into indexes and foreign keys, damaged and hostile documents,
// and parses on several threads at once.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ora_pump_metadata_reader.h"
#include "ora_xml_session.h"
#include "pump_dump_writer.h"
#include "tk_text.h"
#include "udb_database.h"
#include "udb_recordset.h"

namespace {

class test_table : public udb_recordset {
public:
    test_table() : udb_recordset(u"T", true) {}
    void append_record(udb_record&) override {}
};

class test_database : public udb_database {
public:
    test_database() : udb_database(u"db", 0) {}
    std::unique_ptr<udb_recordset> create_table(const std::u16string&, const udb_schema&,
                                                const udb_indexes&) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string&, int32_t) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_query(const std::u16string&, const std::u16string&,
                                             int32_t) override {
        return nullptr;
    }
    bool query(const std::u16string&) override { return true; }
    void create_relationships(const std::vector<udb_relationship>& keys) override {
        set_relationships(keys);
        ++calls;
    }
    int calls = 0;
};

pump_fixture_column col(const std::string& name, int type, int length = 22, int precision = -1,
                        int scale = -1, std::string not_null = "0", int charset = 0) {
    pump_fixture_column c;
    c.name = name;
    c.type_num = type;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    c.not_null = std::move(not_null);
    c.charset_id = charset;
    return c;
}

pump_fixture_table emp() {
    pump_fixture_table t;
    t.owner = "SCOTT";
    t.name = "EMP";
    t.columns = {col("EMPNO", 2, 22, 4, 0, "1"), col("ENAME", 1, 10, -1, -1, "0", 873),
                 col("DEPTNO", 2, 22, 2, 0), col("MGR", 2, 22, 4, 0)};
    t.constraints.push_back({"PK_EMP", 2, {"EMPNO"}, "", "", {}});
    t.constraints.push_back({"UK_ENAME", 3, {"ENAME", "DEPTNO"}, "", "", {}});
    t.constraints.push_back({"CK_SAL", 1, {"MGR"}, "", "", {}});
    t.constraints.push_back({"FK_DEPTNO", 4, {" DEPTNO "}, "SCOTT", "DEPT", {" DEPTNO"}});
    t.constraints.push_back({"FK_MGR", 4, {"MGR"}, "SCOTT", "EMP", {"EMPNO"}});
    return t;
}

std::vector<std::string> names_of(const udb_recordset& t) {
    std::vector<std::string> out;
    for (const udb_column* c : t.schema().columns()) out.push_back(tk_to_utf8(c->name()));
    return out;
}

}  // namespace

TEST(pump_metadata, name_mode_tells_table_owner_and_document_kind) {
    pump_fixture_table t = emp();
    ora_pump_metadata_reader reader;
    const std::string full = pump_dump_writer::table_description(t);
    EXPECT_EQ(reader.read_table_name(full.data(), full.size()), u"EMP");
    EXPECT_EQ(reader.state(), ora_pump_metadata_reader::state_table);
    EXPECT_EQ(reader.table_owner(), u"SCOTT");

    pump_dump_writer writer;
    const std::string stream = writer.stream_description(t);
    EXPECT_EQ(reader.read_table_name(stream.data(), stream.size()), u"EMP");
    EXPECT_EQ(reader.state(), ora_pump_metadata_reader::state_stream);
    EXPECT_EQ(reader.owner_name(), u"SCOTT");

    const std::string other = "<?xml version=\"1.0\"?><ROWSET><ROW><INDEX_T><SCHEMA_OBJ>"
                              "<NAME>EMP_IX</NAME></SCHEMA_OBJ></INDEX_T></ROW></ROWSET>";
    EXPECT_EQ(reader.read_table_name(other.data(), other.size()), u"");
    EXPECT_EQ(reader.state(), ora_pump_metadata_reader::state_none);
}

TEST(pump_metadata, column_types_by_oracle_type_number) {
    struct type_case {
        pump_fixture_column column;
        int32_t kind;
        VARTYPE vartype;
        int32_t flags;
    };
    const type_case cases[] = {
        {col("V", 1, 30, -1, -1, "0", 873), ora_kind_char, VT_BSTR, 0},
        {col("NV", 1, 30, -1, -1, "0", 2000), ora_kind_nchar, VT_BSTR, 0},
        {col("C", 96, 2, -1, -1, "0", 873), ora_kind_char, VT_BSTR, 0},
        {col("D2", 2, 22, 10, 2), ora_kind_number, VT_DECIMAL, 2 + 256 * 10},
        // NUMBER without precision and scale holds fractions: a double, never an integer.
        {col("N", 2, 22), ora_kind_number, VT_R8, 0},
        // INTEGER: scale 0 without precision.
        {col("INT", 2, 22, -1, 0), ora_kind_number, VT_I8, 0},
        {col("P2", 2, 22, 2, 0), ora_kind_number, VT_I1, 0},
        {col("P4", 2, 22, 4, 0), ora_kind_number, VT_I2, 0},
        {col("P9", 2, 22, 9, 0), ora_kind_number, VT_I4, 0},
        {col("P10", 2, 22, 10, 0), ora_kind_number, VT_I8, 0},
        {col("FLT", 2, 22, 126, -127), ora_kind_float, VT_R8, 0},
        {col("DT", 12, 7), ora_kind_date, VT_DATE, 1},
        {col("TS", 180, 11), ora_kind_timestamp, VT_DATE, 1},
        {col("TSTZ", 181, 13), ora_kind_timestamp, VT_DATE, 1},
        {col("TSLTZ", 231, 11), ora_kind_timestamp, VT_DATE, 1},
        {col("CL", 112, 4000, -1, -1, "0", 873), ora_kind_clob, VT_BSTR, 0},
        {col("BL", 113, 4000), ora_kind_blob, VT_BLOB, 0},
        {col("R", 23, 16), ora_kind_raw, VT_BSTR, 0},
        {col("LR", 24, 0), ora_kind_long_raw, VT_BLOB, 0},
        {col("L", 8, 0), ora_kind_long, VT_BSTR, 0},
        {col("RID", 69, 10), ora_kind_rowid, VT_BSTR, 0},
    };
    for (const type_case& c : cases) {
        SCOPED_TRACE(c.column.name);
        pump_fixture_table t;
        t.name = "T";
        t.columns = {c.column};
        const std::string doc = pump_dump_writer::table_description(t);
        test_table table;
        ora_pump_metadata_reader reader;
        reader.read_table(doc.data(), doc.size(), table, nullptr);
        ASSERT_EQ(table.schema().size(), 1u);
        const auto& column = static_cast<const ora_dump_column&>(table.schema()[0]);
        EXPECT_EQ(column.kind(), c.kind);
        EXPECT_EQ(column.vartype(), c.vartype);
        EXPECT_EQ(column.flags(), c.flags);
        EXPECT_EQ(column.size(), c.column.length);
        EXPECT_EQ(column.charset_id(), c.column.charset_id);
    }
}

TEST(pump_metadata, not_null_is_any_positive_count) {
    const std::pair<const char*, bool> cases[] = {{"0", false}, {"1", true}, {"2", true},
                                                  {"Y", false}, {"", false}};
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        pump_fixture_table t;
        t.name = "T";
        t.columns = {col("A", 2, 22, 5, 0, text)};
        const std::string doc = pump_dump_writer::table_description(t);
        test_table table;
        ora_pump_metadata_reader reader;
        reader.read_table(doc.data(), doc.size(), table, nullptr);
        ASSERT_EQ(table.schema().size(), 1u);
        EXPECT_EQ(table.schema()[0].b_not_null(), expected);
    }
}

TEST(pump_metadata, unknown_type_ends_the_columns_there) {
    pump_fixture_table t;
    t.name = "T";
    t.columns = {col("A", 2, 22, 5, 0), col("XML", 58, 2000), col("B", 2, 22, 5, 0)};
    const std::string doc = pump_dump_writer::table_description(t);
    test_table table;
    ora_pump_metadata_reader reader;
    reader.read_table(doc.data(), doc.size(), table, nullptr);
    EXPECT_TRUE(reader.unknown_type_seen());
    EXPECT_EQ(reader.unknown_type().type_num, 58);
    EXPECT_EQ(tk_to_utf8(reader.unknown_type().name), "XML");
    EXPECT_EQ(names_of(table), (std::vector<std::string>{"A"}));
}

TEST(pump_metadata, hidden_column_is_left_out) {
    pump_fixture_table t;
    t.name = "T";
    pump_fixture_column hidden = col("SYS_NC00003$", 2, 22);
    hidden.col_num = 0;
    t.columns = {col("A", 2, 22, 5, 0), hidden, col("B", 1, 10, -1, -1, "0", 873)};
    const std::string doc = pump_dump_writer::table_description(t);
    test_table table;
    ora_pump_metadata_reader reader;
    reader.read_table(doc.data(), doc.size(), table, nullptr);
    EXPECT_TRUE(reader.hidden_column_seen());
    EXPECT_EQ(names_of(table), (std::vector<std::string>{"A", "B"}));
}

TEST(pump_metadata, keys_become_indexes_and_foreign_keys_reach_the_database) {
    const std::string doc = pump_dump_writer::table_description(emp());
    test_table table;
    test_database db;
    ora_pump_metadata_reader reader;
    reader.read_table(doc.data(), doc.size(), table, &db);
    // Names inside CON, LOBMD and IND do not rename anything.
    EXPECT_EQ(names_of(table), (std::vector<std::string>{"EMPNO", "ENAME", "DEPTNO", "MGR"}));
    ASSERT_EQ(table.indexes().size(), 2u);  // the check constraint is no index
    EXPECT_TRUE(table.indexes()[0].b_primary);
    EXPECT_EQ(table.indexes()[0].fields, (std::vector<std::u16string>{u"EMPNO"}));
    EXPECT_TRUE(table.indexes()[1].b_unique);
    EXPECT_FALSE(table.indexes()[1].b_primary);
    EXPECT_EQ(table.indexes()[1].fields, (std::vector<std::u16string>{u"ENAME", u"DEPTNO"}));

    ASSERT_EQ(db.relationships().size(), 2u);
    const udb_relationship& fk = db.relationships()[0];
    EXPECT_EQ(fk.name, u"FK_DEPTNO");
    EXPECT_EQ(fk.child_table, u"EMP");
    EXPECT_EQ(fk.parent_table, u"DEPT");
    EXPECT_EQ(fk.child_info, u"SCOTT");
    EXPECT_EQ(fk.parent_info, u"SCOTT");
    EXPECT_EQ(fk.child_fields, (std::vector<std::u16string>{u"DEPTNO"}));  // trimmed
    EXPECT_EQ(fk.parent_fields, (std::vector<std::u16string>{u"DEPTNO"}));
    EXPECT_EQ(db.relationships()[1].parent_fields, (std::vector<std::u16string>{u"EMPNO"}));

    // A second table adds its keys to those held; the same table again adds nothing.
    pump_fixture_table other;
    other.name = "BONUS";
    other.columns = {col("ENAME", 1, 10, -1, -1, "0", 873)};
    other.constraints.push_back({"FK_BONUS", 4, {"ENAME"}, "SCOTT", "EMP", {"ENAME"}});
    const std::string doc2 = pump_dump_writer::table_description(other);
    test_table t2, t3;
    reader.read_table(doc2.data(), doc2.size(), t2, &db);
    reader.read_table(doc.data(), doc.size(), t3, &db);
    ASSERT_EQ(db.relationships().size(), 3u);
    EXPECT_EQ(db.relationships()[2].name, u"FK_BONUS");
}

TEST(pump_metadata, damaged_documents_end_quietly) {
    const std::string doc = pump_dump_writer::table_description(emp());
    // Cut anywhere: never a crash; once the column list is whole, the columns are there.
    const size_t columns_end = doc.find("</COL_LIST></TABLE_T>") + 11;
    for (size_t cut = 1; cut < doc.size(); cut += 37) {
        test_table table;
        ora_pump_metadata_reader reader;
        reader.read_table(doc.data(), cut, table, nullptr);
        if (cut >= columns_end) {
            EXPECT_EQ(table.schema().size(), 4u) << cut;
        }
        if (cut < doc.size() - 30) {
            EXPECT_TRUE(reader.parse_failed()) << cut;
        }
    }
    const std::string garbage = "\xFF\xFE<not xml";
    ora_pump_metadata_reader reader;
    EXPECT_EQ(reader.read_table_name(garbage.data(), garbage.size()), u"");
    EXPECT_EQ(reader.read_table_name(nullptr, 0), u"");
}

TEST(pump_metadata, text_split_by_entities_stays_whole) {
    pump_fixture_table t;
    t.name = "A&B<C";
    t.columns = {col("X&Y", 2, 22, 5, 0)};
    const std::string doc = pump_dump_writer::table_description(t);
    ora_pump_metadata_reader reader;
    EXPECT_EQ(reader.read_table_name(doc.data(), doc.size()), u"A&B<C");
    test_table table;
    reader.read_table(doc.data(), doc.size(), table, nullptr);
    EXPECT_EQ(names_of(table), (std::vector<std::string>{"X&Y"}));
}

TEST(pump_metadata, entity_expansion_is_bounded) {
    std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE ROWSET [<!ENTITY a \"aaaaaaaaaa\">";
    const char* prev = "a";
    std::string names[8] = {"b", "c", "d", "e", "f", "g", "h", "i"};
    for (const std::string& n : names) {
        doc += "<!ENTITY " + n + " \"";
        for (int i = 0; i < 10; ++i) doc += std::string("&") + prev + ";";
        doc += "\">";
        prev = n.c_str();
    }
    doc += "]><ROWSET><ROW><TABLE_T><SCHEMA_OBJ><NAME>&i;</NAME></SCHEMA_OBJ></TABLE_T></ROW>"
           "</ROWSET>";
    const auto start = std::chrono::steady_clock::now();
    ora_pump_metadata_reader reader;
    std::u16string name = reader.read_table_name(doc.data(), doc.size());
    EXPECT_LT(name.size(), 1000000u);
    EXPECT_TRUE(reader.parse_failed());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(pump_metadata, parses_on_several_threads_at_once) {
    const std::string doc = pump_dump_writer::table_description(emp());
    std::vector<std::thread> threads;
    std::vector<int> good(4, 0);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&doc, &good, i] {
            for (int n = 0; n < 40; ++n) {
                test_table table;
                ora_pump_metadata_reader reader;
                reader.read_table(doc.data(), doc.size(), table, nullptr);
                if (table.schema().size() == 4 && table.indexes().size() == 2) ++good[i];
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(good, (std::vector<int>{40, 40, 40, 40}));
    EXPECT_EQ(ora_xml_session::open_count(), 0);
}
