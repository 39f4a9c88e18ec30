#include <gtest/gtest.h>

#include <thread>

#include "JSONTestSupport.h"
#include "runtime/VTask.h"

namespace zeft {
namespace {

VJSONObject* NewObject() { return new VJSONObject; }

TEST(VTaskJSONTest, RegisteredObjectsLiveUntilTheTaskEnds) {
  VRefPtr<VJSONObject> kept(NewObject(), kAdoptRef);
  VRefPtr<VJSONObject> dropped(NewObject(), kAdoptRef);
  int32 keptWhileRunning = 0;
  int32 droppedWhileRunning = 0;
  auto* task = new VTask(0, kTaskStylePreemptive, [&] {
    VTask::RegisterJSONObject(kept.Get());
    VTask::RegisterJSONObject(kept.Get());
    VTask::RegisterJSONObject(dropped.Get());
    VTask::UnregisterJSONObject(dropped.Get());
    VTask::UnregisterJSONObject(dropped.Get());
    VTask::RegisterJSONObject(nullptr);
    keptWhileRunning = kept->GetRefCount();
    droppedWhileRunning = dropped->GetRefCount();
  });
  ASSERT_TRUE(task->Run());
  EXPECT_TRUE(task->WaitForDeath(30000));
  EXPECT_EQ(keptWhileRunning, 2) << "registering twice keeps one reference";
  EXPECT_EQ(droppedWhileRunning, 1) << "unregistering gives the reference back, once";
  EXPECT_EQ(kept->GetRefCount(), 1) << "released when the task ended, before it is destroyed";
  task->Release();
}

TEST(VTaskJSONTest, ThreadWithoutTaskKeepsNothing) {
  VRefPtr<VJSONObject> object(NewObject(), kAdoptRef);
  std::thread([&] { VTask::RegisterJSONObject(object.Get()); }).join();
  EXPECT_EQ(object->GetRefCount(), 1);
}

}  // namespace
}  // namespace zeft
