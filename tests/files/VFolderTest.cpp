// The folder object: existence and creation, the deletions, copies refused
// onto or into themselves, replacement, listing and iteration, rename and
// move, permissions, links standing for folders, URLs and relatives.
#include "files/VFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FolderTestSupport.h"
#include "core/VIntlMgr.h"
#include "files/VFSObjectIterator.h"
#include "files/VFileError.h"
#include "files/VURL.h"
#include "platform/ChildProcess.h"
#include "platform/DirectoryWalk.h"
#include "platform/FileTreeMaker.h"
#include "platform/UserEnvironment.h"
#include "runtime/VErrorBase.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::FolderTest;
using test::ItemExists;
using test::ModeOf;
using test::Utf8;

VError NativeCode(int number, int32 fallback) {
  return VErrorBase::EncodedNativeErrorToVError(MakeVError(kComponentPosix, number),
                                                ToolboxError(fallback));
}

std::string PosixOf(const VFolder& folder) {
  VString text;
  folder.GetPlatformPath(text, kFilePathStylePosix);
  return to_string(text);
}

class VFolderTest : public FolderTest {};

TEST_F(VFolderTest, ExistsOnlyForFolderPathsWithAFolderThere) {
  fTemp.MakeFolder("dir");
  fTemp.Write("file", "x");
  ::symlink("dir", fTemp.Path("link").c_str());
  EXPECT_TRUE(Folder("dir")->Exists());
  // A ':' path keeps the link's own name (a POSIX one is resolved on entry).
  const VFolder link(*Folder(), Utf8("link"), kFilePathStyleNative);
  EXPECT_TRUE(link.Exists());  // links followed
  EXPECT_FALSE(link.GetImpl().Exists(false));
  EXPECT_FALSE(Folder("file")->Exists());
  EXPECT_FALSE(Folder("missing")->Exists());
  VFolder filePath(Utf8(fTemp.Path("dir")), kFilePathStylePosix);  // no final '/'
  EXPECT_FALSE(filePath.Exists());
}

TEST_F(VFolderTest, CreateRecursiveMakesWritableOnlyWhatItCreates) {
  const std::string existing = fTemp.MakeFolder("a");
  ::chmod(existing.c_str(), 0750);
  EXPECT_EQ(Folder("a")->Create(), VE_OK);  // exists: untouched
  EXPECT_EQ(ModeOf(existing), 0750u);

  EXPECT_EQ(Folder("a/b/c")->CreateRecursive(true), VE_OK);
  EXPECT_EQ(ModeOf(existing), 0750u);
  EXPECT_EQ(ModeOf(fTemp.Path("a/b")), 0777u);
  EXPECT_EQ(ModeOf(fTemp.Path("a/b/c")), 0777u);

  fTemp.Write("plain", "x");
  test::ErrorCollector errors;
  EXPECT_NE(Folder("plain/sub")->CreateRecursive(false), VE_OK);
  EXPECT_TRUE(
      test::HasError(errors.Errors(), NativeCode(ENOTDIR, toolbox_error::kFolderCannotCreate)));
}

TEST_F(VFolderTest, DeleteKeepsFoldersThatAreNotEmpty) {
  fTemp.Write("box/.hidden", "h");
  test::ErrorCollector errors;
  EXPECT_FALSE(Folder("box")->IsEmpty());  // invisible entries count
  EXPECT_EQ(Folder("box")->Delete(false), ToolboxError(toolbox_error::kFolderNotEmpty));
  EXPECT_TRUE(
      test::HasToolboxError(errors.Errors(), toolbox_error::kFolderNotEmpty, "name", "box"));
  EXPECT_TRUE(ItemExists(fTemp.Path("box/.hidden")));

  EXPECT_EQ(Folder("box")->Delete(true), VE_OK);
  EXPECT_FALSE(ItemExists(fTemp.Path("box")));

  EXPECT_TRUE(Folder("box")->IsEmpty());
  EXPECT_EQ(Folder("box")->Delete(false), NativeCode(ENOENT, toolbox_error::kFolderCannotDelete));
  EXPECT_EQ(Folder("box")->MoveToTrash(), VE_OK);  // nothing to trash
}

