// VProgressManager is the process-wide registry of live progress
// indicators, keyed by UUID, through which any task lists running
// progress, finds an indicator by UUID or name, or saves them all in a bag.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VErrorBase.h"
#include "runtime/VRefCountedSessionInfo.h"
#include "values/VUUID.h"

namespace zeft {

class VProgressIndicator;
class VString;
class VValueBag;

class VProgressManager : public VObject {
 public:
  static bool Init();
  static bool Deinit();
  static void RegisterProgress(VProgressIndicator* indicator);
  static void UnregisterProgress(VProgressIndicator* indicator);
  static VProgressIndicator* RetainProgress(const VUUID& uuid);
  // Null: no factory is ever installed in this system.
  static VProgressIndicator* CreateStdProgress(int kind, unsigned int flags);

  static VProgressManager* sProgressManager;

  void _RegisterProgress(VProgressIndicator* indicator);
  void _UnregisterProgress(VProgressIndicator* indicator);
  VProgressIndicator* _RetainProgress(const VUUID& uuid);
  VProgressIndicator* _RetainProgressIndicator(const VString& userInfo);
  VError GetAllProgressInfo(std::vector<VRefPtr<VRefCountedSessionInfo>>& out);
  VError _GetProgressInfo(VValueBag& bag, const VString* userInfo);
  VError _ProgressInfoToBag(VValueBag& bag, VProgressIndicator* indicator);

 private:
  VProgressManager() = default;
  ~VProgressManager() override = default;
  VProgressIndicator* _FindByUserInfo(const VString& userInfo) const;

  VCriticalSection fLock;
  std::map<VUUID, VProgressIndicator*> fRegistry;
  std::function<VProgressIndicator*(int, unsigned int)> fStdProgressFactory;
};

}  // namespace zeft
