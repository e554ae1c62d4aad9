// The classic dumps written by Oracle's own exp (../shared/fixtures/classic): every one opens,
// every row of every table reads without an error, the table lists and row counts are those the
// fixtures' README states, and the values it names come back. The README is read at run time so
// that its facts live in one place. Skips when the fixtures are absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dump_test_harness.h"
#include "mini_json.h"

namespace {

namespace fs = std::filesystem;

std::string fixtures_dir() {
    const char* src = std::getenv("VELT_SOURCE_DIR");
    if (!src)
        return {};
    fs::path p = fs::path(src) / ".." / "shared" / "fixtures";
    std::error_code ec;
    if (!fs::is_directory(p / "classic", ec))
        return {};
    return p.lexically_normal().string();
}

#define SKIP_WITHOUT_FIXTURES()                                    \
    const std::string dir = fixtures_dir();                        \
    if (dir.empty()) {                                             \
        GTEST_SKIP() << "no ../shared/fixtures beside the source"; \
    }                                                              \
    static_assert(true)

// What the README says about one classic dump.
struct readme_dump {
    std::string file;
    std::string version;
    int database = 0, national = 0, session = 0;
    int tables = 0, rows = 0;
    std::vector<std::pair<std::string, int>> table_rows;
};

std::vector<readme_dump> read_readme(const std::string& dir) {
    std::ifstream in(dir + "/README.md");
    std::vector<readme_dump> out;
    std::string line;
    const std::regex head(R"(^### classic/(\S+\.dmp)\s*$)");
    const std::regex facts(
        R"(^(EXPORT:V[0-9.]+); database character set (\d+), national (\d+), export session (\d+); (\d+) tables, (\d+) rows\.)");
    const std::regex entry(R"(([A-Z0-9_$#]+) \((\d+)\))");
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, head)) {
            out.emplace_back();
            out.back().file = m[1];
        } else if (!out.empty() && std::regex_search(line, m, facts)) {
            readme_dump& d = out.back();
            d.version = m[1];
            d.database = std::stoi(m[2]);
            d.national = std::stoi(m[3]);
            d.session = std::stoi(m[4]);
            d.tables = std::stoi(m[5]);
            d.rows = std::stoi(m[6]);
        } else if (!out.empty() && line.rfind("Tables (rows):", 0) == 0) {
            for (auto it = std::sregex_iterator(line.begin(), line.end(), entry);
                 it != std::sregex_iterator(); ++it)
                out.back().table_rows.emplace_back((*it)[1], std::stoi((*it)[2]));
        }
    }
    return out;
}

// Reads every row of every table; returns table name -> row count and records failures.
std::map<std::string, int> read_everything(dump_harness& h, const std::string& where) {
    std::map<std::string, int> counts;
    for (const auto& name : h.file().table_names()) {
        std::string n = tk_to_utf8(name);
        table_read r = h.read(name);
        EXPECT_FALSE(r.failed) << where << " table " << n << ": " << r.error << " after "
                               << r.rows.size() << " rows";
        counts[n] = static_cast<int>(r.rows.size());
    }
    return counts;
}

TEST(real_dumps, every_classic_dump_reads_whole_with_the_readme_counts) {
    SKIP_WITHOUT_FIXTURES();
    std::vector<readme_dump> facts = read_readme(dir);
    ASSERT_GE(facts.size(), 10u) << "the README's classic sections were not found";
    std::set<std::string> described;
    for (const auto& f : facts) {
        SCOPED_TRACE(f.file);
        described.insert(f.file);
        dump_harness h;
        thrown e = catch_thrown([&] { h.open_path(dir + "/classic/" + f.file); });
        ASSERT_EQ(e.type, "none") << e.text;
        EXPECT_EQ(h.reader().progress(), 100);
        EXPECT_EQ(h.reader().version_word().substr(0, f.version.size()), f.version);
        EXPECT_EQ(h.reader().charset_id(), f.database);
        EXPECT_EQ(h.reader().ncharset_id(), f.national);
        EXPECT_EQ(h.reader().session_charset_id(), f.session);
        EXPECT_FALSE(h.reader().b_compound());
        EXPECT_FALSE(h.reader().b_multifile_first());
        std::map<std::string, int> counts = read_everything(h, f.file);
        EXPECT_EQ(static_cast<int>(counts.size()), f.tables);
        int total = 0;
        for (const auto& [n, c] : counts) total += c;
        EXPECT_EQ(total, f.rows);
        std::map<std::string, int> want(f.table_rows.begin(), f.table_rows.end());
        EXPECT_EQ(counts, want);
    }
    // Every classic dump in the folder is covered by the README.
    for (const auto& e : fs::directory_iterator(dir + "/classic")) {
        if (e.path().extension() != ".dmp")
            continue;
        EXPECT_TRUE(described.count(e.path().filename().string())) << e.path();
    }
}

