// File kinds and their registry: private kinds replacing one another,
// look-ups by identifier, extension and OS kind (registered kinds first,
// then the system's type database), preferred tags, localized labels, and
// conformance of kinds and files, over a small type database of the test's
// own and over the type identifier manager.
#include "files/VFileKindManager.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FolderTestSupport.h"
#include "files/VFile.h"
#include "files/VFileKind.h"
#include "platform/TypeDatabase.h"
#include "xml/VUTI.h"
#include "xml/VUTIManager.h"

namespace zeft {
namespace {

// A few declared types: jpeg conforms to image, image to data.
class FakeTypeDatabase : public platform::TypeDatabase {
 public:
  bool CopyDeclaration(const std::string& identifier,
                       platform::TypeDeclaration& declaration) const override {
    auto it = fTypes.find(identifier);
    if (it == fTypes.end()) return false;
    declaration = it->second;
    return true;
  }
  std::string PreferredIdentifierForTag(const std::string& tagClass,
                                        const std::string& tag) const override {
    const auto& tags = tagClass == platform::kTagClassOSType ? fOsTypes : fExtensions;
    auto it = tags.find(tag);
    return it != tags.end() ? it->second : std::string();
  }
  bool ConformsTo(const std::string& identifier, const std::string& other) const override {
    for (std::string id = identifier; !id.empty();) {
      if (id == other) return true;
      auto it = fTypes.find(id);
      id = it != fTypes.end() && !it->second.fParents.empty() ? it->second.fParents.front() : "";
    }
    return false;
  }

 private:
  std::map<std::string, platform::TypeDeclaration> fTypes = {
      {"public.data", {"data", {}, {}}},
      {"public.image", {"image", {}, {"public.data"}}},
      {"public.jpeg", {"JPEG image", {"jpeg", "jpg"}, {"public.image"}}},
      {"public.doc", {"system document", {"doc"}, {"public.data"}}},
  };
  std::map<std::string, std::string> fExtensions = {
      {"jpg", "public.jpeg"}, {"jpeg", "public.jpeg"}, {"doc", "public.doc"}};
  std::map<std::string, std::string> fOsTypes = {{"JPEG", "public.jpeg"}};
};

class VFileKindTest : public test::FolderTest {
 protected:
  void SetUp() override {
    platform::InstallTypeDatabase(&fDatabase);
    VFileKindManager::Init();
  }
  void TearDown() override {
    VFileKindManager::DeInit();
    platform::InstallTypeDatabase(nullptr);
    FolderTest::TearDown();
  }
  static VFileKindManager& Manager() { return *VFileKindManager::sManager; }
  static std::string IdOf(VFileKind* kind) {
    VRefPtr<VFileKind> held(kind, kAdoptRef);
    return held ? to_string(held->GetIdentifier()) : "none";
  }
  FakeTypeDatabase fDatabase;
};

TEST_F(VFileKindTest, RegisteringTwiceKeepsTheSecond) {
  Manager().RegisterPrivateFileKind(VString("com.x.doc"), VString("first"), {VString("x1")}, {});
  VRefPtr<VFileKind> first(Manager().RetainFileKind(VString("com.x.doc")), kAdoptRef);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->GetRefCount(), 2);
  Manager().RegisterPrivateFileKind(VString("com.x.doc"), {VString("XDOC")}, VString("second"),
                                    {VString("x2")}, {VString("public.data")});
  EXPECT_EQ(first->GetRefCount(), 1);  // released by the registry
  VRefPtr<VFileKind> second(Manager().RetainFileKind(VString("com.x.doc")), kAdoptRef);
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->GetDescription() == VString("second"));
  EXPECT_FALSE(second->IsPublic());
  EXPECT_TRUE(second->MatchOsKind(VString("XDOC")));
  EXPECT_FALSE(second->MatchOsKind(VString("xdoc")));
  EXPECT_FALSE(second->MatchExtension(VString("x1")));
}

TEST_F(VFileKindTest, LookUpsPreferRegisteredKinds) {
  Manager().RegisterPrivateFileKind(VString("com.b.doc"), VString("b"), {VString("doc")}, {});
  Manager().RegisterPrivateFileKind(VString("com.a.doc"), VString("a"), {VString("DOC")}, {});
  Manager().RegisterPrivateFileKind(VString("com.a.raw"), {VString("JPEG")}, VString("raw"), {},
                                    {});
  struct Case {
    const char* text;
    bool osKind;
    const char* identifier;
  };
  const Case cases[] = {
      {"doc", false, "com.a.doc"},    // registered before the system's, first in order
      {"Doc", false, "com.a.doc"},    // extensions match without case
      {"jpg", false, "public.jpeg"},  // the system's
      {"png", false, "none"},         // nobody's
      {"JPEG", true, "com.a.raw"},    // registered OS kind first
      {"jpeg", true, "none"},         // OS kinds match exactly
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IdOf(c.osKind ? Manager().RetainFirstFileKindMatchingWithOsKind(VString(c.text))
                            : Manager().RetainFirstFileKindMatchingWithExtension(VString(c.text))),
              c.identifier)
        << c.text;
  }
  // A system kind found by extension is kept: the same object comes back.
  VRefPtr<VFileKind> jpeg(Manager().RetainFirstFileKindMatchingWithExtension(VString("jpeg")),
                          kAdoptRef);
  VRefPtr<VFileKind> again(Manager().RetainFileKind(VString("public.jpeg")), kAdoptRef);
  EXPECT_EQ(jpeg.Get(), again.Get());
  EXPECT_TRUE(jpeg->IsPublic());
  VString extension;
  EXPECT_TRUE(jpeg->GetPreferredExtension(extension));
  EXPECT_TRUE(extension == VString("jpeg"));
  std::vector<VString> parents{VString("stale")};
  EXPECT_TRUE(jpeg->GetParentIDs(parents));
  ASSERT_EQ(parents.size(), 1u);
  EXPECT_TRUE(parents[0] == VString("public.image"));

  EXPECT_EQ(IdOf(Manager().RetainFileKind(VString("public.unknown"))), "none");
}

