#include "json/VJSONPointerResolver.h"

#include <gtest/gtest.h>

#include "JSONTestSupport.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::Parse;
using test::Write;

// The codes of the resolver's error objects.
std::vector<int32> ErrorCodes(const VJSONPointerResolver& resolver) {
  std::vector<int32> codes;
  if (VJSONArray* errors = resolver.GetErrors()) {
    for (size_t i = 0; i < errors->GetCount(); ++i) {
      codes.push_back(
          int32(errors->GetAt(i).GetObject()->GetProperty(VString("code")).GetNumber()));
    }
  }
  return codes;
}

TEST(VJSONPointerResolverTest, PointerTable) {
  const VJSONValue document =
      Parse(R"({"a/b":[7],"m~n":5,"list":[1,2,3],"s":"t","holes":[null],"o":{"x":1}})");
  struct Case {
    const char* reference;
    const char* value;  // null: unresolved
    int32 error;
  };
  const Case cases[] = {
      {"#/a~1b/0", "7", 0},
      {"#/m~0n", "5", 0},
      {"%23/o/x", nullptr, 913},
      {"#/o/%78", "1", 0},
      {"#", nullptr, 0},
      {"", nullptr, 0},
      {"#/list/01", nullptr, 907},
      {"#/list/-", nullptr, 909},
      {"#/list/5", nullptr, 906},
      {"#/list/99999999999999999999999999", nullptr, 906},
      {"#/list/x1", nullptr, 907},
      {"#/list/", nullptr, 907},
      {"#list", nullptr, 907},
      {"#/s/x", nullptr, 910},
      {"#/missing", nullptr, 906},
      {"http://host/doc.json#/a", nullptr, 909},
      {"HTTPS://host/doc.json", nullptr, 909},
      {" file:doc.json#/a", nullptr, 909},
      {"other.json#/a", nullptr, 913},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.reference);
    VRefPtr<VJSONPointerResolver> resolver(
        new VJSONPointerResolver(document, nullptr, nullptr, nullptr), kAdoptRef);
    VJSONValue holder(JSON_object);
    VJSONValue reference(JSON_object);
    reference.GetObject()->SetProperty(VString("$ref"), VJSONValue(VString(item.reference)));
    holder.GetObject()->SetProperty(VString("r"), reference);
    resolver->ResolveRecursively(holder, false);
    const VJSONValue resolved = holder.GetObject()->GetProperty(VString("r"));
    if (item.error != 0) {
      EXPECT_TRUE(resolved.IsUndefined());
      EXPECT_EQ(ErrorCodes(*resolver), std::vector<int32>{item.error});
      const VJSONValue error = resolver->GetErrors()->GetAt(0);
      EXPECT_EQ(Write(error.GetObject()->GetProperty(VString("pointerURI"))),
                std::string("\"").append(item.reference).append("\""));
      EXPECT_EQ(Write(error.GetObject()->GetProperty(VString("component"))), "\"zeft\"");
    } else if (item.value != nullptr) {
      EXPECT_EQ(Write(resolved), item.value);
      EXPECT_TRUE(ErrorCodes(*resolver).empty());
    } else {
      EXPECT_EQ(resolved.GetObject(), document.GetObject()) << "the whole document";
    }
  }
}

