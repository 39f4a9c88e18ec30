// The attribute store of a bag: a packed dictionary whose values live
// flattened in one buffer of 16-bit words (per entry: the value kind, the
// value's raw form, a padding byte to the next word). A value object is
// made only when one is asked for and is then cached in its slot; while a
// cached value may differ from its stored entry the store "needs pack".
#pragma once

#include <vector>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "values/VPackedDictionary_base.h"

namespace zeft {

class VStream;
class VValueInfo;
class VValueSingle;

// Selects the packed dictionary of single values.
struct VPackedValue_VValueSingle {};

template <class VALUE>
struct _VPackedDictionary_with_backstore_slot;

template <>
struct _VPackedDictionary_with_backstore_slot<VPackedValue_VValueSingle> {
  // Offset of the key's length byte in the key buffer.
  uint64 fKeyOffset = 0;
  // Offset, in words, of the entry in the backstore.
  uint64 fValueOffset = 0;
  // Owned; when set it is the value and the entry may be stale.
  VValueSingle* fCachedValue = nullptr;
  // The entry holds a null value: a raw form cannot tell a null from an
  // empty value, so the slot keeps the flag. The stream form has room for
  // it in strings only (a null string's length is written 0xFFFFFFFF);
  // other null values are written and read back as their empty value.
  bool fNull = false;
};

template <class VALUE>
class VPackedDictionary_with_backstore;

template <>
class VPackedDictionary_with_backstore<VPackedValue_VValueSingle>
    : public VPackedDictionary_base<
          _VPackedDictionary_with_backstore_slot<VPackedValue_VValueSingle>> {
 public:
  using Slot = _VPackedDictionary_with_backstore_slot<VPackedValue_VValueSingle>;
  // The backstore's word count is stored in 32 bits.
  static constexpr size_t kMaxBackstoreWords = 0xFFFFFFFF;

  VPackedDictionary_with_backstore() = default;
  // A packed copy: the source is packed first, the copy has no cached
  // value and shares nothing with it.
  VPackedDictionary_with_backstore(const VPackedDictionary_with_backstore& other);
  VPackedDictionary_with_backstore& operator=(const VPackedDictionary_with_backstore& other);
  ~VPackedDictionary_with_backstore() override;

  // Adds an entry without looking for an existing one (callers look
  // first). False when the key is invalid or memory runs out.
  bool Append(const StPackedDictionaryKey& key, const VValueSingle& value);
  // False when the key is absent; otherwise replaces the value.
  bool SetExistingValue(const StPackedDictionaryKey& key, const VValueSingle& value);
  // False when the key is absent; otherwise the stored value, converted to
  // out's kind, and null when it is null (out is left alone for a kind
  // that is not registered).
  bool GetValue(const StPackedDictionaryKey& key, VValueSingle& out) const;
  // Removes the entry when present.
  void Clear(const StPackedDictionaryKey& key);
  // Removes every entry.
  void RemoveAll();
  // The same, keeping the buffers' room for a store filled again soon.
  void RemoveAllKeepingRoom();

  // The value object of the slot at the 0-based index, loaded and cached
  // when needed; null when its kind is not registered or not a single
  // value.
  const VValueSingle* GetNthValue(size_t index) const;
  // The same, for a change the caller makes in place: the store will pack.
  VValueSingle* GetNthValueForChange(size_t index);
  // Puts `value` (adopted) in the slot instead of its value.
  void ReplaceNthValue(size_t index, VValueSingle* value);
  // Kind of the stored entry (or of the cached value) of a slot.
  uint16 GetNthValueKind(size_t index) const;

  // Brings the backstore up to date with the cached values.
  void _Pack() const;
  bool NeedsPack() const { return fNeedsPack; }
  void SetNeedsPack() { fNeedsPack = true; }

  // Attribute block: keys block, word count, backstore (packed first; the
  // words in memory never change). Both return the stream's error, or the
  // reason a stored block was refused; a refused block leaves the store
  // empty.
  VError WriteToStream(VStream* stream, bool withIndex) const;
  VError ReadFromStream(VStream* stream);

  // For diagnostics and tests.
  const std::vector<uint16>& GetBackstore() const { return fBackstore; }
  uint64 GetNthValueOffset(size_t index) const { return fSlots[index].fValueOffset; }

 private:
  // Byte count of a stored entry: kind word and raw form.
  size_t _GetFlatSize(size_t index) const;
  // Word count of a slot's entry (to the next slot's entry).
  size_t _GetEntryWords(size_t index) const;
  // Writes kind and raw form at the slot's offset, and its null flag.
  void _WriteEntry(size_t index, const VValueSingle& value) const;
  // Whether the slot is a null string, written with the null marker.
  bool _IsMarkedNullString(size_t index) const;
  // Loads the slot's value object into its cache when possible.
  VValueSingle* _LoadCachedValue(size_t index) const;
  void _DeleteCachedValues();
  VError _ReadBackstore(VStream* stream);

  mutable std::vector<uint16> fBackstore;
  mutable bool fNeedsPack = false;
};

}  // namespace zeft
