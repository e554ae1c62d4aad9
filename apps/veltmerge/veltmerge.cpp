// veltmerge: joins the files of a multi-file classic export dump into one dump file.
//
//     veltmerge file1 file2 ... destination
//
// The first file is copied whole, except that the declared dump size in its header is cleared:
// the dump reader then takes the result as one complete dump instead of the first part of a
// multi-file dump (or as several dumps merged together). Every later file is appended without its
// 256-byte header and the zero padding that follows it. The tool works on bytes and on the header
// layout only; it knows nothing of tables or rows.
//
// All messages go to the standard output. Any failure prints its message and ends the program
// with status -1 at once; the destination then keeps what was written so far. An existing
// destination is never overwritten. Memory stays at one 64 KB buffer whatever the file sizes;
// positions are 64-bit.
//
// Single-threaded. Creates no trace log.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "tk_exception.h"
#include "tk_path.h"

static_assert(sizeof(off_t) == 8, "dump files exceed 4 GB: 64-bit file positions are required");

namespace {

constexpr int k_exit_failure = -1;

// Files are copied through one buffer of this size; progress is reported per chunk.
constexpr off_t k_chunk_size = 65536;
// Every file of a classic dump starts with a header of this size; later files are appended
// without it.
constexpr off_t k_header_size = 256;
// A header line never runs longer than this: a line end farther away means the file is no dump.
constexpr size_t k_symbol_reach = 256;
// The version word stands at one of these offsets, after the two or three leading header bytes.
constexpr size_t k_first_version_offset = 2;
constexpr size_t k_last_version_offset = 6;
// The fixed header block begins after this many line ends, counted from the version word: the
// version, user and tablespace lines, then four short number lines.
constexpr int k_lines_before_block = 7;
// Exports of version 8 and later carry the fixed block; older ones end their header earlier.
constexpr int k_first_block_version = 8;
// Block layout: part marker at 6 (two bytes, big-endian), declared dump size at 8 (eight
// bytes, big-endian). A part marker of 32 marks a single complete dump, which has no declared
// size: the block then ends after the marker.
constexpr size_t k_part_marker_offset = 6;
constexpr size_t k_declared_size_offset = 8;
constexpr size_t k_declared_size_length = 8;
constexpr unsigned k_single_dump_marker = 32;

const char k_usage[] = "Usage:\n\tveltmerge <file1> <file2> ... <destination file>\n";
const char k_not_a_dump[] = "File %s does not comply with Oracle dump format";

// A file descriptor that closes itself. close() errors of a file that was written are checked
// by the owner through close_checked(); the destructor only releases.
class unique_fd {
public:
    explicit unique_fd(int fd = -1) : m_fd(fd) {}
    unique_fd(const unique_fd&) = delete;
    unique_fd& operator=(const unique_fd&) = delete;
    ~unique_fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int get() const { return m_fd; }
    bool is_open() const { return m_fd >= 0; }

