#include "ora_pump_metadata_reader.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLPScanToken.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>

#include "ora_pump_format.h"
#include "ora_xml_session.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "udb_database.h"
#include "udb_recordset.h"

static_assert(sizeof(XMLCh) == sizeof(char16_t), "XMLCh is a UTF-16 code unit");

namespace {

// An element's text longer than this is cut: names, numbers and flags are short, and the
// elements whose content is long (FDO, the ignored ones) are not kept at all.
constexpr size_t k_max_text = 64 * 1024;
// Entity references a document may expand (descriptions use none).
constexpr XMLSize_t k_entity_limit = 1000;

std::u16string_view xml_view(const XMLCh* text) {
    return text ? std::u16string_view(reinterpret_cast<const char16_t*>(text))
                : std::u16string_view();
}

char16_t upper_ascii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Element names compare without regard to case.
bool is(std::u16string_view name, std::u16string_view upper) {
    if (name.size() != upper.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (upper_ascii(name[i]) != upper[i]) return false;
    }
    return true;
}

bool starts_ends(std::u16string_view name, std::u16string_view prefix, std::u16string_view suffix,
                 size_t min_length) {
    if (name.size() < min_length || name.size() < prefix.size() + suffix.size()) return false;
    return is(name.substr(0, prefix.size()), prefix) &&
           is(name.substr(name.size() - suffix.size()), suffix);
}

// A constraint list (CON0_LIST, CON1_LIST, CON2_LIST, ...) and one of its items.
bool is_constraint_list(std::u16string_view name) {
    return starts_ends(name, u"CON", u"_LIST", 9);
}
bool is_constraint_item(std::u16string_view name) {
    return starts_ends(name, u"CON", u"_LIST_ITEM", 14);
}

std::u16string trim_spaces(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t' || s[b] == u'\n' || s[b] == u'\r')) ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t' || s[e - 1] == u'\n' ||
                     s[e - 1] == u'\r')) {
        --e;
    }
    return std::u16string(s.substr(b, e - b));
}

// The text as a decimal integer (leading and trailing blanks allowed); false when it is none.
bool to_int(std::u16string_view text, int32_t& out) {
    std::u16string t = trim_spaces(text);
    if (t.empty()) return false;
    size_t i = 0;
    bool negative = false;
    if (t[0] == u'-' || t[0] == u'+') {
        negative = t[0] == u'-';
        i = 1;
    }
    if (i >= t.size()) return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9') return false;
        v = v * 10 + (t[i] - u'0');
        if (v > INT32_MAX) return false;
    }
    out = static_cast<int32_t>(negative ? -v : v);
    return true;
}

}  // namespace

enum class ora_pump_metadata_reader::element : uint8_t {
    ignored,
    root,
    rowset,
    row,
    table_t,
    strmtable_t,
    schema_obj,             // the table's own SCHEMA_OBJ
    constraint_schema_obj,  // the referenced object of a constraint
    name,
    owner_name,
    table_col_list,
    stream_col_list,
    constraint_col_list,
    src_col_list,
    tgt_col_list,
    col_list_item,
    src_col_list_item,
    tgt_col_list_item,
    col,
    field_col_num,
    field_charsetid,
    field_type_num,
    field_length,
    field_precision,
    field_scale,
    field_not_null,
    constraint_list,
    constraint_item,
    ind,
    contype,
};

ora_pump_metadata_reader::ora_pump_metadata_reader() = default;

ora_pump_metadata_reader::~ora_pump_metadata_reader() = default;

void ora_pump_metadata_reader::reset(bool full_mode) {
    m_full_mode = full_mode;
    m_stop = false;
    m_stack.clear();
    m_state = state_none;
    m_document_kind = state_none;
    m_constraint_name.clear();
    m_table_name.clear();
    m_referenced_table.clear();
    m_referenced_owner.clear();
    m_owner_name.clear();
    m_table_owner.clear();
    m_constraint_type = 0;
    m_hidden_column_seen = false;
    m_unknown_type_seen = false;
    m_parse_failed = false;
    m_item = item();
    m_unknown_item = item();
    m_first_list.clear();
    m_second_list.clear();
    m_foreign_keys.clear();
    m_indexes.clear();
    m_columns.clear();
}

std::u16string ora_pump_metadata_reader::read_table_name(const char* document, size_t length) {
    tk_trace(2, "ora_pump_metadata_reader::read_table_name(%d)", static_cast<int>(length));
    reset(false);
    parse(document, length);
    return m_table_name;
}

