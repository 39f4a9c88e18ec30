#include "files/VFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "core/VMemory.h"
#include "files/VFileDesc.h"
#include "files/VFileError.h"
#include "files/VFileKind.h"
#include "files/VFileKindManager.h"
#include "files/VFileSystem.h"
#include "files/VURL.h"
#include "files/VVolumeInfo.h"
#include "platform/Clock.h"
#include "platform/DirectoryWalk.h"
#include "platform/SystemFolders.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"
#include "values/VUUID.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constinit const StPackedDictionaryKey kAccessKey("access");
constinit const StPackedDictionaryKey kOptionsKey("options");
constinit const StPackedDictionaryKey kDestinationKey("destination");
constinit const StPackedDictionaryKey kNewNameKey("newname");

// The whole-content operations' fixed options.
constexpr unsigned kReadOptions = kFileOptionFollowLink;
constexpr unsigned kWriteOptions = kFileOptionFollowLink | kFileOptionTruncate | kFileOptionCreate;
constexpr unsigned kAppendOptions = kFileOptionFollowLink | kFileOptionCreate;

// The last answer of GetVolumeFreeSpace asked with a maximum age.
class VolumeSpace : public VVolumeInfo {
 public:
  VolumeSpace(uint32 stamp, bool available, int64 free, int64 total)
      : fStamp(stamp), fAvailable(available), fFree(free), fTotal(total) {}
  uint32 fStamp;
  bool fAvailable;
  int64 fFree;
  int64 fTotal;
};

void ReleaseVolumeInfo(VVolumeInfo* info) {
  if (info != nullptr) info->Release();
}

using ParameterSetter = std::function<void(VValueBag&)>;

// The file error of an operation refused before any system call: its own
// code stands for the native one, so a plain record of it goes first.
VError Refuse(const VFile* file, int32 code, const ParameterSetter& parameters) {
  const VError error = ToolboxError(code);
  auto* record = NewErrorRecord<VFileError>(file, error);
  if (record == nullptr) return error;
  if (parameters) parameters(*record->GetBag());
  _PushRetainedError(record, error);
  return error;
}

// A native failure becomes a file error; success and toolbox codes pass.
VError Translate(const VFile* file, VError result, int32 code,
                 const ParameterSetter& parameters = nullptr) {
  return VFileError::ThrowNative(file->GetPath(), result, code, parameters);
}

ParameterSetter Transfer(const VFilePath& destination, unsigned options) {
  return [&destination, options](VValueBag& bag) {
    bag.SetString(kDestinationKey, destination.GetPath());
    bag.SetLong(kOptionsKey, int32(options));
  };
}

bool IsPosix(VError result, int number) { return result == PosixError(number); }

// A full ':' path on a mounted volume: its volume name is followed by ':'.
bool PathTextToPosix(const VString& text, VString& posixPath) {
  if (text.FindUniChar(':') <= 1) return false;
  return XMacFile::HFSFullPathToPosix(text, posixPath);
}

}  // namespace

bool VFile::Init() {
  VErrorBase::SetPathTextConverter(&PathTextToPosix);
  return true;
}

void VFile::DeInit() { VErrorBase::SetPathTextConverter(nullptr); }

VFile::VFile(const VFile& other)
    : VObject(), IFile(), fPath(other.fPath), fFileSystem(other.fFileSystem) {
  if (fFileSystem != nullptr) fFileSystem->Retain();
  fFile.Init(this);
}

VFile::VFile(const VURL& url) {
  url.GetFilePath(fPath);
  fFile.Init(this);
}

VFile::VFile(const VString& fullPath, FilePathStyle style) : fPath(fullPath, style) {
  fFile.Init(this);
}

VFile::VFile(const VFilePath& path, VFileSystem* fileSystem)
    : fPath(path), fFileSystem(fileSystem) {
  if (fFileSystem != nullptr) fFileSystem->Retain();
  fFile.Init(this);
}

VFile::VFile(const VFilePath& folder, const VString& name, FilePathStyle style)
    : fPath(folder, name, style) {
  fFile.Init(this);
}

VFile::VFile(const VFolder& folder, const VString& name, FilePathStyle style)
    : fPath(folder.GetPath(), name, style) {
  // A name that climbs out of the folder's file system leaves it.
  VFileSystem* fileSystem = folder.GetFileSystem();
  if (fileSystem != nullptr && fPath.IsChildOf(fileSystem->GetRoot())) {
    fFileSystem = fileSystem;
    fFileSystem->Retain();
  }
  fFile.Init(this);
}

