#include "ora_dump_table.h"

#include <algorithm>
#include <cctype>

#include "ora_byte_source.h"
#include "ora_dump_file.h"
#include "ora_dump_format.h"
#include "ora_dump_reader.h"
#include "ora_text_codec.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "tk_thread.h"

namespace {

constexpr size_t k_max_positions = 5;
constexpr uint64_t k_check_interval = 64 * 1024;

bool equal_upper(std::string_view word, std::string_view upper) {
    if (word.size() != upper.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(word[i])) != upper[i]) return false;
    }
    return true;
}

// Puts the byte source back where it was when the scope ends.
class position_keeper {
public:
    explicit position_keeper(ora_byte_source& source)
        : m_source(source), m_position(source.position()) {}
    ~position_keeper() { m_source.seek(m_position); }
    position_keeper(const position_keeper&) = delete;
    position_keeper& operator=(const position_keeper&) = delete;
    uint64_t position() const { return m_position; }

private:
    ora_byte_source& m_source;
    uint64_t m_position;
};

}  // namespace

ora_dump_table::ora_dump_table(ora_dump_file& owner, const std::u16string& name)
    : udb_recordset(name, true), m_owner(owner) {
    tk_wtrace(2, u"ora_dump_table::ctor(%s)", name.c_str());
}

ora_dump_table::~ora_dump_table() { tk_trace(2, "ora_dump_table::dtor"); }

void ora_dump_table::set_source(ora_byte_source& source, ora_dump_reader_th& decoder) {
    m_source = &source;
    m_decoder = &decoder;
}

void ora_dump_table::append_record(udb_record&) {}

std::u16string ora_dump_table::decode_name(std::string_view bytes) {
    TK_ASSERT(m_decoder != nullptr);
    return m_decoder->codec().decode_name(bytes);
}

bool ora_dump_table::find_delimeter(ora_byte_source* source, uint8_t byte, uint64_t& position) {
    tk_trace(1, "ora_dump_table::find_delimeter(%c)", byte);
    TK_ASSERT(source != nullptr);
    position_keeper keep(*source);
    if (!source->skip_past(byte)) return false;
    position = source->position();
    return true;
}

bool ora_dump_table::init(ora_byte_source& source, const dump_table_entry& entry,
                          ora_dump_reader_th& decoder, const std::string& version_word) {
    tk_trace(2, "ora_dump_table::init(...)\n");
    m_source = &source;
    m_decoder = &decoder;
    set_record_count(entry.row_count);
    position_keeper keep(source);
    bool classic = version_word.size() >= 7 && equal_upper(version_word.substr(0, 7), "EXPORT:");
    return classic ? open_classic(entry) : open_pump(entry);
}

bool ora_dump_table::open_classic(const dump_table_entry& entry) {
    ora_byte_source& source = *m_source;
    const uint64_t opening = source.position();
    m_data_start = entry.start;
    m_data_end = entry.end;
    bool accepted = false;
    try {
        source.seek(entry.start);
        tk_wtrace(2, u"Reading table. Start pos: %I64d", static_cast<long long>(entry.start));
        std::string_view word;
        bool found = false;
        while (source.position() < m_data_end && source.read_word(word)) {
            if (word == "TABLE") {
                found = source.read_word(word);
                break;
            }
        }
        std::string text;
        if (found) {
            if (!source.read_past(static_cast<uint8_t>(ora_fmt::line_end), text, max_statement) ||
                text.size() >= max_statement) {
                tk_trace(3, "The CREATE TABLE statement has no end of line within %d bytes",
                         static_cast<int>(max_statement));
                text.clear();
            }
        }
        clear_rows();
        accepted = !text.empty() && process_table_desc(text);
        text = std::string();
        if (accepted) {
            find_blocks();
            // No block of rows at all: the table is at its end from the start.
            if (m_blocks.empty() && m_end == -1) m_end = m_first_index;
            reset();
        }
    } catch (const tk_exception&) {
        source.seek(opening);
        tk_trace(3, "The exception occured during a tableinitialization.\n");
        throw;
    } catch (const std::exception& e) {
        source.seek(opening);
        tk_trace(3, "The exception occured during a tableinitialization.\n");
        tk_trace(3, "%s", e.what());
        accepted = false;
    }
    parse_indexes(entry.indexes);
    parse_keys(entry.alters);
    return accepted && !m_block_failed;
}

bool ora_dump_table::parse_insert_columns(std::string_view text, std::vector<std::string>& names) {
    names.clear();
    size_t i = 0;
    auto skip_spaces = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    skip_spaces();
    // The table name: quoted (it may hold spaces and parentheses) or a plain word.
    if (i < text.size() && text[i] == '"') {
        size_t close = text.find('"', i + 1);
        if (close == std::string_view::npos) return false;
        i = close + 1;
    } else {
        while (i < text.size() && text[i] != ' ' && text[i] != '(') ++i;
    }
    skip_spaces();
    if (i >= text.size() || text[i] != '(') return false;
    ++i;
    for (;;) {
        skip_spaces();
        if (i >= text.size() || text[i] != '"') return false;
        size_t close = text.find('"', i + 1);
        if (close == std::string_view::npos) return false;
        names.emplace_back(text.substr(i + 1, close - i - 1));
        i = close + 1;
        skip_spaces();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        return i < text.size() && text[i] == ')';
    }
}

