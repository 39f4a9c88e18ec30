#include "values/VArrayByte.h"

namespace zeft {

constinit const VArrayByte::InfoType VArrayByte::sInfo;

int32 VArrayByte::Find(const VValueSingle& value, int32 start, uint8 forward,
                       CompareMethod method) const {
  return FindNumber(int8(value.GetWord()), start, forward, method);
}

}  // namespace zeft
