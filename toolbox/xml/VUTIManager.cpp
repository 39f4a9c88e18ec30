#include "xml/VUTIManager.h"

#include <algorithm>

#include "files/VFile.h"
#include "files/VFileKindManager.h"
#include "platform/TypeDatabase.h"
#include "xml/ILocalizer.h"
#include "xml/VUTIManagerXMLHandlers.h"
#include "xml/VUTITypeDatabase.h"
#include "xml/VXMLParser.h"

namespace zeft {

VUTIManager* VUTIManager::fSingleton = nullptr;
std::optional<std::once_flag> VUTIManager::sCreateOnce{std::in_place};

VUTIManager* VUTIManager::GetUTIManager() {
  std::call_once(*sCreateOnce, [] { fSingleton = new VUTIManager; });
  return fSingleton;
}

bool VUTIManager::Init() {
  platform::InstallTypeDatabase(&VUTITypeDatabase::sDatabase);
  return true;
}

bool VUTIManager::DeInit() {
  platform::InstallTypeDatabase(nullptr);
  VUTIManager* manager = fSingleton;
  fSingleton = nullptr;
  // The next GetUTIManager makes a fresh manager.
  sCreateOnce.emplace();
  if (manager != nullptr) manager->Release();
  return true;
}

void VUTIManager::Delete() { DeInit(); }

VUTIManager::VUTIManager() : fParser(std::make_unique<VXMLParser>()) {
  VXMLParser::Init();
  fRootHandler = new VUTIManagerXMLHandler(this);
}

VUTIManager::~VUTIManager() {
  fRootHandler->Release();
  fParser.reset();
  VXMLParser::DeInit();
  for (auto& [id, uti] : fUTIs) {
    uti->_Detach();
    uti->Release();
  }
  fUTIs.clear();
}

bool VUTIManager::LoadXMLBuffer(const void* data, size_t size) {
  StLocker<VCriticalSection> locker(fLock);
  fParser->Parse(data, size, fRootHandler, kXMLParseNeverValidate);
  ProcessExtractedUTIs();
  return true;
}

bool VUTIManager::LoadXMLFile(const VFile* file) {
  if (file == nullptr || !file->Exists()) return false;
  StLocker<VCriticalSection> locker(fLock);
  fParser->Parse(file, fRootHandler, kXMLParseNeverValidate);
  ProcessExtractedUTIs();
  return true;
}

bool VUTIManager::AnalyzeXMLFile(const VFile* file) {
  if (file == nullptr) return false;
  StLocker<VCriticalSection> locker(fLock);
  fParser->Parse(file, fRootHandler, kXMLParseNeverValidate);
  return false;
}

bool VUTIManager::UTTypeConformsTo(const VFile* file, const VString& identifier) {
  if (file == nullptr || !file->Exists() || identifier.IsEmpty() || identifier.IsNull()) {
    return false;
  }
  VRefPtr<VUTI> byExtension;
  VString extension;
  file->GetExtension(extension);
  if (!extension.IsEmpty()) {
    byExtension.Adopt(UTTypeCreatePreferredIdentifierForTag(VString(kUTTagClassFilenameExtension),
                                                            extension, VString()));
  }
  VRefPtr<VUTI> byOSType;
  unsigned kind = 0;
  if (file->MAC_GetKind(&kind) == VE_OK) {
    VString code;
    code.FromOsType(kind);
    byOSType.Adopt(
        UTTypeCreatePreferredIdentifierForTag(VString(kUTTagClassOSType), code, VString()));
  }
  VUTI* used = byExtension ? byExtension.Get() : byOSType.Get();
  if (byExtension && byOSType &&
      !UTTypeEqual(byExtension->GetIdentifier(), byOSType->GetIdentifier())) {
    // The four-character type wins when it is the more specific type.
    if (byOSType->IsParent(byExtension.Get())) used = byOSType.Get();
  }
  return used != nullptr && used->ConformsToIdentifier(identifier);
}

void VUTIManager::ProcessExtractedUTIs() {
  StLocker<VCriticalSection> locker(fLock);
  for (auto& [idA, a] : fUTIs) {
    for (auto& [idB, b] : fUTIs) {
      if (a == b) continue;
      const VUTI::UTIMap parents = b->GetParentUTIsMap();
      for (const auto& [idP, p] : parents) {
        if (!p->IsTemporary() || !UTTypeEqual(p->GetIdentifier(), a->GetIdentifier())) continue;
        if (a->IsChildOrChildOfAParent(b) || a->IsParent(p)) continue;
        b->RemoveTemporaryUTI(a->GetIdentifier());
        a->AddChildUTI(b);
        b->AddParentUTI(a);
      }
    }
  }
  // Every record becomes a private file kind, its description translated;
  // placeholders still count as parents, so a kind remembers what it
  // declared itself to conform to.
  VFileKindManager* kinds = VFileKindManager::sManager;
  if (kinds == nullptr) return;
  for (const auto& [id, uti] : fUTIs) {
    VString description = uti->GetDescription();
    VString localized;
    if (fLocalizer != nullptr &&
        fLocalizer->LocalizeStringWithDotStringsKey(description, localized))
      description = localized;
    std::vector<VString> parentIDs;
    for (const auto& [parentID, parent] : uti->GetParentUTIsMap()) parentIDs.push_back(parentID);
    kinds->RegisterPrivateFileKind(uti->GetIdentifier(), uti->GetOSTypesVector(), description,
                                   uti->GetExtensionsVector(), parentIDs);
  }
}

bool VUTIManager::UTTypeEqual(const VString& a, const VString& b) {
  return a.EqualToString(b, false);
}

bool VUTIManager::AddNewUTI(VUTI* uti) {
  if (uti == nullptr || uti->GetIdentifier().IsEmpty()) return false;
  StLocker<VCriticalSection> locker(fLock);
  if (!fUTIs.emplace(uti->GetIdentifier(), uti).second) return false;
  uti->Retain();
  return true;
}

VUTI* VUTIManager::RetainUTI(const VString& identifier) const {
  StLocker<VCriticalSection> locker(fLock);
  auto it = fUTIs.find(identifier);
  if (it == fUTIs.end() || it->second->IsTemporary()) return nullptr;
  it->second->Retain();
  return it->second;
}

int32 VUTIManager::GetUTIsCount() const {
  StLocker<VCriticalSection> locker(fLock);
  return int32(fUTIs.size());
}

void VUTIManager::SetLocalizationManager(ILocalizer* localizer) {
  StLocker<VCriticalSection> locker(fLock);
  fLocalizer = localizer;
}

VUTI* VUTIManager::_TagOwner(VUTI* uti, const VString& tagClass, const VString& tag) {
  if (UTTypeEqual(tagClass, VString(kUTTagClassFilenameExtension))) {
    return uti->GetHighestParentThatConformsToExtension(tag);
  }
  if (UTTypeEqual(tagClass, VString(kUTTagClassOSType))) {
    return uti->GetHighestParentThatConformsToOSType(tag);
  }
  if (UTTypeEqual(tagClass, VString(kUTTagClassMIMEType))) {
    return uti->GetHighestParentThatConformsToMIMEType(tag);
  }
  return nullptr;
}

std::unique_ptr<VUTIManager::UTIList> VUTIManager::UTTypeCreateAllIdentifiersForTag(
    const VString& tagClass, const VString& tag, const VString& /*conformingTo*/) {
  if (tagClass.IsEmpty() || tag.IsEmpty()) return nullptr;
  auto list = std::make_unique<UTIList>();
  StLocker<VCriticalSection> locker(fLock);
  for (auto& [id, uti] : fUTIs) {
    if (VUTI* owner = _TagOwner(uti, tagClass, tag)) {
      owner->Release();
      list->emplace_back(uti);
    }
  }
  return list;
}

VUTI* VUTIManager::UTTypeCreatePreferredIdentifierForTag(const VString& tagClass,
                                                         const VString& tag,
                                                         const VString& conformingTo) {
  if (tagClass.IsEmpty() || tag.IsEmpty()) return nullptr;
  UTIList candidates;
  StLocker<VCriticalSection> locker(fLock);
  for (auto& [id, uti] : fUTIs) {
    VRefPtr<VUTI> owner(_TagOwner(uti, tagClass, tag), kAdoptRef);
    if (!owner) continue;
    if (!conformingTo.IsEmpty() && !owner->ConformsToIdentifier(conformingTo)) continue;
    if (std::find(candidates.begin(), candidates.end(), owner) != candidates.end()) continue;
    candidates.push_back(std::move(owner));
  }
  if (candidates.empty()) return nullptr;
  const bool anyPublic = std::any_of(candidates.begin(), candidates.end(),
                                     [](const VRefPtr<VUTI>& u) { return u->IsPublic(); });
  const bool anyOther = std::any_of(candidates.begin(), candidates.end(),
                                    [](const VRefPtr<VUTI>& u) { return !u->IsPublic(); });
  if (anyPublic && anyOther) {
    std::erase_if(candidates, [](const VRefPtr<VUTI>& u) { return !u->IsPublic(); });
  }
  return candidates.front().Forget();
}

}  // namespace zeft
