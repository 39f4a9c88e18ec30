#include "process/mac/XMacFileSystemNotification.h"

#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "core/StStringConverter.h"
#include "platform/EventFD.h"
#include "process/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

namespace {

// What makes a folder "changed": its entries come and go, or an entry's
// content or times change.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM |
                                   IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF |
                                   IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

bool IsBelow(const std::string& path, const std::string& folder) {
  return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0;
}

}  // namespace

XMacFileSystemNotification::XMacChangeData::XMacChangeData(
    const VFilePath& folder, VFileSystemNotifier::EventKind kinds, VTask* task,
    VFileSystemNotifier::IEventHandler* handler, XMacFileSystemNotification* owner,
    std::string root, int32 latencyMs)
    : VChangeData(folder, kinds, task, handler, owner),
      fRoot(std::move(root)),
      fLatencyMs(latencyMs < 0 ? 0 : latencyMs) {}

XMacFileSystemNotification::XMacChangeData::~XMacChangeData() = default;

XMacFileSystemNotification::XMacFileSystemNotification(VFileSystemNotifier* notifier)
    : fNotifier(notifier) {
  fInotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  fWake = platform::MakeEventFD();
  if (fInotify >= 0 && fWake >= 0) fThread = std::thread([this] { _Run(); });
}

XMacFileSystemNotification::~XMacFileSystemNotification() {
  fStopping.store(true);
  if (fThread.joinable()) {
    platform::SignalEventFD(fWake);
    fThread.join();
  }
  if (fInotify >= 0) ::close(fInotify);
  if (fWake >= 0) ::close(fWake);
}

// ---- Snapshots ----

void XMacFileSystemNotification::CreateDirectorySnapshot(const std::string& folder,
                                                         TreeSnapshot& snapshot, bool recursive) {
  auto entries = std::make_unique<FolderSnapshot>();
  FolderSnapshot& map = *entries;
  snapshot[folder] = std::move(entries);
  dirent** list = nullptr;
  const int count = ::scandir(folder.c_str(), &list, nullptr, alphasort);
  if (count <= 0) {
    std::free(list);
    return;
  }
  std::vector<std::string> subfolders;
  for (int i = 0; i < count; ++i) {
    const std::string name = list[i]->d_name;
    const unsigned char type = list[i]->d_type;
    std::free(list[i]);
    if (name == "." || name == ".." || name == ".DS_Store") continue;
    struct stat status;
    if (::lstat((folder + name).c_str(), &status) != 0) continue;
    FileInfo info;
    info.fSeconds = int64(status.st_mtim.tv_sec);
    info.fNanoseconds = int64(status.st_mtim.tv_nsec);
    info.fIsFolder = type == DT_DIR || (type == DT_UNKNOWN && S_ISDIR(status.st_mode));
    map[name] = info;
    if (recursive && info.fIsFolder) subfolders.push_back(folder + name + "/");
  }
  std::free(list);
  for (const std::string& subfolder : subfolders)
    CreateDirectorySnapshot(subfolder, snapshot, true);
}

// ---- Watching ----

int XMacFileSystemNotification::_AddFolderWatch(XMacChangeData* watch, const std::string& folder) {
  if (fInotify < 0) return EBADF;
  const int descriptor = ::inotify_add_watch(fInotify, folder.c_str(), kFolderEvents);
  if (descriptor < 0) return errno;
  fFolderWatches[descriptor].push_back(FolderWatch{watch, folder});
  return 0;
}

void XMacFileSystemNotification::_RemoveFolderWatch(XMacChangeData* watch,
                                                    const std::string& folder) {
  for (auto it = fFolderWatches.begin(); it != fFolderWatches.end(); ++it) {
    std::vector<FolderWatch>& users = it->second;
    for (auto user = users.begin(); user != users.end(); ++user) {
      if (user->fWatch != watch || user->fFolder != folder) continue;
      users.erase(user);
      if (users.empty()) {
        ::inotify_rm_watch(fInotify, it->first);
        fFolderWatches.erase(it);
      }
      return;
    }
  }
}

