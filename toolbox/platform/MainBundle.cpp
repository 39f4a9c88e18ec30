#include "platform/MainBundle.h"

#include <unistd.h>

#include <mutex>
#include <optional>

#include "platform/DirectoryWalk.h"
#include "platform/ItemKind.h"
#include "platform/PropertyList.h"

namespace zeft::platform {

namespace {

constexpr std::string_view kBundleExtension = ".app";
constexpr std::string_view kInfoPlistSubpath = "Contents/Info.plist";

bool IsBundleName(std::string_view name) {
  return name.size() > kBundleExtension.size() && name.ends_with(kBundleExtension);
}

struct TestingOverride {
  std::mutex fMutex;
  std::string fPath;  // "" when not overridden
};

TestingOverride& Override() {
  static TestingOverride sOverride;
  return sOverride;
}

const std::string& RealMainBundlePath() {
  static const std::string sPath = LocateMainBundle(GetExecutablePath());
  return sPath;
}

}  // namespace

std::string GetExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return std::string();
    if (size_t(length) < path.size()) {
      path.resize(size_t(length));
      return path;
    }
    if (path.size() >= 65536) return std::string();  // no sane path is that long
    path.resize(path.size() * 2);
  }
}

std::string LocateMainBundle(const std::string& executablePath) {
  std::string executableFolder, name;
  if (SplitItemPath(executablePath, executableFolder, name) != 0) return std::string();
  executableFolder = WithoutTrailingSlashes(executableFolder);
  // Climb until the root or the top of a relative path, where there is no
  // name left.
  std::string folder = executableFolder, parent;
  while (SplitItemPath(folder, parent, name) == 0) {
    if (IsBundleName(name) && IsRegularFile(JoinPath(folder, kInfoPlistSubpath))) return folder;
    folder = WithoutTrailingSlashes(parent);
  }
  return executableFolder;
}

std::string GetMainBundlePath() {
  {
    TestingOverride& override = Override();
    std::lock_guard<std::mutex> lock(override.fMutex);
    if (!override.fPath.empty()) return override.fPath;
  }
  return RealMainBundlePath();
}

std::string GetMainBundleInfoPlistPath() {
  std::string bundle = GetMainBundlePath();
  if (bundle.empty()) return std::string();
  std::string path = JoinPath(bundle, kInfoPlistSubpath);
  return IsRegularFile(path) ? path : std::string();
}

bool GetMainBundleInfoString(const char* key, std::string& out) {
  if (key == nullptr) return false;
  std::string path = GetMainBundleInfoPlistPath();
  if (path.empty()) return false;
  std::string error;
  std::optional<PropertyListValue> info = LoadInfoPlist(path, error);
  if (!info) return false;
  const PropertyListValue* value = info->Find(key);
  const std::string* text = value != nullptr ? value->GetString() : nullptr;
  if (text == nullptr) return false;
  out = *text;
  return true;
}

std::string GetBundleExecutableName(const std::string& bundlePath, std::string& error) {
  error.clear();
  const std::optional<PropertyListValue> info =
      LoadInfoPlist(JoinPath(bundlePath, kInfoPlistSubpath), error);
  const PropertyListValue* key = info ? info->Find("CFBundleExecutable") : nullptr;
  const std::string* name = key != nullptr ? key->GetString() : nullptr;
  if (name == nullptr || name->empty() || name->find('/') != std::string::npos || *name == "." ||
      *name == "..")
    return std::string();
  return *name;
}

void SetMainBundlePathForTesting(const std::string& path) {
  TestingOverride& override = Override();
  std::lock_guard<std::mutex> lock(override.fMutex);
  override.fPath = path.empty() ? std::string() : WithoutTrailingSlashes(path);
}

}  // namespace zeft::platform
