// NewWithRoomBehind makes a container of the JSON model in one block with
// room for its first contents behind it, so that a container whose size is
// known in advance costs one allocation. The container's class declares an
// unsized operator delete, which gives the whole block back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace zeft {

// A default-constructed T followed by `roomSize` bytes aligned to `align`;
// `room` receives where they start.
template <class T>
T* NewWithRoomBehind(size_t roomSize, size_t align, void*& room) {
  const size_t offset = (sizeof(T) + align - 1) / align * align;
  if (roomSize > SIZE_MAX - offset) throw std::bad_alloc();
  void* block = ::operator new(offset + roomSize);
  T* object;
  try {
    object = new (block) T();
  } catch (...) {
    ::operator delete(block);
    throw;
  }
  room = static_cast<char*>(block) + offset;
  return object;
}

}  // namespace zeft
