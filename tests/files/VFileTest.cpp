// The file object: locked opens against another process's flock, copies and
// moves (a copy onto the file itself included), renames, deletion and the
// Trash, whole-content reads and writes, and the errors each raises.
#include "files/VFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "FileTestSupport.h"
#include "files/VFileDesc.h"
#include "files/VFolder.h"
#include "platform/ChildProcess.h"
#include "platform/DirectoryWalk.h"
#include "platform/UserEnvironment.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::FileAt;
using test::HasError;
using test::HasToolboxError;
using test::InodeOf;
using test::ItemExists;
using test::PosixFilePath;
using test::ReadWholeFile;
using test::TempFolder;

// Whether `text` has the form of `pattern`, in which '9' stands for a
// decimal digit and 'F' for an upper-case hexadecimal one.
bool MatchesForm(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool digit = c >= '0' && c <= '9';
    const bool ok = pattern[i] == '9'   ? digit
                    : pattern[i] == 'F' ? digit || (c >= 'A' && c <= 'F')
                                        : c == pattern[i];
    if (!ok) return false;
  }
  return true;
}

constexpr VError kPosixAccessDenied = MakeVError(kComponentPosix, EACCES);

// A forked process holding a flock on a file until it is destroyed.
class LockHolder {
 public:
  LockHolder(const std::string& path, int operation) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    fChild = ::fork();
    if (fChild == 0) {
      ::alarm(60);
      ::close(ready[0]);
      ::close(release[1]);
      const int fd = ::open(path.c_str(), O_RDONLY);
      char byte = (fd >= 0 && ::flock(fd, operation) == 0) ? 1 : 0;
      (void)!::write(ready[1], &byte, 1);
      (void)!::read(release[0], &byte, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    fRelease = release[1];
    char byte = 0;
    fLocked = ::read(ready[0], &byte, 1) == 1 && byte == 1;
    ::close(ready[0]);
  }
  ~LockHolder() {
    if (fChild <= 0) return;
    ::close(fRelease);
    int status = 0;
    ::waitpid(fChild, &status, 0);
  }
  bool Locked() const { return fLocked; }

 private:
  pid_t fChild = -1;
  int fRelease = -1;
  bool fLocked = false;
};

class VFileTest : public ::testing::Test {
 protected:
  TempFolder fFolder;
};

TEST_F(VFileTest, ExclusiveOpenOfAFileLockedElsewhereFailsWithoutTruncating) {
  const std::string path = fFolder.Write("locked.txt", "keep me");
  auto file = FileAt(path);
  LockHolder holder(path, LOCK_EX);
  ASSERT_TRUE(holder.Locked());

  ErrorCollector errors;
  VFileDesc* desc = reinterpret_cast<VFileDesc*>(1);
  const VError result =
      file->Open(kFileAccessReadWriteExclusive, &desc, kFileOptionTruncate | kFileOptionCreate);
  EXPECT_EQ(result, ToolboxError(toolbox_error::kAccessDenied));
  EXPECT_EQ(desc, nullptr);
  EXPECT_EQ(ReadWholeFile(path), "keep me");
  EXPECT_TRUE(HasError(errors.Errors(), kPosixAccessDenied));
  EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kAccessDenied, "access", "1"));
  EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kAccessDenied, "options", "6"));

  // A shared lock is refused too, and so are the whole-content writes.
  EXPECT_NE(file->Open(kFileAccessReadWriteShared, &desc, kFileOptionTruncate), VE_OK);
  EXPECT_NE(file->SetContent("new", 3), VE_OK);
  EXPECT_NE(file->AppendContent("new", 3), VE_OK);
  EXPECT_EQ(ReadWholeFile(path), "keep me");
}

