// Helpers for the veltmerge tests: runs the built program and writes the small classic dump
// headers that the merge reads. The program's path comes from the build (VELTMERGE_PATH).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using byte_vector = std::vector<uint8_t>;

struct merge_run {
    int status = -1;     // exit status, or 128 + signal when the program was killed
    std::string output;  // everything the program printed on its standard output
};

// Runs veltmerge with `args`; `file_size_limit` (bytes, 0 for none) caps the size of the files
// it may write, as a full disk would.
merge_run run_veltmerge(const std::vector<std::string>& args, uint64_t file_size_limit = 0);

// A 256-byte classic export header: `lead` leading bytes, the version word and the six header
// lines, then the fixed block (character sets, `part_marker` and, unless the marker is 32,
// `declared_size`), padded to 256 bytes. `block_offset` tells where the block begins.
struct classic_header {
    byte_vector bytes;
    size_t block_offset = 0;
};
classic_header make_classic_header(const std::string& version_word = "EXPORT:V11.02.00",
                                   uint16_t part_marker = 1, uint64_t declared_size = 0,
                                   size_t lead = 3);

// One dump file: `header`, then `zeros` zero bytes, then `payload`.
byte_vector make_dump_part(const byte_vector& header, size_t zeros, const byte_vector& payload);

// `count` bytes of non-zero text that look like dump contents.
byte_vector make_payload(size_t count, char seed);

void write_file(const std::filesystem::path& path, const byte_vector& bytes);
byte_vector read_file(const std::filesystem::path& path);

// A fresh folder for one test, removed again by the destructor.
class scratch_folder {
public:
    scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    ~scratch_folder();
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};
