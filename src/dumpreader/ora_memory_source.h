// ora_memory_source: bytes held in memory as an ora_byte_source, for tests and small inputs.
//
// Holds its own copy of the bytes. With a window size other than 0 it hands the bytes out in
// windows of that size, so that tests can put every read across window boundaries.
//
// One thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "ora_byte_source.h"

class ora_memory_source : public ora_byte_source {
public:
    explicit ora_memory_source(std::string bytes, size_t window = 0);
    ~ora_memory_source() override;

    const std::string& bytes() const { return m_bytes; }
    // How many windows were handed out: a test of how often the source had to refill.
    uint64_t load_count() const { return m_loads; }

protected:
    uint64_t load(uint64_t pos, const uint8_t*& begin, const uint8_t*& end) override;

private:
    std::string m_bytes;
    size_t m_window;
    uint64_t m_loads = 0;
};