TEST(VJSONPointerResolverTest, CyclesEnd) {
  test::StLiveContainers live;
  {
    // Two references designating each other through a step.
    VJSONValue mutual = Parse(R"({"a":{"$ref":"#/b/x"},"b":{"$ref":"#/a/x"}})");
    VRefPtr<VJSONPointerResolver> resolver(
        new VJSONPointerResolver(mutual, nullptr, nullptr, nullptr), kAdoptRef);
    resolver->ResolveRecursively(mutual, false);
    const std::vector<int32> codes = ErrorCodes(*resolver);
    EXPECT_NE(std::find(codes.begin(), codes.end(), 908), codes.end());
    // References designating each other directly end too.
    VJSONValue direct = Parse(R"({"a":{"$ref":"#/b"},"b":{"$ref":"#/a"}})");
    VRefPtr<VJSONPointerResolver> chain(new VJSONPointerResolver(direct, nullptr, nullptr, nullptr),
                                        kAdoptRef);
    chain->ResolveRecursively(direct, false);
    EXPECT_FALSE(ErrorCodes(*chain).empty());
    // A reference to its own container makes a cycle the walk enters once.
    VJSONValue self = Parse(R"({"a":{"$ref":"#"},"b":[{"$ref":"#/b"}]})");
    VRefPtr<VJSONPointerResolver> again(new VJSONPointerResolver(self, nullptr, nullptr, nullptr),
                                        kAdoptRef);
    again->ResolveRecursively(self, false);
    EXPECT_EQ(self.GetObject()->GetProperty(VString("a")).GetObject(), self.GetObject());
    const VJSONValue b = self.GetObject()->GetProperty(VString("b"));
    EXPECT_EQ(b.GetArray()->GetAt(0).GetArray(), b.GetArray());
    EXPECT_TRUE(ErrorCodes(*again).empty());
    // Break the cycles the resolution made.
    self.GetObject()->Clear();
    b.GetArray()->Clear();
  }
  EXPECT_EQ(live.Objects(), 0);
}

TEST(VJSONPointerResolverTest, PatchModeOverridesTheTarget) {
  VJSONValue document = Parse(R"({"t":{"x":1,"y":3},"r":{"$ref":"#/t","x":2},"q":{"$ref":"#/t"}})");
  VRefPtr<VJSONPointerResolver> resolver(
      new VJSONPointerResolver(document, nullptr, nullptr, nullptr), kAdoptRef);
  resolver->ResolveRecursively(document, true);
  EXPECT_EQ(Write(document), R"({"t":{"x":1,"y":3},"r":{"x":2,"y":3},"q":{"x":1,"y":3}})");
  EXPECT_EQ(document.GetObject()->GetProperty(VString("q")).GetObject(),
            document.GetObject()->GetProperty(VString("t")).GetObject());
}

TEST(VJSONPointerResolverTest, ReferencesInsideResolvedValuesAreResolved) {
  VJSONValue document =
      Parse(R"({"defs":{"n":4,"inner":{"v":{"$ref":"#/defs/n"}}},"use":{"$ref":"#/defs/inner"}})");
  VRefPtr<VJSONPointerResolver> resolver(
      new VJSONPointerResolver(document, nullptr, nullptr, nullptr), kAdoptRef);
  resolver->ResolveRecursively(document, false);
  EXPECT_EQ(Write(document.GetObject()->GetProperty(VString("use"))), R"({"v":4})");
  VJSONValue one(JSON_object);
  one.GetObject()->SetProperty(VString("$ref"), VJSONValue(VString("#/defs/n")));
  VJSONValue out;
  resolver->ResolveOnePointer(one.GetObject(), false, out);
  EXPECT_EQ(Write(out), "4");
}

TEST(VJSONPointerResolverTest, FilesBesideTheDocument) {
  test::TempFolder scratch;
  scratch.Write("other.json", R"({"o":{"n":1},"next":{"$ref":"sub/third.json#/w"}})");
  scratch.Write("sub/third.json", R"({"w":[2],"back":{"$ref":"../other.json#/o/n"}})");
  scratch.Write("broken.json", "{nope");
  VRefPtr<VFolder> base(new VFolder(VString((scratch.Path() + "/").c_str()), kFilePathStylePosix),
                        kAdoptRef);
  VJSONValue document = Parse(
      R"({"a":{"$ref":"other.json#/o"},"b":{"$ref":"other.json#/o"},"c":{"$ref":"other.json#/next"},)"
      R"("gone":{"$ref":"missing.json#/x"},"bad":{"$ref":"broken.json"},"abs":{"$ref":"/etc/x.json"}})");
  VRefPtr<VJSONFileCache> cache(new VJSONFileCache(), kAdoptRef);
  VRefPtr<VJSONPointerResolver> resolver(
      new VJSONPointerResolver(document, base.Get(), nullptr, cache.Get()), kAdoptRef);
  std::vector<VRefPtr<IFile>> files;
  resolver->ResolveRecursively(document, false, &files);
  VJSONObject* top = document.GetObject();
  EXPECT_EQ(Write(top->GetProperty(VString("a"))), R"({"n":1})");
  EXPECT_EQ(top->GetProperty(VString("a")).GetObject(), top->GetProperty(VString("b")).GetObject())
      << "the file was parsed once";
  EXPECT_EQ(Write(top->GetProperty(VString("c"))), "[2]") << "resolved beside the other file";
  EXPECT_TRUE(top->GetProperty(VString("gone")).IsUndefined());
  EXPECT_EQ(files.size(), 4u);
  EXPECT_TRUE(cache->GetValue(VString((scratch.Path() + "/other.json").c_str())).IsObject());
  ASSERT_NE(resolver->GetErrors(), nullptr);
  struct Expected {
    int32 code;
    std::string referredPath;
  };
  const Expected expected[] = {
      {913, "\"" + scratch.Path() + "/missing.json\""},
      {912, "\"" + scratch.Path() + "/broken.json\""},
      {913, "\"/etc/x.json\""},
  };
  ASSERT_EQ(resolver->GetErrors()->GetCount(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const VJSONValue error = resolver->GetErrors()->GetAt(i);
    EXPECT_EQ(error.GetObject()->GetProperty(VString("code")).GetNumber(), expected[i].code);
    EXPECT_EQ(Write(error.GetObject()->GetProperty(VString("referredPath"))),
              expected[i].referredPath);
  }
}

// With named file systems, "/NAME/rest" names a file of the file system
// NAME (the namespace's parents too, hidden ones left out), other names are
// found below the base folder, and a document read that way resolves its
// own references through the same file systems. Unresolved references are
// undefined, which the writer leaves out.
TEST(VJSONPointerResolverTest, DocumentsThroughNamedFileSystems) {
  test::TempFolder scratch;
  scratch.Write("lib/data.json", R"({"v":[5],"more":{"$ref":"/outer/far.json#/w"}})");
  scratch.Write("far/far.json", R"({"w":"far"})");
  scratch.Write("hidden/h.json", R"({"x":1})");
  scratch.Write("doc/local.json", R"({"x":"local"})");
  auto folder = [&](const char* name) {
    return VRefPtr<VFolder>(
        new VFolder(VString((scratch.Path() + "/" + name + "/").c_str()), kFilePathStylePosix),
        kAdoptRef);
  };
  VRefPtr<VFileSystemNamespace> outer(new VFileSystemNamespace(), kAdoptRef);
  ASSERT_EQ(outer->RegisterFileSystem(VString("outer"), folder("far").Get(), 0), VE_OK);
  VRefPtr<VFileSystemNamespace> inner(new VFileSystemNamespace(outer.Get()), kAdoptRef);
  ASSERT_EQ(inner->RegisterFileSystem(VString("lib"), folder("lib").Get(), 0), VE_OK);
  ASSERT_EQ(inner->RegisterFileSystem(VString("hid"), folder("hidden").Get(), kFileSystemHidden),
            VE_OK);
  VJSONValue document =
      Parse(R"({"a":{"$ref":"/lib/data.json#/v/0"},"b":{"$ref":"/lib/data.json#/more"},)"
            R"("c":{"$ref":"local.json#/x"},"d":{"$ref":"/hid/h.json#/x"},)"
            R"("e":{"$ref":"/nowhere/x.json"},"f":{"$ref":"/lib/../doc/local.json"}})");
  VRefPtr<VJSONPointerResolver> resolver(
      new VJSONPointerResolver(document, folder("doc").Get(), inner.Get(), nullptr), kAdoptRef);
  resolver->ResolveRecursively(document, false);
  EXPECT_EQ(Write(document), R"({"a":5,"b":"far","c":"local"})");
  EXPECT_EQ(ErrorCodes(*resolver), (std::vector<int32>{913, 913, 913}));
}

// Without file systems, a name beginning with "/" is not looked up at all,
// and relative names stay POSIX paths below the base folder.
TEST(VJSONPointerResolverTest, WithoutFileSystemsNamesArePosixRelative) {
  test::TempFolder scratch;
  scratch.Write("lib/data.json", R"({"v":5})");
  VRefPtr<VFolder> base(new VFolder(VString((scratch.Path() + "/").c_str()), kFilePathStylePosix),
                        kAdoptRef);
  VJSONValue document = Parse(R"([{"$ref":"lib/data.json#/v"},{"$ref":"/lib/data.json#/v"}])");
  VRefPtr<VJSONPointerResolver> resolver(
      new VJSONPointerResolver(document, base.Get(), nullptr, nullptr), kAdoptRef);
  resolver->ResolveRecursively(document, false);
  EXPECT_EQ(Write(document), "[5,null]");
  EXPECT_EQ(ErrorCodes(*resolver), std::vector<int32>{913});
}

}  // namespace
}  // namespace zeft
