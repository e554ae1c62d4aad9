#include "fixture_temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "tk_exception.h"

fixture_temp_dir::fixture_temp_dir(const std::string& prefix, const std::string& parent) {
    const char* base = std::getenv("TMPDIR");
    std::string folder = !parent.empty() ? parent : base && *base ? base : "/tmp";
    std::string pattern = folder + "/" + prefix + "_XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw tk_exception(
            "Cannot make a temporary folder " + pattern + ": " + std::strerror(errno), 1);
    m_path = buf.data();
}

fixture_temp_dir::~fixture_temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
