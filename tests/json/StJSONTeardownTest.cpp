#include "json/StJSONTeardown.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "JSONTestSupport.h"
#include "runtime/VTask.h"
#include "support/RepeatCount.h"

namespace zeft {
namespace {

// Runs `body` on a preemptive task with a small stack (2 MiB, of which
// ThreadSanitizer takes almost half) and waits for it.
void RunOnSmallTask(const std::function<void()>& body) {
  std::atomic<bool> done{false};
  auto* task = new VTask(2 * 1024 * 1024, kTaskStylePreemptive, [&] {
    body();
    done.store(true);
  });
  ASSERT_TRUE(task->Run());
  EXPECT_TRUE(task->WaitForDeath(300000));
  task->Release();
  EXPECT_TRUE(done.load()) << "the task ended early";
}

// A container holding the next one, by each way of nesting.
using Nest = void (*)(const VJSONValue& parent, const VJSONValue& child);

void PushInto(const VJSONValue& parent, const VJSONValue& child) { parent.GetArray()->Push(child); }
void SetInto(const VJSONValue& parent, const VJSONValue& child) {
  parent.GetObject()->SetProperty(VString("next"), child);
}

struct Chain {
  const char* name;
  JSONType outer;
  JSONType inner;
  Nest nestInOuter;
  Nest nestInInner;
  int depth;
};

// Freeing a chain nested far deeper than any stack could recurse: each
// container is released after its holder, never inside its holder's
// destructor beyond a few levels. A million levels with full counts; the
// bounded 200,000 still need several times the task's 2 MiB stack if
// freed by recursion.
TEST(StJSONTeardownTest, FreesChainsFarDeeperThanATaskStackCouldRecurse) {
  const int deep = test::RepeatCount(1000000, 200000);
  const Chain chains[] = {
      {"arrays by Push", JSON_array, JSON_array, PushInto, PushInto, deep},
      {"objects by SetProperty", JSON_object, JSON_object, SetInto, SetInto, deep},
      {"arrays and objects in turn", JSON_array, JSON_object, PushInto, SetInto, 100000},
  };
  for (const Chain& chain : chains) {
    SCOPED_TRACE(chain.name);
    int32 objectsLeft = -1;
    int32 arraysLeft = -1;
    RunOnSmallTask([&] {
      test::StLiveContainers live;
      {
        VJSONValue top(chain.outer);
        VJSONValue last = top;
        for (int level = 1; level < chain.depth; ++level) {
          const bool outer = level % 2 == 0;
          VJSONValue next(outer ? chain.outer : chain.inner);
          (outer ? chain.nestInInner : chain.nestInOuter)(last, next);
          last = next;
        }
      }
      objectsLeft = live.Objects();
      arraysLeft = live.Arrays();
    });
    EXPECT_EQ(objectsLeft, 0);
    EXPECT_EQ(arraysLeft, 0);
  }
}

// A wide tree below the depth where containers are set aside, and the same
// tree hung that deep: both are freed whole.
TEST(StJSONTeardownTest, FreesWideTreesAtAnyDepth) {
  for (const uint32 depth : {0u, StJSONTeardown::kMaximumDepth + 3}) {
    SCOPED_TRACE(depth);
    test::StLiveContainers live;
    {
      VJSONValue top(JSON_array);
      VJSONValue holder = top;
      for (uint32 level = 0; level < depth; ++level) {
        VJSONValue next(JSON_array);
        holder.GetArray()->Push(next);
        holder = next;
      }
      for (int i = 0; i < 100; ++i) {
        VJSONValue child(JSON_object);
        child.GetObject()->SetProperty(VString("text"), VJSONValue(VString("leaf")));
        child.GetObject()->SetProperty(VString("list"), VJSONValue(JSON_array));
        holder.GetArray()->Push(child);
      }
      const VJSONValue parsed = test::Parse(R"([{"a":[1,{"b":[]}]},[[["x"]]]])");
      holder.GetArray()->Push(parsed);
    }
    EXPECT_EQ(live.Objects(), 0);
    EXPECT_EQ(live.Arrays(), 0);
  }
}

}  // namespace
}  // namespace zeft
