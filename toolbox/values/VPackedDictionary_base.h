// VPackedDictionary_base keeps the keys of a packed dictionary: every key
// back to back in one byte buffer (a length byte, then the UTF-8 bytes), one
// slot per key in insertion order, and a hash index that exists only from
// 6 keys on. The attribute store and the element store of a bag derive from
// it with their own slot types.
#pragma once

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VTypes.h"
#include "files/VStream.h"
#include "values/StPackedDictionaryKey.h"
#include "values/StreamFields.h"
#include "values/VHashKeyMap.h"

namespace zeft {

template <class SLOT>
class VPackedDictionary_base : public VObject {
 public:
  // From this many keys on, lookups go through a hash index.
  static constexpr size_t kIndexThreshold = 6;
  // Slot indexes are 32-bit and 0xFFFFFFFF marks an empty bucket.
  static constexpr size_t kMaxSlots = 0xFFFFFFFE;
  // The key buffer's size is stored in 32 bits.
  static constexpr size_t kMaxKeyBufferSize = 0xFFFFFFFF;

  size_t GetCount() const { return fSlots.size(); }
  bool IsEmpty() const { return fSlots.empty(); }

  // The key text of the slot at the 0-based index.
  const char* GetKeyText(size_t index, size_t& outLength) const {
    const size_t offset = size_t(fSlots[index].fKeyOffset);
    outLength = fKeys[offset];
    return reinterpret_cast<const char*>(fKeys.data() + offset + 1);
  }
  // A key that borrows the slot's text; valid until the dictionary changes.
  StPackedDictionaryKey GetKey(size_t index) const {
    size_t length = 0;
    const char* text = GetKeyText(index, length);
    return StPackedDictionaryKey(text, length, StPackedDictionaryKey::BorrowTag{});
  }
  // 0-based index of the slot holding the key, or GetCount().
  size_t FindIndex(const StPackedDictionaryKey& key) const { return _Find(key); }

  // For diagnostics and tests.
  const std::vector<uint8>& GetKeyBuffer() const { return fKeys; }
  bool HasHashIndex() const { return !fHashMap.IsEmpty(); }
  size_t GetHashBucketCount() const { return fHashMap.GetBucketCount(); }

 protected:
  VPackedDictionary_base() = default;
  // Copies keys and slots; the copy starts without an index.
  VPackedDictionary_base(const VPackedDictionary_base& other)
      : VObject(), fKeys(other.fKeys), fSlots(other.fSlots) {}
  VPackedDictionary_base& operator=(const VPackedDictionary_base&) = delete;

  size_t _Find(const StPackedDictionaryKey& key) const {
    const size_t count = fSlots.size();
    if (!key.IsValid()) return count;
    _BuildIndexIfNeeded();
    if (fHashMap.IsEmpty()) {
      for (size_t i = 0; i < count; ++i) {
        if (_SlotHasKey(i, key)) return i;
      }
      return count;
    }
    const uint32 start = fHashMap.GetHomeBucket(key.GetHash());
    if (start == _VHashKeyMap::kEmptyBucket) return count;
    for (size_t i = start; i < count; ++i) {
      if (_SlotHasKey(i, key)) return i;
    }
    for (size_t i = 0; i < start && i < count; ++i) {
      if (_SlotHasKey(i, key)) return i;
    }
    return count;
  }

  // Appends the key and a default slot holding its key offset, which the
  // caller then fills (a slot copied in would be read back before the
  // caller's stores have landed: a stall on every append); returns the new
  // slot's index, or GetCount() with nothing changed when the key is
  // invalid, a limit is reached or memory runs out.
  size_t _AppendKeyAndSlot(const StPackedDictionaryKey& key) {
    const size_t count = fSlots.size();
    const size_t length = key.GetKeyLength();
    if (!key.IsValid() || length > StPackedDictionaryKey::kMaxLength || count >= kMaxSlots ||
        fKeys.size() + 1 + length > kMaxKeyBufferSize) {
      return count;
    }
    const size_t oldKeySize = fKeys.size();
    try {
      // Room ahead for a few more keys: small dictionaries grow in one or
      // two steps instead of one per key.
      if (fKeys.capacity() < oldKeySize + 1 + length) {
        fKeys.reserve(std::max<size_t>({2 * fKeys.capacity(), oldKeySize + 1 + length, 64}));
      }
      if (fSlots.capacity() == count) fSlots.reserve(std::max<size_t>(2 * count, 4));
      fKeys.push_back(uint8(length));
      fKeys.insert(fKeys.end(), key.GetKeyText(), key.GetKeyText() + length);
      fSlots.emplace_back().fKeyOffset = oldKeySize;
    } catch (const std::bad_alloc&) {
      fKeys.resize(oldKeySize);
      fSlots.resize(count);
      return count;
    }
    if (!fHashMap.IsEmpty() && !fHashMap.Put(key.GetHash(), uint32(count))) {
      _RebuildIndex();
    }
    return count;
  }

  // Cuts the slot's key out of the buffer, shifts the later key offsets,
  // removes the slot and drops the index.
  void _RemoveKeyAndSlot(size_t index) {
    const size_t offset = size_t(fSlots[index].fKeyOffset);
    const size_t bytes = size_t(fKeys[offset]) + 1;
    fKeys.erase(fKeys.begin() + offset, fKeys.begin() + offset + bytes);
    for (size_t i = index + 1; i < fSlots.size(); ++i) fSlots[i].fKeyOffset -= bytes;
    fSlots.erase(fSlots.begin() + index);
    fHashMap.Clear();
  }

