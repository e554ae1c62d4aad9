// tk_dir_keeper: changes the process's current folder and changes it back when it goes.
//
// An empty folder stands for the program's folder. changed() tells whether the change worked;
// when the current folder could not be saved, nothing changes. The current folder belongs to
// the whole process: do not use a keeper while other threads rely on relative paths.
#pragma once

#include <string>

class tk_dir_keeper {
public:
    explicit tk_dir_keeper(const std::string& folder);
    tk_dir_keeper(const tk_dir_keeper&) = delete;
    tk_dir_keeper& operator=(const tk_dir_keeper&) = delete;
    // Returns to the saved folder when the change worked.
    ~tk_dir_keeper();

    bool changed() const { return m_b_changed; }
    const std::string& saved() const { return m_saved; }

private:
    bool m_b_changed = false;
    std::string m_saved;
    int m_saved_fd = -1;  // the saved folder, still reachable if it is renamed meanwhile
};