TEST_F(VFileTest, ReadWriteOrReadFallsBackToReadingUnderALock) {
  const std::string path = fFolder.Write("locked.txt", "0123456789");
  auto file = FileAt(path);
  LockHolder holder(path, LOCK_EX);
  ASSERT_TRUE(holder.Locked());

  VFileDesc* desc = nullptr;
  ASSERT_EQ(file->Open(kFileAccessReadWriteOrRead, &desc, kFileOptionTruncate), VE_OK);
  EXPECT_EQ(desc->GetMode(), kFileAccessReadWriteOrRead);
  EXPECT_EQ(desc->GetParentVFile(), file.Get());
  char buffer[4] = {};
  EXPECT_EQ(desc->GetData(buffer, 4, 2), VE_OK);
  EXPECT_EQ(std::string(buffer, 4), "2345");
  {
    ErrorCollector errors;
    EXPECT_NE(desc->PutData("x", 1, 0), VE_OK);
  }
  delete desc;
  EXPECT_EQ(ReadWholeFile(path), "0123456789");
}

TEST_F(VFileTest, IsWritableAnswersFalseUnderALockAndLeavesNoError) {
  const std::string path = fFolder.Write("f.txt", "f");
  auto file = FileAt(path);
  EXPECT_TRUE(file->IsWritable());
  ErrorCollector errors;
  {
    LockHolder holder(path, LOCK_SH);
    ASSERT_TRUE(holder.Locked());
    EXPECT_FALSE(file->IsWritable());
    // Shared holders share.
    VFileDesc* desc = nullptr;
    EXPECT_EQ(file->Open(kFileAccessReadWriteShared, &desc), VE_OK);
    delete desc;
  }
  EXPECT_FALSE(FileAt(fFolder.Path("missing"))->IsWritable());
  EXPECT_TRUE(errors.Errors().empty());
}

TEST_F(VFileTest, OpenOptions) {
  const std::string path = fFolder.Write("f.txt", "content");
  ASSERT_EQ(::symlink(path.c_str(), fFolder.Path("link").c_str()), 0);
  ASSERT_EQ(::mkfifo(fFolder.Path("fifo").c_str(), 0644), 0);
  ErrorCollector errors;
  struct Case {
    const char* name;
    FileAccess access;
    unsigned options;
    bool opens;
    const char* contentAfter;
  } cases[] = {
      {"f.txt", kFileAccessReadWriteExclusive, kFileOptionTruncate, true, ""},
      {"link", kFileAccessRead, 0, false, nullptr},  // a link is not followed
      {"link", kFileAccessRead, kFileOptionFollowLink, true, nullptr},
      {"f.txt", kFileAccessRead, kFileOptionResourceFork | kFileOptionCreate, false, nullptr},
      {"new.txt", kFileAccessReadWriteExclusive, 0, false, nullptr},
      {"new.txt", kFileAccessReadWriteExclusive, kFileOptionCreate, true, ""},
      {"fifo", kFileAccessRead, 0, true, nullptr},  // opened without waiting for a writer
  };
  for (const Case& c : cases) {
    if (std::string(c.name) == "f.txt") fFolder.Write("f.txt", "content");
    const int status = test::RunInChild(
        [&] {
          VFileDesc* desc = nullptr;
          const bool opened =
              FileAt(fFolder.Path(c.name))->Open(c.access, &desc, c.options) == VE_OK;
          delete desc;
          return opened ? 1 : 0;
        },
        false, 10);
    EXPECT_EQ(status, c.opens ? 1 : 0) << c.name << " " << c.options;
    if (c.contentAfter != nullptr) {
      EXPECT_EQ(ReadWholeFile(fFolder.Path(c.name)), c.contentAfter);
    }
  }
  EXPECT_FALSE(ItemExists(fFolder.Path("f.txt/..namedfork")));
}

TEST_F(VFileTest, CopyOntoItselfFailsAndTouchesNothing) {
  const std::string source = fFolder.Write("dir/App.bin", "original");
  ASSERT_EQ(::link(source.c_str(), fFolder.Path("dir/hard").c_str()), 0);
  ASSERT_EQ(::symlink(fFolder.Path("dir").c_str(), fFolder.Path("alias").c_str()), 0);
  auto file = FileAt(source);
  const ino_t inode = InodeOf(source);
  for (const char* destination : {"dir/App.bin", "dir/hard", "alias/App.bin", "dir/"}) {
    ErrorCollector errors;
    VFile* copy = reinterpret_cast<VFile*>(1);
    const VError result =
        file->CopyTo(PosixFilePath(fFolder.Path(destination)), &copy, kFileOptionReplace);
    EXPECT_EQ(result, ToolboxError(toolbox_error::kFileCannotCopy)) << destination;
    EXPECT_EQ(copy, nullptr);
    EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kFileCannotCopy, "options", "4"));
    EXPECT_EQ(ReadWholeFile(source), "original") << destination;
    EXPECT_EQ(InodeOf(source), inode);
  }
  // Through the other file object too.
  ErrorCollector errors;
  EXPECT_EQ(file->CopyFrom(*file, kFileOptionReplace),
            ToolboxError(toolbox_error::kFileCannotCopy));
  EXPECT_EQ(ReadWholeFile(source), "original");
}

