// Named file systems and their namespaces: parsing "/NAME/rest" texts, the
// files and folders they name (never outside the root), quotas, look-ups
// through parent namespaces, definition files, and the binding of files,
// folders and enumerated entries to a file system.
#include "files/VFileSystem.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "FolderTestSupport.h"
#include "files/VFSObjectIterator.h"
#include "files/VFileSystemNamespace.h"
#include "json/VJSONArray.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::FolderTest;
using test::HasToolboxError;
using test::Utf8;
namespace te = toolbox_error;

class VFileSystemTest : public FolderTest {
 protected:
  void SetUp() override {
    fTemp.Write("root/a/file.txt", "a");
    fTemp.Write("root/b", "b");
    fTemp.Write("outside.txt", "o");
    ASSERT_EQ(fSpace->RegisterFileSystem(VString("NAME"), Folder("root").Get(), 0), VE_OK);
  }
  VRefPtr<VFileSystemNamespace> fSpace{new VFileSystemNamespace(), kAdoptRef};
};

TEST_F(VFileSystemTest, ParsingPathsWithAFileSystem) {
  struct Case {
    const char* text;
    bool parses;
    const char* relative;
  };
  const Case cases[] = {
      {"/", false, ""},
      {"/NAME", false, ""},
      {"NAME/a", false, ""},
      {"//a", false, ""},
      {"/OTHER/a", false, ""},
      {"/NAME/", true, ""},
      {"/NAME/a/file.txt", true, "a/file.txt"},
      {"/NAME/a/", true, "a/"},
      {"/NAME/a/../b", true, "b"},
      {"/NAME/./a/./file.txt", true, "a/file.txt"},
      {"/NAME/../x", false, ""},
      {"/NAME/a/../../outside.txt", false, ""},
      {"/NAME//etc/passwd", false, ""},
      {"/name/a", false, ""},
  };
  for (const Case& c : cases) {
    VRefPtr<VFileSystem> fileSystem;
    VString relative("untouched");
    EXPECT_EQ(fSpace->ParsePathWithFileSystem(VString(c.text), fileSystem, relative, 0), c.parses)
        << c.text;
    if (c.parses) {
      EXPECT_EQ(to_string(relative), c.relative) << c.text;
      ASSERT_NE(fileSystem.Get(), nullptr);
      EXPECT_TRUE(fileSystem->GetName() == VString("NAME"));
    }
  }
}

