#include "files/VFolder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "files/VFSObjectIterator.h"
#include "files/VFile.h"
#include "files/VFileError.h"
#include "files/VFileSystem.h"
#include "files/VURL.h"
#include "platform/DirectoryWalk.h"
#include "platform/FileDescriptor.h"
#include "platform/TreeDeleter.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTaskMgr.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constinit const StPackedDictionaryKey kDestinationKey("destination");
constinit const StPackedDictionaryKey kNewNameKey("newname");

// Enumeration options of the operations below.
constexpr unsigned kAllFolders = kFSIterateFolders | kFSIterateInvisible;
constexpr unsigned kAllFiles = kFSIterateFiles | kFSIterateInvisible;
constexpr unsigned kAllEntries = kAllFolders | kAllFiles;

// The relative text of a folder, ending with the separator of its style.
VString FolderText(const VString& relative, FilePathStyle style) {
  VString text(relative);
  const UniChar separator = style == kFilePathStyleNative ? ':' : '/';
  if (!text.IsEmpty() && text.GetUniChar(text.GetLength()) != separator) {
    text.AppendUniChar(separator);
  }
  return text;
}

// Whether the existing folder at `inner` is the folder at `outer` or lies
// below it, by device and inode (links, bind mounts and hard-linked paths
// seen through).
bool FolderIsSameOrInside(const char* inner, const char* outer) {
  struct stat outerInfo;
  if (inner == nullptr || outer == nullptr || ::stat(outer, &outerInfo) != 0 ||
      !S_ISDIR(outerInfo.st_mode)) {
    return false;
  }
  platform::FileDescriptor folder(::open(inner, O_PATH | O_DIRECTORY | O_CLOEXEC));
  bool within = false;
  return folder.IsOpen() &&
         platform::FolderIsWithin(folder.Get(), outerInfo.st_dev, outerInfo.st_ino, within) == 0 &&
         within;
}

}  // namespace

VFolder::VFolder(const VFilePath& path, VFileSystem* fileSystem)
    : fPath(path), fFileSystem(fileSystem) {
  if (fFileSystem != nullptr) fFileSystem->Retain();
  fFolder.Init(this);
}

VFolder::VFolder(const VFolder& other)
    : VObject(), IFolder(), fPath(other.GetPath()), fFileSystem(other.GetFileSystem()) {
  if (fFileSystem != nullptr) fFileSystem->Retain();
  fFolder.Init(this);
}

VFolder::VFolder(const VString& fullPath, FilePathStyle style) : fPath(fullPath, style) {
  fFolder.Init(this);
}

VFolder::VFolder(const VFolder& parent, const VString& relative, FilePathStyle style) {
  VFileSystem* fileSystem = parent.GetFileSystem();
  fPath.FromRelativePath(parent.GetPath(), FolderText(relative, style), style,
                         fileSystem != nullptr);
  if (fileSystem != nullptr && fPath.IsSameOrChildOf(fileSystem->GetRoot())) {
    fFileSystem = fileSystem;
    fFileSystem->Retain();
  }
  fFolder.Init(this);
}

VFolder::VFolder(const char* posixPath, const VFilePath& path, VFileSystem* fileSystem)
    : fFolder(posixPath), fPath(path), fFileSystem(fileSystem) {
  if (fFileSystem != nullptr) fFileSystem->Retain();
  fFolder.Init(this);
}

VFolder::~VFolder() {
  if (fFileSystem != nullptr) fFileSystem->Release();
}

// ---- Existence, creation, deletion

bool VFolder::Exists() const { return fPath.IsFolder() && fFolder.Exists(true); }

VError VFolder::Create() const {
  if (Exists()) return VE_OK;
  return VFileError::ThrowNative(fPath, fFolder.Create(), toolbox_error::kFolderCannotCreate);
}

VError VFolder::CreateRecursive(bool makeWritableByAll) const {
  if (fFolder.Exists(true)) return VE_OK;
  if (VFolder* parent = RetainParentFolder(false)) {
    const VError error = parent->CreateRecursive(makeWritableByAll);
    parent->Release();
    if (error != VE_OK) return error;
  }
  const VError error = Create();
  if (error == VE_OK && makeWritableByAll) return MakeWritableByAll();
  return error;
}

VError VFolder::MakeWritableByAll() const {
  return VFileError::ThrowNative(fPath, fFolder.MakeWritableByAll(),
                                 toolbox_error::kFolderCannotSetPermissions);
}

