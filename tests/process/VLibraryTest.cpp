#include "process/VLibrary.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "ProcessTestSupport.h"
#include "core/StStringConverter.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::Posix;
using test::PosixPath;
using test::TemporaryFolder;

TEST(VLibrary, LoadsOnceAndLooksFunctionsUp) {
  VRefPtr<VLibrary> library(new VLibrary(PosixPath(ZEFT_COMPONENTS_COMPLETE)), kAdoptRef);
  EXPECT_EQ(library->GetProcAddress(VString("Main")), nullptr);
  EXPECT_FALSE(library->IsLoaded());
  EXPECT_TRUE(library->Load());
  EXPECT_TRUE(library->Load());
  EXPECT_NE(library->GetProcAddress(VString("Main")), nullptr);
  EXPECT_NE(library->GetProcAddress(VString("CreateComponent")), nullptr);
  EXPECT_EQ(library->GetProcAddress(VString("NoSuchFunction")), nullptr);
  // A single file has no bundle folders.
  EXPECT_EQ(library->RetainFolder(kBundleFolder), nullptr);
  EXPECT_EQ(library->RetainExecutableFile(), nullptr);
  library->Unload();
  EXPECT_EQ(library->GetProcAddress(VString("Main")), nullptr);
  EXPECT_TRUE(library->Load());
}

TEST(VLibrary, SingleFileIsMadeReadableAndExecutableForEverybody) {
  TemporaryFolder folder;
  const std::string file = folder.Copy(ZEFT_COMPONENTS_COMPLETE, "plain.so", 0600);
  VRefPtr<VLibrary> library(new VLibrary(PosixPath(file)), kAdoptRef);
  EXPECT_TRUE(library->Load());
  struct stat status;
  ASSERT_EQ(::stat(file.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0755u);
}

TEST(VLibrary, BundleAnswersItsFolders) {
  TemporaryFolder folder;
  const std::string bundle = folder.MakeBundle("Tool", ZEFT_COMPONENTS_COMPLETE);
  VRefPtr<VLibrary> library(new VLibrary(PosixPath(bundle)), kAdoptRef);
  ASSERT_TRUE(library->Load());
  EXPECT_NE(library->GetProcAddress(VString("GetNthComponentType")), nullptr);
  const std::pair<BundleFolderKind, std::string> kinds[] = {
      {kBundleFolder, bundle},
      {kBundleExecutableFolder, bundle + "Contents/MacOS/"},
      {kBundleResourcesFolder, bundle + "Contents/Resources/"},
      {kBundlePlugInsFolder, bundle + "Contents/PlugIns/"},
      {kBundlePrivateFrameworksFolder, bundle + "Contents/Frameworks/"},
      {kBundleSupportFilesFolder, bundle + "Contents/SharedSupport/"}};
  for (const auto& [kind, expected] : kinds) {
    VRefPtr<VFolder> result(library->RetainFolder(kind), kAdoptRef);
    ASSERT_NE(result.Get(), nullptr) << int(kind);
    EXPECT_EQ(Posix(result->GetPath()), expected);
  }
  EXPECT_EQ(library->RetainFolder(BundleFolderKind(4)), nullptr);
  VRefPtr<VFile> executable(library->RetainExecutableFile(), kAdoptRef);
  ASSERT_NE(executable.Get(), nullptr);
  EXPECT_EQ(Posix(executable->GetPath()), bundle + "Contents/MacOS/Tool");
}

TEST(VLibrary, FrameworkLinksStoredAsTextAreRepaired) {
  TemporaryFolder folder;
  folder.Copy(ZEFT_COMPONENTS_COMPLETE, "Kit.framework/Versions/A/Kit");
  folder.Write("Kit.framework/Versions/Current",
               "XSym\n0001\n0cc175b9c0f1b6a831c399e269772661\nA\n");
  folder.Write("Kit.framework/Kit",
               "XSym\n0021\n0cc175b9c0f1b6a831c399e269772661\nVersions/Current/Kit\n");
  VRefPtr<VLibrary> library(new VLibrary(PosixPath(folder.Path() + "Kit.framework/")), kAdoptRef);
  EXPECT_TRUE(library->Load());
  char target[256] = {};
  ASSERT_GT(::readlink((folder.Path() + "Kit.framework/Versions/Current").c_str(), target,
                       sizeof target - 1),
            0);
  EXPECT_STREQ(target, "A");
  EXPECT_NE(library->GetProcAddress(VString("Main")), nullptr);
}

TEST(VLibrary, ShortLinkTextLeavesErrorAndNothingRepaired) {
  TemporaryFolder folder;
  const std::string link =
      folder.Write("Broken.framework/Versions/Current", "XSym\n0001\n0cc175b9c0f1b6a831c399e2\n");
  test::ErrorCollector errors;
  VRefPtr<VLibrary> library(new VLibrary(PosixPath(folder.Path() + "Broken.framework/")),
                            kAdoptRef);
  EXPECT_FALSE(library->Load());
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), 617));
  struct stat status;
  ASSERT_EQ(::lstat(link.c_str(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));
}

TEST(VLibrary, FileThatIsNoLibraryFailsWithTheLoadersReason) {
  TemporaryFolder folder;
  const std::string file = folder.Write("text.so", "not a library", 0755);
  test::ErrorCollector errors;
  VRefPtr<VLibrary> library(new VLibrary(PosixPath(file)), kAdoptRef);
  EXPECT_FALSE(library->Load());
  const std::vector<test::ErrorRecord> records = errors.Errors();
  ASSERT_TRUE(test::HasToolboxError(records, 1010, "reason"));
  for (const test::ErrorRecord& record : records) {
    if (record.code == ToolboxError(1010)) {
      EXPECT_NE(record.parameters.at("reason"), "");
    }
  }
  VRefPtr<VLibrary> missing(new VLibrary(PosixPath(folder.Path() + "none.so")), kAdoptRef);
  EXPECT_FALSE(missing->Load());
}

TEST(VLibrary, SameFileComparesPathsExactly) {
  VRefPtr<VLibrary> library(new VLibrary(PosixPath("/opt/Kits/Tool.bundle/")), kAdoptRef);
  EXPECT_TRUE(library->IsSameFile(PosixPath("/opt/Kits/Tool.bundle/")));
  EXPECT_FALSE(library->IsSameFile(PosixPath("/opt/kits/tool.bundle/")));
  EXPECT_FALSE(library->IsSameFile(PosixPath("/opt/Kits/Other.bundle/")));
}

}  // namespace
}  // namespace zeft
