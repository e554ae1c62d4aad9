#include "tk_reg_key.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "tk_text_decoder.h"

const tk_reg_root tk_hkey_current_user{"HKEY_CURRENT_USER"};

namespace {

// A settings file holds a few hundred bytes; anything far larger is not ours and reads as
// damaged. One text value may take at most k_max_value_bytes, so that a file we write always
// stays below the bound.
constexpr size_t k_max_file_bytes = 64u << 20;
constexpr size_t k_max_value_bytes = 1u << 20;

using entry = tk_reg_key::entry;

int last_error() {
    return errno != 0 ? errno : EIO;
}

bool is_absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// $XDG_CONFIG_HOME, else $HOME/.config, else the password database's home + "/.config".
std::string config_home() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (is_absolute(xdg))
        return xdg;
    const char* home = std::getenv("HOME");
    if (is_absolute(home))
        return std::string(home) + "/.config";
    passwd record{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &record, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && is_absolute(found->pw_dir)) {
        return std::string(found->pw_dir) + "/.config";
    }
    return {};
}

std::string folder_of(const std::string& file) {
    return file.substr(0, file.rfind('/'));
}

// Creates the missing folders of `folder` (absolute), each with mode 0700.
int make_folders(const std::string& folder) {
    size_t pos = 1;
    for (;;) {
        size_t slash = folder.find('/', pos);
        std::string part = folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return last_error();
        if (slash == std::string::npos)
            break;
        pos = slash + 1;
    }
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return last_error();
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

bool same_name(const std::string& a, const std::string& b) {
    return a == b || tk_equal_nocase(tk_from_utf8(a), tk_from_utf8(b));
}

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8_length(std::string_view s, size_t i) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        if (b == 0xE0)
            lo = 0xA0;
        if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        if (b == 0xF0)
            lo = 0x90;
        if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + need >= s.size())
        return 0;
    for (size_t k = 1; k <= need; ++k) {
        unsigned char c = static_cast<unsigned char>(s[i + k]);
        if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF))
            return 0;
    }
    return need + 1;
}

void append_escape(std::string& out, char kind, unsigned value, int digits) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\%c%0*X", kind, digits, value);
    out += buffer;
}

bool needs_escape(unsigned char b, bool in_name) {
    return b < 0x20 || b == 0x7F || b == '\\' || (in_name && b == '=');
}

// Narrow text: bytes that are not UTF-8 are escaped, so the file stays UTF-8 text.
std::string escape_narrow(std::string_view text, bool in_name) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            if (needs_escape(b, in_name))
                append_escape(out, 'x', b, 2);
            else
                out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        size_t n = utf8_length(text, i);
        if (n == 0) {
            append_escape(out, 'x', b, 2);
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

// Wide text: UTF-8, a lone surrogate as \uHHHH.
std::string escape_wide(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x80) {
            if (needs_escape(static_cast<unsigned char>(c), false))
                append_escape(out, 'x', c, 2);
            else
                out.push_back(static_cast<char>(c));
        } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] < 0xE000) {
            tk_append_utf8(out, text.substr(i, 2));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            append_escape(out, 'u', c, 4);
        } else {
            tk_append_utf8(out, text.substr(i, 1));
        }
    }
    return out;
}

bool hex_value(std::string_view digits, unsigned& value) {
    value = 0;
    if (digits.empty())
        return false;
    for (char d : digits) {
        value <<= 4;
        if (d >= '0' && d <= '9')
            value |= static_cast<unsigned>(d - '0');
        else if (d >= 'A' && d <= 'F')
            value |= static_cast<unsigned>(d - 'A' + 10);
        else if (d >= 'a' && d <= 'f')
            value |= static_cast<unsigned>(d - 'a' + 10);
        else
            return false;
    }
    return true;
}

// Reads the escape at in[i] ('\\'): its kind and value; advances i past it.
bool read_escape(std::string_view in, size_t& i, char& kind, unsigned& value) {
    if (i + 1 >= in.size())
        return false;
    kind = in[i + 1];
    size_t digits = kind == 'x' ? 2 : kind == 'u' ? 4 : 0;
    if (digits == 0 || i + 2 + digits > in.size())
        return false;
    if (!hex_value(in.substr(i + 2, digits), value))
        return false;
    i += 2 + digits;
    return true;
}

