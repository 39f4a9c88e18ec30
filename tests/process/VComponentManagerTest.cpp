#include "process/VComponentManager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ProcessTestSupport.h"
#include "files/VFolder.h"
#include "platform/Locale.h"
#include "platform/MainBundle.h"
#include "probes/TestComponent.h"
#include "process/VLibrary.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::PosixPath;
using test::TemporaryFolder;
using CType = CComponent::CType;
using test::TestComponent;

constexpr CType kTypeA = 0x54535441;  // 'TSTA' in the component library
constexpr CType kTypeB = 0x54535442;  // 'TSTB'
constexpr CType kFamily = 0x46414D31;

// Creators of the types 'PLN1' (no requirement), 'NEED' (requires 'GONE',
// which nobody serves), 'CYCX' and 'CYCY' (each other at any version),
// 'OLDR' (requires 'PLN1' at version 9, above its 2), 'ANYV' ('PLN1' at
// any version).
CComponent* Create(CType type, CType family) {
  switch (type) {
    case 0x504C4E31:
      return new TestComponent(type, family, 2, {});
    case 0x4E454544:
      return new TestComponent(type, family, 1, {{0x474F4E45, 0xFFFFFFFF}});
    case 0x43594358:
      return new TestComponent(type, family, 1, {{0x43594359, 0xFFFFFFFF}});
    case 0x43594359:
      return new TestComponent(type, family, 1, {{0x43594358, 1}});
    case 0x4F4C4452:
      return new TestComponent(type, family, 1, {{0x504C4E31, 9}});
    case 0x414E5956:
      return new TestComponent(type, family, 1, {{0x504C4E31, 0xFFFFFFFF}});
  }
  return nullptr;
}
CComponent* OtherCreate(CType type, CType family) { return Create(type, family); }

constexpr CType kPlain = 0x504C4E31;
constexpr CType kNeedsMissing = 0x4E454544;
constexpr CType kCycleX = 0x43594358;
constexpr CType kCycleY = 0x43594359;
constexpr CType kTooOld = 0x4F4C4452;
constexpr CType kAnyVersion = 0x414E5956;

class ComponentManagerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(VComponentManager::Init()); }
  void TearDown() override { VComponentManager::DeInit(); }
};

TEST(ComponentManagerUninitialized, EverythingIsRefused) {
  EXPECT_EQ(VComponentManager::RegisterComponentCreator(kPlain, Create, false), ToolboxError(1000));
  EXPECT_EQ(VComponentManager::RetainComponent(kPlain, kFamily), nullptr);
  EXPECT_FALSE(VComponentManager::IsComponentAvailable(kPlain));
  std::vector<CComponent*> out;
  EXPECT_FALSE(VComponentManager::RetainComponentsOfFamily(kFamily, &out));
  test::ErrorCollector errors;
  EXPECT_EQ(VComponentManager::RegisterComponentLibrary(PosixPath(ZEFT_COMPONENTS_COMPLETE)),
            ToolboxError(1000));
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), 1000));
}

TEST_F(ComponentManagerTest, CreatorsRegisterOnceUnlessReplaced) {
  EXPECT_EQ(VComponentManager::RegisterComponentCreator(kPlain, Create, false), VE_OK);
  EXPECT_EQ(VComponentManager::RegisterComponentCreator(kPlain, Create, false), ToolboxError(1002));
  EXPECT_EQ(VComponentManager::RegisterComponentCreator(kPlain, OtherCreate, false), VE_OK);
  EXPECT_TRUE(VComponentManager::IsComponentAvailable(kPlain));
  EXPECT_EQ(VComponentManager::UnRegisterComponentCreator(kPlain, Create), ToolboxError(1001));
  EXPECT_EQ(VComponentManager::UnRegisterComponentCreator(kPlain, OtherCreate), VE_OK);
  EXPECT_FALSE(VComponentManager::IsComponentAvailable(kPlain));
  EXPECT_EQ(VComponentManager::UnRegisterComponentType(kPlain), ToolboxError(1003));
}

TEST_F(ComponentManagerTest, SharedInstancesAreHeldByTheRegistry) {
  VComponentManager::RegisterComponentCreator(kPlain, Create, false);
  CComponent* first = VComponentManager::RetainComponent(kPlain, kFamily);
  ASSERT_NE(first, nullptr);
  CComponent* second = VComponentManager::RetainComponent(kPlain, VComponentManager::kAnyFamily);
  EXPECT_EQ(second, first);
  EXPECT_EQ(static_cast<TestComponent*>(first)->GetCount(), 3);
  first->Release();
  second->Release();
  // Only the registry holds it now: it must still be there to hand out.
  CComponent* again = VComponentManager::RetainComponent(kPlain, kFamily);
  EXPECT_EQ(again, first);
  EXPECT_EQ(VComponentManager::UnRegisterComponentInstance(again), VE_OK);
  EXPECT_EQ(VComponentManager::UnRegisterComponentInstance(again), ToolboxError(1003));
  EXPECT_EQ(static_cast<TestComponent*>(again)->GetCount(), 1);
  again->Release();

  auto* own = new TestComponent(kPlain, kFamily, 1, {});
  EXPECT_EQ(VComponentManager::RegisterComponentInstance(own), VE_OK);
  EXPECT_EQ(VComponentManager::RegisterComponentInstance(own), ToolboxError(1002));
  EXPECT_EQ(VComponentManager::RegisterComponentInstance(nullptr), ToolboxError(3));
  own->Release(nullptr);  // DeInit releases the registry's reference
}