TEST_F(VFileTest, CopyWithAnInvalidDestinationPushesTwoRecords) {
  const std::string source = fFolder.Write("a.txt", "a");
  ErrorCollector errors;
  EXPECT_EQ(FileAt(source)->CopyTo(VFilePath(), nullptr, 0),
            ToolboxError(toolbox_error::kFileCannotCopy));
  const auto records = errors.Errors();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].code, ToolboxError(toolbox_error::kFileCannotCopy));
  EXPECT_EQ(records[1].parameters.at("destination"), "");
  EXPECT_EQ(records[1].parameters.at("name"), "a.txt");
}

TEST_F(VFileTest, CopyIntoAFolderAndWithReplacement) {
  const std::string source = fFolder.Write("a/App.bin", "new");
  const std::string existing = fFolder.Write("b/App.bin", "old");
  ::chmod(source.c_str(), 04755);
  auto file = FileAt(source);
  const VFilePath folder = PosixFilePath(fFolder.Path("b") + "/");
  {
    ErrorCollector errors;
    EXPECT_EQ(file->CopyTo(folder, nullptr, 0), ToolboxError(toolbox_error::kFileCannotCopy));
    EXPECT_EQ(ReadWholeFile(existing), "old");
  }
  VFile* copy = nullptr;
  ASSERT_EQ(file->CopyTo(folder, &copy, kFileOptionReplace), VE_OK);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetPath().GetPath(), PosixFilePath(existing).GetPath());
  copy->Release();
  EXPECT_EQ(ReadWholeFile(existing), "new");
  struct stat info;
  ASSERT_EQ(::stat(existing.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 04755u);
  EXPECT_EQ(ReadWholeFile(source), "new");
}

// A rename onto a taken name is refused and keeps both files, also where the
// file system lacks renameat2's flags; onto a free name the file moves.
TEST_F(VFileTest, RenameNeverReplacesWithOrWithoutRenameFlags) {
  for (bool unsupported : {false, true}) {
    SCOPED_TRACE(unsupported ? "without flags" : "with flags");
    platform::SetRenameFlagsUnsupportedForTesting(unsupported);
    std::filesystem::remove_all(fFolder.Path("r"));
    const std::string source = fFolder.Write("r/a.txt", "a");
    const std::string taken = fFolder.Write("r/b.txt", "b");
    const ino_t inode = InodeOf(source);
    auto file = FileAt(source);
    {
      ErrorCollector errors;
      EXPECT_EQ(file->Rename(VString("b.txt"), nullptr),
                ToolboxError(toolbox_error::kFileCannotRename));
    }
    EXPECT_EQ(ReadWholeFile(source), "a");
    EXPECT_EQ(ReadWholeFile(taken), "b");
    EXPECT_EQ(file->Rename(VString("c.txt"), nullptr), VE_OK);
    EXPECT_EQ(InodeOf(fFolder.Path("r/c.txt")), inode);
    EXPECT_FALSE(ItemExists(source));
  }
  platform::SetRenameFlagsUnsupportedForTesting(false);
}

