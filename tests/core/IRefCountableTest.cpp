#include "core/IRefCountable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "core/VObject.h"

namespace zeft {
namespace {

// Counts destructions so tests can see exactly when an object dies.
class Probe : public IRefCountable {
 public:
  explicit Probe(std::atomic<int>& destroyed) : fDestroyed(destroyed) {}
  ~Probe() override { ++fDestroyed; }

 private:
  std::atomic<int>& fDestroyed;
};

// Keeps its memory when the count reaches zero, as a pool would.
class Recycled : public IRefCountable {
 public:
  int fZeroCalls = 0;

 protected:
  void DoOnRefCountZero() override { ++fZeroCalls; }
};

// VObject first, IRefCountable second: the count lives in the second base.
class Both : public VObject, public IRefCountable {
 public:
  explicit Both(std::atomic<int>& destroyed) : fDestroyed(destroyed) {}
  ~Both() override { ++fDestroyed; }
  int fPayload = 42;

 private:
  std::atomic<int>& fDestroyed;
};

TEST(IRefCountable, CountsAndDestroysOnLastRelease) {
  std::atomic<int> destroyed = 0;
  auto* probe = new Probe(destroyed);
  EXPECT_EQ(probe->GetRefCount(), 1);
  EXPECT_EQ(probe->Retain("test"), 2);
  EXPECT_EQ(probe->Retain(), 3);
  EXPECT_EQ(probe->Release(), 2);
  EXPECT_EQ(probe->Release("test"), 1);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(probe->Release(), 0);
  EXPECT_EQ(destroyed, 1);
}

TEST(IRefCountable, OverriddenZeroHandlerKeepsTheMemory) {
  Recycled object;  // on the stack: a delete would crash
  object.Retain();
  EXPECT_EQ(object.Release(), 1);
  EXPECT_EQ(object.fZeroCalls, 0);
  EXPECT_EQ(object.Release(), 0);
  EXPECT_EQ(object.fZeroCalls, 1);
  // Revived by its pool.
  EXPECT_EQ(object.Retain(), 1);
  EXPECT_EQ(object.Release(), 0);
  EXPECT_EQ(object.fZeroCalls, 2);
}

TEST(IRefCountable, RetainIfAliveRefusesADyingObject) {
  Recycled object;
  EXPECT_TRUE(object.RetainIfAlive());
  EXPECT_EQ(object.GetRefCount(), 2);
  object.Release();
  EXPECT_EQ(object.Release(), 0);
  // Dying: not counted again, and the count stays at zero.
  EXPECT_FALSE(object.RetainIfAlive());
  EXPECT_EQ(object.GetRefCount(), 0);
  EXPECT_EQ(object.fZeroCalls, 1);
}

TEST(IRefCountable, ReleaseDependenciesIsSeparateFromRelease) {
  std::atomic<int> destroyed = 0;
  auto* probe = new Probe(destroyed);
  probe->ReleaseDependencies();
  EXPECT_EQ(probe->GetRefCount(), 1);
  EXPECT_EQ(destroyed, 0);
  probe->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(IRefCountable, CopyStartsWithItsOwnSingleReference) {
  Recycled original;
  original.Retain();
  Recycled copy(original);
  EXPECT_EQ(copy.GetRefCount(), 1);
  copy = original;
  EXPECT_EQ(copy.GetRefCount(), 1);
  EXPECT_EQ(original.GetRefCount(), 2);
}

TEST(IRefCountable, SecondBaseReachesTheObjectAndDeletesItWhole) {
  std::atomic<int> destroyed = 0;
  auto* both = new Both(destroyed);
  IRefCountable* counted = both;
  EXPECT_EQ(counted->Retain(), 2);
  EXPECT_EQ(both->GetRefCount(), 2);
  counted->Release();
  counted->Release();  // deletes through the second base: ASan checks the address
  EXPECT_EQ(destroyed, 1);
}

TEST(IRefCountable, ConcurrentRetainReleaseKeepsTheCount) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 100000;
  std::atomic<int> destroyed = 0;
  auto* probe = new Probe(destroyed);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([probe] {
      for (int i = 0; i < kRounds; ++i) {
        probe->Retain();
        probe->Retain();
        probe->Release();
        probe->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(probe->GetRefCount(), 1);
  EXPECT_EQ(destroyed, 0);
  probe->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(IRefCountable, ConcurrentLastReleasesDestroyExactlyOnce) {
  constexpr int kThreads = 8;
  constexpr int kObjects = 2000;
  std::atomic<int> destroyed = 0;
  std::vector<Probe*> objects;
  for (int i = 0; i < kObjects; ++i) {
    auto* probe = new Probe(destroyed);
    for (int t = 1; t < kThreads; ++t) probe->Retain();  // one reference per thread
    objects.push_back(probe);
  }
  std::atomic<int> zeros = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (Probe* probe : objects) {
        if (probe->Release() == 0) ++zeros;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(zeros, kObjects);
  EXPECT_EQ(destroyed, kObjects);
}

// Listed in a registry that holds it without a count, as the progress
// manager holds its indicators; the registry forgets it on its last release.
class Listed : public IRefCountable {
 public:
  Listed(std::mutex& lock, Listed*& registry) : fLock(lock), fRegistry(registry) {}

 protected:
  void DoOnRefCountZero() override {
    {
      std::lock_guard<std::mutex> hold(fLock);
      if (fRegistry == this) fRegistry = nullptr;
    }
    delete this;
  }

 private:
  std::mutex& fLock;
  Listed*& fRegistry;
};

// A count taken from the registry while the only other one is released
// either keeps the object alive or finds it already dying (count 1), never
// lost: a lost one leaves the taker with a deleted object (ASan).
TEST(IRefCountable, CountTakenFromARegistryDuringTheLastReleaseIsNotLost) {
  std::mutex lock;
  Listed* registry = nullptr;
  std::atomic<bool> done = false;
  std::thread taker([&] {
    // Found dying, an object is not counted again: its deletion is under way.
    const Listed* dying = nullptr;
    while (!done.load()) {
      Listed* taken = nullptr;
      {
        std::lock_guard<std::mutex> hold(lock);
        if (registry != nullptr && registry != dying) {
          if (registry->Retain() > 1) {
            taken = registry;
          } else {
            dying = registry;
          }
        }
      }
      if (taken != nullptr) taken->Release();
    }
  });
  for (int round = 0; round < 200000; ++round) {
    auto* listed = new Listed(lock, registry);
    {
      std::lock_guard<std::mutex> hold(lock);
      registry = listed;
    }
    listed->Release();
  }
  done.store(true);
  taker.join();
  EXPECT_EQ(registry, nullptr);
}

TEST(VRefPtr, HoldsOneReferenceThroughCopiesAndMoves) {
  std::atomic<int> destroyed = 0;
  auto* probe = new Probe(destroyed);
  {
    VRefPtr<Probe> adopted(probe, kAdoptRef);  // takes over the creator's reference
    EXPECT_EQ(probe->GetRefCount(), 1);
    {
      VRefPtr<Probe> shared(probe);
      EXPECT_EQ(probe->GetRefCount(), 2);
      VRefPtr<Probe> copy = shared;
      EXPECT_EQ(probe->GetRefCount(), 3);
      VRefPtr<Probe> moved = std::move(copy);
      EXPECT_EQ(copy, nullptr);
      EXPECT_EQ(moved.Get(), probe);
      EXPECT_EQ(probe->GetRefCount(), 3);
      VRefPtr<IRefCountable> base = moved;  // derived to base
      EXPECT_EQ(probe->GetRefCount(), 4);
    }
    EXPECT_EQ(probe->GetRefCount(), 1);
    EXPECT_EQ(&*adopted, probe);
    EXPECT_TRUE(adopted);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(VRefPtr, ResetAdoptAndForget) {
  std::atomic<int> destroyed = 0;
  VRefPtr<Probe> holder(new Probe(destroyed), kAdoptRef);
  Probe* first = holder.Get();

  holder.Reset(first);  // resetting to the held object keeps it alive
  EXPECT_EQ(first->GetRefCount(), 1);
  VRefPtr<Probe>& alias = holder;
  holder = alias;  // self-assignment likewise
  EXPECT_EQ(first->GetRefCount(), 1);

  first->Retain();
  holder.Adopt(first);  // adopting a second reference to the held object
  EXPECT_EQ(first->GetRefCount(), 1);

  holder.Adopt(new Probe(destroyed));
  EXPECT_EQ(destroyed, 1);

  Probe* second = holder.Forget();
  EXPECT_FALSE(holder);
  EXPECT_EQ(second->GetRefCount(), 1);
  holder.Reset(second);
  EXPECT_EQ(second->GetRefCount(), 2);
  second->Release();
  holder = nullptr;
  EXPECT_EQ(destroyed, 2);
}

TEST(VRefPtr, MoveAssignmentReleasesTheOldObject) {
  std::atomic<int> destroyed = 0;
  VRefPtr<Probe> a(new Probe(destroyed), kAdoptRef);
  VRefPtr<Probe> b(new Probe(destroyed), kAdoptRef);
  Probe* kept = b.Get();
  a = std::move(b);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(a.Get(), kept);
  EXPECT_EQ(b.Get(), nullptr);
  VRefPtr<Probe>& alias = a;
  a = std::move(alias);
  EXPECT_EQ(a.Get(), kept);
  EXPECT_EQ(kept->GetRefCount(), 1);
}

TEST(SharedBuffer, CreateCopiesAndCounts) {
  const char text[] = "shared bytes";
  SharedBuffer* buffer = SharedBuffer::Create(text, sizeof(text));
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->GetSize(), sizeof(text));
  EXPECT_EQ(buffer->GetRefCount(), 1);
  EXPECT_EQ(std::memcmp(buffer->GetData(), text, sizeof(text)), 0);
  // Data directly after the header, aligned for any scalar.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer->GetData()) % alignof(std::max_align_t), 0u);
  buffer->Retain();
  EXPECT_EQ(buffer->GetRefCount(), 2);
  buffer->Release();
  EXPECT_EQ(buffer->GetRefCount(), 1);
  buffer->Release();  // freed: ASan reports a leak otherwise
}

TEST(SharedBuffer, EmptyBufferIsValid) {
  for (SharedBuffer* buffer : {SharedBuffer::Create(0), SharedBuffer::Create(nullptr, 0)}) {
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetSize(), 0u);
    EXPECT_EQ(buffer->GetRefCount(), 1);
    buffer->Release();
  }
}

TEST(SharedBuffer, FailedCreateReturnsNull) {
  constexpr size_t kMax = std::numeric_limits<size_t>::max();
  const char source[] = "x";
  // The header would make the size wrap around.
  EXPECT_EQ(SharedBuffer::Create(kMax), nullptr);
  EXPECT_EQ(SharedBuffer::Create(kMax - 8), nullptr);
  // More than malloc can give; nothing is copied from the short source.
  EXPECT_EQ(SharedBuffer::Create(kMax / 2), nullptr);
  EXPECT_EQ(SharedBuffer::Create(source, kMax / 2), nullptr);
  // Bytes promised but none given.
  EXPECT_EQ(SharedBuffer::Create(nullptr, 4), nullptr);
}

TEST(SharedBuffer, ConcurrentRetainRelease) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 100000;
  SharedBuffer* buffer = SharedBuffer::Create(16);
  ASSERT_NE(buffer, nullptr);
  for (int t = 0; t < kThreads; ++t) buffer->Retain();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([buffer] {
      for (int i = 0; i < kRounds; ++i) {
        buffer->Retain();
        buffer->Release();
      }
      buffer->Release();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(buffer->GetRefCount(), 1);
  buffer->Release();
}

}  // namespace
}  // namespace zeft
