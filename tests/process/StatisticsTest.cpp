#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "process/VSystem.h"
#include "process/mac/XNetworkThroughput.h"

namespace zeft {
namespace {

TEST(NetworkThroughput, RatesBetweenSamples) {
  XNetworkThroughput throughput;
  std::vector<double> rates;
  // The first sample counts from the zero date: rates of about 0.
  EXPECT_TRUE(throughput.Sample(63000000000000, 5000, 7000, rates));
  ASSERT_EQ(rates.size(), 2u);
  EXPECT_LT(rates[0], 0.01);
  EXPECT_LT(rates[1], 0.01);
  struct Case {
    int64 ms;
    double received, sent;
    std::vector<double> rates;
  } cases[] = {
      {63000000001000, 7000, 8000, {2000, 1000}},
      {63000000001000, 9000, 9000, {}},  // same millisecond: no division by 0
      {63000000000500, 9500, 9500, {}},  // the clock went back
      {63000000001500, 100, 9600, {}},   // a counter went back
      {63000000002000, 600, 10100, {1000, 1000}},
  };
  for (const Case& c : cases) {
    rates.assign(3, -1.0);
    rates.clear();
    EXPECT_EQ(throughput.Sample(c.ms, c.received, c.sent, rates), !c.rates.empty()) << c.ms;
    EXPECT_EQ(rates, c.rates) << c.ms;
  }
}

TEST(SystemStatistics, ProcessorUseNeedsTwoSamples) {
  double share = -1;
  EXPECT_FALSE(VSystem::GetProcessorsPercentageUse(share));
  EXPECT_EQ(share, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(VSystem::GetProcessorsPercentageUse(share));
  EXPECT_GE(share, 0);
  EXPECT_LE(share, 1.0 / VSystem::GetNumberOfLogicalProcessors() + 1e-9);
}

TEST(SystemStatistics, ApplicationProcessorUseIsAShareOfTheMachine) {
  // The share is taken once the spinner has had a tenth of a second of
  // processor time, however long the machine made it wait for that.
  std::atomic<bool> busy{false};
  std::atomic<bool> stop{false};
  std::thread spinner([&] {
    while (!stop.load()) {
      timespec used{};
      if (!busy.load() && clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used) == 0 &&
          (used.tv_sec > 0 || used.tv_nsec >= 100000000)) {
        busy.store(true);
        busy.notify_all();
      }
    }
  });
  busy.wait(false);
  const double share = VSystem::GetApplicationProcessorsPercentageUse();
  stop.store(true);
  spinner.join();
  EXPECT_GT(share, 0);
  EXPECT_LE(share, 1.0);
}

TEST(SystemStatistics, NetworkRatesAreTwoOrNone) {
  std::vector<double> rates{42};
  const bool first = VSystem::GetInOutNetworkStats(rates);
  EXPECT_EQ(rates.size(), first ? 2u : 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(VSystem::GetInOutNetworkStats(rates));
  ASSERT_EQ(rates.size(), 2u);
  EXPECT_GE(rates[0], 0);
  EXPECT_GE(rates[1], 0);
}

std::string Write(const VJSONValue& value) {
  VString text;
  value.Stringify(text, 0x1);
  return to_string(text);
}

// True when the keys appear in this order in the object's text.
bool KeysInOrder(const std::string& text, const std::vector<const char*>& keys) {
  size_t at = 0;
  for (const char* key : keys) {
    at = text.find(std::string("\"") + key + "\":", at);
    if (at == std::string::npos) return false;
  }
  return true;
}

TEST(SystemStatistics, AdaptersListUsableAddressesOnly) {
  VRefPtr<VJSONArray> adapters(new VJSONArray(), kAdoptRef);
  VSystem::GetNetworkAdaptersInformations(*adapters);
  for (size_t i = 0; i < adapters->GetCount(); ++i) {
    const std::string text = Write(adapters->GetAt(i));
    EXPECT_TRUE(KeysInOrder(text, {"type", "name", "ipAddresses", "ip", "type"})) << text;
    EXPECT_EQ(text.find("\"127.0.0.1\""), std::string::npos) << text;
    EXPECT_EQ(text.find("\"::1\""), std::string::npos) << text;
  }
}

TEST(SystemStatistics, PartitionsAreDiskOrNetworkFileSystems) {
  VRefPtr<VJSONArray> partitions(new VJSONArray(), kAdoptRef);
  VSystem::GetDiskPartitionsInfos(*partitions);
  for (size_t i = 0; i < partitions->GetCount(); ++i) {
    const VJSONValue partition = partitions->GetAt(i);
    const std::string text = Write(partition);
    EXPECT_TRUE(
        KeysInOrder(text, {"mountPoint", "capacity", "available", "filesystem", "name", "disk"}))
        << text;
    VJSONObject* object = partition.GetObject();
    ASSERT_NE(object, nullptr);
    EXPECT_GE(object->GetProperty(VString("capacity")).GetNumber(),
              object->GetProperty(VString("available")).GetNumber());
    VString type;
    object->GetPropertyAsString(VString("filesystem"), type);
    for (const char* pseudo : {"proc", "sysfs", "tmpfs", "devpts", "cgroup2"}) {
      EXPECT_NE(to_string(type), pseudo);
    }
  }
}

}  // namespace
}  // namespace zeft