TEST_F(VFileTest, MoveAndRename) {
  const std::string source = fFolder.Write("a.txt", "a");
  const std::string other = fFolder.Write("b.txt", "b");
  const ino_t inode = InodeOf(source);
  auto file = FileAt(source);
  {
    ErrorCollector errors;
    VFile* renamed = nullptr;
    EXPECT_EQ(file->Rename(VString("b.txt"), &renamed),
              ToolboxError(toolbox_error::kFileCannotRename));
    EXPECT_EQ(renamed, nullptr);
    EXPECT_TRUE(
        HasToolboxError(errors.Errors(), toolbox_error::kFileCannotRename, "newname", "b.txt"));
    EXPECT_EQ(file->Move(*FileAt(other)), ToolboxError(toolbox_error::kFileCannotMove));
    EXPECT_EQ(file->Move(*file, kFileOptionReplace), ToolboxError(toolbox_error::kFileCannotMove));
    EXPECT_EQ(ReadWholeFile(source), "a");
    EXPECT_EQ(ReadWholeFile(other), "b");
  }
  VFile* renamed = nullptr;
  ASSERT_EQ(file->Rename(VString("c.txt"), &renamed), VE_OK);
  VRefPtr<VFile> held(renamed, kAdoptRef);
  EXPECT_EQ(InodeOf(fFolder.Path("c.txt")), inode);
  // The object still names the old place.
  EXPECT_FALSE(file->Exists());
  EXPECT_TRUE(renamed->Exists());

  VFile* moved = nullptr;
  ASSERT_EQ(renamed->Move(PosixFilePath(other), &moved, kFileOptionReplace), VE_OK);
  VRefPtr<VFile> heldMoved(moved, kAdoptRef);
  EXPECT_EQ(InodeOf(other), inode);
  EXPECT_EQ(ReadWholeFile(other), "a");
  EXPECT_FALSE(ItemExists(fFolder.Path("c.txt")));
}

TEST_F(VFileTest, CreateAndDelete) {
  const std::string path = fFolder.Write("f.txt", "data");
  auto file = FileAt(path);
  {
    ErrorCollector errors;
    EXPECT_EQ(file->Create(), ToolboxError(toolbox_error::kFileCannotCreate));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kFileCannotCreate, "options", "0"));
  }
  EXPECT_EQ(file->Create(kFileOptionReplace), VE_OK);
  EXPECT_EQ(ReadWholeFile(path), "");
  EXPECT_EQ(file->Delete(), VE_OK);
  EXPECT_FALSE(ItemExists(path));
  ErrorCollector errors;
  EXPECT_EQ(file->Delete(), VE_OK);
  EXPECT_EQ(file->MoveToTrash(), VE_OK);
  EXPECT_TRUE(errors.Errors().empty());
  EXPECT_EQ(VFile(VFilePath()).Delete(), ToolboxError(toolbox_error::kFileCannotDelete));
}

