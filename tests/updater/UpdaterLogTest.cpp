// The updater's error records: their built-in English texts and the texts
// a person reads.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "UpdaterLog.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "support/TempFolder.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

std::string XmlText(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, character] : entities) {
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
      text.replace(at, std::strlen(entity), character);
  }
  return text;
}

// The English texts of the updater's errors in the bundle's localization.
std::map<int32, std::string> LocalizedTexts() {
  const std::string xliff = test::ReadWholeFile(ZEFT_UPDATER_XLIFF);
  const std::string unit = "<trans-unit resname=\"ERR_UPNV_";
  std::map<int32, std::string> texts;
  for (size_t at = xliff.find(unit); at != std::string::npos; at = xliff.find(unit, at + 1)) {
    const int32 code = std::stoi(xliff.substr(at + unit.size()));
    const size_t start = xliff.find("<source>", at) + std::strlen("<source>");
    texts[code] = XmlText(xliff.substr(start, xliff.find("</source>", start) - start));
  }
  return texts;
}

// The text the program carries for when no localizer knows the code is
// the bundle's English text, for every code the updater raises.
TEST(UpdaterErrorTexts, TheBuiltInEnglishTextsAreTheBundlesOwn) {
  using namespace updater_error;
  const int32 codes[] = {
      kWaitTimedOut,          kUpToDateBundleMissing, kOutdatedBundleMissing, kFileCopyFailed,
      kRenameAsideFailed,     kCreateParentFailed,    kCopyIntoPlaceFailed,   kSameOrNestedBundles,
      kUpToDateBundleInvalid, kUpdateInProgress,      kSwapStoppedHalfway,    kLockFailed,
      kLockFileInTheWay,      kSwapRecordUnreadable,  kInstalledPathTaken,    kPutBackFailed,
      kBadCustomizationFile,  kInstallFailed,         kLogStartFailed,        kRelaunchFailed};
  const std::map<int32, std::string> localized = LocalizedTexts();
  EXPECT_EQ(localized.size(), std::size(codes));
  for (int32 code : codes) {
    VErrorBase* error = CreateUpdaterError(UpdaterError(code));
    VString builtIn;
    error->GetBag()->GetString(ErrorBagKeys::error_description, builtIn);
    error->Release();
    ASSERT_TRUE(localized.count(code)) << code;
    EXPECT_EQ(to_string(builtIn), localized.at(code)) << code;
  }
}

// A person reads POSIX paths; the record keeps the native form that
// callers may rely on.
TEST(UpdaterErrorTexts, TextsShowPosixPathsAndRecordsKeepTheirOwn) {
  const VFilePath folder(VString("/tmp/x/Apps/Large.app/"), kFilePathStylePosix);
  const VFilePath file(VString("/tmp/x/Apps/a b.txt"), kFilePathStylePosix);
  const VFilePath hidden(VString("/tmp/x/Apps/.Large.app.zeft-0123456789ab/Large.app/"),
                         kFilePathStylePosix);
  const struct {
    VError fCode;
    int fPaths;
    const char* fStoredKey;  // the parameter that holds `folder`
    const char* fText;
  } cases[] = {
      {UpdaterError(updater_error::kOutdatedBundleMissing), 1, "path",
       "The application to update was not found at '/tmp/x/Apps/Large.app/'."},
      {UpdaterError(updater_error::kFileCopyFailed), 2, "dstPath",
       "The file '/tmp/x/Apps/a b.txt' could not be copied to '/tmp/x/Apps/Large.app/'."},
      {UpdaterError(updater_error::kInstalledPathTaken), 3, "srcPath",
       "An interrupted update left the application to update at '/tmp/x/Apps/Large.app/' and the "
       "up-to-date application at '/tmp/x/Apps/.Large.app.zeft-0123456789ab/Large.app/', but "
       "'/tmp/x/Apps/a b.txt' stands where the application belongs. Nothing was moved; move "
       "'/tmp/x/Apps/a b.txt' away, then run the update again to put the application back and "
       "finish the update."},
  };
  for (const auto& c : cases) {
    StErrorContextInstaller errors(false, true);
    if (c.fPaths == 1) ThrowErrorWithPath(c.fCode, folder);
    if (c.fPaths == 2) ThrowErrorWithPaths(c.fCode, file, folder);
    if (c.fPaths == 3) ThrowErrorWithPaths(c.fCode, folder, hidden, file);
    const VErrorBase* error = errors.GetContext()->GetLast();
    ASSERT_NE(error, nullptr);
    VString text;
    GetErrorText(*error, text);
    EXPECT_EQ(to_string(text), c.fText);
    VString stored;
    error->GetBag()->GetString(StPackedDictionaryKey(c.fStoredKey), stored);
    EXPECT_EQ(stored, folder.GetPath());
  }
}

}  // namespace
}  // namespace zeft
