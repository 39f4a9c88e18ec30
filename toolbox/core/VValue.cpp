#include "core/VValue.h"

#include "core/VEmpty.h"
#include "core/VValueInfo.h"
#include "files/VStream.h"

namespace zeft {

// Registry ----------------------------------------------------------------

void VValue::RegisterValueInfo(const VValueInfo* info) {
  VValueInfo::GetRegistry()[info->GetRegisteredKind()] = info;
}

void VValue::UnregisterValueInfo(const VValueInfo* info) {
  VValueInfo::GetRegistry().erase(info->GetRegisteredKind());
}

const VValueInfo* VValue::ValueInfoFromValueKind(uint16 kind) {
  const VValueInfo::Registry& registry = VValueInfo::GetRegistry();
  auto found = registry.find(kind);
  return found == registry.end() ? nullptr : found->second;
}

VValue* VValue::NewValueFromValueKind(uint16 kind) {
  const VValueInfo* info = ValueInfoFromValueKind(kind);
  return info == nullptr ? nullptr : info->Generate();
}

// Flags -------------------------------------------------------------------

void VValue::SetNull(bool isNull) {
  if (IsNull() == isNull) return;
  SetFlag(kFlagNull, isNull);
  DoNullChanged();
  // DoNullChanged may have touched the flags; the requested state wins.
  SetFlag(kFlagNull, isNull);
  if (!IsDirty()) {
    fFlags |= kFlagDirty;
    DoDirtyChanged();
  }
}

void VValue::SetDirty(bool isDirty) {
  if (IsDirty() == isDirty) return;
  SetFlag(kFlagDirty, isDirty);
  DoDirtyChanged();
}

uint16 VValue::GetValueKind() const { return GetValueInfo()->GetKind(); }

// Defaults ----------------------------------------------------------------

namespace {
// The descriptor of the bare base, built and registered on first use.
using BaseValueInfo = VValueInfo_default<VEmpty, kValueKindVValue>;

const BaseValueInfo* GetBaseValueInfo() {
  static const BaseValueInfo sInfo;
  static const bool sRegistered = (VValue::RegisterValueInfo(&sInfo), true);
  (void)sRegistered;
  return &sInfo;
}
}  // namespace

const VValueInfo* VValue::GetValueInfo() const { return GetBaseValueInfo(); }

void VValue::Clear() {}

const VValueSingle* VValue::IsVValueSingle() const { return nullptr; }
VValueSingle* VValue::IsVValueSingle() { return nullptr; }

CompareResult VValue::CompareToSameKindWithOptions(const VValue*, const VCompareOptions&) const {
  return kCompareEqual;
}
bool VValue::EqualToSameKindWithOptions(const VValue* other, const VCompareOptions& options) const {
  return CompareToSameKindWithOptions(other, options) == kCompareEqual;
}
CompareResult VValue::CompareToSameKindPtrWithOptions(const void*, const VCompareOptions&) const {
  return kCompareEqual;
}
bool VValue::EqualToSameKindPtrWithOptions(const void* data, const VCompareOptions& options) const {
  return CompareToSameKindPtrWithOptions(data, options) == kCompareEqual;
}
CompareResult VValue::Swap_CompareToSameKindPtrWithOptions(const void* data,
                                                           const VCompareOptions& options) const {
  return InvertCompResult(CompareToSameKindPtrWithOptions(data, options));
}

CompareResult VValue::CompareToSameKind(const VValue*, bool) const { return kCompareEqual; }
CompareResult VValue::CompareBeginingToSameKind(const VValue* other, bool diacritical) const {
  return CompareToSameKind(other, diacritical);
}
bool VValue::EqualToSameKind(const VValue* other, bool diacritical) const {
  return CompareToSameKind(other, diacritical) == kCompareEqual;
}
bool VValue::FromValueSameKind(const VValue*) { return false; }

CompareResult VValue::CompareToSameKindPtr(const void*, bool) const { return kCompareEqual; }
CompareResult VValue::Swap_CompareToSameKindPtr(const void* data, bool diacritical) const {
  return InvertCompResult(CompareToSameKindPtr(data, diacritical));
}
CompareResult VValue::CompareBeginingToSameKindPtr(const void* data, bool diacritical) const {
  return CompareToSameKindPtr(data, diacritical);
}
CompareResult VValue::IsTheBeginingToSameKindPtr(const void* data, bool diacritical) const {
  return CompareToSameKindPtr(data, diacritical);
}
bool VValue::EqualToSameKindPtr(const void* data, bool diacritical) const {
  return CompareToSameKindPtr(data, diacritical) == kCompareEqual;
}

CompareResult VValue::CompareToSameKind_Like(const VValue* other, bool diacritical) const {
  return CompareToSameKind(other, diacritical);
}
CompareResult VValue::CompareBeginingToSameKind_Like(const VValue* other, bool diacritical) const {
  return CompareBeginingToSameKind(other, diacritical);
}
bool VValue::EqualToSameKind_Like(const VValue* other, bool diacritical) const {
  return EqualToSameKind(other, diacritical);
}
CompareResult VValue::CompareToSameKindPtr_Like(const void* data, bool diacritical) const {
  return CompareToSameKindPtr(data, diacritical);
}
CompareResult VValue::Swap_CompareToSameKindPtr_Like(const void* data, bool diacritical) const {
  return InvertCompResult(CompareToSameKindPtr(data, diacritical));
}
CompareResult VValue::CompareBeginingToSameKindPtr_Like(const void* data, bool diacritical) const {
  return CompareBeginingToSameKindPtr(data, diacritical);
}
CompareResult VValue::IsTheBeginingToSameKindPtr_Like(const void* data, bool diacritical) const {
  return IsTheBeginingToSameKindPtr(data, diacritical);
}
bool VValue::EqualToSameKindPtr_Like(const void* data, bool diacritical) const {
  return EqualToSameKindPtr(data, diacritical);
}
bool VValue::Swap_EqualToSameKindPtr_Like(const void* data, bool diacritical) const {
  return EqualToSameKindPtr(data, diacritical);
}

const void* VValue::LoadFromPtr(const void* data, bool) { return data; }
void* VValue::WriteToPtr(void* data, bool, size_t) const { return data; }
size_t VValue::GetSpace(size_t) const { return 0; }

bool VValue::CanBeStreamed() const { return false; }

size_t VValue::GetFullSpaceOnDisk(uint64& outSize) const {
  const size_t space = GetSpace(0);
  outSize = space;
  return space;
}

VError VValue::ReadFromStream(VStream* stream, int32) { return stream->GetLastError(); }
VError VValue::WriteToStream(VStream* stream, int32) const { return stream->GetLastError(); }
size_t VValue::GetStreamSpace() const { return GetSpace(0); }

VError VValue::Flush(void*, void*) const { return VE_OK; }
void VValue::SetReservedBlobNumber(int32) {}
VValue* VValue::FullyClone(bool) const { return Clone(); }
void VValue::RestoreFromPop(void*) {}
void VValue::Detach(bool) {}
bool VValue::WillContainBlobData() const { return false; }
void VValue::SetOutsidePath(const VString&, bool) {}
void VValue::GetOutsidePath(VString&, bool*) {}
void VValue::SetOutsideSuffixe(const VString&) {}
bool VValue::IsOutsidePath() { return false; }
VError VValue::ReloadFromOutsidePath() { return VE_OK; }
bool VValue::ForcePathIfEmpty() const { return false; }
void VValue::SetForcePathIfEmpty(bool) {}
void VValue::SetHintRecNum(int32, int32, int32, bool) {}
void VValue::AssociateRecord(void*, int32) {}
bool VValue::HasInternalPropertyChanged() const { return false; }
void VValue::ResetInternalPropertyChanged() {}
void VValue::AddJSONStamp() {}
VError VValue::ReadRawFromStream(VStream* stream, int32 param) {
  return ReadFromStream(stream, param);
}
VBlob* VValue::GetDataBlob() const { return nullptr; }
bool VValue::CanBeEvaluated() const { return true; }

void VValue::DoNullChanged() {}
void VValue::DoDirtyChanged() {}

}  // namespace zeft
