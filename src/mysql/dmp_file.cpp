#include "dmp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

dmp_file::dmp_file(std::u16string path) : m_path(std::move(path)) {
    const std::string name = tk_to_utf8(m_path);
    do {
        m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        fail("create", errno);
    }
    m_buffer.resize(buffer_size);
}

dmp_file::~dmp_file() {
    if (m_fd >= 0) {
        // Nobody is left to hear about a failure here; close() is the place that reports.
        if (m_error.empty()) {
            const char* data = m_buffer.data();
            size_t left = m_used;
            while (left > 0) {
                const ssize_t n = ::write(m_fd, data, left);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    tk_trace(3, "MySQL script file left incomplete: %s", std::strerror(errno));
                    break;
                }
                data += n;
                left -= static_cast<size_t>(n);
            }
        }
        ::close(m_fd);
    }
}

void dmp_file::write(std::string_view bytes) {
    if (!m_error.empty() || m_fd < 0) {
        raise();
    }
    m_size += bytes.size();
    if (bytes.size() <= m_buffer.size() - m_used) {
        std::memcpy(m_buffer.data() + m_used, bytes.data(), bytes.size());
        m_used += bytes.size();
        return;
    }
    flush();
    if (bytes.size() >= m_buffer.size()) {
        write_through(bytes.data(), bytes.size());
        return;
    }
    std::memcpy(m_buffer.data(), bytes.data(), bytes.size());
    m_used = bytes.size();
}

void dmp_file::close() {
    if (m_fd < 0) {
        if (!m_error.empty()) {
            raise();
        }
        return;
    }
    if (m_error.empty()) {
        try {
            flush();
        } catch (const tk_exception&) {
            ::close(m_fd);
            m_fd = -1;
            throw;
        }
    }
    const int fd = m_fd;
    m_fd = -1;
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (::close(fd) != 0 && m_error.empty()) {
        fail("close", errno);
    }
    if (!m_error.empty()) {
        raise();
    }
}

void dmp_file::flush() {
    if (m_used > 0) {
        const size_t used = m_used;
        m_used = 0;
        write_through(m_buffer.data(), used);
    }
}

void dmp_file::write_through(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("write", errno);
        }
        if (n == 0) {
            // A regular file that takes nothing is full.
            fail("write", ENOSPC);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void dmp_file::fail(const char* action, int error_number) {
    const std::string reason = std::generic_category().message(error_number);
    const std::string name = tk_to_utf8(m_path);
    if (std::strcmp(action, "create") == 0) {
        m_error = "Cannot create the MySQL script file '" + name + "': " + reason +
                  ".\nCheck that the folder exists and may be written to, or choose another "
                  "file name.";
    } else {
        m_error = "Cannot " + std::string(action) + " the MySQL script file '" + name +
                  "': " + reason +
                  ".\nThe script is incomplete. Free some disk space or choose another "
                  "destination, then run the conversion again.";
    }
    tk_trace(3, "%s", m_error.c_str());
    raise();
}

void dmp_file::raise() const {
    if (m_error.empty()) {
        // Writing after close() is a programming mistake, not a disk problem.
        TK_FAIL();
    }
    throw tk_exception(m_error, 1);
}
