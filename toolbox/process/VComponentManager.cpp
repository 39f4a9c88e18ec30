#include "process/VComponentManager.h"

#include <algorithm>

#include "core/VIntlMgr.h"
#include "core/VMemory.h"
#include "files/VFSObjectIterator.h"
#include "files/VFileError.h"
#include "files/VFolder.h"
#include "platform/BundleLocalizations.h"
#include "platform/Locale.h"
#include "platform/MainBundle.h"
#include "process/VLibrary.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

std::vector<VComponentManager::CType> VComponentManager::sComponentTypes;
std::vector<VComponentCreator> VComponentManager::sComponentProcs;
std::vector<VLibrary*> VComponentManager::sComponentLibraries;
std::vector<CComponent*> VComponentManager::sComponentInstances;
std::vector<VComponentManager::CType> VComponentManager::sComponentChecked;
std::vector<uint8> VComponentManager::sComponentIsAvailable;
std::vector<uint8> VComponentManager::sComponentHasRequirements;
std::vector<VComponentManager::CType> VComponentManager::sComponentChecking;
VCriticalSection* VComponentManager::sAccessingTypes = nullptr;
VCriticalSection* VComponentManager::sAccessingInstances = nullptr;
VCriticalSection* VComponentManager::sAccessingChecked = nullptr;
VCriticalSection* VComponentManager::sAccessingChecking = nullptr;
std::atomic<bool> VComponentManager::sIsInitialized{false};

namespace {

using CType = CComponent::CType;
using MainProc = void (*)(uint32 message, VLibrary* library);
using GetNthComponentTypeProc = int32 (*)(int32 index, CType* type);

constexpr DialectCode kEnglish = 1033;

// Words of a requirements block.
constexpr uint32 kMinimumFormat = 0x00010000;
constexpr uint32 kMinimumBlockSize = 52;
constexpr size_t kFormatWord = 0;
constexpr size_t kSizeWord = 1;
constexpr size_t kVersionWord = 5;
constexpr size_t kCountWord = 10;
constexpr size_t kFirstPairWord = 11;
constexpr uint32 kAnyVersion = 0xFFFFFFFF;

VError NotInitialized() { return ToolboxError(toolbox_error::kComponentsNotInitialized); }

template <class T>
bool Contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

template <class T>
void RemoveFirst(std::vector<T>& list, const T& value) {
  auto it = std::find(list.begin(), list.end(), value);
  if (it != list.end()) list.erase(it);
}

bool DialectOfTag(const VString& tag, DialectCode& code) {
  return VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(tag, code, true, true);
}

// The dialect of the user's preferred localization of the main bundle;
// 1033 when there is none.
DialectCode PreferredDialectOfMainBundle() {
  const std::vector<std::string> preferred = platform::PreferredLocalizationsFromArray(
      platform::GetBundleLocalizations(platform::GetMainBundlePath()),
      platform::GetPreferredLanguages());
  if (preferred.empty()) return kEnglish;
  VString name;
  name.FromBlock(preferred.front().data(), preferred.front().size(), kCharSetUTF8);
  DialectCode code = 0;
  if (VIntlMgr::GetDialectCodeWithISOLanguageName(name, code)) return code;
  if (DialectOfTag(name, code)) return code;
  return kEnglish;
}

}  // namespace

bool VComponentManager::Init() {
  if (sIsInitialized.load()) return true;
  sAccessingTypes = new VCriticalSection;
  sAccessingInstances = new VCriticalSection;
  sAccessingChecked = new VCriticalSection;
  sAccessingChecking = new VCriticalSection;
  sIsInitialized.store(true);
  return true;
}

void VComponentManager::DeInit() {
  if (!sIsInitialized.exchange(false)) return;
  // The shared instances are the registry's references.
  for (CComponent* component : sComponentInstances) component->Release(nullptr);
  sComponentInstances.clear();
  sComponentTypes.clear();
  sComponentProcs.clear();
  sComponentLibraries.clear();
  sComponentChecked.clear();
  sComponentIsAvailable.clear();
  sComponentHasRequirements.clear();
  sComponentChecking.clear();
  for (VCriticalSection** lock :
       {&sAccessingTypes, &sAccessingInstances, &sAccessingChecked, &sAccessingChecking}) {
    delete *lock;
    *lock = nullptr;
  }
}

// ---- Language choice ----