// ---- The values the README names --------------------------------------------------------------

class real_table {
public:
    real_table(dump_harness& h, const std::u16string& name, size_t max_rows = SIZE_MAX) {
        t = h.table(name);
        if (!t)
            throw std::runtime_error("no table " + tk_to_utf8(name));
        for (size_t i = 0; i < t->schema().size(); ++i)
            columns.push_back(tk_to_utf8(t->schema()[i].name()));
        dump_harness::read_cursor(*t, read, max_rows);
    }
    // The text of a column of a row (1-based row number).
    std::string at(size_t row, const std::string& column) const {
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i] == column)
                return read.rows.at(row - 1).at(i);
        throw std::runtime_error("no column " + column);
    }
    std::vector<std::string> row(size_t n) const { return read.rows.at(n - 1); }

    std::unique_ptr<udb_recordset> t;
    std::vector<std::string> columns;
    table_read read;
};

std::vector<std::string> first(const std::vector<std::string>& v, size_t n) {
    return std::vector<std::string>(v.begin(),
                                    v.begin() + static_cast<long>(std::min(n, v.size())));
}

TEST(real_dumps, exptest_v12_1) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v12-01_exptest.dmp");
    real_table t1(h, u"TABLE1");
    EXPECT_FALSE(t1.read.failed) << t1.read.error;
    EXPECT_EQ(t1.row(1), (std::vector<std::string>{"1", "123", "3.56789", "STRING 1 TEST",
                                                   "2023-11-01 08:40:28", "NULL", "NULL"}));
    EXPECT_EQ(t1.row(2), (std::vector<std::string>{"2", "456", "1.23",
                                                   "STRING 2 TEST sadf asdf asdf asdf asdf",
                                                   "2022-01-01 01:40:11", "NULL", "NULL"}));
    EXPECT_EQ(t1.at(6, "TIMESTAMP1").substr(0, 19), "2022-06-02 08:45:40");
    real_table t2(h, u"TABLE2");
    EXPECT_EQ(t2.row(1), (std::vector<std::string>{"K1", "1", "14"}));
    EXPECT_EQ(t2.row(2), (std::vector<std::string>{"K2", "0.2", "2.99992"}));
}

TEST(real_dumps, hr_with_korean_session_and_utf8_database) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v11-02_ko16mswin949_al32utf8_hr.dmp");
    real_table e(h, u"EMPLOYEES");
    EXPECT_EQ(e.row(1), (std::vector<std::string>{"100", "Steven", "King", "SKING", "515.123.4567",
                                                  "2003-06-17 00:00:00", "AD_PRES", "24000", "NULL",
                                                  "NULL", "90"}));
    // The HR schema's keys come through the ALTER TABLE statements.
    bool primary = false;
    for (const auto& ix : e.t->indexes())
        if (ix.b_primary && ix.fields == std::vector<std::u16string>{u"EMPLOYEE_ID"})
            primary = true;
    EXPECT_TRUE(primary);
}

TEST(real_dumps, scott_in_ko16mswin949) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v11-02_ko16mswin949_scott.dmp");
    real_table dept(h, u"DEPT");
    EXPECT_EQ(dept.row(1), (std::vector<std::string>{"10", "ACCOUNTING", "NEW YORK"}));
    real_table emp(h, u"EMP");
    ASSERT_EQ(emp.read.rows.size(), 15u);
    bool smith = false, tester = false;
    for (const auto& r : emp.read.rows) {
        if (r[0] == "7369") {
            smith = true;
            EXPECT_EQ(r, (std::vector<std::string>{"7369", "SMITH", "CLERK", "7902",
                                                   "1980-12-17 00:00:00", "800", "NULL", "20"}));
        }
        if (r[0] == "7877") {
            tester = true;
            EXPECT_EQ(first(r, 4), (std::vector<std::string>{"7877", "Tester", "clerk", "7799"}));
            EXPECT_EQ(r[4], "NULL");
        }
    }
    EXPECT_TRUE(smith);
    EXPECT_TRUE(tester);
    real_table sal(h, u"SALGRADE");
    EXPECT_EQ(sal.row(1), (std::vector<std::string>{"1", "700", "1200"}));
    // One primary key per table, and the foreign key of the late ALTER TABLE section adds none.
    ASSERT_EQ(emp.t->indexes().size(), 2u);
    EXPECT_EQ(emp.t->indexes()[0].name, u"PK_EMP");
    EXPECT_TRUE(emp.t->indexes()[1].b_primary);
}

