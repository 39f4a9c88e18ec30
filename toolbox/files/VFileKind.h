// VFileKind describes a type of document: its identifier (a uniform type
// identifier), a description, the system's type codes for it (OS kinds),
// its file name extensions and the identifiers of the kinds it conforms to.
// Public kinds come from the system's type declarations, private ones are
// registered by the application (VFileKindManager).
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VFileKind : public VObject, public IRefCountable {
 public:
  // A new kind with one reference.
  static VFileKind* Create(const VString& identifier, const std::vector<VString>& osKinds,
                           const VString& description, const std::vector<VString>& extensions,
                           const std::vector<VString>& parentIDs, bool isPublic);
  ~VFileKind() override;

  const VString& GetIdentifier() const { return fIdentifier; }
  const VString& GetDescription() const { return fDescription; }
  bool IsPublic() const { return fPublic; }
  const std::vector<VString>& GetExtensions() const { return fExtensions; }
  const std::vector<VString>& GetOsKinds() const { return fOsKinds; }

  // An extension equal to the text ignoring diacritics and case (the
  // current task's settings).
  bool MatchExtension(const VString& extension) const;
  // An OS kind equal to the text with diacritics.
  bool MatchOsKind(const VString& osKind) const;
  // The first entry; an empty text and false when there is none.
  bool GetPreferredExtension(VString& extension) const;
  bool GetPreferredOsKind(VString& osKind) const;
  // Replaces the list's content; false when there is no parent.
  bool GetParentIDs(std::vector<VString>& parentIDs) const;

  // Whether this kind conforms to the other, as the system's type database
  // says; false for a kind the database does not know.
  bool ConformsTo(const VFileKind& other) const;
  bool ConformsTo(const VString& identifier) const;

 private:
  VFileKind(const VString& identifier, const std::vector<VString>& osKinds,
            const VString& description, const std::vector<VString>& extensions,
            const std::vector<VString>& parentIDs, bool isPublic);

  VString fDescription;
  VString fIdentifier;
  std::vector<VString> fOsKinds;
  std::vector<VString> fExtensions;
  std::vector<VString> fParentIDs;
  bool fPublic;
};

}  // namespace zeft