bool unescape_narrow(std::string_view in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size();) {
        if (in[i] != '\\') {
            out.push_back(in[i++]);
            continue;
        }
        char kind;
        unsigned value;
        if (!read_escape(in, i, kind, value) || kind != 'x')
            return false;
        out.push_back(static_cast<char>(value));
    }
    return true;
}

bool unescape_wide(std::string_view in, std::u16string& out) {
    out.clear();
    size_t run = 0;  // start of the current run of plain UTF-8
    auto flush = [&](size_t end) {
        tk_decode_utf8_append(reinterpret_cast<const uint8_t*>(in.data() + run), end - run, out);
    };
    for (size_t i = 0; i < in.size();) {
        if (in[i] != '\\') {
            ++i;
            continue;
        }
        flush(i);
        char kind;
        unsigned value;
        if (!read_escape(in, i, kind, value))
            return false;
        out.push_back(static_cast<char16_t>(value));
        run = i;
    }
    flush(in.size());
    return true;
}

bool parse_number(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t v = 0;
    for (char d : text) {
        if (d < '0' || d > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(d - '0');
    }
    if (v > UINT32_MAX)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

bool parse_line(std::string_view line, entry& e) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || !unescape_narrow(line.substr(0, eq), e.name))
        return false;
    std::string_view rest = line.substr(eq + 1);
    size_t colon = rest.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view type = rest.substr(0, colon);
    std::string_view data = rest.substr(colon + 1);
    if (type == "dword") {
        e.type = tk_reg_dword;
        return parse_number(data, e.number);
    }
    if (type == "sz") {
        e.type = tk_reg_sz;
        return unescape_narrow(data, e.text);
    }
    if (type == "wsz") {
        e.type = tk_reg_sz;
        e.wide = true;
        return unescape_wide(data, e.wtext);
    }
    return false;
}

void add_unique(std::vector<entry>& values, entry e) {
    for (const entry& old : values) {
        if (same_name(old.name, e.name))
            return;  // the first of two lines with one name holds
    }
    values.push_back(std::move(e));
}

// Reads the values of `file`. Lines that do not parse are skipped; a file that is no regular
// file or far too large holds no values. Returns 0, or the errno of the failed open or read
// (ENOENT when the file is missing).
int read_file(const std::string& file, std::vector<entry>& values) {
    values.clear();
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return last_error();
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) > k_max_file_bytes) {
        ::close(fd);
        return 0;
    }
    std::string content;
    char buffer[8192];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = last_error();
            ::close(fd);
            return err;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
        if (content.size() > k_max_file_bytes) {
            ::close(fd);
            return 0;
        }
    }
    ::close(fd);
    std::string_view rest(content);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        entry e;
        if (parse_line(line, e))
            add_unique(values, std::move(e));
    }
    return 0;
}

std::string format_file(const std::string& key_path, const std::vector<entry>& values) {
    std::string out = "# Settings of " + escape_narrow(key_path, false) +
                      ", one value per line: name=type:value\n";
    for (const entry& e : values) {
        out += escape_narrow(e.name, true);
        if (e.type == tk_reg_dword) {
            out += "=dword:" + std::to_string(e.number);
        } else if (e.wide) {
            out += "=wsz:" + escape_wide(e.wtext);
        } else {
            out += "=sz:" + escape_narrow(e.text, false);
        }
        out.push_back('\n');
    }
    return out;
}

