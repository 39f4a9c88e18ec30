// The binary JSON form against the JSON text form and against CBOR
// (nlohmann-json), on one generated document of about 10 MB of JSON text:
// records with texts, numbers, booleans, nulls and nested arrays. Every
// encoder starts from its library's value tree and ends with bytes; every
// decoder starts from those bytes and ends with a value tree. bytes/s is
// the size of the encoded form it handles.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "core/CharSet.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

namespace {

using zeft::VJSONValue;
using zeft::VString;

const std::string& DocumentText() {
  static const std::string sText = [] {
    std::mt19937 random(7);
    std::string text = "{\"records\":[";
    for (int i = 0; text.size() < 10 * 1024 * 1024; ++i) {
      if (i > 0) text += ',';
      text += "{\"id\":" + std::to_string(100000 + i) + ",\"name\":\"Record n\xC2\xB0" +
              std::to_string(i) + " \xE2\x80\x94 caf\xC3\xA9\",\"score\":" +
              std::to_string(double(random() % 100000) / 128.0) +
              ",\"active\":" + (i % 3 == 0 ? "true" : "false") + ",\"note\":null,\"tags\":[\"a" +
              std::to_string(random() % 50) + "\",\"b" + std::to_string(random() % 50) +
              "\"],\"point\":[" + std::to_string(int(random() % 1000)) + "," +
              std::to_string(int(random() % 1000)) + "]}";
    }
    return text + "]}";
  }();
  return sText;
}

const VJSONValue& OurDocument() {
  static const VJSONValue sValue = [] {
    zeft::VJSONClassStore::Init();
    VString text;
    text.FromBlock(DocumentText().data(), DocumentText().size(), zeft::kCharSetUTF8);
    VJSONValue value;
    zeft::VJSONImporter::ParseString(text, value);
    return value;
  }();
  return sValue;
}

const nlohmann::json& PeerDocument() {
  static const nlohmann::json sValue = nlohmann::json::parse(DocumentText());
  return sValue;
}

std::string OurBinary() {
  zeft::VMemoryBuffer<> buffer;
  zeft::VJSONBinaryWriter writer;
  writer.StreamValue(OurDocument(), buffer);
  return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

void BM_Binary_Encode_Ours(benchmark::State& state) {
  const VJSONValue& value = OurDocument();
  size_t size = 0;
  for (auto _ : state) {
    zeft::VMemoryBuffer<> buffer;
    zeft::VJSONBinaryWriter writer;
    if (writer.StreamValue(value, buffer) != zeft::VE_OK) state.SkipWithError("write failed");
    size = buffer.GetDataSize();
    benchmark::DoNotOptimize(buffer.GetDataPtr());
  }
  state.SetBytesProcessed(int64_t(state.iterations() * size));
}
BENCHMARK(BM_Binary_Encode_Ours)->Unit(benchmark::kMillisecond);

void BM_Binary_Decode_Ours(benchmark::State& state) {
  const std::string bytes = OurBinary();
  for (auto _ : state) {
    VJSONValue value;
    zeft::VJSONBinaryImporter importer(bytes.data(), bytes.size());
    if (importer.GetValue(value) != zeft::VE_OK) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Binary_Decode_Ours)->Unit(benchmark::kMillisecond);

// The text form: the value written to UTF-8 text, and parsed back from it.
void BM_Text_Encode_Ours(benchmark::State& state) {
  const VJSONValue& value = OurDocument();
  size_t size = 0;
  for (auto _ : state) {
    VString text;
    value.Stringify(text, 0x1);
    std::string utf8;
    utf8.resize(size_t(text.GetLength()) * 3);
    size = text.ToBlock(utf8.data(), utf8.size(), zeft::kCharSetUTF8, false, false);
    benchmark::DoNotOptimize(utf8.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations() * size));
}
BENCHMARK(BM_Text_Encode_Ours)->Unit(benchmark::kMillisecond);

void BM_Text_Decode_Ours(benchmark::State& state) {
  const std::string& bytes = DocumentText();
  for (auto _ : state) {
    VString text;
    text.FromBlock(bytes.data(), bytes.size(), zeft::kCharSetUTF8);
    VJSONValue value;
    zeft::VJSONImporter::ParseString(text, value);
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Text_Decode_Ours)->Unit(benchmark::kMillisecond);

void BM_Cbor_Encode_Nlohmann(benchmark::State& state) {
  const nlohmann::json& value = PeerDocument();
  size_t size = 0;
  for (auto _ : state) {
    std::vector<std::uint8_t> bytes = nlohmann::json::to_cbor(value);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations() * size));
}
BENCHMARK(BM_Cbor_Encode_Nlohmann)->Unit(benchmark::kMillisecond);

void BM_Cbor_Decode_Nlohmann(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = nlohmann::json::to_cbor(PeerDocument());
  for (auto _ : state) {
    nlohmann::json value = nlohmann::json::from_cbor(bytes);
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Cbor_Decode_Nlohmann)->Unit(benchmark::kMillisecond);

}  // namespace