// A path made from the POSIX full path of an existing link names the link's
// target (links are resolved as the system names the item), so Delete,
// Rename and MoveToTrash act on the target and leave the link; made from
// its folder and its name, or when the link dangles, it names the link.
TEST_F(VFileTest, PosixPathOfALinkNamesItsTarget) {
  auto fromPosix = [](const std::string& posix) {
    return VRefPtr<VFile>(new VFile(VString(posix.c_str()), kFilePathStylePosix), kAdoptRef);
  };
  auto linkTo = [this](const char* target, const char* link) {
    EXPECT_EQ(::symlink(target, fFolder.Path(link).c_str()), 0);
    return fFolder.Path(link);
  };
  const std::string deleted = fFolder.Write("deleted.txt", "x");
  auto file = fromPosix(linkTo("deleted.txt", "to-deleted"));
  EXPECT_EQ(to_string(file->GetPath().GetPath()), to_string(FileAt(deleted)->GetPath().GetPath()));
  EXPECT_EQ(file->Delete(), VE_OK);
  EXPECT_FALSE(ItemExists(deleted));
  EXPECT_TRUE(ItemExists(fFolder.Path("to-deleted")));

  const std::string renamed = fFolder.Write("renamed.txt", "y");
  EXPECT_EQ(fromPosix(linkTo("renamed.txt", "to-renamed"))->Rename(VString("new.txt"), nullptr),
            VE_OK);
  EXPECT_FALSE(ItemExists(renamed));
  EXPECT_EQ(ReadWholeFile(fFolder.Path("new.txt")), "y");
  EXPECT_TRUE(ItemExists(fFolder.Path("to-renamed")));

  platform::UserEnvironment environment;
  environment.fHome = fFolder.MakeFolder("home");
  environment.fDataHome = fFolder.Path("data");
  platform::SetUserEnvironmentForTesting(&environment);
  const std::string trashed = fFolder.Write("trashed.txt", "z");
  EXPECT_EQ(fromPosix(linkTo("trashed.txt", "to-trashed"))->MoveToTrash(), VE_OK);
  platform::SetUserEnvironmentForTesting(nullptr);
  EXPECT_FALSE(ItemExists(trashed));
  EXPECT_EQ(ReadWholeFile(fFolder.Path("data/Trash/files/trashed.txt")), "z");
  EXPECT_TRUE(ItemExists(fFolder.Path("to-trashed")));

  // A folder behind a link likewise.
  fFolder.MakeFolder("dir");
  VRefPtr<VFolder> folder(
      new VFolder(VString(linkTo("dir", "to-dir").c_str()), kFilePathStylePosix), kAdoptRef);
  EXPECT_EQ(folder->Delete(false), VE_OK);
  EXPECT_FALSE(ItemExists(fFolder.Path("dir")));
  EXPECT_TRUE(ItemExists(fFolder.Path("to-dir")));
  fFolder.MakeFolder("old-dir");
  VRefPtr<VFolder> moved(
      new VFolder(VString(linkTo("old-dir", "to-old-dir").c_str()), kFilePathStylePosix),
      kAdoptRef);
  EXPECT_EQ(moved->Rename(VString("new-dir"), nullptr), VE_OK);
  EXPECT_FALSE(ItemExists(fFolder.Path("old-dir")));
  EXPECT_TRUE(ItemExists(fFolder.Path("new-dir")));
  EXPECT_TRUE(ItemExists(fFolder.Path("to-old-dir")));

  // The link itself: named through its folder, or dangling.
  const std::string kept = fFolder.Write("kept.txt", "k");
  EXPECT_EQ(FileAt(linkTo("kept.txt", "to-kept"))->Delete(), VE_OK);
  EXPECT_FALSE(ItemExists(fFolder.Path("to-kept")));
  EXPECT_TRUE(ItemExists(kept));
  EXPECT_EQ(fromPosix(fFolder.Path("to-deleted"))->Delete(), VE_OK);
  EXPECT_FALSE(ItemExists(fFolder.Path("to-deleted")));
}

TEST_F(VFileTest, MoveToTrashWritesTheTrashRecord) {
  platform::UserEnvironment environment;
  environment.fHome = fFolder.MakeFolder("home");
  environment.fDataHome = fFolder.Path("data");
  platform::SetUserEnvironmentForTesting(&environment);
  const std::string path = fFolder.Write("work/App 1.bin", "x");
  EXPECT_EQ(FileAt(path)->MoveToTrash(), VE_OK);
  platform::SetUserEnvironmentForTesting(nullptr);
  EXPECT_FALSE(ItemExists(path));
  EXPECT_EQ(ReadWholeFile(fFolder.Path("data/Trash/files/App 1.bin")), "x");
  const std::string record = ReadWholeFile(fFolder.Path("data/Trash/info/App 1.bin.trashinfo"));
  EXPECT_TRUE(MatchesForm(record, "[Trash Info]\nPath=" + fFolder.Path("work/App%201.bin") +
                                      "\nDeletionDate=9999-99-99T99:99:99\n"))
      << record;
}

