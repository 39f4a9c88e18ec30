// The attribute bag against nlohmann::json: building a 5-field log record
// and reading it back, and deep-copying a 3-level tree.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <string>

#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VString.h"
#include "values/StBagKeyNoDefault.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

constexpr StBagKeyNoDefault<VString, VString> kMessage("message");
constexpr StBagKeyNoDefault<int32, VLong> kLevel("level");
constexpr StBagKeyNoDefault<VString, VString> kSource("source");
constexpr StBagKeyNoDefault<int32, VLong> kSignature("component_signature");
constexpr StBagKeyNoDefault<int64, VLong8> kStamp("timestamp");

const char kText[] = "The up-to-date bundle was copied into place";
const char kSourceText[] = "updater";

void BM_Bag_LogRecord(benchmark::State& state) {
  const VString message(kText);
  const VString source(kSourceText);
  VString readMessage;
  VString readSource;
  int64 total = 0;
  for (auto _ : state) {
    VValueBag* bag = new VValueBag();
    kMessage.Set(*bag, message);
    kLevel.Set(*bag, 4);
    kSource.Set(*bag, source);
    kSignature.Set(*bag, 0x7A656674);
    kStamp.Set(*bag, 1700000000000LL + total);
    int32 level = 0;
    int32 signature = 0;
    int64 stamp = 0;
    kMessage.Get(*bag, readMessage);
    kLevel.Get(*bag, level);
    kSource.Get(*bag, readSource);
    kSignature.Get(*bag, signature);
    kStamp.Get(*bag, stamp);
    total += level + signature + stamp + readMessage.GetLength() + readSource.GetLength();
    bag->Release();
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_Bag_LogRecord);

void BM_Json_LogRecord(benchmark::State& state) {
  const std::string message(kText);
  const std::string source(kSourceText);
  int64 total = 0;
  for (auto _ : state) {
    nlohmann::json record = nlohmann::json::object();
    record["message"] = message;
    record["level"] = 4;
    record["source"] = source;
    record["component_signature"] = 0x7A656674;
    record["timestamp"] = 1700000000000LL + total;
    const std::string& readMessage = record["message"].get_ref<const std::string&>();
    const int32 level = record["level"].get<int32>();
    const std::string& readSource = record["source"].get_ref<const std::string&>();
    const int32 signature = record["component_signature"].get<int32>();
    const int64 stamp = record["timestamp"].get<int64>();
    total += level + signature + stamp + int64(readMessage.size()) + int64(readSource.size());
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_Json_LogRecord);

// 10 children of 10 grandchildren, every bag with 3 attributes.
constexpr int kFanOut = 10;

void FillBag(VValueBag& bag, int i) {
  bag.SetLong("id", i);
  bag.SetString("name", VString("element name"));
  bag.SetBool("enabled", (i & 1) != 0);
}

void BM_Bag_DeepCopy3Levels(benchmark::State& state) {
  VValueBag* root = new VValueBag();
  FillBag(*root, 0);
  for (int c = 0; c < kFanOut; ++c) {
    VValueBag* child = new VValueBag();
    FillBag(*child, c);
    for (int g = 0; g < kFanOut; ++g) {
      VValueBag* grandchild = new VValueBag();
      FillBag(*grandchild, g);
      child->AddElement("grandchild", grandchild);
      grandchild->Release();
    }
    root->AddElement("child", child);
    child->Release();
  }
  for (auto _ : state) {
    VValueBag* copy = root->Clone();
    benchmark::DoNotOptimize(copy);
    copy->Release();
  }
  root->Release();
}
BENCHMARK(BM_Bag_DeepCopy3Levels);

nlohmann::json JsonNode(int i) {
  return nlohmann::json{{"id", i}, {"name", "element name"}, {"enabled", (i & 1) != 0}};
}

void BM_Json_DeepCopy3Levels(benchmark::State& state) {
  nlohmann::json root = JsonNode(0);
  nlohmann::json children = nlohmann::json::array();
  for (int c = 0; c < kFanOut; ++c) {
    nlohmann::json child = JsonNode(c);
    nlohmann::json grandchildren = nlohmann::json::array();
    for (int g = 0; g < kFanOut; ++g) grandchildren.push_back(JsonNode(g));
    child["grandchild"] = std::move(grandchildren);
    children.push_back(std::move(child));
  }
  root["child"] = std::move(children);
  for (auto _ : state) {
    nlohmann::json copy = root;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_Json_DeepCopy3Levels);

}  // namespace
}  // namespace zeft
