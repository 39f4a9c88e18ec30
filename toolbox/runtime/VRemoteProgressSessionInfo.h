// VRemoteProgressSessionInfo describes a progress indicator's sessions to a
// mirror in another process: the whole stack or only the current session,
// the versions that tell the mirror what changed, and the abort and
// interruptible states. After the first transfer only what changed is sent.
#pragma once

#include <deque>

#include "core/VObject.h"
#include "runtime/VErrorBase.h"
#include "runtime/VProgressIndicatorInfo.h"

namespace zeft {

class VString;
class VValueBag;

// Bits of `fFlags`: which parts are present.
enum : uint32 {
  kRemoteProgressSessionCount = 1,
  kRemoteProgressChangesVersion = 2,
  kRemoteProgressSessionVersion = 4,
  kRemoteProgressMasterSessionVersion = 8,
  kRemoteProgressUserAbort = 16,
  kRemoteProgressCanInterrupt = 32,
  kRemoteProgressCurrentSession = 64,
  kRemoteProgressSessionStack = 128
};

class VRemoteProgressSessionInfo : public VObject {
 public:
  VRemoteProgressSessionInfo() = default;
  // Null gives the empty value. The current update flags are not copied.
  explicit VRemoteProgressSessionInfo(const VRemoteProgressSessionInfo* other);
  VRemoteProgressSessionInfo(const VRemoteProgressSessionInfo& other)
      : VRemoteProgressSessionInfo(&other) {}
  VRemoteProgressSessionInfo& operator=(const VRemoteProgressSessionInfo& other);

  void Reset();
  // Fills a reset value: the whole stack when `saved` is given, else only
  // the current record (when a session is open).
  void FromProgressInfo(const VProgressIndicatorInfo* current,
                        const std::deque<VProgressIndicatorInfo>* saved, int sessionCount,
                        unsigned int changesVersion, unsigned int sessionVersion,
                        unsigned int masterSessionVersion);

  // "DistantSessionInfo"; the current session as changes against
  // `previous` when it describes the same depth.
  VError SaveToBag(VValueBag& bag, VString& kind, const VRemoteProgressSessionInfo* previous) const;
  // A part whose key is missing is dropped from `fFlags`.
  VError LoadFromBag(const VValueBag& bag);

  // Outermost first; only the current session when `fFlags` has bit 64.
  const std::deque<VProgressIndicatorInfo>& GetRecords() const { return fRecords; }
  uint32 GetCurrentUpdateFlags() const { return fCurrentUpdateFlags; }

  int32 fSessionCount = 0;
  uint32 fChangesVersion = 0;
  uint32 fMasterSessionVersion = 0;
  uint32 fSessionVersion = 0;
  bool fUserAbort = false;
  bool fCanInterrupt = false;
  uint32 fFlags = 0;

 private:
  std::deque<VProgressIndicatorInfo> fRecords;
  uint32 fCurrentUpdateFlags = 0;
};

}  // namespace zeft