  // Empties keys, slots and index (the caller disposes of slot contents).
  void _ClearKeys() {
    std::vector<uint8>().swap(fKeys);
    std::vector<SLOT>().swap(fSlots);
    fHashMap.Clear();
  }

  void _BuildIndexIfNeeded() const {
    if (fHashMap.IsEmpty() && fSlots.size() >= kIndexThreshold) _RebuildIndex();
  }

  // A fresh index holding every slot; none when memory runs out.
  bool _RebuildIndex() const {
    if (!fHashMap.Rebuild(fSlots.size())) return false;
    for (size_t i = 0; i < fSlots.size(); ++i) {
      size_t length = 0;
      const char* text = GetKeyText(i, length);
      if (!fHashMap.Put(StPackedDictionaryKey::GetHashCode(text, length), uint32(i))) {
        fHashMap.Clear();
        return false;
      }
    }
    return true;
  }

  // Keys block: key count, key buffer size, key buffer, index flag and,
  // with flag 1, the index.
  VError _WriteKeysToStream(VStream* stream, bool withIndex) const {
    PutStreamUInt32(stream, uint32(fSlots.size()));
    PutStreamUInt32(stream, uint32(fKeys.size()));
    if (!fKeys.empty()) stream->PutData(fKeys.data(), fKeys.size());
    if (withIndex) _BuildIndexIfNeeded();
    if (withIndex && !fHashMap.IsEmpty()) {
      stream->PutByte(1);
      fHashMap.WriteToStream(stream);
    } else {
      stream->PutByte(0);
    }
    return stream->GetLastError();
  }

  // Reads a keys block into an empty dictionary. Every count, length and
  // bucket is checked; slots get their key offsets and are otherwise
  // default-made. On failure the dictionary is left empty.
  VError _ReadKeysFromStream(VStream* stream) {
    _ClearKeys();
    VError error = _ReadKeys(stream);
    if (error != VE_OK) _ClearKeys();
    return error;
  }

 private:
  // Data that arrives in bigger pieces than this is read piece by piece,
  // so that a stored size alone never reserves memory.
  static constexpr size_t kReadChunk = 64 * 1024;

  bool _SlotHasKey(size_t index, const StPackedDictionaryKey& key) const {
    size_t length = 0;
    const char* text = GetKeyText(index, length);
    return key.Equals(text, length);
  }

  VError _ReadKeys(VStream* stream) {
    uint32 keyCount = 0;
    uint32 keyBytes = 0;
    VError error = GetStreamUInt32(stream, keyCount);
    if (error == VE_OK) error = GetStreamUInt32(stream, keyBytes);
    if (error != VE_OK) return error;
    // Every key takes at least its length byte.
    if (keyCount > kMaxSlots || keyCount > keyBytes) {
      return ToolboxError(toolbox_error::kBagStreamCorrupted);
    }
    try {
      while (fKeys.size() < keyBytes) {
        const size_t old = fKeys.size();
        const size_t piece = std::min<size_t>(kReadChunk, keyBytes - old);
        fKeys.resize(old + piece);
        error = GetStreamBytes(stream, fKeys.data() + old, piece);
        if (error != VE_OK) return error;
      }
      // The buffer holds exactly keyCount keys, each within it, no two
      // alike.
      fSlots.reserve(keyCount);
      std::unordered_set<std::string_view> seen;
      size_t offset = 0;
      for (uint32 i = 0; i < keyCount; ++i) {
        if (offset >= fKeys.size()) return ToolboxError(toolbox_error::kBagStreamCorrupted);
        const size_t length = fKeys[offset];
        if (offset + 1 + length > fKeys.size()) {
          return ToolboxError(toolbox_error::kBagStreamCorrupted);
        }
        const std::string_view text(reinterpret_cast<const char*>(fKeys.data() + offset + 1),
                                    length);
        if (!seen.insert(text).second) return ToolboxError(toolbox_error::kBagStreamCorrupted);
        SLOT slot{};
        slot.fKeyOffset = offset;
        fSlots.push_back(slot);
        offset += 1 + length;
      }
      if (offset != fKeys.size()) return ToolboxError(toolbox_error::kBagStreamCorrupted);
    } catch (const std::bad_alloc&) {
      return ToolboxError(toolbox_error::kMemoryFull);
    }

    uint8 indexFlag = 0;
    error = GetStreamBytes(stream, &indexFlag, 1);
    if (error != VE_OK) return error;
    if (indexFlag == 1) {
      error = fHashMap.Rebuild(stream, fSlots.size());
      if (error != VE_OK) return error;
      // A stored key whose home bucket is empty could never be found.
      for (size_t i = 0; i < fSlots.size(); ++i) {
        size_t length = 0;
        const char* text = GetKeyText(i, length);
        if (fHashMap.GetHomeBucket(StPackedDictionaryKey::GetHashCode(text, length)) ==
            _VHashKeyMap::kEmptyBucket) {
          return ToolboxError(toolbox_error::kBagStreamCorrupted);
        }
      }
    } else if (indexFlag == 0) {
      _BuildIndexIfNeeded();
    } else {
      return ToolboxError(toolbox_error::kBagStreamCorrupted);
    }
    return VE_OK;
  }

 protected:
  std::vector<uint8> fKeys;
  // Mutable: reading a value may cache a value object in its slot.
  mutable std::vector<SLOT> fSlots;
  mutable _VHashKeyMap fHashMap;
};

}  // namespace zeft
