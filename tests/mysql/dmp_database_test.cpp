// The dump-script writer: the exact bytes of small scripts under every option, both syntaxes and
// both line-break styles, the foreign-key section, value literals as they reach the file, and
// the failures of a script that cannot be created or written.
#include "dmp_database.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "dmp_recordset.h"
#include "ole_variant.h"
#include "sql_engine.h"
#include "tk_exception.h"
#include "tk_text.h"
#include "udb_column.h"
#include "udb_field.h"
#include "udb_index.h"
#include "udb_record.h"
#include "udb_relationship.h"
#include "udb_schema.h"

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string with_line_end(const std::string& lf_text, bool crlf) {
    if (!crlf)
        return lf_text;
    std::string out;
    for (char c : lf_text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_year + 1900);
    return text;
}

std::string header(const std::string& path, const std::string& date) {
    return "# File name: " + path + "\n# Creation date: " + date +
           "\n# Created by Veltrane 4.1 \n"
           "# --------------------------------------------------\n"
           "# More conversion tools at https://www.quillmark.com/\n";
}

std::unique_ptr<udb_column> column(const char16_t* name, VARTYPE type, int32_t size,
                                   bool not_null = false, const ole_variant& def = ole_variant(),
                                   int32_t flags = 0) {
    return std::make_unique<udb_column>(size, name, type, not_null, false, def, flags);
}

std::unique_ptr<udb_record> record(std::vector<ole_variant> values) {
    auto r = std::make_unique<udb_record>();
    for (size_t i = 0; i < values.size(); ++i) {
        r->add(std::make_unique<udb_field>(u"F" + tk_widen_ascii(std::to_string(i)), 0, values[i]));
    }
    return r;
}

// A folder of its own per test, removed at the end.
class dmp_test : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("velt_dmp_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_engine = std::make_unique<sql_engine>();
        m_engine->set_table_type(sql_engine::innodb);
    }
    void TearDown() override {
        m_engine.reset();
        std::error_code ignored;
        fs::permissions(m_dir, fs::perms::owner_all, ignored);
        fs::remove_all(m_dir, ignored);
    }

    static dmp_settings settings(bool new_ver, bool lock, bool comments, bool create_db,
                                 bool create_tab, int32_t line_break) {
        dmp_settings s;
        s.line_break = line_break;
        s.b_new_ver = new_ver;
        s.b_add_lock = lock;
        s.b_ins_comments = comments;
        s.b_create_db = create_db;
        s.b_create_tab = create_tab;
        s.title = "Veltrane 4.1 ";
        return s;
    }

    // The table T of ID (INT NOT NULL) and NAME (VARCHAR(20)) with the row (1, 'x').
    void write_t(dmp_database& db) {
        udb_schema schema(true);
        schema.add(column(u"ID", VT_I4, 4, true));
        schema.add(column(u"NAME", VT_BSTR, 20));
        std::unique_ptr<udb_recordset> rs = db.create_table(u"T", schema, udb_indexes());
        ASSERT_NE(rs, nullptr);
        auto row = record({ole_variant(1), ole_variant(u"x")});
        rs->append_record(*row);
    }

    fs::path m_dir;
    std::unique_ptr<sql_engine> m_engine;
};

struct script_case {
    const char* label;
    bool new_ver, lock, comments, create_db, create_tab;
    // What follows the header (present when comments are on), with LF line ends.
    std::string body;
};

const std::string new_t_structure =
    "DROP TABLE IF EXISTS `T`;\n"
    "CREATE TABLE `T` (\n"
    "  `ID` INT NOT NULL,\n"
    "  `NAME` VARCHAR(20) CHARACTER SET utf8 \n"
    ") ENGINE=InnoDB;\n";
const std::string old_t_structure =
    "DROP TABLE IF EXISTS T;\n"
    "CREATE TABLE T (\n"
    "  ID INT NOT NULL,\n"
    "  NAME VARCHAR(20)\n"
    ") TYPE=MyISAM;\n";
const std::string structure_comment = "\n#\n# Table structure for table 'T'\n#\n\n";
const std::string data_comment = "\n#\n# Dumping data for table 'T'\n#\n\n";

