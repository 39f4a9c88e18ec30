// XMacFileSystemNotification is the platform side of VFileSystemNotifier
// over inotify. One inotify instance and one watcher thread serve every
// watch: each folder of a watched tree has an inotify watch; an event marks
// its folder changed; once a watch's latency has passed since its first
// change, each changed folder is compared with its snapshot, the
// differences are queued and the watching task is signalled.
//
// After a comparison only the compared folder's snapshot is replaced, by
// the listing the comparison took; folders that appeared are snapshotted
// and watched, folders that went are dropped. A change made while a batch
// is compared is therefore reported by the next batch, never lost.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "process/VFileSystemNotifier.h"

namespace zeft {

class XMacFileSystemNotification {
 public:
  struct FileInfo {
    int64 fSeconds = 0;
    int64 fNanoseconds = 0;
    bool fIsFolder = false;
  };
  // Entries of one folder by name, and folders by POSIX path ending "/";
  // both ordered byte-wise.
  using FolderSnapshot = std::map<std::string, FileInfo>;
  using TreeSnapshot = std::map<std::string, std::unique_ptr<FolderSnapshot>>;

  class XMacChangeData : public VFileSystemNotifier::VChangeData {
   public:
    XMacChangeData(const VFilePath& folder, VFileSystemNotifier::EventKind kinds, VTask* task,
                   VFileSystemNotifier::IEventHandler* handler, XMacFileSystemNotification* owner,
                   std::string root, int32 latencyMs);
    ~XMacChangeData() override;

    // All below under the notifier's lock.
    TreeSnapshot fSnapshot;
    std::string fRoot;
    int32 fLatencyMs;
    // Folders reported since the last comparison, and when it is due.
    std::set<std::string> fChangedFolders;
    uint64 fDueTime = 0;
  };

  explicit XMacFileSystemNotification(VFileSystemNotifier* notifier);
  // Stops the watcher thread.
  ~XMacFileSystemNotification();
  XMacFileSystemNotification(const XMacFileSystemNotification&) = delete;
  XMacFileSystemNotification& operator=(const XMacFileSystemNotification&) = delete;

  // Under the notifier's lock: makes the watch, snapshots and watches the
  // tree, and adds it to the notifier's list. 0 or the POSIX error.
  VError StartWatchingForChanges(const VFilePath& folder, VFileSystemNotifier::EventKind kinds,
                                 VFileSystemNotifier::IEventHandler* handler, int32 latencyMs);
  // Under the notifier's lock: no more events for the watch.
  void StopWatchingForChanges(VFileSystemNotifier::VChangeData* watch);

  // The entries of `folder` (ending "/"), and with `recursive` of every
  // folder below, into `snapshot`. A folder that cannot be listed is empty.
  static void CreateDirectorySnapshot(const std::string& folder, TreeSnapshot& snapshot,
                                      bool recursive);
  // Compares `folder` with its snapshot, queues the differences and
  // brings the snapshot up to date; true when a change was queued.
  bool BuildChangeList(XMacChangeData* watch, const std::string& folder);
  bool AddChangeToList(XMacChangeData* watch, const std::string& folder, const std::string& name,
                       bool isFolder, VFileSystemNotifier::EventKind kind);

 private:
  // Snapshots `folder` and the tree below into the watch and puts an
  // inotify watch on each folder; an error number when the first folder
  // cannot be watched.
  int _WatchTree(XMacChangeData* watch, const std::string& folder);
  void _UnwatchTree(XMacChangeData* watch, const std::string& folder);
  int _AddFolderWatch(XMacChangeData* watch, const std::string& folder);
  void _RemoveFolderWatch(XMacChangeData* watch, const std::string& folder);
  void _Run();
  // Under the lock: the events of one read.
  void _HandleEvents(const char* buffer, ssize_t size, uint64 now);
  void _MarkChanged(XMacChangeData* watch, const std::string& folder, uint64 now);
  // Under the lock: compares the due watches; the time until the next one
  // is due, -1 when none.
  int _CompareDueWatches(uint64 now);

  struct FolderWatch {
    XMacChangeData* fWatch;
    std::string fFolder;
  };

  VFileSystemNotifier* fNotifier;
  int fInotify = -1;
  int fWake = -1;
  std::atomic<bool> fStopping{false};
  // inotify watch descriptors and the watched folders behind each (two
  // watches of one folder share its descriptor); under the lock.
  std::map<int, std::vector<FolderWatch>> fFolderWatches;
  std::thread fThread;
};

}  // namespace zeft
