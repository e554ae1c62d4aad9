#include "ole_variant.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "ole_date.h"
#include "ole_date_number.h"
#include "ole_number.h"
#include "ole_parsed_number.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "tk_text_decoder.h"

namespace {

// The printed form of a byte array stops after this many bytes, so that a large binary value
// gives a bounded text (655,360 hexadecimal digits).
constexpr size_t max_hex_bytes = 327680;

// Longest printed form of a number, a DECIMAL or a date.
constexpr size_t small_text_max = 64;

const ole_decimal zero_decimal{};
const ole_systemtime zero_time{};

[[noreturn]] void fail_conversion() {
    throw ole_type_exception();
}

std::u16string_view up_to_nul(std::u16string_view text) {
    size_t nul = text.find(u'\0');
    return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

std::string_view up_to_nul(std::string_view text) {
    size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::u16string ansi_to_wide(std::string_view text) {
    text = up_to_nul(text);
    std::u16string out;
    tk_decode_utf8_append(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out);
    return out;
}

template <class T>
size_t write_integer(char* out, T value) {
    return static_cast<size_t>(std::to_chars(out, out + 24, value).ptr - out);
}

bool equal_nocase_ascii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

size_t skip_space(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
        ++pos;
    }
    return pos;
}

// sscanf "%u" / "%I64u": strtoul's reading (white space, a sign, digits; a '-' negates, overflow
// saturates); 0 when no number is read.
uint64_t scan_unsigned(std::string_view text) {
    size_t pos = skip_space(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    uint64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        uint64_t digit = static_cast<uint64_t>(text[pos++] - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return UINT64_MAX;
        value = value * 10 + digit;
    }
    return negative ? uint64_t{0} - value : value;
}

// Decimal text to a signed 64-bit integer: white space, a sign, digits up to the first other
// character. A number past the range saturates rather than wrapping into another number.
int64_t read_signed_64(std::string_view text) {
    size_t pos = skip_space(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        uint64_t digit = static_cast<uint64_t>(text[pos++] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    return static_cast<int64_t>(negative ? uint64_t{0} - magnitude : magnitude);
}

std::string commas_to_points(std::string_view text) {
    std::string copy(text);
    for (char& c : copy) {
        if (c == ',')
            c = '.';
    }
    return copy;
}

// The range of an integer tag; false for tags that are not integers.
bool integer_range(VARTYPE vt, int64_t& low, uint64_t& high) {
    switch (vt) {
        case VT_I1:
            low = INT8_MIN, high = INT8_MAX;
            return true;
        case VT_I2:
            low = INT16_MIN, high = INT16_MAX;
            return true;
        case VT_I4:
        case VT_INT:
            low = INT32_MIN, high = INT32_MAX;
            return true;
        case VT_UI1:
            low = 0, high = UINT8_MAX;
            return true;
        case VT_UI2:
            low = 0, high = UINT16_MAX;
            return true;
        case VT_UI4:
        case VT_UINT:
            low = 0, high = UINT32_MAX;
            return true;
        default:
            return false;
    }
}

}  // namespace

// ---------------------------------------------------------------- construction

ole_variant::ole_variant(signed char value) : m_vt(VT_I1) {
    tk_trace(1, "ole_variant::ctor from char(%d)", value);
    m_u.i8 = 0;
    m_u.i1 = value;
}

ole_variant::ole_variant(unsigned char value) : m_vt(VT_UI1) {
    tk_trace(1, "ole_variant::ctor from uchar(%u)", value);
    m_u.i8 = 0;
    m_u.ui1 = value;
}

ole_variant::ole_variant(short value) : m_vt(VT_I2) {
    tk_trace(1, "ole_variant::ctor from short(%d)", value);
    m_u.i8 = 0;
    m_u.i2 = value;
}

ole_variant::ole_variant(unsigned short value) : m_vt(VT_UI2) {
    tk_trace(1, "ole_variant::ctor from ushort(%u)", value);
    m_u.i8 = 0;
    m_u.ui2 = value;
}

ole_variant::ole_variant(int value) : m_vt(VT_I4) {
    tk_trace(1, "ole_variant::ctor from int(%d)", value);
    m_u.i8 = 0;
    m_u.i4 = value;
}

ole_variant::ole_variant(unsigned int value) : m_vt(VT_UI4) {
    tk_trace(1, "ole_variant::ctor from uint(%u)", value);
    m_u.i8 = 0;
    m_u.ui4 = value;
}

ole_variant::ole_variant(long value) : ole_variant(static_cast<long long>(value)) {}

ole_variant::ole_variant(long long value) : m_vt(VT_I8) {
    tk_trace(1, "ole_variant::ctor(hyper, %lld)", value);
    m_u.i8 = value;
}

ole_variant::ole_variant(unsigned long value)
    : ole_variant(static_cast<unsigned long long>(value)) {}

ole_variant::ole_variant(unsigned long long value) : m_vt(VT_UI8) {
    tk_trace(1, "ole_variant::ctor(uhyper, %llu)", value);
    m_u.ui8 = value;
}

ole_variant::ole_variant(float value) : m_vt(VT_R4) {
    tk_trace(1, "ole_variant::ctor from float(%g)", static_cast<double>(value));
    m_u.i8 = 0;
    m_u.r4 = value;
}

ole_variant::ole_variant(double value) : m_vt(VT_R8) {
    tk_trace(1, "ole_variant::ctor from double(%g)", value);
    m_u.r8 = value;
}

ole_variant::ole_variant(const ole_systemtime& time) : m_vt(VT_DATE) {
    tk_trace(1, "Construct ole_variant from SYSTEMTIME");
    new (&m_u.date) date_value{time, 0.0};
    if (!ole_system_time_to_variant_time(time, m_u.date.number)) {
        tk_trace(2, "Failed to convert SYSTEMTIME->VARIANT");
    }
}

ole_variant::ole_variant(ole_currency value) : m_vt(VT_CY) {
    tk_trace(1, "ole_variant::ctor from CY(%lld)", static_cast<long long>(value.int64));
    m_u.cy = value.int64;
}

ole_variant::ole_variant(const ole_decimal& value) : m_vt(VT_DECIMAL) {
    tk_trace(1, "ole_variant::ctor from DECIMAL");
    new (&m_u.dec) ole_decimal(value);
    m_u.dec.reserved = 0;
}

ole_variant::ole_variant(const char16_t* text) : m_vt(VT_BSTR) {
    tk_trace(1, "ole_variant::ctor from LPCWSTR");
    new (&m_u.str) std::u16string(text != nullptr ? text : u"");
}

ole_variant::ole_variant(std::u16string_view text) : m_vt(VT_BSTR) {
    tk_trace(1, "ole_variant::ctor from wstring");
    new (&m_u.str) std::u16string(text);
}

ole_variant::ole_variant(std::u16string&& text) : m_vt(VT_BSTR) {
    tk_trace(1, "ole_variant::ctor from wstring");
    new (&m_u.str) std::u16string(std::move(text));
}

ole_variant::ole_variant(const char* text) : ole_variant(std::string_view(text ? text : "")) {}

ole_variant::ole_variant(std::string_view text) : m_vt(VT_BSTR) {
    tk_trace(1, "ole_variant::ctor from string");
    new (&m_u.str) std::u16string(ansi_to_wide(text));
}

ole_variant::ole_variant(const std::vector<uint8_t>& bytes) : m_vt(VT_ARRAY_UI1) {
    tk_trace(1, "ole_variant::ctor from binary(%d)", static_cast<int>(bytes.size()));
    new (&m_u.bytes) std::vector<uint8_t>(bytes);
}

ole_variant::ole_variant(std::vector<uint8_t>&& bytes) : m_vt(VT_ARRAY_UI1) {
    tk_trace(1, "ole_variant::ctor from binary(%d)", static_cast<int>(bytes.size()));
    new (&m_u.bytes) std::vector<uint8_t>(std::move(bytes));
}

ole_variant::ole_variant(size_t length, const uint8_t* bytes) : m_vt(VT_EMPTY) {
    tk_trace(1, "ole_variant::ctor from binary(%d)", static_cast<int>(length));
    m_u.i8 = 0;
    attach_binary(length, bytes);
}

ole_variant::ole_variant(const ole_variant& other) : m_vt(VT_EMPTY) {
    copy_from(other);
}

ole_variant::ole_variant(ole_variant&& other) noexcept : m_vt(VT_EMPTY) {
    move_from(other);
}

ole_variant& ole_variant::operator=(const ole_variant& other) {
    if (this == &other)
        return *this;
    if (m_vt == VT_BSTR && other.m_vt == VT_BSTR) {
        m_u.str = other.m_u.str;  // keeps this string's buffer when it is large enough
        return *this;
    }
    destroy();
    copy_from(other);
    return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept {
    if (this == &other)
        return *this;
    destroy();
    move_from(other);
    return *this;
}

ole_variant::~ole_variant() {
    destroy();
}

void ole_variant::destroy() noexcept {
    if (m_vt == VT_BSTR) {
        m_u.str.~basic_string();
    } else if (m_vt == VT_ARRAY_UI1) {
        m_u.bytes.~vector();
    }
    m_vt = VT_EMPTY;
    m_u.i8 = 0;
}

// Expects this value destroyed (VT_EMPTY).
void ole_variant::copy_from(const ole_variant& other) {
    if (other.m_vt == VT_BSTR) {
        new (&m_u.str) std::u16string(other.m_u.str);
    } else if (other.m_vt == VT_ARRAY_UI1) {
        try {
            new (&m_u.bytes) std::vector<uint8_t>(other.m_u.bytes);
        } catch (const std::bad_alloc&) {
            tk_trace(3, "ole_variant: byte array of %zu bytes could not be copied",
                     other.m_u.bytes.size());
            m_u.i8 = 0;
            m_vt = VT_ERROR;
            return;
        }
    } else {
        std::memcpy(static_cast<void*>(&m_u), &other.m_u, sizeof(date_value));
    }
    m_vt = other.m_vt;
}

// Expects this value destroyed (VT_EMPTY); leaves other VT_EMPTY.
void ole_variant::move_from(ole_variant& other) noexcept {
    if (other.m_vt == VT_BSTR) {
        new (&m_u.str) std::u16string(std::move(other.m_u.str));
    } else if (other.m_vt == VT_ARRAY_UI1) {
        new (&m_u.bytes) std::vector<uint8_t>(std::move(other.m_u.bytes));
    } else {
        std::memcpy(static_cast<void*>(&m_u), &other.m_u, sizeof(date_value));
    }
    m_vt = other.m_vt;
    other.destroy();
}

void ole_variant::set_bstr(std::u16string&& text) {
    if (m_vt == VT_BSTR) {
        m_u.str = std::move(text);
        return;
    }
    destroy();
    new (&m_u.str) std::u16string(std::move(text));
    m_vt = VT_BSTR;
}

void ole_variant::set_bytes(std::vector<uint8_t>&& bytes) {
    if (m_vt == VT_ARRAY_UI1) {
        m_u.bytes = std::move(bytes);
        return;
    }
    destroy();
    new (&m_u.bytes) std::vector<uint8_t>(std::move(bytes));
    m_vt = VT_ARRAY_UI1;
}

void ole_variant::clear() noexcept {
    destroy();
}

// ---------------------------------------------------------------- content

const ole_decimal& ole_variant::decimal() const noexcept {
    return m_vt == VT_DECIMAL ? m_u.dec : zero_decimal;
}

const ole_systemtime& ole_variant::systemtime() const noexcept {
    return m_vt == VT_DATE ? m_u.date.time : zero_time;
}

const std::u16string& ole_variant::bstr() const noexcept {
    static const std::u16string empty;
    return m_vt == VT_BSTR ? m_u.str : empty;
}

std::span<const uint8_t> ole_variant::binary() const noexcept {
    if (m_vt != VT_ARRAY_UI1)
        return {};
    return {m_u.bytes.data(), m_u.bytes.size()};
}

std::span<uint8_t> ole_variant::binary_data() noexcept {
    if (m_vt != VT_ARRAY_UI1)
        return {};
    return {m_u.bytes.data(), m_u.bytes.size()};
}

void ole_variant::attach_string(std::string_view text) {
    set_bstr(ansi_to_wide(text));
}

void ole_variant::attach_wstring(std::u16string_view text) {
    if (m_vt == VT_BSTR) {
        m_u.str.assign(text.data(), text.size());
        return;
    }
    set_bstr(std::u16string(text));
}

void ole_variant::attach_wstring(std::u16string&& text) {
    set_bstr(std::move(text));
}

void ole_variant::attach_binary(const std::vector<uint8_t>& bytes) {
    attach_binary(bytes.size(), bytes.data());
}

void ole_variant::attach_binary(std::vector<uint8_t>&& bytes) {
    set_bytes(std::move(bytes));
}

void ole_variant::attach_binary(size_t length, const uint8_t* bytes) {
    TK_ASSERT(bytes != nullptr || length == 0);
    allocate_safe_array(length);
    if (length != 0)
        std::memcpy(m_u.bytes.data(), bytes, length);
}

void ole_variant::allocate_safe_array(size_t size) {
    try {
        if (m_vt == VT_ARRAY_UI1) {
            tk_trace(1, "Redimension array");
            m_u.bytes.resize(size);
            return;
        }
        destroy();
        new (&m_u.bytes) std::vector<uint8_t>(size);
        m_vt = VT_ARRAY_UI1;
    } catch (const std::bad_alloc&) {
        TK_FAIL();
    }
}

// ---------------------------------------------------------------- text

namespace {

template <class String>
void append_hex(String& out, std::span<const uint8_t> bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    if (bytes.empty())
        return;
    const size_t count = bytes.size() < max_hex_bytes ? bytes.size() : max_hex_bytes;
    const size_t start = out.size();
    out.resize(start + 2 + 2 * count);
    auto* p = &out[start];
    *p++ = '0';
    *p++ = 'x';
    for (size_t i = 0; i < count; ++i) {
        *p++ = digits[bytes[i] >> 4];
        *p++ = digits[bytes[i] & 0x0F];
    }
}

}  // namespace

// The printed form of every tag that prints short, ASCII text; false for text and byte arrays.
bool ole_variant::format_small(char* out, size_t& length) const {
    switch (m_vt) {
        case VT_I1:
            length = write_integer(out, static_cast<int>(m_u.i1));
            return true;
        case VT_I2:
            length = write_integer(out, static_cast<int>(m_u.i2));
            return true;
        case VT_UI1:
            length = write_integer(out, static_cast<unsigned>(m_u.ui1));
            return true;
        case VT_UI2:
            length = write_integer(out, static_cast<unsigned>(m_u.ui2));
            return true;
        case VT_I4:
            length = write_integer(out, m_u.i4);
            return true;
        case VT_UI4:
            length = write_integer(out, m_u.ui4);
            return true;
        case VT_I8:
            length = write_integer(out, m_u.i8);
            return true;
        case VT_UI8:
            length = write_integer(out, m_u.ui8);
            return true;
        case VT_R4:
            length = ole_format_e(static_cast<double>(m_u.r4), 6, out);
            return true;
        case VT_R8:
            length = ole_format_e(m_u.r8, 15, out);
            return true;
        case VT_BOOL:
            out[0] = m_u.boolean == -1 ? '1' : '0';
            length = 1;
            return true;
        case VT_CY:
            length = ole_cy_to_chars(ole_currency{m_u.cy}, out);
            return true;
        case VT_DECIMAL:
            length = ole_dec_to_chars(m_u.dec, out);
            return true;
        case VT_BSTR:
        case VT_ARRAY_UI1:
        case VT_DATE:
            return false;
        default:  // VT_EMPTY, VT_NULL, VT_INT, VT_UINT, VT_ERROR, ...: no text
            length = 0;
            return true;
    }
}

void ole_variant::append_string(std::string& out) const {
    char buffer[small_text_max];
    size_t length = 0;
    if (m_vt == VT_DATE) {
        ole_date(m_u.date.time).append_string(out);
    } else if (m_vt == VT_BSTR) {
        tk_append_utf8(out, up_to_nul(m_u.str));
    } else if (m_vt == VT_ARRAY_UI1) {
        append_hex(out, binary());
    } else if (format_small(buffer, length)) {
        out.append(buffer, length);
    }
}

void ole_variant::append_wstring(std::u16string& out) const {
    if (m_vt == VT_BSTR) {
        out.append(up_to_nul(m_u.str));
        return;
    }
    if (m_vt == VT_ARRAY_UI1) {
        append_hex(out, binary());
        return;
    }
    // Every other printed form is ASCII: widening is the ANSI conversion.
    char buffer[small_text_max];
    size_t length = 0;
    static_assert(small_text_max >= ole_date::text_max);
    if (m_vt == VT_DATE) {
        length = ole_date(m_u.date.time).to_chars(buffer);
    } else if (!format_small(buffer, length)) {
        return;
    }
    out.append(buffer, buffer + length);
}

std::string ole_variant::to_string() const {
    std::string text;
    append_string(text);
    return text;
}

std::u16string ole_variant::to_wstring() const {
    std::u16string text;
    append_wstring(text);
    return text;
}

// ---------------------------------------------------------------- numbers

int32_t ole_variant::to_long() const {
    switch (m_vt) {
        case VT_EMPTY:
        case VT_NULL:
            return 0;
        case VT_I2:
        case VT_BOOL:
            return m_u.i2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return m_u.i4;
        case VT_R4:
        case VT_R8: {
            double value = m_vt == VT_R4 ? static_cast<double>(m_u.r4) : m_u.r8;
            // Truncation toward zero; a value outside the 32-bit range has no such integer.
            if (!(value > -2147483649.0 && value < 2147483648.0))
                return 0;
            return static_cast<int32_t>(value);
        }
        case VT_DECIMAL: {
            int32_t result = 0;
            ole_hresult hr = ole_var_i4_from_dec(m_u.dec, result);
            tk_trace(1, "from DECIMAL, hr=%08X", hr);
            return ole_succeeded(hr) ? result : 0;
        }
        case VT_I1:
            return m_u.i1;
        case VT_UI1:
            return m_u.ui1;
        case VT_UI2:
            return m_u.ui2;
        case VT_I8:
        case VT_UI8:
            return static_cast<int32_t>(static_cast<uint32_t>(m_u.ui8));
        default:
            TK_FAIL();
    }
}

bool ole_variant::to_bool() const {
    switch (m_vt) {
        case VT_EMPTY:
        case VT_NULL:
            return false;
        case VT_BOOL:
            return m_u.boolean == -1;
        case VT_I2:
        case VT_UI2:
            return m_u.ui2 != 0;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return m_u.ui4 != 0;
        case VT_I1:
        case VT_UI1:
            return m_u.ui1 != 0;
        case VT_I8:
        case VT_UI8:
            return m_u.ui8 != 0;
        case VT_R4:
            return m_u.r4 != 0.0f;
        case VT_R8:
            return m_u.r8 != 0.0;
        // Any non-zero DECIMAL, also one of more than 32 bits or below 1.
        case VT_DECIMAL:
            return !m_u.dec.is_zero();
        default:
            TK_FAIL();
    }
}

// ---------------------------------------------------------------- parsing

ole_variant ole_variant::from_string(std::string_view text, VARTYPE type) {
    tk_trace(1, "ole_variant::from_string('%.*s', 0x%08X)", static_cast<int>(text.size()),
             text.data(), static_cast<unsigned>(type));
    if (text.empty()) {
        return type == VT_BSTR ? ole_variant(std::u16string()) : ole_variant();
    }
    ole_variant v;
    switch (type) {
        case VT_I1:
            v = ole_variant(static_cast<signed char>(ole_atoi(text)));
            break;
        case VT_I2:
            v = ole_variant(static_cast<short>(ole_atoi(text)));
            break;
        case VT_I4:
            v = ole_variant(ole_atoi(text));
            break;
        case VT_UI1:
            v = ole_variant(static_cast<unsigned char>(ole_atoi(text)));
            break;
        case VT_UI2:
            v = ole_variant(static_cast<unsigned short>(ole_atoi(text)));
            break;
        case VT_UI4:
            v = ole_variant(static_cast<unsigned int>(scan_unsigned(text)));
            break;
        case VT_UI8:
            v = ole_variant(static_cast<unsigned long long>(scan_unsigned(text)));
            break;
        case VT_I8:
            v = ole_variant(static_cast<long long>(read_signed_64(text)));
            break;
        case VT_R4:
            v = ole_variant(static_cast<float>(ole_atof(commas_to_points(text))));
            break;
        case VT_R8:
            v = ole_variant(ole_atof(commas_to_points(text)));
            break;
        case VT_CY: {
            ole_currency amount;
            ole_hresult hr = ole_var_cy_from_str(commas_to_points(text), amount);
            if (hr != OLE_S_OK) {
                tk_trace(3, "VarCyFromStr failed: %08X", hr);
                break;
            }
            tk_trace(1, "GOT VT_CY");
            v = ole_variant(amount);
            break;
        }
        case VT_DECIMAL: {
            ole_decimal number;
            ole_hresult hr = ole_var_dec_from_str(commas_to_points(text), number);
            if (hr != OLE_S_OK) {
                tk_trace(3, "VarDecFromStr failed: %08X", hr);
                break;
            }
            tk_trace(1, "GOT VT_DECIMAL");
            v = ole_variant(number);
            break;
        }
        case VT_DATE: {
            ole_date date(text);
            tk_trace(1, "GOT VT_DATE");
            if (date.is_valid())
                v = ole_variant(date.systemtime());
            break;
        }
        case VT_BOOL: {
            if (equal_nocase_ascii(text, "yes") || equal_nocase_ascii(text, "true")) {
                v = ole_variant(true);
            } else if (equal_nocase_ascii(text, "no") || equal_nocase_ascii(text, "false")) {
                v = ole_variant(false);
            } else {
                v = ole_variant(ole_atoi(text) != 0);
            }
            break;
        }
        case VT_BLOB:
        case VT_ARRAY_UI1: {
            tk_trace(1, "Got BLOB size: %d", static_cast<int>(text.size()));
            if (text.size() % 2 != 0) {
                tk_trace(2, "Incorrect BLOB (size is odd)");
                break;
            }
            size_t pos =
                text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
            std::vector<uint8_t> bytes;
            bytes.reserve((text.size() - pos) / 2);
            auto nibble = [](char c) -> int {
                if (c >= '0' && c <= '9')
                    return c - '0';
                if (c >= 'A' && c <= 'F')
                    return c - 'A' + 10;
                if (c >= 'a' && c <= 'f')
                    return c - 'a' + 10;
                return -1;
            };
            for (; pos < text.size(); pos += 2) {
                int high = nibble(text[pos]);
                int low = nibble(text[pos + 1]);
                if (high < 0 || low < 0) {
                    // Not hexadecimal: no bytes rather than made-up ones.
                    tk_trace(2, "Incorrect BLOB (not a hexadecimal digit at %d)",
                             static_cast<int>(pos));
                    return ole_variant();
                }
                bytes.push_back(static_cast<uint8_t>(high << 4 | low));
            }
            v = ole_variant(std::move(bytes));
            break;
        }
        default: {
            v.attach_string(text);
            if (type != VT_BSTR) {
                v.change_type_ole(type);
                tk_trace(1, "VariantChangeType succeeded");
            }
            break;
        }
    }
    return v;
}

ole_variant ole_variant::from_wstring(std::u16string_view text, VARTYPE type) {
    if (type == VT_BSTR)
        return ole_variant(up_to_nul(text));
    return from_string(tk_to_utf8(text), type);
}

// ---------------------------------------------------------------- conversion

void ole_variant::change_type(VARTYPE new_type) {
    tk_trace(1, "ole_variant::change_type(old=%d,new=%d)", m_vt, new_type);
    if (new_type == m_vt || is_empty())
        return;
    if (ole_is_binary_type(new_type) && ole_is_binary_type(m_vt))
        return;

    if (m_vt == VT_I8 || m_vt == VT_UI8) {
        const bool is_signed = m_vt == VT_I8;
        const int64_t n = m_u.i8;
        const uint64_t u = m_u.ui8;
        // Narrowing keeps the number or fails: cutting it to the low bits would store another
        // number.
        int64_t low;
        uint64_t high;
        if (integer_range(new_type, low, high)) {
            bool fits =
                is_signed ? n >= low && (n < 0 || static_cast<uint64_t>(n) <= high) : u <= high;
            if (!fits)
                fail_conversion();
            m_u.i8 = 0;
            switch (new_type) {
                case VT_I1:
                    m_u.i1 = static_cast<int8_t>(n);
                    break;
                case VT_UI1:
                    m_u.ui1 = static_cast<uint8_t>(u);
                    break;
                case VT_I2:
                    m_u.i2 = static_cast<int16_t>(n);
                    break;
                case VT_UI2:
                    m_u.ui2 = static_cast<uint16_t>(u);
                    break;
                case VT_I4:
                case VT_INT:
                    m_u.i4 = static_cast<int32_t>(n);
                    break;
                default:
                    m_u.ui4 = static_cast<uint32_t>(u);
                    break;
            }
            m_vt = new_type;
            return;
        }
        switch (new_type) {
            case VT_BOOL:
                m_u.i8 = 0;
                m_u.boolean = u != 0 ? -1 : 0;
                break;
            case VT_R4: {
                float f = is_signed ? static_cast<float>(n) : static_cast<float>(u);
                m_u.i8 = 0;
                m_u.r4 = f;
                break;
            }
            case VT_R8:
                m_u.r8 = is_signed ? static_cast<double>(n) : static_cast<double>(u);
                break;
            case VT_CY: {
                constexpr int64_t limit = INT64_MAX / 10000;
                if (is_signed ? (n > limit || n < -limit) : u > static_cast<uint64_t>(limit)) {
                    fail_conversion();
                }
                m_u.cy = (is_signed ? n : static_cast<int64_t>(u)) * 10000;
                break;
            }
            case VT_DECIMAL: {
                ole_decimal d = is_signed ? ole_dec_from_i8(n) : ole_dec_from_ui8(u);
                new (&m_u.dec) ole_decimal(d);
                break;
            }
            case VT_BSTR: {
                char buffer[24];
                size_t length = is_signed ? write_integer(buffer, n) : write_integer(buffer, u);
                m_vt = VT_EMPTY;
                new (&m_u.str) std::u16string(buffer, buffer + length);
                break;
            }
            case VT_I8:
            case VT_UI8:
                // The same number under the other tag, when it has one there.
                if (is_signed ? n < 0 : u > static_cast<uint64_t>(INT64_MAX))
                    fail_conversion();
                break;
            default:
                fail_conversion();
        }
        m_vt = new_type;
        return;
    }

    if (m_vt == VT_DATE) {
        if (new_type != VT_BSTR)
            fail_conversion();
        std::u16string text = ole_date(m_u.date.time).to_wstring();
        set_bstr(std::move(text));
        return;
    }

    if (new_type == VT_I8 || new_type == VT_UI8) {
        int64_t n = to_i8_for_change(new_type);
        m_u.i8 = n;
        m_vt = new_type;
        return;
    }

    if (new_type == VT_DATE) {
        if (m_vt != VT_BSTR || m_u.str.size() != 19)
            fail_conversion();
        ole_variant date = from_wstring(m_u.str, VT_DATE);
        // A 19-character text that is no date would otherwise become NULL without a word.
        if (date.vartype() != VT_DATE)
            fail_conversion();
        *this = std::move(date);
        return;
    }

    if (ole_is_binary_type(new_type)) {
        to_binary();
        return;
    }

    change_type_ole(new_type);
}

// The 64-bit integer of the value for rules VT_I8 / VT_UI8; throws for other sources and for
// numbers that the target cannot hold.
int64_t ole_variant::to_i8_for_change(VARTYPE new_type) const {
    const bool to_unsigned = new_type == VT_UI8;
    int64_t n;
    switch (m_vt) {
        case VT_I2:
        case VT_BOOL:
            n = m_u.i2;
            break;
        case VT_I4:
        case VT_INT:
            n = m_u.i4;
            break;
        case VT_I1:
            n = m_u.i1;
            break;
        case VT_UI1:
            n = m_u.ui1;
            break;
        case VT_UI2:
            n = m_u.ui2;
            break;
        case VT_UI4:
        case VT_UINT:
            n = m_u.ui4;
            break;
        case VT_R4:
        case VT_R8: {
            double value = m_vt == VT_R4 ? static_cast<double>(m_u.r4) : m_u.r8;
            double whole = std::trunc(value);
            if (!(whole >= -9223372036854775808.0 && whole < 9223372036854775808.0)) {
                fail_conversion();
            }
            n = static_cast<int64_t>(whole);
            break;
        }
        case VT_CY:
        case VT_DECIMAL: {
            ole_currency amount{m_u.cy};
            if (m_vt == VT_DECIMAL && ole_var_cy_from_dec(m_u.dec, amount) != OLE_S_OK) {
                fail_conversion();
            }
            // The nearest integer, halves up (2.5 gives 3, -2.5 gives -2, -2.7 gives -3).
            n = amount.int64 / 10000;
            int64_t rest = amount.int64 % 10000;
            if (rest >= 5000)
                ++n;
            if (rest < -5000)
                --n;
            break;
        }
        default:
            fail_conversion();
    }
    // An unsigned 64-bit value cannot hold a negative number.
    if (to_unsigned && n < 0)
        fail_conversion();
    return n;
}

// Rule for binary targets: the value's little-endian bytes; text as its UTF-8 bytes.
void ole_variant::to_binary() {
    uint8_t bytes[16];
    size_t count;
    switch (m_vt) {
        case VT_I2:
        case VT_BOOL:
        case VT_UI2:
            count = 2;
            break;
        case VT_I4:
        case VT_R4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            count = 4;
            break;
        case VT_R8:
        case VT_CY:
            count = 8;
            break;
        case VT_I1:
        case VT_UI1:
            count = 1;
            break;
        case VT_DECIMAL:
            count = 16;
            break;
        case VT_BSTR: {
            // The text's bytes as the narrow (UTF-8) form holds them, every code unit kept:
            // a LONG column read as text arrives in a binary column whole.
            std::string narrow;
            tk_append_utf8(narrow, m_u.str);
            set_bytes(std::vector<uint8_t>(narrow.begin(), narrow.end()));
            return;
        }
        default:
            fail_conversion();
    }
    std::memcpy(bytes, &m_u, count);
    if (m_vt == VT_DECIMAL) {
        // The tag sits in the DECIMAL's reserved word, as in the OLE value layout.
        bytes[0] = static_cast<uint8_t>(VT_DECIMAL);
        bytes[1] = 0;
    }
    set_bytes(std::vector<uint8_t>(bytes, bytes + count));
}

namespace {

// A numeric source read for the OLE conversions.
struct number_source {
    enum kinds { signed_integer, unsigned_integer, floating, currency, decimal };
    kinds kind = signed_integer;
    int64_t i = 0;
    uint64_t u = 0;
    double r = 0.0;
    bool single = false;  // the float was a VT_R4
    ole_decimal d;

    static number_source of_signed(int64_t value) {
        number_source s;
        s.i = value;
        return s;
    }
    static number_source of_unsigned(uint64_t value) {
        number_source s;
        s.kind = unsigned_integer;
        s.u = value;
        return s;
    }
};

}  // namespace

// OLE Automation's VariantChangeType for the pairs the other rules leave: numbers among
// themselves, numbers and VT_BOOL to and from VT_BSTR.
void ole_variant::change_type_ole(VARTYPE new_type) {
    if (new_type == m_vt)
        return;
    if (new_type == VT_EMPTY) {
        clear();
        return;
    }

    if (new_type == VT_BSTR) {
        char buffer[small_text_max];
        size_t length = 0;
        switch (m_vt) {
            case VT_I1:
                length = write_integer(buffer, static_cast<int>(m_u.i1));
                break;
            case VT_I2:
            case VT_BOOL:
                length = write_integer(buffer, static_cast<int>(m_u.i2));
                break;
            case VT_I4:
            case VT_INT:
                length = write_integer(buffer, m_u.i4);
                break;
            case VT_UI1:
                length = write_integer(buffer, static_cast<unsigned>(m_u.ui1));
                break;
            case VT_UI2:
                length = write_integer(buffer, static_cast<unsigned>(m_u.ui2));
                break;
            case VT_UI4:
            case VT_UINT:
                length = write_integer(buffer, m_u.ui4);
                break;
            case VT_R4:
                length = ole_format_g(static_cast<double>(m_u.r4), 7, buffer);
                break;
            case VT_R8:
                length = ole_format_g(m_u.r8, 15, buffer);
                break;
            case VT_CY:
                length = ole_cy_to_chars(ole_currency{m_u.cy}, buffer);
                break;
            case VT_DECIMAL:
                length = ole_dec_to_chars(m_u.dec, buffer);
                break;
            case VT_ARRAY_UI1: {
                // The bytes become the text's code units, two bytes (little-endian) each.
                const std::vector<uint8_t>& bytes = m_u.bytes;
                std::u16string text((bytes.size() + 1) / 2, u'\0');
                for (size_t i = 0; i < bytes.size(); ++i) {
                    text[i / 2] = static_cast<char16_t>(text[i / 2] | (bytes[i] << (8 * (i % 2))));
                }
                set_bstr(std::move(text));
                return;
            }
            default:
                fail_conversion();
        }
        set_bstr(std::u16string(buffer, buffer + length));
        return;
    }

    number_source source;
    if (m_vt == VT_BSTR) {
        const std::string text = tk_to_utf8(m_u.str);
        switch (new_type) {
            case VT_BOOL: {
                std::string_view t = text;
                while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
                while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
                if (equal_nocase_ascii(t, "true") || equal_nocase_ascii(t, "#true#")) {
                    source = number_source::of_signed(-1);
                } else if (equal_nocase_ascii(t, "false") || equal_nocase_ascii(t, "#false#")) {
                    source = number_source::of_signed(0);
                } else {
                    double value;
                    if (ole_var_r8_from_str(text, value) != OLE_S_OK)
                        fail_conversion();
                    source.kind = number_source::floating;
                    source.r = value;
                }
                break;
            }
            case VT_CY: {
                ole_currency amount;
                if (ole_var_cy_from_str(text, amount) != OLE_S_OK)
                    fail_conversion();
                source.kind = number_source::currency;
                source.i = amount.int64;
                break;
            }
            case VT_DECIMAL:
            case VT_R4:
            case VT_R8:
            case VT_I1:
            case VT_I2:
            case VT_I4:
            case VT_INT:
            case VT_UI1:
            case VT_UI2:
            case VT_UI4:
            case VT_UINT: {
                // Integers round the exact decimal number, not a double near it.
                ole_decimal number;
                ole_hresult hr = ole_var_dec_from_str(text, number);
                if (hr == OLE_S_OK && new_type != VT_R4 && new_type != VT_R8) {
                    source.kind = number_source::decimal;
                    source.d = number;
                } else {
                    double value;
                    if (ole_var_r8_from_str(text, value) != OLE_S_OK)
                        fail_conversion();
                    source.kind = number_source::floating;
                    source.r = value;
                }
                break;
            }
            default:
                fail_conversion();
        }
    } else {
        switch (m_vt) {
            case VT_I1:
                source = number_source::of_signed(m_u.i1);
                break;
            case VT_I2:
            case VT_BOOL:
                source = number_source::of_signed(m_u.i2);
                break;
            case VT_I4:
            case VT_INT:
                source = number_source::of_signed(m_u.i4);
                break;
            case VT_UI1:
                source = number_source::of_unsigned(m_u.ui1);
                break;
            case VT_UI2:
                source = number_source::of_unsigned(m_u.ui2);
                break;
            case VT_UI4:
            case VT_UINT:
                source = number_source::of_unsigned(m_u.ui4);
                break;
            case VT_R4:
                source.kind = number_source::floating;
                source.r = static_cast<double>(m_u.r4);
                source.single = true;
                break;
            case VT_R8:
                source.kind = number_source::floating;
                source.r = m_u.r8;
                break;
            case VT_CY:
                source.kind = number_source::currency;
                source.i = m_u.cy;
                break;
            case VT_DECIMAL:
                source.kind = number_source::decimal;
                source.d = m_u.dec;
                break;
            default:
                fail_conversion();
        }
        // VT_BOOL true is the bit pattern -1: the unsigned tags receive all bits set.
        if (m_vt == VT_BOOL && m_u.boolean != 0) {
            int64_t low;
            uint64_t high;
            if (integer_range(new_type, low, high) && low == 0) {
                source = number_source::of_unsigned(high);
            }
        }
    }

    // Target integers.
    int64_t low;
    uint64_t high;
    if (integer_range(new_type, low, high)) {
        int64_t n = 0;
        uint64_t u = 0;
        switch (source.kind) {
            case number_source::signed_integer:
                n = source.i;
                break;
            case number_source::unsigned_integer:
                if (source.u > high)
                    fail_conversion();
                u = source.u;
                break;
            case number_source::floating: {
                double r = ole_round_half_even(source.r);
                if (!(r >= static_cast<double>(low) && r <= static_cast<double>(high))) {
                    fail_conversion();
                }
                n = static_cast<int64_t>(r);
                break;
            }
            case number_source::currency:
                n = ole_var_i8_from_cy(ole_currency{source.i});
                break;
            case number_source::decimal:
                if (ole_var_i8_from_dec(source.d, n) != OLE_S_OK)
                    fail_conversion();
                break;
        }
        if (source.kind != number_source::unsigned_integer) {
            if (n < low || (n >= 0 && static_cast<uint64_t>(n) > high))
                fail_conversion();
            u = static_cast<uint64_t>(n);
        }
        destroy();
        switch (new_type) {
            case VT_I1:
                m_u.i1 = static_cast<int8_t>(u);
                break;
            case VT_UI1:
                m_u.ui1 = static_cast<uint8_t>(u);
                break;
            case VT_I2:
                m_u.i2 = static_cast<int16_t>(u);
                break;
            case VT_UI2:
                m_u.ui2 = static_cast<uint16_t>(u);
                break;
            default:
                m_u.ui4 = static_cast<uint32_t>(u);
                break;
        }
        m_vt = new_type;
        return;
    }

    // Other numeric targets.
    double as_double = 0.0;
    switch (source.kind) {
        case number_source::signed_integer:
            as_double = static_cast<double>(source.i);
            break;
        case number_source::unsigned_integer:
            as_double = static_cast<double>(source.u);
            break;
        case number_source::floating:
            as_double = source.r;
            break;
        case number_source::currency:
            as_double = ole_var_r8_from_cy(ole_currency{source.i});
            break;
        case number_source::decimal:
            as_double = ole_var_r8_from_dec(source.d);
            break;
    }
    switch (new_type) {
        case VT_BOOL:
            destroy();
            m_u.boolean =
                as_double != 0.0 || (source.kind == number_source::decimal && !source.d.is_zero())
                    ? -1
                    : 0;
            break;
        case VT_R4: {
            if (std::isfinite(as_double) &&
                std::fabs(as_double) > std::numeric_limits<float>::max()) {
                fail_conversion();
            }
            destroy();
            m_u.r4 = static_cast<float>(as_double);
            break;
        }
        case VT_R8:
            destroy();
            m_u.r8 = as_double;
            break;
        case VT_CY: {
            ole_currency amount{};
            switch (source.kind) {
                case number_source::signed_integer:
                    if (source.i > INT64_MAX / 10000 || source.i < -(INT64_MAX / 10000)) {
                        fail_conversion();
                    }
                    amount.int64 = source.i * 10000;
                    break;
                case number_source::unsigned_integer:
                    if (source.u > static_cast<uint64_t>(INT64_MAX / 10000))
                        fail_conversion();
                    amount.int64 = static_cast<int64_t>(source.u) * 10000;
                    break;
                case number_source::floating:
                    if (ole_var_cy_from_r8(source.r, amount) != OLE_S_OK)
                        fail_conversion();
                    break;
                case number_source::currency:
                    amount.int64 = source.i;
                    break;
                case number_source::decimal:
                    if (ole_var_cy_from_dec(source.d, amount) != OLE_S_OK)
                        fail_conversion();
                    break;
            }
            destroy();
            m_u.cy = amount.int64;
            break;
        }
        case VT_DECIMAL: {
            ole_decimal d;
            switch (source.kind) {
                case number_source::signed_integer:
                    d = ole_dec_from_i8(source.i);
                    break;
                case number_source::unsigned_integer:
                    d = ole_dec_from_ui8(source.u);
                    break;
                case number_source::floating: {
                    ole_hresult hr = source.single
                                         ? ole_var_dec_from_r4(static_cast<float>(source.r), d)
                                         : ole_var_dec_from_r8(source.r, d);
                    if (hr != OLE_S_OK)
                        fail_conversion();
                    break;
                }
                case number_source::currency:
                    d = ole_var_dec_from_cy(ole_currency{source.i});
                    break;
                case number_source::decimal:
                    d = source.d;
                    break;
            }
            destroy();
            new (&m_u.dec) ole_decimal(d);
            break;
        }
        default:
            fail_conversion();
    }
    m_vt = new_type;
}