TEST_F(VFolderTest, TreeDeletionsNeverFollowLinks) {
  fTemp.Write("outside/keep.txt", "keep");
  const struct {
    const char* name;
    bool sealed;  // the tree holds a 0500 folder of the caller's
    VError (*remove)(const VFolder&);
  } cases[] = {
      {"Delete(true)", false, [](const VFolder& f) { return f.Delete(true); }},
      {"DeleteContents then Delete", false,
       [](const VFolder& f) {
         const VError error = f.DeleteContents(true);
         return error != VE_OK ? error : f.Delete(false);
       }},
      {"DeleteForced", true, [](const VFolder& f) { return f.DeleteForced(); }},
  };
  for (const auto& c : cases) {
    fTemp.Write("tree/a/b/file", "f");
    fTemp.Write("tree/.hidden/file", "h");
    ::symlink(fTemp.Path("outside").c_str(), fTemp.Path("tree/a/to-outside").c_str());
    ::symlink("../../../outside/keep.txt", fTemp.Path("tree/a/b/to-file").c_str());
    ASSERT_TRUE(test::MakeDeepTree(fTemp.MakeFolder("tree/deep"), 3, c.sealed ? 2 : 0));
    EXPECT_EQ(c.remove(*Folder("tree")), VE_OK) << c.name;
    EXPECT_FALSE(ItemExists(fTemp.Path("tree"))) << c.name;
    EXPECT_TRUE(ItemExists(fTemp.Path("outside/keep.txt"))) << c.name;
  }
}

TEST_F(VFolderTest, DeleteForcedRemovesOwnReadOnlyFoldersAndRestoresTheParent) {
  fTemp.Write("parent/tree/sealed/file", "x");
  ::chmod(fTemp.Path("parent/tree/sealed").c_str(), 0500);
  ::chmod(fTemp.Path("parent").c_str(), 0555);
  EXPECT_EQ(Folder("parent/tree")->DeleteForced(), VE_OK);
  EXPECT_FALSE(ItemExists(fTemp.Path("parent/tree")));
  EXPECT_EQ(ModeOf(fTemp.Path("parent")), 0555u);

  test::ErrorCollector errors;
  EXPECT_EQ(Folder("parent/missing")->DeleteForced(),
            NativeCode(ENOENT, toolbox_error::kFolderCannotDelete));
}

TEST_F(VFolderTest, CopyOntoOrIntoItselfFailsAndTouchesNothing) {
  fTemp.Write("work/App.app/Contents/file", "original");
  fTemp.Write("work/App.app/Contents/Sub/inner/file", "inner");
  ::symlink(fTemp.Path("work").c_str(), fTemp.Path("alias-of-work").c_str());
  const std::string before = test::Listing(fTemp.Path("work"));
  const struct {
    const char* name;
    const char* source;
    const char* destParent;
    const char* destName;
    unsigned options;
  } cases[] = {
      {"into itself", "work/App.app", "work/App.app", "Copy", 0},
      {"into its own sub-folder", "work/App.app", "work/App.app/Contents", "Copy", 4},
      {"onto its own path, replacing", "work/App.app", "work", "App.app", 4},
      {"onto its own path", "work/App.app", "work", "App.app", 0},
      {"onto itself through a link", "work/App.app", "alias-of-work", "App.app", 4},
      {"onto the folder holding it", "work/App.app/Contents/Sub/inner", "work/App.app/Contents",
       "Sub", 4},
      {"onto the folder holding it through a link", "work/App.app/Contents/Sub/inner",
       "alias-of-work/App.app/Contents", "Sub", 4},
  };
  for (const auto& c : cases) {
    test::ErrorCollector errors;
    VFolder* out = nullptr;
    const VError error =
        Folder(c.source)->CopyTo(*Folder(c.destParent), Utf8(c.destName), &out, c.options);
    if (out != nullptr) out->Release();
    EXPECT_EQ(error, ToolboxError(toolbox_error::kFolderCannotCopy)) << c.name;
    EXPECT_TRUE(
        test::HasToolboxError(errors.Errors(), toolbox_error::kFolderCannotCopy, "destination"))
        << c.name;
    EXPECT_EQ(test::Listing(fTemp.Path("work")), before) << c.name;
  }
}