TEST_F(VFileSystemTest, FilesAndFoldersNamedInAFileSystem) {
  const std::string root = fTemp.Path("root/");
  struct Case {
    const char* text;
    bool folder;
    bool allowPosix;
    std::string posix;  // empty: null
    const char* named;
  };
  const Case cases[] = {
      {"/NAME/a/file.txt", false, false, root + "a/file.txt", "/NAME/a/file.txt"},
      {"/NAME/a/../b", false, false, root + "b", "/NAME/b"},
      {"/NAME/a/", false, false, "", ""},
      {"/NAME/../outside.txt", false, false, "", ""},
      {"/NAME/", true, false, root, "/NAME/"},
      {"/NAME", true, false, root, "/NAME/"},
      {"/NAME/a", true, false, root + "a/", "/NAME/a/"},
      {"/NAME/../", true, false, "", ""},
      // Plain POSIX paths only when allowed; a folder's must end with '/'.
      {"/tmp/x.txt", false, false, "", ""},
      {"/tmp/x.txt", false, true, "/tmp/x.txt", "/tmp/x.txt"},
      {"/tmp/sub", true, true, "", ""},
      {"/tmp/sub/", true, true, "/tmp/sub/", "/tmp/sub/"},
      {"", false, true, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    VRefPtr<IFileSystemObject> item;
    if (c.folder) {
      item = VRefPtr<IFileSystemObject>(
          fSpace->RetainFolder(VString(c.text), nullptr, 0, c.allowPosix), kAdoptRef);
    } else {
      item = VRefPtr<IFileSystemObject>(
          fSpace->RetainFile(VString(c.text), nullptr, 0, c.allowPosix), kAdoptRef);
    }
    if (c.posix.empty()) {
      EXPECT_EQ(item.Get(), nullptr);
      continue;
    }
    ASSERT_NE(item.Get(), nullptr);
    EXPECT_EQ(test::PosixPathOf(*item), c.posix);
    EXPECT_EQ(to_string(item->GetPathWithFileSystem()), c.named);
  }
  // Relative texts go through the base folder.
  VRefPtr<IFile> relative(fSpace->RetainFile(VString("a/file.txt"), Folder("root").Get(), 0, false),
                          kAdoptRef);
  ASSERT_NE(relative.Get(), nullptr);
  EXPECT_EQ(test::PosixPathOf(*relative), root + "a/file.txt");
  // Without a namespace a text is a POSIX path.
  VRefPtr<IFile> plain(
      VFileSystemNamespace::RetainFile(nullptr, VString("/NAME/b"), nullptr, 0, false), kAdoptRef);
  ASSERT_NE(plain.Get(), nullptr);
  EXPECT_EQ(test::PosixPathOf(*plain), "/NAME/b");
}

TEST_F(VFileSystemTest, QuotasCountRequestedSpace) {
  VRefPtr<VFileSystem> unlimited(new VFileSystem(VString("u"), nullptr, 1, 0, 0), kAdoptRef);
  EXPECT_EQ(unlimited->Request(uint64(1) << 62), VE_OK);
  EXPECT_EQ(unlimited->Relinquish(5), VE_OK);

  VRefPtr<VFileSystem> limited(new VFileSystem(VString("l"), nullptr, 1, 100, 40), kAdoptRef);
  EXPECT_EQ(limited->GetAvailable(), 60u);
  EXPECT_EQ(limited->Request(60), VE_OK);
  EXPECT_EQ(limited->Request(1), ToolboxError(te::kFileSystemQuotaExceeded));
  EXPECT_EQ(limited->GetAvailable(), 0u);
  EXPECT_EQ(limited->Relinquish(30), VE_OK);
  EXPECT_EQ(limited->GetAvailable(), 30u);
  EXPECT_EQ(limited->Relinquish(~uint64(0)), VE_OK);
  EXPECT_EQ(limited->GetAvailable(), ~uint64(0));

  // More used than the quota leaves nothing available, never a huge count.
  VRefPtr<VFileSystem> over(new VFileSystem(VString("o"), nullptr, 1, 100, 150), kAdoptRef);
  EXPECT_EQ(over->GetAvailable(), 0u);
  EXPECT_EQ(over->Request(1), ToolboxError(te::kFileSystemQuotaExceeded));

  VRefPtr<VFileSystem> fixed(new VFileSystem(VString("f"), nullptr, 0, 100, 0), kAdoptRef);
  ErrorCollector errors;
  EXPECT_EQ(fixed->Request(1), ToolboxError(te::kFileSystemNoSpaceAccounting));
  EXPECT_EQ(fixed->Relinquish(1), ToolboxError(te::kFileSystemNoSpaceAccounting));
  EXPECT_TRUE(errors.Errors().empty());
}

// Requests from several threads never hand out more than the quota.
TEST_F(VFileSystemTest, ConcurrentRequestsKeepTheQuota) {
  VRefPtr<VFileSystem> limited(new VFileSystem(VString("l"), nullptr, 1, 1000, 0), kAdoptRef);
  std::atomic<int> granted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        if (limited->Request(1) == VE_OK) ++granted;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(granted.load(), 1000);
  EXPECT_EQ(limited->GetAvailable(), 0u);
}

TEST_F(VFileSystemTest, NamesMustBeNonEmptyWithoutSlashes) {
  for (const char* name : {"", "a/b", "/"}) {
    ErrorCollector errors;
    VError error = VE_OK;
    EXPECT_EQ(VFileSystem::Create(VString(name), Folder("root").Get(), 0, 0, 0, &error), nullptr);
    EXPECT_EQ(error, ToolboxError(te::kFileSystemInvalidName));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), te::kFileSystemInvalidName, "name", name));
  }
}

TEST_F(VFileSystemTest, LookUpsThroughParentNamespaces) {
  VRefPtr<VFileSystemNamespace> child(new VFileSystemNamespace(fSpace.Get()), kAdoptRef);
  ASSERT_EQ(fSpace->RegisterFileSystem(VString(".HOME"), Folder().Get(), kFileSystemHidden), VE_OK);
  ASSERT_EQ(fSpace->RegisterFileSystem(VString("SHARED"), Folder("root/a").Get(), 0), VE_OK);
  ASSERT_EQ(child->RegisterFileSystem(VString("SHARED"), Folder("root").Get(), 0), VE_OK);

  const auto rootOf = [&](VFileSystemNamespace* space, const char* name, unsigned options) {
    VRefPtr<VFileSystem> found(space->RetainFileSystem(VString(name), options), kAdoptRef);
    if (found.Get() == nullptr) return std::string("none");
    VString posix;
    found->GetRoot().GetPosixPath(posix);
    return to_string(posix);
  };
  EXPECT_EQ(rootOf(child.Get(), "NAME", 0), "none");
  EXPECT_EQ(rootOf(child.Get(), "NAME", 2), fTemp.Path("root/"));
  EXPECT_EQ(rootOf(child.Get(), "SHARED", 2), fTemp.Path("root/"));
  EXPECT_EQ(rootOf(fSpace.Get(), "SHARED", 0), fTemp.Path("root/a/"));
  EXPECT_EQ(rootOf(fSpace.Get(), ".HOME", 0), fTemp.Path() + "/");
  EXPECT_EQ(rootOf(fSpace.Get(), ".HOME", 1), "none");

  VFileSystemMap map;
  EXPECT_EQ(child->RetainMapOfFileSystems(map, 3), VE_OK);
  std::vector<std::string> names;
  for (const auto& [name, fileSystem] : map) names.push_back(to_string(name));
  EXPECT_EQ(names, (std::vector<std::string>{"NAME", "SHARED"}));
  VString posix;
  map[VString("SHARED")]->GetRoot().GetPosixPath(posix);
  EXPECT_EQ(to_string(posix), fTemp.Path("root/"));

  child->UnregisterFileSystem(VString("SHARED"));
  EXPECT_EQ(rootOf(child.Get(), "SHARED", 2), fTemp.Path("root/a/"));
}

