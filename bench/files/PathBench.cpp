// File paths against std::filesystem::path on the same work: the round trip
// of a full path through the ':' form against weakly_canonical (both ask the
// file system), the round trip of a relative text against lexically_normal,
// and folder containment against a component-wise prefix test.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/VString.h"
#include "files/VFilePath.h"
#include "files/VURL.h"

namespace {

namespace fs = std::filesystem;

// An existing folder followed by names that do not exist: both sides look
// the folder up and keep the rest as written.
const char kFullPath[] = "/usr/share/zeft-bench/Updater.app/Contents/MacOS/Updater";
const char kRelativePath[] = "Contents/Resources/../MacOS/./Updater";
const char kBase[] = "/opt/Apps/Updater.app/";
const char kChild[] = "/opt/Apps/Updater.app/Contents/Resources/en.lproj/Errors.strings";

void BM_FullRoundTrip_VFilePath(benchmark::State& state) {
  const zeft::VString posix(kFullPath);
  zeft::VString back;
  for (auto _ : state) {
    zeft::VFilePath path(posix, zeft::kFilePathStylePosix);
    path.GetPosixPath(back);
    benchmark::DoNotOptimize(back.GetCPointer());
  }
  if (zeft::to_string(back) != kFullPath) state.SkipWithError("round trip changed the path");
}
BENCHMARK(BM_FullRoundTrip_VFilePath);

void BM_FullRoundTrip_std_filesystem(benchmark::State& state) {
  const std::string posix(kFullPath);
  std::string back;
  for (auto _ : state) {
    back = fs::weakly_canonical(fs::path(posix)).string();
    benchmark::DoNotOptimize(back.data());
  }
  if (back != kFullPath) state.SkipWithError("round trip changed the path");
}
BENCHMARK(BM_FullRoundTrip_std_filesystem);

void BM_RelativeRoundTrip_VURL(benchmark::State& state) {
  const zeft::VString relative(kRelativePath);
  zeft::VString text;
  for (auto _ : state) {
    text = relative;
    zeft::VURL::Convert(text, zeft::kURLPathStylePosix, zeft::kURLPathStyleHFS, true);
    zeft::VFilePath::_ResolveRelative(text);
    zeft::VURL::Convert(text, zeft::kURLPathStyleHFS, zeft::kURLPathStylePosix, true);
    benchmark::DoNotOptimize(text.GetCPointer());
  }
  if (zeft::to_string(text) != "Contents/MacOS/Updater") state.SkipWithError("wrong result");
}
BENCHMARK(BM_RelativeRoundTrip_VURL);

void BM_RelativeRoundTrip_std_filesystem(benchmark::State& state) {
  const std::string relative(kRelativePath);
  std::string text;
  for (auto _ : state) {
    text = fs::path(relative).lexically_normal().generic_string();
    benchmark::DoNotOptimize(text.data());
  }
  if (text != "Contents/MacOS/Updater") state.SkipWithError("wrong result");
}
BENCHMARK(BM_RelativeRoundTrip_std_filesystem);

void BM_IsChildOf_VFilePath(benchmark::State& state) {
  const zeft::VFilePath base(zeft::VString(kBase), zeft::kFilePathStylePosix);
  const zeft::VFilePath child(zeft::VString(kChild), zeft::kFilePathStylePosix);
  const zeft::VFilePath other(zeft::VString("/opt/Apps/Updater.apps/x"), zeft::kFilePathStylePosix);
  bool result = false;
  for (auto _ : state) {
    result = child.IsChildOf(base) && !other.IsChildOf(base);
    benchmark::DoNotOptimize(result);
  }
  if (!result) state.SkipWithError("wrong answer");
}
BENCHMARK(BM_IsChildOf_VFilePath);

bool IsChildOf(const fs::path& child, const fs::path& base) {
  auto [b, c] = std::mismatch(base.begin(), base.end(), child.begin(), child.end());
  // A trailing separator of the base is an empty last element.
  if (b != base.end() && b->empty() && std::next(b) == base.end()) b = base.end();
  return b == base.end() && c != child.end();
}

void BM_IsChildOf_std_filesystem(benchmark::State& state) {
  const fs::path base(kBase);
  const fs::path child(kChild);
  const fs::path other("/opt/Apps/Updater.apps/x");
  bool result = false;
  for (auto _ : state) {
    result = IsChildOf(child, base) && !IsChildOf(other, base);
    benchmark::DoNotOptimize(result);
  }
  if (!result) state.SkipWithError("wrong answer");
}
BENCHMARK(BM_IsChildOf_std_filesystem);

}  // namespace
