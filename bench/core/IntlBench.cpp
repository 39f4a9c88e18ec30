// The character classes and case conversion of VIntlMgr against the same
// services of ICU called directly.
#include <benchmark/benchmark.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <string>
#include <vector>

#include "core/VIntlMgr.h"

namespace zeft {
namespace {

// Latin, accented Latin, digits, spaces, punctuation, Greek, CJK, Hangul.
std::u16string MixedText(size_t length) {
  const std::u16string pieces[] = {u"Hello", u" ",    u"wörld", u", ", u"2024",   u"\u00A0",
                                   u"αβγ",   u"東京", u"서울",  u"! ", u"straße", u"\u3000"};
  std::u16string text;
  for (size_t i = 0; text.size() < length; ++i) text += pieces[i % std::size(pieces)];
  text.resize(length);
  return text;
}

void BM_IntlIsAlpha(benchmark::State& state) {
  std::u16string text = MixedText(4096);
  VIntlMgr intl(1033, VIntlMgr::kKeywordAlphaNumeric);
  for (auto _ : state) {
    int count = 0;
    for (char16_t c : text) count += intl.IsAlpha(c) ? 1 : 0;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * int64(text.size()));
}

void BM_ICUIsAlpha(benchmark::State& state) {
  std::u16string text = MixedText(4096);
  for (auto _ : state) {
    int count = 0;
    for (char16_t c : text) count += u_isalpha(c) ? 1 : 0;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * int64(text.size()));
}

void BM_IntlIsSpace(benchmark::State& state) {
  std::u16string text = MixedText(4096);
  VIntlMgr intl(1033, VIntlMgr::kKeywordAlphaNumeric);
  for (auto _ : state) {
    int count = 0;
    for (char16_t c : text) count += intl.IsSpace(c) ? 1 : 0;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * int64(text.size()));
}

void BM_ICUIsSpace(benchmark::State& state) {
  std::u16string text = MixedText(4096);
  for (auto _ : state) {
    int count = 0;
    for (char16_t c : text) count += u_isspace(c) ? 1 : 0;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * int64(text.size()));
}

// The string is a shared copy of the source each time: converting it makes
// it its own, as a caller's string would be.
void BM_IntlToUpper(benchmark::State& state) {
  std::u16string text = MixedText(size_t(state.range(0)));
  VString source;
  source.FromUniString(text.data(), int32(text.size()));
  VIntlMgr intl(1033, VIntlMgr::kKeywordAlphaNumeric);
  for (auto _ : state) {
    VString s(source);
    intl.ToUpperLowerCase(s, false, true);
    benchmark::DoNotOptimize(s.GetCPointer());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ICU alone into a buffer kept between runs.
void BM_ICUToUpper(benchmark::State& state) {
  std::u16string text = MixedText(size_t(state.range(0)));
  std::vector<UChar> buffer(text.size() * 3 + 16);
  for (auto _ : state) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = u_strToUpper(buffer.data(), int32_t(buffer.size()),
                                  reinterpret_cast<const UChar*>(text.data()), int32_t(text.size()),
                                  "", &status);
    benchmark::DoNotOptimize(length);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_IntlIsAlpha);
BENCHMARK(BM_ICUIsAlpha);
BENCHMARK(BM_IntlIsSpace);
BENCHMARK(BM_ICUIsSpace);
BENCHMARK(BM_IntlToUpper)->Arg(64)->Arg(1024);
BENCHMARK(BM_ICUToUpper)->Arg(64)->Arg(1024);

}  // namespace
}  // namespace zeft
