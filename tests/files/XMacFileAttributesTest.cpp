// The attribute helpers of the platform file: times, the locked and hidden
// bits, effective permissions, unlocking, volume space, links and aliases.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "files/VFile.h"
#include "files/mac/XMacFile.h"
#include "platform/ChildProcess.h"
#include "support/ErrorTestSupport.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::FileAt;
using test::HasToolboxError;
using test::PosixFilePath;
using test::TempFolder;

constexpr VError Posix(int number) { return MakeVError(kComponentPosix, number); }

// Whether the file system lets this process set the immutable flag.
bool CanSetImmutable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  int flags = 0;
  bool can = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (can) {
    int set = flags | FS_IMMUTABLE_FL;
    can = ::ioctl(fd, FS_IOC_SETFLAGS, &set) == 0 && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  if (fd >= 0) ::close(fd);
  return can;
}

class XMacFileAttributesTest : public ::testing::Test {
 protected:
  TempFolder fFolder;
};

TEST_F(XMacFileAttributesTest, TimesRoundTripAndTheCreationTimeIsLeftAlone) {
  const std::string path = fFolder.Write("f", "f");
  VTime modified, accessed, created;
  modified.FromUTCTime(2001, 2, 3, 4, 5, 6, 789);
  accessed.FromUTCTime(1999, 12, 31, 23, 59, 58, 0);
  created.FromUTCTime(1980, 1, 1, 0, 0, 0, 0);
  ASSERT_EQ(XMacFile::SetTimeAttributes(path.c_str(), &modified, &created, &accessed), VE_OK);
  VTime readModified, readCreated, readAccessed;
  ASSERT_EQ(
      XMacFile::GetTimeAttributes(path.c_str(), false, &readModified, &readCreated, &readAccessed),
      VE_OK);
  EXPECT_EQ(readModified.GetStamp(), modified.GetStamp());
  EXPECT_EQ(readAccessed.GetStamp(), accessed.GetStamp());
  EXPECT_GT(readCreated.GetStamp(), modified.GetStamp());  // today, not 1980

  // Only the given time changes; a link's own times, not its target's.
  ASSERT_EQ(::symlink(path.c_str(), fFolder.Path("link").c_str()), 0);
  VTime linkTime;
  linkTime.FromUTCTime(2010, 6, 7, 8, 9, 10, 0);
  ASSERT_EQ(XMacFile::SetTimeAttributes(fFolder.Path("link").c_str(), &linkTime, nullptr, nullptr),
            VE_OK);
  ASSERT_EQ(XMacFile::GetTimeAttributes(path.c_str(), false, &readModified, nullptr, &readAccessed),
            VE_OK);
  EXPECT_EQ(readModified.GetStamp(), modified.GetStamp());
  EXPECT_EQ(readAccessed.GetStamp(), accessed.GetStamp());
  ASSERT_EQ(XMacFile::GetTimeAttributes(fFolder.Path("link").c_str(), false, &readModified, nullptr,
                                        nullptr),
            VE_OK);
  EXPECT_EQ(readModified.GetStamp(), linkTime.GetStamp());
  EXPECT_EQ(XMacFile::GetTimeAttributes(fFolder.Path("none").c_str(), false, &readModified, nullptr,
                                        nullptr),
            Posix(ENOENT));
}

TEST_F(XMacFileAttributesTest, HiddenMeansADotName) {
  const std::string dotted = fFolder.Write(".hidden", "h");
  const std::string plain = fFolder.Write("plain", "p");
  unsigned attributes = 99;
  ASSERT_EQ(XMacFile::GetPathAttributes(dotted.c_str(), false, attributes), VE_OK);
  EXPECT_EQ(attributes, kFileAttributeHidden);
  ASSERT_EQ(XMacFile::GetPathAttributes(plain.c_str(), false, attributes), VE_OK);
  EXPECT_EQ(attributes, 0u);
  EXPECT_EQ(XMacFile::SetPathAttributes(dotted.c_str(), false, kFileAttributeHidden), VE_OK);
  EXPECT_EQ(XMacFile::SetPathAttributes(dotted.c_str(), false, 0), VE_OK);
  EXPECT_EQ(XMacFile::SetPathAttributes(plain.c_str(), false, kFileAttributeHidden),
            Posix(ENOTSUP));
  EXPECT_EQ(XMacFile::SetPathAttributes(plain.c_str(), false, 0), VE_OK);
}

