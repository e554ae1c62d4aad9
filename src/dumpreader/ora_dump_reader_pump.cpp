// The Data Pump branch of ora_dump_reader::open: a dump whose header holds no "EXPORT:V" word.
//
// The header is checked (ora_pump_scan::read_header), the Data Pump row decoder is made, and the
// segment walk and the master table's descriptions give the catalogue (ora_pump_scan::run).
#include <memory>

#include "ora_byte_source.h"
#include "ora_charsets.h"
#include "ora_dump_file.h"
#include "ora_dump_pump_reader_th.h"
#include "ora_dump_reader.h"
#include "ora_dump_reader_th.h"
#include "ora_pump_format.h"
#include "ora_pump_scan.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_thread.h"

namespace {

constexpr const char* k_compressed_text =
    "This Data Pump dump was exported with COMPRESSION=ALL: its table data is compressed with "
    "Oracle's own compression, which this program cannot read. Export the data again with "
    "COMPRESSION=METADATA_ONLY (the default) or COMPRESSION=NONE and convert the new dump.";

constexpr uint16_t k_national_utf16 = 2000;

}  // namespace

std::unique_ptr<ora_dump_file> ora_dump_reader::read_pump(std::unique_ptr<ora_byte_source> source) {
    ora_pump_header header;
    switch (ora_pump_scan::read_header(*source, header)) {
        case ora_pump_scan::header_check::ok:
            break;
        case ora_pump_scan::header_check::non_leading_part:
            tk_trace(3, "%s", non_leading_part_text);
            fail(non_leading_part_text);
        case ora_pump_scan::header_check::bad_lead_bytes:
        case ora_pump_scan::header_check::bad_block_size:
        case ora_pump_scan::header_check::bad_version_text:
            tk_trace(3, "The file is neither a classic export dump nor a Data Pump dump");
            fail(open_error_text);
    }
    tk_trace(2, "Data Pump dump: database %s, character set %d, block size %u, job %s.%s",
             header.version_text.c_str(), header.charset_id, header.block_size,
             header.job_owner.c_str(), header.job_table.c_str());

    // The factory gets the header's second byte, which picks the Data Pump decoder.
    std::unique_ptr<ora_dump_reader_th> decoder = create_row_decoder(header.second_byte, "");
    auto* pump = dynamic_cast<ora_dump_pump_reader_th*>(decoder.get());
    if (pump == nullptr) {
        tk_trace(3, "Couldn't get propper tocken handlerfor value %d\n", 0);
        fail(open_error_text);
    }
    m_decoder = std::move(decoder);
    m_b_pump = true;
    m_version_word = header.version_text;
    m_user_name.clear();
    m_tablespace_name.clear();
    m_charset_id = header.charset_id;
    m_session_id = header.charset_id;
    m_charset_kind = ora_charsets::kind_of(header.charset_id);
    if (m_charset_kind == 0) {
        int32_t cp = ora_charsets::code_page_of(header.charset_id);
        if (cp != 0) m_code_page = cp;
    }
    // The national set of Data Pump dumps is AL16UTF16 (their descriptions say so).
    m_ncharset_kind = 2;
    m_ncharset_id = k_national_utf16;
    m_part_marker = 0;
    m_codec.configure(m_charset_id, m_ncharset_kind, m_ncharset_id, m_session_id);
    m_decoder->set_context(m_codec.clone(), m_file_length);
    set_progress(0, 0, m_file_length);

    ora_dump_catalogue catalogue;
    bool compressed = false;
    try {
        ora_pump_scan scan(*source, *pump, header, [this](uint64_t position) {
            set_progress(0, position, m_file_length);
        });
        catalogue = scan.run();
        compressed = scan.compressed();
    } catch (const tk_thread_stop&) {
        m_progress.store(-1, std::memory_order_release);
        m_decoder.reset();
        throw;
    } catch (const std::exception& e) {
        tk_trace(3, "Couldn't read dump file");
        tk_trace(3, "%s", e.what());
        fail(open_error_text);
    }
    if (compressed) {
        tk_trace(3, "%s", k_compressed_text);
        fail(k_compressed_text);
    }

    source->seek(0);
    pump->set_rows_end(0);
    return finish(std::make_unique<ora_dump_file>(std::move(source), m_version_word, std::string(),
                                                  std::string(), std::move(catalogue),
                                                  std::move(m_decoder)));
}
