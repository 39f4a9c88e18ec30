// The volume cache: when it lists the volumes, what it answers, and the
// system's list read from mountinfo.
#include "files/mac/XMacVolumes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

class XMacVolumesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    XMacVolumes::Get().SetClock([this] { return fNow; });
    XMacVolumes::Get().SetVolumeListProvider([this] {
      ++fListings;
      return fVolumes;
    });
  }
  void TearDown() override {
    XMacVolumes::Get().SetVolumeListProvider(nullptr);
    XMacVolumes::Get().SetClock(nullptr);
  }

  bool MountPathOf(std::u16string_view name, std::u16string& path) {
    VString text;
    const bool found = XMacVolumes::Get().GetMountPathFromVolumeName(Str(name), text);
    path = Text(text);
    return found;
  }

  uint32 fNow = 0;
  int fListings = 0;
  XMacVolumes::VolumeList fVolumes{{"/", "Root"},
                                   {"/mnt/usb", "Stick"},
                                   {"/mnt/usb2", "Stick"},
                                   {"/mnt/usb", "Other"},
                                   {"/media/cards", "SD card 0001"}};
};

TEST_F(XMacVolumesTest, ListsOnFirstUseAndAtMostEveryTwoSeconds) {
  // The first look-up lists the volumes even while the clock reads 2000 or less.
  std::u16string path;
  EXPECT_TRUE(MountPathOf(u"Stick", path));
  EXPECT_EQ(fListings, 1);
  fNow = 100;
  EXPECT_TRUE(MountPathOf(u"Root", path));
  EXPECT_EQ(fListings, 1);
  fNow = 2000;
  EXPECT_TRUE(MountPathOf(u"Root", path));
  EXPECT_EQ(fListings, 1);
  fNow = 2001;
  fVolumes.emplace_back("/mnt/new", "New");
  EXPECT_TRUE(MountPathOf(u"New", path));
  EXPECT_EQ(fListings, 2);
  EXPECT_EQ(path, u"/mnt/new");
  // The clock wraps around without stalling the reloads.
  fNow = 0xFFFFFF00u;
  EXPECT_TRUE(MountPathOf(u"New", path));
  EXPECT_EQ(fListings, 3);
  fNow = 2100;
  EXPECT_TRUE(MountPathOf(u"New", path));
  EXPECT_EQ(fListings, 4);
}

TEST_F(XMacVolumesTest, AnswersByNameAndByMountPath) {
  std::u16string path;
  EXPECT_TRUE(MountPathOf(u"Stick", path));
  EXPECT_EQ(path, u"/mnt/usb");  // the first listed wins for a duplicate name
  // Each table keeps its first entry: a second name of a listed path still
  // finds it, while the path keeps its first name.
  EXPECT_TRUE(MountPathOf(u"Other", path));
  EXPECT_EQ(path, u"/mnt/usb");
  EXPECT_FALSE(MountPathOf(u"stick", path));  // names are exact
  EXPECT_FALSE(MountPathOf(u"Absent", path));

  char name[64] = "untouched";
  EXPECT_TRUE(XMacVolumes::Get().GetVolumeNameFromMountPath("/mnt/usb", name, sizeof(name)));
  EXPECT_STREQ(name, "Stick");
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_TRUE(XMacVolumes::Get().GetVolumeNameFromMountPath("/media/cards", small, sizeof(small)));
  EXPECT_STREQ(small, "SD ");
  std::strcpy(name, "untouched");
  EXPECT_FALSE(XMacVolumes::Get().GetVolumeNameFromMountPath("/mnt", name, sizeof(name)));
  EXPECT_STREQ(name, "untouched");
}

TEST_F(XMacVolumesTest, MountPointOfAPathIsTheLongestHoldingIt) {
  const struct {
    const char* path;
    const char* mount;
  } cases[] = {{"/mnt/usb/a/b", "/mnt/usb"}, {"/mnt/usb", "/mnt/usb"},
               {"/mnt/usb2/x", "/mnt/usb2"}, {"/mnt/usbx/y", "/"},
               {"/mnt/usb/", "/mnt/usb"},    {"/", "/"}};
  for (const auto& c : cases) {
    std::string mount;
    ASSERT_TRUE(XMacVolumes::Get().GetMountPathOfPath(c.path, mount)) << c.path;
    EXPECT_EQ(mount, c.mount) << c.path;
  }
  std::string mount;
  EXPECT_FALSE(XMacVolumes::Get().GetMountPathOfPath("relative", mount));
}

// Look-ups from several threads while every one of them reloads the tables.
TEST_F(XMacVolumesTest, ConcurrentLookUpsSeeWholeTables) {
  std::atomic<uint32> clock{0};
  XMacVolumes::Get().SetClock([&clock] { return clock.fetch_add(3000); });
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&wrong] {
      for (int n = 0; n < 200; ++n) {
        VString path;
        std::string mount;
        if (!XMacVolumes::Get().GetMountPathFromVolumeName(Str(u"Stick"), path) ||
            to_string(path) != "/mnt/usb" ||
            !XMacVolumes::Get().GetMountPathOfPath("/mnt/usb2/f", mount) || mount != "/mnt/usb2") {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(XMacVolumes, SystemListFromMountInfo) {
  const std::string mountInfo =
      "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
      "23 22 0:5 / /proc rw - proc proc rw\n"
      "24 22 8:2 / /media/my\\040disk rw - vfat /dev/sdb1 rw\n"
      "25 22 8:3 / /srv/a:b rw - ext4 /dev/sdc1 rw\n"
      "garbage\n";
  const XMacVolumes::VolumeList volumes = XMacVolumes::ParseMountInfo(mountInfo);
  const XMacVolumes::VolumeList expected = {{"/", "Root"},
                                            {"/proc", "Root:proc"},
                                            {"/media/my disk", "Root:media:my disk"},
                                            {"/srv/a:b", "Root:srv:a/b"}};
  EXPECT_EQ(volumes, expected);
  // The root volume is there even when the system lists nothing.
  EXPECT_EQ(XMacVolumes::ParseMountInfo(""), (XMacVolumes::VolumeList{{"/", "Root"}}));
  const XMacVolumes::VolumeList system = XMacVolumes::ReadSystemVolumes();
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system.front(), (std::pair<std::string, std::string>{"/", "Root"}));
}

}  // namespace
}  // namespace zeft
