#include "files/VFileSystemNamespace.h"

#include "files/IFileSystemObject.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constexpr uint32 kDefinitionParseOptions =
    VJSONImporter::kUndefinedOnFailure | VJSONImporter::kStrict;

bool EndsWith(const VString& text, UniChar c) {
  return !text.IsEmpty() && text.GetUniChar(text.GetLength()) == c;
}

// A full POSIX path as a file (folder) object without file system; null
// when the text names no file (folder) path.
IFile* PosixFile(const VString& text) {
  const VFilePath path(text, kFilePathStylePosix);
  return path.IsFile() ? new VFile(path) : nullptr;
}

IFolder* PosixFolder(const VString& text) {
  const VFilePath path(text, kFilePathStylePosix);
  return path.IsFolder() ? new VFolder(path) : nullptr;
}

}  // namespace

bool VFileSystemNameLess::operator()(const VString& a, const VString& b) const {
  const int32 count = std::min(a.GetLength(), b.GetLength());
  for (int32 i = 0; i < count; ++i) {
    const UniChar x = a.GetCPointer()[i];
    const UniChar y = b.GetCPointer()[i];
    if (x != y) return x < y;
  }
  return a.GetLength() < b.GetLength();
}

VFileSystemNamespace::VFileSystemNamespace(VFileSystemNamespace* parent) : fParent(parent) {
  if (fParent != nullptr) fParent->Retain();
}

VFileSystemNamespace::~VFileSystemNamespace() {
  fMap.clear();
  if (fParent != nullptr) fParent->Release();
}

// ---------------------------------------------------------------------------
// Registration and look-up

void VFileSystemNamespace::RegisterFileSystem(VFileSystem* fileSystem) {
  if (fileSystem == nullptr) return;
  StLocker<VCriticalSection> lock(fMutex);
  fMap[fileSystem->GetName()] = VRefPtr<VFileSystem>(fileSystem);
}

VError VFileSystemNamespace::RegisterFileSystem(const VString& name, IFolder* root,
                                                unsigned int flags) {
  VError error = VE_OK;
  VRefPtr<VFileSystem> fileSystem(VFileSystem::Create(name, root, flags, 0, 0, &error), kAdoptRef);
  RegisterFileSystem(fileSystem.Get());
  return error;
}

void VFileSystemNamespace::UnregisterFileSystem(const VString& name) {
  VRefPtr<VFileSystem> removed;  // released once the lock is gone
  StLocker<VCriticalSection> lock(fMutex);
  auto it = fMap.find(name);
  if (it == fMap.end()) return;
  removed = std::move(it->second);
  fMap.erase(it);
}

VFileSystem* VFileSystemNamespace::RetainFileSystem(const VString& name, unsigned int options) {
  VRefPtr<VFileSystem> found;
  for (VFileSystemNamespace* space = this; space != nullptr && found.Get() == nullptr;
       space = (options & kFileSystemLookupParents) != 0 ? space->fParent : nullptr) {
    StLocker<VCriticalSection> lock(space->fMutex);
    auto it = space->fMap.find(name);
    if (it != space->fMap.end()) found = it->second;
  }
  if (found.Get() != nullptr && (options & kFileSystemLookupSkipHidden) != 0 &&
      (found->GetFlags() & kFileSystemHidden) != 0) {
    return nullptr;
  }
  return found.Forget();
}

IFolder* VFileSystemNamespace::RetainFileSystemRootFolder(const VString& name,
                                                          unsigned int options) {
  VRefPtr<VFileSystem> fileSystem(RetainFileSystem(name, options), kAdoptRef);
  return fileSystem.Get() != nullptr ? fileSystem->RetainRootFolder() : nullptr;
}

VError VFileSystemNamespace::RetainMapOfFileSystems(VFileSystemMap& map, unsigned int options) {
  if ((options & kFileSystemLookupParents) != 0 && fParent != nullptr) {
    fParent->RetainMapOfFileSystems(map, options);
  }
  StLocker<VCriticalSection> lock(fMutex);
  for (const auto& [name, fileSystem] : fMap) {
    if ((options & kFileSystemLookupSkipHidden) != 0 &&
        (fileSystem->GetFlags() & kFileSystemHidden) != 0) {
      continue;
    }
    map[name] = fileSystem;
  }
  return VE_OK;
}

// ---------------------------------------------------------------------------
// Paths

bool VFileSystemNamespace::ParsePathWithFileSystem(const VString& path,
                                                   VRefPtr<VFileSystem>& fileSystem,
                                                   VString& relativePath, unsigned int options) {
  if (path.IsNull() || path.IsEmpty() || path.GetUniChar(1) != u'/') return false;
  const int32 second = path.FindUniChar(u'/', 2);  // 1-based
  if (second < 3) return false;
  VString name(path);
  name.SubString(2, second - 2);
  VString rest(path);
  rest.SubString(second + 1, path.GetLength() - second);

  VRefPtr<VFileSystem> found(RetainFileSystem(name, options), kAdoptRef);
  if (found.Get() == nullptr) return false;
  const VFilePath root = found->GetRoot();
  const VFilePath full(root, rest, kFilePathStylePosix, false);
  VString relative;
  if (!full.IsValid() || !full.GetRelativePosixPath(root, relative)) return false;
  fileSystem = std::move(found);
  relativePath = relative;
  return true;
}

