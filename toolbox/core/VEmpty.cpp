#include "core/VEmpty.h"

namespace zeft {

constinit const VEmpty::InfoType VEmpty::sInfo;

const VValueInfo* VEmpty::GetValueInfo() const { return &sInfo; }

VValue* VEmpty::Clone() const { return new VEmpty(*this); }

CompareResult VEmpty::CompareTo(const VValueSingle&, bool) const { return kCompareUnordered; }

}  // namespace zeft
