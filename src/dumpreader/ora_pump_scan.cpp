#include "ora_pump_scan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "ora_byte_source.h"
#include "ora_dump_pump_reader_th.h"
#include "ora_pump_format.h"
#include "ora_pump_metadata_reader.h"
#include "ora_text_codec.h"
#include "ora_xml_session.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "tk_thread.h"

namespace {

namespace f = ora_pump_fmt;

// The walk publishes its progress and checks for a stop request every this many blocks.
constexpr uint64_t k_check_blocks = 256;

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
uint64_t be64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
}

uint64_t align_up(uint64_t value, uint64_t step) {
    uint64_t rest = value % step;
    return rest == 0 ? value : value + (step - rest);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "dd.dd.dd.dd.dd" with a major version of 10 or more.
bool is_version_text(const char* t) {
    for (int i = 0; i < f::version_text_length; ++i) {
        if (i % 3 == 2) {
            if (t[i] != '.') return false;
        } else if (!is_digit(t[i])) {
            return false;
        }
    }
    return (t[0] - '0') * 10 + (t[1] - '0') >= 10;
}

bool ends_with(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

ora_pump_scan::header_check ora_pump_scan::read_header(ora_byte_source& source,
                                                       ora_pump_header& header) {
    header = ora_pump_header();
    uint8_t h[f::header_bytes] = {};
    source.seek(0);
    const size_t got = source.read(h, sizeof h);
    if (got < 2) return header_check::bad_lead_bytes;
    header.family = h[0];
    header.second_byte = h[1];
    tk_trace(2, "Version number %d.%d\n", h[0], h[1]);
    if (header.family < f::family_first || header.family > f::family_last ||
        (h[1] != 1 && h[1] != 2)) {
        return header_check::bad_lead_bytes;
    }
    if (got < static_cast<size_t>(f::job_name)) return header_check::bad_block_size;
    header.block_size = be32(h + f::block_size);
    const uint32_t bs = header.block_size;
    if (bs < f::min_block_size || bs > f::max_block_size || (bs & (bs - 1)) != 0) {
        tk_trace(3, "The Data Pump header gives the block size %u: the header is damaged", bs);
        return header_check::bad_block_size;
    }
    header.file_number = be16(h + f::file_number);
    if (header.file_number != 1) return header_check::non_leading_part;
    header.charset_id = be16(h + f::charset);

    // The job's master table: "OWNER"."NAME".
    std::string job;
    for (size_t i = f::job_name; i < got && i < static_cast<size_t>(f::job_name + f::job_name_max)
                                 && h[i] != 0;
         ++i) {
        job.push_back(static_cast<char>(h[i]));
    }
    size_t dot = job.find("\".\"");
    if (job.size() > 4 && job.front() == '"' && job.back() == '"' && dot != std::string::npos) {
        header.job_owner = job.substr(1, dot - 1);
        header.job_table = job.substr(dot + 3, job.size() - dot - 4);
    }

    const size_t at = header.family >= f::family_late_header ? f::version_text_late
                                                             : f::version_text_early;
    size_t i = at;
    while (i < got && i < at + f::version_text_slack && h[i] == 0) ++i;
    if (i + f::version_text_length > got) return header_check::bad_version_text;
    const char* text = reinterpret_cast<const char*>(h + i);
    if (!is_version_text(text)) return header_check::bad_version_text;
    header.version_text.assign(text, f::version_text_length);
    return header_check::ok;
}

ora_pump_scan::ora_pump_scan(ora_byte_source& source, ora_dump_pump_reader_th& decoder,
                             const ora_pump_header& header,
                             std::function<void(uint64_t)> progress)
    : m_source(source),
      m_decoder(decoder),
      m_header(header),
      m_progress(std::move(progress)),
      m_length(std::min(source.size(), decoder.file_length())) {}

std::string ora_pump_scan::to_utf8(const std::string& document) const {
    ora_text_codec& codec = m_decoder.codec();
    if (codec.charset_kind() == 1) return document;
    std::u16string text;
    codec.decode_text(reinterpret_cast<const uint8_t*>(document.data()), document.size(), false,
                      text);
    return tk_to_utf8(text);
}

ora_dump_catalogue ora_pump_scan::run() {
    tk_trace(2, "Read tables \n");
    // One library session for all the scan's parses.
    ora_xml_session session;
    walk_segments();
    if (m_compressed) return {};
    read_master();
    return build();
}

void ora_pump_scan::walk_segments() {
    const uint64_t bs = m_header.block_size;
    uint64_t blocks = 0;
    tk_thread::check_stop();
    for (uint64_t pos = bs; pos < m_length && m_length - pos >= 6;) {
        if (++blocks % k_check_blocks == 0) {
            if (m_progress) m_progress(pos);
            tk_thread::check_stop();
        }
        uint64_t next = pos + bs;
        read_segment(pos, next);
        pos = std::max(next, pos + bs);
    }
}

bool ora_pump_scan::read_segment(uint64_t pos, uint64_t& next) {
    uint8_t head[f::segment_header_bytes] = {};
    m_source.seek(pos);
    const size_t got = m_source.read(head, sizeof head);
    if (got < 4 || std::memcmp(head, f::segment_magic, 4) != 0) return false;
    if (got < sizeof head) {
        tk_trace(3, "The dump ends inside a segment header at %llu",
                 static_cast<unsigned long long>(pos));
        return false;
    }
    uint64_t field[f::segment_field_count];
    for (int i = 0; i < f::segment_field_count; ++i) field[i] = be64(head + 6 + 8 * i);
    auto at = [&field](int offset) { return field[(offset - 6) / 8]; };
    const uint64_t doc_length = at(f::segment_document_length);
    const uint64_t doc_offset = at(f::segment_document_offset);
    const uint64_t data_length = at(f::segment_data_length);

    // A segment found inside the row data an unsure segment claimed ends that row data.
    if (!m_streams.empty() && m_streams.back().unsure && m_streams.back().segment.data_end > pos) {
        m_streams.back().segment.data_end = std::max(pos, m_streams.back().segment.data_start);
    }
    if (std::memcmp(head + f::segment_kind, f::segment_plain, 2) != 0) {
        char start[3] = {};
        if (doc_offset < m_length - pos) {
            m_source.seek(pos + doc_offset);
            m_source.read(start, 3);
        }
        if (std::memcmp(head + f::segment_kind, f::segment_compressed, 2) == 0 ||
            std::memcmp(start, f::compressed_block, 3) == 0) {
            tk_trace(3, "Compressed segment at %llu", static_cast<unsigned long long>(pos));
            m_compressed = true;
        } else {
            tk_trace(3, "Segment of an unknown kind %02X %02X at %llu", head[4], head[5],
                     static_cast<unsigned long long>(pos));
        }
        return false;
    }
    const uint64_t min_document = f::document_prefix + sizeof(f::xml_start) - 1 +
                                  sizeof(f::stream_document_end) - 1;
    if (doc_offset < sizeof head || doc_offset > f::max_block_size || doc_length < min_document ||
        doc_length > f::max_document || doc_offset >= m_length - pos ||
        doc_length > m_length - pos - doc_offset) {
        tk_trace(3, "Damaged segment header at %llu (document at +%llu, %llu bytes)",
                 static_cast<unsigned long long>(pos), static_cast<unsigned long long>(doc_offset),
                 static_cast<unsigned long long>(doc_length));
        return false;
    }
    const uint64_t block = pos + doc_offset;
    const uint64_t doc_start = block + f::document_prefix;
    const uint64_t doc_end = block + doc_length;
    std::string document;
    m_source.seek(doc_start);
    if (m_source.read_append(document, static_cast<size_t>(doc_end - doc_start)) !=
            doc_end - doc_start ||
        document.compare(0, sizeof(f::xml_start) - 1, f::xml_start) != 0) {
        tk_trace(3, "The segment at %llu holds no stream description",
                 static_cast<unsigned long long>(pos));
        return false;
    }
    // A description cut short still names its table (its name comes first): the table is then
    // listed, and opening it reports the damage instead of showing it without rows.
    const bool whole = ends_with(document, f::stream_document_end);
    ora_pump_metadata_reader reader;
    const std::string text = to_utf8(document);
    std::u16string name = reader.read_table_name(text.data(), text.size());
    if (name.empty() || reader.state() != ora_pump_metadata_reader::state_stream) {
        tk_trace(3, "The stream description at %llu names no table",
                 static_cast<unsigned long long>(doc_start));
        return false;
    }
    if (!whole) {
        tk_wtrace(3, u"The stream description of %s is damaged", name.c_str());
    }
    stream s;
    s.owner = reader.table_owner();
    s.name = std::move(name);
    s.segment.stream_start = doc_start;
    s.segment.stream_end = doc_end;
    s.segment.data_start = align_up(doc_end, f::data_alignment);
    if (s.segment.data_start > m_length) s.segment.data_start = m_length;
    const uint64_t room = m_length - s.segment.data_start;
    s.segment.data_end = s.segment.data_start + std::min(data_length, room);
    // The header's offsets of the row data and of its end must agree with the lengths; when they
    // do not (or the data runs past the file), the row data is not jumped over: the walk goes on
    // block by block and the next segment found ends it.
    const bool consistent = at(f::segment_data_offset) == s.segment.data_start - pos &&
                            at(f::segment_end_offset) == align_up(s.segment.data_start + data_length,
                                                 f::data_alignment) - pos &&
                            data_length <= room;
    if (!consistent) {
        tk_wtrace(3, u"The segment header of %s.%s does not agree with itself or the dump ends "
                     u"inside its rows: the dump is damaged or cut short",
                  s.owner.c_str(), s.name.c_str());
    }
    tk_wtrace(2, u"Reading dump. Stream description of %s.%s, Pos: %I64d", s.owner.c_str(),
              s.name.c_str(), static_cast<long long>(doc_start));
    if (tk_to_utf8(s.owner) == m_header.job_owner && tk_to_utf8(s.name) == m_header.job_table &&
        m_master < 0) {
        m_master = static_cast<int>(m_streams.size());
    }
    next = consistent ? align_up(s.segment.data_end, m_header.block_size)
                      : align_up(doc_end, m_header.block_size);
    s.unsure = !consistent;
    m_streams.push_back(std::move(s));
    if (m_progress) m_progress(next < m_length ? next : m_length);
    tk_thread::check_stop();
    return true;
}

void ora_pump_scan::read_master() {
    if (m_master < 0) {
        tk_trace(2, "The dump holds no master table of its export job: tables are described by "
                    "their stream descriptions");
        return;
    }
    const stream& master = m_streams[static_cast<size_t>(m_master)];
    std::string document;
    m_source.seek(master.segment.stream_start);
    m_source.read_append(document,
                         static_cast<size_t>(master.segment.stream_end - master.segment.stream_start));
    ora_pump_metadata_reader reader;
    const std::string text = to_utf8(document);
    reader.read_description(text.data(), text.size());
    // The row order: every other column, then the LOB columns.
    ora_column_list order;
    for (const auto& c : reader.columns()) {
        if (!ora_is_lob(c->kind())) order.push_back(c.get());
    }
    for (const auto& c : reader.columns()) {
        if (ora_is_lob(c->kind())) order.push_back(c.get());
    }
    std::vector<uint32_t> slots(order.size(), ora_dump_pump_reader_th::no_slot);
    bool found = false;
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i]->kind() == ora_kind_clob &&
            tk_equal_nocase(order[i]->name(), u"XML_CLOB")) {
            slots[i] = 0;
            found = true;
            break;
        }
    }
    if (!found || reader.unknown_type_seen()) {
        tk_trace(3, "The master table's description has no readable XML_CLOB column");
        return;
    }
    udb_record record;
    record.add(std::make_unique<udb_field>(u"XML_CLOB", 0, ole_variant()));
    const uint64_t end = master.segment.data_end;
    m_source.seek(master.segment.data_start);
    uint64_t rows = 0;
    while (m_source.position() < end) {
        const uint64_t row = m_source.position();
        try {
            m_decoder.read_record(m_source, order, end, record, slots);
        } catch (const tk_exception& e) {
            tk_trace(3, "The master table's rows end early: %s", e.text().c_str());
            break;
        }
        ++rows;
        if (rows % 64 == 0) {
            if (m_progress) m_progress(row);
            tk_thread::check_stop();
        }
        const ole_variant& value = record[0];
        if (value.vartype() != VT_BSTR || value.bstr().empty()) continue;
        const std::string description = tk_to_utf8(value.bstr());
        ora_pump_metadata_reader names;
        std::u16string name = names.read_table_name(description.data(), description.size());
        if (name.empty() || names.state() != ora_pump_metadata_reader::state_table) continue;
        tk_wtrace(2, u"Reading dump. TABLE description of %s.%s, Pos: %I64d",
                  names.table_owner().c_str(), name.c_str(), static_cast<long long>(row));
        m_descriptions.push_back({names.table_owner(), std::move(name), row});
    }
    tk_trace(2, "Master table: %llu rows, %d table descriptions",
             static_cast<unsigned long long>(rows), static_cast<int>(m_descriptions.size()));
}

