#include "values/VArrayWord.h"

#include "core/VWord.h"

namespace zeft {

constinit const VArrayWord::InfoType VArrayWord::sInfo;

VArrayWord::VArrayWord(int32 count) : VArrayFixed(count) {}

VArrayWord::VArrayWord(const VArrayWord& other) : VArrayFixed(0) { Copy(other); }

void VArrayWord::FromWord(int16 value, int32 position) { SetAt(value, position); }

int16 VArrayWord::GetWord(int32 position) const { return GetAt(position); }

void VArrayWord::FromValue(const VValueSingle& value, int32 position) {
  FromWord(value.GetWord(), position);
}

void VArrayWord::GetValue(VValueSingle& out, int32 position) const {
  out.FromWord(GetWord(position));
}

VValueSingle* VArrayWord::CloneValue(int32 position) const {
  VWord* value = new VWord();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayWord::CompareTo(const VValueSingle& value, bool /*diacritical*/,
                                    int32 position) const {
  return CompareAt(value.GetWord(), position);
}

int32 VArrayWord::Find(const VValueSingle& value, int32 start, uint8 forward,
                       CompareMethod method) const {
  return Find(value.GetWord(), start, forward, method);
}

int32 VArrayWord::Find(int16 value, int32 start, uint8 forward, CompareMethod method) const {
  return FindNumber(value, start, forward, method);
}

VError VArrayWord::ReadFromStream(VStream* stream, int32 /*param*/) { return ReadNumbers(stream); }

VError VArrayWord::WriteToStream(VStream* stream, int32 param) const {
  return WriteNumbers(stream, param);
}

}  // namespace zeft
