// EMessageLevel is the level of a log record. Each level is also a bit
// position in a logger's level mask (bit n set: records of level n are
// accepted), and has a word that log lines show.
#pragma once

#include "core/VTypes.h"

namespace zeft {

enum EMessageLevel : int32 {
  kMessageLevelDump = 0,
  kMessageLevelTrace = 1,
  kMessageLevelAssert = 2,
  kMessageLevelDebug = 3,
  kMessageLevelInfo = 4,
  kMessageLevelWarning = 5,
  kMessageLevelError = 6,
  kMessageLevelFatal = 7
};

// The level of a record that carries no "level" attribute.
inline constexpr EMessageLevel kDefaultMessageLevel = kMessageLevelInfo;

// Levels 4 ("INFO") to 7 ("FATAL"): what a new logger accepts.
inline constexpr uint32 kDefaultMessageLevelMask = 0xF0;

// The mask bit of a level: bit (level modulo 32).
constexpr uint32 MessageLevelMaskBit(EMessageLevel level) {
  return uint32(1) << (uint32(level) % 32);
}

// "DUMP", "TRACE", "ASSERT", "DEBUG", "INFO", "WARN", "ERROR", "FATAL" for
// levels 0 to 7; "INFO" for any other value.
constexpr const char* GetMessageLevelWord(EMessageLevel level) {
  switch (level) {
    case kMessageLevelDump:
      return "DUMP";
    case kMessageLevelTrace:
      return "TRACE";
    case kMessageLevelAssert:
      return "ASSERT";
    case kMessageLevelDebug:
      return "DEBUG";
    case kMessageLevelInfo:
      return "INFO";
    case kMessageLevelWarning:
      return "WARN";
    case kMessageLevelError:
      return "ERROR";
    case kMessageLevelFatal:
      return "FATAL";
  }
  return "INFO";
}

}  // namespace zeft