bool VFolder::IsEmpty() const {
  if (!Exists()) return true;
  return !VFolderIterator(this, kAllEntries).IsValid() &&
         !VFileIterator(this, kAllEntries).IsValid();
}

VError VFolder::Delete(bool withContents) const {
  if (IsEmpty()) {
    return VFileError::ThrowNative(fPath, fFolder.Delete(), toolbox_error::kFolderCannotDelete);
  }
  if (!withContents) {
    const VError code = ToolboxError(toolbox_error::kFolderNotEmpty);
    _PushRetainedError(NewErrorRecord<VFileError>(this, code), code);
    return code;
  }
  // One fd-relative walk that never follows a link; the error names the
  // item that could not be removed.
  const platform::PathError error = platform::DeleteTree(fFolder.GetPosixPathText(), false);
  if (!error.Failed()) return VE_OK;
  VFilePath failed;
  XMacFile::GetFilePathFromPosixPath(error.fPath.c_str(), false, failed);
  return VFileError::ThrowNative(failed.IsValid() ? failed : fPath, PosixError(error.fCode),
                                 toolbox_error::kFolderCannotDelete);
}

VError VFolder::DeleteContents(bool withFolders) const {
  VError error = VE_OK;
  if (withFolders) {
    for (VFolderIterator folder(this, kAllFolders); folder.IsValid() && error == VE_OK; ++folder) {
      error = folder->DeleteContents(true);
      if (VTaskMgr::IsInited()) VTaskMgr::sInstance->Yield();
      if (error == VE_OK) error = folder->Delete(false);
    }
  }
  for (VFileIterator file(this, kAllFiles); file.IsValid() && error == VE_OK; ++file) {
    error = file->Delete();
  }
  return error;
}

VError VFolder::DeleteForced() const {
  return VFileError::ThrowNative(fPath, fFolder.DeleteForced(), toolbox_error::kFolderCannotDelete);
}

VError VFolder::MoveToTrash() const {
  if (!Exists()) return VE_OK;
  return VFileError::ThrowNative(fPath, fFolder.MoveToTrash(), toolbox_error::kFolderCannotTrash);
}

// ---- Contents

void VFolder::GetContents(std::vector<VRefPtr<VFile>>* files,
                          std::vector<VRefPtr<VFolder>>* folders) const {
  if (!Exists()) return;
  if (files != nullptr) {
    for (VFileIterator file(this, kFSIterateFiles); file.IsValid(); ++file) {
      files->emplace_back(file.Current());
    }
  }
  if (folders != nullptr) {
    for (VFolderIterator folder(this, kFSIterateFolders); folder.IsValid(); ++folder) {
      folders->emplace_back(folder.Current());
    }
  }
}

void VFolder::GetElements(std::vector<VRefPtr<IFile>>* files,
                          std::vector<VRefPtr<IFolder>>* folders) const {
  if (!Exists()) return;
  if (files != nullptr) {
    for (VFileIterator file(this, kFSIterateFiles); file.IsValid(); ++file) {
      files->emplace_back(static_cast<IFile*>(file.Current()));
    }
  }
  if (folders != nullptr) {
    for (VFolderIterator folder(this, kFSIterateFolders); folder.IsValid(); ++folder) {
      folders->emplace_back(static_cast<IFolder*>(folder.Current()));
    }
  }
}

namespace {

// The folders of one descent, by device and inode: a resolved link to one
// of them is reported but not entered again, or the descent would not end.
using FolderIdentities = std::vector<std::pair<dev_t, ino_t>>;

bool IdentityOf(const VFolder& folder, std::pair<dev_t, ino_t>& identity) {
  struct stat info;
  const char* path = folder.GetImpl().GetPosixPathText();
  if (path == nullptr || ::stat(path, &info) != 0) return false;
  identity = {info.st_dev, info.st_ino};
  return true;
}

void IterateFolder(const VFolder& folder, std::function<bool(IFileAttributeAccessor*)>& visitor,
                   unsigned options, FolderIdentities& ancestors) {
  if (!folder.Exists()) return;
  if ((options & kFSIterateFiles) != 0) {
    for (VFileIterator file(&folder, options); file.IsValid(); ++file) {
      IFileAttributeAccessor* accessor = file.GetAccessor();
      accessor->SetDocument(static_cast<IFile*>(file.Current()));
      if (!visitor(accessor)) break;
    }
  }
  if ((options & (kFSIterateRecursive | kFSIterateFolders)) == 0) return;
  const unsigned folderOptions = (options & kFSIterateFiles) != 0 ? kFSIterateFolders : options;
  // Only resolved links can lead back to a folder of the descent.
  const bool watch =
      (options & kFSIterateRecursive) != 0 && (folderOptions & kFSIterateResolveLinks) != 0;
  std::pair<dev_t, ino_t> identity;
  const bool pushed = watch && IdentityOf(folder, identity);
  if (pushed) ancestors.push_back(identity);
  for (VFolderIterator sub(&folder, folderOptions); sub.IsValid(); ++sub) {
    if ((options & kFSIterateFolders) != 0) {
      IFileAttributeAccessor* accessor = sub.GetAccessor();
      accessor->SetDocument(static_cast<IFolder*>(sub.Current()));
      if (!visitor(accessor)) break;
    }
    if ((options & kFSIterateRecursive) == 0) continue;
    if (watch && (!IdentityOf(*sub.Current(), identity) ||
                  std::find(ancestors.begin(), ancestors.end(), identity) != ancestors.end())) {
      continue;
    }
    std::function<bool(IFileAttributeAccessor*)> copy = visitor;
    IterateFolder(*sub.Current(), copy, options, ancestors);
  }
  if (pushed) ancestors.pop_back();
}

}  // namespace

