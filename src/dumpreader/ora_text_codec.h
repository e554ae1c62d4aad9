// ora_text_codec: the character sets of one dump, and the decoding of its text into wide text.
//
// A dump holds text in three character sets: the export session's (names in the DDL text: table,
// column, index and constraint names), the database's (character column values, LONG text) and
// the national one (NCHAR and NVARCHAR2 values). CLOB data carries its own character-set id in the
// column header. The codec keeps one converter for each and decodes by the encoding kind of the
// set: 0 a code page (an iconv converter), 1 UTF-8, 2 big-endian UTF-16.
//
// The reader configures one while it reads a dump's header; the row decoder of the opened dump
// gets its own copy (clone), so tables decode with their dump's sets whatever the reader opens
// later. Converters keep state: one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class tk_text_decoder;

class ora_text_codec {
public:
    ora_text_codec();
    ora_text_codec(const ora_text_codec&) = delete;
    ora_text_codec& operator=(const ora_text_codec&) = delete;
    ~ora_text_codec();

    // The database set, the national set (by its kind; its id matters only for kind 0, where 0
    // means "the database set's converter") and the session set of the DDL text.
    void configure(uint16_t charset_id, int32_t ncharset_kind, uint16_t ncharset_id,
                   uint16_t session_id);
    std::unique_ptr<ora_text_codec> clone() const;

    uint16_t charset_id() const { return m_charset_id; }
    uint16_t ncharset_id() const { return m_ncharset_id; }
    uint16_t session_id() const { return m_session_id; }
    int32_t charset_kind() const { return m_charset_kind; }
    int32_t ncharset_kind() const { return m_ncharset_kind; }
    // The iconv encodings in use for code-page text ("" when the set has no converter here and
    // its text is read as the system ANSI code page, UTF-8).
    const std::string& encoding() const { return m_encoding; }
    const std::string& session_encoding() const { return m_session_encoding; }

    // Column text: kinds 0 and 1 decode the bytes up to the first zero byte; kind 2 takes pairs
    // of bytes as big-endian code units (an odd last byte gets a zero low byte) and keeps zero
    // units. Appends to `out`.
    void decode_text(const uint8_t* bytes, size_t length, bool national, std::u16string& out);
    // A name of the DDL text, in the session set.
    std::u16string decode_name(std::string_view bytes);
    // CLOB data of a column whose header gave `charset_id` (0: not given, the database set).
    // Ids 871, 873 and 2000 hold big-endian UTF-16, the text ending at the first zero unit;
    // other ids hold code-page text up to the first zero byte.
    void decode_clob(const uint8_t* bytes, size_t length, uint16_t charset_id,
                     std::u16string& out);

    // Big-endian UTF-16 to wide text, all units kept; an odd last byte gets a zero low byte.
    static void decode_utf16be(const uint8_t* bytes, size_t length, std::u16string& out);

private:
    struct converter {
        int32_t kind = 0;
        std::unique_ptr<tk_text_decoder> decoder;  // kind 0; nullptr: UTF-8 (system ANSI)
    };
    static void make(uint16_t id, int32_t kind, converter& c, std::string* encoding);
    static void decode_with(converter& c, const uint8_t* bytes, size_t length,
                            std::u16string& out);

    uint16_t m_charset_id = 0;
    uint16_t m_ncharset_id = 0;
    uint16_t m_session_id = 0;
    int32_t m_charset_kind = 0;
    int32_t m_ncharset_kind = 2;
    std::string m_encoding;
    std::string m_session_encoding;
    converter m_database;
    converter m_national;
    converter m_session;
    std::map<uint16_t, converter> m_clob;  // by character-set id
};
