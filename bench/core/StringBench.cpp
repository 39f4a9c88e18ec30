// VString against std::u16string: copying (shared block against deep copy)
// and appending (one unit at a time and in runs).
#include <benchmark/benchmark.h>

#include <string>

#include "core/VString.h"

namespace zeft {
namespace {

std::u16string MakeText(int64 length) {
  std::u16string text(size_t(length), u'a');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(u'a' + i % 26);
  return text;
}

void BM_CopyVString(benchmark::State& state) {
  std::u16string text = MakeText(state.range(0));
  VString source;
  source.FromUniString(text.data(), int32(text.size()));
  for (auto _ : state) {
    VString copy(source);
    benchmark::DoNotOptimize(copy.GetCPointer());
  }
}

void BM_CopyStdString(benchmark::State& state) {
  std::u16string source = MakeText(state.range(0));
  for (auto _ : state) {
    std::u16string copy(source);
    benchmark::DoNotOptimize(copy.data());
  }
}

// A copy followed by a write: the deferred copy happens here.
void BM_CopyThenWriteVString(benchmark::State& state) {
  std::u16string text = MakeText(state.range(0));
  VString source;
  source.FromUniString(text.data(), int32(text.size()));
  for (auto _ : state) {
    VString copy(source);
    copy.SetUniChar(1, u'!');
    benchmark::DoNotOptimize(copy.GetCPointer());
  }
}

void BM_CopyThenWriteStdString(benchmark::State& state) {
  std::u16string source = MakeText(state.range(0));
  for (auto _ : state) {
    std::u16string copy(source);
    copy[0] = u'!';
    benchmark::DoNotOptimize(copy.data());
  }
}

void BM_AppendUnitsVString(benchmark::State& state) {
  const int64 count = state.range(0);
  for (auto _ : state) {
    VString s;
    for (int64 i = 0; i < count; ++i) s.AppendUniChar(UniChar(u'a' + i % 26));
    benchmark::DoNotOptimize(s.GetCPointer());
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_AppendUnitsStdString(benchmark::State& state) {
  const int64 count = state.range(0);
  for (auto _ : state) {
    std::u16string s;
    for (int64 i = 0; i < count; ++i) s.push_back(char16_t(u'a' + i % 26));
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_AppendRunsVString(benchmark::State& state) {
  const int64 count = state.range(0);
  const std::u16string run = u"run of text ";
  for (auto _ : state) {
    VString s;
    for (int64 i = 0; i < count; ++i) s.AppendUniChars(run.data(), int32(run.size()));
    benchmark::DoNotOptimize(s.GetCPointer());
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_AppendRunsStdString(benchmark::State& state) {
  const int64 count = state.range(0);
  const std::u16string run = u"run of text ";
  for (auto _ : state) {
    std::u16string s;
    for (int64 i = 0; i < count; ++i) s.append(run);
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_CopyVString)->Arg(8)->Arg(64)->Arg(4096);
BENCHMARK(BM_CopyStdString)->Arg(8)->Arg(64)->Arg(4096);
BENCHMARK(BM_CopyThenWriteVString)->Arg(64)->Arg(4096);
BENCHMARK(BM_CopyThenWriteStdString)->Arg(64)->Arg(4096);
BENCHMARK(BM_AppendUnitsVString)->Arg(16)->Arg(1024)->Arg(65536);
BENCHMARK(BM_AppendUnitsStdString)->Arg(16)->Arg(1024)->Arg(65536);
BENCHMARK(BM_AppendRunsVString)->Arg(16)->Arg(1024);
BENCHMARK(BM_AppendRunsStdString)->Arg(16)->Arg(1024);

}  // namespace
}  // namespace zeft
