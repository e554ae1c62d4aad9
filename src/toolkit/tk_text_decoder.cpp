#include "tk_text_decoder.h"

#include <iconv.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char16_t k_replacement = 0xFFFD;

struct code_page_entry {
    int code_page;
    const char* encoding;
};

// Windows code pages the system stores, with the iconv converter that implements each.
constexpr code_page_entry k_code_pages[] = {
    {37, "IBM037"},         {437, "IBM437"},        {500, "IBM500"},        {708, "ASMO-708"},
    {737, "CP737"},         {775, "IBM775"},        {850, "IBM850"},        {852, "IBM852"},
    {855, "IBM855"},        {857, "IBM857"},        {858, "IBM858"},        {860, "IBM860"},
    {861, "IBM861"},        {862, "IBM862"},        {863, "IBM863"},        {864, "IBM864"},
    {865, "IBM865"},        {866, "IBM866"},        {869, "IBM869"},        {870, "IBM870"},
    {874, "CP874"},         {875, "IBM875"},        {932, "CP932"},         {936, "GBK"},
    {949, "CP949"},         {950, "CP950"},         {1026, "IBM1026"},      {1047, "IBM1047"},
    {1140, "IBM1140"},      {1141, "IBM1141"},      {1142, "IBM1142"},      {1143, "IBM1143"},
    {1144, "IBM1144"},      {1145, "IBM1145"},      {1146, "IBM1146"},      {1147, "IBM1147"},
    {1148, "IBM1148"},      {1149, "IBM1149"},      {1200, "UTF-16LE"},     {1201, "UTF-16BE"},
    {1250, "CP1250"},       {1251, "CP1251"},       {1252, "CP1252"},       {1253, "CP1253"},
    {1254, "CP1254"},       {1255, "CP1255"},       {1256, "CP1256"},       {1257, "CP1257"},
    {1258, "CP1258"},       {1361, "JOHAB"},        {10000, "MACINTOSH"},   {10007, "MAC-CYRILLIC"},
    {10017, "MAC-UK"},      {10079, "MAC-IS"},      {12000, "UTF-32LE"},    {12001, "UTF-32BE"},
    {20127, "ASCII"},       {20273, "IBM273"},      {20277, "IBM277"},      {20278, "IBM278"},
    {20280, "IBM280"},      {20284, "IBM284"},      {20285, "IBM285"},      {20290, "IBM290"},
    {20297, "IBM297"},      {20420, "IBM420"},      {20423, "IBM423"},      {20424, "IBM424"},
    {20866, "KOI8-R"},      {20871, "IBM871"},      {20880, "IBM880"},      {20905, "IBM905"},
    {20932, "EUC-JP"},      {20936, "GB2312"},      {21025, "IBM1025"},     {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"}, {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},      {51936, "EUC-CN"},      {51949, "EUC-KR"},      {54936, "GB18030"},
    {65000, "UTF-7"},       {65001, "UTF-8"},
};

// Encodings in which every byte is one character: decoded through a table.
constexpr const char* k_single_byte[] = {
    "IBM037",  "IBM437",  "IBM500",  "ASMO-708", "CP737",   "IBM775",  "IBM850",  "IBM852",
    "IBM855",  "IBM857",  "IBM858",  "IBM860",   "IBM861",  "IBM862",  "IBM863",  "IBM864",
    "IBM865",  "IBM866",  "IBM869",  "IBM870",   "CP874",   "IBM875",  "IBM1026", "IBM1047",
    "IBM1140", "IBM1141", "IBM1142", "IBM1143",  "IBM1144", "IBM1145", "IBM1146", "IBM1147",
    "IBM1148", "IBM1149", "CP1250",  "CP1251",   "CP1252",  "CP1253",  "CP1254",  "CP1255",
    "CP1256",  "CP1257",  "CP1258",  "MACINTOSH", "MAC-CYRILLIC", "MAC-UK", "MAC-IS", "ASCII",
    "IBM273",  "IBM277",  "IBM278",  "IBM280",   "IBM284",  "IBM285",  "IBM290",  "IBM297",
    "IBM420",  "IBM423",  "IBM424",  "KOI8-R",   "IBM871",  "IBM880",  "IBM905",  "IBM1025",
    "KOI8-U",  "ISO-8859-1", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5",
    "ISO-8859-6", "ISO-8859-7", "ISO-8859-8", "ISO-8859-9", "ISO-8859-10", "ISO-8859-13",
    "ISO-8859-14", "ISO-8859-15", "DEC-MCS", "TIS-620", "HP-ROMAN8", "IBM851", "IBM1025",
};

// Multi-byte encodings whose bytes below 0x80 are ASCII, so runs of them skip iconv.
constexpr const char* k_ascii_compatible[] = {
    "GBK", "CP949", "CP950", "CP932", "EUC-JP", "EUC-KR", "EUC-CN", "GB2312", "GB18030",
    "BIG5", "BIG5-HKSCS", "JOHAB", "EUC-TW",
};

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool in_list(const std::string& name, const char* const* begin, const char* const* end) {
    for (auto p = begin; p != end; ++p) {
        if (name == *p) return true;
    }
    return false;
}

void append_code_point(std::u16string& out, uint32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

void tk_decode_utf8_append(const uint8_t* s, size_t n, std::u16string& out) {
    out.reserve(out.size() + n);
    size_t i = 0;
    while (i < n) {
        uint8_t b = s[i];
        if (b < 0x80) {
            // ASCII run.
            size_t j = i;
            while (j < n && s[j] < 0x80) ++j;
            size_t old = out.size();
            out.resize(old + (j - i));
            for (size_t k = i; k < j; ++k) out[old + (k - i)] = s[k];
            i = j;
            continue;
        }
        uint32_t cp;
        size_t need;
        uint8_t lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            need = 2;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            need = 3;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out.push_back(k_replacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (size_t k = 0; k < need; ++k, ++j) {
            if (j >= n) {
                ok = false;
                break;
            }
            uint8_t c = s[j];
            uint8_t l = k == 0 ? lo : 0x80, h = k == 0 ? hi : 0xBF;
            if (c < l || c > h) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            out.push_back(k_replacement);
            i = j;  // the maximal invalid subpart
            continue;
        }
        append_code_point(out, cp);
        i = j;
    }
}

tk_text_decoder::tk_text_decoder(kind k, std::string encoding)
    : m_kind(k), m_encoding(std::move(encoding)) {}

tk_text_decoder::~tk_text_decoder() {
    if (m_iconv != nullptr) iconv_close(static_cast<iconv_t>(m_iconv));
}

const char* tk_text_decoder::encoding_of_code_page(int code_page) {
    if (code_page == 0) return "UTF-8";
    for (const auto& e : k_code_pages) {
        if (e.code_page == code_page) return e.encoding;
    }
    return nullptr;
}

std::unique_ptr<tk_text_decoder> tk_text_decoder::for_code_page(int code_page) {
    const char* encoding = encoding_of_code_page(code_page);
    return encoding ? for_encoding(encoding) : nullptr;
}

std::unique_ptr<tk_text_decoder> tk_text_decoder::for_encoding(std::string_view iconv_name) {
    std::string name = upper(iconv_name);
    if (name == "UTF-8" || name == "UTF8") {
        return std::unique_ptr<tk_text_decoder>(new tk_text_decoder(kind::utf8, "UTF-8"));
    }
    if (name == "UTF-16LE") {
        return std::unique_ptr<tk_text_decoder>(new tk_text_decoder(kind::utf16le, name));
    }
    if (name == "UTF-16BE") {
        return std::unique_ptr<tk_text_decoder>(new tk_text_decoder(kind::utf16be, name));
    }
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    std::unique_ptr<tk_text_decoder> decoder;
    if (in_list(name, std::begin(k_single_byte), std::end(k_single_byte))) {
        decoder.reset(new tk_text_decoder(kind::single_byte, name));
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            char16_t unit[4] = {};
            char* inp = &in;
            size_t inleft = 1;
            char* outp = reinterpret_cast<char*>(unit);
            size_t outleft = sizeof unit;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
            // Converters of code pages with combining marks (CP1258, CP1255) hold a base
            // letter back until they see what follows; the flush hands it out.
            if (r != static_cast<size_t>(-1)) iconv(cd, nullptr, nullptr, &outp, &outleft);
            decoder->m_table[static_cast<size_t>(b)] =
                r == static_cast<size_t>(-1) || outleft != sizeof unit - 2 ? k_replacement : unit[0];
        }
        iconv_close(cd);
    } else {
        decoder.reset(new tk_text_decoder(kind::iconv, name));
        decoder->m_iconv = cd;
        decoder->m_ascii_compatible =
            in_list(name, std::begin(k_ascii_compatible), std::end(k_ascii_compatible));
    }
    return decoder;
}

void tk_text_decoder::decode_append(const uint8_t* bytes, size_t size, std::u16string& out) {
    if (size == 0) return;
    switch (m_kind) {
        case kind::utf8:
            tk_decode_utf8_append(bytes, size, out);
            return;
        case kind::utf16le:
        case kind::utf16be: {
            size_t units = size / 2;
            size_t old = out.size();
            out.resize(old + units);
            for (size_t i = 0; i < units; ++i) {
                uint8_t a = bytes[2 * i], b = bytes[2 * i + 1];
                out[old + i] = m_kind == kind::utf16le ? static_cast<char16_t>(a | (b << 8))
                                                       : static_cast<char16_t>((a << 8) | b);
            }
            if (size % 2 != 0) out.push_back(k_replacement);
            return;
        }
        case kind::single_byte: {
            size_t old = out.size();
            out.resize(old + size);
            for (size_t i = 0; i < size; ++i) out[old + i] = m_table[bytes[i]];
            return;
        }
        case kind::iconv:
            break;
    }
    if (m_ascii_compatible) {
        size_t i = 0;
        while (i < size && bytes[i] < 0x80) ++i;
        if (i == size) {
            size_t old = out.size();
            out.resize(old + size);
            for (size_t k = 0; k < size; ++k) out[old + k] = bytes[k];
            return;
        }
    }
    iconv_t cd = static_cast<iconv_t>(m_iconv);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inp = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes));
    size_t inleft = size;
    // One byte never gives more than one code unit, four bytes at most two.
    std::vector<char16_t> buffer(std::min<size_t>(size, 1 << 16) + 8);
    const size_t buffer_bytes = buffer.size() * sizeof(char16_t);
    // Hands out what a converter holds back (a letter that a combining mark may still follow)
    // and returns it to its initial state.
    auto flush = [&] {
        char* outp = reinterpret_cast<char*>(buffer.data());
        size_t outleft = buffer_bytes;
        iconv(cd, nullptr, nullptr, &outp, &outleft);
        out.append(buffer.data(), (buffer_bytes - outleft) / sizeof(char16_t));
    };
    while (inleft > 0) {
        char* outp = reinterpret_cast<char*>(buffer.data());
        size_t outleft = buffer_bytes;
        size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
        int err = r == static_cast<size_t>(-1) ? errno : 0;
        out.append(buffer.data(), (buffer_bytes - outleft) / sizeof(char16_t));
        if (err == 0 || err == E2BIG) continue;
        // EILSEQ: a byte that starts no character; EINVAL: a character cut off by the end.
        flush();
        out.push_back(k_replacement);
        if (err == EINVAL) return;
        ++inp;
        --inleft;
    }
    flush();
}

