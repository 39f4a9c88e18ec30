// XMacFSObjectIterator reads the entries of one folder for the folder and
// file enumerations, applying the enumeration options: the kinds wanted,
// whether invisible entries (names beginning with '.') count, and whether a
// symbolic link stands for its final target. XMacFileIterator and
// XMacFolderIterator hand the entries out as file and folder objects.
//
// Only folders, regular files and links are entries: pipes, sockets and
// devices are never yielded, and a link is resolved without opening what it
// names (so a link to a FIFO never blocks; it is skipped).
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include "core/VErrorCodes.h"
#include "core/VObject.h"

namespace zeft {

class VFile;
class VFilePath;
class VFileSystem;
class VFolder;
class VTime;

// Enumeration options (unsigned bit set).
inline constexpr unsigned kFSIterateRecursive = 1;  // VFolder::Iterate only
inline constexpr unsigned kFSIterateFolders = 2;
inline constexpr unsigned kFSIterateFiles = 4;
inline constexpr unsigned kFSIterateInvisible = 8;  // invisible entries too
inline constexpr unsigned kFSIterateResolveLinks = 16;

class XMacFSObjectIterator : public VObject {
 public:
  XMacFSObjectIterator(const VFolder* folder, unsigned options);
  ~XMacFSObjectIterator() override;
  XMacFSObjectIterator(const XMacFSObjectIterator&) = delete;
  XMacFSObjectIterator& operator=(const XMacFSObjectIterator&) = delete;

  // Moves to the next entry that the options let through: its ':' path in
  // `path` and its POSIX path in `posix` (at most `size` bytes with the
  // NUL). False at the end. `url` is not used.
  bool GetNextPath(VFilePath& path, void** url, char* posix, unsigned long size);
  // The current entry's times (the target's for a resolved link). Without
  // a current entry: a file error 611 on the folder, and toolbox error 600.
  VError GetTime(VTime* modified, VTime* created, VTime* accessed);
  // The folder's file system (lent): entries outside its root are skipped
  // and the items handed out are bound to it.
  VFileSystem* GetFileSystem() const;

 protected:
  // The longest POSIX path handed out, NUL excluded.
  static constexpr size_t kMaxPosixPath = 1024;

 private:
  unsigned fOptions;
  const VFolder* fFolder;
  DIR* fDirectory = nullptr;
  std::string fBasePath;  // the folder's real path followed by '/'
  std::string fName;      // the current entry's name, empty when none
  std::string fCurrent;   // the current entry's POSIX path (a link's target when resolved)
  // The ':' text (UTF-8) that every plain entry's path starts with: the
  // folder's volume and components, ending with ':'. Empty when the
  // folder's volume is unknown and each entry is converted on its own.
  std::string fPrefix;
};

class XMacFileIterator : public XMacFSObjectIterator {
 public:
  using XMacFSObjectIterator::XMacFSObjectIterator;
  // The next file (one reference for the caller), or null.
  VFile* Next();
};

class XMacFolderIterator : public XMacFSObjectIterator {
 public:
  using XMacFSObjectIterator::XMacFSObjectIterator;
  // The next folder (one reference for the caller), or null.
  VFolder* Next();
};

}  // namespace zeft
