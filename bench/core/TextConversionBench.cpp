// UTF-8 <-> UTF-16 conversion: the toolbox's converters and the VString
// paths built on them, against ICU (u_strFromUTF8 / u_strToUTF8) and glibc
// iconv. Texts: ASCII, Latin-1-heavy and CJK, of 16 B, 1 KiB and 1 MiB of
// UTF-8. Arguments: {text kind, UTF-8 size}.
//
// Each benchmark cycles through a pool of different texts of its size (1 MiB
// in all), so that no iteration converts the text of the one before: with a
// single short text repeated, branch predictors learn its exact pattern of
// character sizes and the figures say nothing about real text.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/StStringConverter.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/VToUnicodeConverter.h"

namespace {

using zeft::UniChar;

enum TextKind { kASCII = 0, kLatin1 = 1, kCJK = 2 };

struct Text {
  std::string utf8;
  std::u16string utf16;
};

// Builds a text of at most `bytes` bytes of UTF-8: pseudo-random words over
// the kind's alphabet (a fixed seed: every run sees the same texts).
Text MakeText(int kind, size_t bytes, uint32_t& seed) {
  static const char16_t* const kAlphabets[] = {
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",
      // Half ASCII letters, half Latin-1 letters.
      u"aeinorstulcdmp\u00E0\u00E9\u00E8\u00EA\u00E7\u00F4\u00FC\u00F6\u00E4\u00DF\u00F1"
      u"\u00EE\u00EF\u00FB",
      u"\u4E2D\u6587\u5B57\u7B26\u6D4B\u8BD5\u65E5\u672C\u8A9E\u306E\u6587\u7AE0\uD55C"
      u"\uAD6D\uC5B4\u6F22\u5B57\u3068\u4EEE\u540D\u3001\u4EBA\u5927\u5E74",
  };
  const std::u16string alphabet = kAlphabets[kind];
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  Text text;
  for (;;) {
    char16_t c = next() % 7 == 0 ? u' ' : alphabet[next() % alphabet.size()];
    size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    if (text.utf8.size() + length > bytes) break;
    text.utf16 += c;
    if (length == 1) {
      text.utf8 += char(c);
    } else if (length == 2) {
      text.utf8 += char(0xC0 | (c >> 6));
      text.utf8 += char(0x80 | (c & 0x3F));
    } else {
      text.utf8 += char(0xE0 | (c >> 12));
      text.utf8 += char(0x80 | ((c >> 6) & 0x3F));
      text.utf8 += char(0x80 | (c & 0x3F));
    }
  }
  return text;
}

struct Pool {
  std::vector<Text> texts;
  size_t maxUTF8 = 0;
  size_t maxUTF16 = 0;
  size_t totalUTF8 = 0;
};

constexpr size_t kPoolBytes = size_t(1) << 20;

const Pool& GetPool(int kind, size_t bytes) {
  static std::map<std::pair<int, size_t>, Pool> cache;
  auto it = cache.find({kind, bytes});
  if (it != cache.end()) return it->second;
  Pool pool;
  uint32_t seed = 12345;
  const size_t count = bytes >= kPoolBytes ? 1 : kPoolBytes / bytes;
  for (size_t i = 0; i < count; ++i) {
    Text text = MakeText(kind, bytes, seed);
    pool.maxUTF8 = std::max(pool.maxUTF8, text.utf8.size());
    pool.maxUTF16 = std::max(pool.maxUTF16, text.utf16.size());
    pool.totalUTF8 += text.utf8.size();
    pool.texts.push_back(std::move(text));
  }
  return cache.emplace(std::make_pair(kind, bytes), std::move(pool)).first->second;
}

// Cycles through the pool.
class Cursor {
 public:
  explicit Cursor(const Pool& pool) : fPool(pool) {}
  const Text& Next() {
    const Text& text = fPool.texts[fIndex];
    if (++fIndex == fPool.texts.size()) fIndex = 0;
    return text;
  }

 private:
  const Pool& fPool;
  size_t fIndex = 0;
};

void Arguments(benchmark::internal::Benchmark* b) {
  for (int kind : {kASCII, kLatin1, kCJK}) {
    for (int64_t size : {int64_t(16), int64_t(1024), int64_t(1) << 20}) b->Args({kind, size});
  }
}

void SetCounters(benchmark::State& state, const Pool& pool) {
  // The average UTF-8 size of the pool's texts.
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pool.totalUTF8) /
                          int64_t(pool.texts.size()));
}

// ---- UTF-8 to UTF-16 into a buffer the caller has ----

void BM_UTF8Decode_Zeft(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  std::vector<UniChar> out(pool.maxUTF8 + 1);
  zeft::VToUnicodeConverter* converter =
      zeft::VTextConverters::Get()->GetStdLibToUnicodeConverter();
  for (auto _ : state) {
    const Text& text = cursor.Next();
    size_t consumed = 0;
    int produced = 0;
    converter->Convert(text.utf8.data(), text.utf8.size(), &consumed, out.data(), int(out.size()),
                       &produced);
    benchmark::DoNotOptimize(out.data());
    benchmark::DoNotOptimize(produced);
  }
  SetCounters(state, pool);
}