void ora_pump_metadata_reader::read_description(const char* document, size_t length) {
    tk_trace(2, "ora_pump_metadata_reader::read_description(%d)", static_cast<int>(length));
    reset(true);
    parse(document, length);
}

void ora_pump_metadata_reader::read_table(const char* document, size_t length,
                                          udb_recordset& table, udb_database* database) {
    tk_trace(2, "ora_pump_metadata_reader::read_table(%d)", static_cast<int>(length));
    read_description(document, length);
    for (auto& column : m_columns) table.add_column(std::move(column));
    m_columns.clear();
    for (const udb_index& index : m_indexes) table.indexes().add(index);
    if (database != nullptr && !m_foreign_keys.empty()) {
        std::vector<udb_relationship> keys = database->relationships();
        for (const udb_relationship& key : m_foreign_keys) {
            bool known = false;
            for (const udb_relationship& k : keys) {
                if (k.name == key.name && k.child_table == key.child_table &&
                    k.child_info == key.child_info) {
                    known = true;
                    break;
                }
            }
            if (!known) keys.push_back(key);
        }
        database->create_relationships(keys);
    }
}

void ora_pump_metadata_reader::parse(const char* document, size_t length) {
    if (document == nullptr || length == 0) return;
    ora_xml_session session;
    try {
        xercesc::SAXParser parser;
        parser.setValidationScheme(xercesc::SAXParser::Val_Never);
        parser.setDoNamespaces(false);
        parser.setDoSchema(false);
        parser.setLoadExternalDTD(false);
        parser.setDisableDefaultEntityResolution(true);
        xercesc::SecurityManager security;
        security.setEntityExpansionLimit(k_entity_limit);
        parser.setSecurityManager(&security);
        parser.setDocumentHandler(this);
        parser.setErrorHandler(this);
        xercesc::MemBufInputSource input(reinterpret_cast<const XMLByte*>(document),
                                         static_cast<XMLSize_t>(length), "pump-description",
                                         false);
        m_stack.push_back({element::root, {}});
        xercesc::XMLPScanToken token;
        // A progressive parse, so that name mode stops at the name without an exception
        // travelling through the parser.
        bool more = parser.parseFirst(input, token);
        while (more && !m_stop) more = parser.parseNext(token);
        if (m_stop) parser.parseReset(token);
    } catch (const xercesc::XMLException&) {
        m_parse_failed = true;
    } catch (const xercesc::SAXException&) {
        m_parse_failed = true;
    } catch (const xercesc::OutOfMemoryException&) {
        m_parse_failed = true;
    } catch (const std::exception& e) {
        tk_trace(3, "The description parse ended: %s", e.what());
        m_parse_failed = true;
    }
    if (m_parse_failed) tk_trace(2, "The description document is not well-formed");
    m_stack.clear();
}

void ora_pump_metadata_reader::warning(const xercesc::SAXParseException&) {}

void ora_pump_metadata_reader::error(const xercesc::SAXParseException&) {}

void ora_pump_metadata_reader::fatalError(const xercesc::SAXParseException&) {
    m_parse_failed = true;
    m_stop = true;
}

