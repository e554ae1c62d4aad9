// The value tags, the calendar record and the result codes shared by the value types.
//
// The tag of every value (and the type code of every column of the database model) is an OLE
// Automation VARTYPE number; the same numbers are compared directly between columns and values,
// so they must keep their numeric values. The calendar record is the eight-field date and time of
// a VT_DATE value and of ole_date. Result codes are the OLE Automation HRESULT values that the
// conversion rules report; traces print them with "%08X".
//
// Plain constants and records: usable from any thread.
#pragma once

#include <cstdint>

using VARTYPE = uint16_t;

constexpr VARTYPE VT_EMPTY = 0;  // no value; a NULL column value is an empty value
constexpr VARTYPE VT_NULL = 1;   // treated like VT_EMPTY everywhere
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_CY = 6;      // currency: the amount times 10,000 in a signed 64-bit integer
constexpr VARTYPE VT_DATE = 7;    // the calendar record plus the OLE date number made from it
constexpr VARTYPE VT_BSTR = 8;    // UTF-16 text with an explicit length (may hold NUL code units)
constexpr VARTYPE VT_ERROR = 10;  // only the result of a byte array that could not be copied
constexpr VARTYPE VT_BOOL = 11;   // 16-bit boolean: -1 true, 0 false
constexpr VARTYPE VT_DECIMAL = 14;
constexpr VARTYPE VT_I1 = 16;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_UI2 = 18;
constexpr VARTYPE VT_UI4 = 19;
constexpr VARTYPE VT_I8 = 20;
constexpr VARTYPE VT_UI8 = 21;
constexpr VARTYPE VT_INT = 22;
constexpr VARTYPE VT_UINT = 23;
constexpr VARTYPE VT_BLOB = 65;  // column type of binary columns; their values are byte arrays
constexpr VARTYPE VT_BLOB_OBJECT = 70;  // recognised as a binary tag by change_type
constexpr VARTYPE VT_ARRAY = 0x2000;
constexpr VARTYPE VT_ARRAY_UI1 = VT_ARRAY | VT_UI1;  // 8209: byte array, lower bound 0

// True for the three tags that stand for binary data.
constexpr bool ole_is_binary_type(VARTYPE vt) noexcept {
    return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_ARRAY_UI1;
}

// The calendar record (the layout of a Windows SYSTEMTIME): year, month 1-12, day of week 0-6
// (0 Sunday), day 1-31, hour, minute, second, milliseconds. Zero-initialised by default.
struct ole_systemtime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day_of_week = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    friend bool operator==(const ole_systemtime&, const ole_systemtime&) = default;
};
static_assert(sizeof(ole_systemtime) == 16);

// OLE Automation result codes (HRESULT).
using ole_hresult = uint32_t;
constexpr ole_hresult OLE_S_OK = 0;
constexpr ole_hresult OLE_DISP_E_TYPEMISMATCH = 0x80020005u;  // the text is not a number / date
constexpr ole_hresult OLE_DISP_E_OVERFLOW = 0x8002000Au;      // out of the target's range
constexpr ole_hresult OLE_E_INVALIDARG = 0x80070057u;

constexpr bool ole_succeeded(ole_hresult hr) noexcept {
    return (hr & 0x80000000u) == 0;
}
