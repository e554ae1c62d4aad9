#include "ora_dump_reader.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "error_handler.h"
#include "ora_byte_source.h"
#include "ora_charsets.h"
#include "ora_dump_file.h"
#include "ora_dump_format.h"
#include "ora_dump_reader_th.h"
#include "ora_file_source.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "tk_thread.h"

namespace {

// The scan publishes its progress and honours a stop request once per this many bytes, which
// keeps both off the per-word path.
constexpr uint64_t k_check_interval = 64 * 1024;

bool is_quoted_name(std::string_view w) {
    return w.size() >= 3 && w.front() == '"' && w.back() == '"';
}

bool equal_nocase_ascii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

ora_dump_reader::ora_dump_reader() { init_cp_tables(); }

ora_dump_reader::~ora_dump_reader() = default;

void ora_dump_reader::init_cp_tables() {
    tk_trace(2, "ora_dump_reader::init_cp_tables");
    ora_charsets::id_table();
    ora_charsets::name_table();
}

void ora_dump_reader::set_code_page(const uint8_t id[2]) {
    int32_t cp = ora_charsets::code_page_of(be16(id));
    if (cp != 0) m_code_page = cp;
}

uint16_t ora_dump_reader::get_code_page(uint32_t id) {
    return static_cast<uint16_t>(ora_charsets::code_page_of(id));
}

std::u16string ora_dump_reader::decode_text(const uint8_t* bytes, size_t length, bool national) {
    std::u16string out;
    m_codec.decode_text(bytes, length, national, out);
    return out;
}

void ora_dump_reader::set_progress(uint64_t start, uint64_t current, uint64_t total) {
    if (total == 0) return;
    double d = static_cast<double>(current - start);
    double percent = d / (static_cast<double>(total) / 100.0);
    if (current - start == total) {
        percent = 99;
    } else if (percent > 1) {
        percent -= 1;
    }
    m_progress.store(static_cast<int32_t>(percent), std::memory_order_release);
}

void ora_dump_reader::set_local_progress(uint64_t start, uint64_t end, uint64_t current) {
    uint64_t span = end - start;
    if (span == 0) return;
    int32_t value;
    if (current - start == span) {
        value = 100;
    } else {
        value = static_cast<int32_t>(static_cast<double>(current - start) /
                                     (static_cast<double>(span) / 100.0));
    }
    m_local_progress.store(value, std::memory_order_release);
}

void ora_dump_reader::fail(const std::string& message) {
    m_progress.store(-1, std::memory_order_release);
    m_decoder.reset();
    tk_exception error(message, 1);
    if (error_handler* handler = error_handler::instance_if_any()) {
        handler->handle(error, false);
        // A front end that lets a level-1 error pass still ends the open.
        throw tk_final_exception();
    }
    throw error;
}

std::unique_ptr<ora_dump_file> ora_dump_reader::open(const std::u16string& path) {
    std::unique_ptr<ora_dump_file> result;
    open(path, [&result](std::unique_ptr<ora_dump_file> file) { result = std::move(file); });
    return result;
}

void ora_dump_reader::open(const std::u16string& path,
                           const std::function<void(std::unique_ptr<ora_dump_file>)>& sink) {
    tk_trace(2, "ora_dump_reader::open(...)\n");
    std::unique_ptr<ora_file_source> source = ora_file_source::open(tk_to_utf8(path));
    if (!source) {
        tk_wtrace(3, u"Couldn't open dump file %s\n", path.c_str());
        fail(open_error_text);
    }
    m_sink = &sink;
    struct sink_reset {
        const std::function<void(std::unique_ptr<ora_dump_file>)>*& sink;
        ~sink_reset() { sink = nullptr; }
    } reset{m_sink};
    run(std::move(source), path);
}

std::unique_ptr<ora_dump_file> ora_dump_reader::open(std::unique_ptr<ora_byte_source> source,
                                                     const std::u16string& name) {
    tk_trace(2, "ora_dump_reader::open(...)\n");
    TK_ASSERT(source != nullptr);
    return run(std::move(source), name);
}

std::unique_ptr<ora_dump_file> ora_dump_reader::run(std::unique_ptr<ora_byte_source> source,
                                                    const std::u16string& name) {
    (void)name;
    m_file_length = source->size();
    source->seek(0);
    tk_trace(2, "Got file length: %lld", static_cast<long long>(m_file_length));
    if (m_file_length == 0) {
        tk_trace(3, "File has 0 size.\n");
        fail(open_error_text);
    }

    uint8_t lead[ora_fmt::header_lead_bytes] = {0, 0, 0};
    source->read(lead, sizeof(lead));
    tk_trace(2, "Version number %02X %02X %02X\n", lead[0], lead[1], lead[2]);

    int version = 0;
    std::string version_word;
    std::string_view word;
    for (int i = 0; i < ora_fmt::version_word_tries && source->read_word(word); ++i) {
        std::string candidate(word);
        int v = 0;
        if (std::sscanf(candidate.c_str(), "EXPORT:V%02d.", &v) == 1) {
            version = v;
            version_word = std::move(candidate);
            break;
        }
    }
    tk_trace(2, "Version2 number %d", version);
    m_version = version;

    if (version == 0) return read_pump(std::move(source));
    m_version_word = version_word;
    return read_classic(std::move(source), lead);
}

std::unique_ptr<ora_dump_file> ora_dump_reader::read_classic(std::unique_ptr<ora_byte_source> source,
                                                             uint8_t lead[3]) {
    m_decoder = create_row_decoder(m_version, m_version_word);
    if (!m_decoder) {
        tk_trace(3, "Couldn't get propper tocken handlerfor value %d\n", lead[2]);
        fail(open_error_text);
    }

    std::string_view word;
    m_user_name.clear();
    m_tablespace_name.clear();
    if (source->read_word(word) && !word.empty()) m_user_name = std::string(word.substr(1));
    tk_trace(2, "User name %s\n", m_user_name.c_str());
    if (source->read_word(word) && !word.empty()) m_tablespace_name = std::string(word.substr(1));
    tk_trace(2, "Tablespace name %s\n", m_tablespace_name.c_str());

    uint16_t ncharset_id = 0;
    if (m_version <= 7) {
        // Version 7 names one character set, in the lead bytes.
        m_charset_id = static_cast<uint16_t>(lead[1] * 256 + lead[2]);
        m_session_id = m_charset_id;
        m_charset_kind = ora_charsets::kind_of(m_charset_id);
        if (m_charset_kind == ora_fmt::kind_code_page) {
            int32_t cp = ora_charsets::code_page_of(m_charset_id);
            // The code page is this dump's own: an id without one is read as the ANSI code page.
            m_code_page = cp;
        }
    } else {
        int line_ends = 0;
        uint8_t b = 0;
        while (line_ends < ora_fmt::header_line_ends) {
            if (!source->read_byte(b)) break;
            if (b == static_cast<uint8_t>(ora_fmt::line_end)) ++line_ends;
        }
        uint8_t block[ora_fmt::block_size_with_declared] = {};
        if (source->read(block, ora_fmt::block_size_without_declared) !=
            static_cast<size_t>(ora_fmt::block_size_without_declared)) {
            tk_trace(3, "The dump header ends before its character-set block");
            fail(open_error_text);
        }
        m_session_id = be16(block + ora_fmt::block_session_charset);
        m_charset_id = be16(block + ora_fmt::block_charset);
        ncharset_id = be16(block + ora_fmt::block_ncharset);
        m_part_marker = be16(block + ora_fmt::block_part_marker);
        m_charset_kind = ora_charsets::kind_of(m_charset_id);
        if (m_charset_kind == ora_fmt::kind_code_page) {
            m_code_page = ora_charsets::code_page_of(m_charset_id);
        }
        m_ncharset_kind = ora_charsets::kind_of(ncharset_id);
        m_ncharset_id = ncharset_id;
        uint64_t declared = 0;
        if (m_part_marker != ora_fmt::part_single) {
            if (source->read(block + ora_fmt::block_declared_size, 8) != 8) {
                tk_trace(3, "The dump header ends before its declared size");
                fail(open_error_text);
            }
            for (int i = 0; i < 8; ++i) declared = (declared << 8) | block[ora_fmt::block_declared_size + i];
        }
        if (m_part_marker != ora_fmt::part_single && m_part_marker != ora_fmt::part_first) {
            tk_trace(3, "%s", non_leading_part_text);
            fail(non_leading_part_text);
        }
        if (m_part_marker != ora_fmt::part_single && declared != 0) {
            if (m_file_length > declared) {
                m_file_length = declared;
                m_b_compound = true;
            } else if (m_part_marker == ora_fmt::part_first && m_file_length < declared) {
                m_b_multifile_first = true;
            }
        }
    }
    m_codec.configure(m_charset_id, m_ncharset_kind, ncharset_id, m_session_id);
    tk_trace(2, "Character sets: database %d (kind %d, %s), national %d (kind %d), session %d (%s)",
             m_charset_id, m_charset_kind, m_codec.encoding().c_str(), ncharset_id,
             m_ncharset_kind, m_session_id, m_codec.session_encoding().c_str());

    ora_dump_catalogue catalogue;
    try {
        catalogue = scan_classic(*source);
    } catch (const tk_thread_stop&) {
        m_progress.store(-1, std::memory_order_release);
        m_decoder.reset();
        throw;
    } catch (const std::exception& e) {
        tk_trace(3, "Couldn't read dump file");
        tk_trace(3, "%s", e.what());
        fail(open_error_text);
    }

    source->seek(0);
    m_decoder->set_context(m_codec.clone(), m_file_length);
    return finish(std::make_unique<ora_dump_file>(std::move(source), m_version_word, m_user_name,
                                                  m_tablespace_name, std::move(catalogue),
                                                  std::move(m_decoder)));
}

std::unique_ptr<ora_dump_file> ora_dump_reader::finish(std::unique_ptr<ora_dump_file> file) {
    if (m_sink != nullptr) {
        (*m_sink)(std::move(file));
        m_progress.store(100, std::memory_order_release);
        return nullptr;
    }
    m_progress.store(100, std::memory_order_release);
    return file;
}

ora_dump_catalogue ora_dump_reader::scan_classic(ora_byte_source& source) {
    const uint64_t scan_start = 0;
    const uint64_t length = m_file_length;
    set_progress(scan_start, source.position(), length);
    tk_trace(2, "Read tables \n");

    ora_dump_catalogue catalogue;
    std::map<std::u16string, std::u16string> unique_names;  // plain name -> catalogue name
    std::set<std::u16string> ambiguous;
    std::u16string pending;        // the table whose section is open
    bool has_pending = false;
    std::string current_table;     // raw bytes of the latest table name

    // The word before the current one, as far as the statements need it.
    enum class previous { other, alter_at_line_start, create, unique };
    previous prev = previous::other;

    auto close_pending = [&](uint64_t end) {
        if (has_pending) {
            auto it = catalogue.find(pending);
            if (it != catalogue.end()) it->second.end = end;
        }
        has_pending = false;
        pending.clear();
    };
    auto owning_entry = [&](const std::u16string& decoded) -> dump_table_entry* {
        auto u = unique_names.find(decoded);
        if (u == unique_names.end()) return nullptr;
        auto c = catalogue.find(u->second);
        return c == catalogue.end() ? nullptr : &c->second;
    };

    ora_text_codec& codec = m_codec;
    std::string_view word;
    uint64_t next_check = 0;
    for (;;) {
        if (source.at_end()) break;
        if (!source.read_word(word)) break;
        uint64_t after = source.word_end();
        if (after >= next_check) {
            set_progress(scan_start, after, length);
            tk_thread::check_stop();
            next_check = after + k_check_interval;
        }
        if (after >= length) break;

        previous kind = previous::other;
        if (word.size() == 5 && word == "TABLE") {
            if (source.byte_before_word() == ora_fmt::line_end) {
                // A table section: TABLE "name" at the start of a line.
                const uint64_t p = after;
                if (!source.read_word(word)) break;
                if (!is_quoted_name(word)) {
                    prev = previous::other;
                    continue;
                }
                std::string name(word.substr(1, word.size() - 2));
                current_table = name;
                bool definition = false;
                if (source.read_word(word) && word == "CREATE") {
                    definition = source.read_word(word) && word.substr(0, 5) == "TABLE";
                }
                if (!definition) {
                    close_pending(p - 6);
                    prev = previous::other;
                    continue;
                }
                source.skip_past(static_cast<uint8_t>(ora_fmt::line_end));
                const uint64_t e = source.position();
                source.seek(p);
                std::string tablespace;
                while (source.position() < e && source.read_word(word)) {
                    if (word == "TABLESPACE") {
                        if (!source.read_word(word)) break;
                        tablespace = word.size() >= 2 ? std::string(word.substr(1, word.size() - 2))
                                                      : std::string();
                    }
                }
                source.seek(e);
                std::string catalogue_name = tablespace.empty() ? name : tablespace + "." + name;
                tk_wtrace(2, u"Reading dump. TABLE section, Pos: %I64d", static_cast<long long>(p));

                std::u16string n = codec.decode_name(name);
                std::u16string q = codec.decode_name(catalogue_name);
                if (ambiguous.count(n) == 0) {
                    if (unique_names.count(n) == 0) {
                        unique_names.emplace(n, q);
                    } else {
                        ambiguous.insert(n);
                        unique_names.erase(n);
                    }
                }
                if (catalogue.count(q) != 0) {
                    tk_trace(3, "Database contians 2 or more tables with the samename %s",
                             tk_to_utf8(q).c_str());
                    close_pending(p);
                    prev = previous::other;
                    continue;
                }
                catalogue[q].start = p;
                close_pending(p);
                pending = q;
                has_pending = true;
                set_progress(scan_start, p, length);
                tk_trace(2, "Table: %s", tk_to_utf8(q).c_str());
                prev = previous::other;
                continue;
            }
            if (prev == previous::alter_at_line_start) {
                // ALTER TABLE "name" ...
                const uint64_t p = after;
                if (!source.read_word(word)) break;
                prev = previous::other;
                if (!is_quoted_name(word)) continue;
                std::string name(word.substr(1, word.size() - 2));
                tk_wtrace(2, u"Reading dump. ALTER section, Pos: %I64d", static_cast<long long>(p));
                if (name != current_table) continue;
                dump_table_entry* entry = owning_entry(codec.decode_name(current_table));
                if (entry == nullptr) continue;
                alter_span span;
                span.start = source.position();
                source.skip_past(static_cast<uint8_t>(ora_fmt::line_end));
                span.end = source.position();
                entry->alters.push_back(span);
                continue;
            }
        } else if (word.size() == 5 && word == "INDEX") {
            // CREATE [UNIQUE] INDEX "name" ON "table" (...)
            const uint64_t i = after;
            const previous before = prev;
            prev = previous::other;
            if (!source.read_word(word)) break;  // the index name
            if (!source.read_word(word)) break;
            if (!equal_nocase_ascii(word, "ON")) continue;
            if (!source.read_word(word)) break;
            if (!is_quoted_name(word)) continue;
            std::u16string table = codec.decode_name(word.substr(1, word.size() - 2));
            if (unique_names.count(table) == 0) continue;
            source.seek(i);
            dump_table_entry* entry = owning_entry(table);
            tk_wtrace(2, u"Reading dump. CREATE INDEX section. Pos: %I64d",
                      static_cast<long long>(i));
            if ((before == previous::create || before == previous::unique) && entry != nullptr) {
                index_span span;
                span.start = i;
                source.skip_past(static_cast<uint8_t>(ora_fmt::line_end));
                span.end = source.position();
                span.b_unique = before == previous::unique;
                entry->indexes.push_back(span);
            }
            continue;
        } else if (word.size() == 5 && word == "ALTER") {
            if (source.byte_before_word() == ora_fmt::line_end) kind = previous::alter_at_line_start;
        } else if (word.size() == 6) {
            if (word == "CREATE") {
                kind = previous::create;
            } else if (word == "UNIQUE") {
                kind = previous::unique;
            }
        }
        prev = kind;
    }

    // End of the scan: the open section ends with the dump.
    if (!catalogue.empty()) {
        auto it = has_pending ? catalogue.find(pending) : catalogue.end();
        if (it != catalogue.end()) {
            it->second.end = length;
        } else if (catalogue.rbegin()->second.end == 0) {
            catalogue.rbegin()->second.end = length;
        }
    }
    // A table whose name is unique in the dump is listed by its plain name; names that occur in
    // more than one tablespace stay qualified.
    for (const auto& [plain, qualified] : unique_names) {
        if (plain == qualified) continue;
        auto it = catalogue.find(qualified);
        if (it == catalogue.end() || catalogue.count(plain) != 0) continue;
        dump_table_entry entry = std::move(it->second);
        catalogue.erase(it);
        catalogue.emplace(plain, std::move(entry));
    }
    return catalogue;
}
