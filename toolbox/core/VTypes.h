// Fixed-width integer names and the UTF-16 code unit used throughout the
// toolbox. Every other header builds on these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zeft {

using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;
using uint8 = std::uint8_t;
using uint16 = std::uint16_t;
using uint32 = std::uint32_t;
using uint64 = std::uint64_t;

// One UTF-16 code unit; string lengths, positions and capacities count these.
using UniChar = char16_t;

}  // namespace zeft