    // Closes now; false (with errno set) when the system reports a failure of the close, which
    // on some file systems is the first report of a failed write.
    bool close_checked() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Reads up to `length` bytes, going on after short reads; returns the number read (less only at
// end of file) or -1 with errno set.
ssize_t read_fully(int fd, uint8_t* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t got = ::read(fd, buffer + done, length - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// Writes all `length` bytes, going on after short writes; false with errno set when the system
// refuses (a full disk, a file size limit, an I/O error).
bool write_fully(int fd, const uint8_t* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t put = ::write(fd, buffer + done, length - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

void print_flushed(const char* format, const char* text) {
    std::printf(format, text);
    std::fflush(stdout);
}

void print_read_failure(const char* path, const char* reason) {
    std::printf(
        "Can't read file %s: %s\nThe destination file is incomplete: delete it and "
        "merge again.\n",
        path, reason);
}

// Reports a refused write or close of the destination, with errno's reason.
void print_write_failure(const char* destination_path) {
    std::printf(
        "Can't write destination file %s: %s\nThe destination file is incomplete: "
        "delete it and merge again.\n",
        destination_path, std::strerror(errno));
}

// A cursor over a memory buffer: `pos` is the current byte, `end` one past the last.
struct buffer_cursor {
    uint8_t* pos;
    uint8_t* end;
};

// Moves the cursor to the next occurrence of `byte`, looking at no more than 256 bytes and never
// past the end of the buffer. Returns whether it was found; the cursor then stands on it,
// otherwise it is left where it was.
bool seek_to_symbol(buffer_cursor* cursor, uint8_t byte) {
    if (cursor == nullptr)
        throw tk_mail_assertion("veltmerge", __LINE__);
    size_t available = static_cast<size_t>(cursor->end - cursor->pos);
    size_t reach = available < k_symbol_reach ? available : k_symbol_reach;
    void* found = std::memchr(cursor->pos, byte, reach);
    if (found == nullptr)
        return false;
    cursor->pos = static_cast<uint8_t*>(found);
    return true;
}

// The export version of the word "EXPORT:Vnn." at `offset`, 0 when the bytes there are no
// version word. The number is read as the header reader reads it: at most two characters,
// optionally signed; what follows it is not checked.
int version_at(const uint8_t* buffer, size_t length, size_t offset) {
    if (offset >= length)
        return 0;
    char word[32];
    size_t count = length - offset < sizeof word - 1 ? length - offset : sizeof word - 1;
    std::memcpy(word, buffer + offset, count);
    word[count] = 0;
    int version = 0;
    if (std::sscanf(word, "EXPORT:V%2d.", &version) != 1)
        return 0;
    return version;
}

// Clears the declared dump size in the header at the start of the first file's first chunk.
// Returns false when the header does not have the classic layout.
bool rewrite_header(uint8_t* buffer, size_t length) {
    size_t offset = k_first_version_offset;
    int version = 0;
    for (; offset <= k_last_version_offset; ++offset) {
        version = version_at(buffer, length, offset);
        if (version != 0)
            break;
    }
    if (version == 0)
        return false;

    buffer_cursor cursor{buffer + offset, buffer + length};
    for (int line = 0; line < k_lines_before_block; ++line) {
        if (!seek_to_symbol(&cursor, '\n'))
            return false;
        ++cursor.pos;
    }

    // Exports older than version 8 have no fixed block here: the bytes after the seventh line
    // end are dump contents and stay as they are.
    if (version < k_first_block_version)
        return true;
    uint8_t* block = cursor.pos;
    size_t block_room = static_cast<size_t>(cursor.end - block);
    if (block_room < k_declared_size_offset)
        return false;
    unsigned part_marker =
        (unsigned{block[k_part_marker_offset]} << 8) | block[k_part_marker_offset + 1];
    // A single complete dump declares no size; the bytes after its marker are something else.
    if (part_marker == k_single_dump_marker)
        return true;
    if (block_room < k_declared_size_offset + k_declared_size_length)
        return false;
    std::memset(block + k_declared_size_offset, 0, k_declared_size_length);
    return true;
}

// Appends one source file (index 1 is the first) to the destination. Returns false after it has
// printed why the merge cannot go on.
bool process_one_file(int index, const char* path, int destination, const char* destination_path,
                      std::vector<uint8_t>& buffer) {
    // Non-blocking, so that a named pipe given by mistake fails at the seek below instead of
    // waiting for a writer; regular files read as usual.
    unique_fd source(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!source.is_open()) {
        std::printf("Can't open file %s\n", path);
        return false;
    }
    off_t size = ::lseek(source.get(), 0, SEEK_END);
    if (size < 0 || ::lseek(source.get(), 0, SEEK_SET) != 0) {
        print_read_failure(path, std::strerror(errno));
        return false;
    }

    // A later file contributes what follows its header and the zero bytes after it. The zeros
    // are scanned a chunk at a time: later parts can be padded far beyond their header.
    off_t start = 0;
    if (index != 1 && size >= k_header_size) {
        start = k_header_size;
        if (::lseek(source.get(), start, SEEK_SET) != start) {
            print_read_failure(path, std::strerror(errno));
            return false;
        }
        bool found = false;
        while (!found && start < size) {
            off_t want = size - start < k_chunk_size ? size - start : k_chunk_size;
            ssize_t got = read_fully(source.get(), buffer.data(), static_cast<size_t>(want));
            if (got < 0) {
                print_read_failure(path, std::strerror(errno));
                return false;
            }
            if (got == 0)
                break;
            for (ssize_t i = 0; i < got; ++i) {
                if (buffer[static_cast<size_t>(i)] != 0) {
                    start += i;
                    found = true;
                    break;
                }
            }
            if (!found)
                start += got;
        }
    }

    if (size < k_header_size) {
        print_flushed(k_not_a_dump, path);
        return false;
    }

    if (::lseek(source.get(), start, SEEK_SET) != start) {
        print_read_failure(path, std::strerror(errno));
        return false;
    }
    print_flushed("Merging file %s ", path);
    int64_t last_percent = 0;
    off_t rest = size - start;
    while (rest > 0) {
        size_t count = static_cast<size_t>(rest < k_chunk_size ? rest : k_chunk_size);
        ssize_t got = read_fully(source.get(), buffer.data(), count);
        if (got < 0) {
            print_read_failure(path, std::strerror(errno));
            return false;
        }
        // Fewer bytes than measured: the file shrank while it was being merged.
        if (static_cast<size_t>(got) < count) {
            print_read_failure(path, "the file became shorter during the merge");
            return false;
        }
        if (index == 1 && rest == size && !rewrite_header(buffer.data(), count)) {
            print_flushed(k_not_a_dump, path);
            return false;
        }
        if (!write_fully(destination, buffer.data(), count)) {
            print_write_failure(destination_path);
            return false;
        }
        int64_t percent = static_cast<int64_t>(size - rest) * 100 / static_cast<int64_t>(size);
        if (percent != last_percent) {
            std::fputs(".", stdout);
            std::fflush(stdout);
            last_percent = percent;
        }
        rest -= static_cast<off_t>(count);
    }
    std::fputs("\n", stdout);
    return true;
}

int merge(int argc, char** argv) {
    if (argc < 3) {
        std::fputs(k_usage, stdout);
        return k_exit_failure;
    }
    const int source_count = argc - 2;
    const char* destination_path = argv[argc - 1];
    for (int i = 1; i <= source_count; ++i) {
        if (!tk_is_file_exist(argv[i])) {
            std::printf("File %s does not exist\n", argv[i]);
            return k_exit_failure;
        }
    }
    if (tk_is_file_exist(destination_path)) {
        std::printf("Destination file already exists: %s\n", destination_path);
        return k_exit_failure;
    }
    // Created exclusively: a file that appeared since the check, or one that exists but cannot be
    // read (a dangling link, a file without read permission), is not truncated either.
    unique_fd destination(::open(destination_path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!destination.is_open()) {
        if (errno == EEXIST) {
            std::printf("Destination file already exists: %s\n", destination_path);
        } else {
            std::printf("Can't open destination file %s\n", destination_path);
        }
        return k_exit_failure;
    }

    std::vector<uint8_t> buffer(static_cast<size_t>(k_chunk_size));
    for (int i = 1; i <= source_count; ++i) {
        if (!process_one_file(i, argv[i], destination.get(), destination_path, buffer)) {
            return k_exit_failure;
        }
    }
    if (!destination.close_checked()) {
        print_write_failure(destination_path);
        return k_exit_failure;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int status = k_exit_failure;
    try {
        status = merge(argc, argv);
    } catch (const std::exception& e) {
        std::printf("Error: %s", e.what());
        status = k_exit_failure;
    }
    std::fflush(stdout);
    return status;
}