TEST_F(VFolderTest, ReplacingCopyTakesTheDestinationsPlaceWhole) {
  fTemp.Write("new/App.app/Contents/version", "2");
  fTemp.Write("dest/App.app/Contents/version", "1");
  fTemp.Write("dest/App.app/Contents/stale", "old only");
  VFolder* out = nullptr;
  EXPECT_EQ(Folder("new/App.app")->CopyTo(*Folder("dest"), &out, kFolderCopyReplace), VE_OK);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(PosixOf(*out), fTemp.Path("dest/App.app/"));
  out->Release();
  EXPECT_EQ(test::TreeDifferences(fTemp.Path("new/App.app"), fTemp.Path("dest/App.app")), "");

  // A missing source replaces nothing.
  test::ErrorCollector missing;
  EXPECT_EQ(
      Folder("new/Gone.app")->CopyTo(*Folder("dest"), Utf8("App.app"), nullptr, kFolderCopyReplace),
      NativeCode(ENOENT, toolbox_error::kFolderCannotCopy));
  EXPECT_EQ(test::TreeDifferences(fTemp.Path("new/App.app"), fTemp.Path("dest/App.app")), "");

  // Without replacement the entries are merged into the existing folder.
  fTemp.Write("dest/App.app/Contents/extra", "kept");
  test::ErrorCollector errors;
  EXPECT_NE(Folder("new/App.app")->CopyTo(*Folder("dest"), nullptr, 0), VE_OK);
  EXPECT_TRUE(ItemExists(fTemp.Path("dest/App.app/Contents/extra")));
}

TEST_F(VFolderTest, FailedReplacingCopyKeepsTheDestination) {
  fTemp.Write("new/App.app/Contents/version", "2");
  const std::string secret = fTemp.Write("new/App.app/Contents/secret", "unreadable");
  fTemp.Write("dest/App.app/Contents/version", "1");
  if (test::RunsAsNobody()) test::SetTreeOwner(fTemp.Path(), test::kNobody, test::kNobody);
  const std::string before = test::Listing(fTemp.Path("dest/App.app"));
  ::chown(secret.c_str(), 0, 0);
  ::chmod(secret.c_str(), 0);
  const int failed = test::RunInChild(
      [&] {
        test::ErrorCollector errors;
        const VError error =
            Folder("new/App.app")->CopyTo(*Folder("dest"), nullptr, kFolderCopyReplace);
        return error == NativeCode(EACCES, toolbox_error::kFolderCannotCopy) &&
                       test::HasError(errors.Errors(), error, "destination")
                   ? 0
                   : 1;
      },
      true);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(test::Listing(fTemp.Path("dest/App.app")), before);
}

TEST_F(VFolderTest, CopyContentsGoesOnAfterErrorsWhenAsked) {
  fTemp.Write("src/a.txt", "a");
  fTemp.Write("src/b.txt", "b");
  fTemp.Write("src/.dot", "d");
  fTemp.Write("src/sub/c.txt", "c");
  fTemp.Write("dst/a.txt/blocker", "a folder where a file goes");
  test::ErrorCollector errors;
  const VError error = Folder("src")->CopyContentsTo(*Folder("dst"), kFolderCopyContinue);
  EXPECT_NE(error, VE_OK);
  EXPECT_TRUE(ItemExists(fTemp.Path("dst/b.txt")));
  EXPECT_TRUE(ItemExists(fTemp.Path("dst/.dot")));
  EXPECT_TRUE(ItemExists(fTemp.Path("dst/sub/c.txt")));

  EXPECT_EQ(Folder("src")->CopyContentsTo(*Folder("visible"), kFolderCopySkipInvisible), VE_OK);
  EXPECT_TRUE(ItemExists(fTemp.Path("visible/a.txt")));
  EXPECT_FALSE(ItemExists(fTemp.Path("visible/.dot")));
}

TEST_F(VFolderTest, IterateReportsWhatTheOptionsSelect) {
  fTemp.Write("t/f1", "1");
  fTemp.Write("t/d/f2", "2");
  fTemp.Write("t/d/e/f3", "3");
  fTemp.Write("t/d/.f5", "5");
  fTemp.Write("t/.hidden/f4", "4");
  const auto visit = [&](unsigned options) {
    std::set<std::string> seen;
    Folder("t")->Iterate(
        [&](IFileAttributeAccessor* accessor) {
          VString path;
          if (accessor->GetFile() != nullptr) {
            accessor->GetFile()->GetPlatformPath(path, kFilePathStylePosix);
          } else {
            accessor->GetFolder()->GetPlatformPath(path, kFilePathStylePosix);
          }
          VTime modified;
          EXPECT_EQ(accessor->GetTime(&modified, nullptr, nullptr), VE_OK);
          seen.insert(to_string(path).substr(fTemp.Path().size() + 3));
          return true;
        },
        options);
    return seen;
  };
  using Set = std::set<std::string>;
  EXPECT_EQ(visit(5), (Set{"f1", "d/f2", "d/e/f3"}));
  EXPECT_EQ(visit(1), Set{});
  EXPECT_EQ(visit(3), (Set{"d/", "d/e/"}));
  // Invisible files count, but the descent takes visible folders only.
  EXPECT_EQ(visit(13), (Set{"f1", "d/f2", "d/.f5", "d/e/f3"}));
  EXPECT_EQ(visit(6), (Set{"f1", "d/"}));
}