const script_case script_cases[] = {
    {"everything, new syntax", true, true, true, true, true,
     "\nDROP DATABASE IF EXISTS `db`;\nCREATE DATABASE `db`;\nUSE `db`;\n" + structure_comment +
         new_t_structure + data_comment +
         "LOCK TABLES `T` WRITE;\nINSERT INTO `T` VALUES(1, 'x');\nUNLOCK TABLES;\n"},
    {"everything, old syntax", false, true, true, true, true,
     "\nDROP DATABASE IF EXISTS db;\nCREATE DATABASE db;\nUSE db;\n" + structure_comment +
         old_t_structure + data_comment +
         "LOCK TABLES T WRITE;\nINSERT INTO T VALUES(1, 'x');\nUNLOCK TABLES;\n"},
    {"nothing but rows", true, false, false, false, false, "INSERT INTO `T` VALUES(1, 'x');\n"},
    {"nothing but rows, old syntax", false, false, false, false, false,
     "INSERT INTO T VALUES(1, 'x');\n"},
    {"lock only", true, true, false, false, false,
     "LOCK TABLES `T` WRITE;\nINSERT INTO `T` VALUES(1, 'x');\nUNLOCK TABLES;\n"},
    {"comments only", true, false, true, false, false,
     data_comment + "INSERT INTO `T` VALUES(1, 'x');\n"},
    {"database without tables writes no database statements", true, false, true, true, false,
     data_comment + "INSERT INTO `T` VALUES(1, 'x');\n"},
    {"tables only", true, false, false, false, true,
     new_t_structure + "INSERT INTO `T` VALUES(1, 'x');\n"},
    {"database and tables, old syntax, no comments", false, false, false, true, true,
     "\nDROP DATABASE IF EXISTS db;\nCREATE DATABASE db;\nUSE db;\n" + old_t_structure +
         "INSERT INTO T VALUES(1, 'x');\n"},
    {"tables with comments and lock", true, true, true, false, true,
     structure_comment + new_t_structure + data_comment +
         "LOCK TABLES `T` WRITE;\nINSERT INTO `T` VALUES(1, 'x');\nUNLOCK TABLES;\n"},
};

TEST_F(dmp_test, script_bytes_for_each_option_set) {
    for (const script_case& c : script_cases) {
        for (int32_t line_break : {0, 1}) {
            SCOPED_TRACE(std::string(c.label) + (line_break == 0 ? ", CR LF" : ", LF"));
            const fs::path path = m_dir / "db.sql";
            const std::string before = today();
            {
                dmp_database db(
                    tk_from_utf8(path.string()),
                    settings(c.new_ver, c.lock, c.comments, c.create_db, c.create_tab, line_break),
                    *m_engine);
                EXPECT_EQ(m_engine->server_version(), c.new_ver ? 0x40100u : 0x31401u);
                write_t(db);
                db.close();
            }
            const std::string after = today();
            const std::string text = read_file(path);
            const bool crlf = line_break == 0;
            std::string expected = with_line_end(c.body, crlf);
            if (c.comments) {
                const std::string h1 = with_line_end(header(path.string(), before), crlf);
                const std::string h2 = with_line_end(header(path.string(), after), crlf);
                EXPECT_TRUE(text == h1 + expected || text == h2 + expected) << text;
            } else {
                EXPECT_EQ(text, expected);
            }
        }
    }
}

