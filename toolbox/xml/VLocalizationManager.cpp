#include "xml/VLocalizationManager.h"

#include "core/VIntlMgr.h"
#include "files/VFSObjectIterator.h"
#include "files/VFile.h"
#include "files/VFileStream.h"
#include "files/VFolder.h"
#include "values/VValueBag.h"
#include "xml/VLocalizationXMLHandlers.h"
#include "xml/VXMLParser.h"

namespace zeft {

using namespace toolbox_error;

namespace {

const VString& XLIFFExtension() {
  static const VString sExtension("xlf");
  return sExtension;
}

const VString& DotStringsExtension() {
  static const VString sExtension("strings");
  return sExtension;
}

// A part of a strings-file line: trimmed, and without its quotes.
VString StringsFilePart(const VString& part) {
  VString text(part);
  text.RemoveWhiteSpaces();
  if (text.GetLength() > 0 && text.GetUniChar(1) == '"') {
    text.SubString(2, text.GetLength() - 2 < 0 ? 0 : text.GetLength() - 2);
  }
  return text;
}

}  // namespace

VLocalizationManager::VLocalizationManager(DialectCode language)
    : fLanguage(language), fParser(new VXMLParser) {
  VXMLParser::Init();
  fRootHandler = new VLocalizationXMLHandler(this);
}

VLocalizationManager::~VLocalizationManager() {
  fRootHandler->Release();
  VXMLParser::DeInit();
  delete fParser;
}

bool VLocalizationManager::LoadDefaultLocalizationFoldersForComponentOrPlugin(
    const VFolder* bundleFolder) {
  if (bundleFolder == nullptr || !bundleFolder->Exists()) return false;
  VFolder contents(*bundleFolder, VString("Contents/"), kFilePathStylePosix);
  VFolder resources(contents, VString("Resources/"), kFilePathStylePosix);
  return LoadDefaultLocalizationFolders(&resources);
}

bool VLocalizationManager::LoadDefaultLocalizationFolders(const VFolder* resourcesFolder) {
  if (resourcesFolder == nullptr || !resourcesFolder->Exists()) return false;
  ScanAndLoadFolder(resourcesFolder, true);
  std::vector<VRefPtr<VFolder>> folders;
  if (!VIntlMgr::GetLocalizationFoldersWithDialect(fLanguage, resourcesFolder->GetPath(),
                                                   folders)) {
    return false;
  }
  fLanguageFolders = std::move(folders);
  bool loaded = false;
  for (const VRefPtr<VFolder>& folder : fLanguageFolders) {
    if (ScanAndLoadFolder(folder.Get(), false) == VE_OK) loaded = true;
  }
  return loaded;
}

VError VLocalizationManager::ScanAndLoadFolder(const VFolder* folder, bool avoidLanguageCheck) {
  if (folder == nullptr) return ToolboxError(kInvalidParameter);
  if (!folder->Exists()) return ToolboxError(kFileNotFound);
  for (VFileIterator it(folder, kFSIterateFiles); it.IsValid(); ++it) {
    _LoadFile(it.Current(), true, avoidLanguageCheck);
  }
  for (const RememberedPath& remembered : fRememberedPaths) {
    if (!remembered.fPath.IsFolder()) continue;
    VFolder known(remembered.fPath);
    if (folder->IsSameFolder(&known)) return VE_OK;
  }
  _Remember(folder->GetPath(), avoidLanguageCheck);
  return VE_OK;
}

VError VLocalizationManager::LoadFile(const VFile* file, bool avoidLanguageCheck) {
  return _LoadFile(file, false, avoidLanguageCheck);
}

VError VLocalizationManager::_LoadFile(const VFile* file, bool fromScan, bool avoidLanguageCheck) {
  if (file == nullptr) return ToolboxError(kInvalidParameter);
  if (!file->Exists()) return ToolboxError(kFileNotFound);
  if (file->MatchExtension(XLIFFExtension())) {
    if (AnalyzeXLIFFFile(file, avoidLanguageCheck) != VE_OK) return VE_OK;
    if (!fromScan) {
      bool known = false;
      for (const RememberedPath& remembered : fRememberedPaths) {
        if (!remembered.fPath.IsFile()) continue;
        VFile other(remembered.fPath);
        if (file->IsSameFile(&other)) {
          known = true;
          break;
        }
      }
      if (!known) _Remember(file->GetPath(), avoidLanguageCheck);
    }
    VTime modified;
    file->GetTimeAttributes(&modified, nullptr, nullptr);
    fTrackedFiles[file->GetPath()] = modified;
    return VE_OK;
  }
  if (file->MatchExtension(DotStringsExtension())) AnalyzeDotStringsFile(file);
  return ToolboxError(kFileCannotLoadLocalization);
}

void VLocalizationManager::_Remember(const VFilePath& path, bool avoidLanguageCheck) {
  fRememberedPaths.push_back({path, avoidLanguageCheck});
}

VError VLocalizationManager::AnalyzeXLIFFFile(const VFile* file, bool avoidLanguageCheck) {
  fRootHandler->SetAvoidLanguageChecking(avoidLanguageCheck);
  VString text;
  const VError error = file->GetContentAsString(text, kCharSetUTF8, kCRModeNone);
  if (error == VE_OK) fParser->Parse(text, fRootHandler, kXMLParseNeverValidate);
  fRootHandler->SetAvoidLanguageChecking(false);
  return error;
}

VError VLocalizationManager::AnalyzeDotStringsFile(const VFile* file) {
  if (file == nullptr) return ToolboxError(kInvalidParameter);
  if (!file->Exists()) return ToolboxError(kFileNotFound);
  VFileStream stream(file, 0);
  VError error = stream.OpenReading();
  if (error != VE_OK) return error;
  error = stream.GuessCharSetFromLeadingBytes(kCharSetUTF16BigEndian, false);
  if (error != VE_OK) {
    stream.CloseReading();
    return error;
  }
  VString line;
  std::vector<VString> parts;
  while (stream.GetTextLine(line, false) == VE_OK) {
    if (line.IsEmpty()) continue;
    // The last character ends the entry (";"), whatever it is.
    line.Truncate(line.GetLength() - 1);
    parts.clear();
    line.GetSubStrings('=', parts, false);
    if (parts.size() != 2 || parts[0].IsEmpty() || parts[1].IsEmpty()) continue;
    const VString key = StringsFilePart(parts[0]);
    const VString value = StringsFilePart(parts[1]);
    if (key.IsEmpty() || value.IsEmpty()) continue;
    _InsertDotStringsKeyAndString(key, value, true);
  }
  stream.CloseReading();
  return VE_OK;
}

bool VLocalizationManager::ClearLocalizations() {
  StLocker<VCriticalSection> locker(fLock);
  fSTRSharpStrings.clear();
  fKeyStrings.clear();
  fGroups.clear();
  fDotStringsKeys.clear();
  fGroupBagsByResname.clear();
  fGroupBagsByRestype.clear();
  return true;
}

bool VLocalizationManager::DoesNeedAnUpdate() {
  StLocker<VCriticalSection> locker(fLock);
  bool needed = false;
  std::map<VFilePath, VTime, PathLess> kept;
  for (const auto& [path, time] : fTrackedFiles) {
    VFile file(path);
    if (!file.Exists()) {
      needed = true;
      continue;
    }
    VTime modified;
    if (file.GetTimeAttributes(&modified, nullptr, nullptr) != VE_OK) continue;
    if (!(modified == time)) needed = true;
    kept.emplace(path, modified);
  }
  fTrackedFiles = std::move(kept);
  if (needed) return true;

  for (const RememberedPath& remembered : fRememberedPaths) {
    if (!remembered.fPath.IsFolder()) continue;
    VFolder folder(remembered.fPath);
    if (!folder.Exists()) return true;
    for (VFileIterator it(&folder, kFSIterateFiles); it.IsValid(); ++it) {
      if (!it->MatchExtension(XLIFFExtension())) continue;
      bool tracked = false;
      for (const auto& entry : fTrackedFiles) {
        if (entry.first.GetPath().EqualToString(it->GetPath().GetPath(), false)) {
          tracked = true;
          break;
        }
      }
      if (!tracked) return true;
    }
  }
  return false;
}

bool VLocalizationManager::UpdateIfNeeded() {
  if (!DoesNeedAnUpdate()) return false;
  ClearLocalizations();
  // A copy: reloading appends what it has not seen yet.
  const std::vector<RememberedPath> remembered = fRememberedPaths;
  for (const RememberedPath& entry : remembered) {
    if (!entry.fPath.IsValid() || entry.fPath.IsEmpty()) continue;
    if (entry.fPath.IsFolder()) {
      VFolder folder(entry.fPath);
      // Each folder keeps the language check it was first loaded with, so
      // the Resources folder loaded without it keeps its strings.
      if (folder.Exists()) ScanAndLoadFolder(&folder, entry.fAvoidLanguageCheck);
    } else {
      VFile file(entry.fPath);
      if (file.Exists()) _LoadFile(&file, false, entry.fAvoidLanguageCheck);
    }
  }
  return true;
}

bool VLocalizationManager::LocalizeStringWithKey(const VString& key, VString& result) {
  StLocker<VCriticalSection> locker(fLock);
  auto it = fKeyStrings.find(key);
  if (it == fKeyStrings.end()) return false;
  result = it->second;
  return true;
}

bool VLocalizationManager::LocalizeStringWithDotStringsKey(const VString& key, VString& result) {
  StLocker<VCriticalSection> locker(fLock);
  auto it = fDotStringsKeys.find(key);
  if (it == fDotStringsKeys.end()) return false;
  result = it->second;
  return true;
}

bool VLocalizationManager::LocalizeErrorMessage(VError code, VString& text) {
  const uint32 component = ErrorComponent(code);
  VString key;
  key.Printf("ERR_%c%c%c%c_%d", char(component >> 24), char(component >> 16), char(component >> 8),
             char(component), ErrorNumber(code));
  return LocalizeStringWithKey(key, text);
}

VValueBag* VLocalizationManager::RetainGroupBag(const VString& groupResName) {
  StLocker<VCriticalSection> locker(fLock);
  auto it = fGroupBagsByResname.find(groupResName);
  if (it == fGroupBagsByResname.end()) return nullptr;
  it->second->Retain();
  return it->second.Get();
}

bool VLocalizationManager::LocalizeStringWithSTRSharpCodes(const STRSharpCodes& codes,
                                                           VString& result) {
  StLocker<VCriticalSection> locker(fLock);
  auto it = fSTRSharpStrings.find(codes);
  if (it == fSTRSharpStrings.end()) return false;
  result = it->second;
  return true;
}

bool VLocalizationManager::LocalizeGroupOfStringsWithAStrSharpID(int32 groupID,
                                                                 std::vector<VString>& strings) {
  StLocker<VCriticalSection> locker(fLock);
  strings.clear();
  for (uint32 unit = 1;; ++unit) {
    auto it = fSTRSharpStrings.find(STRSharpCodes(groupID, unit));
    if (it == fSTRSharpStrings.end()) break;
    strings.push_back(it->second);
  }
  return !strings.empty();
}

bool VLocalizationManager::GetOrderedStringsOfGroup(const VString& groupResName,
                                                    std::vector<VString>& strings) {
  StLocker<VCriticalSection> locker(fLock);
  strings.clear();
  auto it = fGroups.find(groupResName);
  if (it == fGroups.end() || it->second.empty()) return false;
  for (const auto& entry : it->second) strings.push_back(entry.second);
  return true;
}

void VLocalizationManager::RetainGroupBagsByRestype(const VString& restype,
                                                    std::vector<VRefPtr<VValueBag>>& bags) {
  StLocker<VCriticalSection> locker(fLock);
  auto [first, last] = fGroupBagsByRestype.equal_range(restype);
  for (auto it = first; it != last; ++it) bags.push_back(it->second);
}

size_t VLocalizationManager::StrictKeyHash::operator()(const VString& key) const {
  // FNV-1a over every unit before the first 0 one, so that keys the
  // equality takes as one hash alike, and long keys sharing their ends
  // (object URLs) still spread.
  const UniChar* units = key.GetCPointer();
  uint64 hash = 14695981039346656037ULL;
  for (int32 i = 0; i < key.GetLength() && units[i] != 0; ++i) {
    hash = (hash ^ units[i]) * 1099511628211ULL;
  }
  return size_t(hash);
}

bool VLocalizationManager::_InsertString(StringMap& table, const VString& key, const VString& text,
                                         bool replace) {
  auto [it, inserted] = table.try_emplace(key, text);
  if (!inserted && replace) it->second = text;
  return true;
}

bool VLocalizationManager::_InsertSTRSharpCodeAndString(const STRSharpCodes& codes,
                                                        const VString& text, bool replace) {
  auto [it, inserted] = fSTRSharpStrings.emplace(codes, text);
  if (!inserted && replace) it->second = text;
  return true;
}

bool VLocalizationManager::_InsertObjectURLAndString(const VString& key, const VString& text,
                                                     bool replace) {
  return _InsertString(fKeyStrings, key, text, replace);
}

bool VLocalizationManager::_InsertDotStringsKeyAndString(const VString& key, const VString& text,
                                                         bool replace) {
  // The strings-key table answers LocalizeStringWithDotStringsKey (type
  // descriptions among others); the key table answers every key look-up.
  _InsertString(fDotStringsKeys, key, text, replace);
  return _InsertString(fKeyStrings, key, text, replace);
}

bool VLocalizationManager::_InsertIDAndStringInAGroup(uint32 unitID, const VString& text,
                                                      const VString& groupResName,
                                                      bool /*replace*/) {
  fGroups[groupResName][unitID] = text;
  return true;
}

void VLocalizationManager::_InsertGroupBag(const VString& resname, const VString& restype,
                                           VValueBag* bag) {
  if (!resname.IsEmpty() && !resname.IsNull()) {
    fGroupBagsByResname.emplace(resname, VRefPtr<VValueBag>(bag));
  }
  fGroupBagsByRestype.emplace(restype, VRefPtr<VValueBag>(bag));
}

}  // namespace zeft
