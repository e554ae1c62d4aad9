// The OLE date number: calendar records to numbers and back, and the date text parser.
#include "ole_date_number.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

ole_systemtime make_time(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0,
                         uint16_t s = 0) {
    ole_systemtime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    return t;
}

TEST(OleDateNumber, KnownNumbers) {
    const struct {
        ole_systemtime time;
        double number;
    } cases[] = {
        {make_time(1899, 12, 30), 0.0},
        {make_time(1899, 12, 30, 6), 0.25},
        {make_time(1899, 12, 31), 1.0},
        {make_time(1900, 1, 1), 2.0},
        {make_time(1899, 12, 29), -1.0},
        {make_time(1899, 12, 29, 6), -1.25},  // before the epoch the time is taken away
        {make_time(1899, 12, 28, 18), -2.75},
        {make_time(2004, 5, 6, 12), 38113.5},
        {make_time(100, 1, 1), -657434.0},
        {make_time(9999, 12, 31), 2958465.0},
        {make_time(1600, 2, 29), -109512.0},
    };
    for (const auto& c : cases) {
        double number = 12345.0;
        ASSERT_TRUE(ole_system_time_to_variant_time(c.time, number)) << c.number;
        EXPECT_DOUBLE_EQ(number, c.number);
        ole_systemtime back;
        ASSERT_TRUE(ole_variant_time_to_system_time(c.number, back)) << c.number;
        EXPECT_EQ(back.year, c.time.year);
        EXPECT_EQ(back.month, c.time.month);
        EXPECT_EQ(back.day, c.time.day);
        EXPECT_EQ(back.hour, c.time.hour);
        EXPECT_EQ(back.minute, 0);
        EXPECT_EQ(back.second, 0);
    }
}

TEST(OleDateNumber, RoundTripsEverySecondOfSampleDays) {
    // Dates across the range, before and after 1899-12-30, with times to the second.
    const ole_systemtime days[] = {make_time(100, 1, 1),    make_time(1582, 10, 4),
                                   make_time(1800, 2, 28),  make_time(1899, 12, 29),
                                   make_time(1899, 12, 30), make_time(2000, 2, 29),
                                   make_time(9999, 12, 31)};
    for (ole_systemtime day : days) {
        for (int seconds = 0; seconds < 86400; seconds += 7) {
            ole_systemtime t = day;
            t.hour = static_cast<uint16_t>(seconds / 3600);
            t.minute = static_cast<uint16_t>(seconds / 60 % 60);
            t.second = static_cast<uint16_t>(seconds % 60);
            double number;
            ASSERT_TRUE(ole_system_time_to_variant_time(t, number));
            ole_systemtime back;
            ASSERT_TRUE(ole_variant_time_to_system_time(number, back));
            back.day_of_week = 0;
            ASSERT_EQ(back, t) << day.year << " " << seconds;
        }
    }
}

TEST(OleDateNumber, DayOfWeek) {
    ole_systemtime t;
    ASSERT_TRUE(ole_variant_time_to_system_time(0.0, t));
    EXPECT_EQ(t.day_of_week, 6);  // 1899-12-30 was a Saturday
    ASSERT_TRUE(ole_variant_time_to_system_time(-1.0, t));
    EXPECT_EQ(t.day_of_week, 5);
    ASSERT_TRUE(ole_variant_time_to_system_time(38113.0, t));
    EXPECT_EQ(t.day_of_week, 4);  // 2004-05-06, a Thursday
}