// Every one of the 64 combinations keeps the rules that hold across options.
TEST_F(dmp_test, every_option_combination_keeps_its_rules) {
    for (int bits = 0; bits < 64; ++bits) {
        const bool new_ver = bits & 1, lock = bits & 2, comments = bits & 4, create_db = bits & 8,
                   create_tab = bits & 16;
        const int32_t line_break = (bits & 32) ? 1 : 0;
        SCOPED_TRACE("combination " + std::to_string(bits));
        const fs::path path = m_dir / "shop.sql";
        {
            dmp_database db(tk_from_utf8(path.string()),
                            settings(new_ver, lock, comments, create_db, create_tab, line_break),
                            *m_engine);
            write_t(db);
            db.close();
        }
        const std::string text = read_file(path);
        const auto has = [&](const char* what) { return text.find(what) != std::string::npos; };
        EXPECT_EQ(has("\r"), line_break == 0);
        if (line_break == 0) {
            for (size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '\n') {
                    ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
                }
            }
        }
        EXPECT_EQ(has("LOCK TABLES"), lock);
        EXPECT_EQ(has("UNLOCK TABLES;"), lock);
        EXPECT_EQ(has("#"), comments);
        EXPECT_EQ(has("CREATE DATABASE"), create_db && create_tab);
        EXPECT_EQ(has(new_ver ? "USE `shop`;" : "USE shop;"), create_db && create_tab);
        EXPECT_EQ(has("CREATE TABLE"), create_tab);
        EXPECT_EQ(has("DROP TABLE IF EXISTS"), create_tab);
        EXPECT_EQ(has("TYPE=MyISAM"), create_tab && !new_ver);
        EXPECT_EQ(has("`"), new_ver);
        EXPECT_TRUE(
            has(new_ver ? "INSERT INTO `T` VALUES(1, 'x');" : "INSERT INTO T VALUES(1, 'x');"));
    }
}

TEST_F(dmp_test, storage_engine_follows_the_table_type) {
    m_engine->set_table_type(sql_engine::myisam);
    const fs::path path = m_dir / "t.sql";
    {
        dmp_database db(tk_from_utf8(path.string()), settings(true, false, false, false, true, 1),
                        *m_engine);
        write_t(db);
        db.close();
    }
    EXPECT_NE(read_file(path).find("\n) ENGINE=MyISAM;\n"), std::string::npos);
}

TEST_F(dmp_test, two_tables_foreign_keys_and_statements) {
    const fs::path path = m_dir / "fk.sql";
    {
        dmp_database db(tk_from_utf8(path.string()), settings(true, true, false, false, true, 1),
                        *m_engine);
        udb_schema dept(true);
        dept.add(column(u"ID", VT_I4, 4, true));
        dept.add(column(u"NAME", VT_BSTR, 20));
        udb_indexes dept_idx;
        dept_idx.add(udb_index{u"PK_DEPT", true, true, {u"ID"}});
        auto rs = db.create_table(u"DEPT", dept, dept_idx);
        auto row = record({ole_variant(1), ole_variant(u"x")});
        rs->append_record(*row);
        rs.reset();

        // DEPT#NO gets a safe name; the foreign key must follow it.
        udb_schema emp(true);
        emp.add(column(u"ID", VT_I4, 4, true));
        emp.add(column(u"DEPT#NO", VT_I4, 4));
        emp.add(column(u"BOSS", VT_I4, 4));
        udb_indexes emp_idx;
        emp_idx.add(udb_index{u"PK_EMP", true, true, {u"ID"}});
        emp_idx.add(udb_index{u"IX_BOSS", false, false, {u"BOSS", u"ID"}});
        rs = db.create_table(u"EMP", emp, emp_idx);
        row = record({ole_variant(7), ole_variant(1), ole_variant()});
        rs->append_record(*row);
        row = record({ole_variant(8), ole_variant(), ole_variant(7)});
        rs->append_record(*row);
        rs.reset();

        EXPECT_EQ(db.query_records(u"ALTER TABLE `EMP` MODIFY `BOSS` INT"), nullptr);
        EXPECT_FALSE(db.query(u"SELECT 1"));

        std::vector<udb_relationship> fks;
        fks.push_back({u"FK_EMP_DEPT", u"", u"EMP", u"DEPT", u"", {u"DEPT#NO"}, {u"ID"}});
        fks.push_back({u"FK_EMP_BOSS", u"", u"emp", u"EMP", u"", {u"BOSS"}, {u"ID"}});
        fks.push_back({u"", u"", u"EMP", u"DEPT", u"", {u"ID"}, {u"ID"}});
        fks.push_back({u"FK_LOST", u"", u"EMP", u"NOT_CONVERTED", u"", {u"ID"}, {u"ID"}});
        db.create_relationships(fks);
        db.close();
    }
    EXPECT_EQ(read_file(path),
              "DROP TABLE IF EXISTS `DEPT`;\n"
              "CREATE TABLE `DEPT` (\n"
              "  `ID` INT NOT NULL,\n"
              "  `NAME` VARCHAR(20) CHARACTER SET utf8 ,\n"
              "  PRIMARY KEY (`ID`)\n"
              ") ENGINE=InnoDB;\n"
              "LOCK TABLES `DEPT` WRITE;\n"
              "INSERT INTO `DEPT` VALUES(1, 'x');\n"
              "UNLOCK TABLES;\n"
              "DROP TABLE IF EXISTS `EMP`;\n"
              "CREATE TABLE `EMP` (\n"
              "  `ID` INT NOT NULL,\n"
              "  `DEPT_NO` INT,\n"
              "  `BOSS` INT,\n"
              "  PRIMARY KEY (`ID`),\n"
              "  INDEX `IX_BOSS` (`BOSS`, `ID`)\n"
              ") ENGINE=InnoDB;\n"
              "LOCK TABLES `EMP` WRITE;\n"
              "INSERT INTO `EMP` VALUES(7, 1, NULL);\n"
              "INSERT INTO `EMP` VALUES(8, NULL, 7);\n"
              "UNLOCK TABLES;\n"
              "ALTER TABLE `EMP` MODIFY `BOSS` INT;\n"
              "\n"
              "SET FOREIGN_KEY_CHECKS = 0;\n"
              "ALTER TABLE `EMP` ADD INDEX (`DEPT_NO`);\n"
              "ALTER TABLE `EMP` ADD CONSTRAINT `FK_EMP_DEPT` FOREIGN KEY(`DEPT_NO`) REFERENCES "
              "`DEPT`(`ID`);\n"
              "ALTER TABLE `EMP` ADD CONSTRAINT `FK_EMP_BOSS` FOREIGN KEY(`BOSS`) REFERENCES "
              "`EMP`(`ID`);\n"
              "ALTER TABLE `EMP` ADD FOREIGN KEY(`ID`) REFERENCES `DEPT`(`ID`);\n"
              "SET FOREIGN_KEY_CHECKS = 1;\n");
}

