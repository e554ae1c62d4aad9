// sql_exception and sql_auth_not_supported_exception: the failures of the MySQL server side.
//
// sql_exception carries the client library's last error of a connection: its text is
// mysql_error() and its code the low 16 bits of mysql_errno() combined with mysql_error_flag, so
// the error handler's table (k_mysql_error_texts) turns known numbers into advice. Level 0: the
// statement failed and the conversion may go on with the next row or table.
// sql_auth_not_supported_exception (level 1) refuses a MySQL 4.1.0 server with a password.
//
// Plain copyable values, thrown by value and caught by reference.
#pragma once

#include <cstdint>
#include <string>

#include "tk_exception.h"

struct st_mysql;

// The flag that marks an error code as a MySQL error number.
constexpr int32_t mysql_error_flag = 0x400000;

class sql_exception : public tk_exception {
public:
    // The last error of `connection` (a null connection gives error number 0). Traces
    // "sql_exception::sql_exception( msg=%s)" and "Got MySQL error code=%d" at level 2.
    explicit sql_exception(st_mysql* connection);
    // An error this side detects itself before sending, under a MySQL error number (for example
    // a statement larger than the server accepts, ER_NET_PACKET_TOO_LARGE).
    sql_exception(std::string text, uint32_t error_number);
    ~sql_exception() override;

    // The MySQL error number (the code without the flag).
    uint32_t error_number() const { return static_cast<uint32_t>(code() & 0xFFFF); }
};

class sql_auth_not_supported_exception : public tk_exception {
public:
    sql_auth_not_supported_exception();
    ~sql_auth_not_supported_exception() override;
};
