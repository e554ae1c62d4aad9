// veltmerge, run as a program: its messages, exit statuses, the header rewrite of the first file,
// the header and zero skipping of later files, the chunked progress and its refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "veltmerge_run.h"

namespace fs = std::filesystem;

namespace {

constexpr int k_failure = 255;  // exit status -1
const std::string k_usage = "Usage:\n\tveltmerge <file1> <file2> ... <destination file>\n";
constexpr uint64_t k_declared_size = 0x0000000123456789;

std::string not_a_dump(const std::string& path) {
    return "File " + path + " does not comply with Oracle dump format";
}

// Replaces {1}..{9} by the source paths and {d} by the destination path.
std::string expand(std::string text, const std::vector<std::string>& sources,
                   const std::string& destination) {
    auto replace_all = [&text](const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
            text.replace(at, from.size(), to);
            at += to.size();
        }
    };
    for (size_t i = 0; i < sources.size(); ++i) {
        replace_all("{" + std::to_string(i + 1) + "}", sources[i]);
    }
    replace_all("{d}", destination);
    return text;
}

byte_vector concat(std::initializer_list<byte_vector> parts) {
    byte_vector all;
    for (const byte_vector& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

byte_vector with_size_cleared(byte_vector bytes, const classic_header& header) {
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(header.block_offset + 8), 8, 0);
    return bytes;
}

struct merge_case {
    std::string name;
    std::vector<byte_vector> sources;
    int status;
    std::string output;  // {1}..{9}: source paths, {d}: destination path
    byte_vector expected;
};

// Test names and failure messages show the case by its name, not by its bytes.
void PrintTo(const merge_case& c, std::ostream* out) {
    *out << c.name;
}

std::vector<merge_case> merge_cases() {
    const classic_header first_header = make_classic_header("EXPORT:V11.02.00", 1, k_declared_size);
    const byte_vector first = make_dump_part(first_header.bytes, 1792, make_payload(3000, 'A'));
    const byte_vector first_merged = with_size_cleared(first, first_header);
    const byte_vector later_header =
        make_classic_header("EXPORT:V11.02.00", 2, k_declared_size).bytes;

    // 300 bytes: zeros at 256 to 259, contents from 260 on.
    const byte_vector tail_40 = make_payload(40, 'B');
    const byte_vector second_300 = make_dump_part(later_header, 4, tail_40);

    std::vector<merge_case> cases;
    cases.push_back({"single_source_clears_only_declared_size",
                     {first},
                     0,
                     "Merging file {1} \n",
                     first_merged});
    cases.push_back({"later_file_contributes_bytes_after_its_zeros",
                     {first, second_300},
                     0,
                     "Merging file {1} \nMerging file {2} .\n",
                     concat({first_merged, tail_40})});
    cases.push_back({"later_file_of_only_zeros_contributes_nothing",
                     {first, make_dump_part(later_header, 744, {})},
                     0,
                     "Merging file {1} \nMerging file {2} \n",
                     first_merged});
    {
        const byte_vector b = make_payload(5000, 'B');
        const byte_vector c = make_payload(2000, 'C');
        cases.push_back(
            {"parts_are_appended_in_argument_order",
             {first, make_dump_part(later_header, 1000, b), make_dump_part(later_header, 0, c)},
             0,
             "Merging file {1} \nMerging file {2} .\nMerging file {3} .\n",
             concat({first_merged, b, c})});
    }
    {
        const byte_vector tail = make_payload(100, 'D');
        cases.push_back({"padding_longer_than_one_chunk_is_skipped",
                         {first, make_dump_part(later_header, 70000, tail)},
                         0,
                         "Merging file {1} \nMerging file {2} .\n",
                         concat({first_merged, tail})});
    }
    cases.push_back({"source_of_255_bytes_stops_after_earlier_files",
                     {first, second_300, make_payload(255, 'E')},
                     k_failure,
                     "Merging file {1} \nMerging file {2} .\n" + not_a_dump("{3}"),
                     concat({first_merged, tail_40})});
    {
        // A Data Pump dump starts with its version bytes; no EXPORT:V word anywhere in front.
        byte_vector pump{0x04, 0x01};
        byte_vector rest = make_payload(4094, 'P');
        pump.insert(pump.end(), rest.begin(), rest.end());
        cases.push_back({"first_file_without_version_word",
                         {pump, second_300},
                         k_failure,
                         "Merging file {1} " + not_a_dump("{1}"),
                         {}});
    }
    cases.push_back({"first_file_of_255_bytes",
                     {byte_vector(first.begin(), first.begin() + 255), second_300},
                     k_failure,
                     not_a_dump("{1}"),
                     {}});
    for (size_t lead : {2, 6}) {
        classic_header header = make_classic_header("EXPORT:V10.02.01", 1, k_declared_size, lead);
        byte_vector file = make_dump_part(header.bytes, 0, make_payload(500, 'F'));
        cases.push_back({"version_word_at_offset_" + std::to_string(lead),
                         {file},
                         0,
                         "Merging file {1} \n",
                         with_size_cleared(file, header)});
    }
    {
        byte_vector file = make_dump_part(
            make_classic_header("EXPORT:V11.02.00", 1, k_declared_size, 3).bytes, 0, {});
        file.insert(file.begin(), 4, 0x01);  // pushes the version word to offset 7
        file.resize(600, 'x');
        cases.push_back({"version_word_at_offset_7",
                         {file},
                         k_failure,
                         "Merging file {1} " + not_a_dump("{1}"),
                         {}});
    }
    {
        // The version line runs on for more than 256 bytes without a line end.
        byte_vector file{0x03, 0x03, 0x54};
        std::string text = "EXPORT:V11.02.00" + std::string(300, ' ') + "\nUSCOTT\n";
        file.insert(file.end(), text.begin(), text.end());
        file.resize(1024, 'x');
        cases.push_back({"header_line_longer_than_256_bytes",
                         {file},
                         k_failure,
                         "Merging file {1} " + not_a_dump("{1}"),
                         {}});
    }
    {
        // The seventh line end is so close to the end of a 256-byte file that the fixed block,
        // and with it the declared size, would lie beyond the file.
        byte_vector file{0x03, 0x03, 0x54};
        std::string text = "EXPORT:V11.02.00\na\nb\nc\nd\ne\n";
        file.insert(file.end(), text.begin(), text.end());
        file.resize(249, 'x');
        file.push_back('\n');
        file.resize(256, 0x01);
        cases.push_back({"fixed_block_beyond_end_of_file",
                         {file},
                         k_failure,
                         "Merging file {1} " + not_a_dump("{1}"),
                         {}});
    }
    {
        // Part marker 32: a complete dump that declares no size; the bytes after the marker are
        // header text and stay as they are.
        byte_vector file = make_dump_part(make_classic_header("EXPORT:V09.02.00", 32).bytes, 512,
                                          make_payload(700, 'G'));
        cases.push_back(
            {"single_complete_dump_is_copied_unchanged", {file}, 0, "Merging file {1} \n", file});
    }
    {
        // Version 7 headers have no fixed block: the bytes after the seventh line end are dump
        // contents and must not be cleared.
        byte_vector file =
            make_dump_part(make_classic_header("EXPORT:V07.03.04", 1, k_declared_size).bytes, 0,
                           make_payload(700, 'H'));
        cases.push_back(
            {"version_7_dump_is_copied_unchanged", {file}, 0, "Merging file {1} \n", file});
    }
    return cases;
}

class veltmerge_merge : public ::testing::TestWithParam<merge_case> {};

TEST_P(veltmerge_merge, writes_destination_and_messages) {
    const merge_case& c = GetParam();
    scratch_folder folder;
    std::vector<std::string> sources;
    for (size_t i = 0; i < c.sources.size(); ++i) {
        sources.push_back((folder / ("part" + std::to_string(i + 1) + ".dmp")).string());
        write_file(sources.back(), c.sources[i]);
    }
    const std::string destination = (folder / "merged.dmp").string();
    std::vector<std::string> args = sources;
    args.push_back(destination);

    merge_run run = run_veltmerge(args);

    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, expand(c.output, sources, destination));
    ASSERT_TRUE(fs::exists(destination));
    byte_vector merged = read_file(destination);
    ASSERT_EQ(merged.size(), c.expected.size());
    EXPECT_TRUE(merged == c.expected);
}

