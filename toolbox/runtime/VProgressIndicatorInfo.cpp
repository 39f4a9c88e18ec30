#include "runtime/VProgressIndicatorInfo.h"

#include <algorithm>

#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "platform/Clock.h"
#include "runtime/VTaskMgr.h"
#include "values/VBagArray.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VValueBag.h"

namespace zeft {

namespace ProgressInfoKeys {
constinit const StBagKeyNoDefault<uint32, VLong> fUpdateFlags("fUpdateFlags");
constinit const StBagKeyNoDefault<VString, VString> fMessage("fMessage");
constinit const StBagKeyNoDefault<int64, VLong8> fValue("fValue");
constinit const StBagKeyNoDefault<int64, VLong8> fMax("fMax");
constinit const StBagKeyNoDefault<uint32, VLong> fStartTime("fStartTime");
constinit const StBagKeyNoDefault<bool, VBoolean> fCanInterrupt("fCanInterrupt");
constinit const StBagKeyNoDefault<uint32, VLong> fExtraInfoBagVersion("fExtraInfoBagVersion");
}  // namespace ProgressInfoKeys

namespace {

constinit const StPackedDictionaryKey kExtraInfoElement("ExtraInfo");
// Older writers used this name; still read so their attributes survive.
constinit const StPackedDictionaryKey kLegacyExtraElement("Extra");

// The single extra-information element of `bag`, or null.
const VValueBag* FindExtraInfo(const VValueBag& bag) {
  for (const StPackedDictionaryKey* key : {&kExtraInfoElement, &kLegacyExtraElement}) {
    const VBagArray* elements = bag.GetElements(*key);
    if (elements != nullptr && elements->GetCount() > 0)
      return elements->GetCount() == 1 ? elements->GetNth(1) : nullptr;
  }
  return nullptr;
}

VValueBag* CloneOrNull(const VValueBag* bag) { return bag != nullptr ? bag->Clone() : nullptr; }

// The element holds its own reference on the clone.
void AddExtraInfo(VValueBag& bag, const VValueBag& extra) {
  VValueBag* clone = extra.Clone();
  bag.AddElement(kExtraInfoElement, clone);
  clone->Release();
}

uint32 ElapsedSince(uint32 startTime) { return ProgressClockNow() - startTime; }

// The time `elapsedMs` ago.
VTime TimeBefore(uint32 elapsedMs) {
  VTime time;
  VTime::Now(time);
  time.AddMilliseconds(-int64(elapsedMs));
  return time;
}

// Value over maximum in percent; 0 for an undetermined or empty maximum.
int64 RatePercent(int64 value, int64 max) {
  if (max <= 0) return 0;
  const double rate = double(value) / double(max) * 100.0;
  return std::max<int64>(0, int64(rate));
}

}  // namespace

uint32 ProgressClockNow() { return uint32(platform::GetCurrentTime()); }

VProgressIndicatorInfo::VProgressIndicatorInfo() : fTaskID(VTaskMgr::GetCurrentTaskID()) {
  fUUID.Regenerate();
  fExtraInfoBagVersion = 0;
  Reset();
}

VProgressIndicatorInfo::VProgressIndicatorInfo(const VProgressIndicatorInfo& other)
    : VObject(other), fRemote(other.fRemote) {
  _AssignFrom(other);
}

VProgressIndicatorInfo::~VProgressIndicatorInfo() {
  if (fExtraInfoBag != nullptr) fExtraInfoBag->Release();
  if (fCollected != nullptr) fCollected->Release();
}

VProgressIndicatorInfo& VProgressIndicatorInfo::operator=(const VProgressIndicatorInfo& other) {
  if (this != &other) _AssignFrom(other);
  return *this;
}

VProgressIndicatorInfo& VProgressIndicatorInfo::operator=(const VProgressIndicatorInfo* other) {
  if (other != nullptr) return *this = *other;
  fValue = 0;
  fMax = 0;
  fStartTime = 0;
  fMessage.Clear();
  fCanInterrupt = true;
  fExtraInfoBagVersion = 0;
  _ReplaceExtraInfo(nullptr);
  fCollector = nullptr;
  SetCollectedObject(nullptr);
  return *this;
}

void VProgressIndicatorInfo::_AssignFrom(const VProgressIndicatorInfo& other) {
  fValue = other.fValue;
  fMax = other.fMax;
  fStartTime = other.fStartTime;
  fMessage = other.fMessage;
  fCanInterrupt = other.fCanInterrupt;
  fExtraInfoBagVersion = other.fExtraInfoBagVersion;
  fTaskID = other.fTaskID;
  fUUID = other.fUUID;
  fCollector = other.fCollector;
  _ReplaceExtraInfo(other.fExtraInfoBag);
  if (other.fCollected != nullptr) other.fCollected->Retain();
  SetCollectedObject(nullptr);
  fCollected = other.fCollected;
}

void VProgressIndicatorInfo::_ReplaceExtraInfo(const VValueBag* bag) {
  VValueBag* clone = CloneOrNull(bag);
  if (fExtraInfoBag != nullptr) fExtraInfoBag->Release();
  fExtraInfoBag = clone;
}

void VProgressIndicatorInfo::SetCollectedObject(VJSONObject* object) {
  if (object != nullptr) object->Retain();
  if (fCollected != nullptr) fCollected->Release();
  fCollected = object;
}

void VProgressIndicatorInfo::Reset() {
  fValue = 0;
  fMax = 0;
  fMessage.Clear();
  _ResetStartTime();
  _ReplaceExtraInfo(nullptr);
  ++fExtraInfoBagVersion;
  fCollector = nullptr;
  SetCollectedObject(nullptr);
}

void VProgressIndicatorInfo::_ResetStartTime() { fStartTime = ProgressClockNow(); }

void VProgressIndicatorInfo::SetAttribute(const VString& name, const VValueSingle& value) {
  if (fExtraInfoBag == nullptr) fExtraInfoBag = new VValueBag;
  fExtraInfoBag->SetAttribute(StPackedDictionaryKey(name), value);
  ++fExtraInfoBagVersion;
}

void VProgressIndicatorInfo::RemoveAttribute(const VString& name) {
  if (fExtraInfoBag == nullptr) return;
  fExtraInfoBag->RemoveAttribute(StPackedDictionaryKey(name));
  ++fExtraInfoBagVersion;
}

VValueBag* VProgressIndicatorInfo::RetainExtraInfoBag() const {
  if (fExtraInfoBag != nullptr) fExtraInfoBag->Retain();
  return fExtraInfoBag;
}

void VProgressIndicatorInfo::GetMessage(VString& out) const {
  if (fMessage.IsEmpty()) return;
  const uint32 elapsed = ElapsedSince(fStartTime);
  const VTime startTime = TimeBefore(elapsed);
  VValueBag values;
  values.SetAttribute(StPackedDictionaryKey("maxValue"), VLong8(fMax));
  values.SetAttribute(StPackedDictionaryKey("curValue"), VLong8(fValue));
  values.SetAttribute(StPackedDictionaryKey("rateValue"), VLong8(RatePercent(fValue, fMax)));
  values.SetAttribute(StPackedDictionaryKey("startTime"), startTime);
  values.SetAttribute(StPackedDictionaryKey("duration"), VDuration(int64(elapsed)));
  out = fMessage;
  out.Format(&values, true);
}

VError VProgressIndicatorInfo::GetJSONObject(VJSONObject& out) const {
  out.Clear();
  VString message;
  GetMessage(message);
  const uint32 elapsed = ElapsedSince(fStartTime);
  const VTime startTime = TimeBefore(elapsed);
  VString uuid, startText;
  fUUID.GetString(uuid);
  startTime.GetStringLocalTime(startText);
  out.SetProperty("message", VJSONValue(message));
  out.SetProperty("maxValue", VJSONValue(double(fMax)));
  out.SetProperty("currentValue", VJSONValue(double(fValue)));
  out.SetProperty("interruptible", VJSONValue(fCanInterrupt ? JSON_true : JSON_false));
  out.SetProperty("remote", VJSONValue(fRemote ? JSON_true : JSON_false));
  out.SetProperty("uuid", VJSONValue(uuid));
  out.SetProperty("taskId", VJSONValue(double(fTaskID)));
  out.SetProperty("startTime", VJSONValue(startText));
  out.SetProperty("duration", VJSONValue(double(elapsed)));
  if (fCollected != nullptr) out.MergeWith(fCollected, false);
  return VE_OK;
}

VError VProgressIndicatorInfo::SaveToBag(VValueBag& bag, VString& kind,
                                         const VProgressIndicatorInfo* previous) const {
  namespace K = ProgressInfoKeys;
  kind = "VProgressIndicatorInfo";
  if (previous == nullptr) {
    K::fUpdateFlags.Set(bag, kProgressUpdateAll);
    K::fMessage.Set(bag, this->fMessage);
    K::fValue.Set(bag, this->fValue);
    K::fMax.Set(bag, this->fMax);
    K::fStartTime.Set(bag, this->fStartTime);
    K::fCanInterrupt.Set(bag, this->fCanInterrupt);
    K::fExtraInfoBagVersion.Set(bag, this->fExtraInfoBagVersion);
    if (fExtraInfoBag != nullptr) AddExtraInfo(bag, *fExtraInfoBag);
    return VE_OK;
  }
  uint32 flags = 0;
  if (!this->fMessage.EqualToString(previous->fMessage, false)) {
    K::fMessage.Set(bag, this->fMessage);
    flags |= kProgressUpdateMessage;
  }
  if (this->fValue != previous->fValue) {
    K::fValue.Set(bag, this->fValue);
    flags |= kProgressUpdateValue;
  }
  if (this->fMax != previous->fMax) {
    K::fMax.Set(bag, this->fMax);
    flags |= kProgressUpdateMax;
  }
  if (this->fStartTime != previous->fStartTime) {
    K::fStartTime.Set(bag, this->fStartTime);
    flags |= kProgressUpdateStartTime;
  }
  if (this->fCanInterrupt != previous->fCanInterrupt) {
    K::fCanInterrupt.Set(bag, this->fCanInterrupt);
    flags |= kProgressUpdateCanInterrupt;
  }
  if (this->fExtraInfoBagVersion != previous->fExtraInfoBagVersion) {
    K::fExtraInfoBagVersion.Set(bag, this->fExtraInfoBagVersion);
    flags |= kProgressUpdateExtraInfoVersion;
    if (fExtraInfoBag != nullptr) {
      AddExtraInfo(bag, *fExtraInfoBag);
      flags |= kProgressUpdateExtraInfo;
    }
  }
  K::fUpdateFlags.Set(bag, flags);
  return VE_OK;
}

VError VProgressIndicatorInfo::LoadFromBag(const VValueBag& bag) {
  namespace K = ProgressInfoKeys;
  uint32 flags = kProgressUpdateAll;
  K::fUpdateFlags.Get(bag, flags);
  const bool whole = (flags & kProgressUpdateAll) != 0;
  if (whole || (flags & kProgressUpdateMessage) != 0) {
    if (!K::fMessage.Get(bag, this->fMessage)) this->fMessage.Clear();
  }
  if (whole || (flags & kProgressUpdateValue) != 0) K::fValue.Get(bag, this->fValue);
  if (whole || (flags & kProgressUpdateMax) != 0) K::fMax.Get(bag, this->fMax);
  if (whole || (flags & kProgressUpdateCanInterrupt) != 0)
    K::fCanInterrupt.Get(bag, this->fCanInterrupt);
  if (whole || (flags & kProgressUpdateStartTime) != 0) K::fStartTime.Get(bag, this->fStartTime);
  if (whole || (flags & kProgressUpdateExtraInfoVersion) != 0)
    K::fExtraInfoBagVersion.Get(bag, this->fExtraInfoBagVersion);
  if (whole || (flags & kProgressUpdateExtraInfo) != 0) _ReplaceExtraInfo(FindExtraInfo(bag));
  return VE_OK;
}

void VProgressIndicatorInfo::UpdateFromRemoteInfo(const VProgressIndicatorInfo& source,
                                                  unsigned int updateFlags) {
  if ((updateFlags & kProgressUpdateAll) != 0) {
    *this = source;
    return;
  }
  if ((updateFlags & kProgressUpdateMessage) != 0) fMessage = source.fMessage;
  if ((updateFlags & kProgressUpdateValue) != 0) fValue = source.fValue;
  if ((updateFlags & kProgressUpdateMax) != 0) fMax = source.fMax;
  if ((updateFlags & kProgressUpdateCanInterrupt) != 0) fCanInterrupt = source.fCanInterrupt;
  if ((updateFlags & kProgressUpdateExtraInfoVersion) != 0)
    fExtraInfoBagVersion = source.fExtraInfoBagVersion;
  if ((updateFlags & kProgressUpdateExtraInfo) != 0) _ReplaceExtraInfo(source.fExtraInfoBag);
}

}  // namespace zeft
