// ora_pump_metadata_reader: turns a Data Pump table description (an XML document) into the
// table's name, columns, indexes and foreign keys.
//
// A Data Pump dump describes a table twice: a stream description (STRMTABLE_T: owner, name and
// the columns in the order of the rows) before the table's row data, and a full description
// (TABLE_T: columns with NOT NULL, constraints, foreign keys) in the export job's master table.
// The reader is a SAX (version 1) document handler over Xerces-C and has two modes:
// - name mode (read_table_name), while the dump is scanned: which table, whose, which kind of
//   document; the parse stops at the table's name;
// - full mode (read_table, read_description), when a table is opened: the columns (added to the
//   table with udb_recordset::add_column), the primary-key and unique constraints (added to its
//   indexes) and the foreign keys (handed to the table's database with create_relationships,
//   added to those it already holds, so that the driver finds all of them after the last table).
//
// Element handlers: every element pushes one handler on a stack and its end pops it; an element
// that its parent does not know gets a handler that ignores it and everything inside it, so a
// NAME deep inside an unknown element never passes for the table's or a column's name. Text is
// gathered per element and used at the element's end, whole.
//
// Documents are 8-bit text in UTF-8 (the system ANSI code page); the caller converts others
// first. A document that is not well-formed ends the parse silently where it broke: what was
// built up to there stays (a truncated description gives fewer columns, never a crash). DTDs are
// not loaded and entity expansion is limited, so a hostile document cannot make the parser grow
// without bound. Each parse holds an ora_xml_session.
//
// One reader per document (reusable: each read starts afresh). One thread at a time; separate
// readers may parse on separate threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/sax/HandlerBase.hpp>

#include "ora_dump_column.h"
#include "udb_index.h"
#include "udb_relationship.h"

class udb_database;
class udb_recordset;

class ora_pump_metadata_reader : public xercesc::HandlerBase {
public:
    // The reader's state while it walks a document; after a name-mode parse, 1 or 2 tell the
    // document kind.
    enum state_t : int32_t {
        state_none = 0,
        state_table = 1,                // TABLE_T
        state_stream = 2,               // STRMTABLE_T
        state_table_columns = 3,        // the table's COL_LIST
        state_constraints = 4,          // a constraint list or item
        state_constraint_columns = 5,   // a constraint's COL_LIST
        state_referenced_object = 6,    // a constraint's SCHEMA_OBJ
        state_source_columns = 7,       // SRC_COL_LIST
        state_target_columns = 8,       // TGT_COL_LIST
        state_constraint_index = 9,     // IND
    };

    // One column item (LENGTH, TYPE_NUM, ... as the document gave them).
    struct item {
        int32_t length = 0;
        int32_t type_num = 0;
        int32_t charset_id = 0;
        std::u16string name;
        bool b_not_null = false;
        int32_t precision = 0;
        int32_t scale = 0;
        int32_t col_num = -1;
        bool has_precision = false;
        bool has_scale = false;
    };

    ora_pump_metadata_reader();
    ~ora_pump_metadata_reader() override;
    ora_pump_metadata_reader(const ora_pump_metadata_reader&) = delete;
    ora_pump_metadata_reader& operator=(const ora_pump_metadata_reader&) = delete;

    // Name mode: the table the document describes ("" when it describes none). Afterwards
    // state() is state_table, state_stream or state_none, and owner_name() the owner read.
    std::u16string read_table_name(const char* document, size_t length);

    // Full mode: adds the columns, indexes and foreign keys of the document to `table`; the
    // foreign keys also go to `database` (when given) through create_relationships, after those
    // it already holds (a key of the same child table and name is not added twice).
    void read_table(const char* document, size_t length, udb_recordset& table,
                    udb_database* database);
    // Full mode without a table: the columns (in document order, hidden ones left out) stay with
    // the reader (columns(), take_columns()).
    void read_description(const char* document, size_t length);

    int32_t state() const { return m_state; }
    const std::u16string& table_name() const { return m_table_name; }
    const std::u16string& owner_name() const { return m_owner_name; }
    // The table's own owner (the OWNER_NAME beside its name).
    const std::u16string& table_owner() const { return m_table_owner; }
    // A column with COL_NUM 0 (a hidden column) was met and left out.
    bool hidden_column_seen() const { return m_hidden_column_seen; }
    // A column of a type the reader cannot map was met: the parse ended there. unknown_type()
    // names it.
    bool unknown_type_seen() const { return m_unknown_type_seen; }
    const item& unknown_type() const { return m_unknown_item; }
    // The document broke off (not well-formed) before its end.
    bool parse_failed() const { return m_parse_failed; }
    const std::vector<udb_relationship>& foreign_keys() const { return m_foreign_keys; }
    const udb_indexes& indexes() const { return m_indexes; }
    const std::vector<std::unique_ptr<ora_dump_column>>& columns() const { return m_columns; }
    std::vector<std::unique_ptr<ora_dump_column>> take_columns() { return std::move(m_columns); }

    // The column of a description item: kind, value type, size, flags and character set by the
    // item's Oracle type number; throws tk_exception "Unknown field type" (level 0) for a type it
    // cannot map.
    static std::unique_ptr<ora_dump_column> make_column(const item& source);

    // SAX callbacks (Xerces calls them; they do not throw).
    void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override;
    void endElement(const XMLCh* const name) override;
    void characters(const XMLCh* const chars, const XMLSize_t length) override;
    void warning(const xercesc::SAXParseException& error) override;
    void error(const xercesc::SAXParseException& error) override;
    void fatalError(const xercesc::SAXParseException& error) override;

private:
    enum class element : uint8_t;
    struct frame {
        element kind;
        std::u16string text;
    };

    void reset(bool full_mode);
    void parse(const char* document, size_t length);
    element child_of(element parent, const std::u16string& name);
    void start(element kind);
    void end(frame& f);
    void set_name(const std::u16string& text);
    void end_table_columns();
    void end_constraint();
    void add_item_column(const item& source);

    bool m_full_mode = false;
    bool m_stop = false;
    std::vector<frame> m_stack;
    int32_t m_state = state_none;
    int32_t m_document_kind = state_none;
    std::u16string m_constraint_name;
    std::u16string m_table_name;
    std::u16string m_referenced_table;
    std::u16string m_referenced_owner;
    std::u16string m_owner_name;
    std::u16string m_table_owner;
    int32_t m_constraint_type = 0;
    bool m_hidden_column_seen = false;
    bool m_unknown_type_seen = false;
    bool m_parse_failed = false;
    item m_item;
    item m_unknown_item;
    std::vector<item> m_first_list;
    std::vector<item> m_second_list;
    std::vector<udb_relationship> m_foreign_keys;
    udb_indexes m_indexes;
    std::vector<std::unique_ptr<ora_dump_column>> m_columns;
};
