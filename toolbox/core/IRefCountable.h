// Intrusive, thread-safe reference counting for shared toolbox objects:
// IRefCountable carries the count, VRefPtr owns one reference, SharedBuffer
// is a bare reference-counted byte block.
#pragma once

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "core/VTypes.h"

namespace zeft {

class IRefCountable {
 public:
  // A new object carries its creator's reference.
  IRefCountable() noexcept : fRefCount(1) {}
  // A copy is a new object: it starts with its own single reference.
  IRefCountable(const IRefCountable&) noexcept : fRefCount(1) {}
  IRefCountable& operator=(const IRefCountable&) noexcept { return *this; }
  virtual ~IRefCountable();

  // Both return the new count. The label only helps debugging.
  virtual int32 Retain(const char* inDebugInfo = nullptr) const;
  // Reaching zero calls DoOnRefCountZero (by default: delete this).
  virtual int32 Release(const char* inDebugInfo = nullptr) const;

  // Takes a count unless the count has reached zero (the object is dying),
  // for a registry that holds objects without a count; false then.
  bool RetainIfAlive() const;

  // Drops references that may form cycles. Never called by Release.
  virtual void ReleaseDependencies();

  // For diagnostics and tests; stale as soon as another thread touches it.
  int32 GetRefCount() const noexcept { return fRefCount.load(); }

 protected:
  // Runs on the thread whose Release brought the count to zero.
  virtual void DoOnRefCountZero();

 private:
  mutable std::atomic<int32> fRefCount;
};

// Selects the VRefPtr constructor that takes over a reference the caller
// already owns (typically one returned by a Retain... function).
struct VAdoptRefTag {
  explicit VAdoptRefTag() = default;
};
inline constexpr VAdoptRefTag kAdoptRef{};

// Owns one reference to an IRefCountable object (or nothing).
template <class T>
class VRefPtr {
 public:
  using element_type = T;

  constexpr VRefPtr() noexcept = default;
  constexpr VRefPtr(std::nullptr_t) noexcept {}
  // Shares: retains `object`, the caller keeps its own reference.
  explicit VRefPtr(T* object) noexcept : fObject(object) {
    if (fObject != nullptr) fObject->Retain();
  }
  // Adopts: takes over the caller's reference without retaining.
  VRefPtr(T* object, VAdoptRefTag) noexcept : fObject(object) {}

  VRefPtr(const VRefPtr& other) noexcept : VRefPtr(other.fObject) {}
  VRefPtr(VRefPtr&& other) noexcept : fObject(std::exchange(other.fObject, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  VRefPtr(const VRefPtr<U>& other) noexcept : VRefPtr(other.Get()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  VRefPtr(VRefPtr<U>&& other) noexcept : fObject(other.Forget()) {}

  ~VRefPtr() {
    if (fObject != nullptr) fObject->Release();
  }

  VRefPtr& operator=(const VRefPtr& other) noexcept {
    Reset(other.fObject);
    return *this;
  }
  VRefPtr& operator=(VRefPtr&& other) noexcept {
    if (this != &other) Adopt(other.Forget());
    return *this;
  }
  VRefPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  // Holds `object` (retained) instead of the current one.
  void Reset(T* object = nullptr) noexcept {
    if (object != nullptr) object->Retain();  // first: object may be the held one
    T* old = std::exchange(fObject, object);
    if (old != nullptr) old->Release();
  }
  // Holds `object` by taking over the caller's reference.
  void Adopt(T* object) noexcept {
    T* old = std::exchange(fObject, object);
    if (old != nullptr) old->Release();
  }
  // Gives the reference to the caller, who must release it; leaves null.
  [[nodiscard]] T* Forget() noexcept { return std::exchange(fObject, nullptr); }

  T* Get() const noexcept { return fObject; }
  T* operator->() const noexcept { return fObject; }
  T& operator*() const noexcept { return *fObject; }
  explicit operator bool() const noexcept { return fObject != nullptr; }

  void Swap(VRefPtr& other) noexcept { std::swap(fObject, other.fObject); }

  template <class U>
  bool operator==(const VRefPtr<U>& other) const noexcept {
    return fObject == other.Get();
  }
  bool operator==(const T* object) const noexcept { return fObject == object; }
  bool operator==(std::nullptr_t) const noexcept { return fObject == nullptr; }

 private:
  T* fObject = nullptr;
};

// A plain reference-counted byte block in one malloc'ed allocation: the
// header (size, count) then the data. Shares a bare buffer between owners.
class SharedBuffer {
 public:
  // Null when the block cannot be allocated. The data is left uninitialised.
  static SharedBuffer* Create(size_t size) noexcept;
  // Copies `size` bytes from `data`; null when the block cannot be
  // allocated, or when `data` is null and `size` is not 0.
  static SharedBuffer* Create(const void* data, size_t size) noexcept;

  void Retain() const noexcept;
  // Frees the block when the count reaches zero.
  void Release() const noexcept;

  size_t GetSize() const noexcept { return size_t(fSize); }
  void* GetData() noexcept { return this + 1; }
  const void* GetData() const noexcept { return this + 1; }
  int32 GetRefCount() const noexcept { return fCount.load(); }

  SharedBuffer(const SharedBuffer&) = delete;
  SharedBuffer& operator=(const SharedBuffer&) = delete;

 private:
  explicit SharedBuffer(size_t size) noexcept : fSize(size), fCount(1) {}
  ~SharedBuffer() = default;

  uint64 fSize;
  mutable std::atomic<int32> fCount;
};

}  // namespace zeft