TEST(real_dumps, emp_v11_1) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v11-01_we8mswin1252_emp.dmp");
    real_table emp(h, u"EMP");
    EXPECT_EQ(emp.row(1), (std::vector<std::string>{"7369", "SMITH", "CLERK", "7902",
                                                    "1980-12-17 00:00:00", "6000", "NULL", "20"}));
    // CREATE INDEX "JUP" ON "EMP" (UPPER("ENAME")) is an expression index: not taken.
    for (const auto& ix : emp.t->indexes()) EXPECT_NE(ix.name, u"JUP");
}

TEST(real_dumps, japanese_session_utf8_database) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v10-02_ja16sjistilde_al32utf8_long.dmp");
    real_table e(h, u"T_EMPLOYEE");
    EXPECT_EQ(
        first(e.row(1), 8),
        (std::vector<std::string>{"4", "4444", "\u6C34\u6238\u5BDB\u6A39", "222-2213",
                                  "\u5C90\u961C\u770C\u9AD8\u5C71\u5E02\u677E\u4E4B\u6728\u753A",
                                  "10-20-1", "6543212", "40"}));
    real_table a(h, u"T_ADMIN");
    EXPECT_EQ(a.row(1), (std::vector<std::string>{"1", "1111",
                                                  "\u7BA1\u7406\u8005"
                                                  "1"}));
}

TEST(real_dumps, gbk_database) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v11-02_zhs16gbk_87tables.dmp");
    real_table b(h, u"CPY_BRANCH", 1);
    EXPECT_EQ(b.at(1, "BRANCH_ID"), "00000000");
    EXPECT_EQ(b.at(1, "BRANCH_NAME"), "\u5168\u56FD");
    real_table l(h, u"SYS_BRANCH_LEVEL", 1);
    EXPECT_EQ(first(l.row(1), 3), (std::vector<std::string>{"7", "0", "\u96C6\u56E2"}));
}

TEST(real_dumps, gbk_session_utf8_database) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v10-02_zhs16gbk_al32utf8.dmp");
    real_table b(h, u"BOOK", 1);
    EXPECT_EQ(first(b.row(1), 3), (std::vector<std::string>{"11", "testBookData", "23.88"}));
}

TEST(real_dumps, char_columns_keep_their_padding_v8_1_5) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v08-01-05_we8iso8859p1_lobs.dmp");
    real_table d(h, u"DISTRICT_MASTER", 1);
    EXPECT_EQ(first(d.row(1), 2),
              (std::vector<std::string>{"d002 ", "Arwal" + std::string(25, ' ')}));
}

TEST(real_dumps, addresses_and_timestamps_v12_1) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v12-01_us7ascii_we8mswin1252_blob.dmp");
    real_table a(h, u"ADDRESSES", 1);
    EXPECT_EQ(a.row(1),
              (std::vector<std::string>{"101", "1717 Harrison St", "NULL", "San Francisco", "94103",
                                        "CA", "US", "-122.413349", "37.769262", "0",
                                        "2014-01-10 13:04:20", "0", "2014-01-10 13:04:20", "0"}));
    real_table s(h, u"ALPHA_SERVICES_STATS", 1);
    EXPECT_EQ(s.at(1, "UPDATE_TIMESTAMP").substr(0, 19), "2014-01-15 09:26:22");
}

