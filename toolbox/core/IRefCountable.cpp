#include "core/IRefCountable.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace zeft {

IRefCountable::~IRefCountable() = default;

int32 IRefCountable::Retain(const char* /*inDebugInfo*/) const {
  return fRefCount.fetch_add(1) + 1;
}

int32 IRefCountable::Release(const char* /*inDebugInfo*/) const {
  // Always a locked decrement, even for a sole reference: a registry that
  // holds objects without a count may take one meanwhile (see
  // VProgressManager), and must then see either the object alive or its
  // count already at zero.
  int32 count = fRefCount.fetch_sub(1) - 1;
  assert(count >= 0 && "released more often than retained");
  if (count == 0) {
    // The last reference is gone: nobody else can see the object any more,
    // so it is no longer logically const.
    const_cast<IRefCountable*>(this)->DoOnRefCountZero();
  }
  return count;
}

bool IRefCountable::RetainIfAlive() const {
  int32 count = fRefCount.load();
  while (count > 0) {
    if (fRefCount.compare_exchange_weak(count, count + 1)) return true;
  }
  return false;
}

void IRefCountable::ReleaseDependencies() {}

void IRefCountable::DoOnRefCountZero() { delete this; }

SharedBuffer* SharedBuffer::Create(size_t size) noexcept {
  if (size > std::numeric_limits<size_t>::max() - sizeof(SharedBuffer)) return nullptr;
  void* block = std::malloc(sizeof(SharedBuffer) + size);
  if (block == nullptr) return nullptr;
  return new (block) SharedBuffer(size);
}

SharedBuffer* SharedBuffer::Create(const void* data, size_t size) noexcept {
  if (data == nullptr && size != 0) return nullptr;
  SharedBuffer* buffer = Create(size);
  if (buffer != nullptr && size != 0) std::memcpy(buffer->GetData(), data, size);
  return buffer;
}

void SharedBuffer::Retain() const noexcept { fCount.fetch_add(1); }

void SharedBuffer::Release() const noexcept {
  int32 count = fCount.fetch_sub(1) - 1;
  assert(count >= 0 && "released more often than retained");
  if (count == 0) {
    SharedBuffer* self = const_cast<SharedBuffer*>(this);
    self->~SharedBuffer();
    std::free(self);
  }
}

}  // namespace zeft
