#include "ora_byte_source.h"

#include <algorithm>
#include <cstring>

#include "tk_exception.h"

namespace {

constexpr bool space_table_entry(int b) {
    return b == ' ' || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}

}  // namespace

const bool ora_byte_source::k_space[256] = {
#define VELT_SP(b) space_table_entry(b)
#define VELT_SP16(b)                                                                         \
    VELT_SP(b), VELT_SP(b + 1), VELT_SP(b + 2), VELT_SP(b + 3), VELT_SP(b + 4), VELT_SP(b + 5), \
        VELT_SP(b + 6), VELT_SP(b + 7), VELT_SP(b + 8), VELT_SP(b + 9), VELT_SP(b + 10),        \
        VELT_SP(b + 11), VELT_SP(b + 12), VELT_SP(b + 13), VELT_SP(b + 14), VELT_SP(b + 15)
    VELT_SP16(0),   VELT_SP16(16),  VELT_SP16(32),  VELT_SP16(48),
    VELT_SP16(64),  VELT_SP16(80),  VELT_SP16(96),  VELT_SP16(112),
    VELT_SP16(128), VELT_SP16(144), VELT_SP16(160), VELT_SP16(176),
    VELT_SP16(192), VELT_SP16(208), VELT_SP16(224), VELT_SP16(240),
#undef VELT_SP16
#undef VELT_SP
};

ora_byte_source::ora_byte_source(uint64_t size) : m_size(size) {}

ora_byte_source::~ora_byte_source() = default;

void ora_byte_source::set_size(uint64_t size) {
    uint64_t pos = position();
    m_size = size;
    // Drop the window: it may reach past the new end.
    m_base = pos;
    m_begin = m_cur = m_end = nullptr;
    m_kept_begin = m_kept_end = nullptr;
}

void ora_byte_source::seek(uint64_t pos) {
    uint64_t window = static_cast<uint64_t>(m_end - m_begin);
    if (m_begin != nullptr && pos >= m_base && pos - m_base <= window) {
        m_cur = m_begin + (pos - m_base);
        return;
    }
    if (m_begin != nullptr) {
        m_kept_base = m_base;
        m_kept_begin = m_begin;
        m_kept_end = m_end;
    } else if (m_kept_begin != nullptr && pos >= m_kept_base &&
               pos - m_kept_base <= static_cast<uint64_t>(m_kept_end - m_kept_begin)) {
        m_base = m_kept_base;
        m_begin = m_kept_begin;
        m_end = m_kept_end;
        m_cur = m_begin + (pos - m_base);
        m_kept_begin = m_kept_end = nullptr;
        return;
    }
    m_base = pos;
    m_begin = m_cur = m_end = nullptr;
}

bool ora_byte_source::refill() {
    uint64_t pos = position();
    if (pos >= m_size) return false;
    const uint8_t* begin = nullptr;
    const uint8_t* end = nullptr;
    uint64_t base = load(pos, begin, end);
    // The load reused the buffer a kept window pointed into.
    m_kept_begin = m_kept_end = nullptr;
    TK_ASSERT(begin != nullptr && base <= pos && static_cast<uint64_t>(end - begin) > pos - base);
    // Never hand out bytes past the end, whatever the implementation holds.
    if (static_cast<uint64_t>(end - begin) > m_size - base) {
        end = begin + (m_size - base);
    }
    m_base = base;
    m_begin = begin;
    m_end = end;
    m_cur = begin + (pos - base);
    return true;
}

size_t ora_byte_source::read(void* out, size_t count) {
    auto* dst = static_cast<uint8_t*>(out);
    size_t done = 0;
    while (done < count) {
        if (m_cur == m_end && !refill()) break;
        size_t n = std::min(count - done, static_cast<size_t>(m_end - m_cur));
        std::memcpy(dst + done, m_cur, n);
        m_cur += n;
        done += n;
    }
    return done;
}

size_t ora_byte_source::read_append(std::string& out, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (m_cur == m_end && !refill()) break;
        size_t n = std::min(count - done, static_cast<size_t>(m_end - m_cur));
        out.append(reinterpret_cast<const char*>(m_cur), n);
        m_cur += n;
        done += n;
    }
    return done;
}

bool ora_byte_source::read_word(std::string_view& word) {
    m_before_word = -2;
    bool skipped = false;
    uint8_t last_space = 0;
    for (;;) {
        if (m_cur == m_end && !refill()) return false;
        while (m_cur < m_end && k_space[*m_cur]) {
            last_space = *m_cur++;
            skipped = true;
        }
        if (m_cur < m_end) break;
    }
    m_word_start = position();
    if (skipped) m_before_word = last_space;

    const uint8_t* s = m_cur;
    while (m_cur < m_end && !k_space[*m_cur]) ++m_cur;
    if (m_cur < m_end || position() >= m_size) {
        m_word_end = position();
        size_t n = std::min(static_cast<size_t>(m_cur - s), max_word);
        word = std::string_view(reinterpret_cast<const char*>(s), n);
        return true;
    }
    // The word goes on in the next window: collect it (up to max_word bytes).
    m_word.assign(reinterpret_cast<const char*>(s),
                  std::min(static_cast<size_t>(m_cur - s), max_word));
    while (refill()) {
        s = m_cur;
        while (m_cur < m_end && !k_space[*m_cur]) ++m_cur;
        if (m_word.size() < max_word) {
            size_t n = std::min(static_cast<size_t>(m_cur - s), max_word - m_word.size());
            m_word.append(reinterpret_cast<const char*>(s), n);
        }
        if (m_cur < m_end) break;
    }
    m_word_end = position();
    word = m_word;
    return true;
}

int ora_byte_source::byte_before_word() {
    if (m_before_word == -2) {
        m_before_word = m_word_start == 0 ? -1 : byte_at(m_word_start - 1);
    }
    return m_before_word;
}

int ora_byte_source::byte_at(uint64_t pos) {
    if (pos >= m_size) return -1;
    if (m_begin != nullptr && pos >= m_base && pos - m_base < static_cast<uint64_t>(m_end - m_begin)) {
        return m_begin[pos - m_base];
    }
    uint64_t here = position();
    seek(pos);
    uint8_t b = 0;
    bool ok = read_byte(b);
    seek(here);
    return ok ? b : -1;
}

bool ora_byte_source::skip_past(uint8_t delimiter) {
    for (;;) {
        if (m_cur == m_end && !refill()) return false;
        const void* hit = std::memchr(m_cur, delimiter, static_cast<size_t>(m_end - m_cur));
        if (hit != nullptr) {
            m_cur = static_cast<const uint8_t*>(hit) + 1;
            return true;
        }
        m_cur = m_end;
    }
}

bool ora_byte_source::read_past(uint8_t delimiter, std::string& out, size_t limit) {
    size_t taken = 0;
    for (;;) {
        if (m_cur == m_end && !refill()) return false;
        const void* hit = std::memchr(m_cur, delimiter, static_cast<size_t>(m_end - m_cur));
        const uint8_t* stop = hit != nullptr ? static_cast<const uint8_t*>(hit) + 1 : m_end;
        size_t n = static_cast<size_t>(stop - m_cur);
        if (taken < limit) {
            size_t keep = std::min(n, limit - taken);
            out.append(reinterpret_cast<const char*>(m_cur), keep);
            taken += keep;
        }
        m_cur = stop;
        if (hit != nullptr) return true;
    }
}
