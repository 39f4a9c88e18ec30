#include "values/VArrayTime.h"

namespace zeft {

constinit const VArrayTime::InfoType VArrayTime::sInfo;

VArrayTime::VArrayTime(int32 count) : VArrayFixed(count) {}

VArrayTime::VArrayTime(const VArrayTime& other) : VArrayFixed(0) { Copy(other); }

void VArrayTime::FromTime(const VTime& value, int32 position) { SetAt(value.GetStamp(), position); }

void VArrayTime::GetTime(VTime& out, int32 position) const {
  if (ValidIndex(position)) out.FromStamp(At(position - 1));
}

void VArrayTime::FromValue(const VValueSingle& value, int32 position) {
  VTime time;
  time.FromValue(value);
  FromTime(time, position);
}

void VArrayTime::GetValue(VValueSingle& out, int32 position) const {
  VTime time;
  GetTime(time, position);
  out.FromTime(time);
}

VValueSingle* VArrayTime::CloneValue(int32 position) const {
  VTime* value = new VTime();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayTime::CompareTo(const VValueSingle& value, bool diacritical,
                                    int32 position) const {
  VTime time;
  GetTime(time, position);
  return time.CompareTo(value, diacritical);
}

int32 VArrayTime::Find(const VValueSingle& value, int32 start, uint8 forward,
                       CompareMethod method) const {
  VTime time;
  value.GetTime(time);
  return Find(time, start, forward, method);
}

int32 VArrayTime::Find(const VTime& value, int32 start, uint8 forward, CompareMethod method) const {
  return FindNumber(value.GetStamp(), start, forward, method);
}

VError VArrayTime::ReadFromStream(VStream* stream, int32 /*param*/) { return ReadNumbers(stream); }

VError VArrayTime::WriteToStream(VStream* stream, int32 param) const {
  return WriteNumbers(stream, param);
}

}  // namespace zeft
