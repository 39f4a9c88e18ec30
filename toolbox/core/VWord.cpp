#include "core/VWord.h"

#include "core/VString.h"
#include "files/VStream.h"
#include "values/VDuration.h"

namespace zeft {

constinit const VWord::InfoType VWord::sInfo;

uint8 VWord::GetBoolean() const { return fValue != 0; }
int8 VWord::GetByte() const { return int8(fValue); }
int16 VWord::GetWord() const { return fValue; }
int32 VWord::GetLong() const { return fValue; }
int64 VWord::GetLong8() const { return fValue; }
double VWord::GetReal() const { return fValue; }
void VWord::GetDuration(VDuration& target) const { target.FromWord(fValue); }
void VWord::GetString(VString& target) const { target.FromWord(fValue); }
void VWord::GetValue(VValueSingle& target) const { target.FromWord(fValue); }

void VWord::FromBoolean(uint8 value) { Store(value); }
void VWord::FromByte(int8 value) { Store(value); }
void VWord::FromWord(int16 value) { Store(value); }
void VWord::FromLong(int32 value) { Store(int16(value)); }
void VWord::FromLong8(int64 value) { Store(int16(value)); }
void VWord::FromReal(double value) { Store(int16(SaturatingRealToLong(value))); }
void VWord::FromDuration(const VDuration& duration) {
  StoreWithNullState(duration.GetWord(), duration.IsNull());
}
void VWord::FromString(const VString& text) {
  StoreWithNullState(int16(text.GetLong()), text.IsNull());
}
void VWord::FromValue(const VValueSingle& value) {
  StoreWithNullState(value.GetWord(), value.IsNull());
}

CompareResult VWord::CompareTo(const VValueSingle& other, bool) const {
  return CompareStoredScalars(int32(fValue), other.GetLong());
}

VError VWord::ReadFromStream(VStream* stream, int32) {
  int16 value = 0;
  int32 count = 1;
  const VError error = stream->GetWords(&value, &count);
  if (count == 1) fValue = value;
  return error;
}

VError VWord::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  return stream->PutWords(&fValue, 1);
}

size_t VWord::GetStreamSpace() const { return sizeof(int16); }

}  // namespace zeft
