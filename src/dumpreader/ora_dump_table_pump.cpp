// ora_dump_table: the opening of a Data Pump table.
//
// The table's full description (TABLE_T) is an XML_CLOB value of the export job's master table:
// that row is decoded and its text gives the columns, the primary-key and unique indexes and the
// foreign keys (ora_pump_metadata_reader). A table without one is described by its stream
// description. Each segment of the table's rows becomes a block whose column order is that of
// its stream description (every other column, then the LOB columns); a column the rows hold but
// the description lacks is read and dropped, a column the description has but the rows lack (a
// hidden column) stays out of the schema.
#include <memory>
#include <string>

#include "ora_byte_source.h"
#include "ora_dump_file.h"
#include "ora_dump_pump_reader_th.h"
#include "ora_dump_table.h"
#include "ora_pump_metadata_reader.h"
#include "ora_text_codec.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

// A stream description's bytes (in the database character set) as UTF-8 for the parser.
std::string stream_text(ora_byte_source& source, ora_dump_reader_th& decoder,
                        const pump_segment& segment) {
    std::string document;
    if (segment.stream_end <= segment.stream_start) return document;
    source.seek(segment.stream_start);
    const size_t length = static_cast<size_t>(segment.stream_end - segment.stream_start);
    if (source.read_append(document, length) != length) return std::string();
    if (decoder.codec().charset_kind() == 1) return document;
    std::u16string text;
    decoder.codec().decode_text(reinterpret_cast<const uint8_t*>(document.data()),
                                document.size(), false, text);
    return tk_to_utf8(text);
}

// The row order of a description's columns: every other column, then the LOB columns.
ora_column_list row_order(const std::vector<std::unique_ptr<ora_dump_column>>& columns) {
    ora_column_list order;
    for (const auto& c : columns) {
        if (!ora_is_lob(c->kind())) order.push_back(c.get());
    }
    for (const auto& c : columns) {
        if (ora_is_lob(c->kind())) order.push_back(c.get());
    }
    return order;
}

[[noreturn]] void fail_table(const std::string& text) {
    tk_trace(3, "%s", text.c_str());
    throw tk_exception(text, 0);
}

std::string quoted(const std::u16string& name) { return "\"" + tk_to_utf8(name) + "\""; }

}  // namespace

bool ora_dump_table::open_pump(const dump_table_entry& entry) {
    ora_byte_source& source = *m_source;
    const uint64_t opening = source.position();
    auto* decoder = dynamic_cast<ora_dump_pump_reader_th*>(m_decoder);
    TK_ASSERT(decoder != nullptr);
    try {
        // The description: the master table's row, else the first stream description.
        std::string text;
        if (entry.pump.description_row != 0) {
            const pump_segment& master = entry.pump.master;
            ora_pump_metadata_reader layout;
            const std::string master_text = stream_text(source, *decoder, master);
            layout.read_description(master_text.data(), master_text.size());
            ora_column_list order = row_order(layout.columns());
            std::vector<uint32_t> slots(order.size(), ora_dump_pump_reader_th::no_slot);
            for (size_t i = 0; i < order.size(); ++i) {
                if (order[i]->kind() == ora_kind_clob &&
                    tk_equal_nocase(order[i]->name(), u"XML_CLOB")) {
                    slots[i] = 0;
                    break;
                }
            }
            udb_record record;
            record.add(std::make_unique<udb_field>(u"XML_CLOB", 0, ole_variant()));
            source.seek(entry.pump.description_row);
            decoder->read_record(source, order, master.data_end, record, slots);
            if (record[0].vartype() == VT_BSTR) text = tk_to_utf8(record[0].bstr());
        } else if (!entry.pump.segments.empty()) {
            text = stream_text(source, *decoder, entry.pump.segments.front());
        }
        if (text.empty()) {
            fail_table("The description of table " + quoted(name()) +
                       " cannot be read from the dump: the dump is damaged. Export the table "
                       "again.");
        }
        ora_pump_metadata_reader reader;
        reader.read_table(text.data(), text.size(), *this, &m_owner);
        if (reader.unknown_type_seen()) {
            fail_table("Unknown field type: column " + quoted(reader.unknown_type().name) +
                       " of table " + quoted(name()) + " has the Oracle type " +
                       std::to_string(reader.unknown_type().type_num) +
                       ", which the program cannot convert.");
        }
        if (schema().empty()) {
            fail_table("The description of table " + quoted(name()) +
                       " lists no column: the dump is damaged. Export the table again.");
        }

        // The rows: one block per segment, in the order of its stream description.
        clear_rows();
        m_blocks.clear();
        m_row_only_columns.clear();
        const udb_schema& columns = schema();
        for (const pump_segment& segment : entry.pump.segments) {
            if (segment.data_end <= segment.data_start) continue;
            ora_pump_metadata_reader stream;
            const std::string stream_doc = stream_text(source, *decoder, segment);
            stream.read_description(stream_doc.data(), stream_doc.size());
            if (stream.unknown_type_seen() || stream.columns().empty()) {
                fail_table("The rows of table " + quoted(name()) +
                           " cannot be read: their stream description is damaged.");
            }
            std::vector<std::unique_ptr<ora_dump_column>> row_columns = stream.take_columns();
            insert_block block;
            block.first_row = segment.data_start;
            block.data_end = segment.data_end;
            block.no_lob_tail = decoder->no_lob_tail();
            std::vector<bool> used(columns.size(), false);
            for (ora_dump_column* c : row_order(row_columns)) {
                size_t found = columns.size();
                for (size_t i = 0; i < columns.size() && found == columns.size(); ++i) {
                    if (!used[i] && columns[i].name() == c->name()) found = i;
                }
                for (size_t i = 0; i < columns.size() && found == columns.size(); ++i) {
                    if (!used[i] && tk_equal_nocase(columns[i].name(), c->name())) found = i;
                }
                if (found == columns.size()) {
                    tk_wtrace(2, u"Column \"%s\" of the rows is not in the table's description",
                              c->name().c_str());
                    for (auto& owned : row_columns) {
                        if (owned.get() == c) m_row_only_columns.push_back(std::move(owned));
                    }
                    block.columns.push_back(c);
                    block.slots.push_back(ora_dump_pump_reader_th::no_slot);
                    continue;
                }
                used[found] = true;
                block.columns.push_back(static_cast<ora_dump_column*>(columns.columns()[found]));
                block.slots.push_back(static_cast<uint32_t>(found));
            }
            if (m_blocks.empty()) m_data_start = segment.data_start;
            m_data_end = segment.data_end;
            m_blocks.push_back(std::move(block));
        }
        if (m_blocks.empty()) {
            m_data_start = entry.metadata_position;
            m_data_end = entry.data_position;
            m_end = m_first_index;
        } else {
            m_rows.push_back({m_blocks.front().first_row, 0});
            m_end = -1;
        }
        reset();
        return true;
    } catch (const tk_exception&) {
        source.seek(opening);
        tk_trace(3, "The exception occured during a tableinitialization.\n");
        throw;
    } catch (const std::exception& e) {
        source.seek(opening);
        tk_trace(3, "The exception occured during a tableinitialization.\n");
        tk_trace(3, "%s", e.what());
        return false;
    }
}
