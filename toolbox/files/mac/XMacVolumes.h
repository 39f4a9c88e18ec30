// XMacVolumes is the process-wide cache of the mounted volumes: which volume
// name belongs to a mount path and the reverse, for the conversions between
// ':' paths and POSIX paths. On Linux there is one root volume with a fixed
// name; every other mount point lies under it and is named by its ':' path
// from the root ("Root:mnt:usb"), so a path reads the same whatever mount
// holds it. The list comes from /proc/self/mountinfo at most every 2 s.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class XMacVolumes : public VObject {
 public:
  // Mount path and volume name (UTF-8), in the system's order.
  using VolumeList = std::vector<std::pair<std::string, std::string>>;
  using VolumeListProvider = std::function<VolumeList()>;
  // Milliseconds of a monotonic clock.
  using Clock = std::function<uint32()>;

  static constexpr const char* kRootVolumeName = "Root";
  static constexpr uint32 kReloadInterval = 2000;

  static XMacVolumes& Get();

  // The name of the volume mounted at `mountPath`, cut to size - 1 bytes
  // and a NUL; false (buffer untouched) when none.
  bool GetVolumeNameFromMountPath(const char* mountPath, char* outName, size_t size);
  bool GetMountPathFromVolumeName(const VString& name, VString& outPath);
  // The mount point holding the absolute path `path`: the longest listed
  // mount path that is `path` or a folder of it (compared as text).
  bool GetMountPathOfPath(const char* path, std::string& outMountPath);

  // Test hooks: a null provider or clock puts the system's back. Either
  // change empties the cache so that the next look-up lists the volumes.
  void SetVolumeListProvider(VolumeListProvider provider);
  void SetClock(Clock clock);

  // The system's list: the root volume first, then the mount points of
  // /proc/self/mountinfo. `ParseMountInfo` reads such a text.
  static VolumeList ReadSystemVolumes();
  static VolumeList ParseMountInfo(const std::string& mountInfo);

  // Lists the volumes again when none were listed yet or more than 2 s
  // have passed. The caller holds the lock.
  void _ReloadCacheIfNecessary();

 private:
  XMacVolumes();

  VCriticalSection fLock;
  std::unordered_map<std::string, std::string> fNamesByMountPath;
  std::map<std::string, std::string> fMountPathsByName;
  uint32 fLastReload = 0;
  bool fLoaded = false;
  VolumeListProvider fProvider;
  Clock fClock;
};

}  // namespace zeft
