// Column values (NUMBER, DATE, TIMESTAMP, text), LONG and LOB data, and the classic row layout,
// decoded from hand-made bytes by the row decoders.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ora_dump_column.h"
#include "ora_dump_reader_th.h"
#include "ora_dump_reader_th8.h"
#include "ora_memory_source.h"
#include "ora_number.h"
#include "ora_text_codec.h"
#include "tk_exception.h"

namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list) out.push_back(static_cast<char>(b));
    return out;
}

std::string le(uint16_t v) { return bytes({v & 0xFF, v >> 8}); }

struct number_case {
    std::string bytes;
    double value;
};

TEST(OracleNumber, DecodesToTheNearestDouble) {
    const number_case cases[] = {
        {bytes({0xC1, 0x02}), 1},          {bytes({0xC2, 0x0D, 0x23}), 1234},
        {bytes({0x3E, 0x60, 0x66}), -5},   {bytes({0x3D, 0x59, 0x43, 0x66}), -1234},
        {bytes({0xC0, 0x33}), 0.5},        {bytes({0x80}), 0},
        {bytes({0xC1, 0x04, 0x39, 0x4F, 0x5B}), 3.56789},
        {bytes({0xC0, 0x15}), 0.2},        {bytes({0xBC, 0x04, 0x1F}), 3.3e-10},
        {bytes({0xC6, 0x0D, 0x20, 0x18, 0x0D, 0x23, 0x39}), 123123123456},
        // 20 digit bytes of a negative number have no closing 102.
        {bytes({0x3E, 0x64, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65,
                0x65, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65, 0x65}),
         -1},
    };
    for (const auto& c : cases) {
        auto* p = reinterpret_cast<const uint8_t*>(c.bytes.data());
        EXPECT_EQ(ora_number_to_double(p, c.bytes.size()), c.value) << c.value;
    }
}

TEST(OracleNumber, IntegersAndDecimalsStayExact) {
    // 1234567890123456789: 19 digits, more than a double holds.
    std::string big = bytes({0xCA, 0x02, 0x18, 0x2E, 0x44, 0x5A, 0x02, 0x18, 0x2E, 0x44, 0x5A});
    int64_t v = 0;
    ASSERT_TRUE(ora_number_to_int64(reinterpret_cast<const uint8_t*>(big.data()), big.size(), v));
    EXPECT_EQ(v, 1234567890123456789LL);
    std::string half = bytes({0xC0, 0x33});
    EXPECT_FALSE(ora_number_to_int64(reinterpret_cast<const uint8_t*>(half.data()), 2, v));
    ole_decimal d;
    ASSERT_TRUE(ora_number_to_decimal(reinterpret_cast<const uint8_t*>(half.data()), 2, d));
    EXPECT_EQ(d.lo64, 5u);
    EXPECT_EQ(d.scale, 1);
    EXPECT_EQ(ora_number_significant_digits(reinterpret_cast<const uint8_t*>(big.data()),
                                            big.size()),
              19);
}

TEST(OracleDate, DatesAndTimestamps) {
    ole_systemtime t;
    std::string d = bytes({120, 104, 5, 6, 8, 9, 10});
    ASSERT_TRUE(ora_date_to_systemtime(reinterpret_cast<const uint8_t*>(d.data()), 7, false, t));
    EXPECT_EQ(t, (ole_systemtime{2004, 5, 0, 6, 7, 8, 9, 0}));
    std::string midnight = bytes({120, 104, 5, 6, 1, 1, 1});
    ASSERT_TRUE(ora_date_to_systemtime(reinterpret_cast<const uint8_t*>(midnight.data()), 7, false, t));
    EXPECT_EQ(t.hour + t.minute + t.second, 0);
    std::string bce = bytes({53, 100, 1, 1, 1, 1, 1});
    EXPECT_FALSE(ora_date_to_systemtime(reinterpret_cast<const uint8_t*>(bce.data()), 7, false, t));
    // 2022-06-02 08:45:40.346906
    std::string ts = bytes({120, 122, 6, 2, 9, 46, 41, 0x14, 0xAD, 0x5D, 0x90});
    ASSERT_TRUE(ora_date_to_systemtime(reinterpret_cast<const uint8_t*>(ts.data()), 11, true, t));
    EXPECT_EQ(t, (ole_systemtime{2022, 6, 0, 2, 8, 45, 40, 346}));
}

// A decoder over a memory source, with columns made in place.
struct decoder_fixture {
    std::vector<std::unique_ptr<ora_dump_column>> owned;
    ora_column_list columns;
    std::unique_ptr<ora_dump_reader_th> decoder = create_row_decoder(11, "EXPORT:V11.02.00");

    decoder_fixture& col(int32_t kind, uint16_t vartype, int32_t size = 10) {
        owned.push_back(std::make_unique<ora_dump_column>(size, kind, u"C" + std::u16string(1, u'0' + owned.size()),
                                                          vartype, false, 0));
        columns.push_back(owned.back().get());
        return *this;
    }
};