TEST(OleDateNumber, RejectedRecords) {
    double number = 42.0;
    EXPECT_FALSE(ole_system_time_to_variant_time(make_time(2004, 0, 6), number));
    EXPECT_FALSE(ole_system_time_to_variant_time(make_time(2004, 13, 6), number));
    EXPECT_FALSE(ole_system_time_to_variant_time(make_time(2004, 5, 0), number));
    EXPECT_FALSE(ole_system_time_to_variant_time(make_time(2004, 5, 32), number));
    EXPECT_FALSE(ole_system_time_to_variant_time(make_time(10000, 1, 1), number));
    EXPECT_FALSE(ole_system_time_to_variant_time(make_time(0, 0, 0, 12, 30), number));
    EXPECT_FALSE(ole_system_time_to_variant_time(make_time(9999, 12, 31, 24), number));
    EXPECT_EQ(number, 42.0);
}

TEST(OleDateNumber, RecordsRollLikeOle) {
    double number, expected;
    ASSERT_TRUE(ole_system_time_to_variant_time(make_time(2004, 2, 30), number));
    ASSERT_TRUE(ole_system_time_to_variant_time(make_time(2004, 3, 1), expected));
    EXPECT_EQ(number, expected);
    ASSERT_TRUE(ole_system_time_to_variant_time(make_time(2004, 5, 6, 23, 59, 60), number));
    ASSERT_TRUE(ole_system_time_to_variant_time(make_time(2004, 5, 7), expected));
    EXPECT_EQ(number, expected);
    // Two-digit years are in the 1900s.
    ASSERT_TRUE(ole_system_time_to_variant_time(make_time(99, 1, 1), number));
    ASSERT_TRUE(ole_system_time_to_variant_time(make_time(1999, 1, 1), expected));
    EXPECT_EQ(number, expected);
}

TEST(OleDateNumber, NumbersOutsideTheRangeOrBeforeTheCommonEra) {
    ole_systemtime t = make_time(1, 2, 3);
    const ole_systemtime before = t;
    EXPECT_FALSE(ole_variant_time_to_system_time(-657435.0, t));  // 0099-12-31
    EXPECT_FALSE(ole_variant_time_to_system_time(-1000000.0, t));
    EXPECT_FALSE(ole_variant_time_to_system_time(2958466.0, t));
    EXPECT_FALSE(ole_variant_time_to_system_time(std::nan(""), t));
    EXPECT_FALSE(ole_variant_time_to_system_time(INFINITY, t));
    EXPECT_EQ(t, before);
    // The last second of the range, and a time that rounds past it.
    ASSERT_TRUE(ole_variant_time_to_system_time(2958465.0 + 86399.0 / 86400.0, t));
    t.day_of_week = 0;
    EXPECT_EQ(t, make_time(9999, 12, 31, 23, 59, 59));
    EXPECT_FALSE(ole_variant_time_to_system_time(2958465.0 + 86399.9 / 86400.0, t));
    ASSERT_TRUE(ole_variant_time_to_system_time(-657434.0 - 86399.0 / 86400.0, t));
    EXPECT_EQ(t.year, 100);
    EXPECT_EQ(t.hour, 23);
}

TEST(OleDateNumber, NumbersRoundToTheNearestSecond) {
    ole_systemtime t;
    ASSERT_TRUE(ole_variant_time_to_system_time(1.0 + 0.6 / 86400.0, t));
    EXPECT_EQ(t.second, 1);
    EXPECT_EQ(t.milliseconds, 0);
    ASSERT_TRUE(ole_variant_time_to_system_time(1.0 + 86399.7 / 86400.0, t));
    t.day_of_week = 0;
    EXPECT_EQ(t, make_time(1900, 1, 1)) << "rolls into the next day";
    // Half a second rounds up although the date number holds it a little below.
    ASSERT_TRUE(ole_variant_time_to_system_time(38113.0 + 25739.5 / 86400.0, t));
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.minute, 9);
    ASSERT_TRUE(ole_variant_time_to_system_time(-1.0 - 86399.7 / 86400.0, t));
    EXPECT_EQ(t.year, 1899);
    EXPECT_EQ(t.day, 30);
    EXPECT_EQ(t.hour, 0);
}

struct parse_case {
    const char* text;
    bool ok;
    ole_systemtime expected;
};