ora_pump_metadata_reader::element ora_pump_metadata_reader::child_of(element parent,
                                                                    const std::u16string& n) {
    switch (parent) {
        case element::root:
            if (is(n, u"ROWSET")) return element::rowset;
            break;
        case element::rowset:
            if (is(n, u"ROW")) return element::row;
            break;
        case element::row:
            if (is(n, u"TABLE_T")) return element::table_t;
            if (is(n, u"STRMTABLE_T")) return element::strmtable_t;
            break;
        case element::table_t:
            if (is(n, u"SCHEMA_OBJ")) return element::schema_obj;
            if (is(n, u"COL_LIST")) return element::table_col_list;
            if (is_constraint_list(n)) return element::constraint_list;
            break;
        case element::strmtable_t:
            if (is(n, u"NAME")) return element::name;
            if (is(n, u"OWNER_NAME")) return element::owner_name;
            if (is(n, u"COL_LIST")) return element::stream_col_list;
            break;
        case element::schema_obj:
        case element::constraint_schema_obj:
            if (is(n, u"NAME")) return element::name;
            if (is(n, u"OWNER_NAME")) return element::owner_name;
            break;
        case element::table_col_list:
        case element::stream_col_list:
        case element::constraint_col_list:
            if (is(n, u"COL_LIST_ITEM")) return element::col_list_item;
            break;
        case element::src_col_list:
            if (m_state == state_source_columns && is(n, u"SRC_COL_LIST_ITEM")) {
                return element::src_col_list_item;
            }
            break;
        case element::tgt_col_list:
            if (m_state == state_target_columns && is(n, u"TGT_COL_LIST_ITEM")) {
                return element::tgt_col_list_item;
            }
            break;
        case element::col_list_item:
        case element::src_col_list_item:
        case element::tgt_col_list_item:
            if (is(n, u"NAME")) return element::name;
            if (is(n, u"COL")) return element::col;
            if (is(n, u"COL_NUM")) return element::field_col_num;
            if (is(n, u"CHARSETID")) return element::field_charsetid;
            if (is(n, u"TYPE_NUM")) return element::field_type_num;
            if (is(n, u"LENGTH")) return element::field_length;
            if (is(n, u"PRECISION_NUM")) return element::field_precision;
            if (is(n, u"SCALE")) return element::field_scale;
            if (is(n, u"NOT_NULL")) return element::field_not_null;
            // CON, LOBMD and the rest: ignored with their whole content.
            break;
        case element::col:
            if (is(n, u"NAME")) return element::name;
            break;
        case element::constraint_list:
            if (is_constraint_item(n)) return element::constraint_item;
            break;
        case element::constraint_item:
            if (is(n, u"NAME")) return element::name;
            if (is(n, u"CONTYPE")) return element::contype;
            if (is(n, u"SCHEMA_OBJ")) return element::constraint_schema_obj;
            if (is(n, u"COL_LIST")) return element::constraint_col_list;
            if (is(n, u"SRC_COL_LIST")) return element::src_col_list;
            if (is(n, u"TGT_COL_LIST")) return element::tgt_col_list;
            if (is(n, u"IND")) return element::ind;
            break;
        default:
            break;
    }
    return element::ignored;
}

void ora_pump_metadata_reader::start(element kind) {
    switch (kind) {
        case element::table_t:
            m_state = m_document_kind = state_table;
            break;
        case element::strmtable_t:
            m_state = m_document_kind = state_stream;
            break;
        case element::constraint_schema_obj:
            m_state = state_referenced_object;
            break;
        case element::table_col_list:
            m_state = state_table_columns;
            break;
        case element::stream_col_list:
            m_state = state_table_columns;
            m_first_list.clear();
            m_second_list.clear();
            m_item = item();
            break;
        case element::constraint_col_list:
            m_first_list.clear();
            m_second_list.clear();
            m_item = item();
            break;
        case element::src_col_list:
            m_state = state_source_columns;
            m_first_list.clear();
            break;
        case element::tgt_col_list:
            m_state = state_target_columns;
            m_second_list.clear();
            break;
        case element::col_list_item:
            m_item = item();
            if (m_state == state_constraints) m_state = state_constraint_columns;
            break;
        case element::src_col_list_item:
        case element::tgt_col_list_item:
            m_item = item();
            break;
        case element::constraint_list:
            m_state = state_constraints;
            break;
        case element::constraint_item:
            m_item = item();
            m_constraint_name.clear();
            m_referenced_table.clear();
            m_referenced_owner.clear();
            break;
        case element::ind:
            m_state = state_constraint_index;
            break;
        default:
            break;
    }
}

void ora_pump_metadata_reader::set_name(const std::u16string& text) {
    switch (m_state) {
        case state_table:
        case state_stream:
            m_table_name = text;
            m_table_owner = m_owner_name;
            // Name mode needs nothing more.
            if (!m_full_mode) m_stop = true;
            break;
        case state_table_columns:
        case state_constraint_columns:
        case state_source_columns:
        case state_target_columns:
            m_item.name = text;
            break;
        case state_constraints:
            m_constraint_name = text;
            break;
        case state_referenced_object:
            m_referenced_table = text;
            m_referenced_owner = m_owner_name;
            break;
        default:
            break;
    }
}

