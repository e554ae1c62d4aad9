// ole_date: each parsing step, the kinds, and the printed forms.
#include "ole_date.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tk_exception.h"
#include "tk_log.h"

namespace {

struct date_case {
    const char* text;
    int32_t kind;
    const char* printed;
};

void check(const date_case& c) {
    ole_date d{std::string_view(c.text)};
    EXPECT_EQ(d.date_kind(), c.kind) << c.text;
    EXPECT_EQ(d.is_valid(), c.kind != ole_date::kind_invalid) << c.text;
    EXPECT_EQ(d.to_string(), c.printed) << c.text;
}

TEST(OleDate, TimestampDigits) {
    const date_case cases[] = {
        {"20040506070809", ole_date::kind_date_time, "2004-05-06 07:08:09"},
        {"20040506000000", ole_date::kind_date_time, "2004-05-06"},
        {"20040506", ole_date::kind_date, "2004-05-06"},
        // Month 13: the eight-digit step fails and no later step reads it.
        {"20041306", ole_date::kind_invalid, ""},
        {"20041306070809", ole_date::kind_invalid, ""},
    };
    for (const auto& c : cases) check(c);
}

TEST(OleDate, PureTimes) {
    const date_case cases[] = {
        {"12:30:45", ole_date::kind_time, "0000-00-00 12:30:45"},
        {"12:30:45.600", ole_date::kind_time, "0000-00-00 12:30:46"},
        {"12:30:45.499", ole_date::kind_time, "0000-00-00 12:30:45"},
        {"23:59:59.7", ole_date::kind_time, "0000-00-00 00:00:00"},
        {"01:15:00 PM", ole_date::kind_time, "0000-00-00 13:15:00"},
        {"12:15:00 PM", ole_date::kind_time, "0000-00-00 12:15:00"},
        {"12:15:00 AM", ole_date::kind_time, "0000-00-00 12:15:00"},
        {"01:15:00 pm", ole_date::kind_time, "0000-00-00 13:15:00"},
        // Hour 60 passes; the carry step takes a day off the hours, not the day.
        {"60:00:00", ole_date::kind_time, "0000-00-00 36:00:00"},
        {"  07:08:09  ", ole_date::kind_time, "0000-00-00 07:08:09"},
    };
    for (const auto& c : cases) check(c);
    ole_date d{std::string_view("61:00:00")};  // hour 61 does not
    EXPECT_EQ(d.date_kind(), ole_date::kind_invalid);
}

TEST(OleDate, DatesThroughTheOleParser) {
    const date_case cases[] = {
        {"2004-05-06 07:08:09", ole_date::kind_date_time, "2004-05-06 07:08:09"},
        {"2004-05-06 00:00:00", ole_date::kind_date, "2004-05-06"},
        {"2004-05-06", ole_date::kind_date, "2004-05-06"},
        {"2004-05-06 07:08:09.600000", ole_date::kind_date_time, "2004-05-06 07:08:10"},
        {"1850-01-02 03:04:05", ole_date::kind_date_time, "1850-01-02 03:04:05"},
        {"5/6/2004 1:15:00 PM", ole_date::kind_date_time, "2004-05-06 13:15:00"},
        {"May 6, 2004", ole_date::kind_date, "2004-05-06"},
        // A time that the pure-time step cannot read lies on the OLE epoch.
        {"12:30", ole_date::kind_date_time, "1899-12-30 12:30:00"},
        {"2004-05-06 07:08", ole_date::kind_date_time, "2004-05-06 07:08:00"},
    };
    for (const auto& c : cases) check(c);
}

TEST(OleDate, FallbackFormats) {
    const date_case cases[] = {
        // MySQL's zero dates: not OLE dates, read by the fallback formats.
        {"0000-00-00 00:00:00", ole_date::kind_time, "0000-00-00 00:00:00"},
        {"0000-00-00", ole_date::kind_date, "0000-00-00"},
        // Year 31, month 12, day 2004 read by a fallback format: day and year are swapped.
        {"31-12-2004 25:00:00", ole_date::kind_date_time, "2004-12-31 01:00:00"},
        {"2004-05-06 07:08:09xyz", ole_date::kind_date_time, "2004-05-06 07:08:09"},
        {"2004/05/06 07:08:09.7x", ole_date::kind_date_time, "2004-05-06 07:08:10"},
        {"2004.05.06 07:08:09 trailing", ole_date::kind_date_time, "2004-05-06 07:08:09"},
        {"2004-02-30", ole_date::kind_date, "2004-02-30"},
        {"2004-05-06 07:08:59.5", ole_date::kind_date_time, "2004-05-06 07:09:00"},
        {"0000-00-00 23:59:59.9", ole_date::kind_time, "0000-00-00 00:00:00"},
    };
    for (const auto& c : cases) check(c);
}

TEST(OleDate, TextsThatAreNoDate) {
    const char* const texts[] = {"",           "2004",       "12:3",       "AM",
                                 "abcdefg",    "2004-13-01", "2004-00-01", "0000-05-06",
                                 "2004-05-00", "99-99-99",   "12:61:00"};
    for (const char* text : texts) {
        ole_date d{std::string_view(text)};
        EXPECT_EQ(d.date_kind(), ole_date::kind_invalid) << text;
        EXPECT_FALSE(d.is_valid()) << text;
        EXPECT_EQ(d.to_string(), "") << text;
    }
}

TEST(OleDate, FromRecordRefinesTheKind) {
    ole_systemtime t;
    t.year = 2004;
    t.month = 5;
    t.day = 6;
    EXPECT_EQ(ole_date(t).date_kind(), ole_date::kind_date);
    EXPECT_EQ(ole_date(t).to_string(), "2004-05-06");
    t.hour = 7;
    EXPECT_EQ(ole_date(t).date_kind(), ole_date::kind_date_time);
    EXPECT_EQ(ole_date(t).to_string(), "2004-05-06 07:00:00");
    t.milliseconds = 999;
    EXPECT_EQ(ole_date(t).to_string(), "2004-05-06 07:00:00");  // milliseconds never print
    ole_systemtime time_only;
    time_only.hour = 12;
    EXPECT_EQ(ole_date(time_only).date_kind(), ole_date::kind_time);
    EXPECT_EQ(ole_date(time_only).to_string(), "0000-00-00 12:00:00");
    ole_systemtime no_month = t;
    no_month.month = 0;
    EXPECT_EQ(ole_date(no_month).date_kind(), ole_date::kind_date_time);
    EXPECT_FALSE(ole_date(no_month).is_valid());
}

TEST(OleDate, OmitZeroTime) {
    ole_systemtime t;
    t.year = 2004;
    t.month = 5;
    t.day = 6;
    ole_date d{std::string_view("2004-05-06 07:08:09")};
    EXPECT_TRUE(d.omit_zero_time());
    ole_date midnight{std::string_view("20040506000000")};
    EXPECT_EQ(midnight.to_string(), "2004-05-06");
    midnight.set_omit_zero_time(false);
    EXPECT_EQ(midnight.to_string(), "2004-05-06 00:00:00");
}

TEST(OleDate, WideTextAndWidePrint) {
    ole_date d{std::u16string_view(u"2004-05-06 07:08:09")};
    EXPECT_EQ(d.to_wstring(), u"2004-05-06 07:08:09");
    std::string out = "x=";
    d.append_string(out);
    EXPECT_EQ(out, "x=2004-05-06 07:08:09");
}

TEST(OleDate, ProcessMilliseconds) {
    ole_date d{std::string_view("10:59:00")};
    d.process_milliseconds("59.5");
    EXPECT_EQ(d.to_string(), "0000-00-00 11:00:00");
    EXPECT_EQ(d.systemtime().milliseconds, 500);
    d.process_milliseconds("1e30");  // absurd seconds stay in the field's range
    d.process_milliseconds("-3");
    EXPECT_THROW(d.process_milliseconds(nullptr), tk_mail_assertion);
}

TEST(OleDate, ParsingWithTheLogOnWritesTheWarning) {
    char path[] = "/tmp/velt_ole_date_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        tk_log log(std::string(path), true, 1, false);
        ole_date d{std::string_view("not a date")};
        EXPECT_EQ(d.date_kind(), ole_date::kind_invalid);
    }
    FILE* f = fopen(path, "rb");
    ASSERT_NE(f, nullptr);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    unlink(path);
    EXPECT_NE(text.find("Invalid date/time format: 'not a date'"), std::string::npos) << text;
    EXPECT_NE(text.find("Trying datetime format #2"), std::string::npos);
}

}  // namespace
