#include "ora_dump_file.h"

#include "ora_byte_source.h"
#include "ora_dump_reader_th.h"
#include "ora_dump_table.h"
#include "tk_exception.h"
#include "tk_log.h"

namespace {

// Table names compare folding only A-Z: other characters compare by code unit.
bool equal_ascii_nocase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - u'a' + u'A');
        if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - u'a' + u'A');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

ora_dump_file::ora_dump_file(std::unique_ptr<ora_byte_source> source, std::string version_word,
                             std::string user_name, std::string tablespace_name,
                             ora_dump_catalogue catalogue,
                             std::unique_ptr<ora_dump_reader_th> decoder)
    : udb_database(std::u16string(), mode_no_new_tables),
      m_source(std::move(source)),
      m_catalogue(std::move(catalogue)),
      m_version_word(std::move(version_word)),
      m_user_name(std::move(user_name)),
      m_tablespace_name(std::move(tablespace_name)),
      m_decoder(std::move(decoder)) {
    tk_trace(2, "ora_dump_file::ora_dump_file(...)\n");
    std::vector<std::u16string> names;
    names.reserve(m_catalogue.size());
    for (const auto& entry : m_catalogue) names.push_back(entry.first);
    set_table_names(std::move(names));
}

ora_dump_file::~ora_dump_file() { tk_trace(2, "ora_dump_file::~ora_dump_file(void)\n"); }

std::unique_ptr<udb_recordset> ora_dump_file::create_table(const std::u16string&,
                                                           const udb_schema&, const udb_indexes&) {
    return nullptr;
}

std::unique_ptr<udb_recordset> ora_dump_file::get_table(const std::u16string& name, int32_t) {
    tk_trace(2, "ora_dump_file::get_table(...)\n");
    TK_ASSERT(m_source != nullptr && m_decoder != nullptr);
    for (auto& [key, entry] : m_catalogue) {
        if (!equal_ascii_nocase(key, name)) continue;
        tk_wtrace(2, u"Table \"%s\" is found.\n", key.c_str());
        auto table = std::make_unique<ora_dump_table>(*this, key);
        if (table->init(*m_source, entry, *m_decoder, m_version_word)) return table;
        tk_wtrace(3, u"Failed to init table \"%s\".\n", name.c_str());
        return nullptr;
    }
    tk_wtrace(3, u"Table \"%s\" doesn't exist in the database.\n", name.c_str());
    return nullptr;
}

std::unique_ptr<udb_recordset> ora_dump_file::get_query(const std::u16string&,
                                                        const std::u16string&, int32_t) {
    return nullptr;
}

bool ora_dump_file::query(const std::u16string&) { return true; }

void ora_dump_file::create_relationships(const std::vector<udb_relationship>& relationships) {
    set_relationships(relationships);
}
