// Small helpers that damage a dump held in memory, in the manner of leveldb's log_test: flip a
// byte, set a length word, truncate at an offset, and find a text to aim at. Offsets outside the
// dump are assertion failures (a test that aims wrong should fail loudly, not pass by luck).
// Plain functions; any thread may call them on its own data.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

using dump_bytes = std::vector<uint8_t>;

// XORs the byte at `offset` with `mask`.
void damage_flip_byte(dump_bytes& dump, uint64_t offset, uint8_t mask = 0xFF);
void damage_set_byte(dump_bytes& dump, uint64_t offset, uint8_t value);
// Sets the little-endian 16-bit word at `offset` (row length words, chunk lengths, markers).
void damage_set_word(dump_bytes& dump, uint64_t offset, uint16_t value);
// Sets the big-endian 16-bit word at `offset` (header character-set ids and part marker).
void damage_set_word_be(dump_bytes& dump, uint64_t offset, uint16_t value);
// Cuts the dump to `size` bytes.
void damage_truncate(dump_bytes& dump, uint64_t size);
// Overwrites bytes from `offset` with `text`.
void damage_overwrite(dump_bytes& dump, uint64_t offset, std::string_view text);
// Offset of the first occurrence of `text` at or after `from`; assertion failure when absent.
uint64_t dump_find(const dump_bytes& dump, std::string_view text, uint64_t from = 0);
// The little-endian 16-bit word at `offset`.
uint16_t dump_word(const dump_bytes& dump, uint64_t offset);
