// veltinspect DUMP [--table NAME] [--rows N] [--json]
//
// Opens the dump through the engine's reader and prints the header facts (version word,
// character-set ids and kinds, code page, compound and first-part flags), the tables in catalogue
// order and, for each table (or the one named), its columns, indexes, foreign keys (Data Pump
// dumps describe them), row count and rows, one per line, each value by its text (NULL for an
// empty value). --rows limits the rows printed, never the row count. --json prints the same facts as one JSON document. A dump that cannot be opened
// prints the reader's message on the error stream and exits with status 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "error_handler.h"
#include "ora_charsets.h"
#include "ora_dump_column.h"
#include "ora_dump_file.h"
#include "ora_dump_reader.h"
#include "tk_exception.h"
#include "tk_text.h"
#include "udb_recordset.h"
#include "udb_relationship.h"

namespace {

// Keeps the latest message; a level-1 error ends the open as the wizard's front end does.
class inspect_front_end : public error_front_end {
public:
    void internal_error(const std::string& text) override { message = text; }
    void report(error_handler&, int32_t level, const std::string& text, bool final) override {
        message = text;
        if (level >= 1 && !final) throw tk_final_exception();
    }
    std::string message;
};

struct options {
    std::string path;
    std::string table;
    long rows = -1;
    bool json = false;
};

void usage() {
    std::fprintf(stderr, "usage: veltinspect DUMP [--table NAME] [--rows N] [--json]\n");
}

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

const char* kind_name(int32_t kind) {
    switch (kind) {
        case 0: return "code page";
        case 1: return "UTF-8";
        case 2: return "UTF-16BE";
        default: return "unknown";
    }
}

// Text of a value: its to_string, which for text is UTF-8 (the system ANSI code page here). The
// text of a VT_BSTR keeps every code unit (a NUL would cut to_string short).
std::string value_text(const ole_variant& v) {
    if (v.vartype() == VT_BSTR) return tk_to_utf8(v.bstr());
    return v.to_string();
}

struct table_facts {
    std::string name;
    std::string error;
    std::vector<std::string> columns_text;  // text form
    std::string columns_json;
    std::vector<std::string> indexes_text;
    std::string indexes_json;
    std::vector<std::string> foreign_keys_text;
    std::string foreign_keys_json;
    long row_count = 0;
    std::vector<std::vector<std::pair<bool, std::string>>> rows;  // (null, text)
    std::vector<std::string> row_errors;
};

table_facts inspect_table(ora_dump_file& dump, const std::u16string& name, long max_rows) {
    table_facts facts;
    facts.name = tk_to_utf8(name);
    std::unique_ptr<udb_recordset> table;
    try {
        table = dump.get_table(name, udb_database::open_structure);
    } catch (const tk_exception& e) {
        facts.error = e.text();
        return facts;
    }
    if (!table) {
        facts.error = "the table's definition cannot be read";
        return facts;
    }
    for (const udb_column* c : table->schema().columns()) {
        const auto* oc = static_cast<const ora_dump_column*>(c);
        char buf[256];
        std::snprintf(buf, sizeof buf, "kind %d (%s), vartype %d, size %d, flags %d%s", oc->kind(),
                      ora_kind_name(oc->kind()), oc->vartype(), oc->size(), oc->flags(),
                      oc->b_not_null() ? ", NOT NULL" : "");
        facts.columns_text.push_back(tk_to_utf8(oc->name()) + ": " + buf);
        if (!facts.columns_json.empty()) facts.columns_json += ", ";
        std::snprintf(buf, sizeof buf,
                      ", \"kind\": %d, \"vartype\": %d, \"size\": %d, \"flags\": %d, "
                      "\"not_null\": %s}",
                      oc->kind(), oc->vartype(), oc->size(), oc->flags(),
                      oc->b_not_null() ? "true" : "false");
        facts.columns_json += "{\"name\": " + json_string(tk_to_utf8(oc->name())) + buf;
    }
    for (const udb_index& index : table->indexes()) {
        std::string cols, cols_json;
        for (const auto& f : index.fields) {
            if (!cols.empty()) cols += ", ";
            if (!cols_json.empty()) cols_json += ", ";
            cols += tk_to_utf8(f);
            cols_json += json_string(tk_to_utf8(f));
        }
        facts.indexes_text.push_back(tk_to_utf8(index.name) + (index.b_primary ? " PRIMARY" : "") +
                                     (index.b_unique ? " UNIQUE" : "") + " (" + cols + ")");
        if (!facts.indexes_json.empty()) facts.indexes_json += ", ";
        facts.indexes_json += "{\"name\": " + json_string(tk_to_utf8(index.name)) +
                              ", \"unique\": " + (index.b_unique ? "true" : "false") +
                              ", \"primary\": " + (index.b_primary ? "true" : "false") +
                              ", \"columns\": [" + cols_json + "]}";
    }
    try {
        table->reset();
        while (!table->is_eof()) {
            if (max_rows < 0 || facts.row_count < max_rows) {
                try {
                    udb_record* record = table->get_item();
                    std::vector<std::pair<bool, std::string>> row;
                    for (size_t i = 0; i < record->size(); ++i) {
                        const udb_field& f = (*record)[i];
                        row.emplace_back(f.is_empty(), f.is_empty() ? "NULL" : value_text(f));
                    }
                    facts.rows.push_back(std::move(row));
                } catch (const tk_exception& e) {
                    facts.row_errors.push_back("row " + std::to_string(facts.row_count + 1) + ": " +
                                               e.text());
                    facts.rows.emplace_back();
                }
            }
            ++facts.row_count;
            table->next();
        }
    } catch (const tk_exception& e) {
        facts.row_errors.push_back("after row " + std::to_string(facts.row_count) + ": " + e.text());
    }
    return facts;
}

// The foreign keys whose child is the table: the dump knows those of every table opened so far
// (Data Pump descriptions hold them; classic dumps have none).
void add_foreign_keys(const ora_dump_file& dump, table_facts& facts) {
    auto names = [](const std::vector<std::u16string>& fields, std::string& text,
                    std::string& json) {
        for (const auto& f : fields) {
            if (!text.empty()) text += ", ";
            if (!json.empty()) json += ", ";
            text += tk_to_utf8(f);
            json += json_string(tk_to_utf8(f));
        }
    };
    for (const udb_relationship& key : dump.relationships()) {
        const std::string child = tk_to_utf8(key.child_table);
        if (child != facts.name && tk_to_utf8(key.child_info) + "." + child != facts.name) continue;
        std::string cols, cols_json, parent_cols, parent_json;
        names(key.child_fields, cols, cols_json);
        names(key.parent_fields, parent_cols, parent_json);
        facts.foreign_keys_text.push_back(tk_to_utf8(key.name) + " (" + cols + ") REFERENCES " +
                                          tk_to_utf8(key.parent_table) + " (" + parent_cols + ")");
        if (!facts.foreign_keys_json.empty()) facts.foreign_keys_json += ", ";
        facts.foreign_keys_json += "{\"name\": " + json_string(tk_to_utf8(key.name)) +
                                   ", \"columns\": [" + cols_json + "], \"parent_table\": " +
                                   json_string(tk_to_utf8(key.parent_table)) +
                                   ", \"parent_columns\": [" + parent_json + "]}";
    }
}

}  // namespace

