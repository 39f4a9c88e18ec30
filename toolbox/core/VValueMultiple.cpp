#include "core/VValueMultiple.h"

namespace zeft {

void VValueMultiple::FromBoolean(uint8 value, int32 index) { FromWord(int16(value), index); }
void VValueMultiple::FromByte(int8 value, int32 index) { FromLong(value, index); }
void VValueMultiple::FromWord(int16 value, int32 index) { FromLong(value, index); }
void VValueMultiple::FromLong(int32 value, int32 index) { FromReal(double(value), index); }
void VValueMultiple::FromLong8(int64 value, int32 index) { FromReal(double(value), index); }
void VValueMultiple::FromReal(double, int32) {}
void VValueMultiple::FromString(const VString&, int32) {}
void VValueMultiple::FromDuration(const VDuration&, int32) {}
void VValueMultiple::FromTime(const VTime&, int32) {}

CompareResult VValueMultiple::CompareTo(const VValueSingle&, bool, int32) const {
  return kCompareUnordered;
}

VValue* VValueMultiple::Clone() const { return nullptr; }

}  // namespace zeft