bool ora_dump_table::make_block(std::string_view text, uint64_t first_row, insert_block& block) {
    block.first_row = first_row;
    block.no_lob_tail = m_decoder->no_lob_tail();
    block.columns.clear();
    block.slots.clear();
    const udb_schema& columns = schema();
    std::vector<std::string> names;
    if (!parse_insert_columns(text, names)) {
        // No column list: the rows follow the CREATE TABLE order.
        for (size_t i = 0; i < columns.size(); ++i) {
            block.columns.push_back(static_cast<ora_dump_column*>(columns.columns()[i]));
            block.slots.push_back(static_cast<uint32_t>(i));
        }
    } else {
        std::vector<bool> used(columns.size(), false);
        for (const std::string& raw : names) {
            std::u16string name = decode_name(raw);
            size_t found = columns.size();
            for (size_t i = 0; i < columns.size() && found == columns.size(); ++i) {
                if (!used[i] && columns[i].name() == name) found = i;
            }
            for (size_t i = 0; i < columns.size() && found == columns.size(); ++i) {
                if (!used[i] && tk_equal_nocase(columns[i].name(), name)) found = i;
            }
            if (found == columns.size()) {
                tk_wtrace(3, u"The INSERT INTO statement of table \"%s\" names the column \"%s\", "
                             u"which its CREATE TABLE statement does not define",
                          this->name().c_str(), name.c_str());
                return false;
            }
            used[found] = true;
            block.columns.push_back(static_cast<ora_dump_column*>(columns.columns()[found]));
            block.slots.push_back(static_cast<uint32_t>(found));
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!used[i]) {
                tk_wtrace(2, u"Column \"%s\" has no values in the dump", columns[i].name().c_str());
            }
        }
    }
    return true;
}

void ora_dump_table::find_blocks() {
    ora_byte_source& source = *m_source;
    std::string_view word;
    uint64_t next_check = 0;
    std::string line;
    while (!source.at_end() && source.position() < m_data_end) {
        // The next INSERT INTO at the start of a line.
        bool found = false;
        while (source.position() < m_data_end && source.read_word(word)) {
            uint64_t after = source.word_end();
            if (after >= next_check) {
                tk_thread::check_stop();
                next_check = after + k_check_interval;
            }
            if (!equal_upper(word, "INSERT") || source.byte_before_word() != ora_fmt::line_end) {
                continue;
            }
            if (!source.read_word(word)) break;
            if (equal_upper(word, "INTO")) {
                tk_wtrace(1, u"Reading table. Found INSERT at pos: %I64d",
                          static_cast<long long>(after));
                found = true;
                break;
            }
        }
        if (!found) {
            if (m_blocks.empty()) {
                m_end = m_first_index;
                m_data_start = source.position();
            }
            return;
        }
        line.clear();
        if (!source.read_past(static_cast<uint8_t>(ora_fmt::line_end), line, max_statement)) {
            continue;
        }
        insert_block block;
        // The column header describes the columns in row order: find that order first.
        if (!make_block(line, 0, block)) {
            m_block_failed = true;
            return;
        }
        m_decoder->read_column_header(source, block.columns);
        block.no_lob_tail = m_decoder->no_lob_tail();
        if (m_decoder->header_column_count() != block.columns.size()) {
            tk_wtrace(3, u"The rows of table \"%s\" describe %d columns, its INSERT INTO "
                         u"statement lists %d",
                      name().c_str(), static_cast<int>(m_decoder->header_column_count()),
                      static_cast<int>(block.columns.size()));
            m_block_failed = true;
            return;
        }
        const uint64_t p = source.position();
        block.first_row = p;
        bool empty = m_decoder->check_for_eof(source);
        if (m_blocks.empty()) {
            clear_rows();
            m_data_start = p;
            if (empty) {
                tk_trace(1, ">>EndOfTable<<");
                m_rows.push_back({p, 0});
                m_end = m_first_index;
            } else {
                m_rows.push_back({p, 0});
                m_end = -1;
                m_blocks.push_back(std::move(block));
            }
        } else if (!empty) {
            m_end = -1;
            m_blocks.push_back(std::move(block));
        }
    }
}

void ora_dump_table::clear_rows() {
    m_rows.clear();
    m_first_index = 0;
    m_current = -1;
}

const ora_dump_table::row_position* ora_dump_table::current_row() const {
    if (m_current < m_first_index || m_current >= m_first_index + static_cast<int64_t>(m_rows.size())) {
        return nullptr;
    }
    return &m_rows[static_cast<size_t>(m_current - m_first_index)];
}

