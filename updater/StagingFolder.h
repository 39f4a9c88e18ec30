// The hidden folder beside an installed bundle in which an update stages
// the complete copy of the up-to-date bundle, the swap of the two, and the
// recovery of a swap that a run left unfinished.
//
// A run makes the folder (".Name.app.zeft-<12 hex digits>", mode 0700) and
// marks it as its own at once with a swap record naming that very folder
// (stage "copying"); it copies the bundle into it, records which items the
// moves concern (stage "swapping"), then exchanges the copy with the
// installed bundle and sets the old one aside, or where the file system
// cannot exchange, sets it aside and renames the copy into place. Every
// step on the folder goes through the descriptors of the folder and of
// the bundle's folder, so that a name swapped meanwhile cannot redirect
// it.
//
// The recovery, under the bundle's lock, finds each staging folder of the
// bundle and decides from its record and from where the record's items are
// now (X: what the folder holds under the bundle's name; P: the installed
// path; A: the recorded aside name; I: the installed bundle; S: its copy):
//
//   record                    found                    done
//   none, damaged, another's  -                        left in place, logged
//   naming another folder     -                        left in place, logged
//   copying                   -                        folder removed
//   swapping                  X gone (all moves made)  folder removed
//   swapping or putting-back  X is I, P empty          X renamed back to P
//   swapping or putting-back  X is I, P taken          record set to
//                                                      putting-back, X and P
//                                                      exchanged, then X
//                                                      (what stood at P) to
//                                                      the Trash
//   swapping                  X is S, A is I, P empty  A renamed back to P,
//                                                      folder removed
//   swapping                  X is S, A is I, P taken  run stops (error 21),
//                                                      all kept
//   swapping                  X is S, A is not I       folder removed
//   swapping                  X anything else          left in place, logged
//   putting-back              X anything else          X to the Trash, or
//                                                      where it refuses X,
//                                                      X beside P as
//                                                      Name_kept0001.app
//   putting-back              X gone                   record and folder
//                                                      removed
//
// Nothing that stood at the installed path is ever deleted, nor kept under
// a hidden name without a word: where the Trash refuses it, the sentence
// saying where it is kept goes to standard error and to the log. In the
// putting-back stage only the record is removed, and a folder that still
// holds more is left in place. A put-back that fails stops the run in
// place (error 17, or 22 where the up-to-date copy is not known to stand
// at P) with the record kept for the next run.
//
// A folder is removed with its record last: a removal cut at any point
// leaves the folder marked, for the next run to remove.
#pragma once

#include <functional>
#include <string>

#include "SwapRecord.h"
#include "platform/FileDescriptor.h"
#include "platform/PathError.h"

namespace zeft {

class StagingFolder {
 public:
  StagingFolder() = default;
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  // Makes the staging folder of the installed bundle at the POSIX path
  // `installed`, readable by this user only whatever the umask, and marks
  // it as this run's (stage copying) on disk before anything goes into it.
  // 0 or an errno value; on failure nothing is left that this run made,
  // but possibly the bare folder, when it could not be checked.
  int Make(const std::string& installed);

  // POSIX paths, for what the update says.
  const std::string& Path() const { return fPath; }
  std::string StagedPath() const;
  std::string InstalledPath() const;

  // The copy (the folder's item of the bundle's name) is whole: writes it
  // and the folder to disk, then records the identities of the installed
  // bundle and of the copy and the aside name `aside` (of the bundle's
  // folder) the installed bundle is to take (stage swapping). 0 or an
  // errno value.
  int BeginSwap(const std::string& aside);

  // Where one attempt at the swap left the bundles.
  struct SwapAttempt {
    int fError = 0;       // 0, or the errno of the move that failed
    bool fUndone = true;  // false when that move could not be undone either
    std::string fOldAt;   // then, where the outdated bundle is
    std::string fNewAt;   // and where the up-to-date one is
  };
  // Gives the next aside name to try, a name of the bundle's folder, when
  // the one tried is taken; false when there is none.
  using NextAside = std::function<bool(std::string&)>;

