// JSON parse and stringify on generated documents shaped like the usual
// canada.json (long arrays of coordinate pairs), citm_catalog.json (many
// small objects with integer ids) and twitter.json (statuses with texts in
// several scripts), against RapidJSON, nlohmann-json and simdjson (parse
// only). Every parser starts from the same UTF-8 bytes and every writer
// ends with UTF-8 bytes; bytes/s is the size of the document.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>
#include <nlohmann/json.hpp>

#include "core/CharSet.h"
#include "core/VString.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

namespace {

using zeft::VJSONValue;
using zeft::VString;

std::string Number(std::mt19937& random, double scale, int digits) {
  std::uniform_real_distribution<double> distribution(-scale, scale);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, distribution(random));
  return text;
}

std::string CanadaLike() {
  std::mt19937 random(1);
  std::string text = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (int feature = 0; feature < 4; ++feature) {
    if (feature > 0) text += ',';
    text +=
        "{\"type\":\"Feature\",\"properties\":{\"name\":\"Canada\"},\"geometry\":"
        "{\"type\":\"Polygon\",\"coordinates\":[";
    for (int ring = 0; ring < 120; ++ring) {
      if (ring > 0) text += ',';
      text += '[';
      for (int point = 0; point < 120; ++point) {
        if (point > 0) text += ',';
        text += '[' + Number(random, 180, 14) + ',' + Number(random, 90, 14) + ']';
      }
      text += ']';
    }
    text += "]}}";
  }
  return text + "]}";
}

std::string CitmLike() {
  std::mt19937 random(2);
  std::string text = "{\"areaNames\":{";
  for (int i = 0; i < 300; ++i) {
    if (i > 0) text += ',';
    text.append("\"")
        .append(std::to_string(205705993 + i))
        .append("\":\"Arri\xC3\xA8re-sc\xC3\xA8ne ")
        .append(std::to_string(i))
        .append("\"");
  }
  text += "},\"events\":{";
  for (int i = 0; i < 2500; ++i) {
    if (i > 0) text += ',';
    const std::string id = std::to_string(138586341 + i);
    text += "\"" + id + "\":{\"description\":null,\"id\":" + id +
            ",\"logo\":\"/images/UE0AAAAACEKo6QAAAAZDSVRN\",\"name\":\"Event " +
            std::to_string(random() % 100000) + "\",\"subTopicIds\":[337184269,337184283,";
    text += std::to_string(random() % 1000000000) +
            "],\"subjectCode\":null,\"subtitle\":null,"
            "\"topicIds\":[324846099,107888604]}";
  }
  text += "},\"performances\":[";
  for (int i = 0; i < 2000; ++i) {
    if (i > 0) text += ',';
    text += "{\"eventId\":" + std::to_string(138586341 + i % 2500) +
            ",\"id\":" + std::to_string(339887544 + i) +
            ",\"prices\":[{\"amount\":90250,\"audienceSubCategoryId\":337100890,\"seatCategoryId\":"
            "338937295},{\"amount\":66500,\"audienceSubCategoryId\":337100890,\"seatCategoryId\":"
            "338937296}],\"seatCategories\":[{\"areas\":[{\"areaId\":205705999,\"blockIds\":[]}],"
            "\"seatCategoryId\":338937295}],\"start\":1372701600000,\"venueCode\":\"PLEYEL\"}";
  }
  return text + "]}";
}

std::string TwitterLike() {
  std::mt19937 random(3);
  static const char* const kTexts[] = {
      "@aym0566x \\n\\n\\u540d\\u524d:\\u524d\\u7530\\u3042\\u3086\\u307f\\n",
      "RT @KATANA77: \xe3\x81\x88\xe3\x81\xa3\xe3\x81\xa8\xe2\x80\xa6 http://t.co/PkCJAcSuYK",
      "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65 \\\"quoted\\\" and more plain ASCII text "
      "here",
      "\xf0\x9f\x98\x80 emoji and "
      "\xd0\xba\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0",
  };
  std::string text = "{\"statuses\":[";
  for (int i = 0; i < 1500; ++i) {
    if (i > 0) text += ',';
    text +=
        "{\"metadata\":{\"result_type\":\"recent\",\"iso_language_code\":\"ja\"},"
        "\"created_at\":\"Sun Aug 31 00:29:15 +0000 2014\",\"id\":" +
        std::to_string(505874924095815681ULL + i) + ",\"id_str\":\"" +
        std::to_string(505874924095815681ULL + i) + "\",\"text\":\"" + kTexts[random() % 4] +
        "\",\"source\":\"<a href=\\\"https://mobile.twitter.com\\\" rel=\\\"nofollow\\\">"
        "Twitter for iPhone</a>\",\"truncated\":false,\"in_reply_to_status_id\":null,"
        "\"user\":{\"id\":1186275104,\"name\":\"\xe3\x82\x8a\xe3\x81\x95\",\"screen_name\":"
        "\"ayuu0123\",\"followers_count\":" +
        std::to_string(random() % 10000) +
        ",\"protected\":false,\"verified\":false,\"entities\":{\"description\":{\"urls\":[]}}},"
        "\"retweet_count\":0,\"favorited\":false,\"entities\":{\"hashtags\":[],\"urls\":[],"
        "\"user_mentions\":[{\"screen_name\":\"aym0566x\",\"id\":866260188,\"indices\":[0,9]}]}"
        ",\"lang\":\"ja\"}";
  }
  return text + "],\"search_metadata\":{\"completed_in\":0.087,\"count\":100}}";
}