int write_all(int fd, const std::string& content) {
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return last_error();
        p += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

// Replaces `file` by `content`: a temporary file beside it (mode 0600), flushed, then renamed
// over it, so that a reader sees the old file or the new one, never a part. A symbolic link
// (settings kept in a managed dotfile folder) keeps pointing at the rewritten file.
int replace_file(const std::string& file, const std::string& content, int folder_fd) {
    std::string target = file;
    struct stat st {};
    if (lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = realpath(file.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    std::string temp = target + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return last_error();
    int err = fchmod(fd, 0600) != 0 ? last_error() : 0;
    if (err == 0)
        err = write_all(fd, content);
    if (err == 0 && fsync(fd) != 0)
        err = last_error();
    if (::close(fd) != 0 && err == 0)
        err = last_error();
    if (err == 0 && rename(temp.c_str(), target.c_str()) != 0)
        err = last_error();
    if (err != 0) {
        unlink(temp.c_str());
        return err;
    }
    if (folder_fd >= 0)
        fsync(folder_fd);
    return 0;
}

// An exclusive advisory lock on the key's folder, held while the file is read and rewritten.
class folder_lock {
public:
    explicit folder_lock(const std::string& folder) {
        m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) {
            m_error = last_error();
            return;
        }
        while (flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = last_error();
                break;
            }
        }
    }
    folder_lock(const folder_lock&) = delete;
    folder_lock& operator=(const folder_lock&) = delete;
    ~folder_lock() {
        if (m_fd >= 0)
            ::close(m_fd);  // closing releases the lock
    }
    int error() const { return m_error; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace

std::string tk_reg_key::file_of(const std::string& key_path) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= key_path.size()) {
        size_t end = key_path.find_first_of("\\/", pos);
        if (end == std::string::npos)
            end = key_path.size();
        std::string part = key_path.substr(pos, end - pos);
        if (part == "." || part == "..")
            return {};
        if (!part.empty())
            parts.push_back(std::move(part));
        pos = end + 1;
    }
    if (parts.size() > 1 && tk_equal_nocase(tk_from_utf8(parts[0]), u"Software")) {
        parts.erase(parts.begin());
    }
    if (parts.empty())
        return {};
    std::string file = config_home();
    if (file.empty())
        return {};
    for (const std::string& part : parts) file += "/" + part;
    return file + ".settings";
}

tk_reg_key::tk_reg_key(std::string path) : m_path(std::move(path)) {}

tk_reg_key::~tk_reg_key() = default;

int32_t tk_reg_key::create(const tk_reg_root* parent, const char* subkey, const char* key_class,
                           uint32_t options, uint32_t access, const void* security,
                           uint32_t* disposition) {
    (void)key_class;
    (void)options;
    (void)security;
    tk_trace(2, "tk_reg_key::create(%s)", subkey ? subkey : "");
    TK_ASSERT(parent != nullptr);
    if (subkey == nullptr || *subkey == 0)
        return tk_reg_invalid_parameter;
    std::string file = file_of(subkey);
    if (file.empty())
        return tk_reg_invalid_parameter;
    std::string folder = folder_of(file);
    int err = make_folders(folder);
    if (err != 0)
        return err;

    std::vector<entry> values;
    uint32_t how = tk_reg_opened_existing_key;
    err = read_file(file, values);
    if (err == ENOENT) {
        // Made under the lock, after a second look, so that a key another program has just
        // created and filled is opened rather than emptied.
        folder_lock lock(folder);
        if (lock.error() != 0)
            return lock.error();
        err = read_file(file, values);
        if (err == ENOENT) {
            err = replace_file(file, format_file(subkey, {}), lock.fd());
            how = tk_reg_created_new_key;
        }
    }
    if (err != 0)
        return err;
    if (how == tk_reg_opened_existing_key) {
        // The file holds a password: an older copy readable by others is tightened.
        struct stat st {};
        if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0) {
            chmod(file.c_str(), st.st_mode & 0700);
        }
    }
    close();
    m_open = true;
    m_access = access;
    m_file = std::move(file);
    m_key_path = subkey;
    m_values = std::move(values);
    if (disposition != nullptr)
        *disposition = how;
    return tk_reg_success;
}

void tk_reg_key::close() {
    m_open = false;
    m_access = 0;
    m_file.clear();
    m_key_path.clear();
    m_values.clear();
}

const tk_reg_key::entry* tk_reg_key::find(const std::string& name) const {
    for (const entry& e : m_values) {
        if (same_name(e.name, name))
            return &e;
    }
    return nullptr;
}

