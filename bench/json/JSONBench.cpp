// JSON parse and stringify on generated canada-, citm- and twitter-like
// documents (JSONDocuments.h), against RapidJSON, nlohmann-json and
// simdjson (parse only). Every parser starts from the same UTF-8 bytes and
// every writer ends with UTF-8 bytes; bytes/s is the size of the document.
//
// The rows to compare:
//  - parse: ours against RapidJSON with kParseFullPrecisionFlag, since ours
//    reads every number to the nearest double and RapidJSON's default
//    does not (its default row stays for reference);
//  - stringify: ours against RapidJSON's Writer on citm and twitter only,
//    whose outputs are checked to be the same bytes before timing (canada's
//    are not: ours prints numbers with "%.14G").
// Ours runs with and without the process class store, which the updater
// sets up before it parses anything.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>
#include <nlohmann/json.hpp>

#include "core/CharSet.h"
#include "core/VString.h"
#include "json/JSONDocuments.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

namespace {

using zeft::VJSONValue;
using zeft::VString;

const char* const kNames[] = {"canada", "citm", "twitter"};

const std::string& Document(int which) {
  static const std::string documents[] = {
      zeft::bench::JSONDocumentMaker(1).Canada(),
      zeft::bench::JSONDocumentMaker(2).Citm(),
      zeft::bench::JSONDocumentMaker(3).Twitter(),
  };
  return documents[which];
}

// Made before main, outside any timed or profiled function.
[[maybe_unused]] const bool kDocumentsMade = !Document(0).empty();

void Finish(benchmark::State& state, int which) {
  state.SetLabel(kNames[which]);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Document(which).size()));
}

// The process class store for the life of the object, when asked for.
class ClassStore {
 public:
  explicit ClassStore(bool wanted) : fInited(wanted && zeft::VJSONClassStore::Init()) {}
  ~ClassStore() {
    if (fInited) zeft::VJSONClassStore::DeInit();
  }
  ClassStore(const ClassStore&) = delete;
  ClassStore& operator=(const ClassStore&) = delete;

 private:
  bool fInited;
};

// ---- Parse

bool ParseZeftOnce(const std::string& text, VJSONValue& value) {
  return zeft::VJSONImporter::ParseUTF8(text.data(), text.size(), value, 0) == zeft::VE_OK;
}

void ParseZeft(benchmark::State& state, bool classStore) {
  const int which = int(state.range(0));
  const std::string& text = Document(which);
  ClassStore store(classStore);
  for (auto _ : state) {
    VJSONValue value;
    if (!ParseZeftOnce(text, value)) return state.SkipWithError("parse");
    benchmark::DoNotOptimize(value);
  }
  Finish(state, which);
}
void ParseZeft(benchmark::State& state) { ParseZeft(state, false); }
void ParseZeftWithClassStore(benchmark::State& state) { ParseZeft(state, true); }

template <unsigned flags>
void ParseRapidJSON(benchmark::State& state) {
  const int which = int(state.range(0));
  const std::string& text = Document(which);
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse<flags>(text.c_str(), text.size());
    if (document.HasParseError()) return state.SkipWithError("parse");
    benchmark::DoNotOptimize(document);
  }
  Finish(state, which);
}
void ParseRapidJSON(benchmark::State& state) {
  ParseRapidJSON<rapidjson::kParseDefaultFlags>(state);
}
void ParseRapidJSONFullPrecision(benchmark::State& state) {
  ParseRapidJSON<rapidjson::kParseFullPrecisionFlag>(state);
}

void ParseNlohmann(benchmark::State& state) {
  const int which = int(state.range(0));
  const std::string& text = Document(which);
  for (auto _ : state) {
    nlohmann::json document = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(document);
  }
  Finish(state, which);
}

void ParseSimdjson(benchmark::State& state) {
  const int which = int(state.range(0));
  const std::string& text = Document(which);
  const simdjson::padded_string padded(text);
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element document;
    if (parser.parse(padded).get(document) != simdjson::SUCCESS)
      return state.SkipWithError("parse");
    benchmark::DoNotOptimize(document);
  }
  Finish(state, which);
}

// ---- Stringify

// Each writer's bytes end in a std::string, copied from its own buffer.
std::string StringifyZeftOnce(const VJSONValue& value) {
  VString out;
  value.Stringify(out, 0x1);
  const size_t capacity = size_t(out.GetLength()) * 3 + 1;
  const std::unique_ptr<char[]> buffer(new char[capacity]);
  return std::string(buffer.get(),
                     out.ToBlock(buffer.get(), capacity, zeft::kCharSetUTF8, false, false));
}

std::string StringifyRapidJSONOnce(const rapidjson::Document& document) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  document.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

// Both writers' output for the document, compared once per process.
bool SameOutput(int which) {
  static int checked[3] = {0, 0, 0};  // 0 unknown, 1 same, 2 different
  if (checked[which] == 0) {
    const std::string& text = Document(which);
    VJSONValue value;
    rapidjson::Document document;
    document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str(), text.size());
    const bool same = ParseZeftOnce(text, value) && !document.HasParseError() &&
                      StringifyZeftOnce(value) == StringifyRapidJSONOnce(document);
    checked[which] = same ? 1 : 2;
  }
  return checked[which] == 1;
}

void StringifyZeft(benchmark::State& state, bool classStore) {
  const int which = int(state.range(0));
  if (!SameOutput(which)) return state.SkipWithError("not the same bytes as RapidJSON's Writer");
  ClassStore store(classStore);
  {
    VJSONValue value;
    if (!ParseZeftOnce(Document(which), value)) return state.SkipWithError("parse");
    for (auto _ : state) {
      std::string bytes = StringifyZeftOnce(value);
      benchmark::DoNotOptimize(bytes);
    }
  }
  Finish(state, which);
}
void StringifyZeft(benchmark::State& state) { StringifyZeft(state, false); }
void StringifyZeftWithClassStore(benchmark::State& state) { StringifyZeft(state, true); }

void StringifyRapidJSON(benchmark::State& state) {
  const int which = int(state.range(0));
  if (!SameOutput(which)) return state.SkipWithError("not the same bytes as ours");
  const std::string& text = Document(which);
  rapidjson::Document document;
  document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str(), text.size());
  for (auto _ : state) {
    std::string bytes = StringifyRapidJSONOnce(document);
    benchmark::DoNotOptimize(bytes);
  }
  Finish(state, which);
}

// nlohmann-json's dump for reference; its bytes are not checked.
void StringifyNlohmann(benchmark::State& state) {
  const int which = int(state.range(0));
  const nlohmann::json document = nlohmann::json::parse(Document(which));
  for (auto _ : state) {
    std::string out = document.dump();
    benchmark::DoNotOptimize(out);
  }
  Finish(state, which);
}

BENCHMARK(ParseZeft)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseZeftWithClassStore)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseRapidJSONFullPrecision)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseRapidJSON)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseSimdjson)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StringifyZeft)->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StringifyZeftWithClassStore)->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StringifyRapidJSON)->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StringifyNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
