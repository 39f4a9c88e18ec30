// MAPM_FloatToReal turns a decimal arbitrary-precision number record into
// the nearest double. The record, packed without padding: exponent (signed
// 32-bit), sign (signed 8-bit: 1, -1, or 0 for zero), digit count (signed
// 32-bit), then (count + 1) / 2 bytes each holding two decimal digits as a
// number 0-99, tens first. It stands for 0.d1d2d3... x 10^exponent.
#pragma once

namespace zeft {

// NaN when the record is malformed (a nonzero sign without digits, or a
// digit byte above 99).
double MAPM_FloatToReal(const void* number);

}  // namespace zeft