INSTANTIATE_TEST_SUITE_P(cases, veltmerge_merge, ::testing::ValuesIn(merge_cases()),
                         [](const auto& info) { return info.param.name; });

TEST(veltmerge, usage_text_for_fewer_than_two_arguments) {
    scratch_folder folder;
    const std::vector<std::vector<std::string>> calls = {{}, {(folder / "a.dmp").string()}};
    for (const auto& args : calls) {
        merge_run run = run_veltmerge(args);
        EXPECT_EQ(run.status, k_failure);
        EXPECT_EQ(run.output, k_usage);
    }
    EXPECT_FALSE(fs::exists(folder / "a.dmp"));
}

TEST(veltmerge, refuses_before_creating_the_destination) {
    scratch_folder folder;
    const std::string good = (folder / "good.dmp").string();
    write_file(good, make_dump_part(make_classic_header().bytes, 0, make_payload(100, 'A')));
    const std::string missing = (folder / "missing.dmp").string();
    const std::string subfolder = (folder / "sub").string();
    fs::create_directory(subfolder);
    const std::string destination = (folder / "merged.dmp").string();
    const std::string existing = (folder / "existing.dmp").string();
    const byte_vector existing_bytes = make_payload(1000, 'X');
    write_file(existing, existing_bytes);

    struct refusal {
        std::vector<std::string> args;
        std::string output;
    };
    const refusal refusals[] = {
        {{good, missing, destination}, "File " + missing + " does not exist\n"},
        {{missing, good, destination}, "File " + missing + " does not exist\n"},
        {{good, subfolder, destination}, "File " + subfolder + " does not exist\n"},
        // The sources are checked before the destination.
        {{missing, existing}, "File " + missing + " does not exist\n"},
        {{good, existing}, "Destination file already exists: " + existing + "\n"},
        {{good, good}, "Destination file already exists: " + good + "\n"},
        {{good, (folder / "none" / "merged.dmp").string()},
         "Can't open destination file " + (folder / "none" / "merged.dmp").string() + "\n"},
    };
    for (const refusal& r : refusals) {
        SCOPED_TRACE(r.output);
        merge_run run = run_veltmerge(r.args);
        EXPECT_EQ(run.status, k_failure);
        EXPECT_EQ(run.output, r.output);
        EXPECT_FALSE(fs::exists(destination));
    }
    EXPECT_TRUE(read_file(existing) == existing_bytes);
}

