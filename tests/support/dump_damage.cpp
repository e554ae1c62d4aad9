#include "dump_damage.h"

#include <algorithm>

#include "tk_exception.h"

void damage_flip_byte(dump_bytes& dump, uint64_t offset, uint8_t mask) {
    TK_ASSERT(offset < dump.size());
    dump[offset] ^= mask;
}

void damage_set_byte(dump_bytes& dump, uint64_t offset, uint8_t value) {
    TK_ASSERT(offset < dump.size());
    dump[offset] = value;
}

void damage_set_word(dump_bytes& dump, uint64_t offset, uint16_t value) {
    TK_ASSERT(offset + 2 <= dump.size());
    dump[offset] = static_cast<uint8_t>(value & 0xFF);
    dump[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void damage_set_word_be(dump_bytes& dump, uint64_t offset, uint16_t value) {
    TK_ASSERT(offset + 2 <= dump.size());
    dump[offset] = static_cast<uint8_t>(value >> 8);
    dump[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

void damage_truncate(dump_bytes& dump, uint64_t size) {
    TK_ASSERT(size <= dump.size());
    dump.resize(size);
}

void damage_overwrite(dump_bytes& dump, uint64_t offset, std::string_view text) {
    TK_ASSERT(offset + text.size() <= dump.size());
    std::copy(text.begin(), text.end(), dump.begin() + static_cast<long>(offset));
}

uint64_t dump_find(const dump_bytes& dump, std::string_view text, uint64_t from) {
    TK_ASSERT(from <= dump.size());
    auto it =
        std::search(dump.begin() + static_cast<long>(from), dump.end(), text.begin(), text.end(),
                    [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
    TK_ASSERT(it != dump.end());
    return static_cast<uint64_t>(it - dump.begin());
}

uint16_t dump_word(const dump_bytes& dump, uint64_t offset) {
    TK_ASSERT(offset + 2 <= dump.size());
    return static_cast<uint16_t>(dump[offset] | (dump[offset + 1] << 8));
}
