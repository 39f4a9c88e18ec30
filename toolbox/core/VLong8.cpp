#include "core/VLong8.h"

#include "core/VString.h"
#include "files/VStream.h"
#include "values/VDuration.h"

namespace zeft {

constinit const VLong8::InfoType VLong8::sInfo;

uint8 VLong8::GetBoolean() const { return fValue != 0; }
int8 VLong8::GetByte() const { return int8(fValue); }
int16 VLong8::GetWord() const { return int16(fValue); }
int32 VLong8::GetLong() const { return int32(fValue); }
int64 VLong8::GetLong8() const { return fValue; }
double VLong8::GetReal() const { return double(fValue); }
void VLong8::GetDuration(VDuration& target) const { target.FromLong8(fValue); }
void VLong8::GetString(VString& target) const { target.FromLong8(fValue); }
void VLong8::GetValue(VValueSingle& target) const { target.FromLong8(fValue); }

void VLong8::FromBoolean(uint8 value) { Store(value); }
void VLong8::FromByte(int8 value) { Store(value); }
void VLong8::FromWord(int16 value) { Store(value); }
void VLong8::FromLong(int32 value) { Store(value); }
void VLong8::FromLong8(int64 value) { Store(value); }
void VLong8::FromReal(double value) { Store(SaturatingRealToLong8(value)); }
void VLong8::FromDuration(const VDuration& duration) {
  StoreWithNullState(duration.GetLong8(), duration.IsNull());
}
void VLong8::FromString(const VString& text) {
  // A null text keeps the number and only passes on its null state.
  StoreWithNullState(text.IsNull() ? fValue : text.GetLong8(), text.IsNull());
}
void VLong8::FromValue(const VValueSingle& value) {
  StoreWithNullState(value.GetLong8(), value.IsNull());
}

CompareResult VLong8::CompareTo(const VValueSingle& other, bool) const {
  return CompareStoredScalars(fValue, other.GetLong8());
}

VError VLong8::ReadFromStream(VStream* stream, int32) {
  int64 value = 0;
  int32 count = 1;
  const VError error = stream->GetLong8s(&value, &count);
  if (count == 1) fValue = value;
  return error;
}

VError VLong8::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  return stream->PutLong8s(&fValue, 1);
}

size_t VLong8::GetStreamSpace() const { return sizeof(int64); }

}  // namespace zeft