void ora_dump_table::use_block(uint32_t block) {
    m_current_block = block;
    if (block < m_blocks.size()) m_decoder->set_no_lob_tail(m_blocks[block].no_lob_tail);
}

bool ora_dump_table::is_eof() {
    tk_trace(1, "ora_dump_table::is_eof");
    return m_current == m_end;
}

void ora_dump_table::reset() {
    tk_trace(1, "ora_dump_table::reset");
    if (!m_rows.empty()) {
        m_current = m_first_index;
        m_source->seek(m_rows.front().position);
    } else {
        m_current = m_end;
        m_source->seek(m_data_start);
    }
    if (!m_blocks.empty()) use_block(0);
    set_progress();
}

void ora_dump_table::next() {
    tk_trace(1, "ora_dump_table::next");
    if (is_eof()) {
        tk_trace(2, "ERROR: EOF has been reached");
        throw tk_exception("Out of recordset range.", 1);
    }
    if (record_count() == 0) set_record_count(1);
    const int64_t last = m_first_index + static_cast<int64_t>(m_rows.size()) - 1;
    if (m_current < last) {
        tk_trace(1, "Iterate previously loaded data...");
        ++m_current;
        use_block(current_row()->block);
        set_record_count(record_count() + 1);
        set_progress();
        return;
    }
    tk_trace(1, "Load new data...");
    ora_byte_source& source = *m_source;
    // The source is left at the new current row rather than where it was: the next get_item
    // reads from there, so the reads stay inside the byte source's window instead of seeking
    // back and forth across a large table.
    tk_trace(1, "STORE FILE POINTER: %lld", static_cast<long long>(source.position()));
    const row_position row = *current_row();
    tk_trace(1, "SET FILE POINTER AT %lld", static_cast<long long>(row.position));
    source.seek(row.position);
    const insert_block& block = m_blocks.at(row.block);
    m_decoder->set_no_lob_tail(block.no_lob_tail);
    try {
        m_decoder->skip_row(source, block.columns, block.data_end ? block.data_end : m_data_end);
    } catch (...) {
        // A row that cannot be passed over ends the table: the cursor stays at its end, so the
        // caller's loop stops rather than meeting the same row again.
        m_end = m_current;
        throw;
    }
    m_rows.push_back({source.position(), row.block});
    const int64_t appended = m_first_index + static_cast<int64_t>(m_rows.size()) - 1;
    if (m_decoder->check_for_eof(source)) {
        uint32_t next_block = row.block + 1;
        if (next_block >= m_blocks.size()) {
            m_current = appended;
            m_end = appended;
        } else {
            use_block(next_block);
            source.seek(m_blocks[next_block].first_row);
            m_rows.back() = {m_blocks[next_block].first_row, next_block};
            m_current = appended;
        }
    } else {
        m_current = appended;
        while (m_rows.size() > k_max_positions) {
            m_rows.pop_front();
            ++m_first_index;
        }
    }
    if (!m_blocks.empty()) set_record_count(record_count() + 1);
    source.seek(current_row()->position);
    set_progress();
    tk_trace(1, "RESTORE FILE POINTER: %lld", static_cast<long long>(source.position()));
}

void ora_dump_table::prev() {
    tk_trace(1, "ora_dump_table::prev");
    if (m_current <= m_first_index) throw tk_exception("Out of recordset range.", 1);
    --m_current;
    const row_position* row = current_row();
    m_source->seek(row->position);
    use_block(row->block);
    set_progress();
}

udb_record* ora_dump_table::get_item() {
    tk_trace(1, "ora_dump_table::get_item()");
    if (is_eof()) throw tk_exception("Out of recordset range.", 1);
    const row_position* row = current_row();
    if (row == nullptr) throw tk_exception("Out of recordset range.", 1);
    ora_byte_source& source = *m_source;
    tk_trace(1, "stream_start(1)=%lld", static_cast<long long>(source.position()));
    const insert_block& block = m_blocks.at(row->block);
    if (!m_record || m_record->size() != schema().size()) {
        m_record = std::make_unique<udb_record>();
        m_record->reserve(schema().size());
        for (const udb_column* column : schema().columns()) {
            m_record->add(std::make_unique<udb_field>(column->name(), column->size(), ole_variant()));
        }
    }
    source.seek(row->position);
    m_decoder->set_no_lob_tail(block.no_lob_tail);
    try {
        m_decoder->read_record(source, block.columns, block.data_end ? block.data_end : m_data_end,
                               *m_record, block.slots);
    } catch (...) {
        m_record.reset();
        source.seek(row->position);
        throw;
    }
    // Back at the current row, where next() starts.
    source.seek(row->position);
    tk_trace(1, "stream_start(2)=%lld", static_cast<long long>(source.position()));
    return m_record.get();
}

void ora_dump_table::set_progress() {
    tk_trace(1, "ora_dump_table::set_progress");
    if (ora_dump_reader* reader = ora_dump_reader::instance_if_any()) {
        reader->set_local_progress(m_data_start, m_data_end, m_source->position());
    }
}
