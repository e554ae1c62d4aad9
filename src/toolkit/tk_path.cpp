#include "tk_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

std::string tk_get_module_path() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    TK_ASSERT(n > 0);
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::u16string tk_get_module_wpath() {
    return tk_from_utf8(tk_get_module_path());
}

std::string tk_get_program_folder() {
    std::string path = tk_get_module_path();
    return path.substr(0, path.rfind('/') + 1);
}

namespace {

bool file_opens(const char* path, int mode) {
    // Non-blocking, so that a named pipe answers at once instead of waiting for a writer.
    int flags = (mode == 1 ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = open(path, flags);
    if (fd < 0)
        return false;
    struct stat st {};
    bool is_file = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    close(fd);
    return is_file;
}

// What changing into the folder needs: a folder, and search permission on it.
bool folder_enterable(const std::string& path) {
    const std::string folder = path.empty() ? tk_get_program_folder() : path;
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           faccessat(AT_FDCWD, folder.c_str(), X_OK, AT_EACCESS) == 0;
}

}  // namespace

bool tk_is_file_exist(const char* path, int mode) {
    tk_trace(1, "tk_is_file_exist(%s)", path ? path : "");
    if (path != nullptr && file_opens(path, mode))
        return true;
    tk_trace(1, "File not exists!");
    return false;
}

bool tk_is_file_exist(const std::string& path, int mode) {
    // A path with a zero inside names no file (the system would see only its first part).
    if (path.find('\0') != std::string::npos)
        return false;
    return tk_is_file_exist(path.c_str(), mode);
}

bool tk_is_file_exist(const std::u16string& path, int mode) {
    tk_wtrace(1, u"tk_is_file_exist(%s)", path.c_str());
    std::string narrow;
    if (path.find(u'\0') == std::u16string::npos && tk_wide_to_ansi(path.c_str(), narrow) &&
        file_opens(narrow.c_str(), mode)) {
        return true;
    }
    tk_trace(1, "File not exists!");
    return false;
}

bool tk_is_path_exist(const std::u16string& path) {
    tk_wtrace(1, u"tk_is_path_exist(%s)", path.c_str());
    std::string narrow;
    if (path.find(u'\0') != std::u16string::npos || !tk_wide_to_ansi(path.c_str(), narrow)) {
        return false;
    }
    return folder_enterable(narrow);
}

bool tk_is_path_exist(const std::string& path) {
    tk_trace(1, "tk_is_path_exist(%s)", path.c_str());
    return path.find('\0') == std::string::npos && folder_enterable(path);
}
