#include "files/VFileKindManager.h"

#include "core/VValue.h"
#include "files/mac/XMacFile.h"

namespace zeft {

VFileKindManager* VFileKindManager::sManager = nullptr;

bool VFileKindManager::Init() {
  if (sManager == nullptr) sManager = new VFileKindManager();
  return true;
}

void VFileKindManager::DeInit() {
  VFileKindManager* manager = sManager;
  sManager = nullptr;
  if (manager != nullptr) manager->Release();
}

VFileKindManager::VFileKindManager()
    : fLocalizedStrings{VString("All"), VString("All readable documents")} {}

VFileKindManager::~VFileKindManager() = default;

VFileKind* VFileKindManager::RetainFileKind(const VString& identifier) {
  auto it = fKinds.find(identifier);
  if (it != fKinds.end()) {
    it->second->Retain();
    return it->second.Get();
  }
  VFileKind* kind = XMacFile::CreatePublicFileKind(identifier);
  if (kind != nullptr) fKinds[identifier] = VRefPtr<VFileKind>(kind);
  return kind;
}

void VFileKindManager::RegisterPrivateFileKind(const VString& identifier,
                                               const std::vector<VString>& osKinds,
                                               const VString& description,
                                               const std::vector<VString>& extensions,
                                               const std::vector<VString>& parentIDs) {
  fKinds[identifier] = VRefPtr<VFileKind>(
      VFileKind::Create(identifier, osKinds, description, extensions, parentIDs, false), kAdoptRef);
}

void VFileKindManager::RegisterPrivateFileKind(const VString& identifier,
                                               const VString& description,
                                               const std::vector<VString>& extensions,
                                               const std::vector<VString>& parentIDs) {
  RegisterPrivateFileKind(identifier, {}, description, extensions, parentIDs);
}

VFileKind* VFileKindManager::RetainFirstFileKindMatchingWithExtension(const VString& extension) {
  for (const auto& [identifier, kind] : fKinds) {
    if (kind->MatchExtension(extension)) {
      kind->Retain();
      return kind.Get();
    }
  }
  VFileKind* kind = XMacFile::CreatePublicFileKindFromExtension(extension);
  if (kind != nullptr && fKinds.find(kind->GetIdentifier()) == fKinds.end()) {
    fKinds[kind->GetIdentifier()] = VRefPtr<VFileKind>(kind);
  }
  return kind;
}

VFileKind* VFileKindManager::RetainFirstFileKindMatchingWithOsKind(const VString& osKind) {
  for (const auto& [identifier, kind] : fKinds) {
    if (kind->MatchOsKind(osKind)) {
      kind->Retain();
      return kind.Get();
    }
  }
  return XMacFile::CreatePublicFileKindFromOsKind(osKind);
}

void VFileKindManager::RegisterLocalizedString(long index, const VString& text) {
  if ((index == 0 || index == 1) && !text.IsEmpty()) fLocalizedStrings[index] = text;
}

void VFileKindManager::GetLocalizedString(long index, VString& text) const {
  if (index == 0 || index == 1) text = fLocalizedStrings[index];
}

}  // namespace zeft
