#include "StagingFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "AsideName.h"
#include "UpdaterLog.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "platform/DirectoryWalk.h"
#include "platform/FolderSwap.h"
#include "platform/Trash.h"
#include "platform/TreeDeleter.h"

namespace zeft {

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The item at `path` as an error names it: a folder, or a file.
VFilePath ItemPathOf(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return FolderPathOf(path);
  VFilePath file;
  file.FromFullPath(ToVString(path), kFilePathStylePosix);
  return file;
}

void LogPutBack(const std::string& from, const std::string& to) {
  const VString fromText = ToVString(from);
  const VString toText = ToVString(to);
  LogInfo("Put the application set aside by an interrupted update back in place: '%S' to '%S'",
          &fromText, &toText);
}

void LogNotPutBack(const std::string& from, const std::string& to, int error) {
  const VString fromText = ToVString(from);
  const VString toText = ToVString(to);
  const VString reason(std::strerror(error));
  LogError(
      "The application set aside by an interrupted update could not be put back in place: '%S' "
      "to '%S' (%S)",
      &fromText, &toText, &reason);
}

}  // namespace

void PushStoppedHalfway(const std::string& oldAt, const std::string& newAt) {
  ThrowErrorWithPaths(UpdaterError(updater_error::kSwapStoppedHalfway), FolderPathOf(oldAt),
                      FolderPathOf(newAt));
}

std::string StagingFolder::StagedPath() const { return platform::JoinPath(fPath, fName); }

std::string StagingFolder::InstalledPath() const { return platform::JoinPath(fFolderPath, fName); }

