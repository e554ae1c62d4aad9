// tk_reg_key: one key of the per-user settings store, this platform's registry key.
//
// A key is a small text file under $XDG_CONFIG_HOME (default ~/.config). The key path names it:
// a leading "Software" component is dropped, the other components are folders and the last one
// names the file, so "Software\Quillmark\Veltrane" is ~/.config/Quillmark/Veltrane.settings.
// The file holds one value per line, "name=type:value", with the types "dword" (decimal), "sz"
// (narrow text) and "wsz" (wide text, kept as UTF-8). Names and texts write the backslash,
// control characters, '=' (in names) and bytes that are not UTF-8 as \xHH, and a lone UTF-16
// surrogate of a wide text as \uHHHH, so every value reads back exactly. Value names ignore case,
// as registry names do. Lines that do not parse (a damaged file) read as missing values.
//
// The file is created with mode 0600, since it holds the MySQL password, and its folders with
// 0700. Every change rewrites it atomically: a temporary file in the same folder, flushed and
// renamed over the old one, under an advisory lock on the folder; the current file is read
// again under that lock, so two programs storing at once keep each other's values.
//
// Operations return a system-like code, 0 meaning success: tk_reg_not_found (2, no such value),
// tk_reg_access_denied, tk_reg_invalid_handle (no key open), tk_reg_more_data (the buffer is too
// small; the size tells what is needed), tk_reg_wrong_type, tk_reg_invalid_parameter, or the
// errno of a failed file operation. Misuse (no parent, name, size, text or open key where one
// is required) is an assertion failure. A key is used by one thread at a time; it stays open
// until it is closed, destroyed or replaced by a later create().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A root of the settings store; this platform has only the current user's.
struct tk_reg_root {
    const char* name;
};
extern const tk_reg_root tk_hkey_current_user;

constexpr uint32_t tk_reg_query_value = 0x0001;  // access: read values
constexpr uint32_t tk_reg_set_value = 0x0002;    // access: write values
constexpr uint32_t tk_reg_all_access = 0xF003F;  // access: everything

constexpr uint32_t tk_reg_created_new_key = 1;      // disposition
constexpr uint32_t tk_reg_opened_existing_key = 2;  // disposition

constexpr uint32_t tk_reg_none = 0;   // value type: no value
constexpr uint32_t tk_reg_sz = 1;     // value type: text
constexpr uint32_t tk_reg_dword = 4;  // value type: 32-bit integer

constexpr int32_t tk_reg_success = 0;
constexpr int32_t tk_reg_not_found = 2;
constexpr int32_t tk_reg_access_denied = 5;
constexpr int32_t tk_reg_invalid_handle = 6;
constexpr int32_t tk_reg_invalid_parameter = 87;
constexpr int32_t tk_reg_more_data = 234;
constexpr int32_t tk_reg_wrong_type = 1630;

class tk_reg_key {
public:
    // Stores the key path; no key is open.
    explicit tk_reg_key(std::string path = {});
    tk_reg_key(const tk_reg_key&) = delete;
    tk_reg_key& operator=(const tk_reg_key&) = delete;
    ~tk_reg_key();

    // Creates or opens the key `subkey` under `parent` (assertion failure when missing) and
    // loads its values. On success a key that was open before is closed and this one becomes the
    // open key; `disposition`, when given, receives tk_reg_created_new_key or
    // tk_reg_opened_existing_key. The class, options and security arguments exist for the
    // registry's signature and are not used; `access` limits later reads and writes.
    int32_t create(const tk_reg_root* parent, const char* subkey, const char* key_class = nullptr,
                   uint32_t options = 0, uint32_t access = tk_reg_all_access,
                   const void* security = nullptr, uint32_t* disposition = nullptr);
    void close();
    bool is_open() const { return m_open; }
    // The key path given at construction.
    const std::string& path() const { return m_path; }
    // The settings file of the open key (empty when none is open).
    const std::string& file() const { return m_file; }
    // The settings file that stands for `key_path`, or an empty string when the path names none
    // (empty, "." or ".." components) or the user's configuration folder cannot be found.
    static std::string file_of(const std::string& key_path);

    // A 32-bit integer value.
    int32_t get_value(const char* name, uint32_t& value);
    // A text value: with a buffer, copies the text and its terminating zero when `*size` (bytes)
    // is large enough; without one, only tells the size. `*size` becomes the size in bytes of
    // the text with its zero (wide: (length + 1) * 2).
    int32_t get_value(const char* name, char* buffer, uint32_t* size);
    int32_t get_value(const char16_t* name, char16_t* buffer, uint32_t* size);

    int32_t set_value(const char* name, uint32_t value);
    int32_t set_value(const char* name, const char* text);
    int32_t set_value(const char16_t* name, const char16_t* text);
    int32_t set_value(const char* name, const char16_t* text);

    // Stores (store true) or loads one value; false when no key is open or the operation failed.
    // A failed load leaves `value` unchanged. A bool is stored as 1 or 0 and loads as true for
    // any value other than 0.
    bool transfer(const char* name, int32_t& value, bool store);
    bool transfer(const char* name, bool& value, bool store);
    bool transfer(const char* name, std::string& value, bool store);
    bool transfer(const char* name, std::u16string& value, bool store);

    // One stored value, as the settings file holds it.
    struct entry {
        std::string name;
        uint32_t type = tk_reg_none;
        bool wide = false;     // a text value set in wide form
        uint32_t number = 0;   // tk_reg_dword
        std::string text;      // narrow text
        std::u16string wtext;  // wide text
    };

private:
    const entry* find(const std::string& name) const;
    int32_t store(entry e);

    std::string m_path;
    bool m_open = false;
    uint32_t m_access = 0;
    std::string m_file;
    std::string m_key_path;  // the key path the file was opened for
    std::vector<entry> m_values;
};
