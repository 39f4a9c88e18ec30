// The enumeration of one folder's entries: VFileIterator yields its files as
// VFile objects and VFolderIterator its sub-folders as VFolder objects, in
// the directory's own order, filtered by the enumeration options of
// XMacFSObjectIterator.h. The iterator starts on its first item (null when
// there is none) and moves forward only; each item is held by the iterator
// and retained by a caller that keeps it. IFileAttributeAccessor hands the
// current entry and its times to the visitors of VFolder::Iterate.
#pragma once

#include <new>
#include <type_traits>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "files/mac/XMacFSObjectIterator.h"

namespace zeft {

class IFile;
class IFolder;
class VTime;

class IFileAttributeAccessor {
 public:
  virtual VError GetTime(VTime* modified, VTime* created, VTime* accessed) const = 0;
  virtual IFile* GetFile() const = 0;
  virtual IFolder* GetFolder() const = 0;
  virtual ~IFileAttributeAccessor() = default;
  virtual void SetDocument(IFile* file) = 0;
  virtual void SetDocument(IFolder* folder) = 0;
};

// The accessor over one platform enumerator: the document is lent.
template <class P>
class FileAttributeAccessor : public IFileAttributeAccessor {
 public:
  explicit FileAttributeAccessor(P* enumerator) : fEnumerator(enumerator) {}
  VError GetTime(VTime* modified, VTime* created, VTime* accessed) const override {
    return fEnumerator->GetTime(modified, created, accessed);
  }
  IFile* GetFile() const override { return fFile; }
  IFolder* GetFolder() const override { return fFolder; }
  void SetDocument(IFile* file) override {
    fFile = file;
    fFolder = nullptr;
  }
  void SetDocument(IFolder* folder) override {
    fFolder = folder;
    fFile = nullptr;
  }

 private:
  P* fEnumerator;
  IFile* fFile = nullptr;
  IFolder* fFolder = nullptr;
};

template <class T, class P>
class VFSObjectIterator : public VObject {
 public:
  // Lets std::bad_alloc pass, holding nothing then.
  VFSObjectIterator(const VFolder* folder, unsigned options) : fFolder(folder), fOptions(options) {
    if (fFolder != nullptr) fFolder->Retain();
    try {
      _Init();
    } catch (const std::bad_alloc&) {
      if (fFolder != nullptr) fFolder->Release();
      throw;
    }
  }
  ~VFSObjectIterator() override {
    _End();
    if (fFolder != nullptr) fFolder->Release();
  }
  VFSObjectIterator(const VFSObjectIterator&) = delete;
  VFSObjectIterator& operator=(const VFSObjectIterator&) = delete;

  // The current item (lent), null when the enumeration is over.
  T* Current() const { return fCurrent; }
  T* operator->() const { return fCurrent; }
  bool IsValid() const { return fCurrent != nullptr; }
  // The 1-based position of the current item (0 before the first).
  int32 GetIndex() const { return fIndex; }
  // The accessor of the current entry, null when the enumeration is over.
  IFileAttributeAccessor* GetAccessor() const { return fAccessor; }

  // Moves to the next item. On std::bad_alloc the current item stays.
  VFSObjectIterator& operator++() {
    if (fEnumerator != nullptr) {
      _SetCurrent(fEnumerator->Next());
      if (fCurrent == nullptr) {
        _End();
      } else {
        ++fIndex;
      }
    }
    return *this;
  }
  // Starts again from the first item; after std::bad_alloc the iteration
  // is over.
  void Restart() {
    _End();
    _Init();
  }

 private:
  void _Init() {
    fIndex = 0;
    if (fFolder == nullptr) return;
    // A file enumeration never yields folders, a folder enumeration no files.
    const unsigned kinds = kFSIterateFiles | kFSIterateFolders;
    const unsigned own = std::is_same_v<T, VFile> ? kFSIterateFiles : kFSIterateFolders;
    try {
      fEnumerator = new P(fFolder, (fOptions & ~kinds) | (fOptions & own));
      fAccessor = new FileAttributeAccessor<P>(fEnumerator);
      _SetCurrent(fEnumerator->Next());
    } catch (const std::bad_alloc&) {
      // A start that fails half-way ends the iteration.
      _End();
      throw;
    }
    if (fCurrent == nullptr) {
      _End();
    } else {
      fIndex = 1;
    }
  }
  void _SetCurrent(T* item) {
    if (fCurrent != nullptr) fCurrent->Release();
    fCurrent = item;
  }
  void _End() {
    delete fAccessor;
    fAccessor = nullptr;
    delete fEnumerator;
    fEnumerator = nullptr;
    _SetCurrent(nullptr);
  }

  const VFolder* fFolder;
  T* fCurrent = nullptr;
  int32 fIndex = 0;
  unsigned fOptions;
  P* fEnumerator = nullptr;
  FileAttributeAccessor<P>* fAccessor = nullptr;
};

class VFileIterator : public VFSObjectIterator<VFile, XMacFileIterator> {
 public:
  using VFSObjectIterator::VFSObjectIterator;
};

class VFolderIterator : public VFSObjectIterator<VFolder, XMacFolderIterator> {
 public:
  using VFSObjectIterator::VFSObjectIterator;
};

}  // namespace zeft
