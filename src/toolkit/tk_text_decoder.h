// tk_text_decoder: bytes in one character encoding to UTF-16, through glibc's iconv.
//
// A decoder is made for a Windows code page number (the numbers the system stores) or for an
// iconv encoding name. Single-byte encodings decode through a 256-entry table built once, UTF-8
// and UTF-16 through code of our own, everything else through iconv. Bytes that the encoding
// cannot convert become U+FFFD and decoding goes on after them; a sequence cut off at the end of
// the input becomes one U+FFFD. Nothing is ever dropped silently.
//
// A decoder is used by one thread at a time (iconv keeps state); make one per user.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class tk_text_decoder {
public:
    tk_text_decoder(const tk_text_decoder&) = delete;
    tk_text_decoder& operator=(const tk_text_decoder&) = delete;
    ~tk_text_decoder();

    // For a Windows code page; 0 is the system ANSI code page (UTF-8). nullptr when the code page
    // has no converter here.
    static std::unique_ptr<tk_text_decoder> for_code_page(int code_page);
    // For an iconv encoding name ("GBK", "DEC-MCS", ...); nullptr when iconv lacks it.
    static std::unique_ptr<tk_text_decoder> for_encoding(std::string_view iconv_name);
    // The iconv name that stands for a Windows code page, or nullptr.
    static const char* encoding_of_code_page(int code_page);

    // Appends the decoded text of `size` bytes to `out`.
    void decode_append(const uint8_t* bytes, size_t size, std::u16string& out);
    std::u16string decode(std::string_view bytes) {
        std::u16string out;
        decode_append(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
        return out;
    }

    const std::string& encoding() const { return m_encoding; }
    bool is_single_byte() const { return m_kind == kind::single_byte; }

private:
    enum class kind { utf8, utf16le, utf16be, single_byte, iconv };
    tk_text_decoder(kind k, std::string encoding);

    kind m_kind;
    std::string m_encoding;
    std::array<char16_t, 256> m_table{};  // single_byte
    void* m_iconv = nullptr;              // iconv_t for kind::iconv
    bool m_ascii_compatible = false;      // bytes below 0x80 stand for themselves
};

// Wide text to bytes in an iconv encoding; characters the encoding lacks become '?'.
// Used by tests and tools that write text in a dump's character set.
std::string tk_encode_text(std::u16string_view text, std::string_view iconv_name);

// Decodes UTF-8 into `out` (appending): invalid sequences become U+FFFD, one per maximal
// invalid subpart.
void tk_decode_utf8_append(const uint8_t* bytes, size_t size, std::u16string& out);
