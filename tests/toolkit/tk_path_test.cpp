#include "tk_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tk_dir_keeper.h"
#include "tk_exception.h"
#include "tk_file_name.h"
#include "tk_test_support.h"
#include "tk_text.h"

namespace {

struct file_name_case {
    const char* path;    // relative paths are taken against <work>/cur
    const char* folder;  // "<work>" stands for the test's folder
    const char* name;
    const char* extension;
};

const file_name_case k_file_name_cases[] = {
    {"/a/b/c.txt", "/a/b/", "c", ".txt"},
    {"/a/b/c", "/a/b/", "c", ""},
    {"/a/b/c.tar.gz", "/a/b/", "c.tar", ".gz"},
    {"/a/b.d/c", "/a/b.d/", "c", ""},
    {"/a/b/", "/a/b/", "", ""},
    {"/a/./b/../c.txt", "/a/", "c", ".txt"},
    {"//a//b", "/a/", "b", ""},
    {"/..", "/", "", ""},
    {"/a/.hidden", "/a/", "", ".hidden"},
    {"x.log", "<work>/cur/", "x", ".log"},
    {"./sub/x", "<work>/cur/sub/", "x", ""},
    {"../y.vlt", "<work>/", "y", ".vlt"},
};

std::string expand(const std::string& text, const std::string& work) {
    return text.rfind("<work>", 0) == 0 ? work + text.substr(6) : text;
}

class tk_path_test : public ::testing::Test {
protected:
    tk_path_test() {
        std::filesystem::create_directories(m_folder / "cur");
        std::filesystem::current_path(m_folder / "cur");
        // The temporary folder may sit behind a link: compare with the resolved form.
        m_work = std::filesystem::current_path().parent_path().string();
    }

    tk_keep_cwd m_keep;
    tk_temp_folder m_folder;
    std::string m_work;
};

}  // namespace

TEST_F(tk_path_test, file_names_split_into_folder_name_and_extension) {
    for (const file_name_case& c : k_file_name_cases) {
        tk_file_name narrow(c.path);
        std::string folder = expand(c.folder, m_work);
        EXPECT_EQ(narrow.drive(), "") << c.path;
        EXPECT_EQ(narrow.folder(), folder) << c.path;
        EXPECT_EQ(narrow.name(), c.name) << c.path;
        EXPECT_EQ(narrow.extension(), c.extension) << c.path;
        EXPECT_EQ(narrow.full(), folder + c.name + c.extension) << c.path;

        tk_file_wname wide(tk_from_utf8(c.path));
        EXPECT_EQ(wide.drive(), u"") << c.path;
        EXPECT_EQ(wide.folder(), tk_from_utf8(folder)) << c.path;
        EXPECT_EQ(wide.name(), tk_from_utf8(c.name)) << c.path;
        EXPECT_EQ(wide.extension(), tk_from_utf8(c.extension)) << c.path;
    }
}

TEST_F(tk_path_test, wide_names_keep_every_character) {
    tk_file_wname name(u"/tmp/\u00fcber/na\u00efve \u4e2d.dmp");
    EXPECT_EQ(name.folder(), u"/tmp/\u00fcber/");
    EXPECT_EQ(name.name(), u"na\u00efve \u4e2d");
    EXPECT_EQ(name.extension(), u".dmp");
}

TEST_F(tk_path_test, empty_path_is_the_program_folder_and_missing_path_an_assertion) {
    tk_file_name narrow("");
    EXPECT_EQ(narrow.folder(), tk_get_program_folder());
    EXPECT_EQ(narrow.name(), "");
    EXPECT_EQ(narrow.extension(), "");
    tk_file_wname wide(u"");
    EXPECT_EQ(wide.folder(), tk_from_utf8(tk_get_program_folder()));
    EXPECT_THROW(tk_file_name(static_cast<const char*>(nullptr)), tk_mail_assertion);
    EXPECT_THROW(tk_file_wname(static_cast<const char16_t*>(nullptr)), tk_mail_assertion);
}

TEST_F(tk_path_test, extension_setter_adds_the_dot) {
    tk_file_name name("/data/profile");
    name.set_extension("vlt");
    EXPECT_EQ(name.full(), "/data/profile.vlt");
    name.set_extension(".sql");
    EXPECT_EQ(name.full(), "/data/profile.sql");
    name.set_extension("");
    EXPECT_EQ(name.full(), "/data/profile");
    name.set_dir("/other");
    EXPECT_EQ(name.full(), "/other/profile");
    tk_file_wname wide(u"/data/dump.dmp");
    wide.set_extension(u"log");
    EXPECT_EQ(wide.full(), u"/data/dump.log");
}

TEST_F(tk_path_test, wide_initialize_traces_its_path) {
    tk_test_log trace(1);
    tk_file_wname name(u"/x/\u00e9.dmp");
    EXPECT_NE(trace.text().find("tk_file_wname::initialize(/x/\xC3\xA9.dmp)\r\n"),
              std::string::npos);
}