void VFolder::Iterate(std::function<bool(IFileAttributeAccessor*)>&& visitor,
                      unsigned options) const {
  FolderIdentities ancestors;
  IterateFolder(*this, visitor, options, ancestors);
}

// ---- Times, volume, desktop

VError VFolder::GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const {
  return VFileError::ThrowNative(fPath, fFolder.GetTimeAttributes(modified, created, accessed),
                                 toolbox_error::kFolderCannotGetAttributes);
}

VError VFolder::SetTimeAttributes(const VTime* modified, const VTime* created,
                                  const VTime* accessed) const {
  return VFileError::ThrowNative(fPath, fFolder.SetTimeAttributes(modified, created, accessed),
                                 toolbox_error::kFileCannotGetAttributes);
}

VError VFolder::GetVolumeCapacity(int64* total) const {
  return VFileError::ThrowNative(fPath, fFolder.GetVolumeCapacity(total),
                                 toolbox_error::kFolderCannotGetAttributes);
}

VError VFolder::GetVolumeFreeSpace(int64* free, bool available) const {
  return VFileError::ThrowNative(fPath, fFolder.GetVolumeFreeSpace(free, available),
                                 toolbox_error::kFolderCannotGetAttributes);
}

bool VFolder::RevealInFinder(bool inside) const {
  if (inside) {
    VFileIterator file(this, kFSIterateFiles | kFSIterateResolveLinks);
    if (file.IsValid()) {
      if (file->RevealInFinder()) return true;
    } else {
      VFolderIterator folder(this, kFSIterateFolders | kFSIterateResolveLinks);
      if (folder.IsValid() && folder->RevealInFinder(false)) return true;
    }
  }
  return VFileError::ThrowNative(fPath, fFolder.RevealInFinder(),
                                 toolbox_error::kFolderCannotReveal) == VE_OK;
}

// ---- Rename, move, copy

VError VFolder::Rename(const VString& name, VFolder** out) const {
  return VFileError::ThrowNative(fPath, fFolder.Rename(name, out),
                                 toolbox_error::kFolderCannotRename,
                                 [&name](VValueBag& bag) { bag.SetString(kNewNameKey, name); });
}

VError VFolder::Move(const VFolder& destParent, VFolder** out) const {
  return VFileError::ThrowNative(fPath, fFolder.Move(destParent, nullptr, out),
                                 toolbox_error::kFolderCannotRename);
}

VError VFolder::Move(const VFolder& destParent, const VString& name, VFolder** out) const {
  return VFileError::ThrowNative(fPath, fFolder.Move(destParent, &name, out),
                                 toolbox_error::kFolderCannotRename);
}

VError VFolder::CopyTo(const VFolder& destParent, VFolder** out, unsigned options) const {
  VString name;
  GetName(name);
  return CopyTo(destParent, name, out, options);
}

VError VFolder::_RefuseCopyInto(const VFolder& dest) const {
  const VError code = ToolboxError(toolbox_error::kFolderCannotCopy);
  auto* record = NewErrorRecord<VFileError>(this, code);
  if (record != nullptr) record->GetBag()->SetString(kDestinationKey, dest.GetPath().GetPath());
  _PushRetainedError(record);
  return code;
}

