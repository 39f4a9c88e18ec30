// VLogRecord is the record VLogger::LogMessage queues: a log record bag that
// also holds its level, source and message as plain fields. A listener that
// reads those fields (an ILogMessageReader, the file logger's) takes the
// message without reading the bag back; the logger writes the fields into
// the bag's attributes only when some other listener will see the record.
// Records are made on the producers' tasks and dropped on the "Logger"
// task's at a high rate: when its last reference goes, a record is kept for
// a later message rather than freed, which spares the allocator that
// cross-thread traffic.
#pragma once

#include <typeinfo>
#include <vector>

#include "core/VString.h"
#include "runtime/EMessageLevel.h"
#include "values/VValueBag.h"

namespace zeft {

// Marks a log listener that reads the fields of VLogRecords itself.
class ILogMessageReader {
 public:
  virtual ~ILogMessageReader() = default;
};

class VLogRecord final : public VValueBag {
 public:
  // A kept record when there is one, else a new one; empty, and the
  // caller's reference.
  static VLogRecord* Make();
  // Releases every record; the kept ones join the spares in one step, so
  // that producers seldom find the spares' lock taken.
  static void ReleaseBatch(const std::vector<const VValueBag*>& records);
  // The record when `record` is one with its fields set, else null.
  static const VLogRecord* AsMessage(const VValueBag* record) {
    // The class is final: its exact type answers, more cheaply than a cast.
    if (record == nullptr || typeid(*record) != typeid(VLogRecord)) return nullptr;
    const auto* message = static_cast<const VLogRecord*>(record);
    return message->fIsMessage ? message : nullptr;
  }

  // Sets the fields; a null source leaves the record without one.
  void SetMessage(EMessageLevel level, const VString& message, const VString* source);
  EMessageLevel GetLevel() const { return fLevel; }
  const VString& GetMessage() const { return fMessage; }
  // False when the record has no source.
  bool HasSource() const { return fHasSource; }
  const VString& GetSource() const { return fSource; }
  // Writes the fields into the attributes ("source", "level" unless it is
  // the default, "message"), once. Only the logger calls it, on a record
  // that nobody reads meanwhile.
  void WriteAttributes() const;

 protected:
  void DoOnRefCountZero() override;

 private:
  VLogRecord() = default;

  EMessageLevel fLevel = kDefaultMessageLevel;
  bool fIsMessage = false;
  bool fHasSource = false;
  mutable bool fAttributesWritten = false;
  VString fSource;
  VString fMessage;
};

}  // namespace zeft
