#include "files/VFileKind.h"

#include "files/VFileKindManager.h"
#include "files/mac/XMacFile.h"

namespace zeft {

VFileKind::VFileKind(const VString& identifier, const std::vector<VString>& osKinds,
                     const VString& description, const std::vector<VString>& extensions,
                     const std::vector<VString>& parentIDs, bool isPublic)
    : fDescription(description),
      fIdentifier(identifier),
      fOsKinds(osKinds),
      fExtensions(extensions),
      fParentIDs(parentIDs),
      fPublic(isPublic) {}

VFileKind::~VFileKind() = default;

VFileKind* VFileKind::Create(const VString& identifier, const std::vector<VString>& osKinds,
                             const VString& description, const std::vector<VString>& extensions,
                             const std::vector<VString>& parentIDs, bool isPublic) {
  return new VFileKind(identifier, osKinds, description, extensions, parentIDs, isPublic);
}

bool VFileKind::MatchExtension(const VString& extension) const {
  for (const VString& own : fExtensions) {
    if (own.EqualToString(extension, false)) return true;
  }
  return false;
}

bool VFileKind::MatchOsKind(const VString& osKind) const {
  for (const VString& own : fOsKinds) {
    if (own.EqualToString(osKind, true)) return true;
  }
  return false;
}

namespace {

bool First(const std::vector<VString>& list, VString& out) {
  if (list.empty()) {
    out.Clear();
    return false;
  }
  out = list.front();
  return true;
}

}  // namespace

bool VFileKind::GetPreferredExtension(VString& extension) const {
  return First(fExtensions, extension);
}

bool VFileKind::GetPreferredOsKind(VString& osKind) const { return First(fOsKinds, osKind); }

bool VFileKind::GetParentIDs(std::vector<VString>& parentIDs) const {
  parentIDs = fParentIDs;
  return !parentIDs.empty();
}

bool VFileKind::ConformsTo(const VFileKind& other) const {
  return XMacFile::IsFileKindConformsTo(*this, other);
}

bool VFileKind::ConformsTo(const VString& identifier) const {
  VFileKindManager* manager = VFileKindManager::sManager;
  if (manager == nullptr) return false;
  VRefPtr<VFileKind> other(manager->RetainFileKind(identifier), kAdoptRef);
  return other && ConformsTo(*other);
}

}  // namespace zeft
