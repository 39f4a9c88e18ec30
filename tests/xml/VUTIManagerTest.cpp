// The type identifier registry and the property-list reader that feeds it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/FileTestSupport.h"
#include "files/VFileKind.h"
#include "files/VFileKindManager.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"
#include "xml/VLocalizationManager.h"
#include "xml/VUTI.h"
#include "xml/VUTIManager.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasError;
using UTIRef = VRefPtr<VUTI>;

// A property list holding the given declarations under the exported key.
std::string PropertyList(const std::string& declarations,
                         const std::string& key = "UTExportedTypeDeclarations") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//X//DTD PLIST 1.0//EN\" \"http://localhost:1/p.dtd\">\n"
         "<plist version=\"1.0\"><dict><key>CFBundleName</key><string>x</string>"
         "<key>" +
         key + "</key><array>" + declarations + "</array></dict></plist>";
}

// One declaration; `tags` goes inside its tag specification dictionary.
std::string Declaration(const std::string& id, const std::string& conformsTo = "",
                        const std::string& tags = "", const std::string& description = "") {
  std::string d = "<dict><key>UTTypeIdentifier</key><string>" + id + "</string>";
  if (!description.empty()) {
    d += "<key>UTTypeDescription</key><string>" + description + "</string>";
  }
  if (!conformsTo.empty()) {
    d += "<key>UTTypeConformsTo</key><array><string>" + conformsTo + "</string></array>";
  }
  if (!tags.empty()) d += "<key>UTTypeTagSpecification</key><dict>" + tags + "</dict>";
  return d + "</dict>";
}

std::string Extensions(const std::string& extension) {
  return "<key>public.filename-extension</key><array><string>" + extension + "</string></array>";
}

constexpr char kExt[] = "public.filename-extension";
constexpr char kMIME[] = "public.mime-type";

class UTIManagerTest : public ::testing::Test {
 protected:
  void Load(const std::string& xml) {
    EXPECT_TRUE(fManager->LoadXMLBuffer(xml.data(), xml.size()));
  }
  // The record owning the extension.
  UTIRef Owner(const char* extension) {
    return UTIRef(fManager->UTTypeCreatePreferredIdentifierForTag(VString(kExt), VString(extension),
                                                                  VString()),
                  kAdoptRef);
  }
  std::vector<std::string> AllFor(const char* tagClass, const char* tag) {
    std::vector<std::string> ids;
    auto list =
        fManager->UTTypeCreateAllIdentifiersForTag(VString(tagClass), VString(tag), VString());
    if (list == nullptr) return {"<null>"};
    for (const UTIRef& uti : *list) ids.push_back(to_string(uti->GetIdentifier()));
    return ids;
  }
  std::string Preferred(const char* tagClass, const char* tag, const char* conformingTo = "") {
    UTIRef uti(fManager->UTTypeCreatePreferredIdentifierForTag(VString(tagClass), VString(tag),
                                                               VString(conformingTo)),
               kAdoptRef);
    return uti ? to_string(uti->GetIdentifier()) : "<null>";
  }
  static std::vector<std::string> Keys(const VUTI::UTIMap& map) {
    std::vector<std::string> keys;
    for (const auto& [id, uti] : map) keys.push_back(to_string(id));
    return keys;
  }

  VRefPtr<VUTIManager> fManager{new VUTIManager, kAdoptRef};
};

