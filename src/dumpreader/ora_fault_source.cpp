#include "ora_fault_source.h"

#include <algorithm>
#include <cerrno>

#include "tk_exception.h"

ora_fault_source::ora_fault_source(std::string bytes, faults f)
    : ora_byte_source(std::min<uint64_t>(bytes.size(), f.truncate_at)),
      m_bytes(std::move(bytes)),
      m_faults(f) {}

ora_fault_source::~ora_fault_source() = default;

uint64_t ora_fault_source::load(uint64_t pos, const uint8_t*& begin, const uint8_t*& end) {
    if (pos >= m_faults.fail_at) throw tk_exception_ex(EIO);
    uint64_t stop = std::min<uint64_t>(size(), m_faults.fail_at);
    if (m_faults.window != 0) stop = std::min<uint64_t>(stop, pos + m_faults.window);
    const auto* data = reinterpret_cast<const uint8_t*>(m_bytes.data());
    begin = data + pos;
    end = data + stop;
    return pos;
}
