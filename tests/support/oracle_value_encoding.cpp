#include "oracle_value_encoding.h"

#include <cstring>

#include "tk_exception.h"
#include "tk_text_decoder.h"

std::vector<uint8_t> ora_number_bytes(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    size_t dot = text.find('.');
    std::string int_part(text.substr(0, dot));
    std::string frac_part(dot == std::string_view::npos ? std::string_view()
                                                        : text.substr(dot + 1));
    TK_ASSERT(!int_part.empty() || !frac_part.empty());
    for (char c : int_part) TK_ASSERT(c >= '0' && c <= '9');
    for (char c : frac_part) TK_ASSERT(c >= '0' && c <= '9');

    int_part.erase(0, int_part.find_first_not_of('0') == std::string::npos
                          ? int_part.size()
                          : int_part.find_first_not_of('0'));
    while (!frac_part.empty() && frac_part.back() == '0') frac_part.pop_back();
    if (int_part.empty() && frac_part.empty())
        return {0x80};

    if (int_part.size() % 2)
        int_part.insert(0, 1, '0');
    if (frac_part.size() % 2)
        frac_part.push_back('0');
    std::vector<int> digits;
    for (size_t i = 0; i < int_part.size(); i += 2)
        digits.push_back((int_part[i] - '0') * 10 + (int_part[i + 1] - '0'));
    int exponent = static_cast<int>(int_part.size() / 2) - 1;
    for (size_t i = 0; i < frac_part.size(); i += 2)
        digits.push_back((frac_part[i] - '0') * 10 + (frac_part[i + 1] - '0'));
    // Leading zero digits only occur when the integer part is empty; each one lowers the
    // exponent. Trailing zero digits (1200 is 12 x 100^1) are dropped.
    size_t lead = 0;
    while (lead < digits.size() && digits[lead] == 0) {
        ++lead;
        --exponent;
    }
    digits.erase(digits.begin(), digits.begin() + static_cast<long>(lead));
    while (!digits.empty() && digits.back() == 0) digits.pop_back();
    TK_ASSERT(!digits.empty() && digits.size() <= 20);
    TK_ASSERT(exponent >= -65 && exponent <= 62);

    std::vector<uint8_t> out;
    if (!negative) {
        out.push_back(static_cast<uint8_t>(193 + exponent));
        for (int d : digits) out.push_back(static_cast<uint8_t>(d + 1));
    } else {
        out.push_back(static_cast<uint8_t>(62 - exponent));
        for (int d : digits) out.push_back(static_cast<uint8_t>(101 - d));
        if (digits.size() < 20)
            out.push_back(102);
    }
    return out;
}

std::vector<uint8_t> ora_date_bytes(const ora_moment& m) {
    TK_ASSERT(m.year != 0 && m.year >= -4712 && m.year <= 9999);
    TK_ASSERT(m.month >= 1 && m.month <= 12 && m.day >= 1 && m.day <= 31);
    TK_ASSERT(m.hour >= 0 && m.hour < 24 && m.minute >= 0 && m.minute < 60 && m.second >= 0 &&
              m.second < 60);
    int century, year;
    if (m.year > 0) {
        century = 100 + m.year / 100;
        year = 100 + m.year % 100;
    } else {
        century = 100 - (-m.year) / 100;
        year = 100 - (-m.year) % 100;
    }
    return {static_cast<uint8_t>(century),     static_cast<uint8_t>(year),
            static_cast<uint8_t>(m.month),     static_cast<uint8_t>(m.day),
            static_cast<uint8_t>(m.hour + 1),  static_cast<uint8_t>(m.minute + 1),
            static_cast<uint8_t>(m.second + 1)};
}

static void append_nanoseconds(std::vector<uint8_t>& out, uint32_t ns) {
    TK_ASSERT(ns < 1000000000u);
    out.push_back(static_cast<uint8_t>(ns >> 24));
    out.push_back(static_cast<uint8_t>(ns >> 16));
    out.push_back(static_cast<uint8_t>(ns >> 8));
    out.push_back(static_cast<uint8_t>(ns));
}

std::vector<uint8_t> ora_timestamp_bytes(const ora_moment& m) {
    std::vector<uint8_t> out = ora_date_bytes(m);
    if (m.nanoseconds != 0)
        append_nanoseconds(out, m.nanoseconds);
    return out;
}

std::vector<uint8_t> ora_timestamp_tz_bytes(const ora_moment& m, int tz_hour, int tz_minute) {
    std::vector<uint8_t> out = ora_date_bytes(m);
    append_nanoseconds(out, m.nanoseconds);
    out.push_back(static_cast<uint8_t>(tz_hour + 20));
    out.push_back(static_cast<uint8_t>(tz_minute + 60));
    return out;
}

namespace {

struct charset_entry {
    uint16_t id;
    const char* encoding;
    bool ascii_compatible;
};

// The character sets the fixtures use, by their real encodings.
constexpr charset_entry k_charsets[] = {
    {1, "US-ASCII", true},    {2, "DEC-MCS", true},      {31, "ISO-8859-1", true},
    {32, "ISO-8859-2", true}, {36, "ISO-8859-6", true},  {46, "ISO-8859-15", true},
    {170, "CP1250", true},    {171, "CP1251", true},     {178, "CP1252", true},
    {560, "CP1256", true},    {829, "EUC-JP", true},     {830, "EUC-JP", true},
    {831, "EUC-JP", true},    {832, "CP932", true},      {834, "CP932", true},
    {838, "CP932", true},     {840, "EUC-KR", true},     {846, "CP949", true},
    {850, "GBK", true},       {852, "GBK", true},        {854, "GB18030", true},
    {865, "BIG5", true},      {867, "BIG5", true},       {871, "UTF-8", true},
    {873, "UTF-8", true},     {2000, "UTF-16BE", false},
};

const charset_entry* find_charset(uint16_t id) {
    for (const auto& e : k_charsets)
        if (e.id == id)
            return &e;
    return nullptr;
}

}  // namespace

const char* ora_charset_encoding(uint16_t charset_id) {
    const charset_entry* e = find_charset(charset_id);
    return e ? e->encoding : nullptr;
}

bool ora_charset_is_unicode(uint16_t charset_id) {
    return charset_id == 871 || charset_id == 873 || charset_id == 2000;
}

std::string ora_encode_text(std::u16string_view text, uint16_t charset_id) {
    const charset_entry* e = find_charset(charset_id);
    TK_ASSERT(e != nullptr);
    if (e->ascii_compatible) {
        bool ascii = true;
        for (char16_t c : text) {
            if (c >= 0x80) {
                ascii = false;
                break;
            }
        }
        if (ascii) {
            std::string out(text.size(), '\0');
            for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
            return out;
        }
    } else if (std::strcmp(e->encoding, "UTF-16BE") == 0) {
        std::string out;
        out.reserve(text.size() * 2);
        for (char16_t c : text) {
            out.push_back(static_cast<char>(c >> 8));
            out.push_back(static_cast<char>(c & 0xFF));
        }
        return out;
    }
    return tk_encode_text(text, e->encoding);
}
