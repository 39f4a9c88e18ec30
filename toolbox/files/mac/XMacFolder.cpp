#include "files/mac/XMacFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>

#include "core/VMemory.h"
#include "files/VFileError.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "files/mac/XMacFile.h"
#include "platform/SystemFolders.h"
#include "platform/TreeDeleter.h"
#include "platform/Workspace.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

XMacFolder::XMacFolder(const char* posixPath) : fPosixPath(XMacFile::CopyPosixPath(posixPath)) {}

XMacFolder::~XMacFolder() { VMemory::DisposePtr(fPosixPath); }

void XMacFolder::Init(VFolder* owner) {
  fOwner = owner;
  if (fPosixPath == nullptr && owner != nullptr) {
    fPosixPath = XMacFile::AllocatePosixPathFromFilePath(owner->GetPath());
  }
}

VError XMacFolder::GetPosixPath(VString& path) const {
  path.Clear();
  if (fPosixPath != nullptr) path.FromBlock(fPosixPath, std::strlen(fPosixPath), kCharSetUTF8);
  return VE_OK;
}

bool XMacFolder::Exists(bool follow) const {
  struct stat info;
  if (fPosixPath == nullptr || *fPosixPath == 0) return false;
  if (follow) return ::stat(fPosixPath, &info) == 0 && S_ISDIR(info.st_mode);
  // A final '/' would make the system follow a link to a folder.
  std::string path = fPosixPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

VError XMacFolder::Create() const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  return ::mkdir(fPosixPath, 0755) == 0 ? VE_OK : PosixError(errno);
}

VError XMacFolder::Delete() const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  return ::rmdir(fPosixPath) == 0 ? VE_OK : PosixError(errno);
}

VError XMacFolder::DeleteForced() const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  platform::PathError restore;
  const platform::PathError result = platform::DeleteTree(fPosixPath, true, &restore);
  if (restore.Failed() && fOwner != nullptr) {
    const VError native = PosixError(restore.fCode);
    const VError code = VErrorBase::EncodedNativeErrorToVError(
        native, ToolboxError(toolbox_error::kFolderCannotSetPermissions));
    _PushRetainedError(NewErrorRecord<VFileError>(fOwner, code), native);
  }
  return XMacFile::PathResult(result);
}

VError XMacFolder::MoveToTrash() const { return XMacFile::TrashPath(fPosixPath); }

VError XMacFolder::RevealInFinder() const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  const int error = platform::RevealItem(fPosixPath);
  return PosixResult(error);
}

VError XMacFolder::IsHidden(bool& hidden) const {
  hidden = false;
  struct stat info;
  if (fPosixPath == nullptr || ::stat(fPosixPath, &info) != 0) {
    return PosixError(fPosixPath == nullptr ? ENOENT : errno);
  }
  hidden = XMacFile::PosixNameBeginsWithDot(fPosixPath);
  return VE_OK;
}

VError XMacFolder::Rename(const VString& name, VFolder** out) const {
  if (out != nullptr) *out = nullptr;
  if (fOwner == nullptr) return PosixError(ENOENT);
  VFilePath path = fOwner->GetPath();
  if (name.IsEmpty() || !path.SetName(name)) return PosixError(EINVAL);
  const VError error = XMacFile::RenamePath(fPosixPath, path);
  if (error == VE_OK && out != nullptr) *out = new VFolder(path);
  return error;
}

VError XMacFolder::Move(const VFolder& destParent, const VString* name, VFolder** out) const {
  if (out != nullptr) *out = nullptr;
  if (fPosixPath == nullptr || fOwner == nullptr) return PosixError(ENOENT);
  VString own;
  if (name == nullptr || name->IsEmpty()) fOwner->GetName(own);
  const VString& destName = (name == nullptr || name->IsEmpty()) ? own : *name;
  VFilePath destination = destParent.GetPath();
  destination.ToSubFolder(destName);
  const VError error = XMacFile::TransferItem(false, fPosixPath, destination, false);
  if (error == VE_OK && out != nullptr) *out = new VFolder(destination);
  return error;
}

VError XMacFolder::CopyToFolder(const VFolder& destParent, const VString& name,
                                bool replace) const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  VFilePath destination = destParent.GetPath();
  destination.ToSubFolder(name);
  return XMacFile::TransferItem(true, fPosixPath, destination, replace);
}