  // One attempt at putting the copy in the installed bundle's place and the
  // installed bundle under the aside name `aside` of the bundle's folder,
  // or the next free one that `nextAside` gives (`aside` then names it).
  // Each aside name is recorded before a move takes it. When a move fails,
  // everything is put back where it was, unless putting back fails too:
  // then nothing more moves and the attempt says where the bundles are.
  SwapAttempt Swap(std::string& aside, const NextAside& nextAside);

  // After a swap that made all its moves: removes the record and the then
  // empty folder, and writes the bundle's folder to disk.
  void Finish();

  // After a failure that left the installed bundle in place: removes the
  // folder and everything in it, the record last.
  platform::PathError Remove();

  // Undoes what interrupted runs left beside the installed bundle at the
  // POSIX path `installed`, as the table above says; the caller holds the
  // bundle's lock. False, with an error pushed saying where the bundles
  // are, when the run must stop.
  static bool RecoverInterruptedSwaps(const std::string& installed);

 private:
  enum class Item { kNone, kInstalled, kStaged, kOther };

  // What the item `name` of the open folder `dirFd` is to the record.
  Item What(int dirFd, const std::string& name) const;
  // Writes `next` over the record and makes it this folder's. 0 or an
  // errno value, the record unchanged.
  int Commit(const SwapRecord& next);
  // The number a record keeps of the aside name `aside` (0 for none).
  int AsideNumberOf(const std::string& aside) const;
  // Records that the next move takes the aside name `aside`.
  int RecordAside(const std::string& aside);
  // Renames the item `from` of `fromDir` to `aside`, or to the next free
  // aside name when that one is taken. 0 or an errno value.
  int RenameToFreeAside(int fromDir, const std::string& from, std::string& aside,
                        const NextAside& nextAside);
  // Removes the folder itself, emptied, while its name still stands for it.
  int RemoveEmptied();

  // The recovery of the staging folder `stagingName` of the open folder
  // `folder`: false when the run must stop.
  bool Recover(int folder, const std::string& folderPath, const std::string& stagingName,
               const std::string& name);
  bool RecoverSwap();
  // Finds the aside name that holds the installed bundle.
  bool FindAside(std::string& aside) const;
  // Renames the installed bundle, the item `from` of `fromDir` at `fromPath`,
  // back to the installed path; `newAt` says where the up-to-date one is,
  // "" when that is not known.
  bool MoveBack(int fromDir, const std::string& from, const std::string& fromPath,
                const std::string& newAt);
  // Exchanges the installed bundle in the staging folder with what stands
  // at the installed path: the up-to-date copy when `copyInPlace`.
  bool ExchangeBack(bool copyInPlace);
  // Logs and pushes the error of a put-back from `fromPath` that failed
  // with `error`, naming the up-to-date copy only where `newAt` says.
  void PushNotPutBack(const std::string& fromPath, const std::string& newAt, int error) const;
  bool TrashWhatStoodInPlace();
  // What stood at the installed path, which the Trash refused with the
  // errno `trashError`, goes beside the bundle under a visible name.
  bool KeepWhatStoodInPlace(int trashError);
  bool RemoveLeftover();
  void LogLeftInPlace(const std::string& why) const;

  platform::FileDescriptor fFolder;   // the bundle's folder
  platform::FileDescriptor fStaging;  // the staging folder, once made or found
  std::string fFolderPath;
  std::string fName;
  std::string fStagingName;
  std::string fPath;
  SwapRecord fRecord;
};

// Pushes the error saying where a swap that could not be undone left the
// bundles: the outdated one at the POSIX path `oldAt`, the up-to-date one
// at `newAt`.
void PushStoppedHalfway(const std::string& oldAt, const std::string& newAt);

}  // namespace zeft
