#include "tk_path.h"

#include <unistd.h>

#include <vector>

#include "tk_exception.h"
#include "tk_text.h"

std::string tk_get_module_path() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    TK_ASSERT(n > 0);
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::u16string tk_get_module_wpath() { return tk_from_utf8(tk_get_module_path()); }

std::string tk_get_program_folder() {
    std::string path = tk_get_module_path();
    return path.substr(0, path.rfind('/') + 1);
}
