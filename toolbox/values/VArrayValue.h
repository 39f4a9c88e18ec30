// VArrayValue is the base of the typed value arrays: an ordered, growable
// list of elements of one type in one exactly-sized data block, addressed
// by 1-based positions. It is a value (VValueMultiple) and a sortable
// collection (ISortable). The base moves bytes (resize, insert, delete,
// move, copy, append); each typed array supplies element access, search,
// comparison and the stream form of its elements.
#pragma once

#include <cstddef>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "core/VValueInfo.h"
#include "core/VValueMultiple.h"
#include "values/ISortable.h"

namespace zeft {

class VDuration;
class VStream;
class VString;
class VTime;
class VValueSingle;

// The test of a search, element against value.
using CompareMethod = int32;
inline constexpr CompareMethod kFindGreaterOrEqual = -2;
inline constexpr CompareMethod kFindGreater = -1;
inline constexpr CompareMethod kFindEqual = 0;
inline constexpr CompareMethod kFindLess = 1;
inline constexpr CompareMethod kFindLessOrEqual = 2;

class VArrayValue : public VValueMultiple, public ISortable {
 public:
  static constexpr int32 kTagArray = int32(FourCC("varr"));
  static constexpr int32 kTagSort = int32(FourCC("sort"));
  // The parameter of WriteToStream that puts a kind word before the count.
  static constexpr int32 kStreamParamWithKind = int32(FourCC("VVAL"));

  ~VArrayValue() override;

  VArrayValue& operator=(const VArrayValue&) = delete;

  // The kind of one element.
  virtual uint16 GetElemValueKind() const = 0;

  // A negative count is taken as 0. Shrinking releases the elements that
  // go; growing adds zeroed elements. False when the block cannot be had
  // or the size would not fit: the array is then left as it was.
  virtual bool SetCount(int32 count);
  // Inserts `count` initialised elements before `position` (1 to count + 1;
  // count + 1 appends). False, with nothing changed, for a position or count
  // out of range or when the array cannot grow.
  virtual bool Insert(int32 position, int32 count);
  // Removes `count` elements from `position`. False, with nothing changed,
  // unless the whole range lies within 1 to the count.
  virtual bool Delete(int32 position, int32 count);
  // The position of the first element from `start` (towards the end when
  // `forward` is not 0, else towards 1) that passes `method`; -1 when none.
  virtual int32 Find(const VValueSingle& value, int32 start, uint8 forward,
                     CompareMethod method) const = 0;
  // Sorts positions from to to (both included); nothing unless
  // 1 <= from < to <= count.
  virtual void Sort(int32 from, int32 to, uint8 descending);
  // A fixed scrambling of the order that depends only on the count.
  virtual void Unsort();
  // Element access through single values; nothing / neutral outside 1 to
  // the count.
  virtual void FromValue(const VValueSingle& value, int32 position) = 0;
  virtual void GetValue(VValueSingle& value, int32 position) const = 0;
  // A new single value holding the element, owned by the caller.
  virtual VValueSingle* CloneValue(int32 position) const = 0;
  // Makes this array a copy of `source`, which must hold the same element
  // kind (false otherwise, nothing changed). Copying an array onto itself
  // does nothing.
  virtual bool Copy(const VArrayValue& source);

  // ISortable: the data block (null when there is none).
  uint8* LockAndGetData() const override;
  void UnlockData() const override;

  // Byte-level element operations on 0-based indexes.
  // Moves `count` elements from `from` to `to` (overlap allowed); nothing
  // unless both ranges lie within the count.
  virtual void MoveElements(int32 from, int32 to, int32 count);
  // Releases what the elements own before their bytes go.
  virtual void DeleteElements(int32 from, int32 count);
  // Gives new elements their initial content (zero bytes).
  virtual void InitElements(int32 from, int32 count);

  // VValue
  void Clear() override;
  // Arrays have no flat stored form: both return `data` unchanged.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;

  int32 GetCount() const override { return fCount; }
  bool ValidIndex(int32 position) const { return position >= 1 && position <= fCount; }
  // Resizes the block to `bytes` without touching the count; false when it
  // cannot be had (0 bytes always succeeds).
  bool SetDataSize(int32 bytes);
  uint32 GetDataSize() const { return fDataSize; }
  uint32 GetElemSize() const { return fElemSize; }
  void Destroy() { SetCount(0); }

  // Sorts `first` and permutes every further array alike; the further
  // arguments are VArrayValue* ended by a null pointer. False, with
  // nothing sorted, when `first` is null or a further array does not hold
  // exactly as many elements as `first`.
  static bool SynchronizedSort(uint8 descending, VArrayValue* first, ...);

  // Append one element and set it through the indexed setter of the type;
  // each returns the new count (unchanged when the array cannot grow).
  int32 AppendBoolean(uint8 value);
  int32 AppendByte(int8 value);
  int32 AppendWord(int16 value);
  int32 AppendLong(int32 value);
  int32 AppendLong8(int64 value);
  int32 AppendReal(double value);
  int32 AppendString(const VString& value);
  int32 AppendDuration(const VDuration& value);
  int32 AppendTime(const VTime& value);

 protected:
  // A new empty array, not null and dirty.
  explicit VArrayValue(uint32 elemSize);

  // Bytes of the block for `count` elements; above UINT32_MAX means the
  // count cannot be held.
  virtual uint64 GetDataSizeFor(int32 count) const;
  // Resizes the block to hold `count` elements (new bytes zeroed) and sets
  // the count; the old block and count stay when it fails.
  bool ResizeBlock(int32 count);

  // The shared frame of the stream form: the optional kind word and the
  // count.
  VError WriteStreamHeader(VStream* stream, int32 param) const;
  // Reads the count; a negative count is refused with error
  // kArrayStreamCorrupted, and the array is left as it was.
  VError ReadStreamCount(VStream* stream, int32& outCount);
  // Reads `count` elements into positions 1 to count through `readChunk`,
  // which reads the 0-based elements first to first + n - 1 into the
  // resized array. The array grows a bounded chunk at a time so that a
  // forged count cannot allocate more than the stream delivers; it is
  // emptied when the read fails.
  using ChunkReader = VError (*)(VArrayValue& array, VStream* stream, int32 first, int32 n);
  VError ReadElementsInChunks(VStream* stream, int32 count, ChunkReader readChunk);
  // Elements per chunk; the bit array keeps it a multiple of 8.
  virtual int32 GetReadChunkCount() const;

  // A comparison of `method` against the element order result `r` of
  // element versus value.
  static bool PassesMethod(CompareResult r, CompareMethod method);

  uint32 fElemSize;
  int32 fCount;
  uint8* fData;
  uint32 fDataSize;
};

// The descriptor of an array class: new values are empty arrays (arrays
// have no stored bytes to load).
template <class ARRAY, uint16 KIND, class ELEM>
class VValueInfo_array : public VValueInfo_default<ARRAY, KIND> {
 public:
  using ElementType = ELEM;
  constexpr VValueInfo_array() = default;
  VValue* LoadFromPtr(const void* /*data*/, bool /*refOnly*/) const override { return new ARRAY(); }
};

}  // namespace zeft
