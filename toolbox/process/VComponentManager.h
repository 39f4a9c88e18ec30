// VComponentManager has two jobs, both through static members:
// - it chooses the user-interface language of a folder or bundle from the
//   ".lproj" folders the bundle really holds (GetLocalizationLanguage);
// - it is the process's registry of components: creators and component
//   libraries by type, shared instances, and the check that the types a
//   component requires exist in the versions it needs. The registry works
//   between Init and DeInit only.
//
// Locks, always taken in this order when nested: instances, checking,
// types, checked.
#pragma once

#include <atomic>
#include <vector>

#include "core/DialectCode.h"
#include "core/VErrorCodes.h"
#include "files/VFilePath.h"
#include "process/CComponent.h"

namespace zeft {

class VCriticalSection;
class VFolder;
class VLibrary;

class VComponentManager {
 public:
  using CType = CComponent::CType;

  // The family that matches every family.
  static constexpr CType kAnyFamily = 0x42424242;
  // Messages to a component library's "Main".
  static constexpr uint32 kLibraryRegistered = 0x72656773;  // 'regs'
  static constexpr uint32 kLibraryLeaving = 0x6c656176;     // 'leav'
  // A dialect code for no language found.
  static constexpr DialectCode kNoLanguage = DialectCode(-2);

  VComponentManager() = delete;

  static bool Init();
  // Releases the shared instances the registry holds; libraries stay loaded.
  static void DeInit();

  // The dialect of the folder's ".lproj" folders (those of Contents/
  // Resources for a bundle) that is `wanted` (0: the user's preferred
  // localization of the main bundle), else English when present, else the
  // last one visited; kNoLanguage for a missing folder or none found.
  static DialectCode GetLocalizationLanguage(VFolder* folder, bool isBundle, DialectCode wanted);

  static VError RegisterComponentCreator(CType type, VComponentCreator creator,
                                         bool allowSameCreator);
  static VError UnRegisterComponentCreator(CType type, VComponentCreator creator);
  static VError UnRegisterComponentType(CType type);
  // Loads the library and registers its types. Errors 1000 and 1002 are
  // pushed; a library that cannot be loaded pushes file error 1008 and
  // gives 100; one lacking an entry point gives 1004.
  static VError RegisterComponentLibrary(const VFilePath& path);
  static VError UnRegisterComponentLibrary(const VFilePath& path);

  // A shared instance of the type in the family (any family for
  // kAnyFamily), made and shared when there is none; one reference for the
  // caller, the registry holding its own.
  static CComponent* RetainComponent(CType type, CType family);
  // A new component, checked unless `skipCheck`; never shared.
  static CComponent* RetainUniqueComponent(CType type, CType family, bool skipCheck);
  // RetainComponent of every registered type in the family.
  static bool RetainComponentsOfFamily(CType family, std::vector<CComponent*>* out);
  // The registry retains a shared instance until it is unregistered.
  static VError RegisterComponentInstance(CComponent* component);
  static VError UnRegisterComponentInstance(CComponent* component);
  static bool IsComponentAvailable(CType type);

  static bool CheckComponentRequirements(CComponent* component, bool keepRequired);
  // Drops a cached failure (`dropFailure`) or a cached success of a type
  // with requirements; true when an entry went. Called with the type
  // table's locks held.
  static bool ResetComponentRequirements(CType type, bool dropFailure);

 private:
  static int32 _FindType(CType type);
  static void _SetRowLibrary(size_t row, VLibrary* library);

  static std::vector<CType> sComponentTypes;
  static std::vector<VComponentCreator> sComponentProcs;
  static std::vector<VLibrary*> sComponentLibraries;
  static std::vector<CComponent*> sComponentInstances;
  static std::vector<CType> sComponentChecked;
  static std::vector<uint8> sComponentIsAvailable;
  static std::vector<uint8> sComponentHasRequirements;
  static std::vector<CType> sComponentChecking;
  static VCriticalSection* sAccessingTypes;
  static VCriticalSection* sAccessingInstances;
  static VCriticalSection* sAccessingChecked;
  static VCriticalSection* sAccessingChecking;
  static std::atomic<bool> sIsInitialized;
};

}  // namespace zeft
