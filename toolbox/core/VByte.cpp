#include "core/VByte.h"

#include "core/VString.h"
#include "files/VStream.h"
#include "values/VDuration.h"

namespace zeft {

constinit const VByte::InfoType VByte::sInfo;

uint8 VByte::GetBoolean() const { return fValue != 0; }
int8 VByte::GetByte() const { return fValue; }
int16 VByte::GetWord() const { return fValue; }
int32 VByte::GetLong() const { return fValue; }
int64 VByte::GetLong8() const { return fValue; }
double VByte::GetReal() const { return fValue; }
void VByte::GetDuration(VDuration& target) const { target.FromWord(fValue); }
void VByte::GetString(VString& target) const { target.FromWord(fValue); }
void VByte::GetValue(VValueSingle& target) const { target.FromWord(fValue); }

void VByte::FromBoolean(uint8 value) { Store(int8(value)); }
void VByte::FromByte(int8 value) { Store(value); }
void VByte::FromWord(int16 value) { Store(int8(value)); }
void VByte::FromLong(int32 value) { Store(int8(value)); }
void VByte::FromLong8(int64 value) { Store(int8(value)); }
void VByte::FromReal(double value) { Store(int8(SaturatingRealToLong(value))); }
void VByte::FromDuration(const VDuration& duration) {
  StoreWithNullState(int8(duration.GetWord()), duration.IsNull());
}
void VByte::FromString(const VString& text) {
  StoreWithNullState(int8(text.GetWord()), text.IsNull());
}
void VByte::FromValue(const VValueSingle& value) {
  StoreWithNullState(int8(value.GetWord()), value.IsNull());
}

CompareResult VByte::CompareTo(const VValueSingle& other, bool) const {
  return CompareStoredScalars(int32(fValue), other.GetLong());
}

VError VByte::ReadFromStream(VStream* stream, int32) {
  int16 value = 0;
  int32 count = 1;
  const VError error = stream->GetWords(&value, &count);
  if (count == 1) fValue = int8(value);
  return error;
}

VError VByte::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  const int16 value = fValue;
  return stream->PutWords(&value, 1);
}

size_t VByte::GetStreamSpace() const { return sizeof(int16); }

}  // namespace zeft