DialectCode VComponentManager::GetLocalizationLanguage(VFolder* folder, bool isBundle,
                                                       DialectCode wanted) {
  if (folder == nullptr || !folder->Exists()) return kNoLanguage;
  VRefPtr<VFolder> search;
  if (isBundle) {
    VFilePath path = folder->GetPath();
    path.ToSubFolder(VString("Contents")).ToSubFolder(VString("Resources"));
    search = VRefPtr<VFolder>(new VFolder(path), kAdoptRef);
  } else {
    search = VRefPtr<VFolder>(folder);
  }
  if (wanted == 0) wanted = PreferredDialectOfMainBundle();

  DialectCode found = kNoLanguage;
  DialectCode exact = kNoLanguage;
  bool sawEnglish = false;
  const VString mark(".lproj");
  for (VFolderIterator it(search.Get(), kFSIterateFolders | kFSIterateResolveLinks);
       it.IsValid() && found != wanted; ++it) {
    VString name;
    it->GetName(name);
    const int32 at = name.Find(mark, 1, false);
    if (at == 0) continue;
    const VString language = name.Before(at);
    DialectCode code = 0;
    bool known = DialectOfTag(language, code);
    found = known ? code : kNoLanguage;
    if (!known && VIntlMgr::GetDialectCodeWithISOLanguageName(language, code)) {
      found = code;
      known = true;
    }
    if (!known) continue;
    if (found == kEnglish) sawEnglish = true;
    if (found == wanted) exact = found;
  }
  if (exact != kNoLanguage) return exact;
  return sawEnglish ? kEnglish : found;
}

// ---- Creators and types ----

int32 VComponentManager::_FindType(CType type) {
  auto it = std::find(sComponentTypes.begin(), sComponentTypes.end(), type);
  return it == sComponentTypes.end() ? -1 : int32(it - sComponentTypes.begin());
}

void VComponentManager::_SetRowLibrary(size_t row, VLibrary* library) {
  // The row's reference moves to the new library; the old one is released.
  if (library != nullptr) library->Retain();
  if (sComponentLibraries[row] != nullptr) sComponentLibraries[row]->Release();
  sComponentLibraries[row] = library;
}

VError VComponentManager::RegisterComponentCreator(CType type, VComponentCreator creator,
                                                   bool allowSameCreator) {
  if (!sIsInitialized.load()) return NotInitialized();
  StLocker<VCriticalSection> types(sAccessingTypes);
  StLocker<VCriticalSection> checked(sAccessingChecked);
  const int32 row = _FindType(type);
  if (row < 0) {
    sComponentTypes.push_back(type);
    sComponentProcs.push_back(creator);
    sComponentLibraries.push_back(nullptr);
    ResetComponentRequirements(type, false);
    return VE_OK;
  }
  if (!allowSameCreator && sComponentProcs[size_t(row)] == creator)
    return ToolboxError(toolbox_error::kComponentAlreadyRegistered);
  sComponentProcs[size_t(row)] = creator;
  return VE_OK;
}

VError VComponentManager::UnRegisterComponentCreator(CType type, VComponentCreator creator) {
  if (!sIsInitialized.load()) return NotInitialized();
  StLocker<VCriticalSection> types(sAccessingTypes);
  StLocker<VCriticalSection> checked(sAccessingChecked);
  const int32 row = _FindType(type);
  if (row < 0 || sComponentProcs[size_t(row)] != creator)
    return ToolboxError(toolbox_error::kComponentNotRegistered);
  if (sComponentLibraries[size_t(row)] != nullptr) {
    sComponentProcs[size_t(row)] = nullptr;
  } else {
    sComponentTypes.erase(sComponentTypes.begin() + row);
    sComponentProcs.erase(sComponentProcs.begin() + row);
    sComponentLibraries.erase(sComponentLibraries.begin() + row);
    ResetComponentRequirements(type, true);
  }
  return VE_OK;
}

VError VComponentManager::UnRegisterComponentType(CType type) {
  if (!sIsInitialized.load()) return NotInitialized();
  StLocker<VCriticalSection> types(sAccessingTypes);
  const int32 row = _FindType(type);
  if (row < 0) return ToolboxError(toolbox_error::kComponentUnknown);
  _SetRowLibrary(size_t(row), nullptr);
  sComponentTypes.erase(sComponentTypes.begin() + row);
  sComponentProcs.erase(sComponentProcs.begin() + row);
  sComponentLibraries.erase(sComponentLibraries.begin() + row);
  return VE_OK;
}

// ---- Component libraries ----

