#include "values/VArrayByte.h"

#include "core/VByte.h"

namespace zeft {

constinit const VArrayByte::InfoType VArrayByte::sInfo;

VArrayByte::VArrayByte(int32 count) : VArrayFixed(count) {}

VArrayByte::VArrayByte(const VArrayByte& other) : VArrayFixed(0) { Copy(other); }

void VArrayByte::FromByte(int8 value, int32 position) { SetAt(value, position); }

int8 VArrayByte::GetByte(int32 position) const { return GetAt(position); }

void VArrayByte::FromValue(const VValueSingle& value, int32 position) {
  FromByte(value.GetByte(), position);
}

void VArrayByte::GetValue(VValueSingle& out, int32 position) const {
  out.FromByte(GetByte(position));
}

VValueSingle* VArrayByte::CloneValue(int32 position) const {
  VByte* value = new VByte();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayByte::CompareTo(const VValueSingle& value, bool /*diacritical*/,
                                    int32 position) const {
  return CompareAt(value.GetByte(), position);
}

int32 VArrayByte::Find(const VValueSingle& value, int32 start, uint8 forward,
                       CompareMethod method) const {
  // The value's word, of which the low 8 bits are kept.
  return Find(int8(value.GetWord()), start, forward, method);
}

int32 VArrayByte::Find(int8 value, int32 start, uint8 forward, CompareMethod method) const {
  return FindNumber(value, start, forward, method);
}

VError VArrayByte::ReadFromStream(VStream* stream, int32 /*param*/) { return ReadNumbers(stream); }

VError VArrayByte::WriteToStream(VStream* stream, int32 param) const {
  return WriteNumbers(stream, param);
}

}  // namespace zeft
