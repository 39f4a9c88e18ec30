// Folder and file iterators: which entries each combination of options
// yields (invisible entries, links to folders and files, dangling links,
// pipes and links to them), the descent of a recursive iteration, the
// positions of items, restarting, the times of the current entry, and
// iterations whose allocations fail.
#include "files/VFSObjectIterator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "FolderTestSupport.h"
#include "files/mac/XMacFile.h"
#include "files/mac/XMacVolumes.h"
#include "support/ErrorTestSupport.h"
#include "support/StFailingAllocation.h"
#include "support/StringTestSupport.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::FolderTest;
using test::StFailingAllocation;
using Names = std::vector<std::string>;

// The last component of an item's POSIX path (a folder's without its '/').
std::string NameOf(const IFileSystemObject& item) {
  std::string text = test::PosixPathOf(item);
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text.substr(text.rfind('/') + 1);
}

class VFSObjectIteratorTest : public FolderTest {
 protected:
  // plain, .dot, sub/, .hidden-sub/, links to each kind, a dangling link,
  // a pipe, a link to the pipe and an invisible link.
  void SetUp() override {
    fTemp.Write("t/plain", "p");
    fTemp.Write("t/.dot", "d");
    fTemp.Write("t/sub/inner", "i");
    fTemp.Write("t/.hidden-sub/inner", "i");
    ASSERT_EQ(::symlink("sub", fTemp.Path("t/link-sub").c_str()), 0);
    ASSERT_EQ(::symlink("plain", fTemp.Path("t/link-plain").c_str()), 0);
    ASSERT_EQ(::symlink(".dot", fTemp.Path("t/link-dot").c_str()), 0);
    ASSERT_EQ(::symlink("plain", fTemp.Path("t/.link-hidden").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", fTemp.Path("t/dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(fTemp.Path("t/fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("fifo", fTemp.Path("t/link-fifo").c_str()), 0);
  }

  template <class Iterator>
  Names Yielded(unsigned options) {
    Names names;
    int32 index = 0;
    for (Iterator it(Folder("t").Get(), options); it.IsValid(); ++it) {
      EXPECT_EQ(it.GetIndex(), ++index);
      names.push_back(NameOf(*it.Current()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// Nothing here opens the pipe: a test that did would hang.
TEST_F(VFSObjectIteratorTest, FileEnumerationsByOption) {
  struct Case {
    unsigned options;
    Names names;
  };
  const Case cases[] = {
      // Links are entries of their own, counted with files.
      {4, {"dangling", "link-dot", "link-fifo", "link-plain", "link-sub", "plain"}},
      {12,
       {".dot", ".link-hidden", "dangling", "link-dot", "link-fifo", "link-plain", "link-sub",
        "plain"}},
      // Resolved, links give their targets: a folder, nothing, a pipe and an
      // invisible target are left out.
      {20, {"plain", "plain"}},
      {28, {".dot", ".dot", "plain", "plain", "plain"}},
      // A file enumeration never yields folders.
      {2, {}},
      {6, {"dangling", "link-dot", "link-fifo", "link-plain", "link-sub", "plain"}},
      {0, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Yielded<VFileIterator>(c.options), c.names) << "options " << c.options;
  }
}

TEST_F(VFSObjectIteratorTest, FolderEnumerationsByOption) {
  struct Case {
    unsigned options;
    Names names;
  };
  const Case cases[] = {
      {2, {"sub"}},
      {10, {".hidden-sub", "sub"}},
      // The link to a folder gives the folder under its real path.
      {18, {"sub", "sub"}},
      {26, {".hidden-sub", "sub", "sub"}},
      // A folder enumeration never yields files.
      {4, {}},
      {6, {"sub"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Yielded<VFolderIterator>(c.options), c.names) << "options " << c.options;
  }
}

TEST_F(VFSObjectIteratorTest, ResolvedLinksNameTheirTargets) {
  for (VFolderIterator it(Folder("t").Get(), kFSIterateFolders | kFSIterateResolveLinks);
       it.IsValid(); ++it) {
    EXPECT_EQ(test::PosixPathOf(*it.Current()), fTemp.Path("t/sub/"));
  }
  // A folder reached through a link yields entries below the link's target.
  ASSERT_EQ(::symlink("t/sub", fTemp.Path("via").c_str()), 0);
  VFileIterator it(Folder("via").Get(), kFSIterateFiles);
  ASSERT_TRUE(it.IsValid());
  EXPECT_EQ(test::PosixPathOf(*it.Current()), fTemp.Path("t/sub/inner"));
}

// An item's ':' path is the full conversion of its POSIX path, whichever
// volume holds the folder and when an entry is a mount point of its own.
TEST_F(VFSObjectIteratorTest, ItemPathsAreTheFullConversionsOfTheirPosixPaths) {
  fTemp.Write("t/a:b", "c");
  fTemp.Write("t/sub/x:y/leaf", "l");
  char* real = ::realpath(fTemp.Path("t").c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  const std::string t = real;
  std::free(real);
  const std::vector<XMacVolumes::VolumeList> lists = {
      {{"/", "V"}},
      {{"/", "V"}, {t, "T"}},
      {{"/", "V"}, {t, "T"}, {t + "/sub", "S"}},
      {{"/", "V"}, {t + "/sub/", "S"}},
  };
  for (const auto& volumes : lists) {
    XMacVolumes::Get().SetVolumeListProvider([volumes] { return volumes; });
    size_t seen = 0;
    Folder("t")->Iterate(
        [&](IFileAttributeAccessor* accessor) {
          const IFileSystemObject* item = accessor->GetFile();
          if (item == nullptr) item = accessor->GetFolder();
          std::string posix = test::PosixPathOf(*item);
          const bool folder = posix.back() == '/';
          if (folder) posix.pop_back();
          VString expected;
          EXPECT_TRUE(XMacFile::PosixFullPathToHFS(posix.c_str(), false, expected)) << posix;
          if (folder) expected.AppendUniChar(':');
          EXPECT_EQ(test::Text(item->GetPath().GetPath()), test::Text(expected)) << posix;
          ++seen;
          return true;
        },
        kFSIterateRecursive | kFSIterateFolders | kFSIterateFiles | kFSIterateInvisible);
    EXPECT_EQ(seen, 13u) << volumes.size();
  }
  XMacVolumes::Get().SetVolumeListProvider(nullptr);
}

TEST_F(VFSObjectIteratorTest, RecursiveIterationByOption) {
  fTemp.Write("t/sub/deeper/leaf", "l");
  const auto visit = [&](unsigned options) {
    Names names;
    Folder("t")->Iterate(
        [&](IFileAttributeAccessor* accessor) {
          if (accessor->GetFile() != nullptr) {
            names.push_back(NameOf(*accessor->GetFile()));
          } else {
            names.push_back(NameOf(*accessor->GetFolder()) + "/");
          }
          return true;
        },
        options);
    std::sort(names.begin(), names.end());
    return names;
  };
  struct Case {
    unsigned options;
    Names names;
  };
  const Case cases[] = {
      {1 | 4,
       {"dangling", "inner", "leaf", "link-dot", "link-fifo", "link-plain", "link-sub", "plain"}},
      {1 | 2, {"deeper/", "sub/"}},
      {1 | 2 | 8, {".hidden-sub/", "deeper/", "sub/"}},
      // Descending through the resolved link visits the folder twice.
      {1 | 2 | 16, {"deeper/", "deeper/", "sub/", "sub/"}},
      {2, {"sub/"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(visit(c.options), c.names) << "options " << c.options;
  }
}

// A link to a folder that holds it is reported, never descended into again:
// the descent would not end.
TEST_F(VFSObjectIteratorTest, RecursionThroughALinkToAnAncestorEnds) {
  ASSERT_EQ(::symlink("..", fTemp.Path("t/sub/up").c_str()), 0);
  ASSERT_EQ(::symlink(".", fTemp.Path("t/sub/self").c_str()), 0);
  int visits = 0;
  Folder("t")->Iterate(
      [&](IFileAttributeAccessor*) {
        ++visits;
        return visits < 10000;
      },
      kFSIterateRecursive | kFSIterateFolders | kFSIterateResolveLinks);
  EXPECT_LT(visits, 10000);
}

TEST_F(VFSObjectIteratorTest, AMissingFolderYieldsNothingAndRaisesNothing) {
  test::ErrorCollector errors;
  VFileIterator files(Folder("missing").Get(), kFSIterateFiles | kFSIterateInvisible);
  VFolderIterator folders(Folder("missing").Get(), kFSIterateFolders);
  VFileIterator none(nullptr, kFSIterateFiles);
  EXPECT_FALSE(files.IsValid());
  EXPECT_FALSE(folders.IsValid());
  EXPECT_FALSE(none.IsValid());
  EXPECT_EQ(files.GetIndex(), 0);
  EXPECT_TRUE(errors.Errors().empty());
}

TEST_F(VFSObjectIteratorTest, RestartBeginsAgain) {
  VFileIterator it(Folder("t").Get(), kFSIterateFiles);
  ++it;
  ++it;
  EXPECT_EQ(it.GetIndex(), 3);
  it.Restart();
  EXPECT_EQ(it.GetIndex(), 1);
  int count = 0;
  for (; it.IsValid(); ++it) ++count;
  EXPECT_EQ(count, 6);
  EXPECT_EQ(it.GetAccessor(), nullptr);
  // Advancing past the end stays at the end.
  ++it;
  EXPECT_FALSE(it.IsValid());
  EXPECT_EQ(it.GetIndex(), 6);
}

// The times of the current entry: a link's own unless it is resolved, then
// its target's.
TEST_F(VFSObjectIteratorTest, TimesOfTheCurrentEntry) {
  const timespec fileTimes[2] = {{1000000000, 0}, {1100000000, 250000000}};
  const timespec linkTimes[2] = {{1200000000, 0}, {1300000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, fTemp.Path("t/plain").c_str(), fileTimes, 0), 0);
  ASSERT_EQ(
      ::utimensat(AT_FDCWD, fTemp.Path("t/link-plain").c_str(), linkTimes, AT_SYMLINK_NOFOLLOW), 0);
  const auto modifiedOf = [&](const char* name, unsigned options) {
    for (VFileIterator it(Folder("t").Get(), options); it.IsValid(); ++it) {
      if (test::PosixPathOf(*it.Current()) != fTemp.Path(std::string("t/") + name)) continue;
      VTime modified, accessed, epoch;
      epoch.FromUTCTime(1970, 1, 1, 0, 0, 0, 0);
      EXPECT_EQ(it.GetAccessor()->GetTime(&modified, nullptr, &accessed), VE_OK);
      return std::make_pair(modified.GetMilliseconds() - epoch.GetMilliseconds(),
                            accessed.GetMilliseconds() - epoch.GetMilliseconds());
    }
    return std::make_pair(int64(-1), int64(-1));
  };
  EXPECT_EQ(modifiedOf("plain", kFSIterateFiles),
            std::make_pair(int64(1100000000250), int64(1000000000000)));
  EXPECT_EQ(modifiedOf("link-plain", kFSIterateFiles),
            std::make_pair(int64(1300000000000), int64(1200000000000)));
}

// Runs `iterate` with its nth allocation failing, for each n until one run
// allocates fewer: every failure comes out as std::bad_alloc, and the folder
// is left with the references it had. What else a failure leaks, the leak
// sanitizer reports at exit.
template <class Iterate>
void FailEachAllocation(const VFolder& folder, Iterate iterate) {
  const int32 references = folder.GetRefCount();
  int failures = 0;
  for (int nth = 1;; ++nth) {
    bool failed = false;
    try {
      StFailingAllocation failing(nth);
      iterate();
      failed = failing.Failed();
    } catch (const std::bad_alloc&) {
      failed = true;
    }
    ASSERT_EQ(folder.GetRefCount(), references) << "allocation " << nth;
    if (!failed) break;
    ++failures;
  }
  EXPECT_GT(failures, 10) << "the iteration allocates";
}

TEST_F(VFSObjectIteratorTest, AFailingAllocationAtAnyStepLeaksNothing) {
  const VRefPtr<VFolder> folder = Folder("t");
  for (const unsigned options : {0u, kFSIterateInvisible | kFSIterateResolveLinks}) {
    SCOPED_TRACE(options);
    FailEachAllocation(*folder, [&] {
      VFileIterator files(folder.Get(), kFSIterateFiles | options);
      for (; files.IsValid(); ++files) {
      }
      files.Restart();
      VFolderIterator folders(folder.Get(), kFSIterateFolders | options);
      for (; folders.IsValid(); ++folders) {
      }
    });
    FailEachAllocation(*folder, [&] {
      folder->Iterate([](IFileAttributeAccessor*) { return true; },
                      kFSIterateRecursive | kFSIterateFiles | kFSIterateFolders | options);
    });
  }
}

}  // namespace
}  // namespace zeft