ole_variant value(uint16_t vartype, int32_t kind, const std::string& data) {
    auto decoder = create_row_decoder(11, "EXPORT:V11.02.00");
    ora_memory_source s(data);
    return decoder->get_ole_value(vartype, kind, s, static_cast<uint16_t>(data.size()), 0);
}

TEST(ColumnValue, IntegerColumnsRoundAsOleAutomationDoes) {
    std::string two_and_half = bytes({0xC1, 0x03, 0x33});
    std::string three_and_half = bytes({0xC1, 0x04, 0x33});
    std::string minus_two_and_half = bytes({0x3E, 0x63, 0x33, 0x66});
    EXPECT_EQ(value(VT_I2, 1, two_and_half).i2(), 2);
    EXPECT_EQ(value(VT_I2, 1, three_and_half).i2(), 4);
    EXPECT_EQ(value(VT_I8, 1, two_and_half).i8(), 3);
    EXPECT_EQ(value(VT_I8, 1, minus_two_and_half).i8(), -2);
    EXPECT_EQ(value(VT_I1, 1, bytes({0xC2, 0x03})).vartype(), VT_I1);
    EXPECT_EQ(value(VT_I1, 1, bytes({0xC2, 0x03})).i1(), 0);  // 200 is out of range
    ole_variant r = value(VT_DECIMAL, 1, bytes({0xC1, 0x0D, 0x33}));
    EXPECT_EQ(r.vartype(), VT_R8);
    EXPECT_EQ(r.r8(), 12.5);
    // 20 significant digits stay exact as a DECIMAL.
    ole_variant d = value(VT_DECIMAL, 1, bytes({0xCA, 0x0D, 0x23, 0x39, 0x4F, 0x5B, 0x0D, 0x23,
                                                0x39, 0x4F, 0x5B}));
    EXPECT_EQ(d.vartype(), VT_DECIMAL);
}

TEST(ColumnValue, DatesTextAndErrors) {
    ole_variant date = value(VT_DATE, 10, bytes({120, 104, 5, 6, 8, 9, 10}));
    EXPECT_EQ(date.vartype(), VT_DATE);
    EXPECT_EQ(date.systemtime().year, 2004);
    EXPECT_EQ(value(VT_DATE, 10, bytes({53, 100, 1, 1, 1, 1, 1})).vartype(), VT_EMPTY);
    try {
        value(VT_DATE, 10, bytes({120, 104, 5, 6, 8, 9, 10, 11}));
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.text(), "Can't read record. Date error.");
        EXPECT_EQ(e.level(), 1);
    }
    ole_variant empty_text = value(VT_BSTR, 4, "");
    EXPECT_EQ(empty_text.vartype(), VT_BSTR);
    EXPECT_EQ(empty_text.bstr(), u"");
    EXPECT_EQ(value(VT_DATE, 14, bytes({120, 104, 5, 6, 8, 9, 10})).systemtime().second, 9);
}

TEST(RowDecoder, NullEmptyAndPlainValues) {
    decoder_fixture f;
    f.col(4, VT_BSTR).col(4, VT_BSTR).col(4, VT_BSTR);
    std::string row = le(0xFFFE) + le(0) + le(3) + "abc" + le(0) + le(0xFFFF);
    ora_memory_source s(row);
    auto record = f.decoder->get_record(s, f.columns, row.size());
    ASSERT_EQ(record->size(), 3u);
    EXPECT_TRUE((*record)[0].is_empty());
    EXPECT_EQ((*record)[1].bstr(), u"");
    EXPECT_EQ((*record)[2].bstr(), u"abc");
    EXPECT_EQ((*record)[2].name(), u"C2");
    EXPECT_TRUE(f.decoder->check_for_eof(s));
    EXPECT_EQ(s.position(), row.size() - 2);
}

TEST(RowDecoder, ALengthPastTheLimitIsAnEofError) {
    decoder_fixture f;
    f.col(4, VT_BSTR);
    std::string row = le(50) + "abc" + le(0);
    for (uint64_t limit : {uint64_t{7}, uint64_t{1000}}) {
        ora_memory_source s(row);
        try {
            f.decoder->get_record(s, f.columns, limit);
            FAIL();
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.text(), "Can't read record. EOF reached");
            EXPECT_EQ(e.level(), 0);
        }
    }
}

TEST(RowDecoder, ChunkedLongRawReadAndSkipEndAtTheSamePlace) {
    const std::string with_terminator =
        le(0xFFFD) + le(4) + "abcd" + le(4) + "efgh" + le(2) + "ij" + le(0) + "Z";
    const std::string with_zero = le(0xFFFD) + le(4) + "abcd" + le(4) + "efgh" + le(0) + "Z";
    for (const auto& [data, length] : {std::pair{with_terminator, 10u}, std::pair{with_zero, 8u}}) {
        auto decoder = create_row_decoder(11, "");
        ora_memory_source a(data), b(data);
        uint16_t s = 0;
        a.read_u16le(s);
        ole_variant v = decoder->get_long_raw_value(a, s);
        EXPECT_EQ(v.binary_size(), length);
        b.read_u16le(s);
        decoder->skip_long_raw_data(b, s, true);
        EXPECT_EQ(a.position(), b.position());
        EXPECT_EQ(a.position(), data.size() - 1);
    }
}

