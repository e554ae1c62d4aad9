// dmp_file: the output file of a MySQL dump script, a buffered byte stream whose every write is
// checked.
//
// Statements pass through a fixed buffer (256 KiB) to the file, so a table of any size is written
// with memory bounded by the buffer and the one statement being added; a statement larger than
// the buffer goes to the file directly. A script that cannot be created or written must never
// look like a success: the failing system call's reason is kept, every later write and close()
// raise it again, and close() also reports what the final flush and the closing of the file say
// (a full disk often shows only there).
//
// Owned by dmp_database; its recordsets borrow it while they write rows. One thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class dmp_file {
public:
    static constexpr size_t buffer_size = 256 * 1024;

    // Creates the file or truncates an existing one. Throws tk_exception (level 1) naming the file
    // and the system's reason when it cannot be opened for writing.
    explicit dmp_file(std::u16string path);
    dmp_file(const dmp_file&) = delete;
    dmp_file& operator=(const dmp_file&) = delete;
    // Closes the file when close() was not called, reporting nothing (close() reports).
    ~dmp_file();

    // Appends the bytes exactly as given (NUL bytes included). Throws tk_exception (level 1) when
    // the file cannot take them, or when an earlier write already failed.
    void write(std::string_view bytes);
    // Writes the buffered bytes and closes the file. Throws tk_exception (level 1) when this or any
    // earlier write, or the close itself, failed. A second call does nothing.
    void close();

    bool is_open() const { return m_fd >= 0; }
    const std::u16string& path() const { return m_path; }
    // Bytes handed to write() so far.
    uint64_t size() const { return m_size; }

private:
    void flush();
    void write_through(const char* data, size_t size);
    [[noreturn]] void fail(const char* action, int error_number);
    [[noreturn]] void raise() const;

    std::u16string m_path;
    int m_fd = -1;
    std::vector<char> m_buffer;
    size_t m_used = 0;
    uint64_t m_size = 0;
    // The first failure's message; once set every operation raises it again.
    std::string m_error;
};
