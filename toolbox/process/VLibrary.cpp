#include "process/VLibrary.h"

#include <new>

#include "files/VFile.h"
#include "files/VFolder.h"

namespace zeft {

namespace {

VFilePath PathOf(const std::string& posix) {
  VString text;
  text.FromBlock(posix.data(), posix.size(), kCharSetUTF8);
  return VFilePath(text, kFilePathStylePosix);
}

}  // namespace

VLibrary::VLibrary(const VFilePath& path) : fPath(path) {}

VLibrary::~VLibrary() { Unload(); }

bool VLibrary::Load() {
  StLocker<VCriticalSection> lock(fLock);
  if (fLoaded) return true;
  // Out of memory on the way is a failed load that leaves nothing open.
  try {
    fLoaded = fPlatform.Load(fPath);
  } catch (const std::bad_alloc&) {
    fPlatform.Unload();
  }
  return fLoaded;
}

void VLibrary::Unload() {
  StLocker<VCriticalSection> lock(fLock);
  if (!fLoaded) return;
  fPlatform.Unload();
  fLoaded = false;
}

bool VLibrary::IsLoaded() const {
  StLocker<VCriticalSection> lock(fLock);
  return fLoaded;
}

void* VLibrary::GetProcAddress(const VString& name) {
  StLocker<VCriticalSection> lock(fLock);
  return fLoaded ? fPlatform.GetProcAddress(name) : nullptr;
}

bool VLibrary::IsSameFile(const VFilePath& path) const {
  StLocker<VCriticalSection> lock(fLock);
  return path.GetPath() == fPath.GetPath();
}

VFolder* VLibrary::RetainFolder(BundleFolderKind kind) const {
  StLocker<VCriticalSection> lock(fLock);
  if (!fLoaded || !fPlatform.IsBundle()) return nullptr;
  const std::string& bundle = fPlatform.GetBundleFolder();
  std::string folder;
  switch (kind) {
    case kBundleFolder:
      folder = bundle;
      break;
    case kBundleExecutableFolder: {
      const std::string& executable = fPlatform.GetExecutablePath();
      folder = executable.substr(0, executable.rfind('/') + 1);
      break;
    }
    case kBundleResourcesFolder:
      folder = bundle + "Contents/Resources/";
      break;
    case kBundlePlugInsFolder:
      folder = bundle + "Contents/PlugIns/";
      break;
    case kBundlePrivateFrameworksFolder:
      folder = bundle + "Contents/Frameworks/";
      break;
    case kBundleSupportFilesFolder:
      folder = bundle + "Contents/SharedSupport/";
      break;
    default:
      return nullptr;
  }
  return new VFolder(PathOf(folder));
}

VFile* VLibrary::RetainExecutableFile() const {
  StLocker<VCriticalSection> lock(fLock);
  if (!fLoaded || !fPlatform.IsBundle()) return nullptr;
  return new VFile(PathOf(fPlatform.GetExecutablePath()));
}

}  // namespace zeft