TEST_F(tk_path_test, program_path_and_folder) {
    std::string path = tk_get_module_path();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], '/');
    EXPECT_EQ(tk_get_module_wpath(), tk_from_utf8(path));
    std::string folder = tk_get_program_folder();
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(path.rfind(folder, 0), 0u);
    EXPECT_EQ(path.find('/', folder.size()), std::string::npos);
}

TEST_F(tk_path_test, file_existence_answers_for_files_only) {
    std::string file = m_folder / "dump \u00e9.dmp";
    tk_write_file(file, "EXPORT:V10.02.01");
    EXPECT_TRUE(tk_is_file_exist(file, 0));
    EXPECT_TRUE(tk_is_file_exist(file, 1));
    EXPECT_TRUE(tk_is_file_exist(tk_from_utf8(file), 1));
    EXPECT_FALSE(tk_is_file_exist(m_folder / "missing.dmp"));
    EXPECT_FALSE(tk_is_file_exist(tk_from_utf8(m_folder / "missing.dmp")));
    EXPECT_FALSE(tk_is_file_exist(m_folder.path()));  // a folder is no file
    EXPECT_FALSE(tk_is_file_exist(m_folder.path(), 1));
    EXPECT_FALSE(tk_is_file_exist(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(tk_is_file_exist(file + std::string(1, '\0') + "x"));
    EXPECT_FALSE(tk_is_file_exist(tk_from_utf8(file) + u'\0' + u"x"));
    // A named pipe answers at once instead of waiting for a writer.
    std::string pipe = m_folder / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_TRUE(tk_is_file_exist(pipe, 0));
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(file.c_str(), 0444), 0);
        EXPECT_TRUE(tk_is_file_exist(file, 0));
        EXPECT_FALSE(tk_is_file_exist(file, 1));
    }
}

TEST_F(tk_path_test, file_existence_traces) {
    tk_test_log trace(1);
    tk_is_file_exist(m_folder / "missing");
    EXPECT_NE(trace.text().find("tk_is_file_exist(" + (m_folder / "missing") +
                                ")\r\nFile not exists!\r\n"),
              std::string::npos);
}

TEST_F(tk_path_test, path_existence_answers_for_folders_and_keeps_the_current_folder) {
    std::string before = tk_cwd();
    std::string file = m_folder / "file.txt";
    tk_write_file(file, "x");
    std::filesystem::create_directories(m_folder / "\u00fcber");
    EXPECT_TRUE(tk_is_path_exist(tk_from_utf8(m_folder.path())));
    EXPECT_TRUE(tk_is_path_exist(tk_from_utf8(m_folder / "\u00fcber")));
    EXPECT_TRUE(tk_is_path_exist(m_folder.path()));
    EXPECT_TRUE(tk_is_path_exist(u"../cur"));  // relative to the current folder
    EXPECT_TRUE(tk_is_path_exist(u""));        // the program's folder
    EXPECT_FALSE(tk_is_path_exist(tk_from_utf8(file)));
    EXPECT_FALSE(tk_is_path_exist(tk_from_utf8(m_folder / "missing")));
    EXPECT_FALSE(tk_is_path_exist(tk_from_utf8(m_folder.path()) + u'\0'));
    EXPECT_EQ(tk_cwd(), before);
}

TEST_F(tk_path_test, dir_keeper_changes_and_restores_the_current_folder) {
    std::string before = tk_cwd();
    {
        tk_dir_keeper keeper(m_folder.path());
        EXPECT_TRUE(keeper.changed());
        EXPECT_EQ(keeper.saved(), before);
        EXPECT_EQ(std::filesystem::canonical(tk_cwd()),
                  std::filesystem::canonical(m_folder.path()));
    }
    EXPECT_EQ(tk_cwd(), before);
    {
        tk_dir_keeper keeper(m_folder / "missing");
        EXPECT_FALSE(keeper.changed());
        EXPECT_EQ(tk_cwd(), before);
    }
    EXPECT_EQ(tk_cwd(), before);
    {
        tk_dir_keeper keeper("");
        EXPECT_TRUE(keeper.changed());
        EXPECT_EQ(tk_cwd() + "/", tk_get_program_folder());
    }
    EXPECT_EQ(tk_cwd(), before);
}

TEST_F(tk_path_test, dir_keeper_finds_its_folder_after_a_rename) {
    std::filesystem::create_directories(m_folder / "old/inner");
    std::filesystem::current_path(m_folder / "old");
    {
        tk_dir_keeper keeper("inner");
        ASSERT_TRUE(keeper.changed());
        std::filesystem::rename(m_folder / "old", m_folder / "new");
    }
    EXPECT_EQ(tk_cwd(), m_work + "/new");
}