TEST_F(VFolderTest, ContentsListFilesAndFoldersButNoPipes) {
  fTemp.Write("c/file", "x");
  fTemp.Write("c/.invisible", "x");
  fTemp.MakeFolder("c/sub");
  ::symlink("sub", fTemp.Path("c/link-to-sub").c_str());
  ::symlink("nowhere", fTemp.Path("c/dangling").c_str());
  ::mkfifo(fTemp.Path("c/pipe").c_str(), 0644);
  ::symlink("pipe", fTemp.Path("c/link-to-pipe").c_str());
  std::vector<VRefPtr<VFile>> files;
  std::vector<VRefPtr<VFolder>> folders;
  Folder("c")->GetContents(&files, &folders);
  std::set<std::string> names;
  for (const auto& file : files) {
    VString name;
    file->GetName(name);
    names.insert("file " + to_string(name));
  }
  for (const auto& folder : folders) {
    VString name;
    folder->GetName(name);
    names.insert("folder " + to_string(name));
  }
  EXPECT_EQ(names, (std::set<std::string>{"file file", "file link-to-sub", "file dangling",
                                          "file link-to-pipe", "folder sub"}));

  // Resolved, links give their targets; the dangling one and the one to a
  // pipe are left out, and nothing is opened.
  std::set<std::string> resolved;
  for (VFileIterator it(Folder("c").Get(),
                        kFSIterateFiles | kFSIterateResolveLinks | kFSIterateFolders);
       it.IsValid(); ++it) {
    resolved.insert(to_string(it->GetPath().GetPath()));
  }
  EXPECT_EQ(resolved.size(), 1u);
  std::set<std::string> resolvedFolders;
  for (VFolderIterator it(Folder("c").Get(), kFSIterateFolders | kFSIterateResolveLinks);
       it.IsValid(); ++it) {
    resolvedFolders.insert(PosixOf(*it.Current()));
  }
  EXPECT_EQ(resolvedFolders, (std::set<std::string>{fTemp.Path("c/sub/")}));
}

TEST_F(VFolderTest, IteratorAtItsEndRefusesTimes) {
  fTemp.MakeFolder("empty");
  const VRefPtr<VFolder> empty = Folder("empty");
  VFileIterator it(empty.Get(), kFSIterateFiles);
  EXPECT_FALSE(it.IsValid());
  EXPECT_EQ(it.GetIndex(), 0);
  XMacFileIterator platform(empty.Get(), kFSIterateFiles);
  test::ErrorCollector errors;
  EXPECT_EQ(platform.GetTime(nullptr, nullptr, nullptr),
            ToolboxError(toolbox_error::kFileNotFound));
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), toolbox_error::kFileCannotResolveAlias));
}

// A folder renamed onto a taken name, even an empty folder, is refused and
// both stay, also where the file system lacks renameat2's flags; onto a free
// name it moves with its contents.
TEST_F(VFolderTest, RenameNeverReplacesWithOrWithoutRenameFlags) {
  for (bool unsupported : {false, true}) {
    SCOPED_TRACE(unsupported ? "without flags" : "with flags");
    platform::SetRenameFlagsUnsupportedForTesting(unsupported);
    std::filesystem::remove_all(fTemp.Path("r"));
    fTemp.Write("r/one/file", "1");
    fTemp.MakeFolder("r/empty");
    fTemp.Write("r/full/file", "2");
    for (const char* taken : {"empty", "full"}) {
      test::ErrorCollector errors;
      EXPECT_EQ(Folder("r/one")->Rename(Utf8(taken), nullptr),
                NativeCode(EEXIST, toolbox_error::kFolderCannotRename))
          << taken;
    }
    EXPECT_TRUE(ItemExists(fTemp.Path("r/one/file")));
    EXPECT_TRUE(ItemExists(fTemp.Path("r/empty")));
    EXPECT_EQ(test::ReadWholeFile(fTemp.Path("r/full/file")), "2");
    EXPECT_EQ(Folder("r/one")->Rename(Utf8("three"), nullptr), VE_OK);
    EXPECT_TRUE(ItemExists(fTemp.Path("r/three/file")));
    EXPECT_FALSE(ItemExists(fTemp.Path("r/one")));
  }
  platform::SetRenameFlagsUnsupportedForTesting(false);
}