ora_dump_catalogue ora_pump_scan::build() const {
    ora_dump_catalogue catalogue;
    auto key_for = [&catalogue](const std::u16string& owner,
                                const std::u16string& name) -> std::u16string {
        if (catalogue.count(name) == 0) return name;
        std::u16string qualified = owner + u"." + name;
        if (catalogue.count(qualified) == 0) return qualified;
        return std::u16string();
    };
    std::map<std::pair<std::u16string, std::u16string>, std::u16string> described;
    const pump_segment master =
        m_master >= 0 ? m_streams[static_cast<size_t>(m_master)].segment : pump_segment();
    for (const description& d : m_descriptions) {
        if (described.count({d.owner, d.name}) != 0) continue;
        std::u16string key = key_for(d.owner, d.name);
        if (key.empty()) {
            tk_trace(3, "Database contians 2 or more tables with the samename %s",
                     tk_to_utf8(d.name).c_str());
            continue;
        }
        dump_table_entry& entry = catalogue[key];
        entry.start = d.row;
        entry.end = master.data_end;
        entry.pump.description_row = d.row;
        entry.pump.master = master;
        described[{d.owner, d.name}] = key;
        tk_trace(2, "Table: %s", tk_to_utf8(key).c_str());
    }
    for (size_t i = 0; i < m_streams.size(); ++i) {
        const stream& s = m_streams[i];
        auto it = described.find({s.owner, s.name});
        dump_table_entry* entry = nullptr;
        if (it != described.end()) {
            entry = &catalogue[it->second];
        } else {
            // The export's own tables, unless the job describes them as tables of the dump.
            if (static_cast<int>(i) == m_master) continue;
            if (tk_to_utf8(s.owner) == f::stats_owner && tk_to_utf8(s.name) == f::stats_table) {
                continue;
            }
            std::u16string key = key_for(s.owner, s.name);
            if (key.empty()) {
                tk_trace(3, "Database contians 2 or more tables with the samename %s",
                         tk_to_utf8(s.name).c_str());
                continue;
            }
            described[{s.owner, s.name}] = key;
            entry = &catalogue[key];
            entry->start = s.segment.stream_start;
            entry->end = s.segment.stream_end;
            tk_trace(2, "Table: %s", tk_to_utf8(key).c_str());
        }
        if (entry->pump.segments.empty()) {
            entry->metadata_position = s.segment.stream_start;
            entry->data_position = s.segment.data_start;
        }
        entry->pump.segments.push_back(s.segment);
    }
    return catalogue;
}
