#include "platform/Trash.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>

#include "platform/FileDescriptor.h"
#include "platform/TreeDeleter.h"
#include "platform/UserEnvironment.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::TempFolder;

using zeft::test::ReadWholeFile;

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// The record with its deletion date, checked to be the local time of now
// (within a minute) in the form YYYY-MM-DDThh:mm:ss, replaced by "<now>".
std::string RecordWithoutDate(const std::string& record) {
  static const std::string kKey = "\nDeletionDate=";
  size_t at = record.find(kKey);
  if (at == std::string::npos) return record;
  at += kKey.size();
  size_t end = record.find('\n', at);
  if (end == std::string::npos) return record;
  const std::string date = record.substr(at, end - at);
  struct tm local = {};
  const char* parsed = ::strptime(date.c_str(), "%Y-%m-%dT%H:%M:%S", &local);
  if (parsed == nullptr || *parsed != '\0' || date.size() != 19) return record;
  local.tm_isdst = -1;
  EXPECT_LT(std::abs(std::difftime(::mktime(&local), ::time(nullptr))), 60.0) << date;
  return record.substr(0, at) + "<now>" + record.substr(end);
}

class TrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fEnvironment.fHome = fFolder.MakeFolder("home");
    fEnvironment.fDataHome = fFolder.Path("data");
    SetUserEnvironmentForTesting(&fEnvironment);
  }
  void TearDown() override {
    SetUserEnvironmentForTesting(nullptr);
    DeleteTree(fFolder.Path(), true);
  }
  TempFolder fFolder;
  UserEnvironment fEnvironment;
};

TEST_F(TrashTest, ItemGoesToTheHomeTrashWithItsRecord) {
  const std::string item = fFolder.Write("work/Old 100% é.app/Contents/file", "x");
  const std::string bundle = fFolder.Path("work/Old 100% é.app");
  std::string trashed;

  PathError result = TrashItem(bundle, &trashed);

  ASSERT_FALSE(result.Failed()) << result.fCode << " " << result.fPath;
  const std::string trash = fFolder.Path("data/Trash");
  EXPECT_EQ(trashed, trash + "/files/Old 100% é.app");
  EXPECT_FALSE(Exists(bundle));
  EXPECT_EQ(ReadWholeFile(trashed + "/Contents/file"), "x");
  EXPECT_EQ(RecordWithoutDate(ReadWholeFile(trash + "/info/Old 100% é.app.trashinfo")),
            "[Trash Info]\nPath=" + fFolder.Path("work/Old%20100%25%20%C3%A9.app") +
                "\nDeletionDate=<now>\n");
}

