#include "sql_type_map.h"

#include <mysql.h>

#include <cstdio>

#include "sql_engine.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

std::u16string get_native_type(VARTYPE vartype, int32_t size, int32_t flags) {
    tk_trace(1, "get_native_type(%d,%d,%d)", static_cast<int>(vartype), size, flags);
    switch (vartype) {
        case VT_I1:
        case VT_BOOL:
            return u"TINYINT";
        case VT_UI1:
            return u"TINYINT UNSIGNED";
        case VT_I2:
            return u"SMALLINT";
        case VT_UI2:
            return u"SMALLINT UNSIGNED";
        case VT_I4:
        case VT_INT:
            return u"INT";
        case VT_UI4:
        case VT_UINT:
            return u"INT UNSIGNED";
        case VT_I8:
            return u"BIGINT";
        case VT_UI8:
            return u"BIGINT UNSIGNED";
        case VT_R4:
            return u"FLOAT";
        case VT_R8:
            return u"DOUBLE";
        case VT_CY:
            return u"DECIMAL(19,4)";
        case VT_DECIMAL: {
            const int precision = (flags >> 8) & 0xFF;
            const int scale = flags & 0xFF;
            if (precision == 0) {
                return u"DOUBLE";
            }
            tk_trace(1, "Scale/precision for decimal column: (%d, %d)", scale, precision);
            char text[32];
            std::snprintf(text, sizeof text, "DECIMAL(%d,%d)", precision, scale);
            return tk_widen_ascii(text);
        }
        case VT_DATE:
            switch (flags) {
                case 0:
                    return u"CHAR(19)";
                case 1:
                    return u"DATETIME";
                case 2:
                    return u"DATE";
                case 3:
                    return u"TIME";
                default:
                    TK_FAIL();
            }
        case VT_BSTR: {
            tk_trace(1, "process as text");
            if (size >= 1 && size <= 255) {
                char text[32];
                std::snprintf(text, sizeof text, "VARCHAR(%d)", size);
                std::u16string type = tk_widen_ascii(text);
                if (sql_engine::instance().b_case_sensitive()) {
                    type += u" BINARY";
                }
                return type;
            }
            if (size >= 256 && size <= 65535) {
                return u"TEXT";
            }
            if (size >= 65536 && size <= 16777215) {
                return u"MEDIUMTEXT";
            }
            return u"LONGTEXT";
        }
        case VT_BLOB:
            tk_trace(1, "process as blob");
            if (size >= 1 && size <= 255) {
                return u"TINYBLOB";
            }
            if (size >= 256 && size <= 65535) {
                return u"BLOB";
            }
            if (size >= 65536 && size <= 16777215) {
                return u"MEDIUMBLOB";
            }
            return u"LONGBLOB";
        default:
            TK_FAIL();
    }
}

bool is_mysql_blob_type(int mysql_type) {
    return mysql_type >= MYSQL_TYPE_TINY_BLOB && mysql_type <= MYSQL_TYPE_BLOB;
}

VARTYPE mysql_type_to_vartype(int mysql_type, unsigned int flags) {
    const bool is_unsigned = (flags & UNSIGNED_FLAG) != 0;
    switch (mysql_type) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            return VT_DECIMAL;
        case MYSQL_TYPE_TINY:
            return is_unsigned ? VT_UI1 : VT_I1;
        case MYSQL_TYPE_SHORT:
            return is_unsigned ? VT_UI2 : VT_I2;
        case MYSQL_TYPE_LONG:
            return is_unsigned ? VT_UI4 : VT_I4;
        case MYSQL_TYPE_INT24:
            return VT_I4;
        case MYSQL_TYPE_LONGLONG:
            return is_unsigned ? VT_UI8 : VT_I8;
        case MYSQL_TYPE_FLOAT:
            return VT_R4;
        case MYSQL_TYPE_DOUBLE:
            return VT_R8;
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
        case MYSQL_TYPE_TIME:
        case MYSQL_TYPE_DATETIME:
            return VT_DATE;
        case MYSQL_TYPE_YEAR:
            return VT_UI2;
        case MYSQL_TYPE_BIT:
            return VT_BOOL;
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
            return VT_BLOB;
        default:
            return VT_BSTR;
    }
}