int main(int argc, char** argv) {
    options opt;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json") {
            opt.json = true;
        } else if (a == "--table" && i + 1 < argc) {
            opt.table = argv[++i];
        } else if (a == "--rows" && i + 1 < argc) {
            opt.rows = std::strtol(argv[++i], nullptr, 10);
        } else if (!a.empty() && a[0] == '-') {
            usage();
            return 2;
        } else if (opt.path.empty()) {
            opt.path = a;
        } else {
            usage();
            return 2;
        }
    }
    if (opt.path.empty()) {
        usage();
        return 2;
    }

    inspect_front_end front_end;
    error_handler handler(k_mysql_error_text_count, k_mysql_error_texts, front_end);
    ora_dump_reader reader;
    std::unique_ptr<ora_dump_file> dump;
    try {
        dump = reader.open(tk_from_utf8(opt.path));
    } catch (const tk_final_exception&) {
    } catch (const tk_exception& e) {
        front_end.message = e.text();
    }
    if (!dump) {
        std::fprintf(stderr, "%s\n", front_end.message.empty() ? ora_dump_reader::open_error_text
                                                                : front_end.message.c_str());
        return 1;
    }

    std::vector<table_facts> tables;
    for (const std::u16string& name : dump->table_names()) {
        if (!opt.table.empty() && tk_to_utf8(name) != opt.table &&
            !tk_equal_nocase(name, tk_from_utf8(opt.table))) {
            continue;
        }
        tables.push_back(inspect_table(*dump, name, opt.rows));
    }
    for (table_facts& f : tables) add_foreign_keys(*dump, f);

    const ora_text_codec& codec = reader.codec();
    if (opt.json) {
        std::printf("{\"version\": %s, \"charset_id\": %d, \"ncharset_id\": %d, "
                    "\"session_charset_id\": %d, \"charset_kind\": %d, \"ncharset_kind\": %d, "
                    "\"code_page\": %d, \"encoding\": %s, \"compound\": %s, "
                    "\"multifile_first\": %s,\n \"table_names\": [",
                    json_string(reader.version_word()).c_str(), reader.charset_id(),
                    reader.ncharset_id(), reader.session_charset_id(), reader.charset_kind(),
                    reader.ncharset_kind(), reader.code_page(),
                    json_string(codec.encoding()).c_str(), reader.b_compound() ? "true" : "false",
                    reader.b_multifile_first() ? "true" : "false");
        bool first = true;
        for (const auto& n : dump->table_names()) {
            std::printf("%s%s", first ? "" : ", ", json_string(tk_to_utf8(n)).c_str());
            first = false;
        }
        std::printf("],\n \"tables\": [");
        for (size_t t = 0; t < tables.size(); ++t) {
            const table_facts& f = tables[t];
            std::printf("%s\n  {\"name\": %s, \"row_count\": %ld", t ? "," : "",
                        json_string(f.name).c_str(), f.row_count);
            if (!f.error.empty()) std::printf(", \"error\": %s", json_string(f.error).c_str());
            std::printf(", \"columns\": [%s], \"indexes\": [%s], \"foreign_keys\": [%s], "
                        "\"rows\": [",
                        f.columns_json.c_str(), f.indexes_json.c_str(),
                        f.foreign_keys_json.c_str());
            for (size_t r = 0; r < f.rows.size(); ++r) {
                std::printf("%s\n   [", r ? "," : "");
                for (size_t c = 0; c < f.rows[r].size(); ++c) {
                    const auto& v = f.rows[r][c];
                    std::printf("%s%s", c ? ", " : "", v.first ? "null" : json_string(v.second).c_str());
                }
                std::printf("]");
            }
            std::printf("]");
            if (!f.row_errors.empty()) {
                std::printf(", \"row_errors\": [");
                for (size_t e = 0; e < f.row_errors.size(); ++e) {
                    std::printf("%s%s", e ? ", " : "", json_string(f.row_errors[e]).c_str());
                }
                std::printf("]");
            }
            std::printf("}");
        }
        std::printf("\n ]}\n");
        return 0;
    }

    std::printf("Version word: %s\n", reader.version_word().c_str());
    std::printf("Database character set: %d (%s%s%s)\n", reader.charset_id(),
                kind_name(reader.charset_kind()), codec.encoding().empty() ? "" : ", ",
                codec.encoding().c_str());
    std::printf("National character set: %d (%s)\n", reader.ncharset_id(),
                kind_name(reader.ncharset_kind()));
    std::printf("Export session character set: %d (%s)\n", reader.session_charset_id(),
                codec.session_encoding().empty() ? "UTF-8" : codec.session_encoding().c_str());
    std::printf("Code page: %d\n", reader.code_page());
    std::printf("Compound: %s\nFirst part of a multi-file dump: %s\n",
                reader.b_compound() ? "yes" : "no", reader.b_multifile_first() ? "yes" : "no");
    std::printf("Tables (%d):", static_cast<int>(dump->table_names().size()));
    for (const auto& n : dump->table_names()) std::printf(" %s", tk_to_utf8(n).c_str());
    std::printf("\n");
    for (const table_facts& f : tables) {
        std::printf("\nTABLE %s\n", f.name.c_str());
        if (!f.error.empty()) {
            std::printf("  error: %s\n", f.error.c_str());
            continue;
        }
        for (const auto& c : f.columns_text) std::printf("  column %s\n", c.c_str());
        for (const auto& i : f.indexes_text) std::printf("  index %s\n", i.c_str());
        for (const auto& k : f.foreign_keys_text) std::printf("  foreign key %s\n", k.c_str());
        std::printf("  rows: %ld\n", f.row_count);
        for (const auto& row : f.rows) {
            std::string line;
            for (size_t c = 0; c < row.size(); ++c) {
                if (c) line += " | ";
                line += row[c].second;
            }
            std::printf("  %s\n", line.c_str());
        }
        for (const auto& e : f.row_errors) std::printf("  error: %s\n", e.c_str());
    }
    return 0;
}
