#include "json/VJSONPropertyMap.h"

#include <bit>
#include <cstring>
#include <utility>

namespace zeft {

VJSONPropertyMap::VJSONPropertyMap(const VJSONPropertyMap& other) {
  if (other.fCount == 0) return;
  _Allocate(std::bit_ceil(other.fCount));
  for (; fCount < other.fCount; ++fCount) {
    new (&fEntries[fCount]) Entry(other.fEntries[fCount]);
  }
  std::memcpy(_Hashes(), other._Hashes(), fCount * sizeof(uint32));
  _Reindex();
}

VJSONPropertyMap& VJSONPropertyMap::operator=(const VJSONPropertyMap& other) {
  if (this != &other) {
    VJSONPropertyMap copy(other);
    swap(copy);
  }
  return *this;
}

VJSONPropertyMap& VJSONPropertyMap::operator=(VJSONPropertyMap&& other) {
  if (this != &other) {
    VJSONPropertyMap taken(std::move(other));
    swap(taken);
  }
  return *this;
}

VJSONPropertyMap::~VJSONPropertyMap() {
  _Destroy(fEntries, fCount);
  if (!fLent) ::operator delete(fEntries);
}

size_t VJSONPropertyMap::RoomSize(size_t count) { return _BlockSize(_CapacityFor(count)); }

void VJSONPropertyMap::UseRoom(void* room, size_t count) {
  if (fEntries != nullptr || count == 0) return;
  fEntries = static_cast<Entry*>(room);
  fCapacity = uint32(_CapacityFor(count));
  fLent = true;
  _Reindex();
}

void VJSONPropertyMap::_LeaveRoom() {
  if (!fLent) return;
  Entry* entries = fEntries;
  uint32* hashes = _Hashes();
  _Allocate(fCapacity);
  _MoveFrom(entries, hashes, true);
}

void VJSONPropertyMap::swap(VJSONPropertyMap& other) {
  _LeaveRoom();
  other._LeaveRoom();
  std::swap(fEntries, other.fEntries);
  std::swap(fCount, other.fCount);
  std::swap(fCapacity, other.fCapacity);
}

void VJSONPropertyMap::clear() {
  if (fLent) {
    // The room stays with its owner, unused from now on.
    Entry* entries = std::exchange(fEntries, nullptr);
    const size_t count = std::exchange(fCount, 0);
    fCapacity = 0;
    fLent = false;
    _Destroy(entries, count);
    return;
  }
  VJSONPropertyMap removed;
  swap(removed);
}

void VJSONPropertyMap::_Destroy(Entry* entries, size_t count) {
  for (size_t i = 0; i < count; ++i) entries[i].~Entry();
}

void VJSONPropertyMap::_Allocate(size_t capacity) {
  // Counts are 32-bit: a map that large could not be held anyway.
  if (capacity > kMaxCapacity) throw std::bad_alloc();
  fEntries = static_cast<Entry*>(::operator new(_BlockSize(capacity)));
  fCapacity = uint32(capacity);
  fLent = false;
}

size_t VJSONPropertyMap::_BlockSize(size_t capacity) {
  // The entries, then their hashes, then the index, twice as long as the
  // capacity so that it stays at most half full.
  const size_t slots = capacity >= kIndexedCapacity ? capacity * 2 : 0;
  static_assert(sizeof(Entry) % alignof(uint32) == 0);
  return capacity * sizeof(Entry) + (capacity + slots) * sizeof(uint32);
}

void VJSONPropertyMap::_MoveFrom(Entry* entries, uint32* hashes, bool lent) {
  for (size_t i = 0; i < fCount; ++i) {
    new (&fEntries[i]) Entry(std::move(entries[i]));
    entries[i].~Entry();
  }
  if (fCount != 0) std::memcpy(_Hashes(), hashes, fCount * sizeof(uint32));
  if (!lent) ::operator delete(entries);
  _Reindex();
}

size_t VJSONPropertyMap::_Find(const UniChar* units, int32 length, uint32 hash) const {
  const uint32* hashes = _Hashes();
  const auto matches = [&](size_t i) {
    const VString& name = fEntries[i].fName;
    return hashes[i] == hash && name.GetLength() == length &&
           (length == 0 ||
            std::memcmp(name.GetCPointer(), units, size_t(length) * sizeof(UniChar)) == 0);
  };
  const uint32* slots = _Slots();
  if (slots == nullptr) {
    for (size_t i = 0; i < fCount; ++i) {
      if (matches(i)) return i;
    }
    return kNotFound;
  }
  const uint32 mask = _SlotMask();
  for (uint32 slot = _SlotOf(hash);; slot = (slot + 1) & mask) {
    const uint32 stored = slots[slot];
    if (stored == 0) return kNotFound;
    if (matches(stored - 1)) return stored - 1;
  }
}

void VJSONPropertyMap::InsertOrAssign(NewEntry& entry) {
  // The entry is built from the name's record itself, with no string in
  // between; the value is taken only when the entry is added.
  const auto [sequence, added] =
      InsertHashed(entry.fHash, std::move(entry.fName), std::move(entry.fValue));
  if (!added) fEntries[sequence].fValue = std::move(entry.fValue);
}

void VJSONPropertyMap::Reserve(size_t count) {
  if (count <= fCapacity) return;
  _Grow(_CapacityFor(count));
}

void VJSONPropertyMap::_Grow(size_t capacity) {
  Entry* oldEntries = fEntries;
  uint32* oldHashes = _Hashes();
  const bool lent = fLent;
  _Allocate(capacity);
  _MoveFrom(oldEntries, oldHashes, lent);
}

void VJSONPropertyMap::_Index(uint32 hash, size_t sequence) {
  const uint32 mask = _SlotMask();
  uint32* slots = _Slots();
  uint32 slot = _SlotOf(hash);
  while (slots[slot] != 0) slot = (slot + 1) & mask;
  slots[slot] = uint32(sequence + 1);
}

void VJSONPropertyMap::_Reindex() {
  uint32* slots = _Slots();
  if (slots == nullptr) return;
  std::memset(slots, 0, (_SlotMask() + size_t(1)) * sizeof(uint32));
  const uint32* hashes = _Hashes();
  for (size_t i = 0; i < fCount; ++i) _Index(hashes[i], i);
}

void VJSONPropertyMap::RemoveAt(size_t sequence) {
  Entry removed(std::move(fEntries[sequence]));
  uint32* hashes = _Hashes();
  for (size_t i = sequence + 1; i < fCount; ++i) {
    fEntries[i - 1] = std::move(fEntries[i]);
    hashes[i - 1] = hashes[i];
  }
  fEntries[--fCount].~Entry();
  _Reindex();
}

}  // namespace zeft
