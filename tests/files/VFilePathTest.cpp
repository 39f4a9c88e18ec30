// File paths: validity and the resolution of climbs, relative paths in both
// styles, names and extensions, parents and containment, and editing.
#include "files/VFilePath.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

std::u16string PathText(const VFilePath& path) {
  VString text;
  path.GetPath(text);
  return Text(text);
}

VFilePath Native(std::u16string_view text) { return VFilePath(Str(text)); }

struct SetCase {
  std::u16string input;
  std::u16string text;  // after resolution
  bool valid;
};

TEST(VFilePath, FullPathValidityAndClimbs) {
  const SetCase cases[] = {
      {u"", u"", false},
      {std::u16string(u"Disk:a\0b", 8), std::u16string(u"Disk:a\0b", 8), false},
      {u":a", u":a", false},
      {u"Disk:", u"Disk:", true},
      {u"Disk:a:b::c", u"Disk:a:c", true},
      {u"Disk:a:b:::c", u"Disk:c", true},
      {u"Disk:a::", u"Disk:", true},
      {u"Disk:::a", u":a", false},
      {u"Disk::a", u"a", true},
      {u"Disk:a:b:c:::::", u"", false},
      {u"Disk:a/b:c", u"Disk:a/b:c", true},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(std::string(c.input.begin(), c.input.end()));
    VFilePath path;
    EXPECT_EQ(path.FromFullPath(Str(c.input)), c.valid);
    EXPECT_EQ(path.IsValid(), c.valid);
    EXPECT_EQ(PathText(path), c.text);
  }
}

TEST(VFilePath, VolumeRootHasNoParent) {
  const VFilePath root = Native(u"Disk:");
  EXPECT_TRUE(root.IsFolder());
  EXPECT_FALSE(root.IsFile());
  EXPECT_FALSE(root.HasParent());
  VFilePath parent = Native(u"Other:x:");
  EXPECT_FALSE(root.GetParent(parent));
  EXPECT_FALSE(parent.IsValid());
  EXPECT_EQ(PathText(parent), u"");
  EXPECT_EQ(root.GetDepth(), 1);
  VString name;
  root.GetName(name);
  EXPECT_EQ(Text(name), u"Disk");
  root.GetFolderName(name);
  EXPECT_EQ(Text(name), u"Disk:");
}

TEST(VFilePath, ParentsFoldersAndDepth) {
  const VFilePath file = Native(u"Disk:a:f.txt");
  EXPECT_EQ(file.GetDepth(), 3);
  VFilePath cut;
  ASSERT_TRUE(file.GetParent(cut));
  EXPECT_EQ(PathText(cut), u"Disk:a:");
  ASSERT_TRUE(file.GetFolder(cut));
  EXPECT_EQ(PathText(cut), u"Disk:a:");
  VFilePath folder = Native(u"Disk:a:b:");
  ASSERT_TRUE(folder.GetFolder(cut));
  EXPECT_EQ(PathText(cut), u"Disk:a:b:");  // a folder is its own folder
  EXPECT_EQ(PathText(folder.ToParent()), u"Disk:a:");
  EXPECT_EQ(PathText(folder.ToParent().ToParent()), u"");
  VString text;
  EXPECT_TRUE(VFilePath::_GetParent(Str(u"x:y:"), text));
  EXPECT_EQ(Text(text), u"x:");
  EXPECT_FALSE(VFilePath::_GetFolder(Str(u"plain"), text));
  // Editing an invalid path changes nothing.
  VFilePath invalid = Native(u":x:y");
  EXPECT_EQ(PathText(invalid.ToParent()), u":x:y");
}

struct RelativeCase {
  std::u16string base;
  std::u16string relative;
  FilePathStyle style;
  bool onlyInFolder;
  std::u16string text;
  bool valid;
};

TEST(VFilePath, RelativePathsInBothStyles) {
  const RelativeCase cases[] = {
      {u"Disk:F:", u"../x", kFilePathStylePosix, false, u"Disk:x", true},
      {u"Disk:F:", u"../../x", kFilePathStylePosix, false, u"x", true},
      {u"Disk:F:", u"a/./b/", kFilePathStylePosix, false, u"Disk:F:a:b:", true},
      // An empty POSIX component is one separator, never a climb.
      {u"Disk:F:", u"a//b", kFilePathStylePosix, false, u"Disk:F:a:b", true},
      {u"Disk:F:", u"a///../b", kFilePathStylePosix, false, u"Disk:F:b", true},
      {u"Disk:F:", u"x:y", kFilePathStylePosix, false, u"Disk:F:x/y", true},
      {u"Disk:F:", u":a", kFilePathStyleNative, false, u"Disk:a", true},
      {u"Disk:F:", u"a:b:", kFilePathStyleNative, false, u"Disk:F:a:b:", true},
      {u"Disk:F", u"a:b:", kFilePathStyleNative, false, u"Disk:Fa:b:", true},
      {u"Disk:f.txt", u"x", kFilePathStylePosix, true, u"", false},
      {u"Disk:F:", u"x", kFilePathStylePosix, true, u"Disk:F:x", true},
  };
  for (const RelativeCase& c : cases) {
    SCOPED_TRACE(std::string(c.relative.begin(), c.relative.end()));
    VFilePath path(Native(c.base), Str(c.relative), c.style, c.onlyInFolder);
    EXPECT_EQ(PathText(path), c.text);
    EXPECT_EQ(path.IsValid(), c.valid);
  }
  // A POSIX text beginning with '/' is a full path, not appended.
  VFilePath full(Native(u"Disk:F:"), Str(u"/x"), kFilePathStylePosix, false);
  VFilePath direct(Str(u"/x"), kFilePathStylePosix);
  EXPECT_EQ(PathText(full), PathText(direct));
  EXPECT_EQ(PathText(full).find(u"Disk"), std::u16string::npos);
}

