// ora_dump_file: an opened Oracle export dump, seen as the source udb_database.
//
// Made by ora_dump_reader::open from the byte source, the header facts, the table catalogue and
// the row decoder, all of which it owns. Its table-name list is the catalogue's keys in code-unit
// order; get_table hands out an ora_dump_table cursor over one table. It cannot create, change
// or query tables: create_table and get_query give nullptr, query gives true. The foreign keys
// that create_relationships is given become its relationship list.
//
// Every table reads through the facade's one byte source and decoder, so tables handed out must
// be destroyed before the facade, and the facade and its tables are used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dump_table_entry.h"
#include "udb_database.h"

class ora_byte_source;
class ora_dump_reader_th;

class ora_dump_file : public udb_database {
public:
    ora_dump_file(std::unique_ptr<ora_byte_source> source, std::string version_word,
                  std::string user_name, std::string tablespace_name,
                  ora_dump_catalogue catalogue, std::unique_ptr<ora_dump_reader_th> decoder);
    ~ora_dump_file() override;

    std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // A new ora_dump_table over the table whose catalogue key equals `name` ignoring the case of
    // A-Z; nullptr when there is none or its definition is not accepted. Passes on tk_exception
    // "User-defined types are not supported" (level 0) for a table that uses one. Open flags are
    // not used.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name,
                                             int32_t open_flags) override;
    std::unique_ptr<udb_recordset> get_query(const std::u16string& name,
                                             const std::u16string& query_text,
                                             int32_t reserved) override;
    bool query(const std::u16string& statement) override;
    // Replaces the relationship list with a copy of the given foreign keys.
    void create_relationships(const std::vector<udb_relationship>& relationships) override;

    const std::string& version_word() const { return m_version_word; }
    const std::string& user_name() const { return m_user_name; }
    const std::string& tablespace_name() const { return m_tablespace_name; }
    const ora_dump_catalogue& catalogue() const { return m_catalogue; }
    ora_byte_source& source() { return *m_source; }
    ora_dump_reader_th& decoder() { return *m_decoder; }

private:
    std::unique_ptr<ora_byte_source> m_source;
    ora_dump_catalogue m_catalogue;
    std::string m_version_word;
    std::string m_user_name;
    std::string m_tablespace_name;
    std::unique_ptr<ora_dump_reader_th> m_decoder;
};