int StagingFolder::Make(const std::string& installed) {
  if (const int error = platform::SplitItemPath(installed, fFolderPath, fName); error != 0)
    return error;
  fStagingName = platform::TemporaryItemName(fName);
  fPath = platform::JoinPath(fFolderPath, fStagingName);
  fFolder.Reset(::open(fFolderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fFolder.IsOpen()) return errno;
  if (::mkdirat(fFolder.Get(), fStagingName.c_str(), S_IRWXU) != 0) return errno;
  fStaging.Reset(::openat(fFolder.Get(), fStagingName.c_str(), kOpenFolder));
  if (!fStaging.IsOpen()) return errno;
  // The name must still stand for the folder just made: this user's and
  // empty. Anything else is left as it is.
  struct stat info;
  std::vector<platform::DirectoryEntry> entries;
  if (::fstat(fStaging.Get(), &info) != 0) return errno;
  if (info.st_uid != ::geteuid() || platform::ReadDirectory(fStaging.Get(), entries) != 0 ||
      !entries.empty()) {
    fStaging.Reset();
    return EEXIST;
  }
  // Only this user may change it, whatever the umask: the recovery of an
  // interrupted run trusts no other.
  SwapRecord mark;
  mark.fStage = SwapRecord::Stage::kCopying;
  int error = ::fchmod(fStaging.Get(), S_IRWXU) == 0 ? 0 : errno;
  if (error == 0 && !GetItemIdentity(fStaging.Get(), "", mark.fStaging)) error = errno;
  if (error == 0) error = Commit(mark);
  if (error != 0) Remove();
  return error;
}

int StagingFolder::Commit(const SwapRecord& next) {
  if (const int error = next.Write(fStaging.Get()); error != 0) return error;
  fRecord = next;
  return 0;
}

int StagingFolder::AsideNumberOf(const std::string& aside) const {
  return std::max(0, AsideNumber(aside, fName, kOutdatedAsideTag));
}

int StagingFolder::BeginSwap(const std::string& aside) {
  // The copy and the folder holding it on disk before anything moves.
  if (::syncfs(fStaging.Get()) != 0) return errno;
  SwapRecord next = fRecord;
  next.fStage = SwapRecord::Stage::kSwapping;
  next.fAsideNumber = AsideNumberOf(aside);
  if (!GetItemIdentity(fFolder.Get(), fName, next.fInstalled) ||
      !GetItemIdentity(fStaging.Get(), fName, next.fStaged))
    return errno;
  return Commit(next);
}

int StagingFolder::RecordAside(const std::string& aside) {
  SwapRecord next = fRecord;
  next.fAsideNumber = AsideNumberOf(aside);
  return next.fAsideNumber == fRecord.fAsideNumber ? 0 : Commit(next);
}

int StagingFolder::RenameToFreeAside(int fromDir, const std::string& from, std::string& aside,
                                     const NextAside& nextAside) {
  // A taken name is no failure that a wait mends: the next one is tried.
  for (int tries = 0; tries < kMaxAsideNumber; ++tries) {
    if (const int error = RecordAside(aside); error != 0) return error;
    const int error = platform::RenameUnlessTaken(fromDir, from, fFolder.Get(), aside);
    if (error != EEXIST) return error;
    if (!nextAside(aside)) break;
  }
  return EEXIST;
}

StagingFolder::SwapAttempt StagingFolder::Swap(std::string& aside, const NextAside& nextAside) {
  const int folder = fFolder.Get();
  const int staging = fStaging.Get();
  SwapAttempt attempt;
  attempt.fError = platform::ExchangeFolders(staging, fName, folder, fName);
  if (attempt.fError == 0) {
    // The staging folder now holds the old bundle.
    attempt.fError = RenameToFreeAside(staging, fName, aside, nextAside);
    if (attempt.fError != 0 && platform::ExchangeFolders(staging, fName, folder, fName) != 0) {
      attempt.fUndone = false;
      attempt.fOldAt = StagedPath();
      attempt.fNewAt = InstalledPath();
    }
    return attempt;
  }
  if (!platform::IsExchangeRefused(attempt.fError)) return attempt;
  // A file system that cannot exchange names: two renames, between which
  // the installed path is empty and only the record tells the next run
  // where its bundle went.
  if (attempt.fError = RenameToFreeAside(folder, fName, aside, nextAside); attempt.fError != 0)
    return attempt;
  attempt.fError = platform::RenameUnlessTaken(staging, fName, folder, fName);
  if (attempt.fError != 0 && platform::RenameUnlessTaken(folder, aside, folder, fName) != 0) {
    attempt.fUndone = false;
    attempt.fOldAt = platform::JoinPath(fFolderPath, aside);
    attempt.fNewAt = StagedPath();
  }
  return attempt;
}

int StagingFolder::RemoveEmptied() {
  struct stat own;
  struct stat named;
  if (::fstat(fStaging.Get(), &own) != 0) return errno;
  if (::fstatat(fFolder.Get(), fStagingName.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
    return errno;
  // Another item took the name: it is not this folder to remove.
  if (own.st_dev != named.st_dev || own.st_ino != named.st_ino) return ESTALE;
  if (::unlinkat(fFolder.Get(), fStagingName.c_str(), AT_REMOVEDIR) != 0) return errno;
  fStaging.Reset();
  return 0;
}

void StagingFolder::Finish() {
  SwapRecord::Remove(fStaging.Get());
  RemoveEmptied();
  // The swap itself on disk before the old bundle leaves for the Trash.
  ::fsync(fFolder.Get());
}

platform::PathError StagingFolder::Remove() {
  std::vector<platform::DirectoryEntry> entries;
  if (const int error = platform::ReadDirectory(fStaging.Get(), entries); error != 0)
    return platform::PathError(error, fPath);
  for (const platform::DirectoryEntry& entry : entries) {
    // The record marks the folder as this updater's: it goes last, so that
    // a run cut at any point of the removal leaves a folder that the next
    // run still knows as its own and removes.
    if (entry.fName == SwapRecord::kFileName || entry.fName == SwapRecord::kNewFileName) continue;
    platform::PathError error = platform::DeleteTreeAt(fStaging.Get(), entry.fName, true,
                                                       platform::JoinPath(fPath, entry.fName));
    if (error.Failed()) return error;
  }
  int error = SwapRecord::Remove(fStaging.Get());
  if (error == 0) error = RemoveEmptied();
  return error == 0 ? platform::PathError() : platform::PathError(error, fPath);
}

bool StagingFolder::RecoverInterruptedSwaps(const std::string& installed) {
  std::string folderPath;
  std::string name;
  if (platform::SplitItemPath(installed, folderPath, name) != 0) return true;
  platform::FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::vector<platform::DirectoryEntry> entries;
  if (!folder.IsOpen() || platform::ReadDirectory(folder.Get(), entries) != 0) return true;
  for (const platform::DirectoryEntry& entry : entries) {
    struct stat info;
    if (!platform::IsTemporaryItemNameOf(entry.fName, name) ||
        ::fstatat(folder.Get(), entry.fName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(info.st_mode))
      continue;
    StagingFolder staging;
    if (!staging.Recover(folder.Get(), folderPath, entry.fName, name)) return false;
  }
  return true;
}

void StagingFolder::LogLeftInPlace(const std::string& why) const {
  const VString reason = ToVString(why);
  const VString path = ToVString(fPath);
  LogInfo("Left in place a hidden folder that %S: '%S'", &reason, &path);
}

bool StagingFolder::Recover(int folder, const std::string& folderPath,
                            const std::string& stagingName, const std::string& name) {
  fFolder.Reset(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
  fFolderPath = folderPath;
  fName = name;
  fStagingName = stagingName;
  fPath = platform::JoinPath(folderPath, stagingName);
  // O_NOFOLLOW and O_DIRECTORY: nothing but a folder is opened, and
  // nothing put in its place can hold the run. From here on the folder is
  // reached through this descriptor only.
  fStaging.Reset(::openat(folder, stagingName.c_str(), kOpenFolder));
  struct stat info;
  ItemIdentity self;
  if (!fFolder.IsOpen() || !fStaging.IsOpen() || ::fstat(fStaging.Get(), &info) != 0 ||
      !GetItemIdentity(fStaging.Get(), "", self)) {
    LogLeftInPlace("could not be opened");
    return true;
  }
  if (!IsOwnAndPrivate(info)) {
    LogLeftInPlace("another user made, or that others may change");
    return true;
  }
  int readError = 0;
  switch (fRecord.Read(fStaging.Get(), &readError)) {
    case SwapRecord::ReadResult::kRead:
      break;
    case SwapRecord::ReadResult::kNone:
      // Named like a staging folder, but no run marked it: it may be
      // anyone's folder given that name.
      LogLeftInPlace("no update marked as its own");
      return true;
    case SwapRecord::ReadResult::kForeign:
      LogLeftInPlace(
          "holds a record of an interrupted update that another user made, or that others may "
          "change");
      return true;
    case SwapRecord::ReadResult::kDamaged:
      LogLeftInPlace("holds a damaged record of an interrupted update");
      return true;
    case SwapRecord::ReadResult::kUnreadable: {
      const VString text = ToVString(fPath);
      const VString reason(std::strerror(readError));
      LogError("The record of an interrupted update in '%S' cannot be read (%S)", &text, &reason);
      ThrowErrorWithPath(UpdaterError(updater_error::kSwapRecordUnreadable), FolderPathOf(fPath));
      return false;
    }
  }
  if (!fRecord.Marks(self)) {
    LogLeftInPlace("holds a record of an interrupted update that names another folder");
    return true;
  }
  // A record of an earlier version, rewritten, names this folder.
  fRecord.fStaging = self;
  if (fRecord.fStage == SwapRecord::Stage::kCopying) return RemoveLeftover();
  return RecoverSwap();
}

StagingFolder::Item StagingFolder::What(int dirFd, const std::string& name) const {
  ItemIdentity identity;
  if (!GetItemIdentity(dirFd, name, identity)) return Item::kNone;
  if (identity.Matches(fRecord.fInstalled)) return Item::kInstalled;
  if (identity.Matches(fRecord.fStaged)) return Item::kStaged;
  return Item::kOther;
}

bool StagingFolder::RecoverSwap() {
  const Item inStaging = What(fStaging.Get(), fName);
  if (inStaging == Item::kNone) return RemoveLeftover();
  if (inStaging == Item::kInstalled) {
    // Exchanged with the copy, not yet set aside.
    const Item inPlace = What(fFolder.Get(), fName);
    // The installed path is empty: where the up-to-date copy went is not
    // known.
    if (inPlace == Item::kNone) return MoveBack(fStaging.Get(), fName, StagedPath(), "");
    return ExchangeBack(inPlace == Item::kStaged);
  }
  // What an earlier put-back exchanged out of the installed path.
  if (fRecord.fStage == SwapRecord::Stage::kPuttingBack) return TrashWhatStoodInPlace();
  if (inStaging == Item::kOther) {
    LogLeftInPlace("holds items its record of an interrupted update does not name");
    return true;
  }
  // The copy is still staged: the installed bundle was either never moved
  // or set aside by the first of two renames.
  std::string aside;
  if (!FindAside(aside)) return RemoveLeftover();
  const std::string asidePath = platform::JoinPath(fFolderPath, aside);
  if (What(fFolder.Get(), fName) != Item::kNone) {
    // Whatever it is, it is not this run's to move.
    const VString asideText = ToVString(asidePath);
    const VString installedText = ToVString(InstalledPath());
    LogError(
        "The application set aside by an interrupted update cannot be put back in place: "
        "'%S' stands in the way of '%S'",
        &installedText, &asideText);
    ThrowErrorWithPaths(UpdaterError(updater_error::kInstalledPathTaken), FolderPathOf(asidePath),
                        FolderPathOf(StagedPath()), ItemPathOf(InstalledPath()));
    return false;
  }
  return MoveBack(fFolder.Get(), aside, asidePath, StagedPath());
}

bool StagingFolder::FindAside(std::string& aside) const {
  if (fRecord.fAsideNumber > 0) {
    aside = MakeAsideName(fName, kOutdatedAsideTag, fRecord.fAsideNumber);
    return What(fFolder.Get(), aside) == Item::kInstalled;
  }
  // A record of version 1 names no aside name: the bundle's aside names are
  // looked through for the installed bundle.
  std::vector<platform::DirectoryEntry> entries;
  if (platform::ReadDirectory(fFolder.Get(), entries) != 0) return false;
  for (const platform::DirectoryEntry& entry : entries) {
    if (AsideNumber(entry.fName, fName, kOutdatedAsideTag) >= 0 &&
        What(fFolder.Get(), entry.fName) == Item::kInstalled) {
      aside = entry.fName;
      return true;
    }
  }
  return false;
}

bool StagingFolder::MoveBack(int fromDir, const std::string& from, const std::string& fromPath,
                             const std::string& newAt) {
  const int error = platform::RenameUnlessTaken(fromDir, from, fFolder.Get(), fName);
  if (error != 0) {
    PushNotPutBack(fromPath, newAt, error);
    return false;
  }
  LogPutBack(fromPath, InstalledPath());
  return RemoveLeftover();
}

void StagingFolder::PushNotPutBack(const std::string& fromPath, const std::string& newAt,
                                   int error) const {
  LogNotPutBack(fromPath, InstalledPath(), error);
  if (!newAt.empty()) {
    PushStoppedHalfway(fromPath, newAt);
    return;
  }
  // Whatever stands at the installed path, if anything, is not called the
  // up-to-date application.
  ThrowErrorWithPaths(UpdaterError(updater_error::kPutBackFailed), FolderPathOf(fromPath),
                      ItemPathOf(InstalledPath()));
}

bool StagingFolder::ExchangeBack(bool copyInPlace) {
  // From the exchange on, the staging folder holds what stood at the
  // installed path: the record says so first, so that no later run
  // deletes it.
  SwapRecord next = fRecord;
  next.fVersion = SwapRecord::kVersion;
  next.fStage = SwapRecord::Stage::kPuttingBack;
  int error = fRecord.fStage == SwapRecord::Stage::kPuttingBack ? 0 : Commit(next);
  if (error == 0) error = platform::ExchangeFolders(fStaging.Get(), fName, fFolder.Get(), fName);
  if (error != 0) {
    PushNotPutBack(StagedPath(), copyInPlace ? InstalledPath() : "", error);
    return false;
  }
  LogPutBack(StagedPath(), InstalledPath());
  return TrashWhatStoodInPlace();
}

bool StagingFolder::TrashWhatStoodInPlace() {
  if (What(fStaging.Get(), fName) != Item::kNone) {
    std::string trashed;
    const platform::PathError error =
        platform::TrashItemAt(fStaging.Get(), fName, InstalledPath(), &trashed);
    if (error.Failed()) return KeepWhatStoodInPlace(error.fCode);
    const VString trashedText = ToVString(trashed);
    LogInfo("Moved what stood in the application's place to the Trash: '%S'", &trashedText);
  }
  return RemoveLeftover();
}

bool StagingFolder::KeepWhatStoodInPlace(int trashError) {
  // Kept, never deleted, and not under a hidden name that nobody knows of:
  // beside the bundle, under the first free name of its own, and the user
  // is told where, log folder or not. The update goes on.
  std::string kept;
  int error = EEXIST;
  for (int number = 1; number <= kMaxAsideNumber && error == EEXIST; ++number) {
    kept = MakeAsideName(fName, kKeptAsideTag, number);
    error = platform::RenameUnlessTaken(fStaging.Get(), fName, fFolder.Get(), kept);
  }
  // Its new name on disk before the record that marks the folder goes.
  if (error == 0) ::fsync(fFolder.Get());
  // Where even that fails, it stays here with the record, and every run
  // says so again until one moves it.
  const VString installedText = ToVString(InstalledPath());
  const VString reason(std::strerror(trashError));
  const VString keptText =
      ToVString(error == 0 ? platform::JoinPath(fFolderPath, kept) : StagedPath());
  LogAndTell(
      "What stood where the application '%S' belongs could not be moved to the Trash (%S); it is "
      "kept at '%S'.",
      &installedText, &reason, &keptText);
  return error == 0 ? RemoveLeftover() : true;
}

bool StagingFolder::RemoveLeftover() {
  platform::PathError result;
  if (fRecord.fStage == SwapRecord::Stage::kPuttingBack) {
    // Only the record is this run's to remove; the folder goes when that
    // leaves it empty.
    int error = SwapRecord::Remove(fStaging.Get());
    if (error == 0) error = RemoveEmptied();
    if (error != 0) result = platform::PathError(error, fPath);
  } else {
    result = Remove();
  }
  const VString text = ToVString(fPath);
  if (!result.Failed()) {
    LogInfo("Removed the hidden folder that an interrupted update left: '%S'", &text);
  } else {
    const VString item = ToVString(result.fPath);
    const VString reason(std::strerror(result.fCode));
    LogError(
        "The hidden folder that an interrupted update left could not be removed: '%S' ('%S': %S)",
        &text, &item, &reason);
  }
  return true;
}

}  // namespace zeft
