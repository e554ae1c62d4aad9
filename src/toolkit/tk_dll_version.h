// get_dll_version: the version that a shared library reports through its DllGetVersion entry.
// Any thread may call it.
#pragma once

#include <cstdint>

// The record DllGetVersion fills: 20 bytes, `size` set by the caller.
struct tk_dll_version_info {
    uint32_t size;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t platform;
};
static_assert(sizeof(tk_dll_version_info) == 20);

// The signature of the entry: returns a status, 0 or more meaning success.
using tk_dll_get_version_entry = int32_t (*)(tk_dll_version_info*);

// Loads the library `file` (a name found as the dynamic loader finds it, or a path), calls its
// "DllGetVersion" entry and returns (major & 0xFFFF) << 16 | (minor & 0xFFFF), or 0 when the
// library does not load, has no such entry or the call fails. The library is unloaded again.
uint32_t get_dll_version(const char* file);
