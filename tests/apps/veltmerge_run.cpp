#include "veltmerge_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifndef VELTMERGE_PATH
#error "VELTMERGE_PATH must name the built veltmerge program"
#endif

merge_run run_veltmerge(const std::vector<std::string>& args, uint64_t file_size_limit) {
    std::vector<std::string> words{VELTMERGE_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        ::dup2(pipe_fds[1], STDOUT_FILENO);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        if (file_size_limit != 0) {
            // Past the limit a write fails with EFBIG instead of killing the program, just as a
            // full disk refuses it with ENOSPC.
            struct rlimit limit = {file_size_limit, file_size_limit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipe_fds[1]);
    merge_run run;
    char chunk[4096];
    for (;;) {
        ssize_t got = ::read(pipe_fds[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        run.output.append(chunk, static_cast<size_t>(got));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

namespace {
void append(byte_vector& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}
void append_big_endian(byte_vector& bytes, uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}
}  // namespace

classic_header make_classic_header(const std::string& version_word, uint16_t part_marker,
                                   uint64_t declared_size, size_t lead) {
    static const uint8_t lead_bytes[] = {0x03, 0x03, 0x54, 0x01, 0x01, 0x01};
    classic_header header;
    byte_vector& bytes = header.bytes;
    bytes.assign(lead_bytes, lead_bytes + lead);
    // Version, user and tablespace lines, then four number lines (as in real exports).
    append(bytes, version_word + "\nUSCOTT\nRUSERS\n2048\n0\n72\n0\n");
    header.block_offset = bytes.size();
    append_big_endian(bytes, 0x0354, 2);  // export session character set
    append_big_endian(bytes, 0x0354, 2);  // database character set
    append_big_endian(bytes, 0x07D0, 2);  // national character set
    append_big_endian(bytes, part_marker, 2);
    if (part_marker != 32)
        append_big_endian(bytes, declared_size, 8);
    append(bytes, std::string(32, ' ') + "Thu Dec 11 12:00:00 2025EXPDAT.DMP");
    bytes.resize(256, 0);
    return header;
}

byte_vector make_dump_part(const byte_vector& header, size_t zeros, const byte_vector& payload) {
    byte_vector bytes = header;
    bytes.resize(bytes.size() + zeros, 0);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

byte_vector make_payload(size_t count, char seed) {
    // Statement text with binary row bytes in between, zeros included: only the zeros right after
    // a later file's header are padding.
    std::string unit = std::string("TABLE \"T") + seed + "\"\nINSERT INTO \"T" + seed +
                       "\" VALUES (:1)\n" + std::string("\x01\x00\x00\xff\x0a", 5);
    byte_vector bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        bytes.push_back(static_cast<uint8_t>(unit[bytes.size() % unit.size()]));
    }
    return bytes;
}

void write_file(const std::filesystem::path& path, const byte_vector& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

byte_vector read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return byte_vector(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

scratch_folder::scratch_folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veltmerge_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

scratch_folder::~scratch_folder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}
