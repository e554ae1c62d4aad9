#include "tk_dir_keeper.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "tk_path.h"

tk_dir_keeper::tk_dir_keeper(const std::string& folder) {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() >= (1u << 20))
            return;
        buffer.resize(buffer.size() * 2);
    }
    m_saved = buffer.data();
    m_saved_fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string target = folder.empty() ? tk_get_program_folder() : folder;
    m_b_changed = chdir(target.c_str()) == 0;
}

tk_dir_keeper::~tk_dir_keeper() {
    if (m_b_changed) {
        if (m_saved_fd < 0 || fchdir(m_saved_fd) != 0) {
            [[maybe_unused]] int ignored = chdir(m_saved.c_str());
        }
    }
    if (m_saved_fd >= 0)
        close(m_saved_fd);
}