void ora_pump_metadata_reader::end(frame& f) {
    int32_t value = 0;
    switch (f.kind) {
        case element::name:
            set_name(f.text);
            break;
        case element::owner_name:
            m_owner_name = f.text;
            break;
        case element::schema_obj:
        case element::constraint_schema_obj:
            if (m_state == state_referenced_object) m_state = state_constraints;
            break;
        case element::table_col_list:
        case element::stream_col_list:
        case element::constraint_col_list:
            if (m_state == state_table_columns) {
                end_table_columns();
            } else if (m_state == state_constraint_columns) {
                m_state = state_constraints;
            }
            break;
        case element::src_col_list:
        case element::tgt_col_list:
            if (m_state == state_source_columns || m_state == state_target_columns) {
                m_state = state_constraints;
            }
            break;
        case element::col_list_item:
        case element::src_col_list_item:
            m_first_list.push_back(m_item);
            break;
        case element::tgt_col_list_item:
            m_second_list.push_back(m_item);
            break;
        case element::field_col_num:
            if (to_int(f.text, value)) m_item.col_num = value;
            break;
        case element::field_charsetid:
            if (to_int(f.text, value)) m_item.charset_id = value;
            break;
        case element::field_type_num:
            if (to_int(f.text, value)) m_item.type_num = value;
            break;
        case element::field_length:
            if (to_int(f.text, value)) m_item.length = value;
            break;
        case element::field_precision:
            if (to_int(f.text, value)) {
                m_item.precision = value;
                m_item.has_precision = true;
            }
            break;
        case element::field_scale:
            if (to_int(f.text, value)) {
                m_item.scale = value;
                m_item.has_scale = true;
            }
            break;
        case element::field_not_null:
            // NOT_NULL counts the column's NOT NULL constraints: 1, or 2 for a primary-key
            // column declared NOT NULL as well.
            m_item.b_not_null = to_int(f.text, value) && value > 0;
            break;
        case element::contype:
            if (to_int(f.text, value)) m_constraint_type = value;
            break;
        case element::constraint_list:
            if (m_state == state_constraints) m_state = state_table;
            break;
        case element::constraint_item:
            end_constraint();
            m_state = state_constraints;
            break;
        case element::ind:
            m_state = state_constraints;
            break;
        default:
            break;
    }
}

void ora_pump_metadata_reader::end_table_columns() {
    m_state = m_document_kind;
    for (const item& i : m_first_list) {
        if (i.col_num == 0) {
            // A hidden column (a function-based index's SYS_NC...$): not in the rows.
            tk_wtrace(2, u"Hidden column %s is left out", i.name.c_str());
            m_hidden_column_seen = true;
            continue;
        }
        if (!m_full_mode) continue;
        try {
            add_item_column(i);
        } catch (const tk_exception&) {
            // "Unknown field type": the parse ends at this column.
            m_unknown_type_seen = true;
            m_unknown_item = i;
            m_stop = true;
            break;
        }
    }
    m_first_list.clear();
    m_item = item();
}

void ora_pump_metadata_reader::end_constraint() {
    if (m_constraint_type == 4) {
        udb_relationship key;
        key.name = m_constraint_name;
        key.child_info = m_table_owner;
        key.child_table = m_table_name;
        key.parent_table = m_referenced_table;
        key.parent_info = m_referenced_owner;
        for (const item& i : m_first_list) key.child_fields.push_back(trim_spaces(i.name));
        for (const item& i : m_second_list) key.parent_fields.push_back(trim_spaces(i.name));
        if (!key.child_fields.empty() && key.child_fields.size() == key.parent_fields.size()) {
            m_foreign_keys.push_back(std::move(key));
        } else {
            tk_wtrace(3, u"Foreign key %s has %d columns and %d referenced columns: left out",
                      m_constraint_name.c_str(), static_cast<int>(key.child_fields.size()),
                      static_cast<int>(key.parent_fields.size()));
        }
    } else if (m_constraint_type == 2 || m_constraint_type == 3) {
        // Primary keys and unique constraints are indexes; check constraints (1), NOT NULL (7)
        // and the other kinds are not.
        udb_index index;
        index.name = m_table_name;
        index.b_primary = m_constraint_type == 2;
        index.b_unique = m_constraint_type == 3;
        for (const item& i : m_first_list) index.fields.push_back(trim_spaces(i.name));
        if (!index.fields.empty()) m_indexes.add(std::move(index));
    }
    m_constraint_type = 0;
    m_item = item();
    m_first_list.clear();
    m_second_list.clear();
    m_referenced_table.clear();
    m_referenced_owner.clear();
}

