// VFileKindManager is the process's registry of file kinds by identifier:
// kinds the application registers, and public kinds made from the system's
// type declarations on demand and kept. It is filled on the main task
// during start-up and only read afterwards, so it takes no lock.
#pragma once

#include <map>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/VStringLessCompareLike.h"
#include "files/VFileKind.h"

namespace zeft {

class VFileKindManager : public VObject, public IRefCountable {
 public:
  // Creates the process's manager (always true); DeInit releases it.
  static bool Init();
  static void DeInit();
  static VFileKindManager* sManager;

  VFileKindManager();
  ~VFileKindManager() override;
  VFileKindManager(const VFileKindManager&) = delete;
  VFileKindManager& operator=(const VFileKindManager&) = delete;

  // The kind of that identifier, made from the system's declaration and
  // kept when it is not registered; retained, null when unknown.
  VFileKind* RetainFileKind(const VString& identifier);
  // Stores a private kind, replacing one of the same identifier.
  void RegisterPrivateFileKind(const VString& identifier, const std::vector<VString>& osKinds,
                               const VString& description, const std::vector<VString>& extensions,
                               const std::vector<VString>& parentIDs);
  void RegisterPrivateFileKind(const VString& identifier, const VString& description,
                               const std::vector<VString>& extensions,
                               const std::vector<VString>& parentIDs);
  // The first registered kind (in identifier order) with the extension,
  // else the system's kind for it (kept unless one of its identifier is
  // registered); retained, or null.
  VFileKind* RetainFirstFileKindMatchingWithExtension(const VString& extension);
  // The same for an OS kind; the system's kind is not kept.
  VFileKind* RetainFirstFileKindMatchingWithOsKind(const VString& osKind);

  // Index 0: the label of the choice of all files ("All"); 1: of all
  // readable documents ("All readable documents"). Other indexes and empty
  // texts are ignored; reading another index leaves the text unchanged.
  void RegisterLocalizedString(long index, const VString& text);
  void GetLocalizedString(long index, VString& text) const;

 private:
  std::map<VString, VRefPtr<VFileKind>, VStringLessCompareLike> fKinds;
  VString fLocalizedStrings[2];
};

}  // namespace zeft
