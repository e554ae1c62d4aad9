// Number rules of OLE Automation that are not about DECIMAL: doubles to integers, text to
// doubles, and the printed forms of floating-point numbers.
//
// The double-to-integer rules (VarI1FromR8, VarI2FromR8, VarI4FromR8 and their unsigned twins)
// round to the nearest integer, halves to the even neighbour, and fail with OLE_DISP_E_OVERFLOW
// when the result is out of the target's range (NaN too), leaving the output unchanged.
// Everything is locale-independent (English (United States) rules), so a process locale set by a
// front end does not change any text.
//
// Pure functions: usable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ole_types.h"

ole_hresult ole_var_i1_from_r8(double value, int8_t& out) noexcept;
ole_hresult ole_var_i2_from_r8(double value, int16_t& out) noexcept;
ole_hresult ole_var_i4_from_r8(double value, int32_t& out) noexcept;
ole_hresult ole_var_ui1_from_r8(double value, uint8_t& out) noexcept;
ole_hresult ole_var_ui2_from_r8(double value, uint16_t& out) noexcept;
ole_hresult ole_var_ui4_from_r8(double value, uint32_t& out) noexcept;

// Text to double by the OLE number grammar (VarR8FromStr; see ole_var_dec_from_str).
ole_hresult ole_var_r8_from_str(std::string_view text, double& out);

// printf "%.<precision>e" with at least three exponent digits ("%.15e" of 1.5 gives
// "1.500000000000000e+000"). Writes at most ole_float_text_max characters, returns the count.
constexpr size_t ole_float_text_max = 48;
size_t ole_format_e(double value, int precision, char* out) noexcept;
// The text OLE Automation gives a float converted to a string (VarBstrFromR8 "%.15G",
// VarBstrFromR4 "%.7G"): "1.5", "1E+20", "1E-05".
size_t ole_format_g(double value, int precision, char* out) noexcept;

// C library readings of text, without the locale: atof (white space, sign, digits, '.', exponent,
// stops at the first other character, 0 when nothing is read) and atoi (saturating as strtol,
// then cut to int).
double ole_atof(std::string_view text) noexcept;
int32_t ole_atoi(std::string_view text) noexcept;
