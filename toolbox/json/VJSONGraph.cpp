#include "json/VJSONGraph.h"

#include <algorithm>

#include "json/StGraphLocker.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"

namespace zeft {

namespace {

// One container of a walk: exactly one of the two is set. The walks keep
// their own work list instead of recursing, so that any depth of nesting
// costs heap, not stack.
struct Node {
  const VJSONObject* fObject;
  const VJSONArray* fArray;
};

VStorageLocker* LockerOf(const Node& node) {
  return node.fObject != nullptr ? node.fObject->GetStorageLockerNoRetain()
                                 : node.fArray->GetStorageLockerNoRetain();
}

// Appends the containers held by the node (under its locker's lock).
template <class Visit>
void ForEachChild(const Node& node, Visit&& visit) {
  VStorageLocker* locker = LockerOf(node);
  StJSONLocks locks(false, locker);
  if (node.fObject != nullptr) {
    for (const auto& [name, entry] : node.fObject->GetPropertyMap()) {
      if (const VJSONObject* object = entry.first.GetObject()) {
        visit(Node{object, nullptr});
      } else if (const VJSONArray* array = entry.first.GetArray()) {
        visit(Node{nullptr, array});
      }
    }
  } else {
    for (const VJSONValue& value : node.fArray->GetValuesNoLock()) {
      if (const VJSONObject* object = value.GetObject()) {
        visit(Node{object, nullptr});
      } else if (const VJSONArray* array = value.GetArray()) {
        visit(Node{nullptr, array});
      }
    }
  }
}

}  // namespace

bool VJSONGraph::IsSharedContainer(const VJSONObject* object, const VJSONArray* array) {
  if (object != nullptr) return object->IsShared();
  return array != nullptr && array->HasStorageLocker();
}

// ---------------------------------------------------------------------------
// Joining

void VJSONGraph::CollectReferences(const VJSONObject* object, const VJSONArray* array) {
  std::vector<Node> pending;
  auto enter = [&](const Node& node) {
    bool inserted;
    if (node.fObject != nullptr) {
      inserted = fObjects.insert(const_cast<VJSONObject*>(node.fObject)).second;
    } else {
      inserted = fArrays.insert(const_cast<VJSONArray*>(node.fArray)).second;
    }
    if (!inserted) return;
    const int32 count =
        node.fObject != nullptr ? node.fObject->GetRefCount() : node.fArray->GetRefCount();
    fRetainCounter.fetch_add(uint32(count));
    pending.push_back(node);
  };
  if (object != nullptr || array != nullptr) enter(Node{object, array});
  while (!pending.empty()) {
    const Node node = pending.back();
    pending.pop_back();
    ForEachChild(node, [&](const Node& child) {
      fInternalRefs.fetch_add(1);
      enter(child);
    });
  }
}

void VJSONGraph::_CollectObjectReferences(const VJSONObject* object) {
  CollectReferences(object, nullptr);
}

void VJSONGraph::_CollectArrayReferences(const VJSONArray* array) {
  CollectReferences(nullptr, array);
}

void VJSONGraph::Connect(VJSONGraph** parentGraph, VJSONGraph** childGraph,
                         const VJSONObject* parentObject, const VJSONArray* parentArray,
                         const VJSONObject* childObject, const VJSONArray* childArray) {
  if (childObject != nullptr) {
    ++const_cast<VJSONObject*>(childObject)->fInGraphCount;
  } else {
    ++const_cast<VJSONArray*>(childArray)->fInGraphCount;
  }
  const bool childShared = IsSharedContainer(childObject, childArray);
  if (parentGraph == childGraph) {
    if (*parentGraph != nullptr) {
      (*parentGraph)->fHasCycles.store(true);
      (*parentGraph)->fInternalRefs.fetch_add(1);
      return;
    }
    auto* graph = new VJSONGraph();
    graph->fHasCycles.store(true);
    if (childShared) graph->fNeedsLock.store(true);
    *parentGraph = graph;
    graph->CollectReferences(parentObject, parentArray);
    return;
  }
  VJSONGraph* gp = *parentGraph;
  VJSONGraph* gc = *childGraph;
  const bool parentShared = IsSharedContainer(parentObject, parentArray);
  if (gp == nullptr && gc == nullptr) {
    auto* graph = new VJSONGraph();
    if (childShared || parentShared) graph->fNeedsLock.store(true);
    *parentGraph = graph;
    graph->Retain();
    *childGraph = graph;
    graph->CollectReferences(parentObject, parentArray);
    graph->CollectReferences(childObject, childArray);
  } else if (gp == nullptr) {
    gc->Retain();
    *parentGraph = gc;
    if (parentShared) gc->fNeedsLock.store(true);
    gc->CollectReferences(parentObject, parentArray);
  } else if (gc == nullptr) {
    gp->Retain();
    *childGraph = gp;
    if (childShared) gp->fNeedsLock.store(true);
    gp->fInternalRefs.fetch_add(1);
    gp->CollectReferences(childObject, childArray);
  } else if (gp == gc) {
    gp->fHasCycles.store(true);
    gp->fInternalRefs.fetch_add(1);
  } else {
    // Merge the child's graph into the parent's.
    gc->Retain();  // alive until every member has left it
    if (gc->HasCycles()) gp->fHasCycles.store(true);
    if (gc->NeedsLock()) gp->fNeedsLock.store(true);
    gp->fRetainCounter.fetch_add(gc->fRetainCounter.exchange(0));
    gp->fInternalRefs.fetch_add(gc->fInternalRefs.exchange(0));
    std::set<VJSONObject*> objects = std::move(gc->fObjects);
    std::set<VJSONArray*> arrays = std::move(gc->fArrays);
    gc->fObjects.clear();
    gc->fArrays.clear();
    for (VJSONObject* object : objects) {
      gp->fObjects.insert(object);
      if (object->fGraph != gp) {
        gp->Retain();
        std::exchange(object->fGraph, gp)->Release();
      }
    }
    for (VJSONArray* array : arrays) {
      gp->fArrays.insert(array);
      if (array->fGraph != gp) {
        gp->Retain();
        std::exchange(array->fGraph, gp)->Release();
      }
    }
    gc->Release();
    gp->fInternalRefs.fetch_add(1);
  }
}

void VJSONGraph::Connect(VJSONGraph** parentGraph, const VJSONValue& child,
                         const VJSONObject* parentObject, const VJSONArray* parentArray) {
  if (VJSONObject* object = child.GetObject()) {
    Connect(parentGraph, &object->fGraph, parentObject, parentArray, object, nullptr);
  } else if (VJSONArray* array = child.GetArray()) {
    Connect(parentGraph, &array->fGraph, parentObject, parentArray, nullptr, array);
  }
}

void VJSONGraph::Disconnect(VJSONGraph* graph, const VJSONValue& child) {
  if (graph == nullptr) return;
  if (VJSONObject* object = child.GetObject()) {
    --object->fInGraphCount;
    graph->fInternalRefs.fetch_sub(1);
    ReleaseObjectDependenciesIfNecessary(object);
  } else if (VJSONArray* array = child.GetArray()) {
    --array->fInGraphCount;
    graph->fInternalRefs.fetch_sub(1);
    ReleaseArrayDependenciesIfNecessary(array);
  }
}

// ---------------------------------------------------------------------------
// Collection

void VJSONGraph::_Empty(VJSONObject* object) {
  object->DisconnectAll();
  VJSONObject::PropertyMap removed;
  removed.swap(object->fProperties);
}

void VJSONGraph::_Empty(VJSONArray* array) {
  std::vector<VJSONValue> removed;
  removed.swap(array->fValues);
}

bool VJSONGraph::ReleaseGraphDependenciesIfNecessary(IRefCountable*) {
  if (fInternalRefs.load() + 1 != fRetainCounter.load()) return false;
  Retain();
  std::vector<VJSONObject*> objects(fObjects.begin(), fObjects.end());
  std::vector<VJSONArray*> arrays(fArrays.begin(), fArrays.end());
  for (VJSONObject* object : objects) {
    std::exchange(object->fGraph, nullptr)->Release();
    object->Retain();
  }
  for (VJSONArray* array : arrays) {
    std::exchange(array->fGraph, nullptr)->Release();
    array->Retain();
  }
  for (VJSONObject* object : objects) {
    _Empty(object);
    object->Release();
  }
  for (VJSONArray* array : arrays) {
    _Empty(array);
    array->Release();
  }
  Release();
  return true;
}

bool VJSONGraph::_Walk(const VJSONObject* object, const VJSONArray* array,
                       std::vector<VJSONObject*>& objects, std::vector<VJSONArray*>& arrays,
                       int32& visits, bool* foundTwice) {
  std::vector<Node> pending{Node{object, array}};
  while (!pending.empty()) {
    const Node node = pending.back();
    pending.pop_back();
    ++visits;
    bool seen;
    if (node.fObject != nullptr) {
      auto* member = const_cast<VJSONObject*>(node.fObject);
      seen = std::find(objects.begin(), objects.end(), member) != objects.end();
      if (!seen) objects.push_back(member);
    } else {
      auto* member = const_cast<VJSONArray*>(node.fArray);
      seen = std::find(arrays.begin(), arrays.end(), member) != arrays.end();
      if (!seen) arrays.push_back(member);
    }
    if (seen) {
      *foundTwice = true;
      continue;
    }
    ForEachChild(node, [&](const Node& child) { pending.push_back(child); });
  }
  return true;
}

void VJSONGraph::_ReleaseCheck(VJSONGraph* graph, uint32 inGraphCount, int32 refCount,
                               const VJSONObject* object, const VJSONArray* array) {
  if (graph == nullptr || inGraphCount == 0 || int64(inGraphCount) + 1 != int64(refCount)) return;
  std::vector<VJSONObject*> objects;
  std::vector<VJSONArray*> arrays;
  int32 visits = 0;
  bool foundTwice = false;
  _Walk(object, array, objects, arrays, visits, &foundTwice);
  if (!foundTwice) return;
  graph->ReleaseDependenciesIfNecessary(nullptr, objects, arrays, visits);
}

void VJSONGraph::ReleaseObjectDependenciesIfNecessary(VJSONObject* object) {
  _ReleaseCheck(object->fGraph, object->fInGraphCount, object->GetRefCount(), object, nullptr);
}

void VJSONGraph::ReleaseArrayDependenciesIfNecessary(VJSONArray* array) {
  _ReleaseCheck(array->fGraph, array->fInGraphCount, array->GetRefCount(), nullptr, array);
}

bool VJSONGraph::ReleaseDependenciesIfNecessary(IRefCountable*,
                                                const std::vector<VJSONObject*>& objects,
                                                const std::vector<VJSONArray*>& arrays,
                                                int32 visits) {
  int64 sum = 0;
  for (const VJSONObject* object : objects) sum += object->GetRefCount();
  for (const VJSONArray* array : arrays) sum += array->GetRefCount();
  if (sum != visits) return false;
  // The group leaves the graph: its members' retains and the references
  // between them (every edge the walk followed) stop counting, so that the
  // graph's own release check still balances for the members that stay.
  fRetainCounter.fetch_sub(uint32(sum));
  fInternalRefs.fetch_sub(uint32(visits - 1));
  Retain();
  for (VJSONObject* object : objects) {
    if (VJSONGraph* graph = std::exchange(object->fGraph, nullptr)) graph->Release();
    object->Retain();
  }
  for (VJSONArray* array : arrays) {
    if (VJSONGraph* graph = std::exchange(array->fGraph, nullptr)) graph->Release();
    array->Retain();
  }
  for (VJSONObject* object : objects) _Empty(object);
  for (VJSONArray* array : arrays) _Empty(array);
  for (VJSONObject* object : objects) {
    fObjects.erase(object);
    object->Release();
  }
  for (VJSONArray* array : arrays) {
    fArrays.erase(array);
    array->Release();
  }
  Release();
  return true;
}

}  // namespace zeft