TEST_F(UTIManagerTest, ReadsDeclarationsAndLinksParentsDeclaredLater) {
  Load(PropertyList(
      Declaration("com.x.child", "com.x.parent", Extensions("chi"), "A child") +
      Declaration("com.x.parent", "",
                  Extensions("txt") + "<key>public.mime-type</key><string>text/x</string>")));
  EXPECT_EQ(fManager->GetUTIsCount(), 2);
  UTIRef child = Owner("chi");
  UTIRef parent = Owner("txt");
  ASSERT_TRUE(child && parent);
  EXPECT_EQ(to_string(child->GetDescription()), "A child");
  // The placeholder gave way to the record itself, linked both ways.
  ASSERT_EQ(Keys(child->GetParentUTIsMap()), std::vector<std::string>{"com.x.parent"});
  EXPECT_EQ(child->GetParentUTIsMap().begin()->second, parent.Get());
  EXPECT_FALSE(child->GetParentUTIsMap().begin()->second->IsTemporary());
  EXPECT_EQ(Keys(parent->GetChildrenUTIsMap()), std::vector<std::string>{"com.x.child"});
  EXPECT_TRUE(child->ConformsToIdentifier(VString("COM.X.PARENT")));
  EXPECT_TRUE(child->IsParent(parent.Get()));
  EXPECT_TRUE(parent->IsChild(child.Get()));

  // The child lists no txt of its own but conforms through its parent:
  // both are listed, and the parent alone owns the tag.
  EXPECT_EQ(AllFor(kExt, "TXT"), (std::vector<std::string>{"com.x.child", "com.x.parent"}));
  EXPECT_EQ(Preferred(kExt, "txt"), "com.x.parent");
  EXPECT_EQ(Preferred(kMIME, "text/x"), "com.x.parent");
  std::vector<VString> extensions;
  child->GetAllExtensionsVector(extensions);
  ASSERT_EQ(extensions.size(), 2u);
  EXPECT_EQ(to_string(extensions[1]), "txt");
}

TEST_F(UTIManagerTest, UnknownParentStaysAPlaceholder) {
  Load(PropertyList(Declaration("com.x.a", "com.x.unknown", Extensions("a"))));
  UTIRef a = Owner("a");
  ASSERT_TRUE(a);
  ASSERT_EQ(Keys(a->GetParentUTIsMap()), std::vector<std::string>{"com.x.unknown"});
  EXPECT_TRUE(a->GetParentUTIsMap().begin()->second->IsTemporary());
  // A placeholder never makes a record conform.
  EXPECT_FALSE(a->ConformsToIdentifier(VString("com.x.unknown")));
  EXPECT_TRUE(a->ConformsToIdentifier(VString("com.x.a")));
  EXPECT_FALSE(a->ConformsToIdentifier(VString()));
}

TEST_F(UTIManagerTest, PreferredIdentifierFavoursPublicThenIdentifierOrder) {
  Load(PropertyList(Declaration("org.b", "", Extensions("txt")) +
                    Declaration("public.text", "", Extensions("txt")) +
                    Declaration("org.a", "", Extensions("dat")) +
                    Declaration("org.c", "", Extensions("dat"))));
  EXPECT_EQ(Preferred(kExt, "txt"), "public.text");
  EXPECT_EQ(Preferred(kExt, "dat"), "org.a");
  EXPECT_EQ(Preferred(kExt, "dat", "org.c"), "org.c");
  EXPECT_EQ(Preferred(kExt, "none"), "<null>");
  // Unknown class, empty arguments.
  EXPECT_EQ(AllFor("public.unknown", "txt"), std::vector<std::string>{});
  EXPECT_EQ(Preferred("public.unknown", "txt"), "<null>");
  EXPECT_EQ(AllFor("", "txt"), std::vector<std::string>{"<null>"});
  EXPECT_EQ(AllFor(kExt, ""), std::vector<std::string>{"<null>"});
}

TEST_F(UTIManagerTest, RecordsAreKeyedIgnoringCase) {
  UTIRef first(new VUTI, kAdoptRef);
  first->SetIdentifier(VString("com.x.Type"));
  UTIRef second(new VUTI, kAdoptRef);
  second->SetIdentifier(VString("COM.X.TYPE"));
  UTIRef empty(new VUTI, kAdoptRef);
  EXPECT_TRUE(fManager->AddNewUTI(first.Get()));
  EXPECT_FALSE(fManager->AddNewUTI(second.Get()));
  EXPECT_FALSE(fManager->AddNewUTI(empty.Get()));
  EXPECT_EQ(fManager->GetUTIsCount(), 1);
  EXPECT_EQ(first->GetRefCount(), 2);
  EXPECT_EQ(second->GetRefCount(), 1);

  UTIRef publicity(new VUTI, kAdoptRef);
  publicity->SetIdentifier(VString("Publicity.x"));
  EXPECT_TRUE(publicity->IsPublic());
  EXPECT_FALSE(first->IsPublic());
}