TEST_F(ComponentManagerTest, RequirementsDecideWhetherAComponentIsHandedOut) {
  for (CType type : {kPlain, kNeedsMissing, kCycleX, kCycleY, kTooOld, kAnyVersion})
    VComponentManager::RegisterComponentCreator(type, Create, false);
  EXPECT_EQ(VComponentManager::RetainUniqueComponent(kNeedsMissing, kFamily, false), nullptr);
  CComponent* unchecked = VComponentManager::RetainUniqueComponent(kNeedsMissing, kFamily, true);
  ASSERT_NE(unchecked, nullptr);
  unchecked->Release();
  EXPECT_EQ(VComponentManager::RetainUniqueComponent(kTooOld, kFamily, false), nullptr);
  for (CType type : {kCycleX, kCycleY, kAnyVersion, kPlain}) {
    CComponent* made = VComponentManager::RetainUniqueComponent(type, kFamily, false);
    EXPECT_NE(made, nullptr) << type;
    if (made != nullptr) made->Release();
  }
  // Results are cached until the types change.
  EXPECT_FALSE(VComponentManager::ResetComponentRequirements(kPlain, true));
  EXPECT_TRUE(VComponentManager::ResetComponentRequirements(kTooOld, true));
  EXPECT_FALSE(VComponentManager::ResetComponentRequirements(kTooOld, true));
}

TEST_F(ComponentManagerTest, FamilyAndSingleLookupsRunTogetherWithoutDeadlock) {
  for (CType type : {kPlain, kCycleX, kCycleY, kAnyVersion})
    VComponentManager::RegisterComponentCreator(type, Create, false);
  std::thread family([] {
    for (int i = 0; i < 300; ++i) {
      std::vector<CComponent*> out;
      VComponentManager::RetainComponentsOfFamily(kFamily, &out);
      for (CComponent* component : out) component->Release();
    }
  });
  std::thread single([] {
    for (int i = 0; i < 300; ++i) {
      if (CComponent* component = VComponentManager::RetainComponent(kCycleX, kFamily))
        component->Release();
      VComponentManager::RegisterComponentCreator(kCycleY, i % 2 ? Create : OtherCreate, true);
    }
  });
  family.join();
  single.join();
}

TEST_F(ComponentManagerTest, LibrariesRegisterTheirTypes) {
  test::ErrorCollector errors;
  const VFilePath path = PosixPath(ZEFT_COMPONENTS_COMPLETE);
  ASSERT_EQ(VComponentManager::RegisterComponentLibrary(path), VE_OK);
  VRefPtr<VLibrary> probe(new VLibrary(path), kAdoptRef);
  ASSERT_TRUE(probe->Load());
  auto mainCalls = reinterpret_cast<int (*)(int)>(probe->GetProcAddress(VString("MainCalls")));
  ASSERT_NE(mainCalls, nullptr);
  const int registered = mainCalls(0);
  EXPECT_GE(registered, 1);
  EXPECT_TRUE(VComponentManager::IsComponentAvailable(kTypeA));
  CComponent* component = VComponentManager::RetainUniqueComponent(kTypeA, kFamily, false);
  ASSERT_NE(component, nullptr);
  EXPECT_EQ(component->GetComponentFamily(), kFamily);
  component->Release();

  EXPECT_EQ(VComponentManager::RegisterComponentLibrary(path), ToolboxError(1002));
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), 1002));
  EXPECT_EQ(VComponentManager::RegisterComponentLibrary(PosixPath(ZEFT_COMPONENTS_INCOMPLETE)),
            ToolboxError(1004));

  // Another copy of the library takes the types over; the first copy's
  // references are given back (LeakSanitizer would report them).
  TemporaryFolder folder;
  const std::string copy = folder.Copy(ZEFT_COMPONENTS_COMPLETE, "copy.so");
  EXPECT_EQ(VComponentManager::RegisterComponentLibrary(PosixPath(copy)), VE_OK);
  EXPECT_EQ(VComponentManager::UnRegisterComponentLibrary(path), ToolboxError(1001));
  EXPECT_EQ(VComponentManager::UnRegisterComponentLibrary(PosixPath(copy)), VE_OK);
  EXPECT_FALSE(VComponentManager::IsComponentAvailable(kTypeA));

  EXPECT_EQ(VComponentManager::RegisterComponentLibrary(PosixPath(folder.Path() + "none.so")),
            ToolboxError(100));
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), 1008));
}