const std::string& Document(int which) {
  static const std::string documents[] = {CanadaLike(), CitmLike(), TwitterLike()};
  return documents[which];
}

const char* const kNames[] = {"canada", "citm", "twitter"};

void SetUp(benchmark::State& state, int which) {
  state.SetLabel(kNames[which]);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Document(which).size()));
}

// ---- Parse

void ParseZeft(benchmark::State& state) {
  const std::string& text = Document(int(state.range(0)));
  for (auto _ : state) {
    VString source;
    source.FromBlock(text.data(), text.size(), zeft::kCharSetUTF8);
    VJSONValue value;
    if (zeft::VJSONImporter::ParseString(source, value, 0) != zeft::VE_OK)
      state.SkipWithError("parse");
    benchmark::DoNotOptimize(value);
  }
  SetUp(state, int(state.range(0)));
}

// As programs run: with the process class store installed, every object
// the parser makes takes the root "Object" class.
void ParseZeftWithClassStore(benchmark::State& state) {
  if (!zeft::VJSONClassStore::Init()) state.SkipWithError("class store");
  ParseZeft(state);
  zeft::VJSONClassStore::DeInit();
}

void ParseRapidJSON(benchmark::State& state) {
  const std::string& text = Document(int(state.range(0)));
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    if (document.HasParseError()) state.SkipWithError("parse");
    benchmark::DoNotOptimize(document);
  }
  SetUp(state, int(state.range(0)));
}

void ParseNlohmann(benchmark::State& state) {
  const std::string& text = Document(int(state.range(0)));
  for (auto _ : state) {
    nlohmann::json document = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(document);
  }
  SetUp(state, int(state.range(0)));
}

void ParseSimdjson(benchmark::State& state) {
  const std::string& text = Document(int(state.range(0)));
  const simdjson::padded_string padded(text);
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element document;
    if (parser.parse(padded).get(document) != simdjson::SUCCESS) state.SkipWithError("parse");
    benchmark::DoNotOptimize(document);
  }
  SetUp(state, int(state.range(0)));
}

// ---- Stringify

void StringifyZeft(benchmark::State& state) {
  const std::string& text = Document(int(state.range(0)));
  VJSONValue value;
  value.ParseFromString(VString(text.data(), text.size(), zeft::kCharSetUTF8));
  std::string bytes;
  for (auto _ : state) {
    VString out;
    value.Stringify(out, 0x1);
    bytes.resize(size_t(out.GetLength()) * 3 + 1);
    bytes.resize(out.ToBlock(bytes.data(), bytes.size(), zeft::kCharSetUTF8, false, false));
    benchmark::DoNotOptimize(bytes);
  }
  SetUp(state, int(state.range(0)));
}

void StringifyRapidJSON(benchmark::State& state) {
  const std::string& text = Document(int(state.range(0)));
  rapidjson::Document document;
  document.Parse(text.c_str(), text.size());
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    benchmark::DoNotOptimize(buffer.GetString());
  }
  SetUp(state, int(state.range(0)));
}

void StringifyNlohmann(benchmark::State& state) {
  const nlohmann::json document = nlohmann::json::parse(Document(int(state.range(0))));
  for (auto _ : state) {
    std::string out = document.dump();
    benchmark::DoNotOptimize(out);
  }
  SetUp(state, int(state.range(0)));
}

BENCHMARK(ParseZeft)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseZeftWithClassStore)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseRapidJSON)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseSimdjson)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StringifyZeft)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StringifyRapidJSON)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StringifyNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
