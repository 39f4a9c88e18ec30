#include "core/VLeaksChecker.h"

#include <ctime>
#include <string>

#include "core/CLocale.h"
#include "platform/MainBundle.h"
#include "runtime/mac/XMacStackCrawl.h"

namespace zeft {

namespace {

constexpr size_t kMaxPathBytes = 4096;
constexpr size_t kMaxDateBytes = 200;

// The bundle path without its extension: "/Applications/App.app" gives
// "/Applications/App". Only the last path component is looked at.
std::string RemovePathExtension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (dot == std::string::npos || dot <= nameStart) return path;
  return path.substr(0, dot);
}

}  // namespace

bool VLeaksChecker::SetLeaksCheck(bool enabled) {
  bool previous = fEnabled;
  fEnabled = enabled;
  return previous;
}

void VLeaksChecker::RegisterBlock(XMacStackCrawl& crawl) {
  if (!fEnabled) return;
  crawl.LoadFrames(uint32(fFramesToSkip > 0 ? fFramesToSkip : 0), kMaxLeakFrames);
  if (crawl.GetCount() >= 1) ++fLeaksCount;
}

void VLeaksChecker::UnregisterBlock(XMacStackCrawl& crawl) {
  if (crawl.GetCount() >= 1) --fLeaksCount;
}

FILE* VLeaksChecker::OpenDumpFile(const char* suffix) const {
  std::string path = RemovePathExtension(platform::GetMainBundlePath());
  if (path.empty() || path.size() > kMaxPathBytes) return nullptr;
  path += '.';
  if (suffix != nullptr) path += suffix;
  path += ".leaks";

  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return nullptr;

  char date[kMaxDateBytes + 1];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  size_t length = FormatTimeInCLocale(date, sizeof date, "%A, %B %d, %Y %I:%M:%S %p\n", local);
  std::fwrite(date, 1, length, file);

  if (fLeaksCount == 0)
    std::fputs("No memory leaks.\n", file);
  else if (fLeaksCount == 1)
    std::fputs("You have one leak:\n\n", file);
  else
    std::fprintf(file, "You have %i leaks:\n\n", fLeaksCount);
  return file;
}

}  // namespace zeft