TEST_F(UTIManagerTest, CircularDeclarationsDoNotLoopForever) {
  Load(PropertyList(Declaration("com.x.a", "com.x.b", Extensions("a")) +
                    Declaration("com.x.b", "com.x.a", Extensions("b"))));
  UTIRef a = Owner("a");
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->ConformsToIdentifier(VString("com.x.b")));
  EXPECT_FALSE(a->ConformsToIdentifier(VString("com.x.none")));
  EXPECT_EQ(Preferred(kExt, "none"), "<null>");
  std::vector<VString> extensions;
  a->GetAllExtensionsVector(extensions);
  EXPECT_EQ(extensions.size(), 2u);
}

struct ReaderCase {
  const char* name;
  std::string plist;
  const char* extension;  // the record is found through this extension
  const char* identifier;
  std::vector<std::string> parents;
  std::vector<std::string> extensions;
};

TEST_F(UTIManagerTest, PropertyListReadingRules) {
  const std::string lowerKeys =
      "<dict><key>uttypeidentifier</key><string>com.x.lower</string>"
      "<key>uttypetagspecification</key><dict><key>PUBLIC.FILENAME-EXTENSION</key>"
      "<string>low</string></dict></dict>";
  const std::string singleConforms =
      "<dict><key>UTTypeIdentifier</key><string>com.x.single</string>"
      "<key>UTTypeConformsTo</key><string>com.x.p</string>"
      "<key>UTTypeTagSpecification</key><dict>" +
      Extensions("sgl") + "</dict></dict>";
  // A string under a key that is no tag class must not join the
  // extensions read before it.
  const std::string otherKey =
      "<dict><key>UTTypeIdentifier</key><string>com.x.other</string>"
      "<key>UTTypeTagSpecification</key><dict>"
      "<key>public.filename-extension</key><string>oth</string>"
      "<key>com.x.unrelated</key><string>zzz</string></dict></dict>";
  const ReaderCase cases[] = {
      {"keys ignore case", PropertyList(lowerKeys), "low", "com.x.lower", {}, {"low"}},
      {"a single conformance string is no parent",
       PropertyList(singleConforms),
       "sgl",
       "com.x.single",
       {},
       {"sgl"}},
      {"a string after another key", PropertyList(otherKey), "oth", "com.x.other", {}, {"oth"}},
      {"imported declarations too",
       PropertyList(Declaration("com.x.imp", "", Extensions("imp")), "UTImportedTypeDeclarations"),
       "imp",
       "com.x.imp",
       {},
       {"imp"}},
  };
  for (const ReaderCase& c : cases) {
    VRefPtr<VUTIManager> manager(new VUTIManager, kAdoptRef);
    EXPECT_TRUE(manager->LoadXMLBuffer(c.plist.data(), c.plist.size())) << c.name;
    UTIRef uti(manager->UTTypeCreatePreferredIdentifierForTag(VString(kExt), VString(c.extension),
                                                              VString()),
               kAdoptRef);
    ASSERT_TRUE(uti) << c.name;
    EXPECT_EQ(to_string(uti->GetIdentifier()), c.identifier) << c.name;
    EXPECT_EQ(Keys(uti->GetParentUTIsMap()), c.parents) << c.name;
    std::vector<std::string> extensions;
    for (const VString& e : uti->GetExtensionsVector()) extensions.push_back(to_string(e));
    EXPECT_EQ(extensions, c.extensions) << c.name;
  }
}