VFile::VFile(const char* posixPath, const VFilePath& path, VFileSystem* fileSystem)
    : fFile(posixPath), fPath(path), fFileSystem(fileSystem) {
  if (fFileSystem != nullptr) fFileSystem->Retain();
  fFile.Init(this);
}

VFile::~VFile() {
  ReleaseVolumeInfo(fVolumeInfo.exchange(nullptr));
  if (fFileSystem != nullptr) fFileSystem->Release();
}

// ---- Open, create, copy, move, delete

VError VFile::Open(FileAccess access, VFileDesc** out, unsigned options) const {
  *out = nullptr;
  return Translate(this, fFile.Open(access, options, out), toolbox_error::kFileCannotOpen,
                   [access, options](VValueBag& bag) {
                     bag.SetLong(kAccessKey, int32(access));
                     bag.SetLong(kOptionsKey, int32(options));
                   });
}

VError VFile::Create(unsigned options) const {
  return Translate(this, fFile.Create(options), toolbox_error::kFileCannotCreate,
                   [options](VValueBag& bag) { bag.SetLong(kOptionsKey, int32(options)); });
}

// Both paths must be valid: an invalid one fails with the operation's own
// code standing for the native one (two records of it).
VError VFile::_CopyOrMove(bool copy, const VFilePath& destination, VFileSystem* fileSystem,
                          VFile** out, unsigned options) const {
  if (out != nullptr) *out = nullptr;
  const int32 code = copy ? toolbox_error::kFileCannotCopy : toolbox_error::kFileCannotMove;
  if (!fPath.IsValid() || !destination.IsValid()) {
    return Refuse(this, code, Transfer(destination, options));
  }
  const VError result =
      copy ? fFile.Copy(destination, out, options) : fFile.Move(destination, out, options);
  if (out != nullptr && *out != nullptr && fileSystem != nullptr) {
    VFile* bound = new VFile((*out)->GetPath(), fileSystem);
    (*out)->Release();
    *out = bound;
  }
  return Translate(this, result, code, Transfer(destination, options));
}

VFileSystem* VFile::_FileSystemFor(const VFilePath& destination) const {
  return fFileSystem != nullptr && destination.IsSameOrChildOf(fFileSystem->GetRoot()) ? fFileSystem
                                                                                       : nullptr;
}

VError VFile::CopyTo(const VFilePath& destination, VFile** out, unsigned options) const {
  return _CopyOrMove(true, destination, _FileSystemFor(destination), out, options);
}

VError VFile::CopyTo(const VFile& destination, unsigned options) const {
  return CopyTo(destination.GetPath(), nullptr, options);
}

VError VFile::CopyTo(const VFolder& destination, VFile** out, unsigned options) const {
  return _CopyOrMove(true, destination.GetPath(), destination.GetFileSystem(), out, options);
}

VError VFile::CopyFrom(const VFile& source, unsigned options) const {
  return source.CopyTo(fPath, nullptr, options);
}

VError VFile::Rename(const VString& name, VFile** out) const {
  if (out != nullptr) *out = nullptr;
  return Translate(this, fFile.Rename(name, out), toolbox_error::kFileCannotRename,
                   [&name](VValueBag& bag) { bag.SetString(kNewNameKey, name); });
}

VError VFile::Move(const VFilePath& destination, VFile** out, unsigned options) const {
  return _CopyOrMove(false, destination, _FileSystemFor(destination), out, options);
}

VError VFile::Move(const VFile& destination, unsigned options) const {
  return Move(destination.GetPath(), nullptr, options);
}

VError VFile::Move(const VFolder& destination, VFile** out, unsigned options) const {
  return _CopyOrMove(false, destination.GetPath(), destination.GetFileSystem(), out, options);
}

VError VFile::Delete() const {
  constexpr int32 code = toolbox_error::kFileCannotDelete;
  if (!fPath.IsValid()) return Refuse(this, code, nullptr);
  const VError result = fFile.Delete();
  if (IsPosix(result, ENOENT)) return VE_OK;
  return Translate(this, result, code);
}

VError VFile::MoveToTrash() const {
  constexpr int32 code = toolbox_error::kFileCannotDelete;
  if (!fPath.IsValid()) return Refuse(this, code, nullptr);
  const VError result = fFile.MoveToTrash();
  if (IsPosix(result, ENOENT)) return VE_OK;
  return Translate(this, result, code);
}