TEST_F(VFolderTest, RenameAndMove) {
  fTemp.Write("r/one/file", "1");
  fTemp.MakeFolder("r/two");
  test::ErrorCollector errors;
  VFolder* out = reinterpret_cast<VFolder*>(1);
  EXPECT_EQ(Folder("r/one")->Rename(Utf8("two"), &out),
            NativeCode(EEXIST, toolbox_error::kFolderCannotRename));
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(test::HasError(
      errors.Errors(), NativeCode(EEXIST, toolbox_error::kFolderCannotRename), "newname", "two"));
  EXPECT_TRUE(ItemExists(fTemp.Path("r/one/file")));

  EXPECT_EQ(Folder("r/one")->Rename(Utf8("three"), &out), VE_OK);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(PosixOf(*out), fTemp.Path("r/three/"));
  out->Release();

  EXPECT_EQ(Folder("r/three")->Move(*Folder("r/two"), VString(), &out), VE_OK);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(PosixOf(*out), fTemp.Path("r/two/three/"));
  out->Release();
  EXPECT_TRUE(ItemExists(fTemp.Path("r/two/three/file")));
}

TEST_F(VFolderTest, PermissionsAndWritableByAll) {
  const std::string path = fTemp.MakeFolder("p");
  const struct {
    mode_t mode;
    bool byAll;
  } cases[] = {{0755, false}, {0775, false}, {0757, true}, {0777, true}, {0722, true}};
  for (const auto& c : cases) {
    ::chmod(path.c_str(), c.mode);
    EXPECT_EQ(Folder("p")->IsWritableByAll(), c.byAll) << std::oct << c.mode;
    unsigned short mode = 0;
    EXPECT_EQ(Folder("p")->MAC_GetPermissions(&mode), VE_OK);
    EXPECT_EQ(mode, c.mode);
  }
  EXPECT_EQ(Folder("p")->MAC_SetPermissions(04711), VE_OK);
  EXPECT_EQ(ModeOf(path), 0711u);
  unsigned uid = 1, gid = 1;
  EXPECT_EQ(Folder("p")->Mac_GetOwner(uid, gid), VE_OK);
  EXPECT_EQ(uid, ::geteuid());

  test::ErrorCollector errors;
  unsigned short mode = 7;
  EXPECT_EQ(Folder("gone")->MAC_GetPermissions(&mode),
            NativeCode(ENOENT, toolbox_error::kFolderCannotGetAttributes));
  EXPECT_EQ(mode, 0);
  bool hidden = false;
  EXPECT_EQ(Folder(".dot")->IsHidden(hidden), MakeVError(kComponentPosix, ENOENT));
  fTemp.MakeFolder(".dot");
  EXPECT_EQ(Folder(".dot")->IsHidden(hidden), VE_OK);
  EXPECT_TRUE(hidden);
}

