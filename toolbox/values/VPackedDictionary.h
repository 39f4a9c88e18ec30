// The element store of a bag: a packed dictionary that maps each element
// name to one VBagArray, of which it holds one reference.
#pragma once

#include <vector>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "values/StBagStreamBudget.h"
#include "values/VPackedDictionary_base.h"

namespace zeft {

class VBagArray;
class VStream;

// Selects the packed dictionary of bag arrays.
struct VPackedValue_VBagArray {};

template <class VALUE>
struct _VPackedDictionary_slot;

template <>
struct _VPackedDictionary_slot<VPackedValue_VBagArray> {
  uint64 fKeyOffset = 0;
  // One reference held, or null.
  VBagArray* fBagArray = nullptr;
};

template <class VALUE>
class VPackedDictionary;

template <>
class VPackedDictionary<VPackedValue_VBagArray>
    : public VPackedDictionary_base<_VPackedDictionary_slot<VPackedValue_VBagArray>> {
 public:
  using Slot = _VPackedDictionary_slot<VPackedValue_VBagArray>;

  VPackedDictionary() = default;
  // A deep copy: every array is a new one holding copies of the source's
  // bags, so the copy shares no sub-bag.
  VPackedDictionary(const VPackedDictionary& other);
  VPackedDictionary& operator=(const VPackedDictionary&) = delete;
  // Releases every array.
  ~VPackedDictionary() override;

  // Finds the key or appends it; stores `array` (retained) in place of the
  // previous one (released). False when the key cannot be stored.
  bool SetValue(const StPackedDictionaryKey& key, VBagArray* array);
  // The array of the key, not retained; null when absent.
  VBagArray* GetValue(const StPackedDictionaryKey& key) const;
  VBagArray* GetNthValue(size_t index) const { return fSlots[index].fBagArray; }
  // Releases the key's array and removes the key.
  void Remove(const StPackedDictionaryKey& key);
  // Keeps the same names and arrays in the order of `order` (0-based slot
  // indexes, each once).
  bool Reorder(const std::vector<size_t>& order);

  // Element block: keys block, then each array's minimal form. Reading is
  // bounded: `depth` is the nesting level of the bag that owns the store.
  VError WriteToStream(VStream* stream, bool withIndex) const;
  VError ReadFromStream(VStream* stream, int32 depth, StBagStreamBudget& budget);

 private:
  void _ReleaseAll();
};

}  // namespace zeft
