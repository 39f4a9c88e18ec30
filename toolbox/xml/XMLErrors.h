// The "xmlc" error records of the XML layer: a parse problem with the
// library's message and its position in the document.
#pragma once

#include <cstdint>

#include "core/VErrorCodes.h"

namespace zeft {

class VString;

namespace xml_error {
inline constexpr int32 kRecoverable = 2;
inline constexpr int32 kFatal = 3;
}  // namespace xml_error

// Pushes "xmlc" `number` on the calling task's error stack with the
// parameters "message", "systemID", "publicID", "line" and "column".
void PushXMLError(int32 number, const VString& message, const VString& systemID,
                  const VString& publicID, uint64_t line, uint64_t column);

}  // namespace zeft
