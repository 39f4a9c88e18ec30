// VJSONPropertyMap is the property store of a JSON object: a hash map from
// name to value that keeps its entries side by side in insertion order, so
// an entry's position is its sequence number and an ordered walk is a plain
// loop. Names are matched by their exact UTF-16 units. Small maps are
// scanned through their hashes; larger ones add an open-addressing index.
#pragma once

#include <bit>
#include <cstddef>
#include <new>
#include <utility>

#include "core/VString.h"
#include "json/VJSONValue.h"

namespace zeft {

class VJSONPropertyMap {
 public:
  struct Entry {
    VString fName;
    VJSONValue fValue;
  };

  // A member read for an object not built yet: the name holds one count of
  // its block, which the entry made from it takes over.
  struct NewEntry {
    // No name yet and an undefined value, both filled in place.
    explicit NewEntry(uint32 hash) noexcept : fName{0, nullptr, 0, 0}, fHash(hash) {}
    NewEntry(NewEntry&& other) noexcept
        : fName(other.fName), fHash(other.fHash), fValue(std::move(other.fValue)) {
      other.fName = {0, nullptr, 0, 0};
    }
    NewEntry& operator=(NewEntry&& other) noexcept {
      std::swap(fName, other.fName);
      fHash = other.fHash;
      fValue = std::move(other.fValue);
      return *this;
    }
    ~NewEntry() { fName.Dispose(); }

    VInlineString fName;
    uint32 fHash;
    VJSONValue fValue;
  };

  static constexpr size_t kNotFound = size_t(-1);

  VJSONPropertyMap() = default;
  VJSONPropertyMap(const VJSONPropertyMap& other);
  // Moves and swaps take the other's block; entries in room lent by an
  // owner (UseRoom) are moved into a block of their own first, so that no
  // map outlives the room it points into.
  VJSONPropertyMap(VJSONPropertyMap&& other) { swap(other); }
  VJSONPropertyMap& operator=(const VJSONPropertyMap& other);
  VJSONPropertyMap& operator=(VJSONPropertyMap&& other);
  ~VJSONPropertyMap();

  // Bytes of room that hold `count` entries with their hashes and index.
  static size_t RoomSize(size_t count);
  // Makes the empty map keep its first `count` entries in `room` (RoomSize
  // bytes, aligned for an entry), which its owner keeps alive as long as
  // the map; growing past it moves the entries to a block of their own.
  void UseRoom(void* room, size_t count);

  size_t size() const { return fCount; }
  bool empty() const { return fCount == 0; }
  // In insertion order.
  Entry* begin() { return fEntries; }
  Entry* end() { return fEntries + fCount; }
  const Entry* begin() const { return fEntries; }
  const Entry* end() const { return fEntries + fCount; }
  void swap(VJSONPropertyMap& other);
  // Empties the map; the entries are destroyed after it is empty, so that
  // what their values release may safely look at the map.
  void clear();

  // The sequence number (position) of the entry of that name, or kNotFound.
  size_t Find(const VString& name) const { return _Find(name, name.VString::GetHashValue()); }
  Entry& operator[](size_t sequence) { return fEntries[sequence]; }
  const Entry& operator[](size_t sequence) const { return fEntries[sequence]; }

  // Appends the entry unless the name is there already; answers its
  // sequence number and whether it was added (an existing value is left).
  template <class Name, class Value>
  std::pair<size_t, bool> Insert(Name&& name, Value&& value) {
    // VString's own hash, whatever the name's dynamic type: stored copies
    // are plain VStrings.
    const uint32 hash = name.VString::GetHashValue();
    return InsertHashed(hash, std::forward<Name>(name), std::forward<Value>(value));
  }
  // Insert for a caller that already knows the name's VString hash.
  template <class Name, class Value>
  std::pair<size_t, bool> InsertHashed(uint32 hash, Name&& name, Value&& value);

