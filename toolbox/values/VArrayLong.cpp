#include "values/VArrayLong.h"

#include "core/VLong.h"

namespace zeft {

constinit const VArrayLong::InfoType VArrayLong::sInfo;

VArrayLong::VArrayLong(int32 count) : VArrayFixed(count) {}

VArrayLong::VArrayLong(const VArrayLong& other) : VArrayFixed(0) { Copy(other); }

void VArrayLong::FromLong(int32 value, int32 position) { SetAt(value, position); }

int32 VArrayLong::GetLong(int32 position) const { return GetAt(position); }

void VArrayLong::FromValue(const VValueSingle& value, int32 position) {
  FromLong(value.GetLong(), position);
}

void VArrayLong::GetValue(VValueSingle& out, int32 position) const {
  out.FromLong(GetLong(position));
}

VValueSingle* VArrayLong::CloneValue(int32 position) const {
  VLong* value = new VLong();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayLong::CompareTo(const VValueSingle& value, bool /*diacritical*/,
                                    int32 position) const {
  return CompareAt(value.GetLong(), position);
}

int32 VArrayLong::Find(const VValueSingle& value, int32 start, uint8 forward,
                       CompareMethod method) const {
  return Find(value.GetLong(), start, forward, method);
}

int32 VArrayLong::Find(int32 value, int32 start, uint8 forward, CompareMethod method) const {
  return FindNumber(value, start, forward, method);
}

VError VArrayLong::ReadFromStream(VStream* stream, int32 /*param*/) { return ReadNumbers(stream); }

VError VArrayLong::WriteToStream(VStream* stream, int32 param) const {
  return WriteNumbers(stream, param);
}

}  // namespace zeft
