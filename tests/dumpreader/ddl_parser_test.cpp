// The CREATE TABLE parser (type texts to column descriptions, column lists) and the index and
// primary-key parser, on texts and spans of hand-made dumps.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ora_dump_column.h"
#include "ora_dump_file.h"
#include "ora_dump_reader_th.h"
#include "ora_dump_table.h"
#include "ora_memory_source.h"
#include "ora_text_codec.h"
#include "tk_exception.h"

namespace {

// A facade over `bytes` and a table on it whose parsers can be called directly.
struct table_fixture {
    explicit table_fixture(std::string bytes = std::string(), uint16_t session = 178) {
        auto decoder = create_row_decoder(11, "EXPORT:V11.02.00");
        auto codec = std::make_unique<ora_text_codec>();
        codec->configure(873, 2, 2000, session);
        decoder->set_context(std::move(codec), UINT64_MAX);
        file = std::make_unique<ora_dump_file>(std::make_unique<ora_memory_source>(bytes, 3),
                                               "EXPORT:V11.02.00", "", "", ora_dump_catalogue(),
                                               std::move(decoder));
        table = std::make_unique<ora_dump_table>(*file, u"T");
        table->set_source(file->source(), file->decoder());
    }
    const ora_dump_column& column(size_t i) {
        return static_cast<const ora_dump_column&>(table->schema()[i]);
    }
    std::unique_ptr<ora_dump_file> file;
    std::unique_ptr<ora_dump_table> table;
};

struct type_case {
    const char* text;
    int32_t size;
    uint16_t vartype;
    int32_t kind;
    int32_t flags;
};

class TypeText : public ::testing::TestWithParam<type_case> {};

TEST_P(TypeText, GivesTheColumnDescription) {
    const type_case& c = GetParam();
    table_fixture f;
    ASSERT_TRUE(f.table->add_field(std::string("\"C\" ") + c.text)) << c.text;
    const ora_dump_column& col = f.column(0);
    EXPECT_EQ(col.size(), c.size) << c.text;
    EXPECT_EQ(col.vartype(), c.vartype) << c.text;
    EXPECT_EQ(col.kind(), c.kind) << c.text;
    EXPECT_EQ(col.flags(), c.flags) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Oracle, TypeText,
    ::testing::Values(type_case{"NUMBER(4, 0) NOT NULL", 2, VT_I2, 1, 4},
                      type_case{"NUMBER(12,2)", 8, VT_DECIMAL, 1, 2 + 256 * 12},
                      type_case{"NUMBER", 8, VT_R8, 1, 0},
                      type_case{"NUMBER(*,0)", 4, VT_I4, 1, 9},
                      type_case{"NUMBER(2)", 1, VT_I1, 1, 2},
                      type_case{"NUMBER(19, 0)", 8, VT_I8, 1, 19},
                      type_case{"DATE", 8, VT_DATE, 10, 1},
                      type_case{"TIMESTAMP (6)", 0, VT_DATE, 14, 1},
                      type_case{"TIMESTAMP(6) WITH TIME ZONE", 0, VT_DATE, 14, 1},
                      type_case{"LONG RAW", 0, VT_BLOB, 9, 0},
                      type_case{"LONG", 0, VT_BSTR, 12, 0},
                      type_case{"NCLOB", 0, VT_BSTR, 7, 0},
                      type_case{"CLOB", 0, VT_BSTR, 7, 0},
                      type_case{"BLOB", 0, VT_BLOB, 6, 0},
                      type_case{"UROWID", 0, VT_BSTR, 13, 0},
                      type_case{"VARCHAR(10)", 10, VT_BSTR, 2, 0},
                      type_case{"VARCHAR2(30 BYTE)", 30, VT_BSTR, 4, 0},
                      type_case{"NVARCHAR2(20)", 20, VT_BSTR, 5, 0},
                      type_case{"NCHAR(3)", 3, VT_BSTR, 3, 0},
                      type_case{"CHAR(1 CHAR)", 1, VT_BSTR, 2, 0},
                      type_case{"RAW(16)", 16, VT_BSTR, 8, 0},
                      type_case{"FLOAT(126)", 4, VT_R8, 11, 0}));

TEST(TypeText, MissingLengthsAndUnknownTypes) {
    table_fixture f;
    EXPECT_FALSE(f.table->add_field("\"C\" CHAR"));
    for (const char* t : {"INTERVAL DAY(2) TO SECOND(6)", "BFILE", "\"SCOTT\".\"ADDRESS_T\""}) {
        try {
            f.table->add_field(std::string("\"C\" ") + t);
            FAIL() << t;
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.text(), "User-defined types are not supported");
            EXPECT_EQ(e.level(), 0);
        }
    }
    std::vector<int32_t> n;
    EXPECT_FALSE(ora_dump_table::get_typesize("NUMBER", n));
    EXPECT_TRUE(ora_dump_table::get_typesize("NUMBER(10, 2)", n));
    EXPECT_EQ(n, (std::vector<int32_t>{10, 2}));
}

