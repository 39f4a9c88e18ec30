#include "xml/VLocalizationXMLHandlers.h"

#include "core/VIntlMgr.h"
#include "values/VValueBag.h"
#include "xml/VLocalizationManager.h"

namespace zeft {

namespace {

// The key of a unit inside a group whose parent group's resname is written
// in brackets: "[parent]#}[{@group#}[{@unit".
const char kObjectURLSeparator[] = "#}[{@";

}  // namespace

VLocalizationXMLHandler::VLocalizationXMLHandler(VLocalizationManager* manager)
    : fManager(manager) {}

IXMLHandler* VLocalizationXMLHandler::StartElement(const VString& elementName) {
  fInFile = elementName.EqualToUSASCIICString("file");
  if (fAccept || fAvoidLanguageCheck) {
    if (elementName.EqualToUSASCIICString("group")) {
      return new VLocalizationGroupHandler(fReplace, fManager);
    }
    if (elementName.EqualToUSASCIICString("trans-unit")) {
      return new VLocalizationTransUnitHandler(fReplace, fManager);
    }
  }
  Retain();
  return this;
}

void VLocalizationXMLHandler::SetAttribute(const VString& name, const VString& value) {
  if (!fInFile || !name.EqualToUSASCIICString("target-language")) {
    return;
  }
  VString language;
  if (!VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(fManager->GetLocalizationLanguage(),
                                                          language, '-')) {
    return;
  }
  switch (VIntlMgr::Compare2RFC3066LanguageCodes(language, value)) {
    case 4:
      fAccept = true;
      fReplace = true;
      break;
    case 1:
    case 2:
    case 3:
      fAccept = true;
      fReplace = false;
      break;
    case 0:
    case -1:
      fAccept = false;
      break;
    default:
      break;
  }
}

VLocalizationGroupHandler::VLocalizationGroupHandler(bool replace, VLocalizationManager* manager)
    : fManager(manager), fReplace(replace), fResnames(1) {}

VLocalizationGroupHandler::~VLocalizationGroupHandler() {
  if (fGroupBag != nullptr) fGroupBag->Release();
}

IXMLHandler* VLocalizationGroupHandler::StartElement(const VString& elementName) {
  if (elementName.EqualToUSASCIICString("group")) {
    fResnames.emplace_back();
    Retain();
    return this;
  }
  if (elementName.EqualToUSASCIICString("trans-unit")) {
    VValueBag* groupBag = fRestype.IsEmpty() ? nullptr : fGroupBag;
    return new VLocalizationTransUnitHandler(uint32(fGroupID), fResnames, groupBag, fReplace,
                                             fManager);
  }
  return nullptr;
}

void VLocalizationGroupHandler::EndElement(const VString& elementName) {
  if (!elementName.EqualToUSASCIICString("group")) return;
  const VString top = fResnames.empty() ? VString() : fResnames.back();
  if (fGroupBag != nullptr) {
    if (!fRestype.IsEmpty() && !fRestype.IsNull()) {
      if (!top.IsEmpty()) fGroupBag->SetString(StPackedDictionaryKey("resname"), top);
      fManager->_InsertGroupBag(top, fRestype, fGroupBag);
    }
    fGroupBag->Release();
    fGroupBag = nullptr;
  }
  fRestype.Clear();
  if (!fResnames.empty()) fResnames.pop_back();
}

void VLocalizationGroupHandler::SetAttribute(const VString& name, const VString& value) {
  if (fGroupBag == nullptr) fGroupBag = new VValueBag;
  fGroupBag->SetString(StPackedDictionaryKey(name), value);
  if (name.EqualToUSASCIICString("id")) {
    const int32 id = value.GetLong();
    if (id != 0) fGroupID = id;
  } else if (name.EqualToUSASCIICString("resname")) {
    if (!value.IsEmpty() && !fResnames.empty()) fResnames.back() = value;
  } else if (name.EqualToUSASCIICString("restype")) {
    fRestype = value;
  }
}

VLocalizationUnitReader::VLocalizationUnitReader(const std::vector<VString>& resnames,
                                                 VValueBag* parentBag)
    : fParentBag(parentBag), fResnames(resnames) {
  fSource.SetNull(true);
  fTarget.SetNull(true);
  if (fParentBag != nullptr) {
    fParentBag->Retain();
    fBag = new VValueBag;
  }
}

VLocalizationUnitReader::~VLocalizationUnitReader() {
  if (fBag != nullptr) fBag->Release();
  if (fParentBag != nullptr) fParentBag->Release();
}

void VLocalizationUnitReader::SetAttribute(const VString& name, const VString& value) {
  if (fBag != nullptr) fBag->SetString(StPackedDictionaryKey(name), value);
  if (name.EqualToUSASCIICString("id")) {
    const int32 id = value.GetLong();
    if (id >= 1) fUnitID = uint32(id);
  } else if (name.EqualToUSASCIICString("resname")) {
    fResname = value;
  } else if (name.EqualToUSASCIICString("zq:excludeIf")) {
    CheckPlatformTag(value, false, fExcluded);
  } else if (name.EqualToUSASCIICString("zq:includeIf")) {
    CheckPlatformTag(value, true, fExcluded);
  }
}

void VLocalizationUnitReader::SetText(const VString& text) {
  if (fTextRun == TextRun::kSource) {
    if (fSource.IsNull()) fSource.SetNull(false);
    fSource.AppendString(text);
  } else if (fTextRun == TextRun::kTarget) {
    if (fTarget.IsNull()) fTarget.SetNull(false);
    fTarget.AppendString(text);
  }
}

bool VLocalizationUnitReader::_StartTextElement(const VString& elementName) {
  if (elementName.EqualToUSASCIICString("source")) {
    fTextRun = TextRun::kSource;
  } else if (elementName.EqualToUSASCIICString("target")) {
    fTextRun = TextRun::kTarget;
  } else {
    fTextRun = TextRun::kNone;
    return false;
  }
  ++fOpenTexts;
  return true;
}

bool VLocalizationUnitReader::_EndsOwnElement() {
  fTextRun = TextRun::kNone;
  if (fOpenTexts == 0) return true;
  --fOpenTexts;
  return false;
}

void VLocalizationUnitReader::CheckPlatformTag(const VString& value, bool include, bool& excluded) {
  std::vector<VString> words;
  value.GetSubStrings(' ', words, false);
  bool mac = false;
  bool known = false;
  for (const VString& word : words) {
    if (word.EqualToString(VString("mac"), false)) {
      mac = true;
      known = true;
    } else if (word.EqualToString(VString("win"), false) ||
               word.EqualToString(VString("linux"), false)) {
      known = true;
    }
  }
  if (!known) return;
  // This system takes the place of the "mac" platform.
  if (include ? !mac : mac) excluded = true;
}

const VString& VLocalizationUnitReader::_Text() const {
  if (!fTarget.IsNull()) return fTarget;
  if (!fSource.IsNull()) return fSource;
  return VString::sEmpty;
}

VLocalizationTransUnitHandler::VLocalizationTransUnitHandler(bool replace,
                                                             VLocalizationManager* manager)
    : VLocalizationUnitReader({}, nullptr), fManager(manager), fReplace(replace), fGroupID(0) {}

VLocalizationTransUnitHandler::VLocalizationTransUnitHandler(uint32 groupID,
                                                             const std::vector<VString>& resnames,
                                                             VValueBag* groupBag, bool replace,
                                                             VLocalizationManager* manager)
    : VLocalizationUnitReader(resnames, groupBag),
      fManager(manager),
      fReplace(replace),
      fGroupID(groupID) {}

IXMLHandler* VLocalizationTransUnitHandler::StartElement(const VString& elementName) {
  if (_StartTextElement(elementName)) {
    Retain();
    return this;
  }
  if (elementName.EqualToUSASCIICString("alt-trans")) {
    return new VLocalizationAltTransHandler(fResnames, fBag);
  }
  return nullptr;
}

void VLocalizationTransUnitHandler::EndElement(const VString& /*elementName*/) {
  if (!_EndsOwnElement() || fExcluded) return;

  const VString& text = _Text();
  if (fBag != nullptr) {
    fBag->SetString(StPackedDictionaryKey("target"), text);
    fParentBag->AddElement(StPackedDictionaryKey("trans-unit"), fBag);
  }
  if (fUnitID != 0 && fGroupID != 0) {
    fManager->_InsertSTRSharpCodeAndString(STRSharpCodes(int32(fGroupID), fUnitID), text, fReplace);
  }
  if (text.IsEmpty() || text.IsNull()) return;

  if (fResnames.size() >= 2 && !fResname.IsEmpty()) {
    const VString& group = fResnames[fResnames.size() - 1];
    const VString& parent = fResnames[fResnames.size() - 2];
    if (!group.IsEmpty() && !parent.IsEmpty() && parent.GetUniChar(1) == '[' &&
        parent.GetUniChar(parent.GetLength()) == ']') {
      VString url(parent);
      url.AppendCString(kObjectURLSeparator);
      url.AppendString(group);
      url.AppendCString(kObjectURLSeparator);
      url.AppendString(fResname);
      fManager->_InsertObjectURLAndString(url, text, fReplace);
      return;
    }
  }
  if (!fResname.IsEmpty()) fManager->_InsertObjectURLAndString(fResname, text, fReplace);
  for (auto it = fResnames.rbegin(); it != fResnames.rend(); ++it) {
    fManager->_InsertIDAndStringInAGroup(fUnitID, text, *it, fReplace);
  }
}

VLocalizationAltTransHandler::VLocalizationAltTransHandler(const std::vector<VString>& resnames,
                                                           VValueBag* unitBag)
    : VLocalizationUnitReader(resnames, unitBag) {}

IXMLHandler* VLocalizationAltTransHandler::StartElement(const VString& elementName) {
  if (_StartTextElement(elementName)) {
    Retain();
    return this;
  }
  return nullptr;
}

void VLocalizationAltTransHandler::EndElement(const VString& /*elementName*/) {
  if (!_EndsOwnElement() || fExcluded || fBag == nullptr) return;
  fBag->SetString(StPackedDictionaryKey("target"), _Text());
  fParentBag->AddElement(StPackedDictionaryKey("alt-trans"), fBag);
}

}  // namespace zeft
