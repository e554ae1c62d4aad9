#include "tk_file_name.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_path.h"
#include "tk_text.h"

namespace {

std::string current_folder() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr)
            return buffer.data();
        TK_ASSERT(errno == ERANGE && buffer.size() < (1u << 20));
        buffer.resize(buffer.size() * 2);
    }
}

std::string current_folder(char) {
    return current_folder();
}
std::u16string current_folder(char16_t) {
    return tk_from_utf8(current_folder());
}

// `path` made absolute against the current folder and resolved lexically.
template <class C>
std::basic_string<C> full_path(const std::basic_string<C>& path) {
    using string = std::basic_string<C>;
    string absolute = path;
    if (absolute.empty() || absolute[0] != C('/'))
        absolute = current_folder(C()) + C('/') + path;
    std::vector<string> parts;
    size_t pos = 0;
    while (pos <= absolute.size()) {
        size_t end = absolute.find(C('/'), pos);
        if (end == string::npos)
            end = absolute.size();
        string part = absolute.substr(pos, end - pos);
        if (part.size() == 2 && part[0] == C('.') && part[1] == C('.')) {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && !(part.size() == 1 && part[0] == C('.'))) {
            parts.push_back(std::move(part));
        }
        pos = end + 1;
    }
    string out;
    for (const string& part : parts) {
        out += C('/');
        out += part;
    }
    // A path that names a folder ("a/b/") keeps its final separator: its name part is empty.
    if (out.empty() || absolute.back() == C('/'))
        out += C('/');
    return out;
}

template <class C>
void split(const std::basic_string<C>& full, std::basic_string<C>& folder,
           std::basic_string<C>& name, std::basic_string<C>& extension) {
    using string = std::basic_string<C>;
    size_t slash = full.rfind(C('/'));
    folder = slash == string::npos ? string() : full.substr(0, slash + 1);
    string last = slash == string::npos ? full : full.substr(slash + 1);
    size_t dot = last.rfind(C('.'));
    if (dot == string::npos) {
        name = last;
        extension.clear();
    } else {
        name = last.substr(0, dot);
        extension = last.substr(dot);
    }
}

template <class C>
void with_dot(std::basic_string<C>& extension) {
    if (!extension.empty() && extension[0] != C('.'))
        extension.insert(extension.begin(), C('.'));
}

template <class C>
void with_separator(std::basic_string<C>& folder) {
    if (!folder.empty() && folder.back() != C('/'))
        folder += C('/');
}

}  // namespace

tk_file_name::tk_file_name(const char* path) {
    initialize(path);
}

void tk_file_name::initialize(const char* path) {
    TK_ASSERT(path != nullptr);
    m_drive.clear();
    if (*path == 0) {
        split(tk_get_module_path(), m_folder, m_name, m_extension);
        m_name.clear();
        m_extension.clear();
        return;
    }
    split(full_path(std::string(path)), m_folder, m_name, m_extension);
}

void tk_file_name::set_extension(std::string extension) {
    with_dot(extension);
    m_extension = std::move(extension);
}

void tk_file_name::set_dir(std::string folder) {
    with_separator(folder);
    m_folder = std::move(folder);
}

tk_file_wname::tk_file_wname(const char16_t* path) {
    initialize(path);
}

void tk_file_wname::initialize(const char16_t* path) {
    tk_wtrace(1, u"tk_file_wname::initialize(%s)", path ? path : u"");
    TK_ASSERT(path != nullptr);
    m_drive.clear();
    if (*path == 0) {
        split(tk_get_module_wpath(), m_folder, m_name, m_extension);
        m_name.clear();
        m_extension.clear();
        return;
    }
    split(full_path(std::u16string(path)), m_folder, m_name, m_extension);
}

void tk_file_wname::set_extension(std::u16string extension) {
    with_dot(extension);
    m_extension = std::move(extension);
}

void tk_file_wname::set_dir(std::u16string folder) {
    with_separator(folder);
    m_folder = std::move(folder);
}