TEST_F(dmp_test, old_syntax_writes_no_foreign_keys) {
    const fs::path path = m_dir / "old.sql";
    {
        dmp_database db(tk_from_utf8(path.string()), settings(false, true, false, false, false, 1),
                        *m_engine);
        write_t(db);
        db.create_relationships({{u"FK", u"", u"T", u"T", u"", {u"ID"}, {u"ID"}}});
        db.close();
    }
    EXPECT_EQ(read_file(path),
              "LOCK TABLES T WRITE;\nINSERT INTO T VALUES(1, 'x');\nUNLOCK TABLES;\n");
}

TEST_F(dmp_test, the_lock_is_closed_by_whoever_writes_next) {
    const fs::path path = m_dir / "lock.sql";
    {
        dmp_database db(tk_from_utf8(path.string()), settings(true, true, false, false, false, 1),
                        *m_engine);
        write_t(db);
        EXPECT_TRUE(m_engine->b_lock_open());
        db.query_records(u"SELECT 1");
        EXPECT_FALSE(m_engine->b_lock_open());
        db.query_records(u"SELECT 2");
        udb_schema schema(true);
        schema.add(column(u"A", VT_I2, 2));
        auto rs = db.create_table(u"U", schema, udb_indexes());
        EXPECT_TRUE(m_engine->b_lock_open());
        // Released without close(): the destructor still ends the lock.
    }
    EXPECT_FALSE(m_engine->b_lock_open());
    EXPECT_EQ(read_file(path),
              "LOCK TABLES `T` WRITE;\nINSERT INTO `T` VALUES(1, 'x');\nUNLOCK TABLES;\n"
              "SELECT 1;\nSELECT 2;\nLOCK TABLES `U` WRITE;\nUNLOCK TABLES;\n");
}

