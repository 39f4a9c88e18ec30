#include "files/mac/XMacVolumes.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Clock.h"

namespace zeft {

namespace {

// mountinfo escapes space, tab, line feed and backslash as \ooo.
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out.push_back(
          char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

// The ':' path from the root volume of a mount point other than "/".
std::string NameUnderRoot(const std::string& mountPath) {
  std::string name = XMacVolumes::kRootVolumeName;
  bool newComponent = true;
  for (char c : mountPath) {
    if (c == '/') {
      newComponent = true;
      continue;
    }
    if (newComponent) name.push_back(':');
    newComponent = false;
    name.push_back(c == ':' ? '/' : c);
  }
  return name;
}

// A path's mount is the longest mount path that is the path or one of its
// folders, compared component-wise as text.
bool HoldsPath(const std::string& mountPath, const char* path, size_t pathLength) {
  const size_t length = mountPath.size();
  if (length > pathLength || std::memcmp(mountPath.data(), path, length) != 0) return false;
  return length == pathLength || mountPath.back() == '/' || path[length] == '/';
}

}  // namespace

XMacVolumes::XMacVolumes() = default;

XMacVolumes& XMacVolumes::Get() {
  static XMacVolumes* instance = new XMacVolumes();  // lives until exit, used by late paths
  return *instance;
}

XMacVolumes::VolumeList XMacVolumes::ParseMountInfo(const std::string& mountInfo) {
  VolumeList volumes;
  volumes.emplace_back("/", kRootVolumeName);
  std::istringstream lines(mountInfo);
  std::string line;
  while (std::getline(lines, line)) {
    // id parent major:minor root mount-point options ...
    std::istringstream fields(line);
    std::string skipped;
    std::string mountPoint;
    if (!(fields >> skipped >> skipped >> skipped >> skipped >> mountPoint)) continue;
    mountPoint = UnescapeMountField(mountPoint);
    if (mountPoint.empty() || mountPoint[0] != '/' || mountPoint == "/") continue;
    volumes.emplace_back(mountPoint, NameUnderRoot(mountPoint));
  }
  return volumes;
}

XMacVolumes::VolumeList XMacVolumes::ReadSystemVolumes() {
  std::ifstream file("/proc/self/mountinfo");
  std::ostringstream text;
  if (file) text << file.rdbuf();
  return ParseMountInfo(text.str());
}

void XMacVolumes::SetVolumeListProvider(VolumeListProvider provider) {
  StLocker<VCriticalSection> locker(fLock);
  fProvider = std::move(provider);
  fLoaded = false;
}

void XMacVolumes::SetClock(Clock clock) {
  StLocker<VCriticalSection> locker(fLock);
  fClock = std::move(clock);
  fLoaded = false;
}

void XMacVolumes::_ReloadCacheIfNecessary() {
  const uint32 now = fClock ? fClock() : uint32(platform::GetCurrentTime());
  // The first look-up always lists the volumes, whatever the clock reads.
  if (fLoaded && uint32(now - fLastReload) <= kReloadInterval) return;
  fNamesByMountPath.clear();
  fMountPathsByName.clear();
  const VolumeList volumes = fProvider ? fProvider() : ReadSystemVolumes();
  // The first volume listed wins for a duplicate path or name.
  for (const auto& [mountPath, name] : volumes) {
    fNamesByMountPath.emplace(mountPath, name);
    fMountPathsByName.emplace(name, mountPath);
  }
  fLastReload = now;
  fLoaded = true;
}

bool XMacVolumes::GetVolumeNameFromMountPath(const char* mountPath, char* outName, size_t size) {
  if (mountPath == nullptr) return false;
  StLocker<VCriticalSection> locker(fLock);
  _ReloadCacheIfNecessary();
  auto found = fNamesByMountPath.find(mountPath);
  if (found == fNamesByMountPath.end()) return false;
  if (size > 0 && outName != nullptr) {
    const size_t copied = std::min(found->second.size(), size - 1);
    std::memcpy(outName, found->second.data(), copied);
    outName[copied] = 0;
  }
  return true;
}

bool XMacVolumes::GetMountPathFromVolumeName(const VString& name, VString& outPath) {
  const std::string key = to_string(name);
  StLocker<VCriticalSection> locker(fLock);
  _ReloadCacheIfNecessary();
  auto found = fMountPathsByName.find(key);
  if (found == fMountPathsByName.end()) return false;
  outPath.FromBlock(found->second.data(), found->second.size(), kCharSetUTF8);
  return true;
}

bool XMacVolumes::GetMountPathOfPath(const char* path, std::string& outMountPath) {
  if (path == nullptr || path[0] != '/') return false;
  const size_t pathLength = std::strlen(path);
  StLocker<VCriticalSection> locker(fLock);
  _ReloadCacheIfNecessary();
  const std::string* best = nullptr;
  for (const auto& entry : fNamesByMountPath) {
    if (HoldsPath(entry.first, path, pathLength) &&
        (best == nullptr || entry.first.size() > best->size())) {
      best = &entry.first;
    }
  }
  if (best == nullptr) return false;
  outMountPath = *best;
  return true;
}

}  // namespace zeft
