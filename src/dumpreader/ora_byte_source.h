// ora_byte_source: the input stream of the dump reader.
//
// A read-only sequence of bytes with 64-bit positions, byte reads, little- and big-endian word
// reads, whitespace-delimited word reads and seeks. The buffering lives here, in the base class:
// an implementation only hands out windows of bytes (load()), and every byte or word read inside a
// window is plain pointer work with no virtual call and no system call. The file implementation
// (ora_file_source) reads windows of 1 MB, the in-memory one (ora_memory_source) hands out its
// whole buffer, the fault-injecting one (ora_fault_source) fails or truncates on demand.
//
// Reads never go past size(): a read that reaches the end returns what it got (false or a short
// count) and leaves the position at the end. Seeking beyond the end is allowed; reads there find
// nothing. There is no sticky failure state: every read says whether it succeeded. A failing
// system read throws tk_exception_ex (level 1) from the read that needed the bytes.
//
// Memory stays bounded: one window, plus a word buffer of at most max_word bytes.
//
// Owned by the dump facade (ora_dump_file); tables and decoders borrow it. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ora_byte_source {
public:
    // Words longer than this keep only their first max_word bytes (the rest is passed over, the
    // position still ends after the whole word). Keywords and quoted names of the dump are far
    // shorter; long words are runs of binary row data, whose text nobody reads.
    static constexpr size_t max_word = 64 * 1024;

    ora_byte_source(const ora_byte_source&) = delete;
    ora_byte_source& operator=(const ora_byte_source&) = delete;
    virtual ~ora_byte_source();

    uint64_t size() const { return m_size; }
    uint64_t position() const { return m_base + static_cast<uint64_t>(m_cur - m_begin); }
    bool at_end() const { return position() >= m_size; }
    uint64_t remaining() const { return at_end() ? 0 : m_size - position(); }

    // Moves to `pos`; cheap inside the current window.
    void seek(uint64_t pos);
    void skip(uint64_t count) { seek(position() + count); }

    bool read_byte(uint8_t& b) {
        if (m_cur == m_end && !refill()) return false;
        b = *m_cur++;
        return true;
    }
    // The next byte without moving, or -1 at the end.
    int peek_byte() {
        if (m_cur == m_end && !refill()) return -1;
        return *m_cur;
    }
    bool read_u16le(uint16_t& v) {
        if (m_end - m_cur >= 2) {
            v = static_cast<uint16_t>(m_cur[0] | (m_cur[1] << 8));
            m_cur += 2;
            return true;
        }
        uint8_t b[2];
        if (read(b, 2) != 2) return false;
        v = static_cast<uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool read_u16be(uint16_t& v) {
        uint8_t b[2];
        if (read(b, 2) != 2) return false;
        v = static_cast<uint16_t>((b[0] << 8) | b[1]);
        return true;
    }
    // The next `count` bytes when they lie in the current window (the position moves past
    // them), nullptr otherwise (nothing moves). Valid until the next operation.
    const uint8_t* view(size_t count) {
        if (count > 0 && static_cast<size_t>(m_end - m_cur) >= count) {
            const uint8_t* p = m_cur;
            m_cur += count;
            return p;
        }
        return nullptr;
    }
    // Copies up to `count` bytes; returns how many were read (fewer only at the end).
    size_t read(void* out, size_t count);
    // Appends up to `count` bytes to `out`; returns how many were appended.
    size_t read_append(std::string& out, size_t count);

    // Skips whitespace (space, tab, line feed, vertical tab, form feed, carriage return), then
    // reads the bytes up to the next whitespace byte or the end. False when only whitespace was
    // left. The view stays valid until the next operation on the source.
    bool read_word(std::string_view& word);
    // Facts about the word of the latest successful read_word.
    uint64_t word_start() const { return m_word_start; }
    uint64_t word_end() const { return m_word_end; }
    // The byte just before the latest word, or -1 when the word starts at position 0.
    int byte_before_word();

    // Reads up to and including the next `delimiter`; true when one was found (the position is
    // then just after it), false at the end (the position is then at the end).
    bool skip_past(uint8_t delimiter);
    // Like skip_past, appending the bytes read (the delimiter included) to `out`, at most `limit`
    // bytes; bytes past the limit are passed over.
    bool read_past(uint8_t delimiter, std::string& out, size_t limit);

    // The byte at `pos` without moving, or -1 past the end.
    int byte_at(uint64_t pos);

    static bool is_space(uint8_t b) { return k_space[b]; }

protected:
    explicit ora_byte_source(uint64_t size);

    // Hands out a window of bytes that holds `pos` (pos < size()): sets `begin` and `end` and
    // returns the position of `begin`, which may lie before `pos` (a file aligns its reads). The
    // window stays valid until the next load(). Throws tk_exception_ex (level 1) when the bytes
    // cannot be read.
    virtual uint64_t load(uint64_t pos, const uint8_t*& begin, const uint8_t*& end) = 0;

    // For implementations whose size changes (truncation in tests).
    void set_size(uint64_t size);

private:
    bool refill();

    static const bool k_space[256];

    uint64_t m_size;
    uint64_t m_base = 0;  // position of m_begin
    const uint8_t* m_begin = nullptr;
    const uint8_t* m_cur = nullptr;
    const uint8_t* m_end = nullptr;
    // The window a seek left, still valid until the next load(): the table cursor puts the
    // source back where it found it after every row, and a seek back into this window must not
    // read it again.
    uint64_t m_kept_base = 0;
    const uint8_t* m_kept_begin = nullptr;
    const uint8_t* m_kept_end = nullptr;

    std::string m_word;  // a word that crosses windows, or one longer than max_word
    uint64_t m_word_start = 0;
    uint64_t m_word_end = 0;
    int m_before_word = -2;  // -2: not known yet
};
