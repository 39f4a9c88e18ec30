// VEmpty is the value of kind 0: no datum, null from the start, with no
// order against any other value. It is also what the bare VValue base's
// descriptor (kind 65535) generates.
#pragma once

#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

namespace zeft {

class VEmpty : public VValueSingle {
 public:
  using InfoType = VValueInfo_default<VEmpty, kValueKindEmpty>;
  static const InfoType sInfo;

  VEmpty() : VValueSingle(kFlagNull | kFlagDirty) {}
  VEmpty(const VEmpty&) = default;
  VEmpty& operator=(const VEmpty&) = default;

  const VValueInfo* GetValueInfo() const override;
  VValue* Clone() const override;
  bool CanBeEvaluated() const override { return false; }
  // Always kCompareUnordered.
  CompareResult CompareTo(const VValueSingle& other, bool diacritical) const override;
};

}  // namespace zeft