TEST_F(dmp_test, values_reach_the_file_whole) {
    const fs::path path = m_dir / "values.sql";
    std::vector<uint8_t> blob(400000);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7 + 3);
    const std::u16string with_nul(u"a\0b", 3);
    ole_systemtime when{};
    when.year = 2004;
    when.month = 5;
    when.day = 6;
    when.hour = 7;
    when.minute = 8;
    when.second = 9;
    {
        dmp_database db(tk_from_utf8(path.string()), settings(true, false, false, false, true, 1),
                        *m_engine);
        udb_schema schema(true);
        schema.add(column(u"TXT", VT_BSTR, 100));
        schema.add(column(u"BIN", VT_BLOB, 0));
        schema.add(column(u"N", VT_I4, 4, true, ole_variant(0)));
        schema.add(column(u"D", VT_DATE, 0, false, ole_variant(), 1));
        auto rs = db.create_table(u"V", schema, udb_indexes());
        auto row = record(
            {ole_variant(u"O'Brien\\x"), ole_variant(blob), ole_variant(), ole_variant(when)});
        rs->append_record(*row);
        row = record({ole_variant(with_nul), ole_variant(), ole_variant(5), ole_variant()});
        rs->append_record(*row);
        row = record({ole_variant(u"\U0001F600 \u00e4"), ole_variant(std::vector<uint8_t>{0x0A}),
                      ole_variant(-3), ole_variant()});
        rs->append_record(*row);
        db.close();
    }
    const std::string text = read_file(path);
    std::string hex = "0x";
    char digits[3];
    for (uint8_t b : blob) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        hex += digits;
    }
    EXPECT_NE(text.find("INSERT INTO `V` VALUES('O\\'Brien\\\\x', " + hex +
                        ", 0, '2004-05-06 07:08:09');\n"),
              std::string::npos);
    EXPECT_NE(text.find("INSERT INTO `V` VALUES('a\\0b', NULL, 5, NULL);\n"), std::string::npos);
    EXPECT_NE(text.find("INSERT INTO `V` VALUES('\xF0\x9F\x98\x80 \xC3\xA4', 0x0A, -3, NULL);\n"),
              std::string::npos);
    // Nothing of a value may cut a statement short: no raw NUL byte reaches the file.
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

TEST_F(dmp_test, rows_are_written_as_they_come) {
    const fs::path path = m_dir / "stream.sql";
    dmp_database db(tk_from_utf8(path.string()), settings(true, false, false, false, true, 1),
                    *m_engine);
    udb_schema schema(true);
    schema.add(column(u"TXT", VT_BSTR, 200));
    auto rs = db.create_table(u"S", schema, udb_indexes());
    const ole_variant value(std::u16string(150, u'z'));
    auto row = record({value});
    while (db.file().size() < 3 * dmp_file::buffer_size) {
        row->at(0).set_value(value);
        rs->append_record(*row);
    }
    // Before the end of the table most of it is already on disk, not held in memory.
    EXPECT_GT(fs::file_size(path), 2 * dmp_file::buffer_size);
    db.close();
    EXPECT_EQ(fs::file_size(path), db.file().size());
}

TEST_F(dmp_test, a_record_that_does_not_fit_the_table_is_refused) {
    const fs::path path = m_dir / "fit.sql";
    dmp_database db(tk_from_utf8(path.string()), settings(true, false, false, false, false, 1),
                    *m_engine);
    udb_schema schema(true);
    schema.add(column(u"A", VT_I4, 4));
    schema.add(column(u"B", VT_I4, 4));
    auto rs = db.create_table(u"T", schema, udb_indexes());
    for (size_t fields : {1u, 3u}) {
        std::vector<ole_variant> values(fields, ole_variant(1));
        auto row = record(values);
        try {
            rs->append_record(*row);
            ADD_FAILURE() << "no error for " << fields << " fields";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 0);
            EXPECT_EQ(
                std::string(e.what()).rfind("The structure of data source does not conform", 0),
                0u);
        }
    }
    db.close();
    EXPECT_EQ(read_file(path), "");
}

TEST_F(dmp_test, misuse_is_an_assertion) {
    dmp_database db(tk_from_utf8((m_dir / "a.sql").string()),
                    settings(true, false, false, false, true, 1), *m_engine);
    write_t(db);
    udb_schema schema(true);
    schema.add(column(u"A", VT_I4, 4));
    EXPECT_THROW(db.create_table(u"t", schema, udb_indexes()), tk_mail_assertion);
    EXPECT_THROW(db.get_table(u"T", 1), tk_mail_assertion);
    EXPECT_EQ(db.get_query(u"Q", u"SELECT 1", 0), nullptr);
    db.close();
    db.close();
}

