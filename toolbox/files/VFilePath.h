// VFilePath is the path value of the toolbox: a file or folder path held in
// the native ':' form ("Root:Users:a:" is a folder, "Root:Users:a:f.txt" a
// file; the first component is the volume name). POSIX text is converted on
// entry and on request. Comparisons of paths are exact (case-sensitive).
#pragma once

#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VFolder;

// The form of a caller's path text.
enum FilePathStyle : int32 {
  kFilePathStyleNative = 0,  // the ':' form
  kFilePathStylePosix = 1,
};

class VFilePath : public VObject {
 public:
  // An empty, invalid path.
  VFilePath() = default;
  VFilePath(const VFilePath& other) = default;
  VFilePath& operator=(const VFilePath& other) = default;
  // A full path; the flag has no effect.
  VFilePath(const VString& fullPath, FilePathStyle style = kFilePathStyleNative,
            bool unused = false);
  // A base and a path relative to it.
  VFilePath(const VFilePath& base, const VString& relativePath,
            FilePathStyle style = kFilePathStyleNative, bool onlyInFolder = false);

  // Setting. Each returns the new validity.
  bool FromFilePath(const VFilePath& other);
  bool FromFullPath(const VString& fullPath, FilePathStyle style = kFilePathStyleNative,
                    bool unused = false);
  // Native style appends the relative text to the base's. POSIX style: a
  // text beginning with '/' is a full path unless `onlyInFolder`; with
  // `onlyInFolder` the base must be a valid folder path.
  bool FromRelativePath(const VFilePath& base, const VString& relativePath,
                        FilePathStyle style = kFilePathStyleNative, bool onlyInFolder = false);
  // The same with the folder's path as the base.
  bool FromRelativePath(const VFolder& base, const VString& relativePath,
                        FilePathStyle style = kFilePathStyleNative, bool onlyInFolder = false);
  void Clear();

  // Queries (false or empty for an invalid path unless said otherwise).
  bool IsValid() const { return fIsValid; }
  bool IsEmpty() const { return fPath.IsEmpty(); }
  bool IsFolder() const;
  bool IsFile() const;
  // The native text, whatever the validity.
  void GetPath(VString& path) const { path = fPath; }
  const VString& GetPath() const { return fPath; }
  // The full POSIX path; empty for an invalid path.
  void GetPosixPath(VString& path) const;
  bool HasParent() const;
  bool GetParent(VFilePath& parent) const;
  VFilePath& ToParent();
  // The path up to and including its last ':' (a folder is its own folder).
  bool GetFolder(VFilePath& folder) const;
  VFilePath& ToFolder();
  // Both valid, `base` a folder path, this path strictly below it.
  bool IsChildOf(const VFilePath& base) const;
  bool IsChildOfRawPath(const VFilePath& base) const;
  bool IsSameOrChildOf(const VFilePath& base) const;
  // Components, the volume and a file name included ("Root:" is 1).
  int32 GetDepth() const;
  // The last component without separators, whatever the validity.
  void GetName(VString& name) const;
  void GetFileName(VString& name, bool withExtension = true) const;
  void GetFolderName(VString& name, bool withExtension = true) const;
  void GetExtension(VString& extension) const;
  bool MatchExtension(const VString& extension, bool diacritical = false) const;
  // The text after `base` when this path lies in that folder (true);
  // otherwise the whole native text (false).
  bool GetRelativePath(const VFilePath& base, VString& relative) const;
  // The same, leaving `relative` untouched on failure.
  bool _GetRelativePath(const VFilePath& base, VString& relative) const;
  // The relative text in POSIX form; on failure the full POSIX path.
  bool GetRelativePosixPath(const VFilePath& base, VString& relative) const;

  // Editing. Each returns the new validity unless said otherwise. Names
  // holding ':' are refused with toolbox error 614 by SetName and
  // SetFileName.
  bool SetName(const VString& name);
  bool SetFileName(const VString& name, bool withExtension = true);
  bool SetFolderName(const VString& name, bool withExtension = true);
  bool SetExtension(const VString& extension);
  bool SetFileExtension(const VString& extension);
  bool SetFolderExtension(const VString& extension);
  // On a valid folder path: appends the name (and ':'). Names unchecked.
  VFilePath& ToSubFolder(const VString& name);
  VFilePath& ToSubFile(const VString& name);
  // White space at both ends and around every ':' goes.
  void RemoveBlanks();

  // Static text operations.
  // Resolves "./" and "dir/../" of a POSIX relative text in place; false
  // for an empty component ("a//b").
  static bool ResolveRelativePosix(VString& path);
  // Resolves the climbs ("a:b::c" is "a:c") of a ':' text in place; false
  // when it begins with ':' before or after.
  static bool _ResolveRelative(VString& path);
  // Resolves from the component starting at `start` (1-based) whose
  // separator stands at `separatorPos`; ':' resolves climbs, '/' and '\'
  // POSIX steps. Clears `valid` on an empty POSIX component. Whether the
  // text changed.
  static bool _ResolveStep(VString& path, int32 start, int32 separatorPos, bool& valid,
                           UniChar separator);
  static bool _CheckInvalidChars(const VString&) { return true; }
  // The parent and folder cuts of a bare text; whether the result is not empty.
  static bool _GetParent(const VString& path, VString& parent);
  static bool _GetFolder(const VString& path, VString& folder);

  using VObject::DebugDump;
  CharSet DebugDump(char* buffer, int& size) const override;

 private:
  // Makes `target` the valid path of this text cut after position `cut`;
  // empty and invalid for an invalid path or a cut of 0.
  bool _CutInto(int32 cut, VFilePath& target) const;
  // Keeps the text up to `cut` and appends the name, "." and the extension
  // when there is one, and ':' for a folder; a cut of 0 empties the path.
  bool _ReplaceName(int32 cut, const VString& name, const VString& extension, bool folder);
  // Steps 2 to 5 of setting a path: validity and resolution of fPath.
  bool _Validate();

  VString fPath;
  bool fIsValid = false;
};

}  // namespace zeft
