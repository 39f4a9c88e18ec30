// IFileSystemObject, IFile and IFolder are the interfaces through which
// other subsystems hold files and folders: what both share (path, name,
// parent, existence, times), whole-content reads and writes of a file as
// bytes or text, and the contents of a folder. The free functions escape
// the characters that may not appear in file names.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "files/VFilePath.h"

namespace zeft {

class IFileAttributeAccessor;
class VJSONValue;
class IFolder;
class VFileSystem;
class VTime;

class IFileSystemObject : public IRefCountable {
 public:
  virtual VFilePath GetPath() const = 0;
  // The named file system the object is bound to; lent, may be null.
  virtual VFileSystem* GetFileSystem() const = 0;
  virtual void GetPlatformPath(VString& path, FilePathStyle style) const = 0;
  virtual VString GetPathWithFileSystem() const = 0;
  virtual IFolder* RetainParentFolder(bool sandboxed) const = 0;
  virtual bool Exists() const = 0;
  virtual void GetNameWithoutExtension(VString& name) const = 0;
  virtual VError GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const = 0;

  // The last component with its extension, the extension, and a match of
  // the extension (without diacritics).
  void GetName(VString& name) const;
  void GetExtension(VString& extension) const;
  bool MatchExtension(const VString& extension) const;
};

class IFile : public IFileSystemObject {
 public:
  virtual VError GetContent(VMemoryBuffer<>& content) const = 0;
  virtual VError GetData(void* buffer, size_t size, size_t* read) const = 0;
  // Replaces the whole content.
  virtual VError SetContent(const void* data, size_t size) const = 0;
  virtual VError AppendContent(const void* data, size_t size) const = 0;
  virtual VError Delete() const = 0;
  virtual bool IsWritable() const = 0;
  virtual VError GetSize(int64* size) const = 0;

  // The file name without its extension.
  void GetNameWithoutExtension(VString& name) const override;

  // The whole content as text: a byte-order mark overrides `charSet`; line
  // ends converted to `lineEnds` (1 keeps them). The text is cleared on
  // failure.
  VError GetContentAsString(VString& text, CharSet charSet, ECarriageReturnMode lineEnds) const;
  // Writes the text as the whole content; with `withBOM` the set's mark
  // goes first when there are bytes. An unknown set writes nothing
  // (toolbox error 208).
  VError SetContentAsString(const VString& text, CharSet charSet, ECarriageReturnMode lineEnds,
                            bool withBOM) const;
  // SetContentAsString that never leaves the old content half replaced:
  // the text is written into a new file beside this one, flushed to disk
  // and renamed over it, keeping the file's permissions and owner. Written
  // in place when there is nothing to lose yet, when replacing would cut a
  // link or another name off from the new content, or when the file
  // cannot be written (the write then says why).
  VError ReplaceContentAsString(const VString& text, CharSet charSet, ECarriageReturnMode lineEnds,
                                bool withBOM) const;
  // The whole content parsed as JSON (dates without ambiguity); a read
  // failure is returned without parsing.
  VError GetContentAsJSON(VJSONValue& value, CharSet charSet) const;
  // The value's JSON text written as the whole content; a value that cannot
  // be written leaves the file as it was.
  VError SetContentAsJSON(const VJSONValue& value, CharSet charSet, ECarriageReturnMode lineEnds,
                          bool withBOM) const;
};

class IFolder : public IFileSystemObject {
 public:
  virtual IFolder* RetainRelativeFolder(const VString& relativePath, FilePathStyle style,
                                        VFileSystem* fileSystem) const = 0;
  virtual void GetElements(std::vector<VRefPtr<IFile>>* files,
                           std::vector<VRefPtr<IFolder>>* folders) const = 0;
  virtual void Iterate(std::function<bool(IFileAttributeAccessor*)>&& visitor,
                       unsigned options) const = 0;
  virtual IFile* _RetainRelativeIFile(const VString& relativePath, FilePathStyle style) const = 0;

  // The folder name without its extension.
  void GetNameWithoutExtension(VString& name) const override;

  // Both paths' texts are equal (exactly); false for null.
  bool IsSameFolder(const IFolder* other) const;
};

// The control characters and '"', '%', '*', '/', ':', '<', '>', '?', '\'
// and '|' become '%' and two upper-case hexadecimal digits.
VString EncodeReservedFileCharacters(const VString& text);
// Each '%' followed by two more characters becomes the character of their
// hexadecimal value; a '%' near the end stays.
VString DecodeReservedFileCharacters(const VString& text);

}  // namespace zeft