IFile* VFileSystemNamespace::RetainFile(const VString& path, IFolder* base, unsigned int options,
                                        bool allowPosix) {
  if (path.IsNull() || path.IsEmpty()) return nullptr;
  if (path.GetUniChar(1) == u'/') {
    VRefPtr<VFileSystem> fileSystem;
    VString relative;
    if (ParsePathWithFileSystem(path, fileSystem, relative, options) && !relative.IsEmpty() &&
        !EndsWith(relative, u'/')) {
      VRefPtr<IFolder> root(fileSystem->RetainRootFolder(), kAdoptRef);
      return root.Get() != nullptr ? root->_RetainRelativeIFile(relative, kFilePathStylePosix)
                                   : nullptr;
    }
    return base == nullptr && allowPosix ? PosixFile(path) : nullptr;
  }
  if (base != nullptr) return base->_RetainRelativeIFile(path, kFilePathStylePosix);
  return allowPosix ? PosixFile(path) : nullptr;
}

IFolder* VFileSystemNamespace::RetainFolder(const VString& path, IFolder* base,
                                            unsigned int options, bool allowPosix) {
  if (path.IsNull() || path.IsEmpty()) return nullptr;
  if (path.GetUniChar(1) == u'/') {
    VString text(path);
    if (!EndsWith(text, u'/')) text.AppendUniChar(u'/');
    VRefPtr<VFileSystem> fileSystem;
    VString relative;
    if (ParsePathWithFileSystem(text, fileSystem, relative, options) &&
        (relative.IsEmpty() || EndsWith(relative, u'/'))) {
      VRefPtr<IFolder> root(fileSystem->RetainRootFolder(), kAdoptRef);
      if (root.Get() == nullptr || relative.IsEmpty()) return root.Forget();
      return root->RetainRelativeFolder(relative, kFilePathStylePosix, nullptr);
    }
    return base == nullptr && allowPosix ? PosixFolder(path) : nullptr;
  }
  if (base != nullptr) return base->RetainRelativeFolder(path, kFilePathStylePosix, nullptr);
  return allowPosix ? PosixFolder(path) : nullptr;
}

IFile* VFileSystemNamespace::RetainFile(VFileSystemNamespace* space, const VString& path,
                                        IFolder* base, unsigned int options, bool allowPosix) {
  if (space != nullptr) return space->RetainFile(path, base, options, allowPosix);
  if (path.IsNull() || path.IsEmpty()) return nullptr;
  if (base != nullptr) return base->_RetainRelativeIFile(path, kFilePathStylePosix);
  return PosixFile(path);
}

IFolder* VFileSystemNamespace::RetainFolder(VFileSystemNamespace* space, const VString& path,
                                            IFolder* base, unsigned int options, bool allowPosix) {
  if (space != nullptr) return space->RetainFolder(path, base, options, allowPosix);
  if (path.IsNull() || path.IsEmpty()) return nullptr;
  if (base != nullptr) return base->RetainRelativeFolder(path, kFilePathStylePosix, nullptr);
  return PosixFolder(path);
}

// ---------------------------------------------------------------------------
// Definition files

VError VFileSystemNamespace::LoadFromDefinitionFile(VFile* file) {
  if (file == nullptr) {
    const VError error = ToolboxError(toolbox_error::kGeneric);
    _ThrowError(error);
    return error;
  }
  VJSONValue value;
  if (VJSONImporter::ParseFile(file, value, kDefinitionParseOptions) != VE_OK) {
    const VError error = ToolboxError(toolbox_error::kFileSystemInvalidDefinition);
    auto* record = NewErrorRecord<VErrorBase>(error);
    if (record != nullptr)
      record->GetBag()->SetString(StPackedDictionaryKey("path"), file->GetPath().GetPath());
    _PushRetainedError(record);
    return error;
  }
  return value.IsArray() ? LoadFromJSONArray(value.GetArray()) : VE_OK;
}

// Each object of the array names a file system: "name", the POSIX "path" of
// its root (absolute, or relative to the root of the file system named by
// "parent", looked up here and in the parents) and "writable", which lets
// its space be counted (flag 1). An element whose root cannot be found is
// skipped; the first registration error (a bad name) is returned once the
// whole array is read.
VError VFileSystemNamespace::LoadFromJSONArray(const VJSONArray* array) {
  if (array == nullptr) return VE_OK;
  StLocker<VCriticalSection> lock(fMutex);
  VError first = VE_OK;
  const VString kName("name"), kPath("path"), kParent("parent"), kWritable("writable");
  for (size_t i = 0; i < array->GetCount(); ++i) {
    const VJSONValue element = array->GetAt(i);
    const VJSONObject* object = element.GetObject();
    if (object == nullptr) continue;
    VString name, path, parent;
    bool writable = false;
    object->GetPropertyAsString(kName, name);
    object->GetPropertyAsString(kPath, path);
    object->GetPropertyAsString(kParent, parent);
    object->GetPropertyAsBool(kWritable, &writable);
    if (!path.IsEmpty() && !EndsWith(path, u'/') && !EndsWith(path, u'\\')) {
      path.AppendUniChar(u'/');
    }

    VRefPtr<IFolder> root;
    if (!parent.IsEmpty()) {
      VRefPtr<IFolder> parentRoot(RetainFileSystemRootFolder(parent, kFileSystemLookupParents),
                                  kAdoptRef);
      if (parentRoot.Get() == nullptr) continue;
      root = VRefPtr<IFolder>(parentRoot->RetainRelativeFolder(path, kFilePathStylePosix, nullptr),
                              kAdoptRef);
    } else {
      const VFilePath rootPath(path, kFilePathStylePosix);
      if (rootPath.IsFolder()) root = VRefPtr<IFolder>(new VFolder(rootPath), kAdoptRef);
    }
    if (root.Get() == nullptr) continue;
    const VError error =
        RegisterFileSystem(name, root.Get(), writable ? kFileSystemSpaceAccounting : 0);
    if (first == VE_OK) first = error;
  }
  return first;
}

}  // namespace zeft