// The updater's road on one file: set aside, copy the new one in with
// replacement, roll back, go forward again and trash the old one.
TEST_F(VFileTest, SwapRoad) {
  platform::UserEnvironment environment;
  environment.fHome = fFolder.MakeFolder("home");
  environment.fDataHome = fFolder.Path("data");
  const std::string installed = fFolder.Write("apps/Name.bin", "old");
  const std::string update = fFolder.Write("new/Name.bin", "new");
  auto installedFile = FileAt(installed);
  auto updateFile = FileAt(update);

  VFile* aside = nullptr;
  ASSERT_EQ(installedFile->Rename(VString("Name_old0001.bin"), &aside), VE_OK);
  VRefPtr<VFile> heldAside(aside, kAdoptRef);
  fFolder.Write("apps/Name.bin", "half-made");
  ASSERT_EQ(updateFile->CopyTo(*installedFile, kFileOptionReplace), VE_OK);
  EXPECT_EQ(ReadWholeFile(installed), "new");

  // Roll back: the old file returns under its name.
  ASSERT_EQ(installedFile->Delete(), VE_OK);
  VFile* back = nullptr;
  ASSERT_EQ(aside->Rename(VString("Name.bin"), &back), VE_OK);
  VRefPtr<VFile> heldBack(back, kAdoptRef);
  EXPECT_EQ(ReadWholeFile(installed), "old");

  // Forward again, then the old one goes to the Trash.
  ASSERT_EQ(installedFile->Rename(VString("Name_old0001.bin"), nullptr), VE_OK);
  ASSERT_EQ(updateFile->CopyTo(*installedFile, kFileOptionReplace), VE_OK);
  platform::SetUserEnvironmentForTesting(&environment);
  EXPECT_EQ(aside->MoveToTrash(), VE_OK);
  platform::SetUserEnvironmentForTesting(nullptr);
  EXPECT_EQ(ReadWholeFile(installed), "new");
  EXPECT_EQ(ReadWholeFile(update), "new");
  EXPECT_EQ(ReadWholeFile(fFolder.Path("data/Trash/files/Name_old0001.bin")), "old");
  EXPECT_TRUE(MatchesForm(ReadWholeFile(fFolder.Path("data/Trash/info/Name_old0001.bin.trashinfo")),
                          "[Trash Info]\nPath=" + fFolder.Path("apps/Name_old0001.bin") +
                              "\nDeletionDate=9999-99-99T99:99:99\n"));
}

TEST_F(VFileTest, WholeContent) {
  auto file = FileAt(fFolder.Path("a/b/c.txt"));
  ASSERT_EQ(file->SetContent("hello", 5), VE_OK);  // the folders are made first
  ASSERT_EQ(file->AppendContent(" world", 6), VE_OK);
  VMemoryBuffer<> buffer;
  ASSERT_EQ(file->GetContent(buffer), VE_OK);
  EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize()),
            "hello world");
  char part[32];
  size_t read = 0;
  EXPECT_EQ(file->GetData(part, 5, &read), VE_OK);
  EXPECT_EQ(read, 5u);
  int64 size = 0;
  EXPECT_EQ(file->GetSize(&size), VE_OK);
  EXPECT_EQ(size, 11);

  ASSERT_EQ(file->SetContent(nullptr, 0), VE_OK);
  EXPECT_EQ(ReadWholeFile(fFolder.Path("a/b/c.txt")), "");
  EXPECT_EQ(file->GetContent(buffer), VE_OK);
  EXPECT_EQ(buffer.GetDataSize(), 0u);

  ErrorCollector errors;
  EXPECT_EQ(FileAt(fFolder.Path("none"))->GetData(part, 5, &read),
            ToolboxError(toolbox_error::kFileNotFound));
  EXPECT_EQ(read, 0u);
}

