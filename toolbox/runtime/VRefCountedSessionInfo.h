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
  // Takes over the records; the indicator's change counter and sessions
  // version when they were copied.
  VRefCountedSessionInfo(std::vector<VProgressIndicatorInfo*>&& records, uint32 changeCounter,
                         uint32 sessionsVersion)
      : fRecords(std::move(records)),
        fChangeCounter(changeCounter),
        fSessionsVersion(sessionsVersion) {}
  ~VRefCountedSessionInfo() override;
  VRefCountedSessionInfo(const VRefCountedSessionInfo&) = delete;
  VRefCountedSessionInfo& operator=(const VRefCountedSessionInfo&) = delete;

  const std::vector<VProgressIndicatorInfo*>& GetRecords() const { return fRecords; }
  uint32 GetChangeCounter() const { return fChangeCounter; }
  uint32 GetSessionsVersion() const { return fSessionsVersion; }

 private:
  const std::vector<VProgressIndicatorInfo*> fRecords;
  const uint32 fChangeCounter;
  const uint32 fSessionsVersion;
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