TEST(veltmerge, never_writes_through_an_existing_link) {
    // A link whose target is missing cannot be opened for reading, yet creating the destination
    // through it would create (or, for an unreadable target, truncate) another file.
    scratch_folder folder;
    const std::string source = (folder / "a.dmp").string();
    write_file(source, make_dump_part(make_classic_header().bytes, 0, make_payload(100, 'A')));
    const fs::path target = folder / "elsewhere.dmp";
    const std::string link = (folder / "merged.dmp").string();
    fs::create_symlink(target, link);

    merge_run run = run_veltmerge({source, link});

    EXPECT_EQ(run.status, k_failure);
    EXPECT_EQ(run.output, "Destination file already exists: " + link + "\n");
    EXPECT_FALSE(fs::exists(target));
}

TEST(veltmerge, one_dot_per_chunk_of_a_million_byte_file) {
    scratch_folder folder;
    const classic_header header = make_classic_header("EXPORT:V11.02.00", 1, k_declared_size);
    const byte_vector file = make_dump_part(header.bytes, 0, make_payload(1000000 - 256, 'M'));
    const std::string source = (folder / "big.dmp").string();
    write_file(source, file);
    const std::string destination = (folder / "merged.dmp").string();

    merge_run run = run_veltmerge({source, destination});

    // 16 chunks; the first one stands at 0 percent, each later one moves the percentage.
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "Merging file " + source + " " + std::string(15, '.') + "\n");
    EXPECT_TRUE(read_file(destination) == with_size_cleared(file, header));
}

TEST(veltmerge, refused_write_is_reported_as_failure) {
    // The file size limit makes the system accept part of a write and refuse the rest, as a
    // disk that fills up does; the limits fall inside a chunk and on a chunk boundary.
    scratch_folder folder;
    const std::string source = (folder / "big.dmp").string();
    write_file(source, make_dump_part(make_classic_header().bytes, 0, make_payload(400000, 'W')));
    for (uint64_t limit : {100000u, 131072u}) {
        SCOPED_TRACE(limit);
        const std::string destination = (folder / ("merged" + std::to_string(limit))).string();

        merge_run run = run_veltmerge({source, destination}, limit);

        EXPECT_EQ(run.status, k_failure);
        EXPECT_NE(run.output.find("Can't write destination file " + destination + ": "),
                  std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find("incomplete"), std::string::npos) << run.output;
        EXPECT_EQ(fs::file_size(destination), limit);
    }
}

}  // namespace
