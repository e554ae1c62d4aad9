// The choice of the row decoder by export version.
#include <memory>
#include <string>

#include "ora_dump_pump_reader_th.h"
#include "ora_dump_reader_th.h"
#include "ora_dump_reader_th7.h"
#include "ora_dump_reader_th8.h"
#include "ora_dump_reader_th9.h"

std::unique_ptr<ora_dump_reader_th> create_row_decoder(int32_t version,
                                                       const std::string& version_word) {
    switch (version) {
        case 7:
            return std::make_unique<ora_dump_reader_th7>();
        case 8: {
            auto decoder = std::make_unique<ora_dump_reader_th8>();
            decoder->set_version(version_word);
            return decoder;
        }
        case 1:
        case 2:
            // The Data Pump row layout (the open passes the Data Pump header's second byte).
            return std::make_unique<ora_dump_pump_reader_th>();
        default:
            break;
    }
    // 9 to 11, and the classic exports of 12.1, 12.2, 18, 19, 21 and 23, which write the layout
    // of 11.2 unchanged.
    if (version >= 9 && version <= 99) return std::make_unique<ora_dump_reader_th9>();
    // Every other version has no decoder.
    return nullptr;
}