TEST(RowDecoder, LobEntries) {
    auto decoder = create_row_decoder(11, "");
    {
        ora_memory_source s(le(0));
        ole_variant blob = decoder->get_blob_value(s, VT_EMPTY, 0);
        EXPECT_TRUE(blob.is_binary());
        EXPECT_EQ(blob.binary_size(), 0u);
    }
    {
        ora_memory_source s(le(0));
        ole_variant clob = decoder->get_blob_value(s, VT_BSTR, 178);
        EXPECT_EQ(clob.vartype(), VT_BSTR);
        EXPECT_EQ(clob.bstr(), u"");
    }
    {
        std::string entry = le(0xFFFC) + std::string(8, 'x') + le(3) + "abc" + le(3) + "def" + le(1) + "g";
        ora_memory_source s(entry), t(entry);
        EXPECT_EQ(decoder->get_blob_value(s, VT_EMPTY, 0).binary_size(), 7u);
        decoder->skip_blob_data(t);
        EXPECT_EQ(s.position(), entry.size());
        EXPECT_EQ(t.position(), entry.size());
    }
    {
        std::string entry = le(0xFFFA) + le(0xFFFA) + le(7) + "zz" + le(2) + "ab" + le(1) + "c";
        ora_memory_source s(entry);
        EXPECT_EQ(decoder->get_blob_value(s, VT_EMPTY, 0).binary_size(), 3u);
        EXPECT_EQ(s.position(), entry.size());
    }
    {
        std::string utf16 = le(4) + bytes({0x00, 0x41, 0x30, 0x42});
        ora_memory_source s(utf16);
        EXPECT_EQ(decoder->get_blob_value(s, VT_BSTR, 873).bstr(), u"Aあ");
    }
}

TEST(RowDecoder, ClobsFollowTheRowWithTheirHeaderCharset) {
    decoder_fixture f;
    f.col(1, VT_I2).col(7, VT_BSTR, 0).col(6, VT_BLOB, 0);
    // Column header: 3 columns: NUMBER, CLOB (id 873, form 1), BLOB; W = 3 entries, flag 0.
    std::string header = le(3) + le(2) + le(22) + le(112) + le(86) + le(873) + le(1) + le(113) +
                         le(86) + le(3) + le(0) + bytes({0, 0, 0}) + bytes({2, 'C', '1', 0, 0}) +
                         bytes({0, 0, 0});
    std::string row = le(2) + bytes({0xC1, 0x02}) + le(4) + "LOC1" + le(0xFFFE) + le(1) +
                      le(4) + bytes({0x00, 0x48, 0x00, 0x69});
    ora_memory_source s(header + row + le(0xFFFF));
    f.decoder->read_column_header(s, f.columns);
    EXPECT_EQ(f.columns[1]->charset_id(), 873);
    EXPECT_EQ(f.decoder->no_lob_tail(), 0);
    auto record = f.decoder->get_record(s, f.columns, 10000);
    EXPECT_EQ((*record)[0].i2(), 1);
    EXPECT_EQ((*record)[1].bstr(), u"Hi");
    EXPECT_EQ((*record)[1].size(), 0);
    EXPECT_TRUE((*record)[2].is_empty());
    EXPECT_TRUE(f.decoder->check_for_eof(s));
}

TEST(RowDecoder, FlagWordOneMeansRowsWithoutTrailer) {
    decoder_fixture f;
    f.col(4, VT_BSTR).col(7, VT_BSTR, 0);
    std::string row = le(1) + "a" + le(2) + "LC" + le(2) + "xy";
    std::string two = row + row + le(0xFFFF);
    f.decoder->set_no_lob_tail(1);
    ora_memory_source s(two);
    auto first = f.decoder->get_record(s, f.columns, two.size());
    EXPECT_EQ((*first)[1].bstr(), u"xy");
    EXPECT_EQ(s.position(), row.size());
    ora_memory_source t(two);
    f.decoder->skip_row(t, f.columns);
    EXPECT_EQ(t.position(), row.size());
}

TEST(RowDecoder, Version806HasNoTrailerAndLaterVersionsDo) {
    auto v806 = create_row_decoder(8, "EXPORT:V08.00.06");
    auto v817 = create_row_decoder(8, "EXPORT:V08.01.07");
    EXPECT_FALSE(v806->has_row_trailer());
    EXPECT_TRUE(v817->has_row_trailer());
    EXPECT_EQ(static_cast<ora_dump_reader_th8&>(*v806).patch(), 6);
    for (int v : {9, 10, 11, 12, 18, 19, 21, 23}) EXPECT_NE(create_row_decoder(v, ""), nullptr) << v;
    for (int v : {0, 3, 5, 6}) EXPECT_EQ(create_row_decoder(v, ""), nullptr) << v;
}

}  // namespace
