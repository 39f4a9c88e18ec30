// VBagArray is the ordered list of sub-bags that a bag keeps under one
// element name. It holds one reference to each bag; positions are 1-based.
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VTypes.h"
#include "values/StBagStreamBudget.h"
#include "values/VPackedDictionary.h"

namespace zeft {

class VStream;
class VString;
class VValueBag;

class VBagArray : public VObject, public IRefCountable {
 public:
  VBagArray() = default;
  // A new array of copies of every bag.
  VBagArray(const VBagArray& other);
  VBagArray& operator=(const VBagArray&) = delete;
  // Releases every bag.
  ~VBagArray() override;

  int32 GetCount() const { return int32(fBags.size()); }
  // The n-th bag, not retained; null when n is out of range.
  VValueBag* GetNth(int32 n) const;

  // Null gives false; appends and retains.
  bool AddTail(VValueBag* bag);
  // Null gives false; inserts at n clamped to 1 ... count + 1, retains.
  bool AddNth(VValueBag* bag, int32 n);
  // For a bag and 1 <= n <= count: stores it (retained) in place of the
  // n-th bag (released).
  void SetNth(VValueBag* bag, int32 n);
  // Releases and removes the n-th bag; nothing when out of range.
  void DeleteNth(int32 n);
  // Removes the first occurrence without releasing it: the caller takes
  // over the array's reference.
  void Delete(VValueBag* bag);
  // 1-based position of the first occurrence, 0 when absent.
  int32 Find(const VValueBag* bag) const;
  // The n-th bag retained; a new empty bag when n is out of range or the
  // entry is null (never null).
  VValueBag* RetainNth(int32 n) const;
  // Releases every bag and empties the array.
  void Destroy();

  // Minimal stream form: 32-bit bag count, then each bag's minimal form.
  VError WriteToStreamMinimal(VStream* stream) const;
  // Replaces the bags by those of the stream. A bag whose read fails is
  // dropped and its error returned; the bags read whole before it stay.
  VError ReadFromStreamMinimal(VStream* stream);

  // The list as a JSON array of its bags (json/VValueBagJSON.cpp); 0 or the
  // error of a bag's writer.
  VError _GetJSONString(VString& out, int& level, bool pretty, uint32 options) const;

  // Deepest nesting a stored bag may have: each level of a stream costs
  // stack while reading and afterwards.
  static constexpr int32 kMaxStreamDepth = 200;

 private:
  friend class VPackedDictionary<VPackedValue_VBagArray>;
  friend class VValueBag;
  // `depth` is the nesting level of the bags read (1 for sub-bags of the
  // top bag).
  VError _ReadFromStreamMinimal(VStream* stream, int32 depth, StBagStreamBudget& budget);

  std::vector<VValueBag*> fBags;
};

}  // namespace zeft