void BM_UTF8Decode_ICU(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  std::vector<UChar> out(pool.maxUTF8 + 1);
  for (auto _ : state) {
    const Text& text = cursor.Next();
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(out.data(), int32_t(out.size()), &length, text.utf8.data(),
                  int32_t(text.utf8.size()), &error);
    benchmark::DoNotOptimize(out.data());
    benchmark::DoNotOptimize(length);
  }
  SetCounters(state, pool);
}

void BM_UTF8Decode_Iconv(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  std::vector<char> out(2 * pool.maxUTF8 + 2);
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  for (auto _ : state) {
    const Text& text = cursor.Next();
    char* in = const_cast<char*>(text.utf8.data());
    size_t inLeft = text.utf8.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &dst, &outLeft);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  SetCounters(state, pool);
}

// ---- UTF-16 to UTF-8 into a buffer the caller has ----

void BM_UTF8Encode_Zeft(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  std::vector<char> out(pool.maxUTF8 + 1);
  zeft::VFromUnicodeConverter* converter =
      zeft::VTextConverters::Get()->GetStdLibFromUnicodeConverter();
  for (auto _ : state) {
    const Text& text = cursor.Next();
    int consumed = 0;
    size_t produced = 0;
    converter->Convert(text.utf16.data(), int(text.utf16.size()), &consumed, out.data(), out.size(),
                       &produced);
    benchmark::DoNotOptimize(out.data());
    benchmark::DoNotOptimize(produced);
  }
  SetCounters(state, pool);
}

void BM_UTF8Encode_ICU(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  std::vector<char> out(pool.maxUTF8 + 1);
  for (auto _ : state) {
    const Text& text = cursor.Next();
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strToUTF8(out.data(), int32_t(out.size()), &length, text.utf16.data(),
                int32_t(text.utf16.size()), &error);
    benchmark::DoNotOptimize(out.data());
    benchmark::DoNotOptimize(length);
  }
  SetCounters(state, pool);
}

void BM_UTF8Encode_Iconv(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  std::vector<char> out(pool.maxUTF8 + 1);
  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  for (auto _ : state) {
    const Text& text = cursor.Next();
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.utf16.data()));
    size_t inLeft = text.utf16.size() * 2;
    char* dst = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &dst, &outLeft);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  SetCounters(state, pool);
}

// ---- Whole strings, allocation included ----

void BM_UTF8StringFrom_Zeft(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  zeft::VString s;
  for (auto _ : state) {
    const Text& text = cursor.Next();
    s.FromBlock(text.utf8.data(), text.utf8.size(), zeft::kCharSetUTF8);
    benchmark::DoNotOptimize(s.GetCPointer());
  }
  SetCounters(state, pool);
}

void BM_UTF8StringFrom_ICU(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  Cursor cursor(pool);
  for (auto _ : state) {
    const Text& text = cursor.Next();
    icu::UnicodeString s =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.utf8.data(), int32_t(text.utf8.size())));
    benchmark::DoNotOptimize(s.getBuffer());
  }
  SetCounters(state, pool);
}

void BM_UTF8StringTo_Zeft(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  std::vector<zeft::VString> strings(pool.texts.size());
  for (size_t i = 0; i < strings.size(); ++i) {
    const std::u16string& units = pool.texts[i].utf16;
    strings[i].AppendUniChars(units.data(), int32_t(units.size()));
  }
  size_t index = 0;
  for (auto _ : state) {
    zeft::StStringConverter<char> bytes(strings[index], zeft::kCharSetUTF8);
    benchmark::DoNotOptimize(bytes.GetCPointer());
    if (++index == strings.size()) index = 0;
  }
  SetCounters(state, pool);
}

void BM_UTF8StringTo_ICU(benchmark::State& state) {
  const Pool& pool = GetPool(int(state.range(0)), size_t(state.range(1)));
  std::vector<icu::UnicodeString> strings;
  for (const Text& text : pool.texts)
    strings.emplace_back(text.utf16.data(), int32_t(text.utf16.size()));
  size_t index = 0;
  for (auto _ : state) {
    std::string bytes;
    strings[index].toUTF8String(bytes);
    benchmark::DoNotOptimize(bytes.data());
    if (++index == strings.size()) index = 0;
  }
  SetCounters(state, pool);
}

BENCHMARK(BM_UTF8Decode_Zeft)->Apply(Arguments);
BENCHMARK(BM_UTF8Decode_ICU)->Apply(Arguments);
BENCHMARK(BM_UTF8Decode_Iconv)->Apply(Arguments);
BENCHMARK(BM_UTF8Encode_Zeft)->Apply(Arguments);
BENCHMARK(BM_UTF8Encode_ICU)->Apply(Arguments);
BENCHMARK(BM_UTF8Encode_Iconv)->Apply(Arguments);
BENCHMARK(BM_UTF8StringFrom_Zeft)->Apply(Arguments);
BENCHMARK(BM_UTF8StringFrom_ICU)->Apply(Arguments);
BENCHMARK(BM_UTF8StringTo_Zeft)->Apply(Arguments);
BENCHMARK(BM_UTF8StringTo_ICU)->Apply(Arguments);

}  // namespace