TEST_F(VFileSystemTest, DefinitionFiles) {
  fTemp.MakeFolder("defs/data");
  const std::string definition = R"([{"name": "DATA", "path": ")" + fTemp.Path("defs/data") +
                                 R"(", "writable": true},
          {"name": "INNER", "path": "a", "parent": "NAME"},
          {"name": "ESCAPE", "path": "../..", "parent": "NAME"},
          {"name": "ORPHAN", "path": "a", "parent": "MISSING"},
          42, "text", {"name": "NOPATH"}])";
  fTemp.Write("defs/fileSystems.json", definition);
  EXPECT_EQ(fSpace->LoadFromDefinitionFile(File("defs/fileSystems.json").Get()), VE_OK);

  VRefPtr<VFileSystem> data(fSpace->RetainFileSystem(VString("DATA"), 0), kAdoptRef);
  ASSERT_NE(data.Get(), nullptr);
  EXPECT_EQ(data->GetFlags(), kFileSystemSpaceAccounting);
  VRefPtr<IFolder> inner(fSpace->RetainFolder(VString("/INNER/"), nullptr, 0, false), kAdoptRef);
  ASSERT_NE(inner.Get(), nullptr);
  EXPECT_EQ(test::PosixPathOf(*inner), fTemp.Path("root/a/"));
  for (const char* name : {"ESCAPE", "ORPHAN", "NOPATH"}) {
    VRefPtr<VFileSystem> none(fSpace->RetainFileSystem(VString(name), 2), kAdoptRef);
    EXPECT_EQ(none.Get(), nullptr) << name;
  }

  // Errors: no file, text that is no JSON, a bad name.
  {
    ErrorCollector errors;
    EXPECT_EQ(fSpace->LoadFromDefinitionFile(nullptr), ToolboxError(te::kGeneric));
  }
  {
    fTemp.Write("defs/broken.json", "[{\"name\": ");
    ErrorCollector errors;
    VRefPtr<VFile> broken = File("defs/broken.json");
    EXPECT_EQ(fSpace->LoadFromDefinitionFile(broken.Get()),
              ToolboxError(te::kFileSystemInvalidDefinition));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), te::kFileSystemInvalidDefinition, "path",
                                to_string(broken->GetPath().GetPath()).c_str()));
  }
  {
    fTemp.Write("defs/badname.json", R"([{"name": "a/b", "path": "/tmp/"}])");
    ErrorCollector errors;
    EXPECT_EQ(fSpace->LoadFromDefinitionFile(File("defs/badname.json").Get()),
              ToolboxError(te::kFileSystemInvalidName));
  }
  fTemp.Write("defs/object.json", R"({"name": "X", "path": "/tmp/"})");
  EXPECT_EQ(fSpace->LoadFromDefinitionFile(File("defs/object.json").Get()), VE_OK);
  VRefPtr<VFileSystem> ignored(fSpace->RetainFileSystem(VString("X"), 0), kAdoptRef);
  EXPECT_EQ(ignored.Get(), nullptr);
}

