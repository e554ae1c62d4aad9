// Every classic dump of the shared fixtures: the reader opens it and reads every row of every
// table, and the facts its README states hold (tables, row counts, known values).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "../dumpreader/dump_test_harness.h"

namespace {

std::filesystem::path fixtures() {
    const char* src = std::getenv("VELT_SOURCE_DIR");
    return std::filesystem::path(src ? src : ".") / ".." / "shared" / "fixtures";
}

struct dump_facts {
    std::string file;
    std::map<std::string, long> rows;
};

std::vector<dump_facts> readme_facts() {
    std::ifstream in(fixtures() / "README.md");
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    std::vector<dump_facts> out;
    std::regex head(R"(### classic/(\S+)\n[^\n]*\n(Tables \(rows\): ([^\n]*)\n)?)");
    for (auto it = std::sregex_iterator(all.begin(), all.end(), head); it != std::sregex_iterator(); ++it) {
        dump_facts f;
        f.file = (*it)[1];
        std::string list = (*it)[3];
        std::regex item(R"(([^,]+?) \((\d+)\)[,.]?\s*)");
        for (auto j = std::sregex_iterator(list.begin(), list.end(), item); j != std::sregex_iterator(); ++j) {
            f.rows[(*j)[1]] = std::stol((*j)[2]);
        }
        out.push_back(f);
    }
    return out;
}

TEST(RealDumps, EveryTableAndRowOfEveryClassicDump) {
    if (!std::filesystem::exists(fixtures() / "README.md")) GTEST_SKIP() << "no shared fixtures";
    std::vector<dump_facts> facts = readme_facts();
    ASSERT_GE(facts.size(), 15u);
    for (const dump_facts& f : facts) {
        dump_harness h;
        h.open_path((fixtures() / "classic" / f.file).string());
        std::map<std::string, long> got;
        for (const std::string& name : h.table_names()) {
            table_read r = h.read(tk_from_utf8(name));
            EXPECT_FALSE(r.failed) << f.file << " " << name << ": " << r.error;
            got[name] = static_cast<long>(r.rows.size());
        }
        EXPECT_EQ(got, f.rows) << f.file;
    }
}

TEST(RealDumps, KnownValues) {
    if (!std::filesystem::exists(fixtures() / "README.md")) GTEST_SKIP() << "no shared fixtures";
    auto first = [](const std::string& file, const std::u16string& table, size_t row = 0) {
        dump_harness h;
        h.open_path((fixtures() / "classic" / file).string());
        table_read r = h.read(table, row + 1);
        return r.rows.size() > row ? r.rows[row] : row_texts();
    };
    EXPECT_EQ(first("v12-01_exptest.dmp", u"TABLE1"),
              (row_texts{"1", "123", "3.56789", "STRING 1 TEST", "2023-11-01 08:40:28", "NULL", "NULL"}));
    EXPECT_EQ(first("v12-01_exptest.dmp", u"TABLE1", 5)[6], "2022-06-02 08:45:40.346");
    EXPECT_EQ(first("v12-01_exptest.dmp", u"TABLE2", 1), (row_texts{"K2", "0.2", "2.99992"}));
    EXPECT_EQ(first("v11-02_ko16mswin949_al32utf8_hr.dmp", u"EMPLOYEES"),
              (row_texts{"100", "Steven", "King", "SKING", "515.123.4567", "2003-06-17 00:00:00",
                         "AD_PRES", "24000", "NULL", "NULL", "90"}));
    EXPECT_EQ(first("v10-02_ja16sjistilde_al32utf8_long.dmp", u"T_ADMIN"),
              (row_texts{"1", "1111", "管理者1"}));
    EXPECT_EQ(first("v11-02_zhs16gbk_87tables.dmp", u"SYS_BRANCH_LEVEL")[2], "集团");
    EXPECT_EQ(first("v08-01-05_we8iso8859p1_lobs.dmp", u"DISTRICT_MASTER"),
              (row_texts{"d002 ", "Arwal                         "}));
    EXPECT_EQ(first("v12-01_us7ascii_we8mswin1252_blob.dmp", u"ALPHA_SERVICES_STATS")[3],
              "2014-01-15 09:26:22.466");
    row_texts png = first("v19_zhs16gbk_al32utf8_blob_png.dmp", u"STUDENTFILE");
    ASSERT_EQ(png.size(), 11u);
    EXPECT_EQ(png[5].substr(0, 18), "0x89504E470D0A1A0A");
    EXPECT_EQ(png[5].substr(png[5].size() - 8), "AE426082");
    EXPECT_EQ(png[7], "陕西省西安市");
}

}  // namespace
