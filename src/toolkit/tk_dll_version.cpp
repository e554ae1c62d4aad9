#include "tk_dll_version.h"

#include <dlfcn.h>

#include "tk_log.h"

uint32_t get_dll_version(const char* file) {
    void* library = file != nullptr ? dlopen(file, RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (library == nullptr) {
        tk_trace(1, "get_dll_version failed to load DLL");
        return 0;
    }
    auto entry = reinterpret_cast<tk_dll_get_version_entry>(dlsym(library, "DllGetVersion"));
    if (entry == nullptr) {
        tk_trace(1, "get_dll_version failed to obtain DllGetVersion");
        dlclose(library);
        return 0;
    }
    tk_dll_version_info info{};
    info.size = sizeof info;
    uint32_t version = 0;
    if (entry(&info) >= 0)
        version = ((info.major & 0xFFFF) << 16) | (info.minor & 0xFFFF);
    dlclose(library);
    return version;
}