VError VComponentManager::RegisterComponentLibrary(const VFilePath& path) {
  if (!sIsInitialized.load()) {
    _ThrowError(NotInitialized());
    return NotInitialized();
  }
  {
    StLocker<VCriticalSection> types(sAccessingTypes);
    for (VLibrary* library : sComponentLibraries) {
      if (library == nullptr) break;
      if (library->IsSameFile(path)) {
        const VError error = ToolboxError(toolbox_error::kComponentAlreadyRegistered);
        _ThrowError(error);
        return error;
      }
    }
  }
  VRefPtr<VLibrary> library(new VLibrary(path), kAdoptRef);
  if (!library->Load()) {
    _PushRetainedError(
        NewErrorRecord<VFileError>(path, ToolboxError(toolbox_error::kComponentLibraryUnloadable)));
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  auto main = reinterpret_cast<MainProc>(library->GetProcAddress(VString("Main")));
  auto nth = reinterpret_cast<GetNthComponentTypeProc>(
      library->GetProcAddress(VString("GetNthComponentType")));
  auto create = library->GetProcAddress(VString("CreateComponent"));
  if (main == nullptr || nth == nullptr || create == nullptr)
    return ToolboxError(toolbox_error::kComponentLibraryIncomplete);

  StLocker<VCriticalSection> types(sAccessingTypes);
  StLocker<VCriticalSection> checked(sAccessingChecked);
  main(kLibraryRegistered, library.Get());
  CType type = 0;
  for (int32 index = 1; nth(index, &type) != 0; ++index) {
    int32 row = _FindType(type);
    if (row < 0) {
      sComponentTypes.push_back(type);
      sComponentProcs.push_back(nullptr);
      sComponentLibraries.push_back(nullptr);
      row = int32(sComponentTypes.size()) - 1;
    }
    _SetRowLibrary(size_t(row), library.Get());
    ResetComponentRequirements(type, false);
  }
  return VE_OK;
}

VError VComponentManager::UnRegisterComponentLibrary(const VFilePath& path) {
  if (!sIsInitialized.load()) return NotInitialized();
  StLocker<VCriticalSection> types(sAccessingTypes);
  StLocker<VCriticalSection> checked(sAccessingChecked);
  bool matched = false;
  for (size_t row = sComponentTypes.size(); row-- > 0;) {
    VLibrary* library = sComponentLibraries[row];
    if (library == nullptr) break;
    if (!library->IsSameFile(path)) continue;
    // Held until the library's "Main" has been told and the row let go.
    library->Retain();
    if (sComponentProcs[row] != nullptr) {
      sComponentLibraries[row] = nullptr;
    } else {
      const CType type = sComponentTypes[row];
      sComponentTypes.erase(sComponentTypes.begin() + ptrdiff_t(row));
      sComponentProcs.erase(sComponentProcs.begin() + ptrdiff_t(row));
      sComponentLibraries.erase(sComponentLibraries.begin() + ptrdiff_t(row));
      ResetComponentRequirements(type, true);
    }
    if (!matched) {
      if (auto main = reinterpret_cast<MainProc>(library->GetProcAddress(VString("Main"))))
        main(kLibraryLeaving, nullptr);
      matched = true;
    }
    library->Release();  // the row's reference
    library->Release();
  }
  return matched ? VE_OK : ToolboxError(toolbox_error::kComponentNotRegistered);
}

// ---- Making components ----

CComponent* VComponentManager::RetainUniqueComponent(CType type, CType family, bool skipCheck) {
  if (!sIsInitialized.load()) return nullptr;
  CComponent* component = nullptr;
  {
    StLocker<VCriticalSection> types(sAccessingTypes);
    const int32 row = _FindType(type);
    if (row < 0) return nullptr;
    if (VComponentCreator creator = sComponentProcs[size_t(row)]) {
      component = creator(type, family);
    } else if (VLibrary* library = sComponentLibraries[size_t(row)]) {
      auto create =
          reinterpret_cast<VComponentCreator>(library->GetProcAddress(VString("CreateComponent")));
      if (create != nullptr) component = create(type, family);
    }
  }
  if (component != nullptr && !skipCheck && !CheckComponentRequirements(component, false)) {
    component->Release(nullptr);
    component = nullptr;
  }
  return component;
}

CComponent* VComponentManager::RetainComponent(CType type, CType family) {
  if (!sIsInitialized.load()) return nullptr;
  StLocker<VCriticalSection> instances(sAccessingInstances);
  for (CComponent* component : sComponentInstances) {
    if (component->GetComponentType() == type &&
        (family == kAnyFamily || component->GetComponentFamily() == family)) {
      component->Retain(nullptr);
      return component;
    }
  }
  CComponent* component = RetainUniqueComponent(type, family, false);
  if (component != nullptr && !Contains(sComponentInstances, component)) {
    component->Retain(nullptr);
    sComponentInstances.push_back(component);
  }
  return component;
}

bool VComponentManager::RetainComponentsOfFamily(CType family, std::vector<CComponent*>* out) {
  if (out == nullptr || !sIsInitialized.load()) return false;
  // A copy, so that RetainComponent (instances, then types) never runs
  // inside the type table's lock.
  std::vector<CType> types;
  {
    StLocker<VCriticalSection> lock(sAccessingTypes);
    types = sComponentTypes;
  }
  for (CType type : types) {
    if (CComponent* component = RetainComponent(type, family)) out->push_back(component);
  }
  return true;
}

VError VComponentManager::RegisterComponentInstance(CComponent* component) {
  if (!sIsInitialized.load()) return NotInitialized();
  if (component == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  StLocker<VCriticalSection> instances(sAccessingInstances);
  if (Contains(sComponentInstances, component))
    return ToolboxError(toolbox_error::kComponentAlreadyRegistered);
  component->Retain(nullptr);
  sComponentInstances.push_back(component);
  return VE_OK;
}

VError VComponentManager::UnRegisterComponentInstance(CComponent* component) {
  if (!sIsInitialized.load()) return NotInitialized();
  if (component == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  {
    StLocker<VCriticalSection> instances(sAccessingInstances);
    if (!Contains(sComponentInstances, component))
      return ToolboxError(toolbox_error::kComponentUnknown);
    RemoveFirst(sComponentInstances, component);
  }
  component->Release(nullptr);
  return VE_OK;
}

bool VComponentManager::IsComponentAvailable(CType type) {
  if (!sIsInitialized.load()) return false;
  StLocker<VCriticalSection> types(sAccessingTypes);
  return _FindType(type) >= 0;
}

// ---- Requirements ----

bool VComponentManager::CheckComponentRequirements(CComponent* component, bool keepRequired) {
  if (component == nullptr || !sIsInitialized.load()) return false;
  const CType type = component->GetComponentType();
  {
    StLocker<VCriticalSection> checked(sAccessingChecked);
    auto it = std::find(sComponentChecked.begin(), sComponentChecked.end(), type);
    if (it != sComponentChecked.end())
      return sComponentIsAvailable[size_t(it - sComponentChecked.begin())] != 0;
  }
  StLocker<VCriticalSection> checking(sAccessingChecking);
  sComponentChecking.push_back(type);
  uint32* block = component->GetRequirements();
  if (block == nullptr || block[kFormatWord] < kMinimumFormat ||
      block[kSizeWord] < kMinimumBlockSize) {
    RemoveFirst(sComponentChecking, type);
    VMemory::DisposePtr(block);
    return false;
  }
  const int32 count = int32(block[kCountWord]);
  // Pairs beyond the block's stated size are not read.
  const int64 room = (int64(block[kSizeWord]) / 4 - int64(kFirstPairWord)) / 2;
  const int32 pairs = int32(std::max<int64>(0, std::min<int64>(count, room)));
  bool ok = true;
  std::vector<CComponent*> required;
  for (int32 i = 0; i < pairs && ok; ++i) {
    const CType requiredType = block[kFirstPairWord + 2 * size_t(i)];
    const uint32 minimum = block[kFirstPairWord + 2 * size_t(i) + 1];
    if (requiredType == type) continue;
    bool inCache = false;
    bool inProgress = false;
    {
      StLocker<VCriticalSection> checked(sAccessingChecked);
      inCache = Contains(sComponentChecked, requiredType);
      inProgress = Contains(sComponentChecking, requiredType);
    }
    if (minimum == kAnyVersion && (inCache || inProgress)) continue;
    CComponent* made = RetainUniqueComponent(requiredType, kAnyFamily, inCache || inProgress);
    if (made == nullptr) {
      ok = false;
      break;
    }
    if (minimum != kAnyVersion) {
      if (uint32* other = made->GetRequirements()) {
        ok = other[kVersionWord] >= minimum;
        VMemory::DisposePtr(other);
      }
    }
    if (keepRequired)
      required.push_back(made);
    else
      made->Release(nullptr);
  }
  // Kept for the life of the process when asked and met.
  if (!(keepRequired && ok))
    for (CComponent* made : required) made->Release(nullptr);
  VMemory::DisposePtr(block);
  {
    StLocker<VCriticalSection> checked(sAccessingChecked);
    if (!Contains(sComponentChecked, type)) {
      sComponentChecked.push_back(type);
      sComponentIsAvailable.push_back(ok ? 1 : 0);
      sComponentHasRequirements.push_back(count >= 1 ? 1 : 0);
    }
  }
  RemoveFirst(sComponentChecking, type);
  return ok;
}

bool VComponentManager::ResetComponentRequirements(CType type, bool dropFailure) {
  auto it = std::find(sComponentChecked.begin(), sComponentChecked.end(), type);
  if (it == sComponentChecked.end()) return false;
  const size_t index = size_t(it - sComponentChecked.begin());
  const bool available = sComponentIsAvailable[index] != 0;
  const bool drop = dropFailure ? !available : (available && sComponentHasRequirements[index] != 0);
  if (!drop) return false;
  sComponentChecked.erase(it);
  sComponentIsAvailable.erase(sComponentIsAvailable.begin() + ptrdiff_t(index));
  sComponentHasRequirements.erase(sComponentHasRequirements.begin() + ptrdiff_t(index));
  return true;
}

}  // namespace zeft