TEST_F(XMacFileAttributesTest, LockedIsTheImmutableFlag) {
  const std::string path = fFolder.Write("locked", "l");
  if (!CanSetImmutable(path)) GTEST_SKIP() << "no immutable flag here";
  ASSERT_EQ(XMacFile::SetPathAttributes(path.c_str(), false, kFileAttributeLocked), VE_OK);
  unsigned attributes = 0;
  ASSERT_EQ(XMacFile::GetPathAttributes(path.c_str(), false, attributes), VE_OK);
  EXPECT_EQ(attributes, kFileAttributeLocked);
  EXPECT_NE(::unlink(path.c_str()), 0);
  // Root may do anything; any other user nothing with a locked file.
  unsigned permission = 0;
  EXPECT_EQ(XMacFile::GetEffectivePermission(path.c_str(), permission), VE_OK);
  EXPECT_EQ(permission, ::geteuid() == 0 ? 7u : 0u);
  if (test::RunsAsNobody()) {
    ::chmod(fFolder.Path().c_str(), 0755);
    EXPECT_EQ(test::RunInChild(
                  [&] {
                    unsigned p = 9;
                    return XMacFile::GetEffectivePermission(path.c_str(), p) == VE_OK ? int(p) : 99;
                  },
                  true),
              0);
  }
  // Unlocking clears it.
  ASSERT_EQ(XMacFile::UnlockPath(path.c_str()), VE_OK);
  ASSERT_EQ(XMacFile::GetPathAttributes(path.c_str(), false, attributes), VE_OK);
  EXPECT_EQ(attributes, 0u);
  EXPECT_EQ(::unlink(path.c_str()), 0);
}