TEST(VFilePath, NamesAndExtensions) {
  struct NameCase {
    std::u16string path;
    std::u16string name, fileName, fileNameNoExt, folderNameNoExt, extension;
  };
  const NameCase cases[] = {
      {u"Disk:a.b:c", u"c", u"c", u"c", u"", u""},
      {u"Disk:a:f.tar.gz", u"f.tar.gz", u"f.tar.gz", u"f.tar", u"", u"gz"},
      {u"Disk:a.b:", u"a.b", u"", u"", u"a", u"b"},
      {u"Disk:a.:", u"a.", u"", u"", u"a", u""},
      {u"Disk:a:f.", u"f.", u"f.", u"f", u"", u""},
      {u"plain", u"plain", u"plain", u"plain", u"", u""},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    const VFilePath path = Native(c.path);
    VString text;
    path.GetName(text);
    EXPECT_EQ(Text(text), c.name);
    path.GetFileName(text, true);
    EXPECT_EQ(Text(text), c.fileName);
    path.GetFileName(text, false);
    EXPECT_EQ(Text(text), c.fileNameNoExt);
    path.GetFolderName(text, false);
    EXPECT_EQ(Text(text), c.folderNameNoExt);
    path.GetExtension(text);
    EXPECT_EQ(Text(text), c.extension);
  }
  EXPECT_TRUE(Native(u"Disk:X.app:").MatchExtension(Str(u"app")));
  EXPECT_FALSE(Native(u"Disk:X.app:").MatchExtension(Str(u"pp:")));
  EXPECT_TRUE(Native(u"Disk:f.txt").MatchExtension(Str(u"txt")));
  VString name;
  VFilePath(Str(u":")).GetName(name);
  EXPECT_EQ(Text(name), u"");
}

TEST(VFilePath, ContainmentIsExact) {
  const VFilePath folder = Native(u"Disk:a:");
  const VFilePath child = Native(u"Disk:a:b:c");
  EXPECT_TRUE(child.IsChildOf(folder));
  EXPECT_TRUE(child.IsChildOfRawPath(folder));
  EXPECT_FALSE(folder.IsChildOf(folder));
  EXPECT_TRUE(folder.IsSameOrChildOf(folder));
  EXPECT_FALSE(child.IsChildOf(Native(u"Disk:a")));  // a file path is no folder
  EXPECT_FALSE(child.IsChildOf(Native(u"Disk:A:")));
  EXPECT_FALSE(child.IsSameOrChildOf(Native(u"Disk:A:")));
  EXPECT_FALSE(child.IsChildOf(VFilePath()));
  EXPECT_FALSE(Native(u"Disk:ab:").IsChildOf(folder));

  VString relative;
  EXPECT_TRUE(child.GetRelativePath(folder, relative));
  EXPECT_EQ(Text(relative), u"b:c");
  EXPECT_TRUE(child.GetRelativePosixPath(folder, relative));
  EXPECT_EQ(Text(relative), u"b/c");
  EXPECT_FALSE(child.GetRelativePath(Native(u"Disk:x:"), relative));
  EXPECT_EQ(Text(relative), u"Disk:a:b:c");
  relative = Str(u"kept");
  EXPECT_FALSE(child._GetRelativePath(Native(u"Disk:x:"), relative));
  EXPECT_EQ(Text(relative), u"kept");
  EXPECT_FALSE(VFilePath().GetRelativePosixPath(folder, relative));
  EXPECT_EQ(Text(relative), u"");
}