TEST_F(VFileTest, PathsAndExistence) {
  const std::string path = fFolder.Write("f.txt", "f");
  fFolder.MakeFolder("dir");
  ASSERT_EQ(::symlink("dir", fFolder.Path("to-dir").c_str()), 0);
  ASSERT_EQ(::symlink("nothing", fFolder.Path("dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(fFolder.Path("fifo").c_str(), 0644), 0);
  for (const auto& [name, exists] :
       std::initializer_list<std::pair<const char*, bool>>{{"f.txt", true},
                                                           {"to-dir", true},
                                                           {"dangling", true},
                                                           {"dir", false},
                                                           {"fifo", false},
                                                           {"none", false}}) {
    EXPECT_EQ(FileAt(fFolder.Path(name))->Exists(), exists) << name;
  }
  VFile file(PosixFilePath(path));
  VString text;
  file.GetPlatformPath(text, kFilePathStylePosix);
  EXPECT_EQ(to_string(text), path);
  file.GetPlatformPath(text, FilePathStyle(2));
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(to_string(file.GetPathWithFileSystem()), path);
  EXPECT_TRUE(file.IsSameFile(FileAt(path).Get()));
  EXPECT_FALSE(file.IsSameFile(nullptr));
  file.GetURL(text, true);
  EXPECT_EQ(to_string(text), "file://" + path);
}

TEST_F(VFileTest, PermissionsAreTheNineBits) {
  const std::string path = fFolder.Write("tool", "#!");
  ASSERT_EQ(::chmod(path.c_str(), 04755), 0);
  auto file = FileAt(path);
  unsigned short mode = 1;
  EXPECT_EQ(file->MAC_GetPermissions(&mode), VE_OK);
  EXPECT_EQ(mode, 0755);
  EXPECT_EQ(file->MAC_SetPermissions(0700), VE_OK);
  struct stat info;
  ::stat(path.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_FALSE(file->MAC_IsWritableByAll());
  EXPECT_EQ(file->MAC_MakeWritableByAll(), VE_OK);
  EXPECT_TRUE(file->MAC_IsWritableByAll());

  // A link has no mode of its own: its target keeps its own.
  ASSERT_EQ(::symlink(path.c_str(), fFolder.Path("link").c_str()), 0);
  ErrorCollector errors;
  EXPECT_NE(FileAt(fFolder.Path("link"))->MAC_SetPermissions(0600), VE_OK);
  ::stat(path.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0766u);
  EXPECT_EQ(FileAt(fFolder.Path("none"))->MAC_GetPermissions(&mode),
            ToolboxError(toolbox_error::kFileNotFound));
  EXPECT_EQ(mode, 0);
}

TEST_F(VFileTest, ResolveAliasFile) {
  const std::string target = fFolder.Write("target.txt", "t");
  fFolder.MakeFolder("dir");
  ASSERT_EQ(::symlink("target.txt", fFolder.Path("to-file").c_str()), 0);
  ASSERT_EQ(::symlink("dir", fFolder.Path("to-dir").c_str()), 0);
  ASSERT_EQ(::symlink("missing", fFolder.Path("dangling").c_str()), 0);

  VRefPtr<VFile> file = FileAt(target);
  VFile* before = file.Get();
  EXPECT_EQ(VFile::ResolveAliasFile(file, false), VE_OK);
  EXPECT_EQ(file.Get(), before);

  file = FileAt(fFolder.Path("to-file"));
  EXPECT_EQ(VFile::ResolveAliasFile(file, false), VE_OK);
  EXPECT_EQ(file->GetPath().GetPath(), PosixFilePath(target).GetPath());

  ErrorCollector errors;
  file = FileAt(fFolder.Path("to-dir"));
  EXPECT_EQ(VFile::ResolveAliasFile(file, false), ToolboxError(toolbox_error::kFileAliasIsFolder));
  file = FileAt(fFolder.Path("dangling"));
  EXPECT_EQ(VFile::ResolveAliasFile(file, false), ToolboxError(toolbox_error::kFileNotFound));
  EXPECT_TRUE(ItemExists(fFolder.Path("dangling")));
  EXPECT_EQ(VFile::ResolveAliasFile(file, true), VE_OK);
  EXPECT_FALSE(ItemExists(fFolder.Path("dangling")));
  EXPECT_TRUE(ItemExists(target));
}

TEST_F(VFileTest, TemporaryFilesAreNewAndNamedByAUUID) {
  platform::UserEnvironment environment;
  environment.fTemporary = fFolder.MakeFolder("tmp");
  platform::SetUserEnvironmentForTesting(&environment);
  VRefPtr<VFile> first(VFile::CreateTemporaryFile(), kAdoptRef);
  VRefPtr<VFile> second(VFile::CreateTemporaryFile(), kAdoptRef);
  platform::SetUserEnvironmentForTesting(nullptr);
  ASSERT_NE(first.Get(), nullptr);
  ASSERT_NE(second.Get(), nullptr);
  VString posix;
  first->GetPlatformPath(posix, kFilePathStylePosix);
  EXPECT_TRUE(MatchesForm(to_string(posix), fFolder.Path("tmp") + "/zft_" + std::string(32, 'F')))
      << to_string(posix);
  EXPECT_TRUE(first->Exists());
  EXPECT_FALSE(first->IsSameFile(second.Get()));
}

TEST_F(VFileTest, VolumeSpaceWithAndWithoutTheCache) {
  auto file = FileAt(fFolder.Path("not-yet"));
  int64 free = -1, total = -1;
  ASSERT_EQ(file->GetVolumeFreeSpace(&free, &total, true, 0), VE_OK);
  EXPECT_GT(total, 0);
  EXPECT_GE(free, 0);
  int64 cachedFree = -1, cachedTotal = -1;
  ASSERT_EQ(file->GetVolumeFreeSpace(&cachedFree, &cachedTotal, false, 60000), VE_OK);
  EXPECT_EQ(cachedTotal, total);
  ErrorCollector errors;
  EXPECT_NE(FileAt("/nowhere-at-all/f")->GetVolumeFreeSpace(&free, &total, true, 0), VE_OK);
  EXPECT_EQ(free, 0);
  EXPECT_EQ(total, 0);
}

TEST_F(VFileTest, FilesAndTheirFolders) {
  const std::string source = fFolder.Write("a/App.bin", "new");
  fFolder.Write("b/App.bin", "old");
  VFolder folderA(PosixFilePath(fFolder.Path("a/")));
  VFolder folderB(PosixFilePath(fFolder.Path("b/")));
  VFile file(folderA, VString("App.bin"), kFilePathStyleNative);
  EXPECT_EQ(file.GetPath().GetPath(), PosixFilePath(source).GetPath());
  VRefPtr<VFolder> parent(file.RetainParentFolder(false), kAdoptRef);
  ASSERT_NE(parent.Get(), nullptr);
  EXPECT_TRUE(parent->IsSameFolder(&folderA));
  // A name that climbs out of the folder names a file beside it.
  VFile beside(folderA, VString("../b/App.bin"), kFilePathStylePosix);
  EXPECT_EQ(test::ReadWholeFile(fFolder.Path("b/App.bin")), "old");
  EXPECT_TRUE(beside.Exists());

  {
    ErrorCollector errors;
    EXPECT_EQ(file.CopyTo(folderB, nullptr), ToolboxError(toolbox_error::kFileCannotCopy));
  }
  VFile* copy = nullptr;
  ASSERT_EQ(file.CopyTo(folderB, &copy, kFileOptionReplace), VE_OK);
  VRefPtr<VFile> heldCopy(copy, kAdoptRef);
  EXPECT_TRUE(copy->IsSameFile(&beside));
  EXPECT_EQ(ReadWholeFile(fFolder.Path("b/App.bin")), "new");

  VString url;
  EXPECT_EQ(beside.GetRelativeURL(&folderB, url, false), VE_OK);
  EXPECT_EQ(to_string(url), "App.bin");

  VFolder folderC(PosixFilePath(fFolder.MakeFolder("c") + "/"));
  VFile* moved = nullptr;
  ASSERT_EQ(file.Move(folderC, &moved), VE_OK);
  VRefPtr<VFile> heldMoved(moved, kAdoptRef);
  EXPECT_FALSE(ItemExists(source));
  EXPECT_EQ(ReadWholeFile(fFolder.Path("c/App.bin")), "new");

  ASSERT_EQ(::symlink("App.bin", fFolder.Path("c/alias").c_str()), 0);
  VRefPtr<VFile> resolved(
      VFile::CreateAndResolveAlias(folderC, VString("alias"), kFilePathStyleNative), kAdoptRef);
  ASSERT_NE(resolved.Get(), nullptr);
  EXPECT_TRUE(resolved->IsSameFile(moved));
}

// One file shared by several tasks: the cached answer is exchanged, never
// freed under another reader.
TEST_F(VFileTest, VolumeSpaceCacheSharedBetweenThreads) {
  auto file = FileAt(fFolder.Path("f"));
  int64 expectedTotal = 0;
  ASSERT_EQ(file->GetVolumeFreeSpace(nullptr, &expectedTotal, true, 0), VE_OK);
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        int64 free = 0, total = 0;
        const bool available = (i + t) % 2 == 0;
        if (file->GetVolumeFreeSpace(&free, &total, available, 1 + unsigned(i % 3)) != VE_OK ||
            total != expectedTotal) {
          ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace zeft
