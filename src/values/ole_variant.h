// ole_variant: the one value type of the system, a tagged value laid out after the OLE
// Automation VARIANT, with 64-bit integers and dates of its own.
//
// Every column value read from a dump, every value of a record (udb_field derives from it), every
// column default and every value the MySQL writers print is an ole_variant. The tag is a VARTYPE
// number (ole_types.h), the same numbers as the column types, and change_type converts a value to
// a column's tag by the rules in ole_variant.cpp. The value owns its text (VT_BSTR, UTF-16, may
// hold NUL code units) and its byte array (VT_ARRAY_UI1); copying duplicates them, moving hands
// them over and leaves the source VT_EMPTY. A VT_I8 / VT_UI8 value keeps its number in its 64-bit
// slot; a VT_DATE value keeps its calendar record, which all printing uses, and the OLE date
// number made from it. Small values live inside the object (no heap).
//
// Errors: change_type and from_string throw ole_type_exception (level 1) for conversions that are
// not supported or that fail; misuse (to_long / to_bool of a text, a null byte pointer) is an
// assertion failure (tk_mail_assertion).
//
// Values are not shared between threads; each thread uses its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ole_decimal.h"
#include "ole_guid_extractor.h"
#include "ole_type_exception.h"
#include "ole_types.h"

class ole_variant {
public:
    ole_variant() noexcept : m_vt(VT_EMPTY) { m_u.i8 = 0; }
    // bool only (a pointer does not silently become a VT_BOOL): true -1, false 0.
    template <class B, std::enable_if_t<std::is_same_v<B, bool>, int> = 0>
    ole_variant(B value) noexcept : m_vt(VT_BOOL) {
        m_u.i8 = 0;
        m_u.boolean = value ? -1 : 0;
    }
    ole_variant(signed char value);
    ole_variant(unsigned char value);
    ole_variant(short value);
    ole_variant(unsigned short value);
    ole_variant(int value);
    ole_variant(unsigned int value);
    ole_variant(long value);  // 64-bit signed: VT_I8
    ole_variant(long long value);
    ole_variant(unsigned long value);  // 64-bit unsigned: VT_UI8
    ole_variant(unsigned long long value);
    ole_variant(float value);
    ole_variant(double value);
    // VT_DATE: the record is kept as given; when OLE date rules reject it (month 0, ...) the date
    // number is 0 and "Failed to convert SYSTEMTIME->VARIANT" is traced.
    ole_variant(const ole_systemtime& time);
    ole_variant(ole_currency value);
    ole_variant(const ole_decimal& value);
    // VT_BSTR of zero-terminated wide text, up to its first NUL (null: empty text).
    ole_variant(const char16_t* text);
    // VT_BSTR of all code units, NULs included.
    ole_variant(std::u16string_view text);
    ole_variant(const std::u16string& text) : ole_variant(std::u16string_view(text)) {}
    ole_variant(std::u16string&& text);
    // VT_BSTR of narrow text in the system ANSI code page (UTF-8), up to its first NUL.
    ole_variant(const char* text);
    ole_variant(std::string_view text);
    ole_variant(const std::string& text) : ole_variant(std::string_view(text)) {}
    // Byte arrays.
    ole_variant(const std::vector<uint8_t>& bytes);
    ole_variant(std::vector<uint8_t>&& bytes);
    ole_variant(size_t length, const uint8_t* bytes);

    ole_variant(const ole_variant& other);
    ole_variant(ole_variant&& other) noexcept;
    ole_variant& operator=(const ole_variant& other);
    ole_variant& operator=(ole_variant&& other) noexcept;
    virtual ~ole_variant();

    // The narrow text of the value (numbers, DECIMAL and currency with '.', dates as ole_date
    // prints them, text in the ANSI code page, byte arrays as "0x" and hexadecimal digits for at
    // most the first 327,680 bytes; "" for empty values). Returns a new string.
    virtual std::string to_string() const;
    // The wide text: a VT_BSTR gives its text up to the first NUL, anything else this class's
    // to_string text widened (it is ASCII). Returns a new string.
    virtual std::u16string to_wstring() const;
    // This class's texts appended to out, for writers that build statements in one buffer; they
    // do not go through overrides of the two operations above.
    void append_string(std::string& out) const;
    void append_wstring(std::u16string& out) const;

    // 32-bit reading: integers (64-bit: the low 32 bits), floats truncated toward zero (0 when out
    // of range), DECIMAL by VarI4FromDec (0 when it fails), VT_BOOL -1/0, empty 0. Other tags:
    // assertion failure.
    int32_t to_long() const;
    // Non-zero numbers are true, VT_BOOL only when -1, empty false. Other tags: assertion failure.
    bool to_bool() const;

    // Converts the value in place to the tag (see ole_variant.cpp). Throws ole_type_exception when
    // the conversion is not supported or fails (out of range, text that is not a number); the
    // value is then in an unspecified but valid state.
    void change_type(VARTYPE new_type);

