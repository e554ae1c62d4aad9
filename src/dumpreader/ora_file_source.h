// ora_file_source: the dump file as an ora_byte_source.
//
// Reads the file in windows of window_size bytes (aligned to 64 KB so that short steps back, as
// the table cursor makes them, stay inside the window) into one buffer of its own; everything
// between two window loads is done in memory. Memory: one buffer, whatever the file size.
//
// Owned by the dump facade; one thread at a time. The file is closed by the destructor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ora_byte_source.h"

class ora_file_source : public ora_byte_source {
public:
    static constexpr size_t window_size = 1024 * 1024;

    // Opens the file at the UTF-8 path for reading; nullptr when it cannot be opened (errno tells
    // why) or is not a regular file.
    static std::unique_ptr<ora_file_source> open(const std::string& path);
    ~ora_file_source() override;

protected:
    uint64_t load(uint64_t pos, const uint8_t*& begin, const uint8_t*& end) override;

private:
    ora_file_source(int fd, uint64_t size);

    int m_fd;
    std::unique_ptr<uint8_t[]> m_buffer;
};