TEST_F(VFileKindTest, PreferredTagsAndLocalizedLabels) {
  Manager().RegisterPrivateFileKind(VString("com.x.bare"), VString("bare"), {}, {});
  VRefPtr<VFileKind> bare(Manager().RetainFileKind(VString("com.x.bare")), kAdoptRef);
  VString text("stale");
  EXPECT_FALSE(bare->GetPreferredExtension(text));
  EXPECT_TRUE(text.IsEmpty());
  text = VString("stale");
  EXPECT_FALSE(bare->GetPreferredOsKind(text));
  EXPECT_TRUE(text.IsEmpty());
  std::vector<VString> parents{VString("stale")};
  EXPECT_FALSE(bare->GetParentIDs(parents));
  EXPECT_TRUE(parents.empty());

  Manager().RegisterLocalizedString(2, VString("ignored"));
  Manager().RegisterLocalizedString(0, VString());
  Manager().RegisterLocalizedString(1, VString("Documents"));
  Manager().GetLocalizedString(0, text);
  EXPECT_TRUE(text == VString("All"));
  Manager().GetLocalizedString(1, text);
  EXPECT_TRUE(text == VString("Documents"));
  Manager().GetLocalizedString(2, text);
  EXPECT_TRUE(text == VString("Documents"));
}

TEST_F(VFileKindTest, ConformanceOfKindsAndFiles) {
  VRefPtr<VFileKind> jpeg(Manager().RetainFileKind(VString("public.jpeg")), kAdoptRef);
  ASSERT_TRUE(jpeg);
  EXPECT_TRUE(jpeg->ConformsTo(VString("public.image")));
  EXPECT_TRUE(jpeg->ConformsTo(VString("public.data")));
  EXPECT_TRUE(jpeg->ConformsTo(VString("public.jpeg")));
  EXPECT_FALSE(jpeg->ConformsTo(VString("public.doc")));
  EXPECT_FALSE(jpeg->ConformsTo(VString("com.nobody.knows")));

  Manager().RegisterPrivateFileKind(VString("com.x.notes"), VString("notes"), {VString("note")},
                                    {});
  fTemp.Write("photo.jpg", "j");
  fTemp.Write("memo.NOTE", "n");
  fTemp.Write("plain", "p");
  struct Case {
    const char* file;
    const char* kind;
    bool conforms;
  };
  const Case cases[] = {
      {"photo.jpg", "public.image", true},    {"photo.jpg", "public.data", true},
      {"photo.jpg", "public.doc", false},     {"photo.jpg", "com.x.notes", false},
      {"memo.NOTE", "com.x.notes", true},     {"memo.NOTE", "public.image", false},
      {"plain", "public.data", true},         {"plain", "com.x.notes", false},
      {"missing.jpg", "public.image", false}, {"photo.jpg", "com.unknown", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(File(c.file)->ConformsTo(VString(c.kind)), c.conforms) << c.file << " " << c.kind;
  }
}

// Without a type database nothing is public, and conformance needs equal
// identifiers.
TEST_F(VFileKindTest, WithoutATypeDatabase) {
  platform::InstallTypeDatabase(nullptr);
  EXPECT_EQ(IdOf(Manager().RetainFileKind(VString("public.jpeg"))), "none");
  EXPECT_EQ(IdOf(Manager().RetainFirstFileKindMatchingWithExtension(VString("jpg"))), "none");
  Manager().RegisterPrivateFileKind(VString("com.x.a"), VString("a"), {}, {});
  VRefPtr<VFileKind> a(Manager().RetainFileKind(VString("com.x.a")), kAdoptRef);
  EXPECT_TRUE(a->ConformsTo(*a));
  EXPECT_FALSE(a->ConformsTo(VString("public.data")));
}

// The type identifier manager serves as the type database once started.
TEST(VFileKindUTIManagerTest, DeclaredTypesBecomePublicKinds) {
  VUTIManager::Init();
  VUTIManager* manager = VUTIManager::GetUTIManager();
  VRefPtr<VUTI> image(new VUTI(), kAdoptRef);
  image->SetIdentifier(VString("org.test.image"));
  VRefPtr<VUTI> raw(new VUTI(), kAdoptRef);
  raw->SetIdentifier(VString("org.test.raw"));
  raw->SetDescription(VString("raw image"));
  raw->AddExtension(VString("rawx"));
  raw->AddParentUTI(image.Get());
  ASSERT_TRUE(manager->AddNewUTI(image.Get()));
  ASSERT_TRUE(manager->AddNewUTI(raw.Get()));

  VFileKindManager::Init();
  VRefPtr<VFileKind> kind(
      VFileKindManager::sManager->RetainFirstFileKindMatchingWithExtension(VString("rawx")),
      kAdoptRef);
  ASSERT_TRUE(kind);
  EXPECT_TRUE(kind->GetIdentifier() == VString("org.test.raw"));
  EXPECT_TRUE(kind->GetDescription() == VString("raw image"));
  EXPECT_TRUE(kind->IsPublic());
  EXPECT_TRUE(kind->ConformsTo(VString("org.test.image")));
  EXPECT_FALSE(kind->ConformsTo(VString("org.test.other")));
  kind = nullptr;
  VFileKindManager::DeInit();

  VUTIManager::DeInit();
  EXPECT_EQ(platform::InstalledTypeDatabase(), nullptr);
}

}  // namespace
}  // namespace zeft
