// Column, index and table-option clauses of CREATE TABLE and the name quoting, for old and new
// servers alike (server_version set by hand), without a server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "sql_database.h"
#include "sql_engine.h"
#include "sql_indexes_initializer.h"
#include "sql_schema_initializer.h"
#include "tk_text.h"
#include "udb_column.h"
#include "udb_index.h"
#include "udb_schema.h"

namespace {

constexpr uint32_t v3_23_1 = sql_version(3, 23, 1);
constexpr uint32_t v3_23_30 = sql_version(3, 23, 30);
constexpr uint32_t v3_23_58 = sql_version(3, 23, 58);
constexpr uint32_t v4_0_22 = sql_version(4, 0, 22);
constexpr uint32_t v4_0_23 = sql_version(4, 0, 23);
constexpr uint32_t v4_1_0 = sql_version(4, 1, 0);
constexpr uint32_t v5_0_51 = sql_version(5, 0, 51);
constexpr uint32_t v5_5_3 = sql_version(5, 5, 3);
constexpr uint32_t v10_11 = sql_version(10, 11, 6);

class clause_test : public ::testing::Test {
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
    std::vector<std::string> columns_for(uint32_t version) {
        engine.set_server_version(version);
        sql_schema_initializer init(u"T", schema, indexes, auto_name);
        std::vector<std::u16string> chunks;
        init.get_init_chunks(chunks);
        std::vector<std::string> out;
        for (const auto& c : chunks) out.push_back(tk_to_utf8(c));
        return out;
    }
    std::vector<std::string> indexes_for(uint32_t version) {
        engine.set_server_version(version);
        sql_schema_initializer init(u"T", schema, indexes, auto_name);
        std::vector<std::u16string> chunks;
        init.get_init_chunks(chunks);
        sql_indexes_initializer idx(init.schema(), indexes, auto_name, init.column_map());
        std::vector<std::u16string> index_chunks;
        idx.get_init_chunks(index_chunks);
        std::vector<std::string> out;
        for (const auto& c : index_chunks) out.push_back(tk_to_utf8(c));
        return out;
    }

