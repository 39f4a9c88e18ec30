#include "json/VJSONElements.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace zeft {

VJSONElements::VJSONElements(const VJSONElements& other) {
  reserve(other.fCount);
  for (const VJSONValue& value : other) emplace_back(value);
}

VJSONElements& VJSONElements::operator=(const VJSONElements& other) {
  if (this != &other) {
    VJSONElements copy(other);
    swap(copy);
  }
  return *this;
}

VJSONElements& VJSONElements::operator=(VJSONElements&& other) {
  if (this != &other) {
    VJSONElements taken(std::move(other));
    swap(taken);
  }
  return *this;
}

VJSONElements::~VJSONElements() {
  for (size_t i = 0; i < fCount; ++i) fValues[i].~VJSONValue();
  if (!fLent) ::operator delete(fValues);
}

void VJSONElements::UseRoom(void* room, size_t count) {
  if (fValues != nullptr || count == 0) return;
  fValues = static_cast<VJSONValue*>(room);
  fCapacity = count;
  fLent = true;
}

void VJSONElements::reserve(size_t capacity) {
  if (capacity > fCapacity) _Grow(capacity);
}

void VJSONElements::erase(VJSONValue* first, VJSONValue* last) {
  if (first == last) return;
  VJSONValue* kept = std::move(last, end(), first);
  for (VJSONValue* value = kept; value != end(); ++value) value->~VJSONValue();
  fCount = size_t(kept - fValues);
}

void VJSONElements::resize(size_t count, const VJSONValue& fill) {
  if (count <= fCount) {
    erase(fValues + count, end());
    return;
  }
  // `fill` may be one of the values, which growing moves.
  const VJSONValue value(fill);
  reserve(count);
  while (fCount < count) emplace_back(value);
}

void VJSONElements::swap(VJSONElements& other) {
  _LeaveRoom();
  other._LeaveRoom();
  std::swap(fValues, other.fValues);
  std::swap(fCount, other.fCount);
  std::swap(fCapacity, other.fCapacity);
}

VJSONValue* VJSONElements::_NewBlock(size_t capacity) {
  if (capacity > kMaxCount) throw std::length_error("too many JSON array elements");
  return static_cast<VJSONValue*>(::operator new(capacity * sizeof(VJSONValue)));
}

void VJSONElements::_MoveTo(VJSONValue* values, size_t capacity) {
  for (size_t i = 0; i < fCount; ++i) {
    new (values + i) VJSONValue(std::move(fValues[i]));
    fValues[i].~VJSONValue();
  }
  if (!fLent) ::operator delete(fValues);
  fValues = values;
  fCapacity = capacity;
  fLent = false;
}

void VJSONElements::_LeaveRoom() {
  if (fLent) _Grow(fCapacity);
}

}  // namespace zeft