TEST(TableDescription, ColumnListsWithConstraintsDefaultsAndKeys) {
    table_fixture f;
    ASSERT_TRUE(f.table->process_table_desc(
        " (\"ID\" NUMBER(4, 0) DEFAULT 0 NOT NULL ENABLE, \"NOTE\" VARCHAR2(20) DEFAULT 'a,(b' "
        "NOT NULL, CONSTRAINT \"CK\" CHECK (ID IN (1,2)) ENABLE, \"A(B\" DATE, "
        "PRIMARY KEY (\"ID\"))  PCTFREE 10 TABLESPACE \"USERS\"\n"));
    ASSERT_EQ(f.table->schema().size(), 3u);
    EXPECT_TRUE(f.column(0).b_not_null());
    EXPECT_EQ(f.column(1).name(), u"NOTE");
    EXPECT_TRUE(f.column(1).b_not_null());
    EXPECT_EQ(f.column(2).name(), u"A(B");
}

TEST(TableDescription, BrokenTextsAreRejected) {
    table_fixture f;
    EXPECT_FALSE(f.table->process_table_desc(" \"ID\" NUMBER\n"));
    EXPECT_FALSE(f.table->process_table_desc(" (\"ID\" NUMBER, \"B\" CHAR(2)\n"));
    EXPECT_FALSE(f.table->add_field("\"ONLY\""));
}

TEST(TableDescription, ColumnNamesAreInTheSessionSet) {
    table_fixture f;  // session cp1252, database AL32UTF8
    ASSERT_TRUE(f.table->process_table_desc(" (\"CITT\xC0\" VARCHAR2(10))\n"));
    EXPECT_EQ(f.column(0).name(), u"CITTÀ");
}

TEST(InsertColumns, QuotedNamesOfTheList) {
    std::vector<std::string> names;
    ASSERT_TRUE(ora_dump_table::parse_insert_columns(
        " \"T (1)\" (\"B\", \"A, x\", \"C\") VALUES (:1, :2, :3)\n", names));
    EXPECT_EQ(names, (std::vector<std::string>{"B", "A, x", "C"}));
    EXPECT_FALSE(ora_dump_table::parse_insert_columns(" \"T\" VALUES (:1)\n", names));
}

TEST(IndexParser, IndexesThenPrimaryKeysFromTheirSpans) {
    const std::string text =
        "CREATE UNIQUE INDEX \"PK_EMP\" ON \"EMP\" (\"EMPNO\" )  PCTFREE 10\n"
        "CREATE INDEX \"JUP\" ON \"EMP\" (UPPER(\"ENAME\") )  PCTFREE 10\n"
        "CREATE INDEX \"I2\" ON \"EMP\" (\"A\" , \"B\" DESC)\n"
        "ALTER TABLE \"EMP\" ADD  CONSTRAINT \"PK_\xC0\" PRIMARY KEY (\"EMPNO\", \"DEPT\") USING\n"
        "ALTER TABLE \"EMP\" ADD CONSTRAINT \"FK\" FOREIGN KEY (\"D\") REFERENCES \"DEPT\" (\"D\")\n"
        "ALTER TABLE \"EMP\" ADD PRIMARY KEY (\"X\")\n";
    auto after = [&text](const std::string& what, size_t from = 0) {
        return static_cast<uint64_t>(text.find(what, from) + what.size());
    };
    auto line_end = [&text](uint64_t from) { return static_cast<uint64_t>(text.find('\n', from) + 1); };
    std::vector<index_span> spans;
    for (size_t at = 0; (at = text.find("INDEX", at)) != std::string::npos; at += 5) {
        uint64_t s = at + 5;
        spans.push_back({s, line_end(s), text.compare(at - 7, 6, "UNIQUE") == 0});
    }
    std::vector<alter_span> alters;
    for (size_t at = 0; (at = text.find("ALTER TABLE \"EMP\"", at)) != std::string::npos; at += 5) {
        uint64_t s = after("ALTER TABLE \"EMP\"", at);
        alters.push_back({s, line_end(s)});
    }
    table_fixture f(text);
    f.file->source().seek(7);
    ASSERT_TRUE(f.table->parse_indexes(spans));
    ASSERT_TRUE(f.table->parse_keys(alters));
    EXPECT_EQ(f.file->source().position(), 7u);
    const udb_indexes& idx = f.table->indexes();
    ASSERT_EQ(idx.size(), 4u);
    EXPECT_EQ(idx[0].name, u"PK_EMP");
    EXPECT_TRUE(idx[0].b_unique);
    EXPECT_EQ(idx[0].fields, (std::vector<std::u16string>{u"EMPNO"}));
    EXPECT_EQ(idx[1].name, u"I2");
    EXPECT_EQ(idx[1].fields, (std::vector<std::u16string>{u"A", u"B DESC"}));
    EXPECT_EQ(idx[2].name, u"PK_À");
    EXPECT_TRUE(idx[2].b_primary);
    EXPECT_EQ(idx[2].fields, (std::vector<std::u16string>{u"EMPNO", u"DEPT"}));
    EXPECT_EQ(idx[3].name, u"");
    EXPECT_EQ(idx[3].fields, (std::vector<std::u16string>{u"X"}));
    std::vector<index_span> empty_span = {{10, 10, false}};
    EXPECT_FALSE(f.table->parse_indexes(empty_span));
}

}  // namespace
