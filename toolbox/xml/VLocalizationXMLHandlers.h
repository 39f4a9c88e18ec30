// The handlers that read an XLIFF file into a VLocalizationManager: the
// root handler picks the "file" elements of the manager's language, a group
// handler reads a top-level "group" and its nested groups, a unit handler
// one "trans-unit" (stored under its numbered code, key and groups), an
// alt-trans handler its alternative translations (kept in bags only).
// Units can be included in or excluded from a platform by "zq:includeIf"
// and "zq:excludeIf".
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "xml/IXMLHandler.h"

namespace zeft {

class VLocalizationManager;
class VValueBag;

class VLocalizationXMLHandler : public VObject, public IXMLHandler {
 public:
  explicit VLocalizationXMLHandler(VLocalizationManager* manager);

  void SetAvoidLanguageChecking(bool avoid) { fAvoidLanguageCheck = avoid; }
  IXMLHandler* StartElement(const VString& elementName) override;
  void SetAttribute(const VString& name, const VString& value) override;

 private:
  VLocalizationManager* fManager;
  // Kept from one "file" element (and file) to the next.
  bool fAccept = false;
  bool fReplace = true;
  bool fAvoidLanguageCheck = false;
  // Whether the element whose attributes come next is a "file".
  bool fInFile = false;
};

class VLocalizationGroupHandler : public VObject, public IXMLHandler {
 public:
  VLocalizationGroupHandler(bool replace, VLocalizationManager* manager);
  ~VLocalizationGroupHandler() override;

  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;
  void SetAttribute(const VString& name, const VString& value) override;

 private:
  VLocalizationManager* fManager;
  bool fReplace;
  int32 fGroupID = 0;
  // One resname per open group, the outermost first.
  std::vector<VString> fResnames;
  VValueBag* fGroupBag = nullptr;
  VString fRestype;
};

// What unit and alt-trans handlers share: the unit's fields, the platform
// tags and the text runs of "source" and "target".
class VLocalizationUnitReader : public VObject, public IXMLHandler {
 public:
  void SetAttribute(const VString& name, const VString& value) override;
  void SetText(const VString& text) override;
  // Sets `excluded` when the platform words of `value` leave this system out.
  static void CheckPlatformTag(const VString& value, bool include, bool& excluded);

 protected:
  VLocalizationUnitReader(const std::vector<VString>& resnames, VValueBag* parentBag);
  ~VLocalizationUnitReader() override;
  // The target text, else the source text, else empty.
  const VString& _Text() const;

  VValueBag* fParentBag;
  VValueBag* fBag = nullptr;
  uint32 fUnitID = 0;
  VString fResname;
  VString fSource;
  VString fTarget;
  bool fExcluded = false;
  std::vector<VString> fResnames;
  // Which text the runs go to: that of the element last started here, so
  // nothing after an inline element inside "source" or "target" counts.
  enum class TextRun : uint8 { kNone, kSource, kTarget };
  TextRun fTextRun = TextRun::kNone;
  // The "source" and "target" elements open in this handler: an end
  // element with none open ends the handler's own element.
  int32 fOpenTexts = 0;
  // Starts a "source" or "target" element (this handler takes its text),
  // else hides it; true for the text elements.
  bool _StartTextElement(const VString& elementName);
  // Closes a text element; true when the end is the handler's own.
  bool _EndsOwnElement();
};

class VLocalizationTransUnitHandler : public VLocalizationUnitReader {
 public:
  // A unit outside any group.
  VLocalizationTransUnitHandler(bool replace, VLocalizationManager* manager);
  VLocalizationTransUnitHandler(uint32 groupID, const std::vector<VString>& resnames,
                                VValueBag* groupBag, bool replace, VLocalizationManager* manager);

  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;

 private:
  VLocalizationManager* fManager;
  bool fReplace;
  uint32 fGroupID;
};

class VLocalizationAltTransHandler : public VLocalizationUnitReader {
 public:
  VLocalizationAltTransHandler(const std::vector<VString>& resnames, VValueBag* unitBag);

  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;
};

}  // namespace zeft
