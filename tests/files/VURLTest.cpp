// URLs: parsing into parts, percent-encoding and decoding, network
// locations and ports, "file" URLs of paths, and changing parts.
#include "files/VURL.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "files/VFilePath.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

std::u16string Part(const VURL& url, EURLParts part) {
  VString text;
  url._GetPart(text, part);
  return Text(text);
}

std::u16string Absolute(const VURL& url, bool encoded) {
  VString text;
  url.GetAbsoluteURL(text, encoded);
  return Text(text);
}

TEST(VURL, ParsesTheSixParts) {
  const struct {
    std::u16string url;
    std::u16string scheme, location, path, parameters, query, fragment;
    bool conform;
  } cases[] = {
      {u"sch://h/a/b;p?q#f", u"sch", u"h", u"a/b", u"p", u"q", u"f", true},
      {u"sch://h", u"sch", u"h", u"", u"", u"", u"", false},
      {u"a/b", u"", u"", u"a/b", u"", u"", u"", false},
      {u"", u"", u"", u"", u"", u"", u"", true},
      {u"://h/p", u"", u"h", u"p", u"", u"", u"", true},
      {u"x/y://h/p", u"", u"", u"x/y://h/p", u"", u"", u"", false},
      {u"s://h/p?q;r#f", u"s", u"h", u"p", u"r", u"q", u"f", true},
      {u"s://h/p?", u"s", u"h", u"p?", u"", u"", u"", true},
      {u"s://u:pw@h:81/", u"s", u"u:pw@h:81", u"", u"", u"", u"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.url.begin(), c.url.end()));
    VURL url;
    EXPECT_EQ(url.FromString(Str(c.url), false), c.conform);
    EXPECT_EQ(Part(url, kURLPartScheme), c.scheme);
    EXPECT_EQ(Part(url, kURLPartNetworkLocation), c.location);
    EXPECT_EQ(Part(url, kURLPartPath), c.path);
    EXPECT_EQ(Part(url, kURLPartParameters), c.parameters);
    EXPECT_EQ(Part(url, kURLPartQuery), c.query);
    EXPECT_EQ(Part(url, kURLPartFragment), c.fragment);
    EXPECT_EQ(Absolute(url, false), c.url);
  }
}

TEST(VURL, EncodesBytesOfTheUnsafeSets) {
  const struct {
    std::u16string text;
    bool pathSet;
    std::u16string encoded;
  } cases[] = {
      {u"a b", true, u"a%20b"},
      {u"[x]", false, u"[x]"},
      {u"[x]", true, u"%5Bx%5D"},
      {u"é", true, u"%C3%A9"},
      {u"<\"#%{}|\\^`>", false, u"%3C%22%23%25%7B%7D%7C%5C%5E%60%3E"},
      {u"a:b/c?d=e&f", true, u"a:b/c?d=e&f"},
      {u"\u007F\t", true, u"%7F%09"},
      {u"😀", true, u"%F0%9F%98%80"},
  };
  for (const auto& c : cases) {
    VString text = Str(c.text);
    VURL::Encode(text, false, false, c.pathSet, false);
    EXPECT_EQ(Text(text), c.encoded) << std::string(c.encoded.begin(), c.encoded.end());
  }
  VString text = Str(u"\\u00e9\\x");
  VURL::Encode(text, true, false, true, true);
  EXPECT_EQ(Text(text), u"\\u00e9%5Cx");
}

TEST(VURL, DecodesEscapesNeverLosingBytes) {
  const struct {
    std::u16string text;
    std::u16string decoded;
  } cases[] = {
      {u"%C3%A9", u"é"},
      {u"%E9", u"é"},
      {u"100%", u"100%"},
      {u"100%4", u"100%4"},
      {u"a%20b", u"a b"},
      {u"%F0%9F%98%80", u"😀"},
      // A '%' without two hexadecimal digits stays as written.
      {u"50%off", u"50%off"},
      {u"%zz%4g", u"%zz%4g"},
      // Bytes that are no UTF-8 character read as ISO-8859-1, one by one.
      {u"%E9%41", u"éA"},
      {u"%FF%FE", u"ÿþ"},
      {u"%C3", u"Ã"},
      {u"%ED%A0%80", u"í\u00A0\u0080"},
      {u"%C0%AF", u"À¯"},
      {u"x%C3%A9%E9y", u"xééy"},
      {u"plain", u"plain"},
  };
  for (const auto& c : cases) {
    VString text = Str(c.text);
    VURL::Decode(text);
    EXPECT_EQ(Text(text), c.decoded) << std::string(c.text.begin(), c.text.end());
  }
}

// Encoding may decompose first and decoding composes, by the current
// task's settings, which keep both normal forms as given: a composed and a
// decomposed name each round-trip to their own bytes, as file names that
// the file system compares exactly must.
TEST(VURL, NormalFormsAreThoseOfTheSettings) {
  const struct {
    std::u16string text;
    std::u16string encoded;
  } cases[] = {
      {u"\u00E9", u"%C3%A9"},
      {u"e\u0301", u"e%CC%81"},
      {u"a b", u"a%20b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.encoded.begin(), c.encoded.end()));
    VString normal = Str(c.text);
    normal.Decompose();
    VString expected = normal;
    VURL::Encode(expected, false, false, true, false);
    VString text = Str(c.text);
    VURL::Encode(text, false, true, true, false);
    EXPECT_EQ(Text(text), Text(expected));
    EXPECT_EQ(Text(text), c.encoded);
    VURL::Decode(text);
    EXPECT_EQ(Text(text), c.text);
    // Without '%' the text is only composed.
    VString plain = Str(c.text);
    VString composed = plain;
    composed.Compose();
    VURL::Decode(plain);
    EXPECT_EQ(Text(plain), Text(composed));
  }
}

TEST(VURL, NetworkLocationsAndPorts) {
  const struct {
    std::u16string location;
    std::u16string user, password, host, port;
    int32 number;
  } cases[] = {
      {u"h:65535", u"", u"", u"h", u"65535", 65535},
      {u"h:65536", u"", u"", u"h", u"65536", -1},
      {u"h:65537", u"", u"", u"h", u"65537", -1},
      {u"h:99999999999", u"", u"", u"h", u"99999999999", -1},
      {u"h", u"", u"", u"h", u"", 0},
      {u"h: 80", u"", u"", u"h", u" 80", -1},
      {u"[::1]:8080", u"", u"", u"::1", u"8080", 8080},
      {u"[::1", u"", u"", u"", u"", 0},
      {u"me:secret@h:21", u"me", u"secret", u"h", u"21", 21},
      {u"me@h", u"me", u"", u"h", u"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.location.begin(), c.location.end()));
    const VURL url(Str(u"s://" + c.location + u"/"), false);
    VString text;
    url.GetUserName(text, false);
    EXPECT_EQ(Text(text), c.user);
    url.GetPassword(text, false);
    EXPECT_EQ(Text(text), c.password);
    url.GetHostName(text, false);
    EXPECT_EQ(Text(text), c.host);
    url.GetPortNumber(text, false);
    EXPECT_EQ(Text(text), c.port);
    EXPECT_EQ(url.GetPortNumber(), c.number);
  }
}

TEST(VURL, EncodedTextsAreDecodedAndKept) {
  VURL url(Str(u"http://h%20x/a%20b/c;p%3B?q%3D1#f%23"), true);
  EXPECT_TRUE(url.IsConform());
  EXPECT_EQ(Part(url, kURLPartNetworkLocation), u"h x");
  EXPECT_EQ(Part(url, kURLPartPath), u"a b/c");
  EXPECT_EQ(Part(url, kURLPartParameters), u"p;");
  EXPECT_EQ(Part(url, kURLPartQuery), u"q=1");
  EXPECT_EQ(Part(url, kURLPartFragment), u"f#");
  EXPECT_EQ(Absolute(url, false), u"http://h x/a b/c;p;?q=1#f#");
  EXPECT_EQ(Absolute(url, true), u"http://h%20x/a%20b/c;p%3B?q%3D1#f%23");
  // Changing a part drops the caller's encoded text, which no longer spells the URL.
  url.SetFragment(Str(u"g"), false);
  EXPECT_EQ(Absolute(url, true), u"http://h%20x/a%20b/c?q=1;p;#g");
  // A text with unsafe characters is not kept.
  VURL spaced(Str(u"http://h/a b"), true);
  EXPECT_EQ(Absolute(spaced, true), u"http://h/a%20b");
  EXPECT_EQ(Absolute(VURL(Str(u"about:blank"), true), true), u"about:blank");
}

TEST(VURL, RelativeURLAndPieces) {
  const VURL url(Str(u"s://h/dir/a b/;p?q#f"), false);
  VString text;
  url.GetRelativeURL(text, true);
  EXPECT_EQ(Text(text), u"s://h/dir/a%20b/;p?q#f");
  url.GetResourceSpecifier(text, false);
  EXPECT_EQ(Text(text), u";p?q#f");
  url.GetLastPathComponent(text, false);
  EXPECT_EQ(Text(text), u"a%20b");
  url.GetPath(text, kURLPathStyleWindows, false);
  EXPECT_EQ(Text(text), u"dir\\a b\\");
  url.GetPath(text, kURLPathStyleHFS, false);
  EXPECT_EQ(Text(text), u"dir:a b:");
  EXPECT_TRUE(url.IsScheme(Str(u"s")));
  EXPECT_FALSE(url.IsScheme(Str(u"S")));
  const VURL bare(Str(u"s://h/x"), false);
  bare.GetResourceSpecifier(text, false);
  EXPECT_EQ(Text(text), u"");
  const VURL empty(Str(u"s:///p"), false);
  empty.GetRelativeURL(text, true);
  EXPECT_EQ(Text(text), u"s:///p");
}

TEST(VURL, FileURLsOfPaths) {
  const VFilePath folder(Str(u"Root:a b:"));
  const VURL url(folder);
  EXPECT_TRUE(url.IsConform());
  EXPECT_EQ(Absolute(url, false), u"file:///a b/");
  EXPECT_EQ(Absolute(url, true), u"file:///a%20b/");
  // Path-only parse: ';', '?' and '#' belong to the path.
  const VURL odd(VFilePath(Str(u"Root:x;y?z#w")));
  EXPECT_EQ(Part(odd, kURLPartPath), u"x;y?z#w");
  VFilePath back;
  EXPECT_TRUE(odd.GetFilePath(back));
  EXPECT_EQ(Text(back.GetPath()), u"Root:x;y?z#w");

  VURL decoded(Str(u"file:///a%20b/"), true);
  ASSERT_TRUE(decoded.GetFilePath(back));
  EXPECT_EQ(Text(back.GetPath()), u"Root:a b:");
  EXPECT_TRUE(VURL(Str(u"/a/b"), false).GetFilePath(back));  // no scheme: a path
  EXPECT_EQ(Text(back.GetPath()), u"Root:a:b");
  EXPECT_FALSE(VURL(Str(u"sch://h/a"), false).GetFilePath(back));
  EXPECT_TRUE(back.IsEmpty());
  EXPECT_FALSE(VURL(VFilePath()).IsConform());

  const struct {
    std::u16string path;
    EURLPathStyle style;
    std::u16string url;
  } texts[] = {
      {u"//srv/x", kURLPathStylePosix, u"file://srv/x"},
      {u"/x", kURLPathStylePosix, u"file:///x"},
      {u"x/y", kURLPathStylePosix, u"file:///x/y"},
      {u"x\\y", kURLPathStyleWindows, u"file:///x/y"},
      {u"x:y:", kURLPathStyleHFS, u"file:///x/y/"},
  };
  for (const auto& c : texts) {
    const VURL made(Str(c.path), c.style, Str(u"file://"));
    EXPECT_EQ(Absolute(made, false), c.url);
  }
  VURL joined;
  EXPECT_TRUE(joined.FromString(Str(u"p/q"), Str(u"s://h"), false));
  EXPECT_EQ(Absolute(joined, false), u"s://h/p/q");
  EXPECT_TRUE(joined.FromString(Str(u"t://g/r"), Str(u"s://h"), false));
  EXPECT_EQ(Absolute(joined, false), u"t://g/r");
}

TEST(VURL, ChangingParts) {
  VURL url(Str(u"s://h/a/b/c/"), false);
  url.SetQuery(Str(u"k%3Dv"), true);
  EXPECT_EQ(Absolute(url, false), u"s://h/a/b/c/?k=v");
  url.SetParameters(Str(u"p"), false);
  url.SetNetWorkLocation(Str(u"g:8"), false);
  url.SetScheme(Str(u"t"));
  EXPECT_EQ(Absolute(url, false), u"t://g:8/a/b/c/;p?k=v");
  url.SetRelativePath(Str(u"x:y:"), kURLPathStyleHFS, false);
  EXPECT_EQ(Part(url, kURLPartPath), u"x/y/");
  url.SetRelativePath(Str(u"u\\v\\"), kURLPathStyleWindows, false);
  EXPECT_EQ(Part(url, kURLPartPath), u"u/v/");

  EXPECT_FALSE(url.IsRoot());
  EXPECT_TRUE(url.ToSubFolder(Str(u"w")));
  EXPECT_EQ(Part(url, kURLPartPath), u"u/v/w");
  EXPECT_FALSE(url.ToSubFolder(Str(u"z")));
  EXPECT_TRUE(url.ToParent());
  EXPECT_EQ(Part(url, kURLPartPath), u"u/v/");
  std::unique_ptr<VURL> parent(url.RetainParent());
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(Part(*parent, kURLPartPath), u"u/");
  EXPECT_TRUE(parent->IsRoot());
  EXPECT_FALSE(parent->ToParent());
  EXPECT_EQ(parent->RetainParent(), nullptr);

  VURL file(Str(u"s://h/a/f.txt"), false);
  file._RemoveLastPathComponent();
  EXPECT_EQ(Part(file, kURLPartPath), u"a/");
  file._RemoveLastPathComponent();
  EXPECT_EQ(Part(file, kURLPartPath), u"a/");

  // A URL that is not conform is left alone.
  VURL loose(Str(u"a/b"), false);
  loose.SetQuery(Str(u"q"), false);
  EXPECT_EQ(Absolute(loose, false), u"a/b");

  VURL copy;
  copy.FromURL(url);
  copy.FromURL(copy);
  EXPECT_EQ(Absolute(copy, false), Absolute(url, false));
  copy.Clear();
  EXPECT_FALSE(copy.IsConform());
  EXPECT_EQ(Absolute(copy, false), u"");
}

TEST(VURL, SafeCharacters) {
  EXPECT_TRUE(VURL::_ContainsOnlySafeCharacters(VString()));
  EXPECT_TRUE(VURL::_ContainsOnlySafeCharacters(Str(u"http://h/a%20b?x=1&y=[2]#~")));
  EXPECT_FALSE(VURL::_ContainsOnlySafeCharacters(Str(u"a b")));
  EXPECT_FALSE(VURL::_ContainsOnlySafeCharacters(Str(u"é")));
}

}  // namespace
}  // namespace zeft
