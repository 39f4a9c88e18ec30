#include "core/VBoolean.h"

#include "core/VString.h"
#include "files/VStream.h"
#include "values/VDuration.h"

namespace zeft {

constinit const VBoolean::InfoType VBoolean::sInfo;

uint8 VBoolean::GetBoolean() const { return fValue; }
int8 VBoolean::GetByte() const { return int8(fValue); }
int16 VBoolean::GetWord() const { return fValue; }
int32 VBoolean::GetLong() const { return fValue; }
int64 VBoolean::GetLong8() const { return fValue; }
double VBoolean::GetReal() const { return fValue; }
void VBoolean::GetDuration(VDuration& target) const { target.FromBoolean(fValue); }
void VBoolean::GetString(VString& target) const { target.FromBoolean(fValue); }
void VBoolean::GetValue(VValueSingle& target) const { target.FromBoolean(fValue); }

void VBoolean::FromBoolean(uint8 value) { Store(value); }
void VBoolean::FromByte(int8 value) { Store(uint8(value)); }
void VBoolean::FromWord(int16 value) { Store(value != 0); }
void VBoolean::FromLong(int32 value) { Store(value != 0); }
void VBoolean::FromLong8(int64 value) { Store(value != 0); }
void VBoolean::FromReal(double value) { Store(value != 0.0); }  // NaN is true
void VBoolean::FromDuration(const VDuration& duration) {
  StoreWithNullState(duration.GetBoolean(), duration.IsNull());
}
void VBoolean::FromString(const VString& text) {
  StoreWithNullState(text.GetBoolean(), text.IsNull());
}
void VBoolean::FromValue(const VValueSingle& value) {
  StoreWithNullState(value.GetBoolean(), value.IsNull());
}

CompareResult VBoolean::CompareTo(const VValueSingle& other, bool) const {
  // Truth against truth: a byte of 2 is as true as a 1, and the answer must
  // not depend on which side holds which.
  const bool mine = fValue != 0;
  const bool theirs = other.GetBoolean() != 0;
  return mine == theirs ? kCompareEqual : mine ? kCompareBigger : kCompareLess;
}

const void* VBoolean::LoadFromPtr(const void* data, bool) {
  Store(*static_cast<const uint8*>(data) != 0);
  return static_cast<const uint8*>(data) + 1;
}

void* VBoolean::WriteToPtr(void* data, bool, size_t) const {
  *static_cast<uint8*>(data) = fValue != 0;
  return static_cast<uint8*>(data) + 1;
}

VError VBoolean::ReadFromStream(VStream* stream, int32) {
  int16 value = 0;
  int32 count = 1;
  const VError error = stream->GetWords(&value, &count);
  if (count == 1) fValue = value != 0;
  return error;
}

VError VBoolean::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  const int16 value = fValue;
  return stream->PutWords(&value, 1);
}

size_t VBoolean::GetStreamSpace() const { return 2; }

void VBoolean::GetXMLString(VString& text, uint32) const {
  text.FromCString(fValue != 0 ? "true" : "false");
}

VError VBoolean::FromJSONString(const VString& text, uint32) {
  if (!FromXMLString(text)) Store(0);
  return VE_OK;
}

bool VBoolean::FromXMLString(const VString& text) {
  // Letters compare with bit 0x20 set on each unit, so any case is taken.
  auto matches = [&text](const char* word, int32 length) {
    if (text.GetLength() != length) return false;
    const UniChar* units = text.GetCPointer();
    for (int32 i = 0; i < length; ++i) {
      if ((units[i] | 0x20) != UniChar(word[i])) return false;
    }
    return true;
  };
  const UniChar* units = text.GetCPointer();
  if (text.GetLength() == 1 && (units[0] == u'0' || units[0] == u'1')) {
    Store(units[0] == u'1');
    return true;
  }
  if (matches("true", 4)) {
    Store(1);
    return true;
  }
  if (matches("false", 5)) {
    Store(0);
    return true;
  }
  return false;
}

}  // namespace zeft