TEST(dmp_database_name, from_the_file_name) {
    EXPECT_EQ(dmp_database::database_name_of(u"C:\\out\\shop.sql"), u"shop");
    EXPECT_EQ(dmp_database::database_name_of(u"/tmp/out/shop.sql"), u"shop");
    EXPECT_EQ(dmp_database::database_name_of(u"shop"), u"shop");
    EXPECT_EQ(dmp_database::database_name_of(u"/a.b/shop.v2.sql"), u"shop.v2");
}

TEST_F(dmp_test, a_file_name_that_is_no_database_name_gets_a_safe_one) {
    struct {
        const char* file;
        bool new_ver;
        const char* use;
    } cases[] = {
        {"shop.v2.sql", true, "USE `shop_v2`;"},
        {"my shop.sql", true, "USE `my shop`;"},
        {"my shop.sql", false, "USE my_shop;"},
        {"2024.sql", false, "USE _024;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path path = m_dir / c.file;
        {
            dmp_database db(tk_from_utf8(path.string()),
                            settings(c.new_ver, false, false, true, true, 1), *m_engine);
            db.close();
        }
        EXPECT_NE(read_file(path).find(std::string("\n") + c.use + "\n"), std::string::npos)
            << read_file(path);
    }
}

// The reason the system gives for opening `path` for writing, or "" when it can be opened.
std::string open_failure(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return "";
    }
    return std::generic_category().message(errno);
}

void expect_level1_naming(const tk_exception& e, const std::string& path,
                          const std::string& reason) {
    EXPECT_EQ(e.level(), 1);
    const std::string text = e.what();
    EXPECT_NE(text.find("'" + path + "'"), std::string::npos) << text;
    EXPECT_NE(text.find(reason), std::string::npos) << text;
}

TEST_F(dmp_test, a_script_that_cannot_be_created_is_reported) {
    std::vector<fs::path> paths = {m_dir / "missing" / "x.sql", m_dir};
    // A folder without write permission; root may write anyway, so the system's answer decides.
    const fs::path locked = m_dir / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    paths.push_back(locked / "x.sql");
    // A read-only file system, where there is one.
    paths.push_back("/sys/velt_script_test.sql");
    int tried = 0;
    for (const fs::path& path : paths) {
        SCOPED_TRACE(path.string());
        const std::string reason = open_failure(path);
        if (reason.empty())
            continue;
        ++tried;
        try {
            dmp_database db(tk_from_utf8(path.string()), settings(true, true, true, true, true, 0),
                            *m_engine);
            ADD_FAILURE() << "no error";
        } catch (const tk_exception& e) {
            expect_level1_naming(e, path.string(), reason);
        }
    }
    EXPECT_GE(tried, 2);
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(dmp_test, a_full_disk_is_reported_at_the_latest_by_close) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const std::string reason = std::generic_category().message(ENOSPC);
    // Small writes stay in the buffer: the failure shows when the script is finished.
    {
        dmp_database db(u"/dev/full", settings(true, true, true, false, true, 0), *m_engine);
        write_t(db);
        try {
            db.close();
            ADD_FAILURE() << "close reported success";
        } catch (const tk_exception& e) {
            expect_level1_naming(e, "/dev/full", reason);
        }
        // The failure stays: later writes and closes report it again.
        EXPECT_THROW(db.query_records(u"SELECT 1"), tk_exception);
        EXPECT_THROW(db.close(), tk_exception);
    }
    // A row larger than the buffer fails while it is written.
    {
        dmp_database db(u"/dev/full", settings(true, false, false, false, false, 1), *m_engine);
        udb_schema schema(true);
        schema.add(column(u"BIN", VT_BLOB, 0));
        auto rs = db.create_table(u"B", schema, udb_indexes());
        auto row = record({ole_variant(std::vector<uint8_t>(dmp_file::buffer_size, 0x41))});
        try {
            rs->append_record(*row);
            ADD_FAILURE() << "append reported success";
        } catch (const tk_exception& e) {
            expect_level1_naming(e, "/dev/full", reason);
        }
        EXPECT_THROW(rs->append_record(*row), tk_exception);
        // Released without close(): the destructor must not throw.
    }
}

}  // namespace
