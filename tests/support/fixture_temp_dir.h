// fixture_temp_dir: a private folder for the files one test writes, removed with everything in
// it when the object is destroyed. Made under $TMPDIR (default /tmp) with a unique name, so
// tests that run in parallel never share one (or under `parent` when that is given). Not copyable.
#pragma once

#include <string>

class fixture_temp_dir {
public:
    // Throws tk_exception (level 1) when the folder cannot be made.
    explicit fixture_temp_dir(const std::string& prefix = "velt_fixture",
                              const std::string& parent = std::string());
    fixture_temp_dir(const fixture_temp_dir&) = delete;
    fixture_temp_dir& operator=(const fixture_temp_dir&) = delete;
    ~fixture_temp_dir();

    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};