TEST_F(ComponentManagerTest, UnregisteringALibraryTellsItsMain) {
  const VFilePath path = PosixPath(ZEFT_COMPONENTS_COMPLETE);
  VRefPtr<VLibrary> probe(new VLibrary(path), kAdoptRef);
  ASSERT_TRUE(probe->Load());
  auto mainCalls = reinterpret_cast<int (*)(int)>(probe->GetProcAddress(VString("MainCalls")));
  const int leaving = mainCalls(1);
  ASSERT_EQ(VComponentManager::RegisterComponentLibrary(path), VE_OK);
  VComponentManager::RegisterComponentCreator(kTypeB, Create, false);
  EXPECT_EQ(VComponentManager::UnRegisterComponentLibrary(path), VE_OK);
  EXPECT_EQ(mainCalls(1), leaving + 1);
  // A type with its own creator stays.
  EXPECT_FALSE(VComponentManager::IsComponentAvailable(kTypeA));
  EXPECT_TRUE(VComponentManager::IsComponentAvailable(kTypeB));
}

// ---- Language choice ----

class LocalizationLanguageTest : public testing::Test {
 protected:
  void TearDown() override {
    platform::SetLocaleEnvironmentForTesting(nullptr);
    platform::SetMainBundlePathForTesting("");
  }
  VRefPtr<VFolder> Bundle(const std::vector<std::string>& languages) {
    for (const std::string& language : languages)
      fFolder.MakeFolders("App.app/Contents/Resources/" + language + ".lproj/");
    fFolder.MakeFolders("App.app/Contents/");
    return VRefPtr<VFolder>(new VFolder(PosixPath(fFolder.Path() + "App.app/")), kAdoptRef);
  }
  void PreferLanguage(const std::string& language) {
    fEnvironment.fLanguage = language;
    platform::SetLocaleEnvironmentForTesting(&fEnvironment);
    platform::SetMainBundlePathForTesting(fFolder.Path() + "App.app");
  }

  TemporaryFolder fFolder;
  platform::LocaleEnvironment fEnvironment;
};

TEST_F(LocalizationLanguageTest, ChoosesTheWantedOrEnglishOrTheLastFolder) {
  VRefPtr<VFolder> bundle = Bundle({"en", "fr"});
  PreferLanguage("fr");
  EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 0), 1036);
  EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 1031), 1033);
  PreferLanguage("de");
  EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 0), 1033);
  VRefPtr<VFolder> resources(new VFolder(PosixPath(fFolder.Path() + "App.app/Contents/Resources/")),
                             kAdoptRef);
  EXPECT_EQ(VComponentManager::GetLocalizationLanguage(resources.Get(), false, 1036), 1036);
}

TEST_F(LocalizationLanguageTest, TableOfBundles) {
  struct Case {
    std::vector<std::string> folders;
    DialectCode wanted;
    std::vector<DialectCode> accepted;
  };
  const Case cases[] = {
      {{"English"}, 1041, {1033}},
      {{"Base"}, 1041, {VComponentManager::kNoLanguage}},
      {{"xx"}, 1041, {VComponentManager::kNoLanguage}},
      {{"fr", "de"}, 1041, {1036, 1031}},
      {{"en_GB.lproj.old"}, 2057, {2057}},
      {{"de", "Base"}, 1031, {1031}},
      {{}, 1033, {VComponentManager::kNoLanguage}},
  };
  int n = 0;
  for (const Case& c : cases) {
    TemporaryFolder folder;
    for (const std::string& name : c.folders)
      folder.MakeFolders("Resources/" + name +
                         (name.find(".lproj") == std::string::npos ? ".lproj/" : "/"));
    folder.MakeFolders("Resources/");
    VRefPtr<VFolder> resources(new VFolder(PosixPath(folder.Path() + "Resources/")), kAdoptRef);
    const DialectCode found =
        VComponentManager::GetLocalizationLanguage(resources.Get(), false, c.wanted);
    EXPECT_NE(std::find(c.accepted.begin(), c.accepted.end(), found), c.accepted.end())
        << "case " << n << " gave " << found;
    ++n;
  }
  EXPECT_EQ(VComponentManager::GetLocalizationLanguage(nullptr, true, 0),
            VComponentManager::kNoLanguage);
  VFolder missing(PosixPath("/no/such/App.app/"));
  EXPECT_EQ(VComponentManager::GetLocalizationLanguage(&missing, true, 0),
            VComponentManager::kNoLanguage);
}

}  // namespace
}  // namespace zeft
