#include "runtime/VRemoteProgressSessionInfo.h"

#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constinit const StBagKeyNoDefault<uint32, VLong> kFlags("fFlags");
constinit const StBagKeyNoDefault<int32, VLong> kSessionCount("fSessionCount");
constinit const StBagKeyNoDefault<uint32, VLong> kChangesVersion("fChangesVersion");
constinit const StBagKeyNoDefault<uint32, VLong> kSessionVersion("fSessionVersion");
constinit const StBagKeyNoDefault<uint32, VLong> kMasterSessionVersion("fMasterSessionVersion");
constinit const StBagKeyNoDefault<bool, VBoolean> kUserAbort("fUserAbort");
constinit const StPackedDictionaryKey kCurrentElement("fCurrent");
constinit const StPackedDictionaryKey kSessionStackElement("fSessionStack");

VValueBag* NewRecordBag(const VProgressIndicatorInfo& record,
                        const VProgressIndicatorInfo* previous) {
  auto* bag = new VValueBag;
  VString kind;
  record.SaveToBag(*bag, kind, previous);
  return bag;
}

// Reads the key when its bit is set; a missing key drops the bit.
template <class Key, class T>
void ReadPart(const VValueBag& bag, const Key& key, uint32 bit, uint32& flags, T& out) {
  if ((flags & bit) != 0 && !key.Get(bag, out)) flags &= ~bit;
}

}  // namespace

VRemoteProgressSessionInfo::VRemoteProgressSessionInfo(const VRemoteProgressSessionInfo* other) {
  if (other != nullptr) *this = *other;
}

VRemoteProgressSessionInfo& VRemoteProgressSessionInfo::operator=(
    const VRemoteProgressSessionInfo& other) {
  if (this == &other) return *this;
  fSessionCount = other.fSessionCount;
  fRecords = other.fRecords;
  fChangesVersion = other.fChangesVersion;
  fMasterSessionVersion = other.fMasterSessionVersion;
  fSessionVersion = other.fSessionVersion;
  fUserAbort = other.fUserAbort;
  fCanInterrupt = other.fCanInterrupt;
  fFlags = other.fFlags;
  return *this;
}

void VRemoteProgressSessionInfo::Reset() {
  fFlags = 0;
  fSessionCount = 0;
  fChangesVersion = 0;
  fMasterSessionVersion = 0;
  fSessionVersion = 0;
  fUserAbort = false;
  fCanInterrupt = false;
  fRecords.clear();
}

void VRemoteProgressSessionInfo::FromProgressInfo(const VProgressIndicatorInfo* current,
                                                  const std::deque<VProgressIndicatorInfo>* saved,
                                                  int sessionCount, unsigned int changesVersion,
                                                  unsigned int sessionVersion,
                                                  unsigned int masterSessionVersion) {
  fFlags |= kRemoteProgressSessionCount | kRemoteProgressChangesVersion |
            kRemoteProgressSessionVersion | kRemoteProgressMasterSessionVersion;
  fSessionCount = sessionCount;
  fChangesVersion = changesVersion;
  fSessionVersion = sessionVersion;
  fMasterSessionVersion = masterSessionVersion;
  if (saved != nullptr) {
    fFlags |= kRemoteProgressSessionStack;
    fRecords = *saved;
    if (current != nullptr) fRecords.push_back(*current);
  } else if (current != nullptr && sessionCount >= 1) {
    // Replaces rather than appends, so a value filled again never grows.
    fRecords.assign(1, *current);
    fFlags |= kRemoteProgressCurrentSession;
  }
}

VError VRemoteProgressSessionInfo::SaveToBag(VValueBag& bag, VString& kind,
                                             const VRemoteProgressSessionInfo* previous) const {
  kind = "DistantSessionInfo";
  kFlags.Set(bag, fFlags);
  if ((fFlags & kRemoteProgressSessionCount) != 0) kSessionCount.Set(bag, fSessionCount);
  if ((fFlags & kRemoteProgressChangesVersion) != 0) kChangesVersion.Set(bag, fChangesVersion);
  if ((fFlags & kRemoteProgressSessionVersion) != 0) kSessionVersion.Set(bag, fSessionVersion);
  if ((fFlags & kRemoteProgressMasterSessionVersion) != 0)
    kMasterSessionVersion.Set(bag, fMasterSessionVersion);
  if ((fFlags & kRemoteProgressUserAbort) != 0) kUserAbort.Set(bag, fUserAbort);
  if ((fFlags & kRemoteProgressCanInterrupt) != 0)
    ProgressInfoKeys::fCanInterrupt.Set(bag, fCanInterrupt);
  if ((fFlags & kRemoteProgressCurrentSession) != 0) {
    if (fRecords.empty()) return VE_OK;
    const bool asChanges = previous != nullptr && previous->fSessionCount >= 0 &&
                           previous->fSessionCount == fSessionCount && !previous->fRecords.empty();
    VValueBag* current =
        NewRecordBag(fRecords.back(), asChanges ? &previous->fRecords.back() : nullptr);
    bag.AddElement(kCurrentElement, current);
    current->Release();
  } else if ((fFlags & kRemoteProgressSessionStack) != 0) {
    auto* stack = new VBagArray;
    for (const VProgressIndicatorInfo& record : fRecords) {
      VValueBag* element = NewRecordBag(record, nullptr);
      stack->AddTail(element);
      element->Release();
    }
    bag.SetElements(kSessionStackElement, stack);
    stack->Release();
  }
  return VE_OK;
}

VError VRemoteProgressSessionInfo::LoadFromBag(const VValueBag& bag) {
  fRecords.clear();
  fCurrentUpdateFlags = 0;
  fFlags = 0;
  kFlags.Get(bag, fFlags);
  ReadPart(bag, kSessionCount, kRemoteProgressSessionCount, fFlags, fSessionCount);
  ReadPart(bag, kChangesVersion, kRemoteProgressChangesVersion, fFlags, fChangesVersion);
  ReadPart(bag, kSessionVersion, kRemoteProgressSessionVersion, fFlags, fSessionVersion);
  ReadPart(bag, kMasterSessionVersion, kRemoteProgressMasterSessionVersion, fFlags,
           fMasterSessionVersion);
  ReadPart(bag, kUserAbort, kRemoteProgressUserAbort, fFlags, fUserAbort);
  ReadPart(bag, ProgressInfoKeys::fCanInterrupt, kRemoteProgressCanInterrupt, fFlags,
           fCanInterrupt);
  if ((fFlags & kRemoteProgressCurrentSession) != 0) {
    const VBagArray* current = bag.GetElements(kCurrentElement);
    if (current != nullptr && current->GetCount() == 1) {
      const VValueBag& element = *current->GetNth(1);
      fRecords.emplace_back().LoadFromBag(element);
      ProgressInfoKeys::fUpdateFlags.Get(element, fCurrentUpdateFlags);
    }
  } else if ((fFlags & kRemoteProgressSessionStack) != 0) {
    if (const VBagArray* stack = bag.GetElements(kSessionStackElement)) {
      for (int32 i = 1; i <= stack->GetCount(); ++i)
        fRecords.emplace_back().LoadFromBag(*stack->GetNth(i));
    }
  }
  return VE_OK;
}

}  // namespace zeft