TEST(VFilePath, EditingNamesAndExtensions) {
  struct EditCase {
    std::u16string path;
    std::function<bool(VFilePath&)> edit;
    std::u16string text;
  };
  const EditCase cases[] = {
      {u"Disk:f.txt", [](VFilePath& p) { return p.SetFileExtension(VString()); }, u"Disk:f"},
      {u"Disk:f.", [](VFilePath& p) { return p.SetFileExtension(Str(u"c")); }, u"Disk:f.c"},
      {u"Disk:f.txt", [](VFilePath& p) { return p.SetExtension(Str(u"md")); }, u"Disk:f.md"},
      {u"Disk:a.b:f", [](VFilePath& p) { return p.SetExtension(Str(u"md")); }, u"Disk:a.b:f.md"},
      {u"Disk:X:", [](VFilePath& p) { return p.SetFolderExtension(Str(u"app")); }, u"Disk:X.app:"},
      {u"Disk:X.app:", [](VFilePath& p) { return p.SetFolderExtension(VString()); }, u"Disk:X:"},
      {u"Disk:X.:", [](VFilePath& p) { return p.SetExtension(Str(u"app")); }, u"Disk:X.app:"},
      {u"Disk:X.a:", [](VFilePath& p) { return p.SetExtension(Str(u"bc")); }, u"Disk:X.bc:"},
      {u"Disk:a:", [](VFilePath& p) { return p.SetName(Str(u"b")); }, u"Disk:b:"},
      {u"Disk:a:f.txt", [](VFilePath& p) { return p.SetName(Str(u"g")); }, u"Disk:a:g"},
      {u"Disk:a:f.txt", [](VFilePath& p) { return p.SetFileName(Str(u"g"), false); },
       u"Disk:a:g.txt"},
      {u"Disk:a:", [](VFilePath& p) { return p.SetFileName(Str(u"g"), true); }, u"Disk:a:g"},
      {u"Disk:a:X.app:", [](VFilePath& p) { return p.SetFolderName(Str(u"Y"), false); },
       u"Disk:a:Y.app:"},
      {u"Disk:a:X.app:", [](VFilePath& p) { return p.SetFolderName(Str(u"Y:Z"), true); },
       u"Disk:a:Y:Z:"},
      {u"Disk:a:", [](VFilePath& p) { return p.ToSubFolder(Str(u"b")).IsValid(); }, u"Disk:a:b:"},
      {u"Disk:a:", [](VFilePath& p) { return p.ToSubFile(Str(u"f")).IsFile(); }, u"Disk:a:f"},
      {u"Disk:f", [](VFilePath& p) { return !p.ToSubFile(Str(u"g")).IsEmpty(); }, u"Disk:f"},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    VFilePath path = Native(c.path);
    EXPECT_TRUE(c.edit(path));
    EXPECT_EQ(PathText(path), c.text);
  }
  // A one-component path has no folder to keep.
  VFilePath root = Native(u"Disk:");
  EXPECT_FALSE(root.SetName(Str(u"Other")));
  EXPECT_FALSE(root.IsValid());
}

TEST(VFilePath, NameWithSeparatorIsRefused) {
  test::ErrorCollector errors;
  VFilePath path = Native(u"Disk:a:f");
  EXPECT_FALSE(path.SetName(Str(u"x:y")));
  EXPECT_FALSE(path.SetFileName(Str(u"x:y")));
  EXPECT_EQ(PathText(path), u"Disk:a:f");
  EXPECT_TRUE(path.IsValid());
  EXPECT_EQ(errors.Errors().size(), 2u);
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), toolbox_error::kFileInvalidName));
}

TEST(VFilePath, RemoveBlanksAroundSeparators) {
  VFilePath path = Native(u"  Disk : a :  f ");
  path.RemoveBlanks();
  EXPECT_EQ(PathText(path), u"Disk:a:f");
}

TEST(VFilePath, StaticResolutions) {
  struct ResolveCase {
    std::u16string input, output;
    bool ok;
  };
  const ResolveCase posix[] = {
      {u"a/./b", u"a/b", true}, {u"a/b/../c", u"a/c", true},
      {u"a/../c", u"c", true},  {u"a//b", u"a//b", false},
      {u"", u"", true},         {u"a/./././b", u"a/b", true},
  };
  for (const ResolveCase& c : posix) {
    VString text = Str(c.input);
    EXPECT_EQ(VFilePath::ResolveRelativePosix(text), c.ok);
    EXPECT_EQ(Text(text), c.output);
  }
  const ResolveCase native[] = {
      {u"a:b::c", u"a:c", true}, {u":a", u":a", false}, {u"a:::b", u":b", false}, {u"", u"", true}};
  for (const ResolveCase& c : native) {
    VString text = Str(c.input);
    EXPECT_EQ(VFilePath::_ResolveRelative(text), c.ok);
    EXPECT_EQ(Text(text), c.output);
  }
  // Deep paths resolve without deep recursion.
  VString deep;
  for (int i = 0; i < 100000; ++i) deep.AppendCString("d:");
  deep.AppendCString(":");
  EXPECT_TRUE(VFilePath::_ResolveRelative(deep));
  EXPECT_EQ(deep.GetLength(), 2 * 99999);
}

TEST(VFilePath, CopiesAreIndependentValues) {
  VFilePath original = Native(u"Disk:a:");
  VFilePath copy(original);
  copy.ToSubFolder(Str(u"b"));
  EXPECT_EQ(PathText(original), u"Disk:a:");
  VFilePath other;
  EXPECT_TRUE(other.FromFilePath(copy));
  EXPECT_EQ(PathText(other), u"Disk:a:b:");
  other.Clear();
  EXPECT_FALSE(other.IsValid());
  EXPECT_TRUE(other.IsEmpty());
}

}  // namespace
}  // namespace zeft
