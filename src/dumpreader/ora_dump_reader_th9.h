// ora_dump_reader_th9: the row decoder of exports of version 9 and later (9.x to 11.2, and the
// classic exports of 12.1 to 23, which keep the layout of 11.2).
//
// Its column header is that of version 8 plus the character-set id of each character LOB, which
// the CLOB data is decoded with. Owned by the dump facade; one thread at a time.
#pragma once

#include "ora_dump_reader_th8.h"

class ora_dump_reader_th9 : public ora_dump_reader_th8 {
public:
    ora_dump_reader_th9();
    ~ora_dump_reader_th9() override;

    void read_column_header(ora_byte_source& source, const ora_column_list& columns) override;
};
