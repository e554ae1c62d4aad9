// ora_fault_source: an in-memory ora_byte_source that breaks on demand, for tests.
//
// fail_at: every read that needs the byte at that offset or later throws tk_exception_ex with
// EIO, as a failing disk would. truncate_at: the source ends there, as a dump cut short would.
// window: the bytes are handed out in windows of that size (0: one window up to the fault).
//
// One thread at a time.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "ora_byte_source.h"

class ora_fault_source : public ora_byte_source {
public:
    static constexpr uint64_t never = std::numeric_limits<uint64_t>::max();

    struct faults {
        uint64_t fail_at = never;
        uint64_t truncate_at = never;
        size_t window = 0;
    };

    ora_fault_source(std::string bytes, faults f);
    ~ora_fault_source() override;

protected:
    uint64_t load(uint64_t pos, const uint8_t*& begin, const uint8_t*& end) override;

private:
    std::string m_bytes;
    faults m_faults;
};
