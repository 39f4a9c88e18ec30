#include "runtime/VProgressManager.h"

#include "runtime/VProgressIndicator.h"
#include "values/VValueBag.h"

namespace zeft {

VProgressManager* VProgressManager::sProgressManager = nullptr;

namespace {

constinit const StPackedDictionaryKey kProgressInfoElement("ProgressInfo");

// Retains an indicator found in the registry unless its last reference is
// already gone: its deletion is then under way (it waits for the registry
// lock to unregister), and counting it again would hand a later look-up an
// indicator about to be deleted.
VProgressIndicator* RetainIfLive(VProgressIndicator* indicator) {
  if (indicator == nullptr) return nullptr;
  return indicator->RetainIfAlive() ? indicator : nullptr;
}

}  // namespace

bool VProgressManager::Init() {
  if (sProgressManager == nullptr) sProgressManager = new VProgressManager;
  return true;
}

bool VProgressManager::Deinit() {
  delete sProgressManager;
  sProgressManager = nullptr;
  return true;
}

void VProgressManager::RegisterProgress(VProgressIndicator* indicator) {
  if (sProgressManager != nullptr) sProgressManager->_RegisterProgress(indicator);
}

void VProgressManager::UnregisterProgress(VProgressIndicator* indicator) {
  if (sProgressManager != nullptr) sProgressManager->_UnregisterProgress(indicator);
}

VProgressIndicator* VProgressManager::RetainProgress(const VUUID& uuid) {
  return sProgressManager != nullptr ? sProgressManager->_RetainProgress(uuid) : nullptr;
}

VProgressIndicator* VProgressManager::CreateStdProgress(int kind, unsigned int flags) {
  if (sProgressManager == nullptr || !sProgressManager->fStdProgressFactory) return nullptr;
  return sProgressManager->fStdProgressFactory(kind, flags);
}

void VProgressManager::_RegisterProgress(VProgressIndicator* indicator) {
  StLocker<VCriticalSection> lock(&fLock);
  fRegistry.emplace(indicator->GetUUID(), indicator);
}

void VProgressManager::_UnregisterProgress(VProgressIndicator* indicator) {
  StLocker<VCriticalSection> lock(&fLock);
  auto found = fRegistry.find(indicator->GetUUID());
  // An indicator whose UUID was already taken was never registered: the
  // entry belongs to the other one.
  if (found == fRegistry.end() || found->second != indicator) return;
  indicator->DoMetrics();
  fRegistry.erase(found);
}

VProgressIndicator* VProgressManager::_RetainProgress(const VUUID& uuid) {
  StLocker<VCriticalSection> lock(&fLock);
  auto found = fRegistry.find(uuid);
  return found != fRegistry.end() ? RetainIfLive(found->second) : nullptr;
}

VProgressIndicator* VProgressManager::_FindByUserInfo(const VString& userInfo) const {
  for (const auto& [uuid, indicator] : fRegistry) {
    if (indicator->GetUserInfo().EqualToString(userInfo, false)) return indicator;
  }
  return nullptr;
}

VProgressIndicator* VProgressManager::_RetainProgressIndicator(const VString& userInfo) {
  StLocker<VCriticalSection> lock(&fLock);
  return RetainIfLive(_FindByUserInfo(userInfo));
}

VError VProgressManager::GetAllProgressInfo(std::vector<VRefPtr<VRefCountedSessionInfo>>& out) {
  StLocker<VCriticalSection> lock(&fLock);
  for (const auto& [uuid, indicator] : fRegistry) {
    if (indicator->GetSessionCount() == 0) continue;
    indicator->_RequestSnapshot();
    VRefCountedSessionInfo* snapshot = indicator->RetainSessionsInfos();
    if (snapshot != nullptr) out.emplace_back(snapshot, VAdoptRefTag{});
  }
  return VE_OK;
}

VError VProgressManager::_GetProgressInfo(VValueBag& bag, const VString* userInfo) {
  StLocker<VCriticalSection> lock(&fLock);
  if (userInfo != nullptr) {
    VProgressIndicator* indicator = _FindByUserInfo(*userInfo);
    if (indicator != nullptr) _ProgressInfoToBag(bag, indicator);
    return VE_OK;
  }
  for (const auto& [uuid, indicator] : fRegistry) _ProgressInfoToBag(bag, indicator);
  return VE_OK;
}

VError VProgressManager::_ProgressInfoToBag(VValueBag& bag, VProgressIndicator* indicator) {
  auto* element = new VValueBag;
  bag.AddElement(kProgressInfoElement, element);
  element->Release();
  return indicator->SaveInfoToBag(*element);
}

}  // namespace zeft