    // A new value of the tag parsed from text. Empty text gives VT_EMPTY (VT_BSTR: empty text).
    // Throws ole_type_exception where the text goes through the OLE conversion and it fails.
    static ole_variant from_string(std::string_view text, VARTYPE type);
    static ole_variant from_wstring(std::u16string_view text, VARTYPE type);

    // VT_BSTR of narrow (ANSI code page) text up to its first NUL / of all wide code units.
    void attach_string(std::string_view text);
    void attach_wstring(std::u16string_view text);
    void attach_wstring(std::u16string&& text);
    void attach_wstring(const char16_t* text) {
        attach_wstring(std::u16string_view(text ? text : u""));
    }
    // Byte arrays; a null pointer with a non-zero length is an assertion failure.
    void attach_binary(const std::vector<uint8_t>& bytes);
    void attach_binary(std::vector<uint8_t>&& bytes);
    void attach_binary(size_t length, const uint8_t* bytes);
    // A byte array of `size` bytes: an existing byte array is resized keeping its content,
    // anything else is cleared and becomes a zero-filled array.
    void allocate_safe_array(size_t size);
    // Back to VT_EMPTY.
    void clear() noexcept;

    // --- reading the content ---
    VARTYPE vartype() const noexcept { return m_vt; }
    bool is_empty() const noexcept { return m_vt == VT_EMPTY || m_vt == VT_NULL; }
    bool is_binary() const noexcept { return m_vt == VT_ARRAY_UI1; }
    // The numeric members as the OLE value area holds them; meaningful for the tags that store
    // that kind (VT_INT reads as i4, VT_UINT as ui4), 0 for text and byte arrays.
    int8_t i1() const noexcept { return scalar() ? m_u.i1 : 0; }
    uint8_t ui1() const noexcept { return scalar() ? m_u.ui1 : 0; }
    int16_t i2() const noexcept { return scalar() ? m_u.i2 : 0; }
    uint16_t ui2() const noexcept { return scalar() ? m_u.ui2 : 0; }
    int32_t i4() const noexcept { return scalar() ? m_u.i4 : 0; }
    uint32_t ui4() const noexcept { return scalar() ? m_u.ui4 : 0; }
    float r4() const noexcept { return scalar() ? m_u.r4 : 0.0f; }
    double r8() const noexcept { return scalar() ? m_u.r8 : 0.0; }
    int16_t boolean() const noexcept { return scalar() ? m_u.boolean : 0; }  // -1 / 0
    ole_currency currency() const noexcept { return {m_vt == VT_CY ? m_u.cy : 0}; }
    // The DECIMAL of a VT_DECIMAL value (a zero DECIMAL otherwise).
    const ole_decimal& decimal() const noexcept;
    // The 64-bit slots: the number of a VT_I8 / VT_UI8 value, 0 for any other tag.
    int64_t i8() const noexcept { return m_vt == VT_I8 || m_vt == VT_UI8 ? m_u.i8 : 0; }
    uint64_t ui8() const noexcept { return m_vt == VT_I8 || m_vt == VT_UI8 ? m_u.ui8 : 0; }
    // The calendar record and OLE date number of a VT_DATE value (zero for any other tag).
    const ole_systemtime& systemtime() const noexcept;
    double date() const noexcept { return m_vt == VT_DATE ? m_u.date.number : 0.0; }
    // The text of a VT_BSTR value, all code units (an empty string for any other tag).
    const std::u16string& bstr() const noexcept;
    // The bytes of a byte array (empty for any other tag); the mutable form lets a reader fill
    // an array made by allocate_safe_array. Valid until the value changes.
    std::span<const uint8_t> binary() const noexcept;
    std::span<uint8_t> binary_data() noexcept;
    size_t binary_size() const noexcept { return m_vt == VT_ARRAY_UI1 ? m_u.bytes.size() : 0; }

private:
    struct date_value {
        ole_systemtime time;
        double number;
    };
    union storage {
        storage() noexcept {}
        ~storage() {}
        int8_t i1;
        uint8_t ui1;
        int16_t i2;
        uint16_t ui2;
        int32_t i4;
        uint32_t ui4;
        float r4;
        double r8;
        int16_t boolean;
        int64_t cy;
        int64_t i8;
        uint64_t ui8;
        ole_decimal dec;
        date_value date;
        std::u16string str;
        std::vector<uint8_t> bytes;
    };

    bool scalar() const noexcept { return m_vt != VT_BSTR && m_vt != VT_ARRAY_UI1; }
    bool format_small(char* out, size_t& length) const;
    void destroy() noexcept;
    void copy_from(const ole_variant& other);
    void move_from(ole_variant& other) noexcept;
    void set_bstr(std::u16string&& text);
    void set_bytes(std::vector<uint8_t>&& bytes);
    void change_type_ole(VARTYPE new_type);
    void to_binary();
    int64_t to_i8_for_change(VARTYPE new_type) const;

    VARTYPE m_vt;
    storage m_u;
};