VError VFolder::CopyTo(const VFolder& destParent, const VString& name, VFolder** out,
                       unsigned options) const {
  if (out != nullptr) *out = nullptr;
  if (IsSameFolder(&destParent) || destParent.GetPath().IsChildOf(fPath)) {
    return _RefuseCopyInto(destParent);
  }
  // A missing folder is no empty one: nothing may stand in its copy's place.
  if (!Exists()) {
    return VFileError::ThrowNative(fPath, PosixError(ENOENT), toolbox_error::kFolderCannotCopy);
  }
  auto* destination = new VFolder(destParent, name, kFilePathStyleNative);
  VError error = VE_OK;
  const char* source = fFolder.GetPosixPathText();
  const char* target = destination->GetImpl().GetPosixPathText();
  if (IsSameFolder(destination) || fPath.IsChildOf(destination->GetPath()) ||
      FolderIsSameOrInside(source, target)) {
    // Replacing the destination would delete this folder itself.
    error = _RefuseCopyInto(*destination);
  } else if ((options & kFolderCopyReplace) != 0) {
    // The complete copy takes the destination's place; a failed copy
    // leaves the destination as it was and nothing else behind. Only then
    // may the entries be copied one by one: an existing destination is kept
    // and the failure reported rather than deleted for a copy that cannot
    // be made whole.
    const bool existed = destination->Exists();
    error = fFolder.CopyToFolder(destParent, name, true);
    if (error != VE_OK && existed) {
      error = VFileError::ThrowNative(
          fPath, error, toolbox_error::kFolderCannotCopy, [destination](VValueBag& bag) {
            bag.SetString(kDestinationKey, destination->GetPath().GetPath());
          });
    } else if (error != VE_OK) {
      error = CopyContentsTo(*destination, options);
    }
  } else {
    error = CopyContentsTo(*destination, options);
  }
  if (out != nullptr) {
    *out = destination;
  } else {
    destination->Release();
  }
  return error;
}

VError VFolder::CopyContentsTo(const VFolder& dest, unsigned options) const {
  // A destination inside this folder would receive its own copies without end.
  if (IsSameFolder(&dest) || dest.GetPath().IsChildOf(fPath)) return _RefuseCopyInto(dest);
  if (dest.Exists()) {
    if (FolderIsSameOrInside(dest.GetImpl().GetPosixPathText(), fFolder.GetPosixPathText())) {
      return _RefuseCopyInto(dest);
    }
  } else if (VError error = dest.Create(); error != VE_OK) {
    return error;
  }
  const bool goOn = (options & kFolderCopyContinue) != 0;
  const unsigned invisible = (options & kFolderCopySkipInvisible) != 0 ? 0 : kFSIterateInvisible;
  VError first = VE_OK;
  for (VFolderIterator folder(this, kFSIterateFolders | invisible);
       folder.IsValid() && (goOn || first == VE_OK); ++folder) {
    VString name;
    folder->GetName(name);
    const VError error = folder->CopyTo(dest, name, nullptr, options);
    if (first == VE_OK) first = error;
  }
  if (!goOn && first != VE_OK) return first;
  for (VFileIterator file(this, kFSIterateFiles | invisible);
       file.IsValid() && (goOn || first == VE_OK); ++file) {
    const VError error = file->CopyTo(dest.GetPath(), nullptr, options);
    if (first == VE_OK) first = error;
  }
  return first;
}

// ---- Paths and relatives

VFolder* VFolder::RetainParentFolder(bool sandboxed) const {
  VFilePath parent;
  if (!fPath.GetParent(parent)) return nullptr;
  if (fFileSystem != nullptr && fFileSystem->IsAuthorized(parent)) {
    return new VFolder(parent, fFileSystem);
  }
  return sandboxed && fFileSystem != nullptr ? nullptr : new VFolder(parent);
}

VFolder* VFolder::RetainRelativeFolder(const VString& relative, FilePathStyle style,
                                       VFileSystem* fileSystem) const {
  if (fileSystem == nullptr) fileSystem = fFileSystem;
  VFilePath path;
  path.FromRelativePath(fPath, FolderText(relative, style), style, fileSystem != nullptr);
  if (!path.IsFolder() || (fileSystem != nullptr && !fileSystem->IsAuthorized(path))) {
    return nullptr;
  }
  return new VFolder(path, fileSystem);
}

VFile* VFolder::RetainRelativeFile(const VString& relative, FilePathStyle style) const {
  const VFilePath path(fPath, relative, style, fFileSystem != nullptr);
  if (!path.IsFile() || (fFileSystem != nullptr && !fFileSystem->IsAuthorized(path))) {
    return nullptr;
  }
  return new VFile(path, fFileSystem);
}

