#include "tk_text.h"

#include <locale.h>
#include <wctype.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text_decoder.h"

std::string tk_to_utf8(std::u16string_view text) {
    size_t end = text.find(u'\0');
    if (end != std::u16string_view::npos) text = text.substr(0, end);
    std::string out;
    tk_append_utf8(out, text);
    return out;
}

void tk_append_utf8(std::string& out, std::u16string_view text) {
    out.reserve(out.size() + text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

std::u16string tk_from_utf8(std::string_view text) {
    std::u16string out;
    tk_decode_utf8_append(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out);
    return out;
}

std::u16string tk_ansi_to_wide(std::string_view text) { return tk_from_utf8(text); }

std::u16string tk_ansi_to_ucs2(std::string_view text, int code_page) {
    tk_trace(1, "tk_ansi_to_ucs2(%.*s,%d)", static_cast<int>(text.size()), text.data(), code_page);
    // One decoder per code page and thread: decoders keep iconv state.
    thread_local std::map<int, std::unique_ptr<tk_text_decoder>> decoders;
    auto it = decoders.find(code_page);
    if (it == decoders.end()) {
        it = decoders.emplace(code_page, tk_text_decoder::for_code_page(code_page)).first;
    }
    std::u16string out;
    if (it->second) {
        it->second->decode_append(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out);
    } else {
        // No converter for this code page: every non-ASCII byte is unknown.
        out.reserve(text.size());
        for (char c : text) {
            out.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : 0xFFFD);
        }
    }
    size_t end = out.find(u'\0');
    if (end != std::u16string::npos) out.resize(end);
    return out;
}

bool tk_wide_to_ansi(const char16_t* text, std::string& out) {
    if (text == nullptr) return false;
    out = tk_to_utf8(std::u16string_view(text));
    return true;
}

void tk_bytes_to_hex(size_t count, const uint8_t* bytes, char* out) {
    TK_ASSERT(out != nullptr);
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 15];
    }
    out[2 * count] = 0;
}

namespace {

// Simple case folding of the Basic Multilingual Plane, built once from the C.UTF-8 locale:
// fold(c) = lower(upper(c)), which maps every case variant to one representative.
const std::vector<char16_t>& fold_table() {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(0x10000);
        locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        for (uint32_t c = 0; c < 0x10000; ++c) {
            uint32_t f = c;
            if (c >= 'A' && c <= 'Z') {
                f = c + 32;
            } else if (c >= 0x80 && loc != static_cast<locale_t>(0) && (c < 0xD800 || c >= 0xE000)) {
                wint_t u = towupper_l(static_cast<wint_t>(c), loc);
                wint_t l = towlower_l(u, loc);
                if (l < 0x10000) f = static_cast<uint32_t>(l);
            }
            t[c] = static_cast<char16_t>(f);
        }
        if (loc != static_cast<locale_t>(0)) freelocale(loc);
        return t;
    }();
    return table;
}

}  // namespace

char16_t tk_fold_case(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return fold_table()[c];
}

bool tk_equal_nocase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && tk_fold_case(a[i]) != tk_fold_case(b[i])) return false;
    }
    return true;
}

std::u16string tk_widen_ascii(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<unsigned char>(text[i]);
    return out;
}