TEST_F(UTIManagerTest, WhatIsNotADeclarationIsPassedOver) {
  // White space in a value is kept; a self-closing dict has no identifier;
  // an array separated from its key is not read; two arrays in a row are.
  Load(
      "<plist><dict>"
      "<key>UTExportedTypeDeclarations</key><array>"
      "<dict><key>UTTypeIdentifier</key><string>\ncom.x.spaced\n</string>"
      "<key>UTTypeTagSpecification</key><dict>" +
      Extensions("spc") +
      "</dict></dict>"
      "<dict/></array>"
      "<array>" +
      Declaration("com.x.second", "", Extensions("sec")) +
      "</array>"
      "<key>UTImportedTypeDeclarations</key><string/><array>" +
      Declaration("com.x.skipped", "", Extensions("skp")) +
      "</array>"
      "</dict></plist>");
  EXPECT_EQ(fManager->GetUTIsCount(), 2);
  EXPECT_EQ(Preferred(kExt, "spc"), "\ncom.x.spaced\n");
  EXPECT_EQ(Preferred(kExt, "sec"), "com.x.second");
  EXPECT_EQ(Preferred(kExt, "skp"), "<null>");
}

TEST_F(UTIManagerTest, BrokenListKeepsWhatWasReadAndReportsTheError) {
  ErrorCollector errors;
  Load(PropertyList(Declaration("com.x.ok", "", Extensions("ok"))) + "<trailing");
  EXPECT_EQ(Preferred(kExt, "ok"), "com.x.ok");
  EXPECT_TRUE(HasError(errors.Errors(), MakeVError(kComponentXML, 3)));
}

TEST_F(UTIManagerTest, DeclarationFilesAndFileConformance) {
  test::TempFolder temp;
  const std::string plist = temp.Write(
      "Info.plist",
      PropertyList(Declaration("com.example.notes", "public.plain-text", Extensions("notes")) +
                   Declaration("public.plain-text", "public.data", Extensions("txt"))));
  EXPECT_FALSE(fManager->LoadXMLFile(nullptr));
  EXPECT_FALSE(fManager->LoadXMLFile(test::FileAt(temp.Path("missing.plist")).Get()));
  // Analysing reads the declarations without linking them.
  EXPECT_FALSE(fManager->AnalyzeXMLFile(test::FileAt(plist).Get()));
  EXPECT_EQ(fManager->GetUTIsCount(), 2);
  EXPECT_FALSE(Owner("notes")->ConformsToIdentifier(VString("public.plain-text")));
  EXPECT_TRUE(fManager->LoadXMLFile(test::FileAt(plist).Get()));
  EXPECT_TRUE(Owner("notes")->ConformsToIdentifier(VString("public.plain-text")));

  struct Case {
    const char* name;
    const char* identifier;
    bool conforms;
  };
  const Case cases[] = {
      {"a.notes", "public.plain-text", true},
      {"a.notes", "com.example.notes", true},
      {"b.txt", "com.example.notes", false},
      {"c.unknown", "public.data", false},
      {"d.notes", "", false},
  };
  for (const Case& c : cases) {
    auto file = test::FileAt(temp.Write(c.name, "x"));
    EXPECT_EQ(fManager->UTTypeConformsTo(file.Get(), VString(c.identifier)), c.conforms)
        << c.name << " " << c.identifier;
  }
  EXPECT_FALSE(fManager->UTTypeConformsTo(test::FileAt(temp.Path("gone.notes")).Get(),
                                          VString("public.data")));

  UTIRef uti = Owner("notes");
  const VFilePath image(VString(temp.Path("icon.png").c_str()), kFilePathStylePosix);
  uti->SetImagePath(image);
  EXPECT_TRUE(uti->GetImagePath().GetPath().EqualToStringRaw(image.GetPath()));
}

// The file kinds that reading a list registers, with the process's
// file-kind manager up for the test.
class UTIManagerFileKindsTest : public UTIManagerTest {
 protected:
  void SetUp() override { VFileKindManager::Init(); }
  void TearDown() override { VFileKindManager::DeInit(); }

  static VRefPtr<VFileKind> Kind(const char* identifier) {
    return VRefPtr<VFileKind>(VFileKindManager::sManager->RetainFileKind(VString(identifier)),
                              kAdoptRef);
  }
  static std::vector<std::string> Texts(const std::vector<VString>& texts) {
    std::vector<std::string> out;
    for (const VString& text : texts) out.push_back(to_string(text));
    return out;
  }
};