TEST(OleDateFromStr, FormsTheSystemAndMySqlWrite) {
    const parse_case cases[] = {
        {"2004-05-06 07:08:09", true, make_time(2004, 5, 6, 7, 8, 9)},
        {"2004-05-06", true, make_time(2004, 5, 6)},
        {"2004-05-06 07:08:09.000000", true, make_time(2004, 5, 6, 7, 8, 9)},
        {"2004-05-06 07:08:09.600000", true, make_time(2004, 5, 6, 7, 8, 10)},
        {"12:30:45", true, make_time(1899, 12, 30, 12, 30, 45)},
        {"12:30", true, make_time(1899, 12, 30, 12, 30)},
        {"1850-01-02 03:04:05", true, make_time(1850, 1, 2, 3, 4, 5)},
        {"0100-01-01", true, make_time(100, 1, 1)},
        {"9999-12-31 23:59:59", true, make_time(9999, 12, 31, 23, 59, 59)},
        {"2004/05/06", true, make_time(2004, 5, 6)},
        {"2004.05.06", true, make_time(2004, 5, 6)},
    };
    for (const auto& c : cases) {
        double number;
        ASSERT_EQ(ole_var_date_from_str(c.text, number), OLE_S_OK) << c.text;
        ole_systemtime t;
        ASSERT_TRUE(ole_variant_time_to_system_time(number, t)) << c.text;
        t.day_of_week = 0;
        EXPECT_EQ(t, c.expected) << c.text;
    }
}

TEST(OleDateFromStr, UnitedStatesForms) {
    const parse_case cases[] = {
        {"5/6/2004", true, make_time(2004, 5, 6)},
        {"13/6/2004", true, make_time(2004, 6, 13)},  // cannot be a month: day first
        {"5/6/04", true, make_time(2004, 5, 6)},
        {"5/6/30", true, make_time(1930, 5, 6)},
        {"5/6/2004 1:15:00 PM", true, make_time(2004, 5, 6, 13, 15)},
        {"12:15 AM", true, make_time(1899, 12, 30, 0, 15)},
        {"12:15 PM", true, make_time(1899, 12, 30, 12, 15)},
        {"May 6, 2004", true, make_time(2004, 5, 6)},
        {"6-May-2004", true, make_time(2004, 5, 6)},
        {"Thursday, May 6, 2004 07:08", true, make_time(2004, 5, 6, 7, 8)},
        {"6 sept 2004", true, make_time(2004, 9, 6)},
        {"07:08:09 2004-05-06", true, make_time(2004, 5, 6, 7, 8, 9)},
    };
    for (const auto& c : cases) {
        double number;
        ASSERT_EQ(ole_var_date_from_str(c.text, number), OLE_S_OK) << c.text;
        ole_systemtime t;
        ASSERT_TRUE(ole_variant_time_to_system_time(number, t)) << c.text;
        t.day_of_week = 0;
        EXPECT_EQ(t, c.expected) << c.text;
    }
}

TEST(OleDateFromStr, RejectedTexts) {
    const char* const texts[] = {
        "",
        "   ",
        "2004",
        "2004-05",
        "0000-00-00 00:00:00",
        "2004-13-06",
        "2004-02-30",
        "2003-02-29",
        "0099-12-31",
        "10000-01-01",
        "2004-05-06 24:00:00",
        "2004-05-06 07:60:00",
        "2004-05-06 07:08:60",
        "838:59:59",
        "2004-05-06 07:08:09 pizza",
        "13:00 PM",
        "May 2004 June",
        "20040506",
        "1:2:3:4",
        "2004-05-06 07:08:09 07:08:09",
        "#2004-05-06#",
    };
    for (const char* text : texts) {
        double number = 7.0;
        EXPECT_EQ(ole_var_date_from_str(text, number), OLE_DISP_E_TYPEMISMATCH) << text;
        EXPECT_EQ(number, 7.0) << text;
    }
}

}  // namespace