TEST_F(XMacFileAttributesTest, EffectivePermissionOfOwnerGroupAndOthers) {
  if (!test::RunsAsNobody()) GTEST_SKIP() << "needs root to switch users";
  ::chmod(fFolder.Path().c_str(), 0755);
  struct Case {
    uid_t owner;
    gid_t group;
    mode_t mode;
    unsigned expected;
  } cases[] = {
      {test::kNobody, 0, 0640, 6},  // owner
      {0, test::kNobody, 0750, 5},  // group (nobody's own group)
      {0, 0, 0754, 4},              // others
      {0, 0, 0770, 0},
  };
  for (const Case& c : cases) {
    const std::string path = fFolder.Write("p", "p");
    ASSERT_EQ(::chown(path.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    EXPECT_EQ(test::RunInChild(
                  [&] {
                    unsigned p = 9;
                    return XMacFile::GetEffectivePermission(path.c_str(), p) == VE_OK ? int(p) : 99;
                  },
                  true),
              int(c.expected))
        << std::oct << c.mode;
  }
}

TEST_F(XMacFileAttributesTest, GroupListsLongerThanTheRoomAreAskedAgain) {
  std::vector<gid_t> groups;
  std::vector<gid_t> all;
  ASSERT_TRUE(XMacFile::GetUserGroups("root", 4242, 100, all));
  ASSERT_GE(all.size(), 1u);
  for (int capacity : {0, 1}) {
    ASSERT_TRUE(XMacFile::GetUserGroups("root", 4242, capacity, groups)) << capacity;
    EXPECT_EQ(groups, all) << capacity;
  }
  EXPECT_NE(std::find(all.begin(), all.end(), gid_t(4242)), all.end());
}

TEST_F(XMacFileAttributesTest, UnlockGivesTheOwnerAccess) {
  const std::string file = fFolder.Write("f", "f");
  const std::string folder = fFolder.MakeFolder("d");
  ::chmod(file.c_str(), 0444);
  ::chmod(folder.c_str(), 0500);
  EXPECT_EQ(XMacFile::UnlockPath(file.c_str()), VE_OK);
  EXPECT_EQ(XMacFile::UnlockPath(folder.c_str()), VE_OK);
  struct stat info;
  ::stat(file.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  ::stat(folder.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(XMacFileAttributesTest, VolumeSpaceOfAMissingItemIsItsFolders) {
  int64 free = 0, total = 0, folderFree = 0, folderTotal = 0;
  ASSERT_EQ(
      XMacFile::GetVolumeFreeSpace(fFolder.Path("missing").c_str(), &free, &total, false, nullptr),
      VE_OK);
  ASSERT_EQ(XMacFile::GetVolumeFreeSpace(fFolder.Path().c_str(), &folderFree, &folderTotal, false,
                                         nullptr),
            VE_OK);
  EXPECT_EQ(total, folderTotal);
  EXPECT_GT(total, 0);
}

TEST_F(XMacFileAttributesTest, LinksRelativeAndAbsolute) {
  const std::string target = fFolder.Write("top.txt", "t");
  fFolder.MakeFolder("a/b");
  auto link = FileAt(fFolder.Path("a/b/link"));
  ASSERT_EQ(link->MAC_CreateSymbolicLink(PosixFilePath(target), false), VE_OK);
  VString text;
  ASSERT_EQ(link->GetImpl().ReadSymbolicLink(text), VE_OK);
  EXPECT_EQ(to_string(text), "../../top.txt");
  ASSERT_EQ(link->MAC_CreateSymbolicLink(PosixFilePath(target), true), VE_OK);
  ASSERT_EQ(link->GetImpl().ReadSymbolicLink(text), VE_OK);
  EXPECT_EQ(to_string(text), target);
  EXPECT_TRUE(link->MAC_IsSymbolicLink());
  EXPECT_TRUE(link->IsAliasFile());
  VFilePath resolved;
  ASSERT_EQ(link->ResolveAlias(resolved), VE_OK);
  EXPECT_EQ(resolved.GetPath(), PosixFilePath(target).GetPath());

  // An alias made relative to a folder is a relative link.
  auto alias = FileAt(fFolder.Path("a/alias"));
  const VFilePath base = PosixFilePath(fFolder.Path("a") + "/");
  ASSERT_EQ(alias->CreateAlias(PosixFilePath(fFolder.Path("a/b/")), &base), VE_OK);
  ASSERT_EQ(alias->GetImpl().ReadSymbolicLink(text), VE_OK);
  EXPECT_EQ(to_string(text), "b/");
  ASSERT_EQ(alias->ResolveAlias(resolved), VE_OK);
  EXPECT_TRUE(resolved.IsFolder());
}

// Resolution opens nothing (a FIFO would block) and only files and folders
// are targets.
TEST_F(XMacFileAttributesTest, ResolvingALinkToAFIFONeverBlocks) {
  ASSERT_EQ(::mkfifo(fFolder.Path("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("fifo", fFolder.Path("link").c_str()), 0);
  const int status = test::RunInChild(
      [&] {
        ErrorCollector errors;
        VFilePath target(VString("Root:stale"));
        const VError result = FileAt(fFolder.Path("link"))->ResolveAlias(target);
        return result == ToolboxError(toolbox_error::kFileCannotResolveAlias) && target.IsEmpty()
                   ? 0
                   : 1;
      },
      false, 10);
  EXPECT_EQ(status, 0);
}

TEST_F(XMacFileAttributesTest, ResolvingAnOrdinaryFilePushes611) {
  const std::string path = fFolder.Write("plain", "p");
  ErrorCollector errors;
  VFilePath target;
  EXPECT_EQ(FileAt(path)->GetImpl().ResolveAlias(target),
            ToolboxError(toolbox_error::kFileCannotResolveAlias));
  EXPECT_TRUE(
      HasToolboxError(errors.Errors(), toolbox_error::kFileCannotResolveAlias, "name", "plain"));
}

TEST_F(XMacFileAttributesTest, ExtensionVisibilityFollowsTheFlag) {
  const std::string path = fFolder.Write("doc.txt", "d");
  auto file = FileAt(path);
  char value[8];
  file->MAC_SetExtensionVisible(false);
  const ssize_t size = ::lgetxattr(path.c_str(), "user.zeft.hidden-extension", value, 8);
  if (size < 0 && errno == ENOTSUP) GTEST_SKIP() << "no user extended attributes here";
  EXPECT_EQ(size, 1);
  file->MAC_SetExtensionVisible(true);
  EXPECT_LT(::lgetxattr(path.c_str(), "user.zeft.hidden-extension", value, 8), 0);
}

TEST_F(XMacFileAttributesTest, SizesForksAndTypeCodes) {
  const std::string path = fFolder.Write("f", "12345");
  auto file = FileAt(path);
  int64 size = 0;
  EXPECT_EQ(file->GetResourceForkSize(&size), VE_OK);
  EXPECT_EQ(size, 0);
  EXPECT_FALSE(file->HasResourceFork());
  unsigned code = 7;
  EXPECT_EQ(file->MAC_GetKind(&code), VE_OK);
  EXPECT_EQ(code, 0u);
  unsigned uid = 1, gid = 1;
  EXPECT_EQ(file->Mac_GetOwner(uid, gid), VE_OK);
  EXPECT_EQ(uid, ::geteuid());
}

}  // namespace
}  // namespace zeft
