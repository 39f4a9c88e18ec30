// The updater's swap road through the folder objects alone: a bundle copied
// with replacement is identical to its source; the installed bundle is set
// aside, replaced, rolled back, trashed with its record, and a tree holding
// a read-only folder is force-deleted.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "FolderTestSupport.h"
#include "files/VFolder.h"
#include "platform/FileTreeMaker.h"
#include "platform/UserEnvironment.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::FolderTest;
using test::ItemExists;
using test::ReadWholeFile;
using test::Utf8;

class VFolderSwapTest : public FolderTest {
 protected:
  void SetUp() override {
    fEnvironment.fHome = fTemp.MakeFolder("home");
    fEnvironment.fDataHome = fTemp.Path("data");
    platform::SetUserEnvironmentForTesting(&fEnvironment);
  }
  void TearDown() override {
    platform::SetUserEnvironmentForTesting(nullptr);
    FolderTest::TearDown();
  }
  platform::UserEnvironment fEnvironment;
};

TEST_F(VFolderSwapTest, ReplacingCopyOfABundleIsIdenticalToItsSource) {
  test::MakeBundleTree(fTemp, "New.app");
  fTemp.Write("Apps/Name.app/Contents/old-only", "stale");
  VFolder* out = nullptr;
  ASSERT_EQ(Folder("New.app")->CopyTo(*Folder("Apps"), Utf8("Name.app"), &out, kFolderCopyReplace),
            VE_OK);
  ASSERT_NE(out, nullptr);
  out->Release();
  EXPECT_EQ(test::TreeDifferences(fTemp.Path("New.app"), fTemp.Path("Apps/Name.app")), "");
  EXPECT_EQ(test::Listing(fTemp.Path("New.app")), test::Listing(fTemp.Path("Apps/Name.app")));
}

TEST_F(VFolderSwapTest, SwapRollBackTrashAndForcedDeletion) {
  fTemp.Write("Apps/Name.app/Contents/version", "1");
  test::MakeBundleTree(fTemp, "Update/Name.app");
  const std::string installed = test::Listing(fTemp.Path("Apps/Name.app"));
  const VRefPtr<VFolder> apps = Folder("Apps");
  const VRefPtr<VFolder> current = Folder("Apps/Name.app");
  test::ErrorCollector errors;

  // Set aside under the first free numbered name.
  VFolder* aside = nullptr;
  ASSERT_EQ(current->Rename(Utf8("Name_old0001.app"), &aside), VE_OK);
  VRefPtr<VFolder> old(aside, kAdoptRef);
  EXPECT_FALSE(current->Exists());

  // The new bundle copied into place.
  ASSERT_EQ(Folder("Update/Name.app")->CopyTo(*apps, Utf8("Name.app"), nullptr, kFolderCopyReplace),
            VE_OK);
  EXPECT_EQ(test::TreeDifferences(fTemp.Path("Update/Name.app"), fTemp.Path("Apps/Name.app")), "");

  // Rolled back: the half-made copy deleted, the old bundle moved back.
  ASSERT_EQ(current->Delete(true), VE_OK);
  VFolder* back = nullptr;
  ASSERT_EQ(old->Rename(Utf8("Name.app"), &back), VE_OK);
  back->Release();
  EXPECT_EQ(test::Listing(fTemp.Path("Apps/Name.app")), installed);

  // Swapped again, and the old bundle trashed with its record.
  ASSERT_EQ(current->Rename(Utf8("Name_old0001.app"), nullptr), VE_OK);
  ASSERT_EQ(Folder("Update/Name.app")->CopyTo(*apps, Utf8("Name.app"), nullptr, kFolderCopyReplace),
            VE_OK);
  ASSERT_EQ(old->MoveToTrash(), VE_OK);
  EXPECT_FALSE(old->Exists());
  const std::string trash = fTemp.Path("data/Trash");
  EXPECT_EQ(ReadWholeFile(trash + "/files/Name_old0001.app/Contents/version"), "1");
  const std::string record = ReadWholeFile(trash + "/info/Name_old0001.app.trashinfo");
  const std::string head =
      "[Trash Info]\nPath=" + fTemp.Path("Apps/Name_old0001.app") + "\nDeletionDate=";
  ASSERT_EQ(record.substr(0, head.size()), head);
  const std::string date = record.substr(head.size());
  const std::string shape = "dddd-dd-ddTdd:dd:dd\n";
  ASSERT_EQ(date.size(), shape.size()) << record;
  for (size_t i = 0; i < shape.size(); ++i) {
    EXPECT_TRUE(shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(date[i])) != 0
                                : date[i] == shape[i])
        << record;
  }

  // A tree holding a read-only sub-folder force-deleted.
  const VRefPtr<VFolder> trashed = Folder("data/Trash/files/Name_old0001.app");
  fTemp.Write("data/Trash/files/Name_old0001.app/Contents/Locked/file", "x");
  ::chmod(fTemp.Path("data/Trash/files/Name_old0001.app/Contents/Locked").c_str(), 0500);
  EXPECT_EQ(trashed->DeleteForced(), VE_OK);
  EXPECT_FALSE(ItemExists(fTemp.Path("data/Trash/files/Name_old0001.app")));
  EXPECT_TRUE(errors.Errors().empty()) << ::testing::PrintToString(errors.Errors());
}

}  // namespace
}  // namespace zeft