TEST_F(VFolderTest, LinksStandForTheFoldersTheyName) {
  fTemp.MakeFolder("target");
  fTemp.Write("file", "x");
  ::symlink(fTemp.Path("target").c_str(), fTemp.Path("to-folder").c_str());
  ::symlink(fTemp.Path("file").c_str(), fTemp.Path("to-file").c_str());
  ::symlink(fTemp.Path("nowhere").c_str(), fTemp.Path("dangling").c_str());

  // ResolveAliasFolder replaces a folder named by a link by the link's target.
  VFolder* folder = new VFolder(*Folder(), Utf8("to-folder"), kFilePathStyleNative);
  EXPECT_EQ(VFolder::ResolveAliasFolder(&folder, false), VE_OK);
  EXPECT_EQ(PosixOf(*folder), fTemp.Path("target/"));
  EXPECT_EQ(VFolder::ResolveAliasFolder(&folder, false), VE_OK);  // a folder: untouched
  EXPECT_EQ(PosixOf(*folder), fTemp.Path("target/"));
  folder->Release();

  test::ErrorCollector errors;
  folder = new VFolder(*Folder(), Utf8("to-file"), kFilePathStyleNative);
  EXPECT_EQ(VFolder::ResolveAliasFolder(&folder, false),
            ToolboxError(toolbox_error::kFileAliasIsNotFolder));
  folder->Release();
  EXPECT_TRUE(ItemExists(fTemp.Path("to-file")));

  VFolder* made = VFolder::CreateAndResolveAlias(*Folder(), Utf8("dangling"));
  ASSERT_NE(made, nullptr);
  made->Release();
  EXPECT_FALSE(ItemExists(fTemp.Path("dangling")));  // the broken link went
  made = VFolder::CreateAndResolveAlias(*Folder(), Utf8("plain"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(PosixOf(*made), fTemp.Path("plain/"));
  made->Release();
}

TEST_F(VFolderTest, RelativesPathsAndURLs) {
  const VRefPtr<VFolder> base = Folder("base");
  const VString native = base->GetPath().GetPath();

  VRefPtr<VFolder> sub(base->RetainRelativeFolder(Utf8("a/b"), kFilePathStylePosix), kAdoptRef);
  ASSERT_TRUE(sub);
  EXPECT_EQ(PosixOf(*sub), fTemp.Path("base/a/b/"));
  VRefPtr<VFolder> same(new VFolder(*base, Utf8("a:b"), kFilePathStyleNative), kAdoptRef);
  EXPECT_TRUE(sub->IsSameFolder(same.Get()));
  VRefPtr<VFile> file(base->RetainRelativeFile(Utf8("x/y.txt"), kFilePathStylePosix), kAdoptRef);
  ASSERT_TRUE(file);
  EXPECT_EQ(to_string(file->GetPath().GetPath()), to_string(native) + "x:y.txt");
  EXPECT_EQ(base->RetainRelativeFile(VString(), kFilePathStylePosix), nullptr);

  VRefPtr<VFolder> parent(sub->RetainParentFolder(true), kAdoptRef);
  EXPECT_EQ(PosixOf(*parent), fTemp.Path("base/a/"));
  VFilePath relative;
  relative.FromRelativePath(*base, Utf8("a:"), kFilePathStyleNative);
  EXPECT_EQ(to_string(relative.GetPath()), to_string(native) + "a:");

  VString url;
  EXPECT_EQ(sub->GetURL(url, false), VE_OK);
  EXPECT_EQ(to_string(url), "file://" + fTemp.Path("base/a/b/"));
  EXPECT_EQ(sub->GetRelativeURL(base.Get(), url, false), VE_OK);
  EXPECT_EQ(to_string(url), "a/b/");
  VString absolute;
  VURL(*base, Utf8("a/b/"), kURLPathStylePosix).GetAbsoluteURL(absolute, false);
  EXPECT_EQ(to_string(absolute), "file://" + fTemp.Path("base/a/b/"));
  VURL fromNative;
  fromNative.FromRelativePath(*base, Utf8("a:b:"), kURLPathStyleHFS);
  fromNative.GetAbsoluteURL(absolute, false);
  EXPECT_EQ(to_string(absolute), "file://" + fTemp.Path("base/a/b/"));

  VFileError error(sub.Get(), ToolboxError(toolbox_error::kFolderNotFound));
  const test::ErrorRecord record = test::ReadErrorRecord(error);
  EXPECT_EQ(record.parameters.at("name"), "b");
  EXPECT_EQ(record.parameters.at("path"), to_string(native) + "a:b:");
}

TEST_F(VFolderTest, TimesVolumeAttributesAndDesktop) {
  const VRefPtr<VFolder> folder = Folder("Box.app");
  fTemp.Write("Box.app/Contents/Info.plist", "<plist/>");
  VTime when;
  when.FromUTCTime(2001, 2, 3, 4, 5, 6, 789);
  EXPECT_EQ(folder->SetTimeAttributes(&when, nullptr, &when), VE_OK);
  VTime modified, accessed;
  EXPECT_EQ(folder->GetTimeAttributes(&modified, nullptr, &accessed), VE_OK);
  EXPECT_EQ(modified.GetMilliseconds(), when.GetMilliseconds());
  EXPECT_EQ(accessed.GetMilliseconds(), when.GetMilliseconds());

  int64 total = 0, free = -1;
  EXPECT_EQ(folder->GetVolumeCapacity(&total), VE_OK);
  EXPECT_EQ(folder->GetVolumeFreeSpace(&free, true), VE_OK);
  EXPECT_GT(total, 0);
  EXPECT_GE(free, 0);
  EXPECT_LE(free, total);

  unsigned attributes = 7;
  EXPECT_EQ(folder->GetFolderAttributes(attributes), VE_OK);
  EXPECT_EQ(attributes, 0u);
  EXPECT_TRUE(folder->MAC_IsPackage());
  EXPECT_FALSE(Folder("Box.app/Contents")->MAC_IsPackage());
  EXPECT_TRUE(folder->GetImpl().IsTraversable());

  // Without a desktop nothing is shown, and the caller is told.
  platform::UserEnvironment environment;
  environment.fHome = fTemp.Path();
  platform::SetUserEnvironmentForTesting(&environment);
  test::ErrorCollector errors;
  EXPECT_FALSE(folder->RevealInFinder(true));
  EXPECT_TRUE(
      test::HasError(errors.Errors(), NativeCode(ENOTSUP, toolbox_error::kFolderCannotReveal)));
  platform::SetUserEnvironmentForTesting(nullptr);

  test::ErrorCollector missing;
  EXPECT_EQ(Folder("gone")->SetTimeAttributes(&when, nullptr, nullptr),
            NativeCode(ENOENT, toolbox_error::kFileCannotGetAttributes));
  EXPECT_EQ(Folder("gone")->GetTimeAttributes(&modified, nullptr, nullptr),
            NativeCode(ENOENT, toolbox_error::kFolderCannotGetAttributes));
}

TEST_F(VFolderTest, OneFolderSharedByThreads) {
  fTemp.Write("shared/Contents/a", "a");
  fTemp.Write("shared/Contents/sub/b", "b");
  const VRefPtr<VFolder> shared = Folder("shared");
  const VRefPtr<VFolder> copies = Folder("copies");
  ASSERT_EQ(copies->Create(), VE_OK);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round) {
        const VString name = Utf8("copy" + std::to_string(i));
        EXPECT_EQ(shared->CopyTo(*copies, name, nullptr, kFolderCopyReplace), VE_OK);
        std::vector<VRefPtr<VFolder>> folders;
        shared->GetContents(nullptr, &folders);
        EXPECT_EQ(folders.size(), 1u);
        EXPECT_TRUE(shared->Exists());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(
        test::TreeDifferences(fTemp.Path("shared"), fTemp.Path("copies/copy" + std::to_string(i))),
        "");
  }
}

TEST_F(VFolderTest, SystemFolders) {
  EXPECT_EQ(VFolder::RetainSystemFolder(kSystemFolderNone, false), nullptr);
  EXPECT_EQ(VFolder::RetainSystemFolder(ESystemFolderKind(13), false), nullptr);
  VRefPtr<VFolder> temporary(VFolder::RetainSystemFolder(kSystemFolderTemporary, true), kAdoptRef);
  ASSERT_TRUE(temporary);
  EXPECT_TRUE(temporary->Exists());
  EXPECT_TRUE(temporary->GetPath().IsFolder());
}

TEST_F(VFolderTest, LocalizationFoldersAsObjects) {
  fTemp.Write("res/fr.lproj/strings.xlf", "<xliff/>");
  fTemp.MakeFolder("res/French.lproj");
  std::vector<VRefPtr<VFolder>> found;
  EXPECT_TRUE(VIntlMgr::GetLocalizationFoldersWithDialect(1036, Folder("res")->GetPath(), found));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(PosixOf(*found[0]), fTemp.Path("res/fr.lproj/"));
  EXPECT_EQ(found[0]->GetRefCount(), 1);

  bool exists = false;
  VRefPtr<VFile> file(VIntlMgr::RetainLocalizationFile(Folder("res")->GetPath(),
                                                       Utf8("strings.xlf"), 1036, &exists),
                      kAdoptRef);
  EXPECT_TRUE(exists);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Exists());
  EXPECT_EQ(VIntlMgr::RetainLocalizationFile(Folder("res")->GetPath(), Utf8("none"), 1036, &exists),
            nullptr);
  EXPECT_FALSE(exists);
}

}  // namespace
}  // namespace zeft
