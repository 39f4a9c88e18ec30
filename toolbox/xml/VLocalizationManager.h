// VLocalizationManager is the string store of one user-interface language:
// it loads the XLIFF (".xlf") and ".strings" files of a bundle's Resources
// folder and of its language folders, and answers look-ups by key, by
// numbered code, by group, and error texts for error codes. The updater
// makes one with the chosen language, loads its bundle with
// LoadDefaultLocalizationFoldersForComponentOrPlugin (or a Resources
// folder with LoadDefaultLocalizationFolders) and registers it as the
// localizer of its error components. Loading takes no lock: a manager is
// loaded before it is shared; look-ups hold the manager's lock.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/DialectCode.h"
#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/VStringLessCompareLike.h"
#include "core/VStringLessCompareStrict.h"
#include "files/VFilePath.h"
#include "runtime/VCriticalSection.h"
#include "values/VTime.h"
#include "xml/ILocalizer.h"

namespace zeft {

class VFile;
class VFolder;
class VLocalizationXMLHandler;
class VValueBag;
class VXMLParser;

// A numbered string: group id, then unit id.
struct STRSharpCodes {
  int32 fGroupID = 0;
  uint32 fUnitID = 0;
  STRSharpCodes() = default;
  STRSharpCodes(int32 groupID, uint32 unitID) : fGroupID(groupID), fUnitID(unitID) {}
  bool operator<(const STRSharpCodes& other) const {
    return std::pair(fGroupID, fUnitID) < std::pair(other.fGroupID, other.fUnitID);
  }
};

class VLocalizationManager : public VObject, public IRefCountable, public ILocalizer {
 public:
  explicit VLocalizationManager(DialectCode language);
  ~VLocalizationManager() override;

  // Loads "Contents/Resources" of a bundle folder; false for a missing
  // bundle or when no language folder could be loaded.
  bool LoadDefaultLocalizationFoldersForComponentOrPlugin(const VFolder* bundleFolder);
  // Loads the folder's own files without language check, then its language
  // folders for the manager's language with the check; true when at least
  // one language folder was loaded.
  bool LoadDefaultLocalizationFolders(const VFolder* resourcesFolder);
  // Loads every file directly inside the folder and remembers the folder
  // (with the language-check choice, which later reloads keep).
  VError ScanAndLoadFolder(const VFolder* folder, bool avoidLanguageCheck);
  VError LoadFile(const VFile* file, bool avoidLanguageCheck);
  // Reads an XLIFF file into the tables: the reading error, 0 once read
  // (parse errors stay on the task's error stack).
  VError AnalyzeXLIFFFile(const VFile* file, bool avoidLanguageCheck);
  // Reads "key" = "value"; lines into the key and strings-key tables.
  VError AnalyzeDotStringsFile(const VFile* file);
  // Empties every table; what was loaded is remembered for UpdateIfNeeded.
  bool ClearLocalizations();
  // Whether a loaded XLIFF file changed or vanished, or a scanned folder
  // vanished or gained an XLIFF file; refreshes the recorded times.
  bool DoesNeedAnUpdate();
  // Reloads everything remembered when DoesNeedAnUpdate says so.
  bool UpdateIfNeeded();

  // ILocalizer.
  bool LocalizeStringWithKey(const VString& key, VString& result) override;
  bool LocalizeStringWithDotStringsKey(const VString& key, VString& result) override;
  // The key "ERR_" + component letters + "_" + signed number.
  bool LocalizeErrorMessage(VError code, VString& text) override;
  DialectCode GetLocalizationLanguage() const override { return fLanguage; }
  VValueBag* RetainGroupBag(const VString& groupResName) override;

  bool LocalizeStringWithSTRSharpCodes(const STRSharpCodes& codes, VString& result);
  // The strings of units 1, 2, 3... of a group, up to the first missing.
  bool LocalizeGroupOfStringsWithAStrSharpID(int32 groupID, std::vector<VString>& strings);
  // The strings of a group resname in ascending unit-id order.
  bool GetOrderedStringsOfGroup(const VString& groupResName, std::vector<VString>& strings);
  // Appends the bags stored under a restype, retained, in stored order.
  void RetainGroupBagsByRestype(const VString& restype, std::vector<VRefPtr<VValueBag>>& bags);

  // Insertions of the readers (no lock, see above). Codes and keys already
  // present are replaced only with `replace`; group entries always.
  bool _InsertSTRSharpCodeAndString(const STRSharpCodes& codes, const VString& text, bool replace);
  bool _InsertObjectURLAndString(const VString& key, const VString& text, bool replace);
  bool _InsertDotStringsKeyAndString(const VString& key, const VString& text, bool replace);
  bool _InsertIDAndStringInAGroup(uint32 unitID, const VString& text, const VString& groupResName,
                                  bool replace);
  void _InsertGroupBag(const VString& resname, const VString& restype, VValueBag* bag);

 private:
  struct RememberedPath {
    VFilePath fPath;
    bool fAvoidLanguageCheck;
  };
  struct PathLess {
    bool operator()(const VFilePath& a, const VFilePath& b) const {
      return a.GetPath().CompareToStringRaw(b.GetPath()) == kCompareLess;
    }
  };
  // The key tables are only ever searched, never walked in order: a hash
  // table spares the dozen comparisons an ordered insertion costs. Keys
  // are the same when VStringLessCompareStrict finds neither less, that is
  // when their units agree up to the first 0 unit.
  struct StrictKeyHash {
    size_t operator()(const VString& key) const;
  };
  struct StrictKeyEqual {
    bool operator()(const VString& a, const VString& b) const {
      return a.CompareToStringRaw(b) == kCompareEqual;
    }
  };
  using StringMap = std::unordered_map<VString, VString, StrictKeyHash, StrictKeyEqual>;

  VError _LoadFile(const VFile* file, bool fromScan, bool avoidLanguageCheck);
  void _Remember(const VFilePath& path, bool avoidLanguageCheck);
  static bool _InsertString(StringMap& table, const VString& key, const VString& text,
                            bool replace);

  VCriticalSection fLock;
  DialectCode fLanguage;
  std::map<STRSharpCodes, VString> fSTRSharpStrings;
  StringMap fKeyStrings;
  std::map<VString, std::map<uint32, VString>, VStringLessCompareStrict> fGroups;
  StringMap fDotStringsKeys;
  VXMLParser* fParser;
  VLocalizationXMLHandler* fRootHandler;
  std::vector<RememberedPath> fRememberedPaths;
  std::map<VFilePath, VTime, PathLess> fTrackedFiles;
  std::map<VString, VRefPtr<VValueBag>, VStringLessCompareLike> fGroupBagsByResname;
  std::multimap<VString, VRefPtr<VValueBag>, VStringLessCompareStrict> fGroupBagsByRestype;
  std::vector<VRefPtr<VFolder>> fLanguageFolders;
};

}  // namespace zeft
