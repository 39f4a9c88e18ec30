#include "platform/ItemKind.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "ChildProcess.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::TempFolder;

TEST(ItemKind, OnlyFoldersAndRegularFilesCount) {
  TempFolder folder;
  const std::string file = folder.Write("file", "f");
  const std::string sub = folder.MakeFolder("sub");
  const std::string pipe = folder.Path("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  ::symlink(file.c_str(), folder.Path("to-file").c_str());
  ::symlink("sub", folder.Path("to-folder").c_str());
  ::symlink("pipe", folder.Path("to-pipe").c_str());
  ::symlink("missing", folder.Path("dangling").c_str());
  ::symlink("to-folder/../to-file", folder.Path("chain").c_str());
  struct Case {
    const char* name;
    ItemKind own, followed;
    std::string target;  // "" when resolution fails with ENOENT
  };
  const Case cases[] = {
      {"file", ItemKind::kFile, ItemKind::kFile, file},
      {"sub", ItemKind::kFolder, ItemKind::kFolder, sub},
      {"pipe", ItemKind::kOther, ItemKind::kOther, pipe},
      {"to-file", ItemKind::kLink, ItemKind::kFile, file},
      {"to-folder", ItemKind::kLink, ItemKind::kFolder, sub},
      {"to-pipe", ItemKind::kLink, ItemKind::kOther, pipe},
      {"dangling", ItemKind::kLink, ItemKind::kMissing, ""},
      {"chain", ItemKind::kLink, ItemKind::kFile, file},
      {"missing", ItemKind::kMissing, ItemKind::kMissing, ""},
  };
  // A FIFO that were opened would wait for a writer: run where a hang is killed.
  int code = zeft::test::RunInChild(
      [&] {
        int failures = 0;
        for (const Case& c : cases) {
          const std::string path = folder.Path(c.name);
          std::string target;
          ItemKind kind;
          PathError result = ResolveLinks(path, target, kind);
          bool ok = GetItemKind(path, false) == c.own && GetItemKind(path, true) == c.followed;
          if (c.target.empty()) {
            ok = ok && result.fCode == ENOENT && result.fPath == path && kind == ItemKind::kMissing;
          } else {
            ok = ok && !result.Failed() && target == c.target && kind == c.followed;
          }
          if (!ok) ++failures;
        }
        return failures;
      },
      false, 20);
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace zeft::platform
