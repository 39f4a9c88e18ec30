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
    for (const auto& [name, value] : node.fObject->GetPropertyMap()) {
      if (const VJSONObject* object = value.GetObject()) {
        visit(Node{object, nullptr});
      } else if (const VJSONArray* array = value.GetArray()) {
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
//
// A container joins a graph only when a reference is set through Connect;
// what the text parser builds stays out of any graph, for a tree can free
// itself by counting alone. Every member's children are members of its
// graph, and a reference counts in the graph exactly when its holder is a
// member, so a tree joins whole, with every reference it holds, the first
// time one of its containers is connected.

VJSONGraph** VJSONGraph::_SlotOf(const VJSONObject* object, const VJSONArray* array) {
  return object != nullptr ? &const_cast<VJSONObject*>(object)->fGraph
                           : &const_cast<VJSONArray*>(array)->fGraph;
}

void VJSONGraph::_CountReference(const VJSONObject* object, const VJSONArray* array) {
  if (object != nullptr) {
    ++const_cast<VJSONObject*>(object)->fInGraphCount;
  } else {
    ++const_cast<VJSONArray*>(array)->fInGraphCount;
  }
  fInternalRefs.fetch_add(1);
}

void VJSONGraph::_Enter(const VJSONObject* object, const VJSONArray* array) {
  int32 count;
  if (object != nullptr) {
    fObjects.insert(const_cast<VJSONObject*>(object));
    count = object->GetRefCount();
  } else {
    fArrays.insert(const_cast<VJSONArray*>(array));
    count = array->GetRefCount();
  }
  Retain();
  *_SlotOf(object, array) = this;
  fRetainCounter.fetch_add(uint32(count));
  if (IsSharedContainer(object, array)) fNeedsLock.store(true);
}

void VJSONGraph::CollectReferences(const VJSONObject* object, const VJSONArray* array) {
  // The walk may reach members of graphs shared with other tasks.
  StGraphLocker lock;
  for (const Node& node : {Node{object, nullptr}, Node{nullptr, array}}) {
    if (node.fObject == nullptr && node.fArray == nullptr) continue;
    VJSONGraph* graph = *_SlotOf(node.fObject, node.fArray);
    if (graph == nullptr) {
      _Collect(node.fObject, node.fArray, true);
    } else if (graph != this) {
      _Merge(graph);
    }
  }
}

void VJSONGraph::_Collect(const VJSONObject* object, const VJSONArray* array,
                          bool reachingAMemberIsACycle) {
  // The walk may reach members of graphs shared with other tasks.
  StGraphLocker lock;
  _Enter(object, array);
  std::vector<Node> pending{Node{object, array}};
  while (!pending.empty()) {
    const Node node = pending.back();
    pending.pop_back();
    ForEachChild(node, [&](const Node& child) {
      _CountReference(child.fObject, child.fArray);
      VJSONGraph* graph = *_SlotOf(child.fObject, child.fArray);
      if (graph == this) {
        if (reachingAMemberIsACycle) fHasCycles.store(true);
      } else if (graph != nullptr) {
        _Merge(graph);
      } else {
        _Enter(child.fObject, child.fArray);
        pending.push_back(child);
      }
    });
  }
}

void VJSONGraph::_Merge(VJSONGraph* other) {
  other->Retain();  // alive until every member has left it
  if (other->HasCycles()) fHasCycles.store(true);
  if (other->NeedsLock()) fNeedsLock.store(true);
  fRetainCounter.fetch_add(other->fRetainCounter.exchange(0));
  fInternalRefs.fetch_add(other->fInternalRefs.exchange(0));
  auto adopt = [this](auto& from, auto& into) {
    const auto members = std::exchange(from, {});
    for (auto* member : members) {
      into.insert(member);
      if (member->fGraph != this) {
        Retain();
        std::exchange(member->fGraph, this)->Release();
      }
    }
  };
  adopt(other->fObjects, fObjects);
  adopt(other->fArrays, fArrays);
  other->Release();
}

void VJSONGraph::Connect(VJSONGraph** parentGraph, VJSONGraph** childGraph,
                         const VJSONObject* parentObject, const VJSONArray* parentArray,
                         const VJSONObject* childObject, const VJSONArray* childArray) {
  VJSONGraph* graph = *parentGraph;
  if (graph == nullptr) {
    // The parent joins the child's graph, or a new one, with everything it
    // holds (the new reference included). Outside any graph, the parent is
    // not reachable from a member: the child's graph gains no cycle, while
    // a new graph has one when its walk comes back to a container twice.
    VJSONGraph* joined = parentGraph == childGraph ? nullptr : *childGraph;
    if (joined != nullptr) {
      joined->_Collect(parentObject, parentArray, false);
      graph = joined;
    } else {
      graph = new VJSONGraph();
      graph->_Collect(parentObject, parentArray, true);
      graph->Release();  // the members hold it
    }
  } else {
    graph->_CountReference(childObject, childArray);
    VJSONGraph* other = *childGraph;
    if (other == graph) {
      graph->fHasCycles.store(true);
    } else if (other != nullptr) {
      graph->_Merge(other);
    } else {
      // Reaching a member from the child may lead back to the parent.
      graph->CollectReferences(childObject, childArray);
    }
  }
  if (IsSharedContainer(parentObject, parentArray) || IsSharedContainer(childObject, childArray)) {
    graph->fNeedsLock.store(true);
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
  VJSONElements removed;
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

namespace {

void JoinWalk(const Node& start, std::set<VJSONObject*>& objects, std::set<VJSONArray*>& arrays,
              int32& retains, int32& internalReferences) {
  // Adds the node when new, with its count.
  auto add = [&](const Node& node) {
    if (node.fObject != nullptr) {
      if (!objects.insert(const_cast<VJSONObject*>(node.fObject)).second) return false;
      retains += node.fObject->GetRefCount();
    } else {
      if (!arrays.insert(const_cast<VJSONArray*>(node.fArray)).second) return false;
      retains += node.fArray->GetRefCount();
    }
    return true;
  };
  if ((start.fObject == nullptr && start.fArray == nullptr) || !add(start)) return;
  std::vector<Node> pending{start};
  while (!pending.empty()) {
    const Node node = pending.back();
    pending.pop_back();
    ForEachChild(node, [&](const Node& child) {
      ++internalReferences;
      if (add(child)) pending.push_back(child);
    });
  }
}

void ReleaseWalk(const Node& start, std::vector<VJSONObject*>& objects,
                 std::vector<VJSONArray*>& arrays, int32& visits, bool* foundTwice) {
  if (start.fObject == nullptr && start.fArray == nullptr) return;
  std::vector<Node> pending{start};
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
}

}  // namespace

void VJSONGraph::CollectObjectReferences(const VJSONObject* object, std::set<VJSONObject*>& objects,
                                         std::set<VJSONArray*>& arrays, int32& retains,
                                         int32& internalReferences) {
  JoinWalk(Node{object, nullptr}, objects, arrays, retains, internalReferences);
}

void VJSONGraph::CollectArrayReferences(const VJSONArray* array, std::set<VJSONObject*>& objects,
                                        std::set<VJSONArray*>& arrays, int32& retains,
                                        int32& internalReferences) {
  JoinWalk(Node{nullptr, array}, objects, arrays, retains, internalReferences);
}

void VJSONGraph::CollectObjectReferences(const VJSONObject* object,
                                         std::vector<VJSONObject*>& objects,
                                         std::vector<VJSONArray*>& arrays, int32& visits,
                                         bool* foundTwice) {
  ReleaseWalk(Node{object, nullptr}, objects, arrays, visits, foundTwice);
}

void VJSONGraph::CollectArrayReferences(const VJSONArray* array, std::vector<VJSONObject*>& objects,
                                        std::vector<VJSONArray*>& arrays, int32& visits,
                                        bool* foundTwice) {
  ReleaseWalk(Node{nullptr, array}, objects, arrays, visits, foundTwice);
}

void VJSONGraph::_ReleaseCheck(VJSONGraph* graph, uint32 inGraphCount, int32 refCount,
                               const VJSONObject* object, const VJSONArray* array) {
  if (graph == nullptr || inGraphCount == 0 || int64(inGraphCount) + 1 != int64(refCount)) return;
  std::vector<VJSONObject*> objects;
  std::vector<VJSONArray*> arrays;
  int32 visits = 0;
  bool foundTwice = false;
  if (object != nullptr) {
    CollectObjectReferences(object, objects, arrays, visits, &foundTwice);
  } else {
    CollectArrayReferences(array, objects, arrays, visits, &foundTwice);
  }
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