TEST_F(UTIManagerFileKindsTest, RecordsBecomeFileKindsWithTranslatedDescriptions) {
  test::TempFolder temp;
  VRefPtr<VLocalizationManager> localizer(new VLocalizationManager(kDialectEnglishUS), kAdoptRef);
  const std::string strings = temp.Write("Types.strings", "\"A child\" = \"Un enfant\";\n");
  localizer->LoadFile(test::FileAt(strings).Get(), false);
  fManager->SetLocalizationManager(localizer.Get());
  Load(PropertyList(Declaration("com.x.child", "com.x.parent",
                                Extensions("chi") + "<key>public.ostype</key><string>CHLD</string>",
                                "A child") +
                    Declaration("com.x.parent", "", Extensions("par"), "A parent") +
                    Declaration("com.x.orphan", "com.x.nowhere", Extensions("orp"), "An orphan")));

  VRefPtr<VFileKind> child = Kind("com.x.child");
  ASSERT_TRUE(child);
  EXPECT_EQ(to_string(child->GetDescription()), "Un enfant");
  EXPECT_EQ(Texts(child->GetExtensions()), std::vector<std::string>{"chi"});
  EXPECT_EQ(Texts(child->GetOsKinds()), std::vector<std::string>{"CHLD"});
  std::vector<VString> parentIDs;
  ASSERT_TRUE(child->GetParentIDs(parentIDs));
  EXPECT_EQ(Texts(parentIDs), std::vector<std::string>{"com.x.parent"});
  // No translation: the declared text.
  VRefPtr<VFileKind> parent = Kind("com.x.parent");
  ASSERT_TRUE(parent);
  EXPECT_EQ(to_string(parent->GetDescription()), "A parent");
  // The kind keeps the parent that no record declares, which the record
  // itself does not conform to.
  VRefPtr<VFileKind> orphan = Kind("com.x.orphan");
  ASSERT_TRUE(orphan);
  ASSERT_TRUE(orphan->GetParentIDs(parentIDs));
  EXPECT_EQ(Texts(parentIDs), std::vector<std::string>{"com.x.nowhere"});
  EXPECT_FALSE(Owner("orp")->ConformsToIdentifier(VString("com.x.nowhere")));
  // The kinds are found by their tags too.
  VRefPtr<VFileKind> byExtension(
      VFileKindManager::sManager->RetainFirstFileKindMatchingWithExtension(VString("CHI")),
      kAdoptRef);
  ASSERT_TRUE(byExtension);
  EXPECT_EQ(to_string(byExtension->GetIdentifier()), "com.x.child");
  fManager->SetLocalizationManager(nullptr);
}

TEST_F(UTIManagerFileKindsTest, NothingIsRegisteredWithoutAFileKindManager) {
  VFileKindManager::DeInit();
  Load(PropertyList(Declaration("com.x.early", "", Extensions("ear"), "Early")));
  VFileKindManager::Init();
  EXPECT_FALSE(Kind("com.x.early"));
  // The next list registers every record known by then.
  Load(PropertyList(Declaration("com.x.late", "", Extensions("lat"), "Late")));
  EXPECT_TRUE(Kind("com.x.early"));
  EXPECT_TRUE(Kind("com.x.late"));
}

TEST(VUTIManagerSingleton, CreatedOnceForEveryTaskAndAgainAfterDeInit) {
  std::vector<VUTIManager*> seen(8, nullptr);
  {
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
      threads.emplace_back([&seen, i] { seen[i] = VUTIManager::GetUTIManager(); });
    }
    for (std::thread& t : threads) t.join();
  }
  ASSERT_NE(seen[0], nullptr);
  for (VUTIManager* manager : seen) EXPECT_EQ(manager, seen[0]);
  EXPECT_TRUE(VUTIManager::DeInit());
  VUTIManager* fresh = VUTIManager::GetUTIManager();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->GetUTIsCount(), 0);
  VUTIManager::Delete();
}

}  // namespace
}  // namespace zeft
