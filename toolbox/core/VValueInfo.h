// VValueInfo is the registered descriptor of one value kind: it creates
// values of that kind from nothing or from stored (packed) bytes, and
// compares and byte-swaps stored bytes without building a value. One
// static descriptor exists per value class; the registry maps kinds to
// descriptors.
#pragma once

#include <cstddef>
#include <map>
#include <type_traits>

#include "core/VObject.h"
#include "core/VTypes.h"
#include "core/VValue.h"

namespace zeft {

class VBlob;
class VCompareOptions;

class VValueInfo : public VObject {
 public:
  // A descriptor registers itself. The toolbox's own descriptors are
  // constant-initialised statics, usable before any constructor runs: the
  // registry lists them itself (RegisterBuiltinValueKinds), so that values
  // made during static initialisation find their kind.
  constexpr explicit VValueInfo(uint16 kind) : VValueInfo(kind, kind) {}
  constexpr VValueInfo(uint16 kind, uint16 registeredKind)
      : fKind(kind), fRegisteredKind(registeredKind) {
    if (!std::is_constant_evaluated()) VValue::RegisterValueInfo(this);
  }
  // Removes this descriptor's registered kind from the registry.
  ~VValueInfo() override;

  VValueInfo(const VValueInfo&) = delete;
  VValueInfo& operator=(const VValueInfo&) = delete;

  // The kind that values of this class report.
  uint16 GetKind() const { return fKind; }
  // The key under which this descriptor is registered.
  uint16 GetRegisteredKind() const { return fRegisteredKind; }

  // A new value of the kind (owned by the caller): not null (null for the
  // empty kind), dirty. The blob is for kinds that live in one.
  virtual VValue* Generate() const = 0;
  virtual VValue* Generate(VBlob* blob) const = 0;
  // A new value built from the kind's stored bytes at `data`.
  virtual VValue* LoadFromPtr(const void* data, bool refOnly) const = 0;
  // Swaps the stored bytes of one value in place; returns the address just
  // behind them.
  virtual void* ByteSwapPtr(void* data, bool fromNative) const = 0;

  // Comparisons of two stored values; the base answers equal.
  virtual CompareResult CompareTwoPtrToData(const void* data1, const void* data2,
                                            bool diacritical) const;
  virtual CompareResult CompareTwoPtrToDataBegining(const void* data1, const void* data2,
                                                    bool diacritical) const;
  virtual CompareResult CompareTwoPtrToData_Like(const void* data1, const void* data2,
                                                 bool diacritical) const;
  virtual CompareResult CompareTwoPtrToDataBegining_Like(const void* data1, const void* data2,
                                                         bool diacritical) const;
  virtual CompareResult CompareTwoPtrToDataWithOptions(const void* data1, const void* data2,
                                                       const VCompareOptions& options) const;
  // Bytes of the stored value at `data`; the typical size of one.
  virtual size_t GetSizeOfValueDataPtr(const void* data) const;
  virtual size_t GetAvgSpace() const;

 private:
  friend class VValue;
  using Registry = std::map<uint16, const VValueInfo*>;

  // The process-wide registry, filled with the built-in kinds on first use
  // and never freed. Read without a lock at run time.
  static Registry& GetRegistry();
  // The one place where the toolbox's value kinds are registered.
  static void RegisterBuiltinValueKinds(Registry& registry);

  uint16 fKind;
  uint16 fRegisteredKind;
};

// The descriptor of a value class whose values carry no stored bytes (the
// empty value, and the bare VValue base under kind 65535).
template <class VALUE, uint16 KIND>
class VValueInfo_default : public VValueInfo {
 public:
  constexpr VValueInfo_default() : VValueInfo(KIND) {}

  VValue* Generate() const override { return new VALUE(); }
  VValue* Generate(VBlob* /*blob*/) const override { return new VALUE(); }
  VValue* LoadFromPtr(const void* data, bool refOnly) const override {
    VALUE* value = new VALUE();
    value->LoadFromPtr(data, refOnly);
    return value;
  }
  void* ByteSwapPtr(void* data, bool /*fromNative*/) const override { return data; }
};

}  // namespace zeft
