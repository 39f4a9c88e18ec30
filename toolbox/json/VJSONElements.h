// VJSONElements is the element store of a JSON array: a growable run of
// values, like a vector of them, that can start in room its array lends
// from its own block, so that a parsed array takes one allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "json/VJSONValue.h"

namespace zeft {

class VJSONElements {
 public:
  VJSONElements() = default;
  VJSONElements(const VJSONElements& other);
  // Moves and swaps take the other's block; values in lent room are moved
  // into a block of their own first, so that no store outlives the room.
  VJSONElements(VJSONElements&& other) { swap(other); }
  VJSONElements& operator=(const VJSONElements& other);
  VJSONElements& operator=(VJSONElements&& other);
  ~VJSONElements();

  // Bytes of room that hold `count` values.
  static size_t RoomSize(size_t count) {
    if (count > kMaxCount) throw std::bad_alloc();
    return count * sizeof(VJSONValue);
  }
  // Makes the empty store keep its first `count` values in `room`
  // (RoomSize bytes, aligned for a value), which its owner keeps alive as
  // long as the store; growing past it moves the values to a block of
  // their own.
  void UseRoom(void* room, size_t count);

  size_t size() const { return fCount; }
  bool empty() const { return fCount == 0; }
  VJSONValue* begin() { return fValues; }
  VJSONValue* end() { return fValues + fCount; }
  const VJSONValue* begin() const { return fValues; }
  const VJSONValue* end() const { return fValues + fCount; }
  VJSONValue& operator[](size_t index) { return fValues[index]; }
  const VJSONValue& operator[](size_t index) const { return fValues[index]; }

  void reserve(size_t capacity);
  template <class... Args>
  VJSONValue& emplace_back(Args&&... args) {
    if (fCount < fCapacity) {
      VJSONValue* value = new (fValues + fCount) VJSONValue(std::forward<Args>(args)...);
      ++fCount;
      return *value;
    }
    // The new value is made before the others move out of the old block:
    // it may be a copy of one of them.
    const size_t capacity = fCapacity < 4 ? 4 : fCapacity * 2;
    VJSONValue* values = _NewBlock(capacity);
    try {
      new (values + fCount) VJSONValue(std::forward<Args>(args)...);
    } catch (...) {
      ::operator delete(values);
      throw;
    }
    _MoveTo(values, capacity);
    return values[fCount++];
  }
  void push_back(const VJSONValue& value) { emplace_back(value); }
  void push_back(VJSONValue&& value) { emplace_back(std::move(value)); }
  void pop_back() { fValues[--fCount].~VJSONValue(); }
  // Removes [first, last), moving the later values down.
  void erase(VJSONValue* first, VJSONValue* last);
  // Cuts to `count` values or appends copies of `fill` up to it.
  void resize(size_t count, const VJSONValue& fill = VJSONValue());
  void swap(VJSONElements& other);

 private:
  static constexpr size_t kMaxCount = SIZE_MAX / sizeof(VJSONValue);

  // Moves the values into a block for `capacity` values.
  void _Grow(size_t capacity) { _MoveTo(_NewBlock(capacity), capacity); }
  // An uninitialised block for `capacity` values.
  static VJSONValue* _NewBlock(size_t capacity);
  // Moves the values into `values`, a block for `capacity` values, which
  // the store takes.
  void _MoveTo(VJSONValue* values, size_t capacity);
  void _LeaveRoom();

  VJSONValue* fValues = nullptr;
  size_t fCount = 0;
  size_t fCapacity = 0;
  bool fLent = false;  // fValues is room lent by the owner
};

}  // namespace zeft