std::string tk_encode_text(std::u16string_view text, std::string_view iconv_name) {
    std::string name = upper(iconv_name);
    iconv_t cd = iconv_open(name.c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out;
    std::vector<char> buffer(text.size() * 4 + 16);
    const char16_t* p = text.data();
    size_t left_units = text.size();
    while (left_units > 0) {
        char* inp = reinterpret_cast<char*>(const_cast<char16_t*>(p));
        size_t inleft = left_units * 2;
        char* outp = buffer.data();
        size_t outleft = buffer.size();
        size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
        int err = r == static_cast<size_t>(-1) ? errno : 0;
        out.append(buffer.data(), buffer.size() - outleft);
        size_t consumed = (left_units * 2 - inleft) / 2;
        p += consumed;
        left_units -= consumed;
        if (err == 0) break;
        if (err == E2BIG) continue;
        out.push_back('?');
        // Skip the unit (or surrogate pair) that could not be converted.
        size_t skip = (left_units >= 2 && *p >= 0xD800 && *p < 0xDC00) ? 2 : 1;
        p += skip;
        left_units -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* outp = buffer.data();
    size_t outleft = buffer.size();
    iconv(cd, nullptr, nullptr, &outp, &outleft);
    out.append(buffer.data(), buffer.size() - outleft);
    iconv_close(cd);
    return out;
}