std::unique_ptr<ora_dump_column> ora_pump_metadata_reader::make_column(const item& i) {
    namespace f = ora_pump_fmt;
    int32_t kind = 0;
    switch (i.type_num) {
        case f::type_varchar2:
        case f::type_char:
            kind = i.charset_id == 2000 ? ora_kind_nchar : ora_kind_char;
            break;
        case f::type_number:
        case 3:
        case 68:
            kind = ora_kind_number;
            break;
        case 4:
        case 100:
            kind = ora_kind_float;
            break;
        case 5:
        case 9:
        case 97:
            kind = i.charset_id == 2000 ? ora_kind_nvarchar2 : ora_kind_varchar2;
            break;
        case f::type_long:
            kind = ora_kind_long;
            break;
        case 11:
        case 69:
            kind = ora_kind_rowid;
            break;
        case f::type_date:
        case 184:
            kind = ora_kind_date;
            break;
        case f::type_raw:
            kind = ora_kind_raw;
            break;
        case f::type_long_raw:
            kind = ora_kind_long_raw;
            break;
        case f::type_clob:
        case 115:
            kind = ora_kind_clob;
            break;
        case f::type_blob:
        case 114:
            kind = ora_kind_blob;
            break;
        case f::type_timestamp:
        case f::type_timestamp_tz:
        case 185:
        case 186:
        case 187:
        case 188:
        case f::type_timestamp_ltz:
        case 232:
            kind = ora_kind_timestamp;
            break;
        default:
            throw tk_exception("Unknown field type", 0);
    }
    int32_t precision = i.precision;
    int32_t scale = i.scale;
    if (kind == ora_kind_number && i.has_scale && scale == f::float_scale) {
        // FLOAT(p): a NUMBER of binary precision, not a decimal with scale -127.
        kind = ora_kind_float;
        scale = 0;
        precision = 0;
    }
    if (scale == 0 && precision == 0) precision = i.length;
    VARTYPE vartype = VT_BSTR;
    switch (kind) {
        case ora_kind_number:
            if (!i.has_precision && !i.has_scale) {
                // NUMBER without precision and scale holds any number, fractions too.
                vartype = VT_R8;
                precision = 0;
            } else if (scale != 0) {
                vartype = VT_DECIMAL;
            } else if (precision < 3) {
                vartype = VT_I1;
            } else if (precision <= 4) {
                vartype = VT_I2;
            } else if (precision < 10) {
                vartype = VT_I4;
            } else {
                vartype = VT_I8;
            }
            break;
        case ora_kind_blob:
        case ora_kind_long_raw:
            vartype = VT_BLOB;
            break;
        case ora_kind_date:
        case ora_kind_timestamp:
            vartype = VT_DATE;
            break;
        case ora_kind_float:
            vartype = VT_R8;
            break;
        default:
            vartype = VT_BSTR;
            break;
    }
    // Flags carry scale and precision for decimals, the date kind for dates, nothing else.
    int32_t flags = 0;
    if (vartype == VT_DECIMAL) flags = (scale & 0xFF) + 256 * (precision & 0xFF);
    if (vartype == VT_DATE) {
        flags = udb_column::date_and_time;
        tk_trace(2, "Set 'trusted date' flag");
    }
    auto column = std::make_unique<ora_dump_column>(i.length, kind, i.name, vartype, i.b_not_null,
                                                    flags);
    column->set_charset_id(static_cast<uint16_t>(i.charset_id));
    return column;
}

void ora_pump_metadata_reader::add_item_column(const item& i) {
    m_columns.push_back(make_column(i));
    m_item = item();
}

void ora_pump_metadata_reader::startElement(const XMLCh* const name, xercesc::AttributeList&) {
    if (m_stop || m_stack.empty()) return;
    element parent = m_stack.back().kind;
    element kind = element::ignored;
    if (parent != element::ignored) {
        std::u16string n(xml_view(name));
        kind = child_of(parent, n);
    }
    m_stack.push_back({kind, {}});
    start(kind);
}

void ora_pump_metadata_reader::endElement(const XMLCh* const) {
    if (m_stop || m_stack.size() <= 1) return;
    frame f = std::move(m_stack.back());
    m_stack.pop_back();
    end(f);
}

void ora_pump_metadata_reader::characters(const XMLCh* const chars, const XMLSize_t length) {
    if (m_stop || m_stack.empty()) return;
    frame& f = m_stack.back();
    switch (f.kind) {
        case element::ignored:
        case element::root:
        case element::rowset:
        case element::row:
        case element::table_t:
        case element::strmtable_t:
            return;
        default:
            break;
    }
    if (f.text.size() >= k_max_text) return;
    size_t take = std::min<size_t>(length, k_max_text - f.text.size());
    f.text.append(reinterpret_cast<const char16_t*>(chars), take);
}