    sql_engine engine;
    udb_schema schema{true};
    udb_indexes indexes;
    std::u16string auto_name;
};

TEST_F(clause_test, text_columns_get_the_character_set_of_the_server) {
    add(255, u"A", VT_BSTR);
    add(256, u"B", VT_BSTR);
    add(0, u"C", VT_BSTR);
    EXPECT_EQ(columns_for(v5_0_51),
              (std::vector<std::string>{"`A` VARCHAR(255) CHARACTER SET utf8 ",
                                        "`B` TEXT CHARACTER SET utf8 ",
                                        "`C` LONGTEXT CHARACTER SET utf8 "}));
    EXPECT_EQ(columns_for(v5_5_3)[0], "`A` VARCHAR(255) CHARACTER SET utf8mb4 ");
    EXPECT_EQ(columns_for(v10_11)[1], "`B` TEXT CHARACTER SET utf8mb4 ");
    EXPECT_EQ(columns_for(v4_0_23)[0], "A VARCHAR(255)");
    engine.set_case_sensitive(true);
    EXPECT_EQ(columns_for(v4_1_0)[0], "`A` VARCHAR(255) BINARY CHARACTER SET utf8 ");
}

TEST_F(clause_test, not_null_default_and_auto_increment_follow_fixed_rules) {
    add(0, u"ID", VT_I4, false, true, ole_variant(5));
    add(0, u"K", VT_I4);  // nullable, but in the primary key
    add(0, u"N", VT_I4, true, false, ole_variant(u"042"));
    add(0, u"R", VT_R8, false, true);
    add(300, u"LONGTEXT", VT_BSTR, false, false, ole_variant(u"x"));
    add(20, u"S", VT_BSTR, false, false, ole_variant(u"it's"));
    add(0, u"D", VT_DATE, false, false, ole_variant(u"2004-05-06 07:08:09"), 1);
    add(0, u"M", VT_DECIMAL, false, false, ole_variant(u"1.5"), udb_column::decimal_flags(10, 2));
    add(0, u"B", VT_BLOB, false, false, ole_variant(u"0x00"));
    indexes.add(index(u"PK", {u"K"}, false, true));
    const auto chunks = columns_for(v5_0_51);
    EXPECT_EQ(chunks[0], "`ID` INT NOT NULL AUTO_INCREMENT");
    EXPECT_EQ(chunks[1], "`K` INT NOT NULL");
    EXPECT_EQ(chunks[2], "`N` INT NOT NULL");
    EXPECT_EQ(chunks[3], "`R` DOUBLE NOT NULL");
    EXPECT_EQ(chunks[4], "`LONGTEXT` TEXT CHARACTER SET utf8 ");
    EXPECT_EQ(chunks[5], "`S` VARCHAR(20) CHARACTER SET utf8  DEFAULT 'it\\'s'");
    EXPECT_EQ(chunks[6], "`D` DATETIME DEFAULT \"2004-05-06 07:08:09\"");
    EXPECT_EQ(chunks[7], "`M` DECIMAL(10,2) DEFAULT 1.5");
    EXPECT_EQ(chunks[8], "`B` LONGBLOB");
    EXPECT_EQ(auto_name, u"ID");
}

TEST_F(clause_test, very_old_servers_make_every_index_column_not_null) {
    add(0, u"A", VT_I4);
    indexes.add(index(u"IA", {u"A"}));
    EXPECT_EQ(columns_for(v3_23_1)[0], "A INT NOT NULL");
    EXPECT_EQ(columns_for(v3_23_58)[0], "A INT");
}

TEST_F(clause_test, a_reserved_or_refused_column_name_gets_a_safe_name_and_a_mapping) {
    add(0, u"order", VT_I4);
    add(0, u"PRICE-USD", VT_I4);
    engine.set_server_version(v4_0_23);
    sql_schema_initializer init(u"T", schema, indexes, auto_name);
    EXPECT_EQ(init.schema()[0].name(), u"order00000");
    EXPECT_EQ(init.schema()[1].name(), u"PRICE_USD");
    EXPECT_EQ(init.column_map().get_mapped_name(u"order", true), u"order00000");
    engine.set_server_version(v5_0_51);
    sql_schema_initializer fresh(u"T", schema, indexes, auto_name);
    EXPECT_EQ(fresh.schema()[0].name(), u"order");
}

TEST_F(clause_test, two_auto_increment_columns_are_a_programming_error) {
    add(0, u"A", VT_I4, false, true);
    add(0, u"B", VT_I4, false, true);
    EXPECT_THROW(columns_for(v5_0_51), tk_mail_assertion);
}

TEST_F(clause_test, primary_unique_and_plain_indexes_are_quoted_from_4_1) {
    add(10, u"A", VT_I4);
    add(10, u"B", VT_I4);
    indexes.add(index(u"PK", {u"A", u"B"}, false, true));
    indexes.add(index(u"UB", {u"B"}, true));
    indexes.add(index(u"IA", {u"A"}));
    EXPECT_EQ(indexes_for(v5_0_51),
              (std::vector<std::string>{"PRIMARY KEY (`A`, `B`)", "UNIQUE `UB` (`B`)",
                                        "INDEX `IA` (`A`)"}));
    EXPECT_EQ(indexes_for(v4_0_23),
              (std::vector<std::string>{"PRIMARY KEY (A, B)", "UNIQUE UB (B)", "INDEX IA (A)"}));
}

TEST_F(clause_test, indexes_the_server_would_refuse_are_left_out) {
    add(300, u"T300", VT_BSTR);
    add(200, u"T200A", VT_BSTR);
    add(200, u"T200B", VT_BSTR);
    add(0, u"BIN", VT_BLOB);
    add(0, u"TXT", VT_BSTR);
    add(10, u"N", VT_I4);
    indexes.add(index(u"I300", {u"T300"}));
    indexes.add(index(u"I400", {u"T200A", u"T200B"}));
    indexes.add(index(u"IBIN", {u"N", u"BIN"}));
    indexes.add(index(u"ITXT", {u"TXT"}));
    indexes.add(index(u"IGONE", {u"NO_SUCH_COLUMN"}));
    EXPECT_EQ(indexes_for(v5_0_51),
              (std::vector<std::string>{"INDEX `I400` (`T200A`, `T200B`)"}));  // 400 <= 500
    EXPECT_TRUE(indexes_for(v4_0_23).empty());                                 // 400 > 256
}

TEST_F(clause_test, the_index_count_is_limited_by_version) {
    add(4, u"N", VT_I4);
    for (int i = 0; i < 40; ++i) {
        indexes.add(index(u"I" + tk_widen_ascii(std::to_string(i)), {u"N"}));
    }
    EXPECT_EQ(indexes_for(v5_0_51).size(), 31u);
    EXPECT_EQ(indexes_for(v4_0_23).size(), 15u);
}

TEST_F(clause_test, an_index_of_more_than_16_columns_is_skipped_and_not_counted) {
    std::vector<std::u16string> many;
    for (int i = 0; i < 17; ++i) {
        const std::u16string name = u"C" + tk_widen_ascii(std::to_string(i));
        add(1, name, VT_I1);
        many.push_back(name);
    }
    indexes.add(index(u"WIDE", many));
    for (int i = 0; i < 31; ++i) {
        indexes.add(index(u"I" + tk_widen_ascii(std::to_string(i)), {u"C0"}));
    }
    const auto chunks = indexes_for(v5_0_51);
    EXPECT_EQ(chunks.size(), 31u);
    EXPECT_EQ(chunks[0], "INDEX `I0` (`C0`)");
}

TEST_F(clause_test, an_auto_increment_column_gets_an_index_unless_one_starts_with_it) {
    add(4, u"ID", VT_I4, false, true);
    add(4, u"A", VT_I4);
    EXPECT_EQ(indexes_for(v5_0_51), (std::vector<std::string>{"INDEX `ID` (`ID`)"}));

    // A key that holds the column second does not count: InnoDB wants it first.
    indexes.add(index(u"AID", {u"A", u"ID"}));
    EXPECT_EQ(indexes_for(v5_0_51),
              (std::vector<std::string>{"INDEX `AID` (`A`, `ID`)", "INDEX `ID` (`ID`)"}));

    indexes.clear();
    indexes.add(index(u"PK", {u"ID"}, false, true));
    EXPECT_EQ(indexes_for(v5_0_51), (std::vector<std::string>{"PRIMARY KEY (`ID`)"}));

    // An index named like the column already exists: the extra index takes another name.
    indexes.clear();
    indexes.add(index(u"ID", {u"A"}));
    const auto chunks = indexes_for(v5_0_51);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[1], "INDEX `ID00000` (`ID`)");
}

