#include "values/VArrayDuration.h"

namespace zeft {

constinit const VArrayDuration::InfoType VArrayDuration::sInfo;

VArrayDuration::VArrayDuration(int32 count) : VArrayFixed(count) {}

VArrayDuration::VArrayDuration(const VArrayDuration& other) : VArrayFixed(0) { Copy(other); }

void VArrayDuration::FromDuration(const VDuration& value, int32 position) {
  SetAt(value.ConvertToMilliseconds(), position);
}

void VArrayDuration::GetDuration(VDuration& out, int32 position) const {
  out.FromNbMilliseconds(GetAt(position));
}

void VArrayDuration::FromValue(const VValueSingle& value, int32 position) {
  VDuration duration;
  value.GetDuration(duration);
  FromDuration(duration, position);
}

void VArrayDuration::GetValue(VValueSingle& out, int32 position) const {
  VDuration duration;
  GetDuration(duration, position);
  out.FromDuration(duration);
}

VValueSingle* VArrayDuration::CloneValue(int32 position) const {
  VDuration* value = new VDuration();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayDuration::CompareTo(const VValueSingle& value, bool diacritical,
                                        int32 position) const {
  VDuration duration;
  GetDuration(duration, position);
  return duration.CompareTo(value, diacritical);
}

int32 VArrayDuration::Find(const VValueSingle& value, int32 start, uint8 forward,
                           CompareMethod method) const {
  VDuration duration;
  value.GetDuration(duration);
  return Find(duration, start, forward, method);
}

int32 VArrayDuration::Find(const VDuration& value, int32 start, uint8 forward,
                           CompareMethod method) const {
  return FindNumber(value.ConvertToMilliseconds(), start, forward, method);
}

VError VArrayDuration::ReadFromStream(VStream* stream, int32 /*param*/) {
  return ReadNumbers(stream);
}

VError VArrayDuration::WriteToStream(VStream* stream, int32 param) const {
  return WriteNumbers(stream, param);
}

}  // namespace zeft
