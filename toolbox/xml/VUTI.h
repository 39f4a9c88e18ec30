// VUTI is the record of one uniform type identifier: its identifier and
// description, the tags that recognise files of the type (extensions,
// four-character OS types, MIME types) and its conformance links, the
// types it conforms to (parents) and those conforming to it (children).
// A temporary record is a placeholder for an identifier named as a parent
// before its own record is known. Identifiers and tags compare ignoring
// case and diacritics.
#pragma once

#include <map>
#include <set>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/VStringLessCompareLike.h"
#include "files/VFilePath.h"

namespace zeft {

class VUTI : public VObject, public IRefCountable {
 public:
  // Each entry holds one reference to its record; identifiers match
  // ignoring case and diacritics.
  using UTIMap = std::map<VString, VUTI*, VStringLessCompareLike>;

  VUTI() = default;
  ~VUTI() override;
  VUTI(const VUTI&) = delete;
  VUTI& operator=(const VUTI&) = delete;

  const VString& GetIdentifier() const { return fIdentifier; }
  void SetIdentifier(const VString& identifier) { fIdentifier = identifier; }
  const VString& GetDescription() const { return fDescription; }
  void SetDescription(const VString& description) { fDescription = description; }
  const VString& GetReference() const { return fReference; }
  void SetReference(const VString& reference) { fReference = reference; }
  const VFilePath& GetImagePath() const { return fImagePath; }
  void SetImagePath(const VFilePath& path) { fImagePath = path; }

  const std::vector<VString>& GetExtensionsVector() const { return fExtensions; }
  void SetExtensionsVector(const std::vector<VString>& tags) { fExtensions = tags; }
  const std::vector<VString>& GetOSTypesVector() const { return fOSTypes; }
  void SetOSTypesVector(const std::vector<VString>& tags) { fOSTypes = tags; }
  const std::vector<VString>& GetMIMETypesVector() const { return fMIMETypes; }
  void SetMIMETypesVector(const std::vector<VString>& tags) { fMIMETypes = tags; }
  // Append the tag unless the list holds it already.
  void AddExtension(const VString& tag);
  void AddOSType(const VString& tag);
  void AddMIMEType(const VString& tag);
  // Appends the extensions of this record, then of its non-temporary
  // parents depth first, each once.
  void GetAllExtensionsVector(std::vector<VString>& extensions) const;

  // The record owning the tag: this one when its list holds it, else the
  // first owner among the non-temporary parents, in parent order. Retained
  // for the caller; null when none.
  VUTI* GetHighestParentThatConformsToExtension(const VString& tag);
  VUTI* GetHighestParentThatConformsToOSType(const VString& tag);
  VUTI* GetHighestParentThatConformsToMIMEType(const VString& tag);
  bool ConformsToExtension(const VString& tag);
  bool ConformsToOSType(const VString& tag);
  bool ConformsToMIMEType(const VString& tag);
  // This identifier, or that of a non-temporary ancestor.
  bool ConformsToIdentifier(const VString& identifier) const;

  // Copies of the maps; replacing one retains its new entries and releases
  // the old ones.
  UTIMap GetParentUTIsMap() const { return fParents; }
  void SetParentUTIsMap(const UTIMap& parents);
  UTIMap GetChildrenUTIsMap() const { return fChildren; }
  void SetChildrenUTIsMap(const UTIMap& children);
  // Insert (and retain) the record unless one of its identifier is there;
  // a null record or an empty identifier is ignored.
  void AddParentUTI(VUTI* uti);
  void AddChildUTI(VUTI* uti);

  // Whether `uti` is an ancestor through non-temporary parents; Could...
  // also accepts a temporary parent at the first level.
  bool IsParent(const VUTI* uti) const;
  bool CouldBeAParent(const VUTI* uti) const;
  // The same over the children: whether `uti` is a descendant.
  bool IsChild(const VUTI* uti) const;
  bool CouldBeAChild(const VUTI* uti) const;
  // A descendant of this record or of one of its non-temporary ancestors.
  bool IsChildOrChildOfAParent(const VUTI* uti) const;
  // Removes the temporary entry of that identifier from both maps.
  void RemoveTemporaryUTI(const VString& identifier);

  // The identifier begins with "public" (ignoring case).
  bool IsPublic() const;
  bool IsTemporary() const { return fTemporary; }
  void SetTemporary(bool temporary) { fTemporary = temporary; }
  bool IsDynamic() const { return fDynamic; }
  void SetDynamic(bool dynamic) { fDynamic = dynamic; }

  // Drops every parent and child entry, releasing their records.
  void _Detach();

 private:
  // Records visited by one walk: declarations may link types in a circle.
  using Visited = std::set<const VUTI*>;

  static void _AddTag(std::vector<VString>& tags, const VString& tag);
  static bool _HasTag(const std::vector<VString>& tags, const VString& tag);
  static void _Insert(UTIMap& map, VUTI* uti);
  static void _Replace(UTIMap& map, const UTIMap& entries);
  void _GetAllExtensions(std::vector<VString>& extensions, Visited& visited) const;
  VUTI* _FindTagOwner(const std::vector<VString> VUTI::*list, const VString& tag, Visited& visited);
  bool _ConformsTo(const VString& identifier, Visited& visited) const;
  bool _IsAncestor(const VUTI* uti, bool temporaryFirstLevel, Visited& visited) const;
  bool _IsDescendant(const VUTI* uti, bool temporaryFirstLevel, Visited& visited) const;
  bool _IsChildOrChildOfAParent(const VUTI* uti, Visited& visited) const;

  bool fTemporary = false;
  VString fIdentifier;
  VString fDescription;
  VString fReference;
  VFilePath fImagePath;
  bool fDynamic = false;
  std::vector<VString> fOSTypes;
  std::vector<VString> fExtensions;
  std::vector<VString> fMIMETypes;
  UTIMap fParents;
  UTIMap fChildren;
};

}  // namespace zeft