TEST_F(clause_test, a_primary_key_over_a_blob_still_leaves_the_auto_column_indexed) {
    add(4, u"ID", VT_I4, false, true);
    add(0, u"DOC", VT_BLOB);
    indexes.add(index(u"PK", {u"ID", u"DOC"}, false, true));
    EXPECT_EQ(indexes_for(v5_0_51), (std::vector<std::string>{"INDEX `ID` (`ID`)"}));
}

TEST_F(clause_test, renamed_columns_are_named_in_the_index_clauses) {
    add(4, u"select", VT_I4);
    indexes.add(index(u"IX", {u"select"}));
    EXPECT_EQ(indexes_for(v4_0_23), (std::vector<std::string>{"INDEX IX (select00000)"}));
}

TEST_F(clause_test, the_table_options_follow_the_version_and_the_table_type) {
    struct option_case {
        uint32_t version;
        int32_t type;
        const char16_t* clause;
    };
    const option_case cases[] = {
        {v3_23_58, sql_engine::innodb, u" TYPE=InnoDB"},
        {v4_0_22, sql_engine::innodb, u" TYPE=InnoDB"},
        {v4_0_23, sql_engine::innodb, u" ENGINE=InnoDB"},
        {v3_23_30, sql_engine::innodb, u" TYPE=MyISAM"},
        {v5_0_51, sql_engine::myisam, u" ENGINE=MyISAM"},
        {v3_23_58, sql_engine::myisam, u" TYPE=MyISAM"},
    };
    for (const option_case& c : cases) {
        EXPECT_EQ(sql_database::table_option_clause(c.version, c.type), c.clause) << c.version;
    }
}

TEST_F(clause_test, quote_name_doubles_backquotes_from_4_1) {
    engine.set_server_version(v4_1_0);
    EXPECT_EQ(engine.quote_name(u"my db"), u"`my db`");
    EXPECT_EQ(engine.quote_name(u"a`b"), u"`a``b`");
    EXPECT_EQ(engine.quote_name(u"x` ; DROP TABLE t; `"), u"`x`` ; DROP TABLE t; ```");
    engine.set_server_version(v4_0_23);
    EXPECT_EQ(engine.quote_name(u"my db"), u"my db");
}

TEST_F(clause_test, the_engine_is_a_single_instance) {
    EXPECT_EQ(&sql_engine::instance(), &engine);
    EXPECT_THROW(sql_engine second, tk_mail_assertion);
}

}  // namespace
