// The conversions between POSIX paths, the ':' form and Windows paths:
// relative walks, full conversions through the mounted volumes, and the
// round trip of full paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>

#include "core/VMemory.h"
#include "files/VFilePath.h"
#include "files/VURL.h"
#include "files/mac/XMacFile.h"
#include "files/mac/XMacVolumes.h"
#include "support/StringTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

struct ConvertCase {
  std::u16string input;
  std::u16string output;
};

TEST(PathConversion, RelativeNativeToPosix) {
  const ConvertCase cases[] = {
      {u"a:b", u"a/b"}, {u":a:b", u"a/b"},      {u"a::b", u"a/../b"},
      {u"a:", u"a/"},   {u"a:::", u"a/../../"}, {u"a/b", u"a:b"},
      {u":", u""},      {u"::a", u"../a"},      {u"", u""},
      {u"é:ü", u"é/ü"},
  };
  for (const ConvertCase& c : cases) {
    VString text = Str(c.input);
    VURL::HFS_to_POSIX(text, true);
    EXPECT_EQ(Text(text), c.output) << std::string(c.input.begin(), c.input.end());
    text = Str(c.input);
    VURL::Convert(text, kURLPathStyleHFS, kURLPathStylePosix, true);
    EXPECT_EQ(Text(text), c.output);
  }
}

TEST(PathConversion, RelativePosixToNative) {
  const ConvertCase cases[] = {
      {u"a/b", u"a:b"},
      {u"a/../b", u"a::b"},
      {u"../a", u":a"},
      {u"./a/", u"a:"},
      // A run of '/' is one separator: an empty component never climbs.
      {u"a//b", u"a:b"},
      {u"a//../b", u"a::b"},
      {u".//a", u"a"},
      {u"x:y", u"x/y"},
      {u"a/.", u"a:"},
      {u"", u""},
  };
  for (const ConvertCase& c : cases) {
    VString text = Str(c.input);
    VURL::POSIX_to_HFS(text);
    EXPECT_EQ(Text(text), c.output) << std::string(c.input.begin(), c.input.end());
  }
}

TEST(PathConversion, WindowsStyleAndUnchangedPairs) {
  VString text = Str(u"a/b/c");
  VURL::Convert(text, kURLPathStylePosix, kURLPathStyleWindows, false);
  EXPECT_EQ(Text(text), u"a\\b\\c");
  VURL::Convert(text, kURLPathStyleWindows, kURLPathStylePosix, false);
  EXPECT_EQ(Text(text), u"a/b/c");
  text = Str(u"Disk:a/b");
  VURL::Convert(text, kURLPathStyleHFS, kURLPathStyleWindows, false);
  EXPECT_EQ(Text(text), u"Disk:a/b");
  VURL::Convert(text, kURLPathStyleWindows, kURLPathStyleHFS, false);
  EXPECT_EQ(Text(text), u"Disk:a/b");
}

// The volume list of these tests: the root and one mount under it.
class PathConversionWithVolumes : public ::testing::Test {
 protected:
  void SetUp() override {
    XMacVolumes::Get().SetVolumeListProvider([] {
      return XMacVolumes::VolumeList{{"/", "V"}, {"/proc", "Proc"}};
    });
  }
  void TearDown() override { XMacVolumes::Get().SetVolumeListProvider(nullptr); }

  static std::u16string ToHFS(const std::string& posix, bool itself, bool* ok = nullptr) {
    VString hfs;
    const bool converted = XMacFile::PosixFullPathToHFS(posix.c_str(), itself, hfs);
    if (ok != nullptr) *ok = converted;
    return converted ? Text(hfs) : u"(failed)";
  }
};

