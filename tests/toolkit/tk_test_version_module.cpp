// A shared library with a DllGetVersion entry, for the get_dll_version tests. Built twice: once
// reporting version 5.82, once (TK_TEST_FAIL) failing every call.
#include "tk_dll_version.h"

extern "C" __attribute__((visibility("default"))) int32_t DllGetVersion(tk_dll_version_info* info) {
#ifdef TK_TEST_FAIL
    (void)info;
    return static_cast<int32_t>(0x80004005u);
#else
    if (info == nullptr || info->size != 20 || info->major != 0 || info->minor != 0 ||
        info->build != 0 || info->platform != 0) {
        return static_cast<int32_t>(0x80070057u);
    }
    info->major = 0x10005;
    info->minor = 82;
    info->build = 1;
    return 0;
#endif
}
