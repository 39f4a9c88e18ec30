// VFileSystemNotifier lets a task watch a folder tree and be told, on its
// own task, which files and folders inside were created, deleted or
// modified. One per program, owned by the program frame (VProcessIPC, when
// asked for with Init flag 64) and reached through Instance().
//
// The platform side reports changed folders; each reported folder is
// compared with a snapshot of its entries, the differences are queued on
// the watch and a message to the watching task hands them to the watch's
// handler in runs of one kind. Paths of folders end with '/' in POSIX form.
#pragma once

#include <atomic>
#include <utility>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "files/VFilePath.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VMessage.h"

namespace zeft {

class VFolder;
class VTask;
class XMacFileSystemNotification;

class VFileSystemNotifier : public VObject {
 public:
  // Bits of the change kinds a watch wants; each queued change has one.
  using EventKind = uint32;
  static constexpr EventKind kFileModified = 1;
  static constexpr EventKind kFileCreated = 2;
  static constexpr EventKind kFileDeleted = 4;

  class IEventHandler {
   public:
    virtual ~IEventHandler() = default;
    // One run of changes of one kind, on the watching task, with the
    // notifier's lock held (a handler may start or stop watches).
    virtual void HandleChanges(const std::vector<VFilePath>& paths, EventKind kind) = 0;
  };

  // One watch: what is watched, by whom, and the changes not yet handed
  // over. Reference counted, since a posted message may outlive it.
  class VChangeData : public VObject, public IRefCountable {
   public:
    VChangeData(const VFilePath& folder, EventKind kinds, VTask* task, IEventHandler* handler,
                XMacFileSystemNotification* owner);
    ~VChangeData() override;
    VChangeData(const VChangeData&) = delete;
    VChangeData& operator=(const VChangeData&) = delete;

    const VFilePath& GetFolderPath() const { return fFolderPath; }
    EventKind GetKinds() const { return fKinds; }
    VTask* GetTask() const { return fTask; }
    IEventHandler* GetHandler() const { return fHandler; }
    XMacFileSystemNotification* GetOwner() const { return fOwner; }
    // Under the notifier's lock.
    std::vector<std::pair<VFilePath, EventKind>>& GetPendingChanges() { return fPending; }
    // A stopped watch delivers nothing more, even from a message posted
    // before it stopped (the notifier may be gone by then).
    bool IsStopped() const { return fStopped.load(); }
    void SetStopped() { fStopped.store(true); }

   private:
    VFilePath fFolderPath;
    EventKind fKinds;
    VTask* fTask;
    IEventHandler* fHandler;
    std::vector<std::pair<VFilePath, EventKind>> fPending;
    XMacFileSystemNotification* fOwner;
    std::atomic<bool> fStopped{false};
  };

  // Hands a watch's pending changes to its handler on the watching task.
  class VChangeMessage : public VMessage {
   public:
    VChangeMessage(VFileSystemNotifier* notifier, VChangeData* watch);
    ~VChangeMessage() override;

   protected:
    void DoExecute() override;

   private:
    VFileSystemNotifier* fNotifier;
    VChangeData* fWatch;
  };

  VFileSystemNotifier();
  // Stops every watch, last started first.
  ~VFileSystemNotifier() override;
  VFileSystemNotifier(const VFileSystemNotifier&) = delete;
  VFileSystemNotifier& operator=(const VFileSystemNotifier&) = delete;

  // The notifier of the program frame, null without one.
  static VFileSystemNotifier* Instance();

  // Watches the folder's whole tree for the calling task; changes are
  // batched over `latencyMs`. 0, toolbox error 659 when this handler
  // already watches that folder, or the system's POSIX error.
  VError StartWatchingForChanges(const VFolder& folder, EventKind kinds, IEventHandler* handler,
                                 int32 latencyMs);
  // 0, or toolbox error 650 when there is no such watch.
  VError StopWatchingForChanges(const VFolder& folder, IEventHandler* handler);

  // Platform side: posts a delivery message to the watch's task.
  void SignalChange(VChangeData* watch);
  // On the watching task: hands the pending changes to the handler.
  void EventSignaledCallback(VChangeData* watch);

  VCriticalSection& GetLock() { return fLock; }
  // Under the lock.
  std::vector<VChangeData*>& GetWatches() { return fWatches; }

 private:
  VChangeData* _FindWatch(const VFilePath& folder, IEventHandler* handler) const;

  // The lock and the list exist before the platform side's thread starts.
  VCriticalSection fLock;
  std::vector<VChangeData*> fWatches;
  XMacFileSystemNotification* fPlatform;
};

}  // namespace zeft
