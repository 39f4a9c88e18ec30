// VProgressIndicatorInfo is the record of one progress session: message,
// value, maximum, start time, extra attributes and its collector's latest
// answer, with its message text, JSON form and bag forms (whole or changes).
#pragma once

#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "runtime/VErrorBase.h"
#include "values/StBagKeyNoDefault.h"
#include "values/VUUID.h"

namespace zeft {

class IProgressInfoCollector;
class VJSONObject;
class VValueBag;
class VValueSingle;

namespace ProgressInfoKeys {
extern const StBagKeyNoDefault<uint32, VLong> fUpdateFlags;
extern const StBagKeyNoDefault<VString, VString> fMessage;
extern const StBagKeyNoDefault<int64, VLong8> fValue;
extern const StBagKeyNoDefault<int64, VLong8> fMax;
extern const StBagKeyNoDefault<uint32, VLong> fStartTime;
extern const StBagKeyNoDefault<bool, VBoolean> fCanInterrupt;
extern const StBagKeyNoDefault<uint32, VLong> fExtraInfoBagVersion;
}  // namespace ProgressInfoKeys

// Bits of "fUpdateFlags".
enum : uint32 {
  kProgressUpdateMessage = 1,
  kProgressUpdateValue = 2,
  kProgressUpdateMax = 4,
  kProgressUpdateStartTime = 8,
  kProgressUpdateCanInterrupt = 16,
  kProgressUpdateExtraInfoVersion = 32,
  kProgressUpdateExtraInfo = 64,
  kProgressUpdateAll = 1024
};

class VProgressIndicatorInfo : public VObject {
 public:
  VProgressIndicatorInfo();
  VProgressIndicatorInfo(const VProgressIndicatorInfo& other);
  ~VProgressIndicatorInfo() override;

  // The remote flag is not copied.
  VProgressIndicatorInfo& operator=(const VProgressIndicatorInfo& other);
  // Null makes a reset record keeping UUID, task id and remote flag.
  VProgressIndicatorInfo& operator=(const VProgressIndicatorInfo* other);

  void Reset();
  void _ResetStartTime();

  void SetAttribute(const VString& name, const VValueSingle& value);
  void RemoveAttribute(const VString& name);
  VValueBag* RetainExtraInfoBag() const;

  // The message with its placeholders filled; `out` untouched when empty.
  void GetMessage(VString& out) const;
  VError GetJSONObject(VJSONObject& out) const;
  // The whole record without `previous`, else only what differs from it.
  VError SaveToBag(VValueBag& bag, VString& kind, const VProgressIndicatorInfo* previous) const;
  VError LoadFromBag(const VValueBag& bag);
  void UpdateFromRemoteInfo(const VProgressIndicatorInfo& source, unsigned int updateFlags);

  // The collected object replaces the held one; the record takes a reference.
  void SetCollectedObject(VJSONObject* object);
  VJSONObject* GetCollectedObject() const { return fCollected; }

  int32 fTaskID = 0;
  VUUID fUUID;
  VString fMessage;
  int64 fValue = 0;
  int64 fMax = 0;
  uint32 fStartTime = 0;
  bool fCanInterrupt = true;
  bool fRemote = false;
  VValueBag* fExtraInfoBag = nullptr;
  uint32 fExtraInfoBagVersion = 1;
  IProgressInfoCollector* fCollector = nullptr;

 private:
  void _AssignFrom(const VProgressIndicatorInfo& other);
  void _ReplaceExtraInfo(const VValueBag* bag);

  VJSONObject* fCollected = nullptr;
};

// The 32-bit millisecond clock sessions are timed with.
uint32 ProgressClockNow();

}  // namespace zeft
