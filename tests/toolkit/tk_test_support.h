// Helpers of the toolkit tests: a private temporary folder, whole-file reads, a trace log that
// lives for one test, and an environment variable set for one test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tk_log.h"

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class tk_temp_folder {
public:
    tk_temp_folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velt-tk-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        if (made == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = made;
    }
    tk_temp_folder(const tk_temp_folder&) = delete;
    tk_temp_folder& operator=(const tk_temp_folder&) = delete;
    ~tk_temp_folder() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::string tk_read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void tk_write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline bool tk_exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

inline std::string tk_cwd() {
    return std::filesystem::current_path().string();
}

// An enabled trace log into a temporary file at the given threshold, for one test. The log is a
// process-wide single instance: one at a time.
class tk_test_log {
public:
    explicit tk_test_log(int32_t threshold = 1)
        : m_log(m_folder / "trace.log", true, threshold, false) {}
    std::string text() const { return tk_read_file(m_log.path()); }
    tk_log& log() { return m_log; }

private:
    tk_temp_folder m_folder;
    tk_log m_log;
};

// Sets (or with nullopt unsets) an environment variable and restores it at the end.
class tk_scoped_env {
public:
    tk_scoped_env(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = getenv(name))
            m_old = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    tk_scoped_env(const tk_scoped_env&) = delete;
    tk_scoped_env& operator=(const tk_scoped_env&) = delete;
    ~tk_scoped_env() {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Keeps the current folder of the test process and restores it at the end.
class tk_keep_cwd {
public:
    tk_keep_cwd() : m_saved(tk_cwd()) {}
    ~tk_keep_cwd() { std::filesystem::current_path(m_saved); }

private:
    std::string m_saved;
};