IFile* VFolder::_RetainRelativeIFile(const VString& relative, FilePathStyle style) const {
  return RetainRelativeFile(relative, style);
}

void VFolder::GetPlatformPath(VString& path, FilePathStyle style) const {
  if (style == kFilePathStyleNative) {
    fPath.GetPath(path);
  } else if (style == kFilePathStylePosix) {
    fFolder.GetPosixPath(path);
  } else {
    path.Clear();
  }
}

VString VFolder::GetPathWithFileSystem() const {
  VString path;
  if (fFileSystem == nullptr || !fFileSystem->GetNamedPath(fPath, path)) {
    GetPlatformPath(path, kFilePathStylePosix);
  }
  return path;
}

VFolder* VFolder::RetainSystemFolder(ESystemFolderKind kind, bool create) {
  VFolder* folder = nullptr;
  XMacFolder::RetainSystemFolder(kind, create, &folder);
  return folder;
}

// ---- Attributes, permissions, owner

VError VFolder::GetFolderAttributes(unsigned& attributes) const {
  return fFolder.GetFolderAttributes(attributes);
}

VError VFolder::SetFolderAttributes(unsigned attributes) const {
  return fFolder.SetFolderAttributes(attributes);
}

VError VFolder::IsHidden(bool& hidden) const { return fFolder.IsHidden(hidden); }

bool VFolder::IsWritableByAll() const { return fFolder.IsWritableByAll(); }

bool VFolder::MAC_IsPackage() const { return fFolder.IsPackage(); }

VError VFolder::MAC_SetPermissions(unsigned short mode) const {
  return VFileError::ThrowNative(fPath, fFolder.SetPermissions(mode),
                                 toolbox_error::kFolderCannotSetPermissions);
}

VError VFolder::MAC_GetPermissions(unsigned short* mode) const {
  return VFileError::ThrowNative(fPath, fFolder.GetPermissions(mode),
                                 toolbox_error::kFolderCannotGetAttributes);
}

VError VFolder::Mac_GetOwner(unsigned& uid, unsigned& gid) const {
  return VFileError::ThrowNative(fPath, fFolder.GetOwner(uid, gid),
                                 toolbox_error::kFolderCannotGetAttributes);
}

// ---- URLs and links

VError VFolder::GetURL(VString& url, bool encoded) const {
  VURL(fPath).GetAbsoluteURL(url, encoded);
  return VE_OK;
}

VError VFolder::GetRelativeURL(const VFolder* base, VString& url, bool encoded) const {
  GetURL(url, encoded);
  if (base != nullptr) {
    VString prefix;
    base->GetURL(prefix, encoded);
    if (!prefix.IsEmpty() && url.BeginsWithRawString(prefix)) url.Remove(1, prefix.GetLength());
  }
  return VE_OK;
}

VError VFolder::ResolveAliasFolder(VFolder** folder, bool deleteInvalid) {
  if (folder == nullptr || *folder == nullptr) return VE_OK;
  const VFolder& given = **folder;
  if (!given.fPath.IsFolder() || given.fFolder.Exists(false)) return VE_OK;
  VString text = given.fPath.GetPath();
  text.Truncate(text.GetLength() - 1);
  VRefPtr<VFile> alias(new VFile(text, kFilePathStyleNative), kAdoptRef);
  if (!alias->IsAliasFile() || !alias->Exists()) return VE_OK;
  VFilePath target;
  const VError error = alias->GetImpl().ResolveAlias(target);
  if (error != VE_OK) {
    if (deleteInvalid) return alias->Delete();
    return VFileError::ThrowNative(alias->GetPath(), error, toolbox_error::kFileCannotResolveAlias);
  }
  if (target.IsFolder()) {
    (*folder)->Release();
    *folder = new VFolder(target);
    return VE_OK;
  }
  if (deleteInvalid) return alias->Delete();
  const VError code = ToolboxError(toolbox_error::kFileAliasIsNotFolder);
  _PushRetainedError(NewErrorRecord<VFileError>(&given, code));
  return code;
}

VFolder* VFolder::CreateAndResolveAlias(const VFolder& parent, const VString& name) {
  VFolder* folder = parent.RetainRelativeFolder(name, kFilePathStyleNative, nullptr);
  if (folder == nullptr) return nullptr;
  if (ResolveAliasFolder(&folder, true) != VE_OK) {
    folder->Release();
    return nullptr;
  }
  return folder;
}

}  // namespace zeft
