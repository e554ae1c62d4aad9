// DECIMAL and currency numbers, the double-to-integer rules and the printed forms of floats.
#include "ole_decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ole_number.h"

namespace {

std::string dec_text(std::string_view input) {
    ole_decimal d;
    ole_hresult hr = ole_var_dec_from_str(input, d);
    if (hr != OLE_S_OK)
        return "failed";
    return ole_var_bstr_from_dec(d);
}

struct text_case {
    const char* input;
    const char* expected;  // "failed" when the rule rejects the text
};

TEST(OleDecimal, TextRoundTrips) {
    const text_case cases[] = {
        {"0", "0"},
        {"0.00", "0.00"},  // zero keeps its scale
        {"-0.00", "0.00"},
        {"1.50", "1.50"},
        {"-12.345", "-12.345"},
        {"79228162514264337593543950335", "79228162514264337593543950335"},
        {"-79228162514264337593543950335", "-79228162514264337593543950335"},
        {"7.9228162514264337593543950335", "7.9228162514264337593543950335"},  // scale 28
        {"0.0000000000000000000000000001", "0.0000000000000000000000000001"},
        {"-0.0000000000000000000000000001", "-0.0000000000000000000000000001"},
        {"123456789012345678", "123456789012345678"},
        {"000123.4500", "123.4500"},
    };
    for (const auto& c : cases) EXPECT_EQ(dec_text(c.input), c.expected) << c.input;
}

TEST(OleDecimal, ParsingRulesOfTheUnitedStatesLocale) {
    const text_case cases[] = {
        {"  42  ", "42"},     {"+42", "42"},          {"42-", "-42"},
        {"(42)", "-42"},      {"$1,234.5", "1234.5"}, {"1.5e3", "1500"},
        {"1.5E-3", "0.0015"}, {".5", "0.5"},          {"5.", "5"},
        {"", "failed"},       {"abc", "failed"},      {"1.2.3", "failed"},
        {"1,5", "15"},  // ',' groups digits in this locale
        {"--1", "failed"},    {"(1", "failed"},       {"1e", "failed"},
        {"- 1", "failed"},
    };
    for (const auto& c : cases) EXPECT_EQ(dec_text(c.input), c.expected) << c.input;
}

TEST(OleDecimal, DigitsBeyondTheScaleRoundHalfToEven) {
    const text_case cases[] = {
        // 29 decimals: the last one is rounded off, halves to even.
        {"0.00000000000000000000000000015", "0.0000000000000000000000000002"},
        {"0.00000000000000000000000000025", "0.0000000000000000000000000002"},
        {"0.000000000000000000000000000251", "0.0000000000000000000000000003"},
        // 30 significant digits: the fraction gives way to the 96 bits.
        {"1.23456789012345678901234567895", "1.2345678901234567890123456790"},
        {"79228162514264337593543950334.5", "79228162514264337593543950334"},
        {"79228162514264337593543950335.4", "79228162514264337593543950335"},
        {"0.00000000000000000000000000001", "0.0000000000000000000000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(dec_text(c.input), c.expected) << c.input;
}

TEST(OleDecimal, NumbersPastTheMagnitudeOverflow) {
    ole_decimal d;
    d.lo64 = 7;
    const ole_decimal before = d;
    EXPECT_EQ(ole_var_dec_from_str("79228162514264337593543950336", d), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_dec_from_str("79228162514264337593543950335.5", d), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_dec_from_str("1e29", d), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_dec_from_str("x", d), OLE_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(d, before);
}

TEST(OleDecimal, FromDoubleKeepsFifteenDigits) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {12.5, "12.5"},
        {0.1, "0.1"},
        {-0.1, "-0.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {123456789.123456789, "123456789.123457"},
        {1e20, "100000000000000000000"},
        {1.5e-28, "0.0000000000000000000000000002"},
        {1e-40, "0"},
        {0.0, "0"},
        {-0.0, "0"},
        {7.9e28, "79000000000000000000000000000"},
    };
    for (const auto& c : cases) {
        ole_decimal d;
        ASSERT_EQ(ole_var_dec_from_r8(c.value, d), OLE_S_OK) << c.value;
        EXPECT_EQ(ole_var_bstr_from_dec(d), c.expected) << c.value;
    }
    ole_decimal d;
    EXPECT_EQ(ole_var_dec_from_r8(8e28, d), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_dec_from_r8(std::nan(""), d), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_dec_from_r8(INFINITY, d), OLE_DISP_E_OVERFLOW);
    ASSERT_EQ(ole_var_dec_from_r4(0.1f, d), OLE_S_OK);
    EXPECT_EQ(ole_var_bstr_from_dec(d), "0.1");
}

TEST(OleDecimal, ToDouble) {
    ole_decimal d;
    ASSERT_EQ(ole_var_dec_from_str("-12.5", d), OLE_S_OK);
    EXPECT_EQ(ole_var_r8_from_dec(d), -12.5);
    ASSERT_EQ(ole_var_dec_from_str("0.1", d), OLE_S_OK);
    EXPECT_EQ(ole_var_r8_from_dec(d), 0.1);
    ASSERT_EQ(ole_var_dec_from_str("79228162514264337593543950335", d), OLE_S_OK);
    EXPECT_EQ(ole_var_r8_from_dec(d), 79228162514264337593543950335.0);
}

TEST(OleDecimal, ToIntegersRoundHalfToEvenAndCheckTheRange) {
    const struct {
        const char* input;
        ole_hresult hr;
        int32_t expected;
    } cases[] = {
        {"2.5", OLE_S_OK, 2},
        {"3.5", OLE_S_OK, 4},
        {"-2.5", OLE_S_OK, -2},
        {"-3.5", OLE_S_OK, -4},
        {"2.5000000000000000000000000001", OLE_S_OK, 3},
        {"2147483647.4", OLE_S_OK, 2147483647},
        {"2147483647.5", OLE_DISP_E_OVERFLOW, 0},
        {"-2147483648.5", OLE_S_OK, -2147483648},
        {"-2147483649", OLE_DISP_E_OVERFLOW, 0},
        {"79228162514264337593543950335", OLE_DISP_E_OVERFLOW, 0},
    };
    for (const auto& c : cases) {
        ole_decimal d;
        ASSERT_EQ(ole_var_dec_from_str(c.input, d), OLE_S_OK) << c.input;
        int32_t out = 0;
        EXPECT_EQ(ole_var_i4_from_dec(d, out), c.hr) << c.input;
        if (c.hr == OLE_S_OK) {
            EXPECT_EQ(out, c.expected) << c.input;
        }
    }
    ole_decimal d;
    uint64_t u = 0;
    ASSERT_EQ(ole_var_dec_from_str("-1", d), OLE_S_OK);
    EXPECT_EQ(ole_var_ui8_from_dec(d, u), OLE_DISP_E_OVERFLOW);
    ASSERT_EQ(ole_var_dec_from_str("-0.4", d), OLE_S_OK);
    EXPECT_EQ(ole_var_ui8_from_dec(d, u), OLE_S_OK);
    EXPECT_EQ(u, 0u);
    int64_t n = 0;
    ASSERT_EQ(ole_var_dec_from_str("-9223372036854775808", d), OLE_S_OK);
    EXPECT_EQ(ole_var_i8_from_dec(d, n), OLE_S_OK);
    EXPECT_EQ(n, std::numeric_limits<int64_t>::min());
    ASSERT_EQ(ole_var_dec_from_str("9223372036854775808", d), OLE_S_OK);
    EXPECT_EQ(ole_var_i8_from_dec(d, n), OLE_DISP_E_OVERFLOW);
}

std::string cy_text(std::string_view input) {
    ole_currency c;
    if (ole_var_cy_from_str(input, c) != OLE_S_OK)
        return "failed";
    return ole_var_bstr_from_cy(c);
}

TEST(OleCurrency, TextRoundTrips) {
    const text_case cases[] = {
        {"0", "0"},
        {"1.5", "1.5"},
        {"1.5000", "1.5"},  // a currency has no scale of its own
        {"-0.0001", "-0.0001"},
        {"922337203685477.5807", "922337203685477.5807"},
        {"-922337203685477.5808", "-922337203685477.5808"},
        {"922337203685477.5808", "failed"},
        {"-922337203685477.5809", "failed"},
        {"1.23455", "1.2346"},  // halves to even at the fourth decimal
        {"1.23445", "1.2344"},
        {"$12", "12"},
        {"twelve", "failed"},
    };
    for (const auto& c : cases) EXPECT_EQ(cy_text(c.input), c.expected) << c.input;
}

TEST(OleCurrency, ConversionsWithDecimalAndDouble) {
    ole_decimal d = ole_var_dec_from_cy(ole_currency{-15000});
    EXPECT_EQ(ole_var_bstr_from_dec(d), "-1.5000");
    ole_currency c;
    ASSERT_EQ(ole_var_dec_from_str("2.00005", d), OLE_S_OK);
    ASSERT_EQ(ole_var_cy_from_dec(d, c), OLE_S_OK);
    EXPECT_EQ(c.int64, 20000);
    ASSERT_EQ(ole_var_dec_from_str("2.00015", d), OLE_S_OK);
    ASSERT_EQ(ole_var_cy_from_dec(d, c), OLE_S_OK);
    EXPECT_EQ(c.int64, 20002);
    ASSERT_EQ(ole_var_dec_from_str("1e15", d), OLE_S_OK);
    EXPECT_EQ(ole_var_cy_from_dec(d, c), OLE_DISP_E_OVERFLOW);

    ASSERT_EQ(ole_var_cy_from_r8(1.23456, c), OLE_S_OK);
    EXPECT_EQ(c.int64, 12346);
    ASSERT_EQ(ole_var_cy_from_r8(-2.5, c), OLE_S_OK);
    EXPECT_EQ(c.int64, -25000);
    EXPECT_EQ(ole_var_cy_from_r8(1e15, c), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_cy_from_r8(std::nan(""), c), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_r8_from_cy(ole_currency{-25000}), -2.5);

    EXPECT_EQ(ole_var_i8_from_cy(ole_currency{25000}), 2);
    EXPECT_EQ(ole_var_i8_from_cy(ole_currency{35000}), 4);
    EXPECT_EQ(ole_var_i8_from_cy(ole_currency{-25000}), -2);
    EXPECT_EQ(ole_var_i8_from_cy(ole_currency{-25001}), -3);
}

TEST(OleNumber, DoublesToIntegersRoundHalfToEven) {
    const struct {
        double value;
        ole_hresult hr;
        int64_t expected;
    } i2_cases[] = {
        {2.5, OLE_S_OK, 2},
        {3.5, OLE_S_OK, 4},
        {-2.5, OLE_S_OK, -2},
        {-3.5, OLE_S_OK, -4},
        {2.4999, OLE_S_OK, 2},
        {2.5001, OLE_S_OK, 3},
        {0.5, OLE_S_OK, 0},
        {-0.5, OLE_S_OK, 0},
        {32767.4, OLE_S_OK, 32767},
        {32767.5, OLE_DISP_E_OVERFLOW, 0},
        {-32768.5, OLE_S_OK, -32768},
        {-32769, OLE_DISP_E_OVERFLOW, 0},
        {std::nan(""), OLE_DISP_E_OVERFLOW, 0},
        {INFINITY, OLE_DISP_E_OVERFLOW, 0},
    };
    for (const auto& c : i2_cases) {
        int16_t out = 99;
        EXPECT_EQ(ole_var_i2_from_r8(c.value, out), c.hr) << c.value;
        EXPECT_EQ(out, c.hr == OLE_S_OK ? c.expected : 99) << c.value;
    }
    int8_t i1 = 0;
    EXPECT_EQ(ole_var_i1_from_r8(127.5, i1), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_i1_from_r8(-128.4, i1), OLE_S_OK);
    EXPECT_EQ(i1, -128);
    int32_t i4 = 0;
    EXPECT_EQ(ole_var_i4_from_r8(2147483646.5, i4), OLE_S_OK);
    EXPECT_EQ(i4, 2147483646);
    EXPECT_EQ(ole_var_i4_from_r8(2147483647.5, i4), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_i4_from_r8(-2147483648.5, i4), OLE_S_OK);
    EXPECT_EQ(i4, -2147483648);
    uint8_t ui1 = 0;
    EXPECT_EQ(ole_var_ui1_from_r8(-0.5, ui1), OLE_S_OK);
    EXPECT_EQ(ui1, 0);
    EXPECT_EQ(ole_var_ui1_from_r8(-0.6, ui1), OLE_DISP_E_OVERFLOW);
    uint32_t ui4 = 0;
    EXPECT_EQ(ole_var_ui4_from_r8(4294967295.4, ui4), OLE_S_OK);
    EXPECT_EQ(ui4, 4294967295u);
}

std::string format_e(double value, int precision) {
    char buffer[ole_float_text_max];
    return std::string(buffer, ole_format_e(value, precision, buffer));
}

std::string format_g(double value, int precision) {
    char buffer[ole_float_text_max];
    return std::string(buffer, ole_format_g(value, precision, buffer));
}

TEST(OleNumber, ExponentFormsWriteThreeDigits) {
    EXPECT_EQ(format_e(1.5, 15), "1.500000000000000e+000");
    EXPECT_EQ(format_e(-1.5, 15), "-1.500000000000000e+000");
    EXPECT_EQ(format_e(0.0, 15), "0.000000000000000e+000");
    EXPECT_EQ(format_e(1e-300, 15), "1.000000000000000e-300");
    EXPECT_EQ(format_e(1.7976931348623157e308, 15), "1.797693134862316e+308");
    EXPECT_EQ(format_e(123456.0, 6), "1.234560e+005");
    EXPECT_EQ(format_e(0.1f, 6), "1.000000e-001");
}

TEST(OleNumber, GeneralFormsAsOleWritesThem) {
    EXPECT_EQ(format_g(1.5, 15), "1.5");
    EXPECT_EQ(format_g(-0.25, 15), "-0.25");
    EXPECT_EQ(format_g(100.0, 15), "100");
    EXPECT_EQ(format_g(0.0001, 15), "0.0001");
    EXPECT_EQ(format_g(0.00001, 15), "1E-05");
    EXPECT_EQ(format_g(1e20, 15), "1E+20");
    EXPECT_EQ(format_g(123456789012345678.0, 15), "1.23456789012346E+17");
    EXPECT_EQ(format_g(0.1, 15), "0.1");
    EXPECT_EQ(format_g(0.0, 15), "0");
    EXPECT_EQ(format_g(static_cast<double>(0.1f), 7), "0.1");
    EXPECT_EQ(format_g(1e100, 15), "1E+100");
}

TEST(OleNumber, CLibraryReadings) {
    EXPECT_EQ(ole_atof("1.5"), 1.5);
    EXPECT_EQ(ole_atof("  -2.5e1xyz"), -25.0);
    EXPECT_EQ(ole_atof("+.5"), 0.5);
    EXPECT_EQ(ole_atof("abc"), 0.0);
    EXPECT_EQ(ole_atof(""), 0.0);
    EXPECT_EQ(ole_atof("1,5"), 1.0);
    EXPECT_TRUE(std::isinf(ole_atof("1e999")));
    EXPECT_EQ(ole_atoi("42abc"), 42);
    EXPECT_EQ(ole_atoi("  -7"), -7);
    EXPECT_EQ(ole_atoi("x"), 0);
    EXPECT_EQ(ole_atoi("4294967297"), 1);             // strtol's number, cut to int
    EXPECT_EQ(ole_atoi("99999999999999999999"), -1);  // saturated at LONG_MAX, cut to int

    double r = 0.0;
    EXPECT_EQ(ole_var_r8_from_str("1,234.5", r), OLE_S_OK);
    EXPECT_EQ(r, 1234.5);
    EXPECT_EQ(ole_var_r8_from_str("0.1", r), OLE_S_OK);
    EXPECT_EQ(r, 0.1);
    EXPECT_EQ(ole_var_r8_from_str("1e999", r), OLE_DISP_E_OVERFLOW);
    EXPECT_EQ(ole_var_r8_from_str("one", r), OLE_DISP_E_TYPEMISMATCH);
}

}  // namespace
