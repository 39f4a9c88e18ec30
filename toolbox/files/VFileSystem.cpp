#include "files/VFileSystem.h"

#include <limits>

#include "files/IFileSystemObject.h"
#include "files/VFolder.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"

namespace zeft {

VFileSystem::VFileSystem(const VString& name, IFolder* root, unsigned int flags, uint64 quota,
                         uint64 used)
    : fName(name),
      fRoot(root),
      fQuota(quota),
      fFlags(flags),
      fAvailable(quota > used ? quota - used : 0) {
  if (fRoot != nullptr) fRoot->Retain();
}

VFileSystem::~VFileSystem() {
  if (fRoot == nullptr) return;
  if ((fFlags & kFileSystemTemporary) != 0) {
    const VFolder* folder = dynamic_cast<const VFolder*>(fRoot);
    if (folder != nullptr && folder->Exists()) {
      // A root that cannot be deleted is no failure of the destruction.
      StErrorContextInstaller dropped(false);
      folder->Delete(true);
    }
  }
  fRoot->Release();
}

VFileSystem* VFileSystem::Create(const VString& name, IFolder* root, unsigned int flags,
                                 uint64 quota, uint64 used, VError* error) {
  if (name.IsNull() || name.IsEmpty() || name.FindUniChar(u'/') > 0) {
    const VError code = ToolboxError(toolbox_error::kFileSystemInvalidName);
    auto* record = NewErrorRecord<VErrorBase>(code);
    if (record != nullptr) record->GetBag()->SetString(StPackedDictionaryKey("name"), name);
    _PushRetainedError(record);
    if (error != nullptr) *error = code;
    return nullptr;
  }
  if (error != nullptr) *error = VE_OK;
  return new VFileSystem(name, root, flags, quota, used);
}

VFilePath VFileSystem::GetRoot() const { return fRoot != nullptr ? fRoot->GetPath() : VFilePath(); }

IFolder* VFileSystem::RetainRootFolder() const {
  if (fRoot == nullptr) return nullptr;
  return fRoot->RetainRelativeFolder(VString(), kFilePathStylePosix,
                                     const_cast<VFileSystem*>(this));
}

VError VFileSystem::Request(uint64 size) {
  if ((fFlags & kFileSystemSpaceAccounting) == 0) {
    return ToolboxError(toolbox_error::kFileSystemNoSpaceAccounting);
  }
  if (fQuota == 0) return VE_OK;
  uint64 available = fAvailable.load(std::memory_order_relaxed);
  do {
    if (size > available) return ToolboxError(toolbox_error::kFileSystemQuotaExceeded);
  } while (
      !fAvailable.compare_exchange_weak(available, available - size, std::memory_order_relaxed));
  return VE_OK;
}

VError VFileSystem::Relinquish(uint64 size) {
  if ((fFlags & kFileSystemSpaceAccounting) == 0) {
    return ToolboxError(toolbox_error::kFileSystemNoSpaceAccounting);
  }
  if (fQuota == 0) return VE_OK;
  uint64 available = fAvailable.load(std::memory_order_relaxed);
  uint64 grown;
  do {
    // Given back without bound, but never wrapped round to a small count.
    grown = size > std::numeric_limits<uint64>::max() - available
                ? std::numeric_limits<uint64>::max()
                : available + size;
  } while (!fAvailable.compare_exchange_weak(available, grown, std::memory_order_relaxed));
  return VE_OK;
}

bool VFileSystem::IsAuthorized(const VFilePath& path) const {
  return path.IsSameOrChildOf(GetRoot());
}

bool VFileSystem::GetNamedPath(const VFilePath& path, VString& text) const {
  VString relative;
  if (!path.GetRelativePosixPath(GetRoot(), relative)) return false;
  text.FromCString("/");
  text.AppendString(fName);
  text.AppendUniChar(u'/');
  text.AppendString(relative);
  return true;
}

}  // namespace zeft