int XMacFileSystemNotification::_WatchTree(XMacChangeData* watch, const std::string& folder) {
  // Watched before listed: an entry made in between is both listed and
  // reported, and the comparison then finds nothing new.
  const int error = _AddFolderWatch(watch, folder);
  if (error != 0) return error;
  TreeSnapshot tree;
  CreateDirectorySnapshot(folder, tree, false);
  std::vector<std::string> subfolders;
  for (const auto& [name, info] : *tree[folder])
    if (info.fIsFolder) subfolders.push_back(folder + name + "/");
  watch->fSnapshot[folder] = std::move(tree[folder]);
  for (const std::string& subfolder : subfolders) _WatchTree(watch, subfolder);
  return 0;
}

void XMacFileSystemNotification::_UnwatchTree(XMacChangeData* watch, const std::string& folder) {
  auto it = watch->fSnapshot.lower_bound(folder);
  while (it != watch->fSnapshot.end() && IsBelow(it->first, folder)) {
    _RemoveFolderWatch(watch, it->first);
    it = watch->fSnapshot.erase(it);
  }
}

VError XMacFileSystemNotification::StartWatchingForChanges(
    const VFilePath& folder, VFileSystemNotifier::EventKind kinds,
    VFileSystemNotifier::IEventHandler* handler, int32 latencyMs) {
  VTask* task = VTaskMgr::IsInited() ? VTask::GetCurrent() : nullptr;
  VString posix;
  folder.GetPosixPath(posix);
  // An invalid path has no POSIX form: it names no folder (and must not
  // become "/", the whole file system).
  if (posix.IsEmpty()) return PosixError(ENOENT);
  StStringConverter<char> bytes(posix, kCharSetUTF8);
  std::string root(bytes.GetCPointer(), bytes.GetSize());
  if (root.empty() || root.back() != '/') root.push_back('/');
  auto* watch = new XMacChangeData(folder, kinds, task, handler, this, root, latencyMs);
  const int error = _WatchTree(watch, root);
  if (error != 0) {
    _UnwatchTree(watch, root);
    watch->Release();
    return PosixError(error);
  }
  // The notifier's list takes the creation reference.
  fNotifier->GetWatches().push_back(watch);
  return VE_OK;
}

void XMacFileSystemNotification::StopWatchingForChanges(VFileSystemNotifier::VChangeData* watch) {
  auto* own = static_cast<XMacChangeData*>(watch);
  _UnwatchTree(own, own->fRoot);
  own->fChangedFolders.clear();
}

// ---- Comparing ----

bool XMacFileSystemNotification::AddChangeToList(XMacChangeData* watch, const std::string& folder,
                                                 const std::string& name, bool isFolder,
                                                 VFileSystemNotifier::EventKind kind) {
  if ((watch->GetKinds() & kind) == 0) return false;
  std::string full = folder + name;
  if (isFolder) full.push_back('/');
  VString text;
  text.FromBlock(full.data(), full.size(), kCharSetUTF8);
  watch->GetPendingChanges().emplace_back(VFilePath(text, kFilePathStylePosix), kind);
  return true;
}

bool XMacFileSystemNotification::BuildChangeList(XMacChangeData* watch, const std::string& folder) {
  auto found = watch->fSnapshot.find(folder);
  if (found == watch->fSnapshot.end()) return false;
  TreeSnapshot fresh;
  CreateDirectorySnapshot(folder, fresh, false);
  const FolderSnapshot& before = *found->second;
  const FolderSnapshot& after = *fresh[folder];
  bool queued = false;
  std::vector<std::string> gone;
  std::vector<std::string> appeared;
  for (const auto& [name, info] : before) {
    auto now = after.find(name);
    if (now == after.end()) {
      queued |=
          AddChangeToList(watch, folder, name, info.fIsFolder, VFileSystemNotifier::kFileDeleted);
      if (info.fIsFolder) gone.push_back(folder + name + "/");
      continue;
    }
    if (info.fIsFolder && !now->second.fIsFolder) gone.push_back(folder + name + "/");
    if (!info.fIsFolder && now->second.fIsFolder) appeared.push_back(folder + name + "/");
    if (!info.fIsFolder &&
        (info.fSeconds != now->second.fSeconds || info.fNanoseconds != now->second.fNanoseconds))
      queued |= AddChangeToList(watch, folder, name, now->second.fIsFolder,
                                VFileSystemNotifier::kFileModified);
  }
  for (const auto& [name, info] : after) {
    if (before.count(name) != 0) continue;
    queued |=
        AddChangeToList(watch, folder, name, info.fIsFolder, VFileSystemNotifier::kFileCreated);
    if (info.fIsFolder) appeared.push_back(folder + name + "/");
  }
  // Only this folder takes the listing the comparison read; the folders
  // below that went or came are dropped or added.
  found->second = std::move(fresh[folder]);
  // What a folder that went held went with it, whether or not its own
  // folder was reported.
  for (const std::string& subfolder : gone) {
    for (auto it = watch->fSnapshot.lower_bound(subfolder);
         it != watch->fSnapshot.end() && IsBelow(it->first, subfolder); ++it) {
      for (const auto& [name, info] : *it->second)
        queued |= AddChangeToList(watch, it->first, name, info.fIsFolder,
                                  VFileSystemNotifier::kFileDeleted);
    }
    _UnwatchTree(watch, subfolder);
  }
  for (const std::string& subfolder : appeared) _WatchTree(watch, subfolder);
  return queued;
}