int32_t tk_reg_key::get_value(const char* name, uint32_t& value) {
    tk_trace(2, "tk_reg_key::get_value(ulong, %s)", name ? name : "");
    TK_ASSERT(name != nullptr);
    if (!m_open)
        return tk_reg_invalid_handle;
    if ((m_access & tk_reg_query_value) == 0)
        return tk_reg_access_denied;
    const entry* e = find(name);
    uint32_t size =
        e == nullptr ? 0
        : e->type == tk_reg_dword
            ? 4
            : static_cast<uint32_t>(e->wide ? (e->wtext.size() + 1) * 2 : e->text.size() + 1);
    tk_trace(1, "type=%d, size=%d", e ? static_cast<int>(e->type) : 0, static_cast<int>(size));
    if (e == nullptr)
        return tk_reg_not_found;
    if (e->type != tk_reg_dword)
        return tk_reg_wrong_type;
    value = e->number;
    return tk_reg_success;
}

int32_t tk_reg_key::get_value(const char* name, char* buffer, uint32_t* size) {
    tk_trace(2, "tk_reg_key::get_value(LPSTR, %s)", name ? name : "");
    TK_ASSERT(size != nullptr);
    TK_ASSERT(name != nullptr);
    if (!m_open)
        return tk_reg_invalid_handle;
    if ((m_access & tk_reg_query_value) == 0)
        return tk_reg_access_denied;
    const entry* e = find(name);
    if (e == nullptr || e->type != tk_reg_sz) {
        tk_trace(1, "type=%d, size=%d", e ? static_cast<int>(e->type) : 0, e ? 4 : 0);
        return e == nullptr ? tk_reg_not_found : tk_reg_wrong_type;
    }
    std::string text = e->wide ? tk_to_utf8(e->wtext) : e->text;
    uint32_t need = static_cast<uint32_t>(text.size() + 1);
    tk_trace(1, "type=%d, size=%d", static_cast<int>(e->type), static_cast<int>(need));
    if (buffer == nullptr) {
        *size = need;
        return tk_reg_success;
    }
    if (*size < need) {
        *size = need;
        return tk_reg_more_data;
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = 0;
    *size = need;
    return tk_reg_success;
}

int32_t tk_reg_key::get_value(const char16_t* name, char16_t* buffer, uint32_t* size) {
    tk_wtrace(2, u"tk_reg_key::get_value(LPWSTR, %s)", name ? name : u"");
    TK_ASSERT(size != nullptr);
    TK_ASSERT(name != nullptr);
    if (!m_open)
        return tk_reg_invalid_handle;
    if ((m_access & tk_reg_query_value) == 0)
        return tk_reg_access_denied;
    const entry* e = find(tk_to_utf8(name));
    if (e == nullptr || e->type != tk_reg_sz) {
        tk_trace(1, "type=%d, size=%d", e ? static_cast<int>(e->type) : 0, e ? 4 : 0);
        return e == nullptr ? tk_reg_not_found : tk_reg_wrong_type;
    }
    std::u16string text = e->wide ? e->wtext : tk_ansi_to_wide(e->text);
    uint32_t need = static_cast<uint32_t>((text.size() + 1) * 2);
    tk_trace(1, "type=%d, size=%d", static_cast<int>(e->type), static_cast<int>(need));
    if (buffer == nullptr) {
        *size = need;
        return tk_reg_success;
    }
    if (*size < need) {
        *size = need;
        return tk_reg_more_data;
    }
    std::memcpy(buffer, text.data(), text.size() * 2);
    buffer[text.size()] = 0;
    *size = need;
    return tk_reg_success;
}

int32_t tk_reg_key::store(entry e) {
    if ((m_access & tk_reg_set_value) == 0)
        return tk_reg_access_denied;
    std::string folder = folder_of(m_file);
    int err = make_folders(folder);  // the folder may have gone since create()
    if (err != 0)
        return err;
    folder_lock lock(folder);
    if (lock.error() != 0)
        return lock.error();
    // Values that another program stored since create() are kept.
    std::vector<entry> values;
    err = read_file(m_file, values);
    if (err != 0 && err != ENOENT)
        return err;
    bool replaced = false;
    for (entry& old : values) {
        if (same_name(old.name, e.name)) {
            e.name = old.name;  // a value keeps the spelling of its name
            old = std::move(e);
            replaced = true;
            break;
        }
    }
    if (!replaced)
        values.push_back(std::move(e));
    err = replace_file(m_file, format_file(m_key_path, values), lock.fd());
    if (err != 0)
        return err;
    m_values = std::move(values);
    return tk_reg_success;
}

int32_t tk_reg_key::set_value(const char* name, uint32_t value) {
    tk_trace(2, "tk_reg_key::set_value(ulong, %s)", name ? name : "");
    TK_ASSERT(m_open);
    TK_ASSERT(name != nullptr);
    entry e;
    e.name = name;
    e.type = tk_reg_dword;
    e.number = value;
    return store(std::move(e));
}

int32_t tk_reg_key::set_value(const char* name, const char* text) {
    tk_trace(2, "tk_reg_key::set_value(LPCSTR, %s)", name ? name : "");
    TK_ASSERT(m_open);
    TK_ASSERT(name != nullptr);
    TK_ASSERT(text != nullptr);
    entry e;
    e.name = name;
    e.type = tk_reg_sz;
    e.text = text;
    if (e.text.size() > k_max_value_bytes)
        return tk_reg_invalid_parameter;
    return store(std::move(e));
}

int32_t tk_reg_key::set_value(const char* name, const char16_t* text) {
    tk_trace(2, "tk_reg_key::set_value(LPCWSTR, %s)", name ? name : "");
    TK_ASSERT(m_open);
    TK_ASSERT(name != nullptr);
    TK_ASSERT(text != nullptr);
    entry e;
    e.name = name;
    e.type = tk_reg_sz;
    e.wide = true;
    e.wtext = text;
    if (e.wtext.size() > k_max_value_bytes / 2)
        return tk_reg_invalid_parameter;
    return store(std::move(e));
}

int32_t tk_reg_key::set_value(const char16_t* name, const char16_t* text) {
    TK_ASSERT(name != nullptr);
    return set_value(tk_to_utf8(name).c_str(), text);
}

bool tk_reg_key::transfer(const char* name, int32_t& value, bool store) {
    if (!m_open)
        return false;
    if (store)
        return set_value(name, static_cast<uint32_t>(value)) == tk_reg_success;
    uint32_t number = 0;
    if (get_value(name, number) != tk_reg_success)
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

bool tk_reg_key::transfer(const char* name, bool& value, bool store) {
    if (!m_open)
        return false;
    if (store)
        return set_value(name, value ? 1u : 0u) == tk_reg_success;
    uint32_t number = 0;
    if (get_value(name, number) != tk_reg_success)
        return false;
    value = number != 0;
    return true;
}

bool tk_reg_key::transfer(const char* name, std::string& value, bool store) {
    if (!m_open)
        return false;
    if (store)
        return set_value(name, value.c_str()) == tk_reg_success;
    uint32_t size = 0;
    if (get_value(name, nullptr, &size) != tk_reg_success || size == 0)
        return false;
    std::vector<char> buffer(size);
    if (get_value(name, buffer.data(), &size) != tk_reg_success)
        return false;
    value.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return true;
}

bool tk_reg_key::transfer(const char* name, std::u16string& value, bool store) {
    TK_ASSERT(name != nullptr);
    if (!m_open)
        return false;
    if (store)
        return set_value(name, value.c_str()) == tk_reg_success;
    std::u16string wide_name = tk_from_utf8(name);
    uint32_t size = 0;
    if (get_value(wide_name.c_str(), nullptr, &size) != tk_reg_success || size == 0)
        return false;
    // Room for `size` code units: twice the bytes asked for, as the registry's own callers do.
    std::vector<char16_t> buffer(size);
    if (get_value(wide_name.c_str(), buffer.data(), &size) != tk_reg_success)
        return false;
    std::u16string_view text(buffer.data(), buffer.size());
    value.assign(text.substr(0, text.find(u'\0')));
    return true;
}
