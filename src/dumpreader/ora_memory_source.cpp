#include "ora_memory_source.h"

ora_memory_source::ora_memory_source(std::string bytes, size_t window)
    : ora_byte_source(bytes.size()), m_bytes(std::move(bytes)), m_window(window) {}

ora_memory_source::~ora_memory_source() = default;

uint64_t ora_memory_source::load(uint64_t pos, const uint8_t*& begin, const uint8_t*& end) {
    ++m_loads;
    const auto* data = reinterpret_cast<const uint8_t*>(m_bytes.data());
    size_t n = m_bytes.size() - static_cast<size_t>(pos);
    if (m_window != 0 && n > m_window) n = m_window;
    begin = data + pos;
    end = begin + n;
    return pos;
}