  // Appends the entry made from `entry` (taking its name and value) unless
  // the name is there already, in which case the value replaces the old one.
  void InsertOrAssign(NewEntry& entry);
  // Room for `count` entries in all, so that as many inserts allocate
  // nothing.
  void Reserve(size_t count);

  // Removes the entry, moving the later ones down by one; it is destroyed
  // after the map is consistent again.
  void RemoveAt(size_t sequence);

 private:
  // Below this capacity look-ups scan the hashes: no index is kept.
  static constexpr size_t kIndexedCapacity = 16;
  static constexpr size_t kFirstCapacity = 4;
  // The index's slot numbers must fit 32 bits.
  static constexpr size_t kMaxCapacity = size_t(1) << 30;

  size_t _Find(const VString& name, uint32 hash) const {
    return _Find(name.GetCPointer(), name.GetLength(), hash);
  }
  size_t _Find(const VInlineString& name, uint32 hash) const {
    return _Find(name.fString, name.fLength, hash);
  }
  size_t _Find(const UniChar* units, int32 length, uint32 hash) const;
  // The capacity after the next growth: a power of two, so that an index
  // can be kept (exact capacities below the index's size stay as they are).
  size_t _NextCapacity() const {
    return fCapacity < kFirstCapacity ? kFirstCapacity : std::bit_ceil(size_t(fCapacity) + 1);
  }
  // Moves the entries into a block for `capacity` entries.
  void _Grow(size_t capacity);
  // Fibonacci hashing: the top bits of the product pick the slot.
  uint32 _SlotOf(uint32 hash) const {
    return (hash * 0x9E3779B1u) >> (31 - std::countr_zero(fCapacity));
  }
  uint32 _SlotMask() const { return fCapacity * 2 - 1; }
  // The block holds the entries, then their hashes, then (from
  // kIndexedCapacity on) the index.
  uint32* _Hashes() const { return reinterpret_cast<uint32*>(fEntries + fCapacity); }
  // Sequence number + 1 per slot, 0 for an empty slot; null when unindexed.
  uint32* _Slots() const { return fCapacity >= kIndexedCapacity ? _Hashes() + fCapacity : nullptr; }
  void _Index(uint32 hash, size_t sequence);
  void _Reindex();
  // A block for `capacity` entries with its hashes and, when large enough,
  // its index; the entries are not constructed.
  void _Allocate(size_t capacity);
  // Moves the first fCount entries and hashes of the old block into the
  // new one, frees the old block unless it was lent, and indexes the new
  // one.
  void _MoveFrom(Entry* entries, uint32* hashes, bool lent);
  // The capacity for `count` entries: exact below the index's size, a
  // power of two from there on.
  static size_t _CapacityFor(size_t count) {
    return count < kIndexedCapacity ? count : std::bit_ceil(count);
  }
  static size_t _BlockSize(size_t capacity);
  // Moves entries kept in lent room into a block of their own.
  void _LeaveRoom();
  static void _Destroy(Entry* entries, size_t count);

  Entry* fEntries = nullptr;
  uint32 fCount = 0;
  uint32 fCapacity = 0;
  bool fLent = false;  // fEntries is room lent by the owner
};

template <class Name, class Value>
std::pair<size_t, bool> VJSONPropertyMap::InsertHashed(uint32 hash, Name&& name, Value&& value) {
  const size_t found = _Find(name, hash);
  if (found != kNotFound) return {found, false};
  // The old block stays alive until the new entry is built: the name or the
  // value may live in it.
  const bool grow = fCount == fCapacity;
  Entry* oldEntries = fEntries;
  uint32* oldHashes = _Hashes();
  const bool lent = fLent;
  if (grow) _Allocate(_NextCapacity());
  new (&fEntries[fCount])
      Entry{VString(std::forward<Name>(name)), VJSONValue(std::forward<Value>(value))};
  if (grow) _MoveFrom(oldEntries, oldHashes, lent);
  _Hashes()[fCount] = hash;
  if (fCapacity >= kIndexedCapacity) _Index(hash, fCount);
  return {fCount++, true};
}

}  // namespace zeft
