#include "values/VArrayBlob.h"

#include <cstring>

#include "files/VStream.h"

namespace zeft {

namespace {

// The value as a blob, or null when it is of another kind.
const VBlob* AsBlob(const VValueSingle& value) {
  return value.GetValueKind() == kValueKindBlob ? static_cast<const VBlob*>(&value) : nullptr;
}

}  // namespace

constinit const VArrayBlob::InfoType VArrayBlob::sInfo;

VArrayBlob::VArrayBlob(int32 count) : VArrayValue(sizeof(VBlobWithPtr*)) {
  if (count > 0) SetCount(count);
}

VArrayBlob::VArrayBlob(const VArrayBlob& other) : VArrayValue(sizeof(VBlobWithPtr*)) {
  Copy(other);
}

VArrayBlob::~VArrayBlob() { DeleteElements(0, fCount); }

VBlobWithPtr* VArrayBlob::_GetElement(int32 index) const {
  VBlobWithPtr* blob;
  std::memcpy(&blob, fData + size_t(index) * sizeof(VBlobWithPtr*), sizeof(VBlobWithPtr*));
  return blob;
}

void VArrayBlob::_SetElement(int32 index, VBlobWithPtr* blob) {
  std::memcpy(fData + size_t(index) * sizeof(VBlobWithPtr*), &blob, sizeof(VBlobWithPtr*));
}

const VBlobWithPtr* VArrayBlob::GetBlobPtr(int32 position) const {
  return ValidIndex(position) ? _GetElement(position - 1) : nullptr;
}

void VArrayBlob::DeleteElements(int32 from, int32 count) {
  if (from < 0 || count < 0 || fData == nullptr || from > fCount - count) return;
  for (int32 i = from; i < from + count; ++i) {
    delete _GetElement(i);
    _SetElement(i, nullptr);
  }
}

bool VArrayBlob::Copy(const VArrayValue& source) {
  if (&source == this) return true;
  if (!VArrayValue::Copy(source)) return false;
  for (int32 i = 0; i < fCount; ++i) {
    if (const VBlobWithPtr* blob = _GetElement(i)) _SetElement(i, blob->Clone());
  }
  return true;
}

void VArrayBlob::FromValue(const VValueSingle& value, int32 position) {
  const VBlob* blob = AsBlob(value);
  if (!ValidIndex(position) || blob == nullptr) return;
  if (VBlobWithPtr* element = _GetElement(position - 1)) {
    if (element->FromValueSameKind(blob)) return;
    // Another blob class: take its bytes through a copy.
    delete element;
  }
  _SetElement(position - 1, new VBlobWithPtr(*blob));
}

void VArrayBlob::GetValue(VValueSingle& out, int32 position) const {
  const VBlobWithPtr* element = ValidIndex(position) ? _GetElement(position - 1) : nullptr;
  if (element == nullptr || AsBlob(out) == nullptr || !out.FromValueSameKind(element)) {
    out.Clear();
  }
}

VValueSingle* VArrayBlob::CloneValue(int32 position) const {
  VBlobWithPtr* value = new VBlobWithPtr();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayBlob::CompareTo(const VValueSingle& value, bool /*diacritical*/,
                                    int32 position) const {
  if (!ValidIndex(position)) return kCompareLess;
  if (AsBlob(value) == nullptr) return kCompareUnordered;
  const VBlobWithPtr empty;
  const VBlobWithPtr* element = _GetElement(position - 1);
  return (element != nullptr ? element : &empty)->CompareToSameKind(&value, false);
}

int32 VArrayBlob::Find(const VValueSingle& value, int32 start, uint8 forward,
                       CompareMethod method) const {
  if (fCount == 0 || !ValidIndex(start) || AsBlob(value) == nullptr) return -1;
  if (method < kFindGreaterOrEqual || method > kFindLessOrEqual) return start;
  const VBlobWithPtr empty;
  const int32 step = forward != 0 ? 1 : -1;
  for (int32 position = start; ValidIndex(position); position += step) {
    const VBlobWithPtr* element = _GetElement(position - 1);
    if (element == nullptr) element = &empty;
    const bool found = method == kFindEqual
                           ? element->EqualToSameKind(&value, false)
                           : PassesMethod(element->CompareToSameKind(&value, false), method);
    if (found) return position;
  }
  return -1;
}

void VArrayBlob::SwapElements(uint8* data, int32 i, int32 j) {
  VBlobWithPtr** blobs = reinterpret_cast<VBlobWithPtr**>(data);
  std::swap(blobs[i], blobs[j]);
}

CompareResult VArrayBlob::CompareElements(uint8* data, int32 i, int32 j) {
  VBlobWithPtr* const* blobs = reinterpret_cast<VBlobWithPtr* const*>(data);
  const VBlobWithPtr* a = blobs[i];
  const VBlobWithPtr* b = blobs[j];
  if (a == nullptr || b == nullptr) {
    return a == b ? kCompareEqual : a == nullptr ? kCompareLess : kCompareBigger;
  }
  return a->CompareToSameKind(b, false);
}

VError VArrayBlob::WriteToStream(VStream* stream, int32 param) const {
  WriteStreamHeader(stream, param);
  const VBlobWithPtr empty;
  for (int32 i = 0; i < fCount && stream->GetLastError() == VE_OK; ++i) {
    const VBlobWithPtr* blob = _GetElement(i);
    (blob != nullptr ? blob : &empty)->WriteToStream(stream, 0);
  }
  return stream->GetLastError();
}

VError VArrayBlob::ReadFromStream(VStream* stream, int32 /*param*/) {
  int32 count = 0;
  VError error = ReadStreamCount(stream, count);
  if (error != VE_OK) return error;
  return ReadElementsInChunks(stream, count,
                              [](VArrayValue& array, VStream* s, int32 first, int32 n) -> VError {
                                VArrayBlob& blobs = static_cast<VArrayBlob&>(array);
                                for (int32 i = first; i < first + n; ++i) {
                                  VBlobWithPtr* blob = new VBlobWithPtr();
                                  blobs._SetElement(i, blob);
                                  const VError e = blob->ReadFromStream(s, 0);
                                  if (e != VE_OK) return e;
                                }
                                return s->GetLastError();
                              });
}

}  // namespace zeft