// ---- The watcher thread ----

void XMacFileSystemNotification::_MarkChanged(XMacChangeData* watch, const std::string& folder,
                                              uint64 now) {
  if (watch->fChangedFolders.empty()) watch->fDueTime = now + uint64(watch->fLatencyMs);
  watch->fChangedFolders.insert(folder);
}

void XMacFileSystemNotification::_HandleEvents(const char* buffer, ssize_t size, uint64 now) {
  for (ssize_t offset = 0; offset < size;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
    offset += ssize_t(sizeof(inotify_event) + event->len);
    if ((event->mask & IN_Q_OVERFLOW) != 0) {
      // Events were dropped: every watched folder is compared again.
      for (VFileSystemNotifier::VChangeData* data : fNotifier->GetWatches()) {
        auto* watch = static_cast<XMacChangeData*>(data);
        for (const auto& [folder, entries] : watch->fSnapshot) _MarkChanged(watch, folder, now);
      }
      continue;
    }
    auto users = fFolderWatches.find(event->wd);
    if (users == fFolderWatches.end()) continue;
    if ((event->mask & IN_IGNORED) != 0) {
      fFolderWatches.erase(users);
      continue;
    }
    for (const FolderWatch& user : users->second) {
      std::string folder = user.fFolder;
      if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
        // The folder itself went: its parent reports it. For the root, the
        // root is compared when it can still be examined.
        if (folder != user.fWatch->fRoot) continue;
        struct stat status;
        if (::stat(folder.c_str(), &status) != 0) continue;
      }
      _MarkChanged(user.fWatch, folder, now);
    }
  }
}

int XMacFileSystemNotification::_CompareDueWatches(uint64 now) {
  int64 next = -1;
  for (VFileSystemNotifier::VChangeData* data : fNotifier->GetWatches()) {
    auto* watch = static_cast<XMacChangeData*>(data);
    if (watch->fChangedFolders.empty()) continue;
    if (watch->fDueTime > now) {
      const int64 wait = int64(watch->fDueTime - now);
      if (next < 0 || wait < next) next = wait;
      continue;
    }
    std::set<std::string> folders;
    folders.swap(watch->fChangedFolders);
    bool queued = false;
    for (const std::string& folder : folders) queued |= BuildChangeList(watch, folder);
    if (queued) fNotifier->SignalChange(watch);
  }
  return int(next);
}

void XMacFileSystemNotification::_Run() {
  alignas(inotify_event) char buffer[64 * 1024];
  int timeout = -1;
  while (!fStopping.load()) {
    pollfd fds[2] = {{fInotify, POLLIN, 0}, {fWake, POLLIN, 0}};
    if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return;
    if (fStopping.load()) return;
    StLocker<VCriticalSection> lock(fNotifier->GetLock());
    const uint64 now = VSystem::GetCurrentTime();
    for (;;) {
      const ssize_t got = ::read(fInotify, buffer, sizeof buffer);
      if (got <= 0) break;
      _HandleEvents(buffer, got, now);
    }
    timeout = _CompareDueWatches(VSystem::GetCurrentTime());
  }
}

}  // namespace zeft
