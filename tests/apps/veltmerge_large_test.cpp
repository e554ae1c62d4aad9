// veltmerge on a later file larger than 4 GB: positions past 32 bits in the zero scan, the seek
// and the progress. The file is sparse, so it takes no disk space; scanning its zeros still reads
// 4 GB, which is why this test runs with the slow ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "veltmerge_run.h"

namespace fs = std::filesystem;

TEST(veltmerge_large, later_file_beyond_4_gb_contributes_its_tail) {
    scratch_folder folder;
    const classic_header header = make_classic_header("EXPORT:V11.02.00", 1, 0);
    const byte_vector first = make_dump_part(header.bytes, 0, make_payload(1000, 'A'));
    const std::string first_path = (folder / "part1.dmp").string();
    write_file(first_path, first);

    const uint64_t data_at = (uint64_t{1} << 32) + 5;
    const byte_vector tail = make_payload(995, 'Z');
    const std::string second_path = (folder / "part2.dmp").string();
    write_file(second_path, make_classic_header("EXPORT:V11.02.00", 2, 0).bytes);
    fs::resize_file(second_path, data_at);
    {
        std::ofstream out(second_path, std::ios::binary | std::ios::app);
        out.write(reinterpret_cast<const char*>(tail.data()),
                  static_cast<std::streamsize>(tail.size()));
        ASSERT_TRUE(out.good());
    }
    const std::string destination = (folder / "merged.dmp").string();

    merge_run run = run_veltmerge({first_path, second_path, destination});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "Merging file " + first_path + " \nMerging file " + second_path + " .\n");
    byte_vector expected = first;
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_TRUE(read_file(destination) == expected);
}
