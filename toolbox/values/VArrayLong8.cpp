#include "values/VArrayLong8.h"

#include "core/VLong8.h"

namespace zeft {

constinit const VArrayLong8::InfoType VArrayLong8::sInfo;

VArrayLong8::VArrayLong8(int32 count) : VArrayFixed(count) {}

VArrayLong8::VArrayLong8(const VArrayLong8& other) : VArrayFixed(0) { Copy(other); }

void VArrayLong8::FromLong8(int64 value, int32 position) { SetAt(value, position); }

int64 VArrayLong8::GetLong8(int32 position) const { return GetAt(position); }

void VArrayLong8::FromValue(const VValueSingle& value, int32 position) {
  FromLong8(value.GetLong8(), position);
}

void VArrayLong8::GetValue(VValueSingle& out, int32 position) const {
  out.FromLong8(GetLong8(position));
}

VValueSingle* VArrayLong8::CloneValue(int32 position) const {
  VLong8* value = new VLong8();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayLong8::CompareTo(const VValueSingle& value, bool /*diacritical*/,
                                     int32 position) const {
  return CompareAt(value.GetLong8(), position);
}

int32 VArrayLong8::Find(const VValueSingle& value, int32 start, uint8 forward,
                        CompareMethod method) const {
  return Find(value.GetLong8(), start, forward, method);
}

int32 VArrayLong8::Find(int64 value, int32 start, uint8 forward, CompareMethod method) const {
  return FindNumber(value, start, forward, method);
}

VError VArrayLong8::ReadFromStream(VStream* stream, int32 /*param*/) { return ReadNumbers(stream); }

VError VArrayLong8::WriteToStream(VStream* stream, int32 param) const {
  return WriteNumbers(stream, param);
}

}  // namespace zeft
