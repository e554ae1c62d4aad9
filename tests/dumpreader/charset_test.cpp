// The character-set tables, the converters chosen for each id, and the decoding of dump text.
#include <gtest/gtest.h>

#include <string>

#include "ora_charsets.h"
#include "ora_dump_reader.h"
#include "ora_text_codec.h"

namespace {

TEST(Charsets, CodePagesOfTheTables) {
    struct c {
        uint32_t id;
        int32_t code_page;
    } cases[] = {{171, 1251}, {178, 1252}, {1, 20127}, {829, 20932}, {31, 28591}, {846, 51949},
                 {4, 0},      {2000, 0},   {850, 0},   {3, 0},       {9999, 0}};
    for (auto [id, cp] : cases) EXPECT_EQ(ora_charsets::code_page_of(id), cp) << id;
    EXPECT_EQ(ora_charsets::id_table().size(), 233u);
    EXPECT_EQ(ora_charsets::name_table().size(), 138u);  // two names repeat (first pair wins)
    EXPECT_EQ(ora_charsets::name_table().at("euc-jp"), 20932);
    EXPECT_EQ(ora_dump_reader::get_code_page(4), 0);
}

TEST(Charsets, KindsOfIds) {
    EXPECT_EQ(ora_charsets::kind_of(2000), 2);
    EXPECT_EQ(ora_charsets::kind_of(873), 1);
    EXPECT_EQ(ora_charsets::kind_of(871), 1);
    EXPECT_EQ(ora_charsets::kind_of(178), 0);
}

TEST(Charsets, EveryIdIsDecodedByTheConverterOfItsRealSet) {
    struct c {
        uint32_t id;
        const char* encoding;
    } cases[] = {{850, "GBK"},       {852, "GBK"},        {2, "DEC-MCS"},       {4, "IBM437"},
                 {10, "IBM850"},     {150, "IBM852"},     {5, "IBM037"},        {41, "TIS-620"},
                 {868, "BIG5-HKSCS"}, {992, "BIG5-HKSCS"}, {846, "CP949"},       {178, "CP1252"},
                 {832, "CP932"},     {31, "ISO-8859-1"},  {3, ""}};
    for (auto [id, enc] : cases) EXPECT_EQ(ora_charsets::encoding_of(id), enc) << id;
}

std::u16string decode(ora_text_codec& codec, std::string bytes, bool national = false) {
    std::u16string out;
    codec.decode_text(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), national, out);
    return out;
}

TEST(TextCodec, CodePageTextEndsAtItsFirstZeroByte) {
    ora_text_codec codec;
    codec.configure(178, 2, 2000, 178);
    EXPECT_EQ(decode(codec, std::string("A\0B", 3)), u"A");
    EXPECT_EQ(decode(codec, "CITT\xC0"), u"CITTÀ");
    EXPECT_EQ(decode(codec, ""), u"");
}

TEST(TextCodec, Utf16TextKeepsZeroUnitsAndPadsAnOddByte) {
    ora_text_codec codec;
    codec.configure(2000, 2, 2000, 1);
    EXPECT_EQ(decode(codec, std::string("A\0B", 3)), (std::u16string{0x4100, 0x4200}));
    EXPECT_EQ(decode(codec, std::string("\0A\0\0\0B", 6)), (std::u16string{u'A', 0, u'B'}));
    EXPECT_EQ(decode(codec, std::string("\x30\x42\x30\x44\x41", 5)),
              (std::u16string{0x3042, 0x3044, 0x4100}));
}

TEST(TextCodec, NamesAreInTheSessionSetAndRowsInTheDatabaseSet) {
    // A cp1252 client exporting an AL32UTF8 database.
    ora_text_codec codec;
    codec.configure(873, 2, 2000, 178);
    EXPECT_EQ(codec.decode_name("CITT\xC0"), u"CITTÀ");
    EXPECT_EQ(decode(codec, "CITT\xC3\x80"), u"CITTÀ");
    EXPECT_EQ(decode(codec, std::string("\0\xC0", 2), true), u"À");
}

TEST(TextCodec, SetsWithoutACodePageDecodeThroughIconv) {
    ora_text_codec codec;
    codec.configure(852, 2, 2000, 852);  // ZHS16GBK
    EXPECT_EQ(decode(codec, "\xC8\xAB\xB9\xFA"), u"全国");
    codec.configure(846, 2, 2000, 846);  // KO16MSWIN949: a Hangul syllable only CP949 has
    EXPECT_EQ(decode(codec, "\x81\x41"), u"갂");
    codec.configure(2, 2, 2000, 2);  // WE8DEC
    EXPECT_EQ(decode(codec, "\xE9"), u"é");
}

TEST(TextCodec, ClobTextByTheColumnsCharacterSet) {
    ora_text_codec codec;
    codec.configure(873, 2, 2000, 873);
    std::u16string out;
    const uint8_t utf16[] = {0x00, 0x41, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x42};
    codec.decode_clob(utf16, sizeof utf16, 873, out);
    EXPECT_EQ(out, u"AÀ");
    out.clear();
    const uint8_t cp1252[] = {0x41, 0xC0};
    codec.decode_clob(cp1252, sizeof cp1252, 178, out);
    EXPECT_EQ(out, u"AÀ");
}

TEST(Reader, DecodeTextUsesTheLatestOpensSets) {
    ora_dump_reader reader;
    const uint8_t bytes[] = {0x41, 0x00, 0x42};
    EXPECT_EQ(reader.decode_text(bytes, 3, false), u"A");
    EXPECT_EQ(reader.decode_text(bytes, 3, true), (std::u16string{0x4100, 0x4200}));
    EXPECT_EQ(reader.decode_text(bytes, 0, true), u"");
    const uint8_t id[2] = {0, 171};
    reader.set_code_page(id);
    EXPECT_EQ(reader.code_page(), 1251);
    const uint8_t none[2] = {0, 4};
    reader.set_code_page(none);
    EXPECT_EQ(reader.code_page(), 1251);
}

}  // namespace
