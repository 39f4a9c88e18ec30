// The localization-folder look-ups of the international settings over
// folder paths.
#include <gtest/gtest.h>

#include <vector>

#include "core/VIntlMgr.h"
#include "files/VFilePath.h"
#include "support/StringTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

VFilePath FolderPath(const std::string& posix) {
  return VFilePath(VString((posix + "/").c_str()), kFilePathStylePosix);
}

std::string Posix(const VFilePath& path) {
  VString text;
  path.GetPosixPath(text);
  return to_string(text);
}

TEST(VIntlMgrFilePaths, FoldersAndFilesOfADialect) {
  test::TempFolder resources;
  resources.MakeFolder("en.lproj");
  resources.MakeFolder("en_GB.lproj");
  resources.MakeFolder("fr.lproj");
  resources.Write("en_GB.lproj/Errors.strings", "x");
  const VFilePath folder = FolderPath(resources.Path());

  std::vector<VFilePath> found;
  ASSERT_TRUE(VIntlMgr::GetLocalizationFoldersWithDialect(2057, folder, found));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_TRUE(found[0].IsFolder());
  // 'en_gb' (matched without case) comes before "en".
  EXPECT_EQ(Posix(found[0]), resources.Path("en_GB.lproj/"));
  EXPECT_EQ(Posix(found[1]), resources.Path("en.lproj/"));

  VFilePath file;
  ASSERT_TRUE(VIntlMgr::GetLocalizationFilePath(folder, VString("Errors.strings"), 2057, file));
  EXPECT_TRUE(file.IsFile());
  EXPECT_EQ(Posix(file), resources.Path("en_GB.lproj/Errors.strings"));
  EXPECT_FALSE(VIntlMgr::GetLocalizationFilePath(folder, VString("Absent.strings"), 2057, file));
  EXPECT_TRUE(file.IsEmpty());

  // Only valid folder paths are looked in.
  found.clear();
  EXPECT_FALSE(VIntlMgr::GetLocalizationFoldersWithDialect(1036, VFilePath(), found));
  VFilePath asFile(VString(resources.Path().c_str()), kFilePathStylePosix);
  EXPECT_FALSE(VIntlMgr::GetLocalizationFoldersWithDialect(1036, asFile, found));
  EXPECT_TRUE(VIntlMgr::GetLocalizationFoldersWithDialect(1036, folder, found));
}

}  // namespace
}  // namespace zeft
