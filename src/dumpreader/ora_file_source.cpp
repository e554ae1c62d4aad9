#include "ora_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tk_exception.h"

namespace {
constexpr uint64_t k_alignment = 64 * 1024;
}

std::unique_ptr<ora_file_source> ora_file_source::open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int saved = errno;
        ::close(fd);
        errno = saved == 0 ? EINVAL : saved;
        return nullptr;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::unique_ptr<ora_file_source>(
        new ora_file_source(fd, static_cast<uint64_t>(st.st_size)));
}

ora_file_source::ora_file_source(int fd, uint64_t size)
    : ora_byte_source(size), m_fd(fd), m_buffer(new uint8_t[window_size]) {}

ora_file_source::~ora_file_source() { ::close(m_fd); }

uint64_t ora_file_source::load(uint64_t pos, const uint8_t*& begin, const uint8_t*& end) {
    uint64_t base = pos - pos % k_alignment;
    size_t got = 0;
    while (got < window_size) {
        ssize_t n = ::pread(m_fd, m_buffer.get() + got, window_size - got,
                            static_cast<off_t>(base + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw tk_exception_ex();
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    if (got <= pos - base) {
        // The file became shorter than it was when it was opened.
        throw tk_exception_ex(EIO);
    }
    begin = m_buffer.get();
    end = m_buffer.get() + got;
    return base;
}
