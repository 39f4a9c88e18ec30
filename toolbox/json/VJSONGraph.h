// VJSONGraph frees cycles between reference-counted JSON containers at the
// moment they become unreachable: it counts the retains of its members and
// the references between them, and empties a group of members when only the
// members themselves still refer to it.
#pragma once

#include <atomic>
#include <set>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "json/StGraphLocker.h"

namespace zeft {

class VJSONArray;
class VJSONObject;
class VJSONValue;

class VJSONGraph : public VObject, public IRefCountable {
 public:
  VJSONGraph() = default;
  ~VJSONGraph() override = default;

  // The parent container (one of the two parent pointers) now holds the
  // child container (one of the two child pointers).
  static void Connect(VJSONGraph** parentGraph, VJSONGraph** childGraph,
                      const VJSONObject* parentObject, const VJSONArray* parentArray,
                      const VJSONObject* childObject, const VJSONArray* childArray);
  static void Connect(VJSONGraph** parentGraph, const VJSONValue& child,
                      const VJSONObject* parentObject, const VJSONArray* parentArray);
  static void Disconnect(VJSONGraph* graph, const VJSONValue& child);
  // The release check, right after one member reference to the container
  // was counted down and before the value holding it is released.
  static void ReleaseObjectDependenciesIfNecessary(VJSONObject* object);
  static void ReleaseArrayDependenciesIfNecessary(VJSONArray* array);

  bool ReleaseDependenciesIfNecessary(IRefCountable* unused,
                                      const std::vector<VJSONObject*>& objects,
                                      const std::vector<VJSONArray*>& arrays, int32 visits);
  bool ReleaseGraphDependenciesIfNecessary(IRefCountable* unused);
  // The given containers (either may be null), and every container they
  // reach outside this graph, join it with the references they hold; other
  // graphs met on the way merge into this one. Coming back to a member marks
  // the graph as possibly cyclic.
  void CollectReferences(const VJSONObject* object, const VJSONArray* array);

  // The joining walk over plain sets: every container reached from the
  // object (the array) that is not in the sets yet is added; `retains`
  // gains its reference count, and `internalReferences` 1 for each
  // container reference that an added container holds.
  static void CollectObjectReferences(const VJSONObject* object, std::set<VJSONObject*>& objects,
                                      std::set<VJSONArray*>& arrays, int32& retains,
                                      int32& internalReferences);
  static void CollectArrayReferences(const VJSONArray* array, std::set<VJSONObject*>& objects,
                                     std::set<VJSONArray*>& arrays, int32& retains,
                                     int32& internalReferences);
  // The walk of the release check: each container reached from the object
  // (the array) is a visit, which adds 1 to `visits`; a container met again
  // sets `*foundTwice` and is not walked again.
  static void CollectObjectReferences(const VJSONObject* object, std::vector<VJSONObject*>& objects,
                                      std::vector<VJSONArray*>& arrays, int32& visits,
                                      bool* foundTwice);
  static void CollectArrayReferences(const VJSONArray* array, std::vector<VJSONObject*>& objects,
                                     std::vector<VJSONArray*>& arrays, int32& visits,
                                     bool* foundTwice);

  bool HasCycles() const { return fHasCycles.load(std::memory_order_relaxed); }
  bool NeedsLock() const { return fNeedsLock.load(std::memory_order_relaxed); }
  uint32 GetRetainCounter() const { return fRetainCounter.load(std::memory_order_relaxed); }
  uint32 GetInternalReferences() const { return fInternalRefs.load(std::memory_order_relaxed); }
  void AddRetain(int32 delta) { fRetainCounter.fetch_add(uint32(delta)); }
  void AddInternalReferences(int32 delta) { fInternalRefs.fetch_add(uint32(delta)); }
  size_t GetObjectCount() const { return fObjects.size(); }
  size_t GetArrayCount() const { return fArrays.size(); }
  void RemoveObject(VJSONObject* object) { fObjects.erase(object); }
  void RemoveArray(VJSONArray* array) { fArrays.erase(array); }

  // The counting of a container (object or array): a member's graph
  // counts its retains, under the graph lock when the container or its
  // graph is shared; a release may free the cycles the graph holds.
  template <class Container>
  static int32 RetainMember(const Container* container) {
    VJSONGraph* graph = container->fGraph;
    if (!container->HasStorageLocker()) {
      if (graph == nullptr) return container->IRefCountable::Retain();
      if (!graph->NeedsLock()) {
        graph->AddRetain(1);
        return container->IRefCountable::Retain();
      }
    }
    StGraphLocker lock;
    if (container->fGraph != nullptr) container->fGraph->AddRetain(1);
    return container->IRefCountable::Retain();
  }
  template <class Container>
  static int32 ReleaseMember(const Container* container) {
    const bool shared = container->HasStorageLocker();
    if (!shared && container->fGraph == nullptr) return container->IRefCountable::Release();
    StGraphLocker lock(shared || container->fGraph->NeedsLock());
    if (VJSONGraph* graph = container->fGraph) {
      if (graph->HasCycles()) graph->ReleaseGraphDependenciesIfNecessary(nullptr);
      if (container->fGraph != nullptr) container->fGraph->AddRetain(-1);
    }
    return container->IRefCountable::Release();
  }

  // True when the container is shared in the graph's sense: it has a
  // storage locker, or its implementation declares itself sharable.
  static bool IsSharedContainer(const VJSONObject* object, const VJSONArray* array);

 private:
  static VJSONGraph** _SlotOf(const VJSONObject* object, const VJSONArray* array);
  void _CountReference(const VJSONObject* object, const VJSONArray* array);
  void _Enter(const VJSONObject* object, const VJSONArray* array);
  void _Merge(VJSONGraph* other);
  void _Collect(const VJSONObject* object, const VJSONArray* array, bool reachingAMemberIsACycle);
  static void _ReleaseCheck(VJSONGraph* graph, uint32 inGraphCount, int32 refCount,
                            const VJSONObject* object, const VJSONArray* array);
  static void _Empty(VJSONObject* object);
  static void _Empty(VJSONArray* array);

  std::atomic<bool> fHasCycles{false};
  std::atomic<bool> fNeedsLock{false};
  std::atomic<uint32> fRetainCounter{0};
  std::atomic<uint32> fInternalRefs{0};
  std::set<VJSONObject*> fObjects;
  std::set<VJSONArray*> fArrays;
};

}  // namespace zeft