// The PNG images of STUDENTFILE reassemble exactly: each is a complete PNG whose chunks add up to
// its length and end with IEND.
TEST(real_dumps, png_blobs_v19) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v19_zhs16gbk_al32utf8_blob_png.dmp");
    auto t = h.table(u"STUDENTFILE");
    ASSERT_TRUE(t);
    size_t img = 0;
    for (size_t i = 0; i < t->schema().size(); ++i)
        if (t->schema()[i].name() == u"STUIMG")
            img = i;
    ASSERT_EQ(t->schema()[img].vartype(), VT_BLOB);
    t->reset();
    size_t rows = 0, pngs = 0;
    while (!t->is_eof()) {
        udb_record* r = t->get_item();
        ASSERT_TRUE(r);
        const ole_variant& v = (*r)[img];
        if (rows == 0) {
            std::vector<std::string> texts;
            for (size_t i = 0; i < r->size(); ++i)
                texts.push_back(i == img ? "PNG" : value_text((*r)[i]));
            EXPECT_EQ(texts, (std::vector<std::string>{"20201088", "61012620020826", "17", "\u5973",
                                                       "2005-01-01 00:00:00", "PNG", "1300000088",
                                                       "\u9655\u897F\u7701\u897F\u5B89\u5E02",
                                                       "2022", "5", "\u975E\u8D2B\u56F0"}));
        }
        if (v.is_binary()) {
            auto b = v.binary();
            ASSERT_GE(b.size(), 8u + 12u);
            const uint8_t sig[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
            EXPECT_TRUE(std::equal(sig, sig + 8, b.begin()));
            size_t p = 8;
            std::string last;
            while (p + 12 <= b.size()) {
                size_t len =
                    static_cast<size_t>(b[p]) << 24 | b[p + 1] << 16 | b[p + 2] << 8 | b[p + 3];
                last.assign(reinterpret_cast<const char*>(&b[p + 4]), 4);
                p += 12 + len;
            }
            EXPECT_EQ(p, b.size());
            EXPECT_EQ(last, "IEND");
            const uint8_t tail[4] = {0xAE, 0x42, 0x60, 0x82};
            EXPECT_TRUE(std::equal(tail, tail + 4, b.end() - 4));
            ++pngs;
        }
        ++rows;
        t->next();
    }
    EXPECT_EQ(rows, 106u);
    EXPECT_EQ(pngs, 101u);
}

TEST(real_dumps, empty_clobs_are_empty_text) {
    SKIP_WITHOUT_FIXTURES();
    dump_harness h;
    h.open_path(dir + "/classic/v11-02_we8mswin1252_empty_clobs.dmp");
    real_table item(h, u"ITEM");
    ASSERT_FALSE(item.read.failed) << item.read.error;
    ASSERT_EQ(item.read.rows.size(), 10u);
    // ITEMDESCRIPTION: every entry after the rows has length 0.
    for (size_t r = 1; r <= 10; ++r) EXPECT_EQ(item.at(r, "ITEMDESCRIPTION"), "") << r;
}

// ---- veltinspect on every real dump -----------------------------------------------------------

#ifdef VELTINSPECT_PATH
// Runs veltinspect and returns its standard output; the exit status goes to `status`.
std::string run_inspect(const std::string& dump, int& status) {
    std::string command = std::string("'") + VELTINSPECT_PATH + "' '" + dump + "' --json --rows 2";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        throw std::runtime_error("cannot start " + command);
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    status = pclose(p);
    return out;
}

TEST(real_dumps, veltinspect_json_has_the_readme_counts) {
    SKIP_WITHOUT_FIXTURES();
    for (const auto& f : read_readme(dir)) {
        SCOPED_TRACE(f.file);
        int status = -1;
        std::string out = run_inspect(dir + "/classic/" + f.file, status);
        EXPECT_EQ(status, 0);
        mini_json doc;
        std::string error;
        ASSERT_TRUE(mini_json::parse(out, doc, error)) << error;
        EXPECT_EQ(doc["version"].s.substr(0, f.version.size()), f.version);
        EXPECT_EQ(doc["charset_id"].n, f.database);
        EXPECT_EQ(doc["ncharset_id"].n, f.national);
        EXPECT_EQ(doc["session_charset_id"].n, f.session);
        std::vector<std::string> names;
        for (const auto& n : doc["table_names"].items) names.push_back(n.s);
        std::vector<std::string> want_names;
        for (const auto& [n, c] : f.table_rows) want_names.push_back(n);
        std::sort(want_names.begin(), want_names.end());
        EXPECT_EQ(names, want_names);
        std::map<std::string, int> counts;
        for (const auto& t : doc["tables"].items) {
            EXPECT_FALSE(t.has("error")) << t["name"].s << ": " << t["error"].s;
            EXPECT_FALSE(t.has("row_errors")) << t["name"].s;
            counts[t["name"].s] = static_cast<int>(t["row_count"].n);
            EXPECT_LE(t["rows"].items.size(), 2u);
        }
        EXPECT_EQ(counts, (std::map<std::string, int>(f.table_rows.begin(), f.table_rows.end())));
    }
}

TEST(real_dumps, veltinspect_refuses_a_damaged_dump) {
    SKIP_WITHOUT_FIXTURES();
    int status = -1;
    std::string out = run_inspect(dir + "/corrupt/dp12-02_mangled_utf8.dmp", status);
    EXPECT_NE(status, 0);
}
#endif

}  // namespace
