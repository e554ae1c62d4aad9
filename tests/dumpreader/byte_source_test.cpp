// The byte sources: words across window boundaries, seeks, delimiters, faults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ora_byte_source.h"
#include "ora_fault_source.h"
#include "ora_memory_source.h"
#include "tk_exception.h"

namespace {

std::vector<std::string> all_words(ora_byte_source& s) {
    std::vector<std::string> out;
    std::string_view w;
    while (s.read_word(w)) out.emplace_back(w);
    return out;
}

const std::string k_text = "  TABLE \"EMP\"\nCREATE TABLE x\t\r\nINSERT\v\fINTO  end";
const std::vector<std::string> k_words = {"TABLE", "\"EMP\"", "CREATE", "TABLE",
                                          "x",     "INSERT", "INTO",   "end"};

TEST(ByteSource, WordsAreTheSameWhateverTheWindowSize) {
    for (size_t window : {0, 1, 2, 3, 5, 7, 64}) {
        ora_memory_source s(k_text, window);
        EXPECT_EQ(all_words(s), k_words) << "window " << window;
        EXPECT_TRUE(s.at_end());
    }
}

TEST(ByteSource, WordPositionsAndTheByteBeforeAWord) {
    ora_memory_source s(k_text, 3);
    std::string_view w;
    ASSERT_TRUE(s.read_word(w));
    EXPECT_EQ(s.word_start(), 2u);
    EXPECT_EQ(s.word_end(), 7u);
    EXPECT_EQ(s.byte_before_word(), ' ');
    ASSERT_TRUE(s.read_word(w));
    ASSERT_TRUE(s.read_word(w));
    EXPECT_EQ(w, "CREATE");
    EXPECT_EQ(s.byte_before_word(), '\n');
    // After a seek into the middle of a word the byte before is found by looking back.
    s.seek(15);
    ASSERT_TRUE(s.read_word(w));
    EXPECT_EQ(w, "REATE");
    EXPECT_EQ(s.byte_before_word(), 'C');
    s.seek(0);
    ora_memory_source t("word", 2);
    ASSERT_TRUE(t.read_word(w));
    EXPECT_EQ(t.byte_before_word(), -1);
}

TEST(ByteSource, ReadingInsideAWindowNeedsNoRefill) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "w" + std::to_string(i) + " ";
    ora_memory_source s(text);
    EXPECT_EQ(all_words(s).size(), 10000u);
    EXPECT_EQ(s.load_count(), 1u);
}

TEST(ByteSource, SeeksBytesAndWordsLittleAndBigEndian) {
    std::string bytes("\x01\x02\x03\x04\x05", 5);
    ora_memory_source s(bytes, 2);
    uint16_t v = 0;
    ASSERT_TRUE(s.read_u16le(v));
    EXPECT_EQ(v, 0x0201);
    s.seek(1);
    ASSERT_TRUE(s.read_u16be(v));
    EXPECT_EQ(v, 0x0203);
    s.seek(4);
    ASSERT_TRUE(s.read_byte(*reinterpret_cast<uint8_t*>(&v)));
    EXPECT_FALSE(s.read_u16le(v));
    EXPECT_TRUE(s.at_end());
    s.seek(3);
    EXPECT_FALSE(s.read_u16le(v) && s.read_u16le(v));
    s.seek(100);
    uint8_t b;
    EXPECT_FALSE(s.read_byte(b));
    EXPECT_EQ(s.byte_at(2), 3);
    EXPECT_EQ(s.byte_at(9), -1);
}

TEST(ByteSource, DelimitersAcrossWindows) {
    ora_memory_source s("abc\ndef\nxyz", 3);
    std::string line;
    ASSERT_TRUE(s.read_past('\n', line, 100));
    EXPECT_EQ(line, "abc\n");
    ASSERT_TRUE(s.skip_past('\n'));
    EXPECT_EQ(s.position(), 8u);
    line.clear();
    EXPECT_FALSE(s.read_past('\n', line, 2));
    EXPECT_EQ(line, "xy");  // bytes past the limit are passed over
    EXPECT_TRUE(s.at_end());
}

TEST(ByteSource, LongWordsKeepTheirStartAndEndAfterThem) {
    std::string word(ora_byte_source::max_word + 1000, 'A');
    ora_memory_source s(word + " next", 4096);
    std::string_view w;
    ASSERT_TRUE(s.read_word(w));
    EXPECT_EQ(w.size(), ora_byte_source::max_word);
    EXPECT_EQ(s.word_end(), word.size());
    ASSERT_TRUE(s.read_word(w));
    EXPECT_EQ(w, "next");
}

TEST(FaultSource, FailsAtTheOffsetWithAnInputOutputError) {
    ora_fault_source::faults f;
    f.fail_at = 6;
    f.window = 4;
    ora_fault_source s("one two three", f);
    std::string_view w;
    ASSERT_TRUE(s.read_word(w));
    EXPECT_EQ(w, "one");
    try {
        s.read_word(w);
        FAIL() << "no error";
    } catch (const tk_exception_ex& e) {
        EXPECT_EQ(e.level(), 1);
    }
}

TEST(FaultSource, TruncationEndsTheData) {
    ora_fault_source::faults f;
    f.truncate_at = 6;
    ora_fault_source s("one two three", f);
    EXPECT_EQ(s.size(), 6u);
    EXPECT_EQ(all_words(s), (std::vector<std::string>{"one", "tw"}));
    uint8_t buf[10];
    s.seek(4);
    EXPECT_EQ(s.read(buf, 10), 2u);
}

}  // namespace
