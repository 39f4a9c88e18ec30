#include "process/VFileSystemNotifier.h"

#include "files/VFolder.h"
#include "process/VProcessIPC.h"
#include "process/mac/XMacFileSystemNotification.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

// ---- Watches ----

VFileSystemNotifier::VChangeData::VChangeData(const VFilePath& folder, EventKind kinds, VTask* task,
                                              IEventHandler* handler,
                                              XMacFileSystemNotification* owner)
    : fFolderPath(folder), fKinds(kinds), fTask(task), fHandler(handler), fOwner(owner) {
  if (fTask != nullptr) fTask->Retain();
}

VFileSystemNotifier::VChangeData::~VChangeData() {
  if (fTask != nullptr) fTask->Release();
}

VFileSystemNotifier::VChangeMessage::VChangeMessage(VFileSystemNotifier* notifier,
                                                    VChangeData* watch)
    : fNotifier(notifier), fWatch(watch) {
  fWatch->Retain();
}

VFileSystemNotifier::VChangeMessage::~VChangeMessage() { fWatch->Release(); }

void VFileSystemNotifier::VChangeMessage::DoExecute() {
  if (!fWatch->IsStopped()) fNotifier->EventSignaledCallback(fWatch);
}

// ---- Notifier ----

VFileSystemNotifier::VFileSystemNotifier() : fPlatform(new XMacFileSystemNotification(this)) {}

VFileSystemNotifier::~VFileSystemNotifier() {
  {
    StLocker<VCriticalSection> lock(fLock);
    while (!fWatches.empty()) {
      VChangeData* watch = fWatches.back();
      fWatches.pop_back();
      watch->SetStopped();
      fPlatform->StopWatchingForChanges(watch);
      watch->Release();
    }
  }
  delete fPlatform;
}

VFileSystemNotifier* VFileSystemNotifier::Instance() {
  return VProcessIPC::sInstance != nullptr ? VProcessIPC::sInstance->GetFileSystemNotifier()
                                           : nullptr;
}

VFileSystemNotifier::VChangeData* VFileSystemNotifier::_FindWatch(const VFilePath& folder,
                                                                  IEventHandler* handler) const {
  // Paths compare exactly: two folders whose names differ in case are two
  // folders here.
  for (VChangeData* watch : fWatches) {
    if (watch->GetHandler() == handler && watch->GetFolderPath().GetPath() == folder.GetPath())
      return watch;
  }
  return nullptr;
}

VError VFileSystemNotifier::StartWatchingForChanges(const VFolder& folder, EventKind kinds,
                                                    IEventHandler* handler, int32 latencyMs) {
  StLocker<VCriticalSection> lock(fLock);
  const VFilePath path = folder.GetPath();
  if (_FindWatch(path, handler) != nullptr)
    return ToolboxError(toolbox_error::kFolderAlreadyWatched);
  return fPlatform->StartWatchingForChanges(path, kinds, handler, latencyMs);
}

VError VFileSystemNotifier::StopWatchingForChanges(const VFolder& folder, IEventHandler* handler) {
  StLocker<VCriticalSection> lock(fLock);
  VChangeData* watch = _FindWatch(folder.GetPath(), handler);
  if (watch == nullptr) return ToolboxError(toolbox_error::kFolderNotFound);
  for (auto it = fWatches.begin(); it != fWatches.end(); ++it) {
    if (*it == watch) {
      fWatches.erase(it);
      break;
    }
  }
  watch->SetStopped();
  fPlatform->StopWatchingForChanges(watch);
  watch->Release();
  return VE_OK;
}

void VFileSystemNotifier::SignalChange(VChangeData* watch) {
  if (watch->GetTask() == nullptr) return;
  auto* message = new VChangeMessage(this, watch);
  message->PostTo(watch->GetTask(), false, 0);
  message->Release();
}

void VFileSystemNotifier::EventSignaledCallback(VChangeData* watch) {
  StLocker<VCriticalSection> lock(fLock);
  watch->Retain();
  std::vector<std::pair<VFilePath, EventKind>> pending;
  pending.swap(watch->GetPendingChanges());
  EventKind kind = 0;
  std::vector<VFilePath> run;
  for (auto& [path, entryKind] : pending) {
    if (entryKind != kind) {
      if (!run.empty()) watch->GetHandler()->HandleChanges(run, kind);
      run.clear();
      kind = entryKind;
    }
    if (!run.empty() && run.back().GetPath() == path.GetPath()) continue;
    run.push_back(path);
  }
  if (!run.empty()) watch->GetHandler()->HandleChanges(run, kind);
  watch->Release();
}

}  // namespace zeft
