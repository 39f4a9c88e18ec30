#include "values/VArrayString.h"

#include <cstring>

#include "files/VStream.h"
#include "values/VArraySort.h"

namespace zeft {

namespace {

constexpr int32 kMarkerString = 2;
constexpr int32 kMarkerNull = int32(FourCC("NULL"));

}  // namespace

constinit const VArrayString::InfoType VArrayString::sInfo;

VArrayString::VArrayString(int32 count) : VArrayValue(sizeof(VString*)) {
  if (count > 0) SetCount(count);
}

VArrayString::VArrayString(const VArrayString& other) : VArrayValue(sizeof(VString*)) {
  Copy(other);
}

VArrayString::~VArrayString() { DeleteElements(0, fCount); }

VString* VArrayString::_GetElement(int32 index) const {
  VString* string;
  std::memcpy(&string, fData + size_t(index) * sizeof(VString*), sizeof(VString*));
  return string;
}

void VArrayString::_SetElement(int32 index, VString* string) {
  std::memcpy(fData + size_t(index) * sizeof(VString*), &string, sizeof(VString*));
}

void VArrayString::DeleteElements(int32 from, int32 count) {
  if (from < 0 || count < 0 || fData == nullptr || from > fCount - count) return;
  for (int32 i = from; i < from + count; ++i) {
    delete _GetElement(i);
    _SetElement(i, nullptr);
  }
}

bool VArrayString::Copy(const VArrayValue& source) {
  if (&source == this) return true;
  if (!VArrayValue::Copy(source)) return false;
  for (int32 i = 0; i < fCount; ++i) {
    if (const VString* string = _GetElement(i)) _SetElement(i, string->Clone());
  }
  return true;
}

void VArrayString::FromString(const VString& value, int32 position) {
  if (!ValidIndex(position)) return;
  if (VString* string = _GetElement(position - 1)) {
    string->FromString(value);
  } else {
    _SetElement(position - 1, value.Clone());
  }
}

const VString* VArrayString::GetStringPtr(int32 position) const {
  return ValidIndex(position) ? _GetElement(position - 1) : nullptr;
}

void VArrayString::GetString(VString& out, int32 position) const {
  if (!ValidIndex(position)) {
    out.Clear();
  } else if (const VString* string = _GetElement(position - 1)) {
    out.FromString(*string);
  } else {
    out.SetNull(true);
  }
}

void VArrayString::GetValue(VValueSingle& out, int32 position) const {
  if (!ValidIndex(position)) {
    out.Clear();
  } else if (const VString* string = _GetElement(position - 1)) {
    out.FromString(*string);
  } else {
    out.Clear();
    out.SetNull(true);
  }
}

VValueSingle* VArrayString::CloneValue(int32 position) const {
  VString* string = new VString();
  GetValue(*string, position);
  return string;
}

void VArrayString::FromValue(const VValueSingle& value, int32 position) {
  VString text;
  text.FromValue(value);
  FromString(text, position);
}

CompareResult VArrayString::CompareTo(const VValueSingle& value, bool diacritical,
                                      int32 position) const {
  if (!ValidIndex(position)) return kCompareLess;
  const VString* string = _GetElement(position - 1);
  if (string == nullptr) return kCompareLess;
  VString text;
  value.GetString(text);
  return string->CompareTo(text, diacritical);
}

int32 VArrayString::Find(const VValueSingle& value, int32 start, uint8 forward,
                         CompareMethod method) const {
  VString text;
  value.GetString(text);
  return Find(text, start, forward, method);
}

int32 VArrayString::Find(const VString& value, int32 start, uint8 forward,
                         CompareMethod method) const {
  if (fCount == 0 || !ValidIndex(start)) return -1;
  if (method < kFindGreaterOrEqual || method > kFindLessOrEqual) return start;
  const int32 step = forward != 0 ? 1 : -1;
  for (int32 position = start; ValidIndex(position); position += step) {
    const VString* string = _GetElement(position - 1);
    if (string == nullptr) continue;
    const bool found = method == kFindEqual
                           ? string->EqualToString(value, false)
                           : PassesMethod(string->CompareToString(value, false), method);
    if (found) return position;
  }
  return -1;
}

int32 VArrayString::QuickFind(const VString& value) const {
  if (fData == nullptr) return -1;
  return array_sort::BinarySearch(fCount, [&](int32 index) -> int32 {
    const VString* string = _GetElement(index);
    // A null element sorts before every string.
    return string == nullptr ? kCompareBigger : value.CompareToString(*string, false);
  });
}

void VArrayString::SwapElements(uint8* data, int32 i, int32 j) {
  VString** strings = reinterpret_cast<VString**>(data);
  std::swap(strings[i], strings[j]);
}

CompareResult VArrayString::CompareElements(uint8* data, int32 i, int32 j) {
  VString* const* strings = reinterpret_cast<VString* const*>(data);
  const VString* a = strings[i];
  const VString* b = strings[j];
  if (a == nullptr || b == nullptr) {
    return a == b ? kCompareEqual : a == nullptr ? kCompareLess : kCompareBigger;
  }
  return a->CompareToString(*b, true);
}

VError VArrayString::WriteToStream(VStream* stream, int32 param) const {
  WriteStreamHeader(stream, param);
  for (int32 i = 0; i < fCount && stream->GetLastError() == VE_OK; ++i) {
    const VString* string = _GetElement(i);
    const int32 marker = string != nullptr ? kMarkerString : kMarkerNull;
    stream->PutLongs(&marker, 1);
    if (string != nullptr) string->WriteToStream(stream, 0);
  }
  return stream->GetLastError();
}

VError VArrayString::ReadFromStream(VStream* stream, int32 /*param*/) {
  int32 count = 0;
  VError error = ReadStreamCount(stream, count);
  if (error != VE_OK) return error;
  return ReadElementsInChunks(stream, count,
                              [](VArrayValue& array, VStream* s, int32 first, int32 n) -> VError {
                                VArrayString& strings = static_cast<VArrayString&>(array);
                                for (int32 i = first; i < first + n; ++i) {
                                  int32 marker = 0;
                                  int32 got = 1;
                                  VError e = s->GetLongs(&marker, &got);
                                  if (e != VE_OK) return e;
                                  if (got != 1)
                                    return ToolboxError(toolbox_error::kStreamEndOfData);
                                  if (marker != kMarkerString) continue;  // the element stays null
                                  VString* string = new VString();
                                  strings._SetElement(i, string);
                                  e = string->ReadFromStream(s, 0);
                                  if (e != VE_OK) return e;
                                }
                                return s->GetLastError();
                              });
}

}  // namespace zeft
