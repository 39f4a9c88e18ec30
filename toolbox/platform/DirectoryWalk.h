// Building blocks of the fd-relative tree walks (copy, move, delete):
// listing an open folder, climbing back to a parent that the walk had
// closed, telling whether a folder lies inside another, and splitting an
// item's path into its folder and name. A walk keeps the folders of its
// first levels open and closes deeper ones on the way down, finding them
// again through "..", so its depth is bounded by memory, not by the
// descriptor limit.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/FileDescriptor.h"

namespace zeft::platform {

struct DirectoryEntry {
  std::string fName;
  unsigned char fType;  // the d_type of the entry (DT_UNKNOWN when the file system does not say)
};

// Every entry of the open folder `dirFd` but "." and "..", read from its
// start. 0 or an errno value.
int ReadDirectory(int dirFd, std::vector<DirectoryEntry>& entries);

// Opens ".." of the open folder `dirFd` and checks that it is the folder
// (`device`, `inode`) the walk came from; EBUSY when the folder was moved
// away meanwhile. 0 or an errno value.
int OpenCheckedParent(int dirFd, dev_t device, ino_t inode, FileDescriptor& parent);

// Opens the sub-folder `name` of `dirFd` without following a link, for
// reading. With `unlock`, a folder that refuses the caller its owner
// permissions is given read, write and search by its owner first (when the
// caller owns it). `info` receives its status. 0 or an errno value.
int OpenSubFolder(int dirFd, const char* name, bool unlock, FileDescriptor& folder,
                  struct stat& info);

// Whether the folder open as `folderFd` is the folder (`device`, `inode`) or
// lies anywhere below it (mount points crossed). 0 or an errno value.
int FolderIsWithin(int folderFd, dev_t device, ino_t inode, bool& within);

// Whether the caller owns the item (and is not root) but lacks one of
// owner read, write and search on it: what a forced walk gives itself.
bool LacksOwnerAccess(const struct stat& info);

// fchmod, also for a descriptor opened with O_PATH (through /proc).
int ChangeMode(int fd, mode_t mode);

// What stands for `name` in the hidden names made beside it: the name
// itself, or for a name longer than 200 bytes its first bytes and a hash of
// the whole, so that the hidden names of two items never match each other
// however many bytes their names share.
std::string HiddenNameStem(const std::string& name);

// A hidden name, unique in practice, for an item made beside `name` (a
// copy in progress, an item set aside): "." + HiddenNameStem(name) +
// ".zeft-" + 12 random hex digits.
std::string TemporaryItemName(const std::string& name);

// Exchanges the items `from` of `fromDir` and `to` of `toDir` atomically
// (renameat2 RENAME_EXCHANGE); where the file system cannot, with three
// renames through a name set aside, undone when the second fails. 0 or an
// errno value.
int ExchangeItems(int fromDir, const std::string& from, int toDir, const std::string& to);

// Renames the item `from` of `fromDir` to `to` of `toDir` unless `to`
// exists (renameat2 RENAME_NOREPLACE); where the file system lacks the
// flag, by first making an empty item of the source's kind at `to`, which
// only succeeds where nothing is, and renaming over it. An existing item is
// never replaced. 0 or an errno value (EEXIST when the name is taken).
int RenameUnlessTaken(int fromDir, const std::string& from, int toDir, const std::string& to);

// While `unsupported`, RenameUnlessTaken and ExchangeItems act as on a file
// system without renameat2's flags, so that their fallbacks can be tested.
void SetRenameFlagsUnsupportedForTesting(bool unsupported);

// Splits `path` into its folder ("." for a bare name, "/" at the root) and
// its last name, trailing slashes ignored. EINVAL when there is no name
// ("", "/", a last name of "." or "..").
int SplitItemPath(const std::string& path, std::string& folder, std::string& name);

// Makes the folder `path` with its missing ancestors, each new one with
// `mode`; an existing folder is no error. 0 or an errno value, `failed`
// naming the folder that could not be made.
int MakeFolderPath(const std::string& path, mode_t mode, std::string* failed = nullptr);

// `name` joined to `folder` with one slash between ("/" + name when the
// folder is "" or "/").
std::string JoinPath(const std::string& folder, std::string_view name);

// `path` without trailing slashes; "/" stays.
std::string WithoutTrailingSlashes(std::string path);

// `path` made absolute against the working folder (not resolved).
std::string AbsolutePath(const std::string& path);

}  // namespace zeft::platform
