#include "tk_reg_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "tk_exception.h"
#include "tk_test_support.h"

namespace {

const char k_key_path[] = "Software\\Quillmark\\Veltrane";

// Every test keeps its settings in a temporary configuration folder, never the user's.
class tk_reg_key_test : public ::testing::Test {
protected:
    tk_temp_folder m_home;
    tk_scoped_env m_home_env{"HOME", m_home.path()};
    tk_scoped_env m_config_env{"XDG_CONFIG_HOME", m_home / "config"};
    std::string m_file = m_home / "config/Quillmark/Veltrane.settings";

    // A key opened on the stored-settings path, as the settings code opens it.
    int32_t open(tk_reg_key& key, uint32_t* disposition = nullptr,
                 uint32_t access = tk_reg_all_access) {
        return key.create(&tk_hkey_current_user, k_key_path, nullptr, 0, access, nullptr,
                          disposition);
    }

    static mode_t mode_of(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }
};

}  // namespace

TEST_F(tk_reg_key_test, key_path_names_a_file_under_the_configuration_folder) {
    EXPECT_EQ(tk_reg_key::file_of(k_key_path), m_file);
    EXPECT_EQ(tk_reg_key::file_of("Foo"), m_home / "config/Foo.settings");
    EXPECT_EQ(tk_reg_key::file_of("Software"), m_home / "config/Software.settings");
    EXPECT_EQ(tk_reg_key::file_of("software\\A\\\\B\\"), m_home / "config/A/B.settings");
    EXPECT_EQ(tk_reg_key::file_of("Software\\..\\etc"), "");
    EXPECT_EQ(tk_reg_key::file_of(""), "");
    {
        tk_scoped_env unset("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(tk_reg_key::file_of(k_key_path), m_home / ".config/Quillmark/Veltrane.settings");
    }
    {
        tk_scoped_env relative("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(tk_reg_key::file_of(k_key_path), m_home / ".config/Quillmark/Veltrane.settings");
    }
}

TEST_F(tk_reg_key_test, create_makes_a_private_file_and_then_opens_it) {
    tk_reg_key key(k_key_path);
    EXPECT_EQ(key.path(), k_key_path);
    EXPECT_FALSE(key.is_open());
    uint32_t disposition = 0;
    ASSERT_EQ(open(key, &disposition), 0);
    EXPECT_TRUE(key.is_open());
    EXPECT_EQ(disposition, tk_reg_created_new_key);
    EXPECT_EQ(key.file(), m_file);
    EXPECT_EQ(mode_of(m_file), 0600u);
    EXPECT_EQ(mode_of(m_home / "config/Quillmark"), 0700u);

    tk_reg_key again(k_key_path);
    ASSERT_EQ(open(again, &disposition), 0);
    EXPECT_EQ(disposition, tk_reg_opened_existing_key);
}

TEST_F(tk_reg_key_test, every_value_type_reads_back_exactly_from_the_file) {
    const std::string narrow_texts[] = {
        "localhost", "", "p=ss\\w\xC3\xB6rd:#x", "line\nbreak\r\ttab", "\xFF\xFE bytes", "3306",
    };
    const std::u16string wide_texts[] = {
        u"/home/u/dumps/exp full.dmp", u"", u"\u4e2d\u6587\U0001F600", u"a\nb\\c=d",
        u"lone \xD800 surrogate",
    };
    {
        tk_reg_key key;
        ASSERT_EQ(open(key), 0);
        const uint32_t numbers[] = {0, 1, 0xFFFFFFFF};
        for (size_t i = 0; i < 3; ++i) {
            ASSERT_EQ(key.set_value(("n" + std::to_string(i)).c_str(), numbers[i]), 0);
        }
        for (size_t i = 0; i < std::size(narrow_texts); ++i) {
            ASSERT_EQ(key.set_value(("s" + std::to_string(i)).c_str(), narrow_texts[i].c_str()), 0);
        }
        for (size_t i = 0; i < std::size(wide_texts); ++i) {
            ASSERT_EQ(key.set_value(("w" + std::to_string(i)).c_str(), wide_texts[i].c_str()), 0);
        }
        ASSERT_EQ(key.set_value(u"name=with\\odd\nparts", u"wide name"), 0);
    }
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    const uint32_t numbers[] = {0, 1, 0xFFFFFFFF};
    for (size_t i = 0; i < 3; ++i) {
        uint32_t value = 12345;
        EXPECT_EQ(key.get_value(("n" + std::to_string(i)).c_str(), value), 0);
        EXPECT_EQ(value, numbers[i]);
    }
    for (size_t i = 0; i < std::size(narrow_texts); ++i) {
        std::string value = "old";
        EXPECT_TRUE(key.transfer(("s" + std::to_string(i)).c_str(), value, false)) << i;
        EXPECT_EQ(value, narrow_texts[i]) << i;
    }
    for (size_t i = 0; i < std::size(wide_texts); ++i) {
        std::u16string value = u"old";
        EXPECT_TRUE(key.transfer(("w" + std::to_string(i)).c_str(), value, false)) << i;
        EXPECT_EQ(value, wide_texts[i]) << i;
    }
    std::u16string odd;
    EXPECT_TRUE(key.transfer("name=with\\odd\nparts", odd, false));
    EXPECT_EQ(odd, u"wide name");
    // The file stays one line per value.
    std::string text = tk_read_file(m_file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3 + 6 + 5 + 1);
}

TEST_F(tk_reg_key_test, names_ignore_case_and_keep_their_first_spelling) {
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    ASSERT_EQ(key.set_value("Host", "a"), 0);
    ASSERT_EQ(key.set_value("HOST", "b"), 0);
    std::string value;
    EXPECT_TRUE(key.transfer("host", value, false));
    EXPECT_EQ(value, "b");
    std::string text = tk_read_file(m_file);
    EXPECT_NE(text.find("Host=sz:b\n"), std::string::npos);
    EXPECT_EQ(text.find("HOST"), std::string::npos);
}

TEST_F(tk_reg_key_test, text_sizes_follow_the_registry_rules) {
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    ASSERT_EQ(key.set_value("host", "db01"), 0);
    ASSERT_EQ(key.set_value("src", u"\u00e9x"), 0);

    uint32_t size = 0;
    EXPECT_EQ(key.get_value("host", nullptr, &size), 0);
    EXPECT_EQ(size, 5u);
    char small[4];
    size = sizeof small;
    EXPECT_EQ(key.get_value("host", small, &size), tk_reg_more_data);
    EXPECT_EQ(size, 5u);
    char exact[5];
    EXPECT_EQ(key.get_value("host", exact, &size), 0);
    EXPECT_STREQ(exact, "db01");

    size = 0;
    EXPECT_EQ(key.get_value(u"src", nullptr, &size), 0);
    EXPECT_EQ(size, 6u);  // (2 + 1) * 2
    char16_t wide[3];
    EXPECT_EQ(key.get_value(u"src", wide, &size), 0);
    EXPECT_EQ(std::u16string(wide), u"\u00e9x");

    // Narrow and wide reads of one text value see the same text.
    size = 0;
    EXPECT_EQ(key.get_value("src", nullptr, &size), 0);
    EXPECT_EQ(size, 4u);  // UTF-8 bytes + zero
    std::u16string host;
    EXPECT_TRUE(key.transfer("host", host, false));
    EXPECT_EQ(host, u"db01");
}

TEST_F(tk_reg_key_test, wrong_types_and_missing_values_are_codes) {
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    ASSERT_EQ(key.set_value("port", "3306"), 0);
    ASSERT_EQ(key.set_value("tab_def", 1u), 0);
    uint32_t number = 7;
    EXPECT_EQ(key.get_value("port", number), tk_reg_wrong_type);
    EXPECT_EQ(number, 7u);
    uint32_t size = 0;
    EXPECT_EQ(key.get_value("tab_def", nullptr, &size), tk_reg_wrong_type);
    EXPECT_EQ(key.get_value("missing", number), tk_reg_not_found);
    EXPECT_EQ(key.get_value(u"missing", nullptr, &size), tk_reg_not_found);
}

TEST_F(tk_reg_key_test, transfer_stores_and_loads_and_missing_values_keep_the_callers_value) {
    {
        tk_reg_key key;
        ASSERT_EQ(open(key), 0);
        int32_t line_break = -5;
        bool new_version = true;
        bool skip_idx = false;
        std::string host = "db01";
        std::u16string src = u"/dumps/\u00e9.dmp";
        EXPECT_TRUE(key.transfer("dmp_line_br", line_break, true));
        EXPECT_TRUE(key.transfer("dmp_new_ver", new_version, true));
        EXPECT_TRUE(key.transfer("skip_idx", skip_idx, true));
        EXPECT_TRUE(key.transfer("host", host, true));
        EXPECT_TRUE(key.transfer("src", src, true));
        EXPECT_EQ(key.set_value("seven", 7u), 0);
    }
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    int32_t line_break = 0;
    bool new_version = false;
    bool skip_idx = true;
    bool seven = false;
    std::string host;
    std::u16string src;
    EXPECT_TRUE(key.transfer("dmp_line_br", line_break, false));
    EXPECT_TRUE(key.transfer("dmp_new_ver", new_version, false));
    EXPECT_TRUE(key.transfer("skip_idx", skip_idx, false));
    EXPECT_TRUE(key.transfer("seven", seven, false));
    EXPECT_TRUE(key.transfer("host", host, false));
    EXPECT_TRUE(key.transfer("src", src, false));
    EXPECT_EQ(line_break, -5);
    EXPECT_TRUE(new_version);
    EXPECT_FALSE(skip_idx);
    EXPECT_TRUE(seven);
    EXPECT_EQ(host, "db01");
    EXPECT_EQ(src, u"/dumps/\u00e9.dmp");

    int32_t number = 42;
    bool flag = true;
    std::string text = "kept";
    std::u16string wide = u"kept";
    EXPECT_FALSE(key.transfer("absent", number, false));
    EXPECT_FALSE(key.transfer("absent", flag, false));
    EXPECT_FALSE(key.transfer("absent", text, false));
    EXPECT_FALSE(key.transfer("absent", wide, false));
    EXPECT_FALSE(key.transfer("host", number, false));  // a text is no number
    EXPECT_EQ(number, 42);
    EXPECT_TRUE(flag);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(wide, u"kept");
}

TEST_F(tk_reg_key_test, closed_key_answers_codes_and_false_and_misuse_is_an_assertion) {
    tk_reg_key key;
    uint32_t number = 0;
    uint32_t size = 0;
    std::string text = "kept";
    EXPECT_EQ(key.get_value("host", number), tk_reg_invalid_handle);
    EXPECT_EQ(key.get_value("host", nullptr, &size), tk_reg_invalid_handle);
    EXPECT_FALSE(key.transfer("host", text, false));
    EXPECT_FALSE(key.transfer("host", text, true));
    EXPECT_THROW(key.set_value("host", "x"), tk_mail_assertion);
    EXPECT_THROW(key.create(nullptr, k_key_path), tk_mail_assertion);

    ASSERT_EQ(open(key), 0);
    EXPECT_THROW(key.get_value(static_cast<const char*>(nullptr), number), tk_mail_assertion);
    EXPECT_THROW(key.get_value("host", nullptr, nullptr), tk_mail_assertion);
    EXPECT_THROW(key.get_value(u"host", nullptr, nullptr), tk_mail_assertion);
    EXPECT_THROW(key.set_value("host", static_cast<const char*>(nullptr)), tk_mail_assertion);
    EXPECT_THROW(key.set_value("src", static_cast<const char16_t*>(nullptr)), tk_mail_assertion);
    EXPECT_EQ(key.create(&tk_hkey_current_user, ""), tk_reg_invalid_parameter);
    EXPECT_TRUE(key.is_open());  // a failed create keeps the open key
    key.close();
    EXPECT_FALSE(key.is_open());
}

TEST_F(tk_reg_key_test, every_change_replaces_the_file_atomically_with_mode_0600) {
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    ASSERT_EQ(chmod(m_file.c_str(), 0644), 0);
    struct stat before {};
    ASSERT_EQ(stat(m_file.c_str(), &before), 0);
    ASSERT_EQ(key.set_value("pswd", "secret"), 0);
    struct stat after {};
    ASSERT_EQ(stat(m_file.c_str(), &after), 0);
    // A new file took the old one's place (renamed over it), not a rewrite in place.
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    // No temporary file stays behind.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_home / "config/Quillmark")) {
        EXPECT_EQ(entry.path().filename(), "Veltrane.settings");
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(tk_reg_key_test, opening_tightens_a_file_readable_by_others) {
    {
        tk_reg_key key;
        ASSERT_EQ(open(key), 0);
    }
    ASSERT_EQ(chmod(m_file.c_str(), 0644), 0);
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    EXPECT_EQ(mode_of(m_file), 0600u);
}

TEST_F(tk_reg_key_test, a_linked_settings_file_stays_linked) {
    std::filesystem::create_directories(m_home / "config/Quillmark");
    std::filesystem::create_directories(m_home / "dotfiles");
    tk_write_file(m_home / "dotfiles/Veltrane.settings", "host=sz:old\n");
    std::filesystem::create_symlink(m_home / "dotfiles/Veltrane.settings", m_file);
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    ASSERT_EQ(key.set_value("host", "new"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(m_file));
    EXPECT_NE(tk_read_file(m_home / "dotfiles/Veltrane.settings").find("host=sz:new\n"),
              std::string::npos);
}

TEST_F(tk_reg_key_test, damaged_lines_read_as_missing_values) {
    std::filesystem::create_directories(m_home / "config/Quillmark");
    const char content[] =
        "garbage without equals\n"
        "port=dword:abc\n"
        "big=dword:99999999999\n"
        "neg=dword:-1\n"
        "kind=qword:5\n"
        "notype=5\n"
        "cut=sz:ab\\x4\n"
        "badesc=sz:\\q\n"
        "\x01\x02\xFF\xFE\0\0binary\n"
        "host=sz:db01\r\n"
        "host=sz:second\n"
        "tab_def=dword:1";
    tk_write_file(m_file, std::string(content, sizeof content - 1));
    tk_reg_key key;
    uint32_t disposition = 0;
    ASSERT_EQ(open(key, &disposition), 0);
    EXPECT_EQ(disposition, tk_reg_opened_existing_key);
    uint32_t number = 0;
    for (const char* name : {"port", "big", "neg", "kind", "notype", "cut", "badesc", "garbage"}) {
        uint32_t size = 0;
        EXPECT_EQ(key.get_value(name, number), tk_reg_not_found) << name;
        EXPECT_EQ(key.get_value(name, nullptr, &size), tk_reg_not_found) << name;
    }
    std::string host;
    EXPECT_TRUE(key.transfer("host", host, false));
    EXPECT_EQ(host, "db01");
    EXPECT_EQ(key.get_value("tab_def", number), 0);
    EXPECT_EQ(number, 1u);
}

TEST_F(tk_reg_key_test, unusable_files_never_crash) {
    // Binary noise.
    std::filesystem::create_directories(m_home / "config/Quillmark");
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise.push_back(static_cast<char>((i * 7919) & 0xFF));
    tk_write_file(m_file, noise);
    {
        tk_reg_key key;
        ASSERT_EQ(open(key), 0);
        ASSERT_EQ(key.set_value("host", "x"), 0);
        std::string host;
        EXPECT_TRUE(key.transfer("host", host, false));
        EXPECT_EQ(host, "x");
    }
    // A folder where the file should be: opens without values, a change fails with a code.
    std::filesystem::remove(m_file);
    std::filesystem::create_directory(m_file);
    {
        tk_reg_key key;
        ASSERT_EQ(open(key), 0);
        uint32_t number = 0;
        EXPECT_EQ(key.get_value("port", number), tk_reg_not_found);
        EXPECT_NE(key.set_value("port", 1u), 0);
    }
    // A file where the key's folder should be.
    std::filesystem::remove_all(m_home / "config/Quillmark");
    tk_write_file(m_home / "config/Quillmark", "not a folder");
    tk_reg_key key;
    EXPECT_EQ(open(key), ENOTDIR);
    EXPECT_FALSE(key.is_open());
}

TEST_F(tk_reg_key_test, values_stored_by_another_program_meanwhile_are_kept) {
    tk_reg_key wizard;
    tk_reg_key console;
    ASSERT_EQ(open(wizard), 0);
    ASSERT_EQ(open(console), 0);
    ASSERT_EQ(wizard.set_value("host", "db01"), 0);
    ASSERT_EQ(console.set_value("port", "3307"), 0);
    tk_reg_key reader;
    ASSERT_EQ(open(reader), 0);
    std::string host, port;
    EXPECT_TRUE(reader.transfer("host", host, false));
    EXPECT_TRUE(reader.transfer("port", port, false));
    EXPECT_EQ(host, "db01");
    EXPECT_EQ(port, "3307");
}

TEST_F(tk_reg_key_test, read_only_access_refuses_changes) {
    {
        tk_reg_key key;
        ASSERT_EQ(open(key), 0);
        ASSERT_EQ(key.set_value("host", "db01"), 0);
    }
    tk_reg_key key;
    ASSERT_EQ(open(key, nullptr, tk_reg_query_value), 0);
    std::string host;
    EXPECT_TRUE(key.transfer("host", host, false));
    EXPECT_EQ(key.set_value("host", "other"), tk_reg_access_denied);
    EXPECT_FALSE(key.transfer("host", host, true));
}

TEST_F(tk_reg_key_test, traces_name_the_operation_type_and_size) {
    tk_reg_key key;
    ASSERT_EQ(open(key), 0);
    ASSERT_EQ(key.set_value("port", 3306u), 0);
    ASSERT_EQ(key.set_value("src", u"ab"), 0);
    tk_test_log trace(1);
    uint32_t number = 0;
    uint32_t size = 0;
    key.get_value("port", number);
    key.get_value(u"src", nullptr, &size);
    key.get_value("src", nullptr, &size);
    std::string text = trace.text();
    EXPECT_NE(text.find("tk_reg_key::get_value(ulong, port)\r\ntype=4, size=4\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("tk_reg_key::get_value(LPWSTR, src)\r\ntype=1, size=6\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("tk_reg_key::get_value(LPSTR, src)\r\ntype=1, size=3\r\n"),
              std::string::npos);
}
