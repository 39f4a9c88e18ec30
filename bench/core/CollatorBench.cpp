// Collated comparison and search: the system collator (VCollator_system
// over XMacStringCompare) against raw ICU, ucol_strcoll and usearch, with
// collators configured alike (primary strength without diacritical;
// secondary strength with the case level with it). The difference is the
// wrapper's overhead.
//
// Each benchmark cycles through a pool of different sentences (accented
// Latin text), comparing neighbours or searching each for a word, so that
// no iteration repeats the one before.
#include <benchmark/benchmark.h>
#include <unicode/ucol.h>
#include <unicode/usearch.h>

#include <string>
#include <vector>

#include "core/VCollator_system.h"

namespace {

using zeft::UniChar;

constexpr zeft::DialectCode kFrench = 1036;

const char16_t* const kWords[] = {
    u"été",    u"Résumé", u"rapport", u"trimestriel", u"café",   u"naïve",    u"Über",
    u"façade", u"élève",  u"Noël",    u"coopération", u"garçon", u"Ångström", u"déjà",
    u"crème",  u"brûlée", u"soirée",  u"fiancé",      u"voilà",  u"piñata",   u"straße",
};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// Sentences of `words` words, each pool entry different.
std::vector<std::u16string> MakeSentences(size_t count, size_t words) {
  std::vector<std::u16string> sentences;
  uint32_t seed = 12345;
  for (size_t i = 0; i < count; ++i) {
    std::u16string s;
    for (size_t w = 0; w < words; ++w) {
      seed = seed * 1103515245u + 12345u;
      if (!s.empty()) s += u' ';
      s += kWords[(seed >> 16) % kWordCount];
    }
    sentences.push_back(std::move(s));
  }
  return sentences;
}

UCollator* OpenRawCollator(bool diacritical) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open("fr_FR", &status);
  ucol_setAttribute(collator, UCOL_STRENGTH, diacritical ? UCOL_SECONDARY : UCOL_PRIMARY, &status);
  ucol_setAttribute(collator, UCOL_CASE_LEVEL, diacritical ? UCOL_ON : UCOL_OFF, &status);
  return collator;
}

const UChar* AsUChar(const std::u16string& s) { return reinterpret_cast<const UChar*>(s.data()); }

// Arguments: {words per sentence, diacritical}.
void CompareArgs(benchmark::internal::Benchmark* b) {
  for (int words : {3, 30}) {
    for (int diacritical : {0, 1}) b->Args({words, diacritical});
  }
}

void BM_CollatorCompareString(benchmark::State& state) {
  const auto sentences = MakeSentences(256, size_t(state.range(0)));
  const bool diacritical = state.range(1) != 0;
  zeft::VCollator_system* collator = zeft::VCollator_system::Create(kFrench, nullptr);
  size_t i = 0;
  for (auto _ : state) {
    const std::u16string& a = sentences[i % sentences.size()];
    const std::u16string& b = sentences[(i + 1) % sentences.size()];
    benchmark::DoNotOptimize(
        collator->CompareString(a.data(), int(a.size()), b.data(), int(b.size()), diacritical));
    ++i;
  }
  collator->Release();
}
BENCHMARK(BM_CollatorCompareString)->Apply(CompareArgs);

void BM_RawUcolStrcoll(benchmark::State& state) {
  const auto sentences = MakeSentences(256, size_t(state.range(0)));
  UCollator* collator = OpenRawCollator(state.range(1) != 0);
  size_t i = 0;
  for (auto _ : state) {
    const std::u16string& a = sentences[i % sentences.size()];
    const std::u16string& b = sentences[(i + 1) % sentences.size()];
    benchmark::DoNotOptimize(
        ucol_strcoll(collator, AsUChar(a), int32_t(a.size()), AsUChar(b), int32_t(b.size())));
    ++i;
  }
  ucol_close(collator);
}
BENCHMARK(BM_RawUcolStrcoll)->Apply(CompareArgs);

// Searches each sentence for one word of the pool (found or not).
void BM_CollatorFindString(benchmark::State& state) {
  const auto sentences = MakeSentences(256, size_t(state.range(0)));
  const bool diacritical = state.range(1) != 0;
  const std::u16string pattern(u"brûlée");
  zeft::VCollator_system* collator = zeft::VCollator_system::Create(kFrench, nullptr);
  size_t i = 0;
  zeft::int32 length = 0;
  for (auto _ : state) {
    const std::u16string& text = sentences[i % sentences.size()];
    benchmark::DoNotOptimize(collator->FindString(text.data(), int(text.size()), pattern.data(),
                                                  int(pattern.size()), diacritical, &length));
    ++i;
  }
  collator->Release();
}
BENCHMARK(BM_CollatorFindString)->Apply(CompareArgs);

// The raw search keeps one search object, as a caller of ICU would, and
// asks for the first match and its length.
void BM_RawUsearch(benchmark::State& state) {
  const auto sentences = MakeSentences(256, size_t(state.range(0)));
  const bool diacritical = state.range(1) != 0;
  const std::u16string pattern(u"brûlée");
  UCollator* collator = OpenRawCollator(diacritical);
  UErrorCode status = U_ZERO_ERROR;
  UStringSearch* search =
      usearch_openFromCollator(AsUChar(pattern), int32_t(pattern.size()), AsUChar(sentences[0]),
                               int32_t(sentences[0].size()), collator, nullptr, &status);
  size_t i = 0;
  for (auto _ : state) {
    const std::u16string& text = sentences[i % sentences.size()];
    status = U_ZERO_ERROR;
    usearch_setText(search, AsUChar(text), int32_t(text.size()), &status);
    const int32_t index = usearch_first(search, &status);
    benchmark::DoNotOptimize(index);
    benchmark::DoNotOptimize(index != USEARCH_DONE ? usearch_getMatchedLength(search) : 0);
    ++i;
  }
  usearch_close(search);
  ucol_close(collator);
}
BENCHMARK(BM_RawUsearch)->Apply(CompareArgs);

}  // namespace
