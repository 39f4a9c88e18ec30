#include "core/VLong.h"

#include "core/VString.h"
#include "files/VStream.h"
#include "values/VDuration.h"

namespace zeft {

constinit const VLong::InfoType VLong::sInfo;

uint8 VLong::GetBoolean() const { return fValue != 0; }
int8 VLong::GetByte() const { return int8(fValue); }
int16 VLong::GetWord() const { return int16(fValue); }
int32 VLong::GetLong() const { return fValue; }
int64 VLong::GetLong8() const { return fValue; }
double VLong::GetReal() const { return fValue; }
void VLong::GetDuration(VDuration& target) const { target.FromLong(fValue); }
void VLong::GetString(VString& target) const { target.FromLong(fValue); }
void VLong::GetValue(VValueSingle& target) const { target.FromLong(fValue); }

void VLong::FromBoolean(uint8 value) { Store(value); }
void VLong::FromByte(int8 value) { Store(value); }
void VLong::FromWord(int16 value) { Store(value); }
void VLong::FromLong(int32 value) { Store(value); }
void VLong::FromLong8(int64 value) { Store(int32(value)); }
void VLong::FromReal(double value) { Store(SaturatingRealToLong(value)); }
void VLong::FromDuration(const VDuration& duration) {
  StoreWithNullState(duration.GetLong(), duration.IsNull());
}
void VLong::FromString(const VString& text) { StoreWithNullState(text.GetLong(), text.IsNull()); }
void VLong::FromValue(const VValueSingle& value) {
  StoreWithNullState(value.GetLong(), value.IsNull());
}

CompareResult VLong::CompareTo(const VValueSingle& other, bool) const {
  return CompareStoredScalars(fValue, other.GetLong());
}

VError VLong::ReadFromStream(VStream* stream, int32) {
  int32 value = 0;
  int32 count = 1;
  const VError error = stream->GetLongs(&value, &count);
  if (count == 1) fValue = value;
  return error;
}

VError VLong::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  return stream->PutLongs(&fValue, 1);
}

size_t VLong::GetStreamSpace() const { return sizeof(int32); }

}  // namespace zeft
