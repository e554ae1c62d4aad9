// tk_file_name (narrow) and tk_file_wname (wide): a full file path split into its parts.
//
// initialize() makes the path absolute against the current folder (lexically, as the file need
// not exist: "." and ".." components are resolved, doubled separators dropped) and splits it
// into drive, folder, name and extension. On this platform the drive is always empty; the
// folder runs up to and including the last '/'; the extension runs from the last dot of the
// final component, dot included. An empty path stands for the program's own folder, with an
// empty name and extension. Plain values: copy them freely; any thread may use its own.
#pragma once

#include <string>

class tk_file_name {
public:
    // A missing path is an assertion failure; so is a current folder that cannot be read.
    explicit tk_file_name(const char* path);
    explicit tk_file_name(const std::string& path) : tk_file_name(path.c_str()) {}

    void initialize(const char* path);

    // Drive and folder, with the trailing separator.
    std::string folder() const { return m_drive + m_folder; }
    // Drive, folder, name and extension.
    std::string full() const { return m_drive + m_folder + m_name + m_extension; }

    const std::string& extension() const { return m_extension; }
    const std::string& drive() const { return m_drive; }
    const std::string& name() const { return m_name; }
    // The folder without the drive.
    const std::string& dir() const { return m_folder; }

    // Prepends a dot when `extension` is not empty and does not begin with one.
    void set_extension(std::string extension);
    void set_name(std::string name) { m_name = std::move(name); }
    void set_drive(std::string drive) { m_drive = std::move(drive); }
    // A folder that does not end with a separator gets one.
    void set_dir(std::string folder);

private:
    std::string m_extension;
    std::string m_drive;
    std::string m_name;
    std::string m_folder;
};

class tk_file_wname {
public:
    explicit tk_file_wname(const char16_t* path);
    explicit tk_file_wname(const std::u16string& path) : tk_file_wname(path.c_str()) {}

    // Traces "tk_file_wname::initialize(%s)" at level 1.
    void initialize(const char16_t* path);

    std::u16string folder() const { return m_drive + m_folder; }
    std::u16string full() const { return m_drive + m_folder + m_name + m_extension; }

    const std::u16string& extension() const { return m_extension; }
    const std::u16string& drive() const { return m_drive; }
    const std::u16string& name() const { return m_name; }
    const std::u16string& dir() const { return m_folder; }

    void set_extension(std::u16string extension);
    void set_name(std::u16string name) { m_name = std::move(name); }
    void set_drive(std::u16string drive) { m_drive = std::move(drive); }
    void set_dir(std::u16string folder);

private:
    std::u16string m_extension;
    std::u16string m_drive;
    std::u16string m_name;
    std::u16string m_folder;
};