// An item reached through its open folder is trashed even though the
// folder was renamed meanwhile, under the name and with the origin given.
TEST_F(TrashTest, AnItemOfAnOpenFolderIsTrashedWithTheRecordedPath) {
  fFolder.Write("work/.hidden/Demo.app/Contents/file", "x");
  FileDescriptor hidden(
      ::open(fFolder.Path("work/.hidden").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(hidden.IsOpen());
  ASSERT_EQ(::rename(fFolder.Path("work/.hidden").c_str(), fFolder.Path("work/.moved").c_str()), 0);
  std::string trashed;

  PathError result =
      TrashItemAt(hidden.Get(), "Demo.app", fFolder.Path("work/Installed.app"), &trashed);

  ASSERT_FALSE(result.Failed()) << result.fCode << " " << result.fPath;
  const std::string trash = fFolder.Path("data/Trash");
  EXPECT_EQ(trashed, trash + "/files/Installed.app");
  EXPECT_EQ(ReadWholeFile(trashed + "/Contents/file"), "x");
  EXPECT_FALSE(Exists(fFolder.Path("work/.moved/Demo.app")));
  EXPECT_EQ(RecordWithoutDate(ReadWholeFile(trash + "/info/Installed.app.trashinfo")),
            "[Trash Info]\nPath=" + fFolder.Path("work/Installed.app") + "\nDeletionDate=<now>\n");

  PathError missing = TrashItemAt(hidden.Get(), "Demo.app", fFolder.Path("work/Installed.app"));
  EXPECT_EQ(missing.fCode, ENOENT);
  EXPECT_EQ(missing.fPath, fFolder.Path("work/Installed.app"));
}

TEST_F(TrashTest, TakenNamesAreNumbered) {
  const std::string trash = fFolder.Path("data/Trash");
  // An item without its record already holds the second name.
  fFolder.Write("data/Trash/files/a.2", "left over");
  std::vector<std::string> trashed;
  for (int i = 0; i < 3; ++i) {
    fFolder.Write("work/a", "item " + std::to_string(i));
    std::string path;
    ASSERT_FALSE(TrashItem(fFolder.Path("work/a"), &path).Failed());
    trashed.push_back(path);
  }
  EXPECT_EQ(trashed, (std::vector<std::string>{trash + "/files/a", trash + "/files/a.3",
                                               trash + "/files/a.4"}));
  EXPECT_EQ(ReadWholeFile(trash + "/files/a.3"), "item 1");
  EXPECT_FALSE(Exists(trash + "/info/a.2.trashinfo"));
  EXPECT_TRUE(Exists(trash + "/info/a.4.trashinfo"));
  EXPECT_EQ(ReadWholeFile(trash + "/files/a.2"), "left over");
}

TEST_F(TrashTest, TrashFolderFollowsTheEnvironment) {
  struct Case {
    const char* name;
    std::string dataHome;
    std::string trash;
  };
  const Case cases[] = {
      {"XDG_DATA_HOME", fFolder.Path("data"), fFolder.Path("data/Trash")},
      {"unset: under HOME", "", fFolder.Path("home/.local/share/Trash")},
      {"relative: ignored", "relative/data", fFolder.Path("home/.local/share/Trash")},
  };
  for (const Case& c : cases) {
    fEnvironment.fDataHome = c.dataHome;
    SetUserEnvironmentForTesting(&fEnvironment);
    fFolder.Write("work/item", "i");
    std::string trashed;
    ASSERT_FALSE(TrashItem(fFolder.Path("work/item"), &trashed).Failed()) << c.name;
    EXPECT_EQ(trashed, c.trash + "/files/item") << c.name;
    EXPECT_TRUE(Exists(c.trash + "/info/item.trashinfo")) << c.name;
    DeleteTree(c.trash, true);
  }
}

TEST_F(TrashTest, LinksAreTrashedAsThemselvesAndMissingItemsFail) {
  const std::string target = fFolder.Write("work/target", "t");
  ::symlink(target.c_str(), fFolder.Path("work/link").c_str());
  std::string trashed;
  ASSERT_FALSE(TrashItem(fFolder.Path("work/link"), &trashed).Failed());
  struct stat info;
  ASSERT_EQ(::lstat(trashed.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_TRUE(Exists(target));

  PathError missing = TrashItem(fFolder.Path("work/missing"));
  EXPECT_EQ(missing.fCode, ENOENT);
  EXPECT_EQ(missing.fPath, fFolder.Path("work/missing"));
}

// Trashes on /dev/shm, a file system of its own, go to its top folder. The
// top-folder trashes are shared by every test process: a lock file takes
// turns.
class TopFolderTrashTest : public TrashTest {
 protected:
  void SetUp() override {
    TrashTest::SetUp();
    struct stat shm, home;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(fFolder.Path().c_str(), &home) != 0 ||
        shm.st_dev == home.st_dev)
      GTEST_SKIP() << "/dev/shm is not a file system of its own";
    fLock = ::open("/tmp/zeft-platform-shm-trash.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(fLock, 0);
    ASSERT_EQ(::flock(fLock, LOCK_EX), 0);
    fWork.emplace("/dev/shm");
    ASSERT_FALSE(fWork->Path().empty());
    fUid = std::to_string(::geteuid());
  }
  void TearDown() override {
    for (const std::string& path : fMade) DeleteTree(path, true);
    if (fWork.has_value() && !fWork->Path().empty()) DeleteTree(fWork->Path(), true);
    if (fLock >= 0) ::close(fLock);
    TrashTest::TearDown();
  }
  // Makes `path` for this test unless it exists, and removes it afterwards.
  void MakeFolderOnce(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0) {
      ::chmod(path.c_str(), mode);
      fMade.insert(fMade.begin(), path);
    }
  }
  int fLock = -1;
  std::optional<TempFolder> fWork;
  std::string fUid;
  std::vector<std::string> fMade;
};

TEST_F(TopFolderTrashTest, ItemGoesToTheUserTrashOfItsFileSystem) {
  MakeFolderOnce("/dev/shm/.Trash-" + fUid, 0700);
  if (Exists("/dev/shm/.Trash")) GTEST_SKIP() << "/dev/shm/.Trash exists on this machine";
  const std::string item = fWork->Path("item");
  std::ofstream(item) << "shm";
  std::string trashed;

  PathError result = TrashItem(item, &trashed);

  ASSERT_FALSE(result.Failed()) << result.fCode << " " << result.fPath;
  const std::string trash = "/dev/shm/.Trash-" + fUid;
  ASSERT_EQ(trashed.rfind(trash + "/files/item", 0), 0u) << trashed;
  fMade.push_back(trashed);
  std::string name = trashed.substr(trash.size() + 7);
  fMade.push_back(trash + "/info/" + name + ".trashinfo");
  EXPECT_EQ(RecordWithoutDate(ReadWholeFile(trash + "/info/" + name + ".trashinfo")),
            "[Trash Info]\nPath=" + item + "\nDeletionDate=<now>\n");
}

TEST_F(TopFolderTrashTest, StickySharedTrashIsUsedAndAnUnsafeOneIsNot) {
  if (Exists("/dev/shm/.Trash")) GTEST_SKIP() << "/dev/shm/.Trash exists on this machine";
  MakeFolderOnce("/dev/shm/.Trash-" + fUid, 0700);
  struct Case {
    const char* name;
    mode_t mode;
    std::string trash;
  };
  const Case cases[] = {
      {"sticky .Trash", 01777, "/dev/shm/.Trash/" + fUid},
      {".Trash without the sticky bit", 0777, "/dev/shm/.Trash-" + fUid},
  };
  for (const Case& c : cases) {
    MakeFolderOnce("/dev/shm/.Trash", c.mode);
    const std::string item = fWork->Path("shared-item");
    std::ofstream(item) << "shm";
    std::string trashed;
    ASSERT_FALSE(TrashItem(item, &trashed).Failed()) << c.name;
    EXPECT_EQ(trashed.rfind(c.trash + "/files/shared-item", 0), 0u) << c.name << ": " << trashed;
    std::string name = trashed.substr(c.trash.size() + 7);
    DeleteTree(trashed, true);
    DeleteTree(c.trash + "/info/" + name + ".trashinfo", true);
    DeleteTree("/dev/shm/.Trash", true);
    fMade.erase(std::remove(fMade.begin(), fMade.end(), "/dev/shm/.Trash"), fMade.end());
  }
}

TEST(TrashPath, PercentEncoding) {
  EXPECT_EQ(EncodeTrashPath("/a b/%/é/~x_y-z.(1)!*'"), "/a%20b/%25/%C3%A9/~x_y-z.(1)!*'");
  EXPECT_EQ(EncodeTrashPath("/tab\there/quote\"/hash#?&=+"),
            "/tab%09here/quote%22/hash%23%3F%26%3D%2B");
}

}  // namespace
}  // namespace zeft::platform