// ---- Paths

VFolder* VFile::RetainParentFolder(bool sandboxed) const {
  // Null is this function's failure answer, out of memory included.
  try {
    VFilePath folder;
    if (!fPath.GetFolder(folder)) return nullptr;
    if (fFileSystem != nullptr && fFileSystem->IsAuthorized(folder)) {
      return new VFolder(folder, fFileSystem);
    }
    return sandboxed && fFileSystem != nullptr ? nullptr : new VFolder(folder);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void VFile::GetPlatformPath(VString& path, FilePathStyle style) const {
  if (style == kFilePathStylePosix) {
    fFile.GetPosixPath(path);
  } else if (style == kFilePathStyleNative) {
    fPath.GetPath(path);
  } else {
    path.Clear();
  }
}

VString VFile::GetPathWithFileSystem() const {
  VString path;
  if (fFileSystem == nullptr || !fFileSystem->GetNamedPath(fPath, path)) fPath.GetPosixPath(path);
  return path;
}

bool VFile::Exists() const { return fPath.IsFile() && fFile.Exists(); }

bool VFile::IsSameFile(const VFile* other) const {
  return other != nullptr && other->fPath.GetPath().EqualToStringRaw(fPath.GetPath());
}

VError VFile::GetURL(VString& url, bool encoded) const {
  VURL(fPath).GetAbsoluteURL(url, encoded);
  return VE_OK;
}

VError VFile::GetRelativeURL(const VFolder* folder, VString& url, bool encoded) const {
  GetURL(url, encoded);
  if (folder != nullptr) {
    VString prefix;
    folder->GetURL(prefix, encoded);
    if (!prefix.IsEmpty() && url.BeginsWithRawString(prefix)) url.Remove(1, prefix.GetLength());
  }
  return VE_OK;
}

// ---- Sizes, times, attributes, volume

VError VFile::GetSize(int64* size) const {
  return Translate(this, fFile.GetSize(size), toolbox_error::kFileCannotGetAttributes);
}

bool VFile::HasResourceFork() const { return fFile.HasResourceFork(); }

VError VFile::GetResourceForkSize(int64* size) const {
  return Translate(this, fFile.GetResourceForkSize(size), toolbox_error::kFileCannotGetAttributes);
}

VError VFile::GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const {
  return Translate(this, fFile.GetTimeAttributes(modified, created, accessed),
                   toolbox_error::kFileCannotGetAttributes);
}

VError VFile::SetTimeAttributes(const VTime* modified, const VTime* created,
                                const VTime* accessed) const {
  return Translate(this, fFile.SetTimeAttributes(modified, created, accessed),
                   toolbox_error::kFileCannotGetAttributes);
}

VError VFile::GetFileAttributes(unsigned& attributes) const {
  return Translate(this, fFile.GetFileAttributes(attributes),
                   toolbox_error::kFileCannotGetAttributes);
}

VError VFile::SetFileAttributes(unsigned attributes) const {
  return Translate(this, fFile.SetFileAttributes(attributes),
                   toolbox_error::kFileCannotGetAttributes);
}

VError VFile::GetVolumeFreeSpace(int64* free, int64* total, bool available, unsigned maxAgeMs,
                                 const VFileDesc* desc) const {
  int64 freeBytes = 0;
  int64 totalBytes = 0;
  VError result = VE_OK;
  if (maxAgeMs == 0) {
    result = fFile.GetVolumeFreeSpace(&freeBytes, &totalBytes, available, desc);
  } else {
    const uint32 now = uint32(platform::GetCurrentTime());
    auto* cached = static_cast<VolumeSpace*>(fVolumeInfo.exchange(nullptr));
    // The age in both directions, on 32-bit stamps that may wrap.
    const uint32 age = cached == nullptr ? 0 : std::min(now - cached->fStamp, cached->fStamp - now);
    if (cached != nullptr && age <= maxAgeMs && cached->fAvailable == available) {
      freeBytes = cached->fFree;
      totalBytes = cached->fTotal;
      ReleaseVolumeInfo(fVolumeInfo.exchange(cached));
    } else {
      ReleaseVolumeInfo(cached);
      result = fFile.GetVolumeFreeSpace(&freeBytes, &totalBytes, available, desc);
      VVolumeInfo* fresh =
          result == VE_OK ? new VolumeSpace(now, available, freeBytes, totalBytes) : nullptr;
      ReleaseVolumeInfo(fVolumeInfo.exchange(fresh));
    }
  }
  if (result != VE_OK) freeBytes = totalBytes = 0;
  if (free != nullptr) *free = freeBytes;
  if (total != nullptr) *total = totalBytes;
  return Translate(this, result, toolbox_error::kFileCannotGetAttributes);
}

bool VFile::RevealInFinder() const {
  return Translate(this, fFile.RevealInFinder(), toolbox_error::kFileCannotReveal) == VE_OK;
}

VError VFile::Unlock() const { return fFile.Unlock(); }

// ---- Aliases

VError VFile::ResolveAlias(VFilePath& target) const {
  const VError result = fFile.ResolveAlias(target);
  if (result != VE_OK) target.Clear();
  return Translate(this, result, toolbox_error::kFileCannotResolveAlias);
}

// Nothing for a null file or one that is no alias. A link to a file
// replaces `*file` with that file. An unresolved link, or one to a folder,
// is deleted when asked; otherwise its error is raised (611, or 617 for a
// folder).
VError VFile::ResolveAliasFile(VFile** file, bool deleteIfUnresolved) {
  VFile* alias = *file;
  if (alias == nullptr || !alias->IsAliasFile()) return VE_OK;
  VRefPtr<VFile> held(alias);
  VFilePath target;
  const VError result = alias->fFile.ResolveAlias(target);
  if (result != VE_OK) {
    if (deleteIfUnresolved) return alias->Delete();
    return Translate(alias, result, toolbox_error::kFileCannotResolveAlias);
  }
  if (target.IsFile()) {
    alias->Release();
    *file = new VFile(target);
    return VE_OK;
  }
  if (deleteIfUnresolved) return alias->Delete();
  // No native failure lies under this one: no plain record goes first.
  const VError error = ToolboxError(toolbox_error::kFileAliasIsFolder);
  _PushRetainedError(NewErrorRecord<VFileError>(alias, error), VE_OK);
  return error;
}

VError VFile::ResolveAliasFile(VRefPtr<VFile>& file, bool deleteIfUnresolved) {
  VFile* raw = file.Forget();
  const VError result = ResolveAliasFile(&raw, deleteIfUnresolved);
  file.Adopt(raw);
  return result;
}

VFile* VFile::CreateAndResolveAlias(const VFolder& folder, const VString& name,
                                    FilePathStyle style) {
  VFile* file = new VFile(folder, name, style);
  if (ResolveAliasFile(&file, true) != VE_OK) {
    file->Release();
    return nullptr;
  }
  return file;
}

bool VFile::IsAliasFile() const { return fFile.IsAliasFile(); }

VError VFile::CreateAlias(const VFilePath& target, const VFilePath* relativeTo) const {
  return Translate(this, fFile.CreateAlias(target, relativeTo),
                   toolbox_error::kFileCannotCreateAlias);
}

// ---- Type codes, ownership, permissions, links

bool VFile::ConformsTo(const VFileKind& kind) const {
  bool conforms = false;
  return fFile.ConformsTo(kind, &conforms) == VE_OK && conforms;
}

bool VFile::ConformsTo(const VString& kindID) const {
  if (VFileKindManager::sManager == nullptr) return false;
  VRefPtr<VFileKind> kind(VFileKindManager::sManager->RetainFileKind(kindID), kAdoptRef);
  return kind && ConformsTo(*kind);
}

VError VFile::MAC_GetKind(unsigned* kind) const {
  return Translate(this, fFile.GetKind(kind), toolbox_error::kFileCannotGetAttributes);
}

VError VFile::MAC_GetCreator(unsigned* creator) const {
  return Translate(this, fFile.GetCreator(creator), toolbox_error::kFileCannotGetAttributes);
}

VError VFile::MAC_SetKind(unsigned kind) const {
  return Translate(this, fFile.SetKind(kind), toolbox_error::kFileCannotSetAttributes);
}

VError VFile::MAC_SetCreator(unsigned creator) const { return fFile.SetCreator(creator); }

VError VFile::Mac_GetOwner(unsigned& uid, unsigned& gid) const {
  return Translate(this, fFile.GetOwner(uid, gid), toolbox_error::kFileCannotGetAttributes);
}

void VFile::MAC_SetExtensionVisible(bool visible) const { fFile.SetExtensionVisible(visible); }

VError VFile::MAC_MakeWritableByAll() const {
  return Translate(this, fFile.MakeWritableByAll(), toolbox_error::kFileCannotSetAttributes);
}

bool VFile::MAC_IsWritableByAll() const { return fFile.IsWritableByAll(); }

VError VFile::MAC_SetPermissions(unsigned short mode) const {
  return Translate(this, fFile.SetPermissions(mode), toolbox_error::kFileCannotSetAttributes);
}

VError VFile::MAC_GetPermissions(unsigned short* mode) const {
  return Translate(this, fFile.GetPermissions(mode), toolbox_error::kFileCannotGetAttributes);
}

bool VFile::MAC_IsSymbolicLink() const { return fFile.IsSymbolicLink(); }

VError VFile::MAC_CreateSymbolicLink(const VFilePath& target, bool absolute) const {
  const VError result = fFile.CreateSymbolicLink(target, absolute);
  if (result != VE_OK) _ThrowError(result);
  return result;
}

// ---- Whole content

VError VFile::GetContent(VMemoryBuffer<>& content) const {
  VFileDesc* desc = nullptr;
  VError result = Open(kFileAccessRead, &desc, kReadOptions);
  if (result != VE_OK) return result;
  const int64 size = desc->GetSize();
  if (size < 0 || uint64(size) > SIZE_MAX ||
      (content.GetAllocatedSize() != size_t(size) && !content.SetAllocatedSize(size_t(size))) ||
      !content.SetSize(size_t(size))) {
    content.SetAllocatedSize(0);
    result = ToolboxError(toolbox_error::kMemoryFull);
    _ThrowError(result);
  } else if (size > 0) {
    result = desc->GetData(content.GetDataPtr(), size_t(size), 0);
  }
  delete desc;
  return result;
}

VError VFile::GetData(void* buffer, size_t size, size_t* read) const {
  if (read != nullptr) *read = 0;
  VFileDesc* desc = nullptr;
  VError result = Open(kFileAccessRead, &desc, kReadOptions);
  if (result != VE_OK) return result;
  result = desc->GetData(buffer, size, 0, read);
  delete desc;
  return result;
}

namespace {

// The folders above `file`, made when missing; their failure shows when the
// file is opened.
void MakeParentFolders(const XMacFile& file) {
  std::string folder, name;
  const char* path = file.GetPosixPathText();
  if (path != nullptr && platform::SplitItemPath(path, folder, name) == 0) {
    platform::MakeFolderPath(folder, 0755);
  }
}

}  // namespace

VError VFile::SetContent(const void* data, size_t size) const {
  MakeParentFolders(fFile);
  VFileDesc* desc = nullptr;
  VError result = Open(kFileAccessReadWriteExclusive, &desc, kWriteOptions);
  if (result != VE_OK) return result;
  result = desc->SetSize(int64(size));
  if (result == VE_OK && size > 0) result = desc->PutData(data, size, 0);
  delete desc;
  return result;
}

VError VFile::AppendContent(const void* data, size_t size) const {
  MakeParentFolders(fFile);
  VFileDesc* desc = nullptr;
  VError result = Open(kFileAccessReadWriteExclusive, &desc, kAppendOptions);
  if (result != VE_OK) return result;
  if (size > 0) result = desc->PutData(data, size, desc->GetSize());
  delete desc;
  return result;
}

bool VFile::IsWritable() const {
  StErrorContextInstaller silent(false, true);
  VFileDesc* desc = nullptr;
  const bool writable = Open(kFileAccessReadWriteExclusive, &desc, kFileOptionReadAhead) == VE_OK;
  delete desc;
  return writable;
}

VFile* VFile::CreateTemporaryFile() {
  std::string folder;
  if (platform::GetSystemFolder(platform::SystemFolderKind::kTemporary, true, folder).Failed()) {
    return nullptr;
  }
  VFilePath path;
  XMacFile::GetFilePathFromPosixPath(folder.c_str(), true, path);
  VString name("zft_");
  VString digits;
  VUUID(true).GetString(digits);
  name.AppendString(digits);
  path.ToSubFile(name);
  auto* file = new VFile(path);
  if (file->Create(0) != VE_OK) {
    file->Release();
    return nullptr;
  }
  return file;
}

}  // namespace zeft
