// VRefCountedSessionInfo is an immutable snapshot of a progress indicator's
// session records, outermost first, shared by reference among readers.
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "runtime/VProgressIndicatorInfo.h"

namespace zeft {

class VRefCountedSessionInfo : public VObject, public IRefCountable {
 public:
  // Takes over the records.
  explicit VRefCountedSessionInfo(std::vector<VProgressIndicatorInfo*>&& records)
      : fRecords(std::move(records)) {}
  ~VRefCountedSessionInfo() override;
  VRefCountedSessionInfo(const VRefCountedSessionInfo&) = delete;
  VRefCountedSessionInfo& operator=(const VRefCountedSessionInfo&) = delete;

  const std::vector<VProgressIndicatorInfo*>& GetRecords() const { return fRecords; }

 private:
  const std::vector<VProgressIndicatorInfo*> fRecords;
};

// A display summary of one indicator: outermost, next-to-innermost and
// innermost records.
struct VProgressSessionInfo {
  VProgressIndicatorInfo fFirst;
  VProgressIndicatorInfo fSecond;
  VProgressIndicatorInfo fThird;
  int32 fSessionCount = 0;
  int32 fRecordCount = 0;
  float fPercentDone = 0;
  uint32 fChangeCounter = 0;
};

}  // namespace zeft
