// dump_byte_sink and its two implementations: where the fixture writer's bytes go.
//
// dump_vector_sink appends to a byte vector it borrows; dump_file_sink writes a file through a
// large buffer so that a generated dump of gigabytes never sits in memory. A write that fails
// throws tk_exception (level 1) with the path. Used by one thread at a time; not copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class dump_byte_sink {
public:
    dump_byte_sink() = default;
    dump_byte_sink(const dump_byte_sink&) = delete;
    dump_byte_sink& operator=(const dump_byte_sink&) = delete;
    virtual ~dump_byte_sink() = default;

    virtual void write(const void* data, size_t size) = 0;
    // Bytes written so far: the offset in the dump of the next byte.
    virtual uint64_t position() const = 0;
};

class dump_vector_sink : public dump_byte_sink {
public:
    // `out` must outlive the sink; bytes are appended to what it holds.
    explicit dump_vector_sink(std::vector<uint8_t>& out) : m_out(out) {}
    void write(const void* data, size_t size) override;
    uint64_t position() const override { return m_out.size(); }

private:
    std::vector<uint8_t>& m_out;
};

class dump_file_sink : public dump_byte_sink {
public:
    // Creates or empties the file; throws tk_exception when it cannot be created.
    explicit dump_file_sink(const std::string& path);
    // Closes the file; a failure here is only detected by close().
    ~dump_file_sink() override;
    void write(const void* data, size_t size) override;
    uint64_t position() const override { return m_position; }
    // Flushes and closes; throws tk_exception when the data did not reach the disk.
    void close();

private:
    void flush();

    std::string m_path;
    FILE* m_file = nullptr;
    std::vector<uint8_t> m_buffer;
    size_t m_used = 0;
    uint64_t m_position = 0;
};
