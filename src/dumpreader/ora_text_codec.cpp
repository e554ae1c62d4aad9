#include "ora_text_codec.h"

#include <cstring>

#include "ora_charsets.h"
#include "ora_dump_format.h"
#include "tk_log.h"
#include "tk_text_decoder.h"

ora_text_codec::ora_text_codec() {
    // Until a dump says otherwise the national set is UTF-16, the database set the ANSI code page.
    m_national.kind = ora_fmt::kind_utf16be;
}

ora_text_codec::~ora_text_codec() = default;

void ora_text_codec::make(uint16_t id, int32_t kind, converter& c, std::string* encoding) {
    c.kind = kind;
    c.decoder.reset();
    if (encoding != nullptr) encoding->clear();
    if (kind != ora_fmt::kind_code_page) return;
    std::string name = ora_charsets::encoding_of(id);
    if (!name.empty()) c.decoder = tk_text_decoder::for_encoding(name);
    if (c.decoder) {
        if (encoding != nullptr) *encoding = c.decoder->encoding();
    } else {
        // No converter on this platform: ASCII stays readable, every other byte shows as U+FFFD.
        tk_trace(3, "No converter for the character set %d: its text is read as UTF-8", id);
    }
}

void ora_text_codec::configure(uint16_t charset_id, int32_t ncharset_kind, uint16_t ncharset_id,
                               uint16_t session_id) {
    m_charset_id = charset_id;
    m_ncharset_id = ncharset_id;
    m_session_id = session_id;
    m_charset_kind = ora_charsets::kind_of(charset_id);
    m_ncharset_kind = ncharset_kind;
    make(charset_id, m_charset_kind, m_database, &m_encoding);
    if (ncharset_kind == ora_fmt::kind_code_page && ncharset_id != 0 &&
        ncharset_id != charset_id) {
        make(ncharset_id, ncharset_kind, m_national, nullptr);
    } else if (ncharset_kind == ora_fmt::kind_code_page) {
        make(charset_id, ora_fmt::kind_code_page, m_national, nullptr);
    } else {
        make(ncharset_id, ncharset_kind, m_national, nullptr);
    }
    // A session in UTF-16 cannot exist (names are ASCII-compatible); read such an id as UTF-8.
    int32_t session_kind = ora_charsets::kind_of(session_id);
    if (session_kind == ora_fmt::kind_utf16be) session_kind = ora_fmt::kind_utf8;
    make(session_id, session_kind, m_session, &m_session_encoding);
    m_clob.clear();
}

std::unique_ptr<ora_text_codec> ora_text_codec::clone() const {
    auto copy = std::make_unique<ora_text_codec>();
    copy->configure(m_charset_id, m_ncharset_kind, m_ncharset_id, m_session_id);
    return copy;
}

void ora_text_codec::decode_utf16be(const uint8_t* bytes, size_t length, std::u16string& out) {
    size_t units = (length + 1) / 2;
    size_t old = out.size();
    out.resize(old + units);
    char16_t* dst = out.data() + old;
    size_t i = 0;
    for (; i + 1 < length; i += 2) {
        *dst++ = static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]);
    }
    if (i < length) *dst = static_cast<char16_t>(bytes[i] << 8);
}

void ora_text_codec::decode_with(converter& c, const uint8_t* bytes, size_t length,
                                 std::u16string& out) {
    switch (c.kind) {
        case ora_fmt::kind_code_page:
        case ora_fmt::kind_utf8: {
            const void* zero = std::memchr(bytes, 0, length);
            if (zero != nullptr) length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes);
            if (c.decoder) {
                c.decoder->decode_append(bytes, length, out);
            } else {
                tk_decode_utf8_append(bytes, length, out);
            }
            break;
        }
        case ora_fmt::kind_utf16be:
            decode_utf16be(bytes, length, out);
            break;
        default:
            break;
    }
}

void ora_text_codec::decode_text(const uint8_t* bytes, size_t length, bool national,
                                 std::u16string& out) {
    if (bytes == nullptr || length == 0) return;
    decode_with(national ? m_national : m_database, bytes, length, out);
}

std::u16string ora_text_codec::decode_name(std::string_view bytes) {
    std::u16string out;
    if (!bytes.empty()) {
        decode_with(m_session, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    }
    return out;
}

void ora_text_codec::decode_clob(const uint8_t* bytes, size_t length, uint16_t charset_id,
                                 std::u16string& out) {
    if (length == 0) return;
    int32_t kind = charset_id == 0 ? m_charset_kind : ora_charsets::kind_of(charset_id);
    if (kind != ora_fmt::kind_code_page) {
        // Character LOBs of UTF-8 and UTF-16 sets are stored as UCS-2, big-endian.
        size_t old = out.size();
        decode_utf16be(bytes, length, out);
        size_t zero = out.find(u'\0', old);
        if (zero != std::u16string::npos) out.resize(zero);
        return;
    }
    if (charset_id == 0 || charset_id == m_charset_id) {
        decode_with(m_database, bytes, length, out);
        return;
    }
    auto it = m_clob.find(charset_id);
    if (it == m_clob.end()) {
        it = m_clob.emplace(charset_id, converter()).first;
        make(charset_id, ora_fmt::kind_code_page, it->second, nullptr);
    }
    decode_with(it->second, bytes, length, out);
}
