#include "json/VJSONGraph.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "JSONTestSupport.h"
#include "json/VJSONUser.h"

namespace zeft {
namespace {

using test::StLiveContainers;

TEST(VJSONGraphTest, ArrayHoldingItselfIsFreed) {
  StLiveContainers live;
  {
    VJSONValue array(JSON_array);
    array.GetArray()->Push(array);
    ASSERT_NE(array.GetArray()->GetGraph(), nullptr);
    EXPECT_TRUE(array.GetArray()->GetGraph()->HasCycles());
    EXPECT_EQ(live.Arrays(), 1);
  }
  EXPECT_EQ(live.Arrays(), 0);
}

TEST(VJSONGraphTest, TwoObjectsHoldingEachOtherAreFreed) {
  StLiveContainers live;
  {
    VJSONValue first(JSON_object);
    VJSONValue second(JSON_object);
    first.SetProperty(VString("other"), second);
    second.SetProperty(VString("other"), first);
    EXPECT_EQ(live.Objects(), 2);
    first.SetUndefined();
    EXPECT_EQ(live.Objects(), 2) << "still reachable through the second";
  }
  EXPECT_EQ(live.Objects(), 0);
}

TEST(VJSONGraphTest, TreesAreFreedByCountingAlone) {
  StLiveContainers live;
  {
    VJSONValue root(JSON_object);
    VJSONValue list(JSON_array);
    list.GetArray()->Push(VJSONValue(JSON_object));
    root.SetProperty(VString("list"), list);
    root.SetProperty(VString("leaf"), VJSONValue(JSON_array));
    ASSERT_NE(root.GetObject()->GetGraph(), nullptr);
    EXPECT_FALSE(root.GetObject()->GetGraph()->HasCycles());
  }
  EXPECT_EQ(live.Objects(), 0);
  EXPECT_EQ(live.Arrays(), 0);
}

TEST(VJSONGraphTest, RemovingTheLastReferenceFreesACycleAtOnce) {
  StLiveContainers live;
  VJSONValue holder(JSON_object);
  {
    VJSONValue a(JSON_array);
    VJSONValue b(JSON_array);
    a.GetArray()->Push(b);
    b.GetArray()->Push(a);
    holder.SetProperty(VString("cycle"), a);
  }
  EXPECT_EQ(live.Arrays(), 2);
  holder.SetProperty(VString("cycle"), VJSONValue(1.0));
  EXPECT_EQ(live.Arrays(), 0);
  holder.SetProperty(VString("again"), VJSONValue(JSON_array));
  holder.GetObject()->RemoveProperty(VString("again"));
  EXPECT_EQ(live.Arrays(), 0);
}

TEST(VJSONGraphTest, CyclesThroughMergedGraphsAreFreed) {
  StLiveContainers live;
  {
    VJSONValue left(JSON_object);
    VJSONValue right(JSON_object);
    left.SetProperty(VString("child"), VJSONValue(JSON_array));
    right.SetProperty(VString("child"), VJSONValue(JSON_array));
    left.GetProperty(VString("child")).GetArray()->Push(right);
    right.GetProperty(VString("child")).GetArray()->Push(left);
    EXPECT_EQ(left.GetObject()->GetGraph(), right.GetObject()->GetGraph());
  }
  EXPECT_EQ(live.Objects(), 0);
  EXPECT_EQ(live.Arrays(), 0);
}

TEST(VJSONGraphTest, CycleCollectedOutOfAGraphLeavesItBalanced) {
  // A cycle replaced in its parent is freed alone; the parent's graph must
  // still free the next cycle it takes.
  StLiveContainers live;
  {
    VJSONValue top(JSON_object);
    for (int round = 0; round < 2; ++round) {
      VJSONValue cycle(JSON_array);
      top.GetObject()->SetOwnProperty(VString("k"), cycle);
      cycle.GetArray()->Push(cycle);
      cycle.GetArray()->Push(VJSONValue(JSON_array));
    }
    top.GetObject()->SetOwnProperty(VString("k"), VJSONValue(JSON_null));
    VJSONValue last(JSON_array);
    top.GetObject()->SetOwnProperty(VString("k"), last);
    last.GetArray()->Push(last);
  }
  EXPECT_EQ(live.Arrays(), 0);
  EXPECT_EQ(live.Objects(), 0);
}

TEST(VJSONGraphTest, ReplacingAValueWhoseCyclePassesThroughTheHolder) {
  // The value's cycle runs back through the object or array that drops it:
  // that reference must not count twice, or the holder, still held here,
  // would be emptied while it is being changed.
  StLiveContainers live;
  for (int way = 0; way < 4; ++way) {
    VJSONValue holder(way < 2 ? JSON_object : JSON_array);
    {
      VJSONValue cycle(JSON_array);
      cycle.GetArray()->Push(cycle);
      VJSONValue back(JSON_object);
      back.GetObject()->SetOwnProperty(VString("holder"), holder);
      cycle.GetArray()->Push(back);
      if (way < 2) {
        holder.GetObject()->SetOwnProperty(VString("k"), cycle);
      } else {
        holder.GetArray()->Push(cycle);
      }
    }
    switch (way) {
      case 0:
        holder.GetObject()->SetOwnProperty(VString("k"), VJSONValue(1.0));
        break;
      case 1:
        holder.GetObject()->RemoveOwnProperty(VString("k"));
        break;
      case 2:
        holder.GetArray()->SetAt(0, VJSONValue(1.0));
        break;
      default:
        holder.GetArray()->RemoveAt(0);
        break;
    }
    EXPECT_EQ(test::Write(holder), way == 0   ? R"({"k":1})"
                                   : way == 2 ? "[1]"
                                   : way == 1 ? "{}"
                                              : "[]")
        << way;
  }
  EXPECT_EQ(live.Arrays(), 0);
  EXPECT_EQ(live.Objects(), 0);
}

TEST(VJSONGraphTest, DeepChainsCollectWithoutRecursion) {
  StLiveContainers live;
  {
    VJSONValue head(JSON_array);
    VJSONValue current = head;
    for (int i = 0; i < 100000; ++i) {
      VJSONValue next(JSON_array);
      current.GetArray()->Push(next);
      current = next;
    }
    current.GetArray()->Push(head);  // closes one long cycle
  }
  EXPECT_EQ(live.Arrays(), 0);
}

// The two walks over a root whose properties "x" and "y" hold one array of
// two objects: the joining walk adds each container once with its count
// and counts every reference held by an added container; the release
// check's walk visits the shared array twice.
TEST(VJSONGraphTest, CollectWalksCountContainersAndReferences) {
  VJSONValue root(JSON_object);
  VJSONValue shared(JSON_array);
  shared.GetArray()->Push(VJSONValue(JSON_object));
  shared.GetArray()->Push(VJSONValue(JSON_object));
  root.SetProperty(VString("x"), shared);
  root.SetProperty(VString("y"), shared);
  ASSERT_EQ(shared.GetArray()->GetRefCount(), 3);

  std::set<VJSONObject*> objectSet;
  std::set<VJSONArray*> arraySet;
  int32 retains = 0;
  int32 references = 0;
  VJSONGraph::CollectObjectReferences(root.GetObject(), objectSet, arraySet, retains, references);
  EXPECT_EQ(objectSet.size(), 3u);
  EXPECT_EQ(arraySet, std::set<VJSONArray*>{shared.GetArray()});
  EXPECT_EQ(retains, 1 + 3 + 1 + 1);
  EXPECT_EQ(references, 4);
  VJSONGraph::CollectArrayReferences(shared.GetArray(), objectSet, arraySet, retains, references);
  EXPECT_EQ(retains, 6) << "containers already in the sets are not counted again";
  EXPECT_EQ(references, 4);
  objectSet.clear();
  arraySet.clear();
  retains = references = 0;
  VJSONGraph::CollectArrayReferences(shared.GetArray(), objectSet, arraySet, retains, references);
  EXPECT_EQ(objectSet.size(), 2u);
  EXPECT_EQ(retains, 3 + 1 + 1);
  EXPECT_EQ(references, 2);

  struct Walk {
    const char* name;
    const VJSONObject* object;
    const VJSONArray* array;
    size_t objects;
    int32 visits;
    bool foundTwice;
  };
  const Walk walks[] = {
      {"from the root", root.GetObject(), nullptr, 3, 5, true},
      {"from the array", nullptr, shared.GetArray(), 2, 3, false},
  };
  for (const Walk& walk : walks) {
    SCOPED_TRACE(walk.name);
    std::vector<VJSONObject*> objects;
    std::vector<VJSONArray*> arrays;
    int32 visits = 0;
    bool foundTwice = false;
    if (walk.object != nullptr) {
      VJSONGraph::CollectObjectReferences(walk.object, objects, arrays, visits, &foundTwice);
    } else {
      VJSONGraph::CollectArrayReferences(walk.array, objects, arrays, visits, &foundTwice);
    }
    EXPECT_EQ(objects.size(), walk.objects);
    EXPECT_EQ(arrays, std::vector<VJSONArray*>{shared.GetArray()});
    EXPECT_EQ(visits, walk.visits);
    EXPECT_EQ(foundTwice, walk.foundTwice);
  }
}

// Collecting into a graph: a tree outside any graph joins it whole, a
// member adds nothing, and a container of another graph brings that graph
// in; the counts stay balanced, so everything is freed at the end.
TEST(VJSONGraphTest, CollectReferencesJoinsTreesAndMergesGraphs) {
  StLiveContainers live;
  {
    const VJSONValue tree = test::Parse(R"({"a":[{"b":[]}]})");
    const VJSONValue loop(JSON_array);
    loop.GetArray()->Push(loop);
    ASSERT_EQ(tree.GetObject()->GetGraph(), nullptr);
    auto* graph = new VJSONGraph();
    graph->CollectReferences(tree.GetObject(), nullptr);
    EXPECT_EQ(tree.GetObject()->GetGraph(), graph);
    EXPECT_EQ(graph->GetObjectCount(), 2u);
    EXPECT_EQ(graph->GetArrayCount(), 2u);
    EXPECT_EQ(graph->GetRetainCounter(), 4u);
    EXPECT_EQ(graph->GetInternalReferences(), 3u);
    EXPECT_FALSE(graph->HasCycles());
    const VJSONValue inner = tree.GetProperty(VString("a"));
    graph->CollectReferences(nullptr, inner.GetArray());
    EXPECT_EQ(graph->GetRetainCounter(), 5u) << "only the new reference to the member counts";
    EXPECT_EQ(graph->GetArrayCount(), 2u);
    graph->CollectReferences(nullptr, loop.GetArray());
    EXPECT_EQ(loop.GetArray()->GetGraph(), graph);
    EXPECT_EQ(graph->GetArrayCount(), 3u);
    EXPECT_EQ(graph->GetRetainCounter(), 7u);
    EXPECT_EQ(graph->GetInternalReferences(), 4u);
    EXPECT_TRUE(graph->HasCycles()) << "taken over from the merged graph";
    graph->Release();  // its members hold it
  }
  EXPECT_EQ(live.Objects(), 0);
  EXPECT_EQ(live.Arrays(), 0);
}

TEST(VJSONGraphTest, ParsedTreesStayOutOfGraphsUntilConnected) {
  StLiveContainers live;
  {
    const VJSONValue root = test::Parse(R"({"a":{"b":[{"c":[]}]},"d":[1,2]})");
    EXPECT_EQ(root.GetObject()->GetGraph(), nullptr);
    EXPECT_EQ(root.GetProperty(VString("a")).GetObject()->GetGraph(), nullptr);
  }
  EXPECT_EQ(live.Objects(), 0);
  EXPECT_EQ(live.Arrays(), 0);
}

TEST(VJSONGraphTest, CyclesMadeThroughParsedTreesAreFreed) {
  // Each way closes a cycle through containers the parser built, which
  // join a graph only then; everything must still be freed, and the rest
  // of the tree must stay intact while the cycle lives.
  const std::string text = R"({"a":{"b":[{"c":[]}]},"d":[1,2]})";
  auto path = [](const VJSONValue& root, const char* steps) {
    return root.GetObject()->GetPropertyWithPath(VString(steps));
  };
  const std::vector<std::function<void(const VJSONValue&, VJSONValue&)>> ways = {
      // The innermost array holds the root.
      [&](const VJSONValue& root, VJSONValue&) { path(root, "a.b[0].c").GetArray()->Push(root); },
      // An inner object holds itself below a tree parent.
      [&](const VJSONValue& root, VJSONValue&) {
        const VJSONValue a = path(root, "a");
        a.GetObject()->SetOwnProperty(VString("self"), a);
      },
      // A new container takes a subtree that then holds it back.
      [&](const VJSONValue& root, VJSONValue& holder) {
        holder.GetArray()->Push(path(root, "a.b"));
        path(root, "a.b[0].c").GetArray()->Push(holder);
      },
      // Two parsed trees refer to each other.
      [&](const VJSONValue& root, VJSONValue& holder) {
        holder = test::Parse(R"([{"x":[]}])");
        path(root, "a.b[0]").GetObject()->SetOwnProperty(VString("other"), holder);
        holder.GetArray()->GetAt(0).GetObject()->SetOwnProperty(VString("back"), root);
      },
      // A subtree joins a cyclic graph and leaves it again.
      [&](const VJSONValue& root, VJSONValue& holder) {
        holder.GetArray()->Push(holder);
        holder.GetArray()->Push(path(root, "a"));
        holder.GetArray()->RemoveAt(1);
        path(root, "a.b").GetArray()->Push(root);
      },
  };
  StLiveContainers live;
  for (size_t way = 0; way < ways.size(); ++way) {
    {
      const VJSONValue root = test::Parse(text);
      VJSONValue holder(JSON_array);
      ways[way](root, holder);
      EXPECT_EQ(test::Write(root.GetProperty(VString("d"))), "[1,2]") << way;
      EXPECT_TRUE(path(root, "a.b[0].c").IsArray()) << way;
    }
    EXPECT_EQ(live.Objects(), 0) << way;
    EXPECT_EQ(live.Arrays(), 0) << way;
  }
}

TEST(VJSONGraphTest, SharedMemberSetsTheNeedsLockFlag) {
  VRefPtr<VJSONArray> shared(new VJSONArray(true), kAdoptRef);
  VJSONValue holder(JSON_array);
  holder.GetArray()->Push(VJSONValue(shared.Get()));
  ASSERT_NE(holder.GetArray()->GetGraph(), nullptr);
  EXPECT_TRUE(holder.GetArray()->GetGraph()->NeedsLock());
}

}  // namespace
}  // namespace zeft
