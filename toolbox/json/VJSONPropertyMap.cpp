#include "json/VJSONPropertyMap.h"

#include <bit>
#include <cstring>

namespace zeft {

VJSONPropertyMap::VJSONPropertyMap(const VJSONPropertyMap& other) {
  if (other.fCount == 0) return;
  _Allocate(std::bit_ceil(other.fCount));
  for (; fCount < other.fCount; ++fCount) {
    new (&fEntries[fCount]) Entry(other.fEntries[fCount]);
  }
  std::memcpy(fHashes, other.fHashes, fCount * sizeof(uint32));
  _Reindex();
}

VJSONPropertyMap& VJSONPropertyMap::operator=(const VJSONPropertyMap& other) {
  if (this != &other) {
    VJSONPropertyMap copy(other);
    swap(copy);
  }
  return *this;
}

VJSONPropertyMap& VJSONPropertyMap::operator=(VJSONPropertyMap&& other) noexcept {
  if (this != &other) {
    VJSONPropertyMap taken(std::move(other));
    swap(taken);
  }
  return *this;
}

VJSONPropertyMap::~VJSONPropertyMap() {
  _Destroy(fEntries, fCount);
  ::operator delete(fEntries);
}

void VJSONPropertyMap::swap(VJSONPropertyMap& other) noexcept {
  std::swap(fEntries, other.fEntries);
  std::swap(fHashes, other.fHashes);
  std::swap(fSlots, other.fSlots);
  std::swap(fCount, other.fCount);
  std::swap(fCapacity, other.fCapacity);
  std::swap(fSlotShift, other.fSlotShift);
}

void VJSONPropertyMap::clear() {
  VJSONPropertyMap removed;
  swap(removed);
}

void VJSONPropertyMap::_Destroy(Entry* entries, size_t count) {
  for (size_t i = 0; i < count; ++i) entries[i].~Entry();
}

void VJSONPropertyMap::_Allocate(size_t capacity) {
  // One block holds the entries, then their hashes, then the index, twice
  // as long as the capacity so that it stays at most half full.
  const size_t slots = capacity >= kIndexedCapacity ? capacity * 2 : 0;
  static_assert(sizeof(Entry) % alignof(uint32) == 0);
  auto* block = static_cast<char*>(
      ::operator new(capacity * sizeof(Entry) + (capacity + slots) * sizeof(uint32)));
  fEntries = reinterpret_cast<Entry*>(block);
  fHashes = reinterpret_cast<uint32*>(block + capacity * sizeof(Entry));
  fSlots = slots != 0 ? fHashes + capacity : nullptr;
  fCapacity = capacity;
  fSlotShift = slots != 0 ? uint32(32 - std::countr_zero(slots)) : 0;
}

void VJSONPropertyMap::_MoveFrom(Entry* entries, uint32* hashes) {
  for (size_t i = 0; i < fCount; ++i) {
    new (&fEntries[i]) Entry(std::move(entries[i]));
    entries[i].~Entry();
  }
  if (fCount != 0) std::memcpy(fHashes, hashes, fCount * sizeof(uint32));
  ::operator delete(entries);
  _Reindex();
}

size_t VJSONPropertyMap::_Find(const VString& name, uint32 hash) const {
  if (fSlots == nullptr) {
    for (size_t i = 0; i < fCount; ++i) {
      if (fHashes[i] == hash && fEntries[i].fName.EqualToStringRaw(name)) return i;
    }
    return kNotFound;
  }
  const uint32 mask = _SlotMask();
  for (uint32 slot = _SlotOf(hash);; slot = (slot + 1) & mask) {
    const uint32 stored = fSlots[slot];
    if (stored == 0) return kNotFound;
    if (fHashes[stored - 1] == hash && fEntries[stored - 1].fName.EqualToStringRaw(name)) {
      return stored - 1;
    }
  }
}

void VJSONPropertyMap::_Index(uint32 hash, size_t sequence) {
  const uint32 mask = _SlotMask();
  uint32 slot = _SlotOf(hash);
  while (fSlots[slot] != 0) slot = (slot + 1) & mask;
  fSlots[slot] = uint32(sequence + 1);
}

void VJSONPropertyMap::_Reindex() {
  if (fSlots == nullptr) return;
  std::memset(fSlots, 0, (_SlotMask() + size_t(1)) * sizeof(uint32));
  for (size_t i = 0; i < fCount; ++i) _Index(fHashes[i], i);
}

void VJSONPropertyMap::RemoveAt(size_t sequence) {
  Entry removed(std::move(fEntries[sequence]));
  for (size_t i = sequence + 1; i < fCount; ++i) {
    fEntries[i - 1] = std::move(fEntries[i]);
    fHashes[i - 1] = fHashes[i];
  }
  fEntries[--fCount].~Entry();
  _Reindex();
}

}  // namespace zeft
