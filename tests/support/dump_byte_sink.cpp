#include "dump_byte_sink.h"

#include <cerrno>
#include <cstring>

#include "tk_exception.h"

void dump_vector_sink::write(const void* data, size_t size) {
    if (size == 0)
        return;
    const auto* p = static_cast<const uint8_t*>(data);
    m_out.insert(m_out.end(), p, p + size);
}

namespace {
constexpr size_t k_file_buffer = 4u << 20;
}

dump_file_sink::dump_file_sink(const std::string& path) : m_path(path), m_buffer(k_file_buffer) {
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file)
        throw tk_exception("Cannot create the fixture dump " + path + ": " + std::strerror(errno),
                           1);
}

dump_file_sink::~dump_file_sink() {
    if (m_file) {
        if (m_used)
            std::fwrite(m_buffer.data(), 1, m_used, m_file);
        std::fclose(m_file);
    }
}

void dump_file_sink::flush() {
    if (m_used == 0)
        return;
    if (std::fwrite(m_buffer.data(), 1, m_used, m_file) != m_used)
        throw tk_exception("Cannot write the fixture dump " + m_path + ": " + std::strerror(errno),
                           1);
    m_used = 0;
}

void dump_file_sink::write(const void* data, size_t size) {
    TK_ASSERT(m_file != nullptr);
    if (size == 0)
        return;
    const auto* p = static_cast<const uint8_t*>(data);
    m_position += size;
    if (size >= m_buffer.size()) {
        flush();
        if (std::fwrite(p, 1, size, m_file) != size)
            throw tk_exception(
                "Cannot write the fixture dump " + m_path + ": " + std::strerror(errno), 1);
        return;
    }
    if (m_used + size > m_buffer.size())
        flush();
    std::memcpy(m_buffer.data() + m_used, p, size);
    m_used += size;
}

void dump_file_sink::close() {
    if (!m_file)
        return;
    flush();
    int rc = std::fclose(m_file);
    m_file = nullptr;
    if (rc != 0)
        throw tk_exception("Cannot close the fixture dump " + m_path + ": " + std::strerror(errno),
                           1);
}