TEST_F(PathConversionWithVolumes, FullPosixToNative) {
  const struct {
    const char* posix;
    bool itself;
    std::u16string hfs;
  } cases[] = {
      {"/", true, u"V:"},
      {"/zeft-absent/a/./b", false, u"V:zeft-absent:a:b"},
      {"/zeft-absent/a/b", false, u"V:zeft-absent:a:b"},
      {"/zeft-absent/a/b/../c", false, u"V:zeft-absent:a:b::c"},
      {"/zeft-absent/a/..", false, u"V:zeft-absent:a::"},
      {"/zeft-absent/a/../", true, u"V:zeft-absent:a::"},
      {"/zeft-absent/x:y/", true, u"V:zeft-absent:x/y:"},
      {"/zeft-absent//a//", true, u"V:zeft-absent:a:"},
      {"/proc/zeft-absent", false, u"Proc:zeft-absent"},
      {"/proc", true, u"Proc"},
      {"/proc/", true, u"Proc:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToHFS(c.posix, c.itself), c.hfs) << c.posix;
  }
  bool ok = true;
  EXPECT_EQ(ToHFS("relative/path", true, &ok), u"(failed)");
  EXPECT_FALSE(ok);
  EXPECT_EQ(ToHFS("/" + std::string(1100, 'a'), true, &ok), u"(failed)");
  // A text the full conversion refuses falls back to the relative walk.
  VString text = Str(std::u16string(u"/").append(1100, u'a'));
  VURL::POSIX_to_HFS(text);
  EXPECT_EQ(Text(text), std::u16string(u":").append(1100, u'a'));
}

// Without a volume at "/" nothing converts, and the climb to the parent of
// "/" stops instead of going on for ever.
TEST_F(PathConversionWithVolumes, NoRootVolume) {
  XMacVolumes::Get().SetVolumeListProvider([] {
    return XMacVolumes::VolumeList{{"/proc", "Proc"}};
  });
  bool ok = true;
  EXPECT_EQ(ToHFS("/zeft-absent/x", true, &ok), u"(failed)");
  EXPECT_FALSE(ok);
  VString text = Str(u"/zeft-absent/x");
  VURL::POSIX_to_HFS(text);
  EXPECT_EQ(Text(text), u":zeft-absent:x");
  EXPECT_EQ(ToHFS("/proc/x", false), u"Proc:x");
}

TEST_F(PathConversionWithVolumes, ExistingItemsAreTakenAsTheSystemNamesThem) {
  test::TempFolder folder;
  folder.MakeFolder("sub");
  folder.Write("sub/f", "x");
  ASSERT_EQ(symlink((folder.Path() + "/sub").c_str(), folder.Path("link").c_str()), 0);
  VString base;
  ASSERT_TRUE(XMacFile::PosixFullPathToHFS(folder.Path().c_str(), true, base));
  const std::u16string root = Text(base);
  EXPECT_EQ(ToHFS(folder.Path() + "//sub//f", false), root + u":sub:f");
  EXPECT_EQ(ToHFS(folder.Path() + "/link/f", true), root + u":sub:f");
  EXPECT_EQ(ToHFS(folder.Path() + "/sub/./f", true), root + u":sub:f");
  // A folder path given with an empty component stays that folder.
  VString posix;
  posix.FromCString((folder.Path() + "//sub/").c_str());
  const VFilePath path(posix, kFilePathStylePosix);
  EXPECT_EQ(Text(path.GetPath()), root + u":sub:");
}

TEST_F(PathConversionWithVolumes, FullNativeToPosix) {
  VString posix;
  EXPECT_TRUE(XMacFile::HFSFullPathToPosix(Str(u"V:a:b/c:"), posix));
  EXPECT_EQ(Text(posix), u"/a/b:c/");
  EXPECT_TRUE(XMacFile::HFSFullPathToPosix(Str(u"Proc:self"), posix));
  EXPECT_EQ(Text(posix), u"/proc/self");
  EXPECT_FALSE(XMacFile::HFSFullPathToPosix(Str(u"Unknown:a:b"), posix));
  EXPECT_EQ(Text(posix), u"/Unknown/a/b");
  EXPECT_FALSE(XMacFile::HFSFullPathToPosix(Str(u"v:a"), posix));  // names are exact
  EXPECT_EQ(Text(posix), u"/v/a");
  EXPECT_FALSE(XMacFile::HFSFullPathToPosix(Str(u":a"), posix));
  EXPECT_EQ(Text(posix), u"");

  const VFilePath path(Str(u"V:a b:"));
  path.GetPosixPath(posix);
  EXPECT_EQ(Text(posix), u"/a b/");
  VFilePath().GetPosixPath(posix);
  EXPECT_EQ(Text(posix), u"");
}

TEST_F(PathConversionWithVolumes, PosixTextsForTheSystem) {
  char* text = XMacFile::AllocatePosixPathFromFilePath(VFilePath(Str(u"V:é:f")));
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "/\xC3\xA9/f");
  VMemory::DisposePtr(text);
  text = XMacFile::AllocatePosixPathFromString(VString());
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  VMemory::DisposePtr(text);

  VFilePath path;
  XMacFile::GetFilePathFromPosixPath("/zeft-absent/d", true, path);
  EXPECT_EQ(Text(path.GetPath()), u"V:zeft-absent:d:");
  XMacFile::GetFilePathFromPosixPath(nullptr, true, path);
  EXPECT_FALSE(path.IsValid());

  const struct {
    const char* path;
    bool dot;
  } dots[] = {{"/a/.hidden", true}, {"/a/.hidden/", true}, {"/a/b", false},
              {".", false},         {"/.", true},          {nullptr, false}};
  for (const auto& c : dots) EXPECT_EQ(XMacFile::PosixNameBeginsWithDot(c.path), c.dot);
}

// Random valid full paths (names with ':', spaces and characters beyond
// ASCII, folders and files) come back unchanged from the ':' form.
TEST(PathConversion, FullRoundTripIsTheIdentity) {
  std::mt19937 random(20240611);
  const std::u16string alphabet = u"abcXYZ019 _-.:~é漢ü";
  std::uniform_int_distribution<int> depth(1, 6);
  std::uniform_int_distribution<int> nameLength(1, 8);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::bernoulli_distribution folder(0.3);
  for (int n = 0; n < 10000; ++n) {
    std::u16string posix = u"/zeft-absent-";
    for (int level = depth(random); level > 0; --level) {
      std::u16string name;
      do {
        name.clear();
        for (int k = nameLength(random); k > 0; --k) name.push_back(alphabet[pick(random)]);
      } while (name == u"." || name == u"..");
      posix += name;
      if (level > 1) posix.push_back('/');
    }
    if (folder(random)) posix.push_back('/');
    VFilePath path(Str(posix), kFilePathStylePosix);
    ASSERT_TRUE(path.IsValid()) << n;
    ASSERT_TRUE(path.GetPath().BeginsWithRawString(Str(u"Root:"))) << n;
    VString back;
    path.GetPosixPath(back);
    ASSERT_EQ(Text(back), posix) << n;
  }
}

}  // namespace
}  // namespace zeft