VError XMacFolder::GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const {
  return XMacFile::GetTimeAttributes(fPosixPath, true, modified, created, accessed);
}

VError XMacFolder::SetTimeAttributes(const VTime* modified, const VTime* created,
                                     const VTime* accessed) const {
  return XMacFile::SetTimeAttributes(fPosixPath, modified, created, accessed);
}

VError XMacFolder::GetVolumeCapacity(int64* total) const {
  return XMacFile::GetVolumeFreeSpace(fPosixPath, nullptr, total, false, nullptr);
}

VError XMacFolder::GetVolumeFreeSpace(int64* free, bool available) const {
  return XMacFile::GetVolumeFreeSpace(fPosixPath, free, nullptr, available, nullptr);
}

VError XMacFolder::GetFolderAttributes(unsigned& attributes) const {
  return XMacFile::GetPathAttributes(fPosixPath, true, attributes);
}

VError XMacFolder::SetFolderAttributes(unsigned attributes) const {
  return XMacFile::SetPathAttributes(fPosixPath, true, attributes);
}

VError XMacFolder::MakeWritableByAll() const { return SetPermissions(0777); }

VError XMacFolder::GetPermissions(unsigned short* mode) const {
  struct stat info;
  const bool ok = fPosixPath != nullptr && ::stat(fPosixPath, &info) == 0;
  const int error = fPosixPath == nullptr ? ENOENT : errno;
  if (mode != nullptr) *mode = ok ? static_cast<unsigned short>(info.st_mode & 0777) : 0;
  return ok ? VE_OK : PosixError(error);
}

VError XMacFolder::SetPermissions(unsigned short mode) const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  return ::chmod(fPosixPath, mode & 0777) == 0 ? VE_OK : PosixError(errno);
}

bool XMacFolder::IsWritableByAll() const {
  struct stat info;
  return fPosixPath != nullptr && ::stat(fPosixPath, &info) == 0 && (info.st_mode & S_IWOTH) != 0;
}

bool XMacFolder::IsTraversable() const {
  unsigned permission = 0;
  return XMacFile::GetEffectivePermission(fPosixPath, permission) == VE_OK && (permission & 1) != 0;
}

bool XMacFolder::IsPackage() const {
  return fPosixPath != nullptr && platform::IsPackage(fPosixPath);
}

VError XMacFolder::GetOwner(unsigned& uid, unsigned& gid) const {
  struct stat info;
  if (fPosixPath == nullptr || ::stat(fPosixPath, &info) != 0) {
    return PosixError(fPosixPath == nullptr ? ENOENT : errno);
  }
  uid = info.st_uid;
  gid = info.st_gid;
  return VE_OK;
}

VError XMacFolder::RetainSystemFolder(ESystemFolderKind kind, bool create, VFolder** out) {
  using platform::SystemFolderKind;
  // The folder of each kind; kind 3 and kinds past the table have none.
  static constexpr struct {
    bool fExists;
    SystemFolderKind fKind;
  } kFolders[] = {
      {true, SystemFolderKind::kExecutableFolder},  {true, SystemFolderKind::kDocuments},
      {true, SystemFolderKind::kTemporary},         {false, SystemFolderKind::kHome},
      {true, SystemFolderKind::kSharedData},        {true, SystemFolderKind::kUserData},
      {true, SystemFolderKind::kSharedData},        {true, SystemFolderKind::kUserData},
      {true, SystemFolderKind::kDesktop},           {true, SystemFolderKind::kApplications},
      {true, SystemFolderKind::kSharedCaches},      {true, SystemFolderKind::kUserCaches},
      {true, SystemFolderKind::kUserConfiguration},
  };
  if (kind < 0 || size_t(kind) >= std::size(kFolders) || !kFolders[kind].fExists) return VE_OK;
  std::string text;
  const platform::PathError error = platform::GetSystemFolder(kFolders[kind].fKind, create, text);
  if (error.Failed()) return XMacFile::PathResult(error);
  if (out != nullptr) {
    text.push_back('/');
    VFilePath path;
    XMacFile::GetFilePathFromPosixPath(text.c_str(), true, path);
    if (path.IsFolder()) *out = new VFolder(text.c_str(), path);
  }
  return VE_OK;
}

}  // namespace zeft
