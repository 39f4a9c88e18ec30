// String conversions against their usual peers: Base64 of 1 MiB against
// OpenSSL's block coder, the number parsers against std::from_chars, and
// JSON string escaping of 1 MiB against RapidJSON's writer.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/Base64Coder.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"

namespace zeft {
namespace {

constexpr size_t kMiB = size_t(1) << 20;

std::vector<uint8> RandomBytes(size_t size) {
  std::mt19937 random(42);
  std::vector<uint8> bytes(size);
  for (uint8& b : bytes) b = uint8(random());
  return bytes;
}

// ---------------------------------------------------------------------------
// Base64

// Each side allocates its output once per call, as a caller with no buffer
// at hand does: ours into a new memory buffer, OpenSSL's block coder into
// a new array sized for the result (neither zero-filled).
void BM_Base64EncodeZeft(benchmark::State& state) {
  const std::vector<uint8> data = RandomBytes(kMiB);
  for (auto _ : state) {
    VMemoryBuffer<> out;
    Base64Coder::_Encode(data.data(), data.size(), out, 0, false);
    benchmark::DoNotOptimize(out.GetDataPtr());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMiB));
}

void BM_Base64EncodeOpenSSL(benchmark::State& state) {
  const std::vector<uint8> data = RandomBytes(kMiB);
  for (auto _ : state) {
    std::unique_ptr<unsigned char[]> out(new unsigned char[4 * ((kMiB + 2) / 3) + 1]);
    benchmark::DoNotOptimize(EVP_EncodeBlock(out.get(), data.data(), int(data.size())));
    benchmark::DoNotOptimize(out.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMiB));
}

std::string EncodedText() {
  const std::vector<uint8> data = RandomBytes(kMiB);
  VMemoryBuffer<> text;
  Base64Coder::_Encode(data.data(), data.size(), text, 0, false);
  return std::string(static_cast<const char*>(text.GetDataPtr()), text.GetDataSize());
}

void BM_Base64DecodeZeft(benchmark::State& state) {
  const std::string text = EncodedText();
  for (auto _ : state) {
    VMemoryBuffer<> out;
    if (!Base64Coder::Decode(text.data(), text.size(), out, false)) state.SkipWithError("decode");
    benchmark::DoNotOptimize(out.GetDataPtr());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMiB));
}

void BM_Base64DecodeOpenSSL(benchmark::State& state) {
  const std::string text = EncodedText();
  for (auto _ : state) {
    std::unique_ptr<unsigned char[]> out(new unsigned char[3 * (text.size() / 4)]);
    if (EVP_DecodeBlock(out.get(), reinterpret_cast<const unsigned char*>(text.data()),
                        int(text.size())) < 0) {
      state.SkipWithError("decode");
    }
    benchmark::DoNotOptimize(out.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMiB));
}

// ---------------------------------------------------------------------------
// Number parsers

std::vector<std::string> IntegerTexts() {
  std::mt19937_64 random(3);
  std::vector<std::string> texts;
  for (int i = 0; i < 1024; ++i) texts.push_back(std::to_string(int64(random()) >> (i % 60)));
  return texts;
}

std::vector<std::string> RealTexts() {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> distribution(-1e6, 1e6);
  std::vector<std::string> texts;
  char buffer[64];
  for (int i = 0; i < 1024; ++i) {
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), distribution(random));
    texts.emplace_back(buffer, result.ptr);
  }
  return texts;
}

std::vector<VString> AsStrings(const std::vector<std::string>& texts) {
  std::vector<VString> strings;
  for (const std::string& text : texts) strings.emplace_back(text.c_str());
  return strings;
}

void BM_GetLong8Zeft(benchmark::State& state) {
  const std::vector<VString> strings = AsStrings(IntegerTexts());
  for (auto _ : state) {
    int64 sum = 0;
    for (const VString& s : strings) sum += s.GetLong8();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(strings.size()));
}

// The peer parses the same UTF-16 texts: narrowed first, as it needs bytes.
void BM_GetLong8FromChars(benchmark::State& state) {
  const std::vector<VString> strings = AsStrings(IntegerTexts());
  for (auto _ : state) {
    int64 sum = 0;
    for (const VString& s : strings) {
      char buffer[32];
      const int32 length = s.GetLength();
      for (int32 i = 0; i < length; ++i) buffer[i] = char(s.GetCPointer()[i]);
      int64 value = 0;
      std::from_chars(buffer, buffer + length, value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(strings.size()));
}

void BM_GetRealZeft(benchmark::State& state) {
  const std::vector<VString> strings = AsStrings(RealTexts());
  for (auto _ : state) {
    double sum = 0;
    for (const VString& s : strings) sum += s.GetReal();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(strings.size()));
}

void BM_GetRealFromChars(benchmark::State& state) {
  const std::vector<VString> strings = AsStrings(RealTexts());
  for (auto _ : state) {
    double sum = 0;
    for (const VString& s : strings) {
      char buffer[64];
      const int32 length = s.GetLength();
      for (int32 i = 0; i < length; ++i) buffer[i] = char(s.GetCPointer()[i]);
      double value = 0;
      std::from_chars(buffer, buffer + length, value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(strings.size()));
}

// ---------------------------------------------------------------------------
// JSON string escaping

// Mostly plain text with quotes, backslashes, line ends and controls.
std::u16string JSONText() {
  std::mt19937 random(9);
  std::u16string text(kMiB / 2, u'a');  // 1 MiB of UTF-16
  const char16_t specials[] = {u'"', u'\\', u'\n', u'\t', 0x01, u'/', 0xE9};
  for (char16_t& c : text) {
    const uint32 r = random() % 64;
    c = r < 7 ? specials[r] : char16_t(u' ' + r);
  }
  return text;
}

void BM_JSONEscapeZeft(benchmark::State& state) {
  const std::u16string text = JSONText();
  VString source;
  source.FromUniString(text.data(), int32(text.size()));
  VString out;
  for (auto _ : state) {
    source.GetJSONString(out, VString::kJSONWithQuotes);
    benchmark::DoNotOptimize(out.GetCPointer());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMiB));
}

void BM_JSONEscapeRapidJSON(benchmark::State& state) {
  const std::u16string text = JSONText();
  using UTF16 = rapidjson::UTF16<char16_t>;
  using Buffer = rapidjson::GenericStringBuffer<UTF16>;
  using Writer = rapidjson::Writer<Buffer, UTF16, UTF16>;
  Buffer buffer;
  for (auto _ : state) {
    buffer.Clear();
    Writer writer(buffer);
    writer.String(text.data(), rapidjson::SizeType(text.size()));
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMiB));
}

BENCHMARK(BM_Base64EncodeZeft);
BENCHMARK(BM_Base64EncodeOpenSSL);
BENCHMARK(BM_Base64DecodeZeft);
BENCHMARK(BM_Base64DecodeOpenSSL);
BENCHMARK(BM_GetLong8Zeft);
BENCHMARK(BM_GetLong8FromChars);
BENCHMARK(BM_GetRealZeft);
BENCHMARK(BM_GetRealFromChars);
BENCHMARK(BM_JSONEscapeZeft);
BENCHMARK(BM_JSONEscapeRapidJSON);

}  // namespace
}  // namespace zeft