TEST_F(VFileSystemTest, BoundFoldersStayInsideTheRoot) {
  VRefPtr<IFolder> root(fSpace->RetainFileSystemRootFolder(VString("NAME"), 0), kAdoptRef);
  ASSERT_NE(root.Get(), nullptr);
  VFolder* folder = static_cast<VFolder*>(root.Get());
  ASSERT_NE(folder->GetFileSystem(), nullptr);

  VRefPtr<VFolder> a(folder->RetainRelativeFolder(VString("a"), kFilePathStylePosix), kAdoptRef);
  ASSERT_NE(a.Get(), nullptr);
  EXPECT_EQ(a->GetFileSystem(), folder->GetFileSystem());
  EXPECT_EQ(to_string(a->GetPathWithFileSystem()), "/NAME/a/");
  VRefPtr<VFolder> sandboxedParent(a->RetainParentFolder(true), kAdoptRef);
  ASSERT_NE(sandboxedParent.Get(), nullptr);
  EXPECT_EQ(sandboxedParent->GetFileSystem(), folder->GetFileSystem());

  EXPECT_EQ(folder->RetainRelativeFolder(VString("../"), kFilePathStylePosix), nullptr);
  EXPECT_EQ(folder->RetainRelativeFile(VString("../outside.txt"), kFilePathStylePosix), nullptr);
  EXPECT_EQ(folder->RetainParentFolder(true), nullptr);
  VRefPtr<VFolder> parent(folder->RetainParentFolder(false), kAdoptRef);
  ASSERT_NE(parent.Get(), nullptr);
  EXPECT_EQ(parent->GetFileSystem(), nullptr);

  // A file built from a bound folder keeps the file system only inside it.
  const VFile inside(*folder, VString("a/file.txt"), kFilePathStylePosix);
  EXPECT_EQ(inside.GetFileSystem(), folder->GetFileSystem());
  EXPECT_EQ(to_string(inside.GetPathWithFileSystem()), "/NAME/a/file.txt");
  VRefPtr<VFolder> fileParent(inside.RetainParentFolder(true), kAdoptRef);
  ASSERT_NE(fileParent.Get(), nullptr);
  EXPECT_EQ(fileParent->GetFileSystem(), folder->GetFileSystem());
  // Copies hand the file system on while they stay inside its root.
  VFile* copy = nullptr;
  ASSERT_EQ(inside.CopyTo(VFilePath(Utf8(fTemp.Path("root/copy.txt")), kFilePathStylePosix), &copy),
            VE_OK);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(to_string(copy->GetPathWithFileSystem()), "/NAME/copy.txt");
  copy->Release();
  ASSERT_EQ(inside.CopyTo(VFilePath(Utf8(fTemp.Path("copy.txt")), kFilePathStylePosix), &copy),
            VE_OK);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetFileSystem(), nullptr);
  copy->Release();
  const VFile escaped(*folder, VString("../outside.txt"), kFilePathStylePosix);
  EXPECT_EQ(escaped.GetFileSystem(), nullptr);
  EXPECT_EQ(to_string(escaped.GetPathWithFileSystem()), fTemp.Path("outside.txt"));
}

// Enumerated entries are bound to the folder's file system, and a link
// resolved to a target outside its root is skipped.
TEST_F(VFileSystemTest, EnumerationsOfABoundFolder) {
  ASSERT_EQ(::symlink("../outside.txt", fTemp.Path("root/link-out").c_str()), 0);
  ASSERT_EQ(::symlink("b", fTemp.Path("root/link-in").c_str()), 0);
  VRefPtr<IFolder> root(fSpace->RetainFileSystemRootFolder(VString("NAME"), 0), kAdoptRef);
  const VFolder* folder = static_cast<const VFolder*>(root.Get());
  std::vector<std::string> named;
  for (VFileIterator it(folder, kFSIterateFiles | kFSIterateResolveLinks); it.IsValid(); ++it) {
    EXPECT_EQ(it->GetFileSystem(), folder->GetFileSystem());
    named.push_back(to_string(it->GetPathWithFileSystem()));
  }
  std::sort(named.begin(), named.end());
  EXPECT_EQ(named, (std::vector<std::string>{"/NAME/b", "/NAME/b"}));
  for (VFolderIterator it(folder, kFSIterateFolders); it.IsValid(); ++it) {
    EXPECT_EQ(to_string(it->GetPathWithFileSystem()), "/NAME/a/");
  }
}

TEST_F(VFileSystemTest, ATemporaryFileSystemDeletesItsRoot) {
  fTemp.Write("scratch/sub/file", "x");
  {
    VRefPtr<VFileSystem> temporary(
        new VFileSystem(VString("T"), Folder("scratch").Get(), kFileSystemTemporary, 0, 0),
        kAdoptRef);
    EXPECT_TRUE(test::ItemExists(fTemp.Path("scratch/sub/file")));
  }
  EXPECT_FALSE(test::ItemExists(fTemp.Path("scratch")));
  {
    VRefPtr<VFileSystem> kept(new VFileSystem(VString("K"), Folder("root").Get(), 0, 0, 0),
                              kAdoptRef);
  }
  EXPECT_TRUE(test::ItemExists(fTemp.Path("root/b")));
}

}  // namespace
}  // namespace zeft
