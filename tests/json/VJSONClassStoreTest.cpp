#include "json/VJSONClassStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "JSONClassTestSupport.h"
#include "JSONTestSupport.h"
#include "files/VFile.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONBlob.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::ClassError;
using test::ErrorCollector;
using test::HasError;
using test::MakeClass;
using test::Store;

TEST(VJSONClassStoreTest, RootClassesAfterStartUp) {
  VJSONClassStore& store = Store();
  EXPECT_EQ(to_string(store.GetName()), "novu");
  struct Root {
    const char* name;
    VJSONObject* classObject;
    const char* superclass;
    int32 level;
    const char* functions[2];
  };
  const Root roots[] = {
      {"Object", store.GetObjectClassObject(), nullptr, 0, {nullptr, nullptr}},
      {"Class", store.GetClassClassObject(), "Object", 1, {"new", nullptr}},
      {"Function", store.GetFunctionClassObject(), "Object", 1, {"apply", "call"}},
  };
  for (const Root& root : roots) {
    SCOPED_TRACE(root.name);
    VJSONClass* jsonClass = VJSONClass::CastObject(root.classObject);
    ASSERT_NE(jsonClass, nullptr);
    EXPECT_EQ(to_string(jsonClass->GetName()), root.name);
    EXPECT_EQ(jsonClass->GetLevel(), root.level);
    EXPECT_EQ(to_string(jsonClass->GetComponentName()), "novu");
    EXPECT_EQ(root.classObject->GetClassObject(), store.GetClassClassObject());
    if (root.superclass == nullptr) {
      EXPECT_EQ(jsonClass->GetSuperclass(), nullptr);
    } else {
      EXPECT_EQ(to_string(jsonClass->GetSuperclass()->GetName()), root.superclass);
    }
    for (const char* function : root.functions) {
      if (function != nullptr) {
        EXPECT_NE(jsonClass->FindFunction(VString(function)), nullptr);
      }
    }
    VRefPtr<VJSONObject> visible(store.GetVisibleClassObject(VString(root.name), false), kAdoptRef);
    EXPECT_EQ(visible.Get(), root.classObject);
  }
  EXPECT_EQ(store.GetObjectClassObject()->GetClassLevel(), 1u);
  EXPECT_EQ(store.GetClassClassObject()->GetClassLevel(), 2u);
  // Every object made without a class belongs to "Object".
  VJSONValue plain(JSON_object);
  EXPECT_EQ(plain.GetObject()->GetClassObject(), store.GetObjectClassObject());
  EXPECT_TRUE(plain.GetObject()->IsGenericObject());
}

TEST(VJSONClassStoreTest, LookUpsFoldOnlyASCIILetters) {
  VJSONClassStore& store = Store();
  VRefPtr<VJSONObject> folded(store.GetClassObject(VString("object"), true), kAdoptRef);
  EXPECT_EQ(folded.Get(), store.GetObjectClassObject());
  VRefPtr<VJSONObject> exact(store.GetClassObject(VString("object"), false), kAdoptRef);
  EXPECT_EQ(exact.Get(), nullptr);
  auto accented = MakeClass("\xC3\x89t\xC3\xA9", {});  // "Été"
  store.AddClass(accented.Get(), 0);
  VRefPtr<VJSONObject> lower(store.GetClassObject(VString("\xC3\xA9t\xC3\xA9"), true), kAdoptRef);
  EXPECT_EQ(lower.Get(), nullptr) << "non-ASCII letters are not folded";
  VRefPtr<VJSONObject> upper(store.GetClassObject(VString("\xC3\x89T\xC3\xA9"), true), kAdoptRef);
  EXPECT_EQ(upper.Get(), accented.Get());
  EXPECT_TRUE(VJSONClassStore::EqualClassName(VString("ABC"), VString("abc"), true));
  EXPECT_FALSE(VJSONClassStore::EqualClassName(VString("ABC"), VString("abc"), false));
}

TEST(VJSONClassStoreTest, AddingReplacesVisibleOrHidden) {
  VJSONClassStore& store = Store();
  const size_t count = store.GetCount();
  auto first = MakeClass("Thing", {});
  auto second = MakeClass("Thing", {});
  auto hidden = MakeClass("Thing", {});
  store.AddClass(first.Get(), 0);
  store.AddClass(second.Get(), 0);
  EXPECT_EQ(store.GetCount(), count + 1);
  VRefPtr<VJSONObject> found(store.GetVisibleClassObject(VString("Thing"), false), kAdoptRef);
  EXPECT_EQ(found.Get(), second.Get());
  store.AddClass(hidden.Get(), VJSONClassStore::kHidden);
  found.Adopt(store.GetClassObject(VString("Thing"), false));
  EXPECT_EQ(found.Get(), hidden.Get());
  found.Adopt(store.GetVisibleClassObject(VString("Thing"), false));
  EXPECT_EQ(found.Get(), second.Get()) << "a hidden class leaves the visible entry";
  // Objects that are not class objects are ignored.
  VJSONValue plain(JSON_object);
  store.AddClass(plain.GetObject(), 0);
  store.AddClass(nullptr, 0);
  EXPECT_EQ(store.GetCount(), count + 1);
  VJSONClassStore::ClassMap visible;
  store.GetVisibleClasses(visible);
  EXPECT_EQ(visible.size(), count + 1);
  for (auto& [name, classObject] : visible) classObject->Release();
}

TEST(VJSONClassStoreTest, RootClassesAreNeverReplacedOrRemoved) {
  VJSONClassStore& store = Store();
  const size_t count = store.GetCount();
  VJSONObject* object = store.GetObjectClassObject();
  auto impostor = MakeClass("Object", {});
  store.AddClass(impostor.Get(), 0);
  VRefPtr<VJSONObject> found(store.GetClassObject(VString("Object"), false), kAdoptRef);
  EXPECT_EQ(found.Get(), object);
  // A file now "defining" a root class does not take it away.
  VJSONClassStore::FileMap files{{VString("Object"), nullptr}, {VString("Class"), nullptr}};
  auto defined = MakeClass("Defined", {});
  store.AddClass(defined.Get(), 0);
  files.emplace(VString("Defined"), nullptr);
  std::vector<VString> removed;
  store.RemoveObsoleteClasses(files, removed);
  EXPECT_TRUE(removed.empty()) << "only classes loaded from files are reported";
  EXPECT_EQ(store.GetCount(), count);
  EXPECT_EQ(store.GetObjectClassObject(), object);
  VJSONValue plain(JSON_object);
  EXPECT_EQ(plain.GetObject()->GetClassObject(), object);
}

TEST(VJSONClassStoreTest, ObsoleteClassesAndTheirSubclassesGo) {
  VJSONClassStore& store = Store();
  const size_t count = store.GetCount();
  auto base = MakeClass("Base", {});
  auto derived = MakeClass("Derived", {}, base.Get());
  store.AddClass(base.Get(), 0);
  store.AddClass(derived.Get(), 0);
  VJSONClass::CastObject(base.Get())->SetObsolete(true);
  EXPECT_TRUE(VJSONClass::CastObject(derived.Get())->IsObsolete());
  std::vector<VString> removed;
  store.RemoveObsoleteClasses({}, removed);
  EXPECT_EQ(store.GetCount(), count);
}

TEST(VJSONClassStoreTest, ClassesOfDeletedFilesGoWithTheirSubclasses) {
  VJSONClassStore& store = Store();
  const size_t count = store.GetCount();
  test::TempFolder scratch;
  const std::string path = scratch.Write("FromFile.json", "{}");
  VRefPtr<VFile> file(new VFile(VString(path.c_str()), kFilePathStylePosix), kAdoptRef);
  VRefPtr<VJSONObject> fromFile;
  VJSONClass* fileClass =
      VJSONClass::Create(fromFile, VString("FromFile"), nullptr, file.Get(), VString(), 0);
  fileClass->SetFunctions(std::vector<FunctionDescriptor>{}, nullptr,
                          &VJSONClass::GenericInstantiator);
  auto subclass = MakeClass("FromFileSub", {}, fromFile.Get());
  store.AddClass(fromFile.Get(), 0);
  store.AddClass(subclass.Get(), 0);
  VString filePath;
  EXPECT_TRUE(fromFile->GetPropertyAsString(VString("__file"), filePath));
  EXPECT_NE(to_string(filePath).find("FromFile.json"), std::string::npos);
  const VJSONClassStore::FileMap current{{VString("FromFile"), file.Get()}};
  std::vector<VString> removed;
  store.RemoveObsoleteClasses(current, removed);
  EXPECT_EQ(store.GetCount(), count + 2) << "defined by its file, not obsolete";
  std::filesystem::remove(path);
  EXPECT_TRUE(fileClass->IsObsolete());
  EXPECT_TRUE(VJSONClass::CastObject(subclass.Get())->IsObsolete());
  store.RemoveObsoleteClasses(current, removed);
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(to_string(removed[0]), "FromFile");
  EXPECT_EQ(store.GetCount(), count);
}

TEST(VJSONClassStoreTest, StoreObjectIsReadOnly) {
  VJSONClassStore& store = Store();
  auto* component = new VJSONClassStore(VString("comp"));
  auto* other = new VJSONClassStore(VString("other"));
  store.AddComponentClass(VString("comp"), component);
  store.AddComponentClass(VString("comp"), other);
  VRefPtr<VJSONClassStore> registered(store.GetComponentClassStore(VString("comp")), kAdoptRef);
  EXPECT_EQ(registered.Get(), component) << "the first registration stands";

  VRefPtr<VJSONObject> wrapper(new VJSONObject(nullptr, &store, nullptr, false), kAdoptRef);
  EXPECT_EQ(wrapper->GetProperty(VString("Function")).GetObject(), store.GetFunctionClassObject());
  const VJSONValue first = wrapper->GetProperty(VString("comp"));
  const VJSONValue second = wrapper->GetProperty(VString("comp"));
  ASSERT_TRUE(first.IsObject());
  EXPECT_EQ(first.GetObject()->GetImplementation(), component);
  EXPECT_NE(first.GetObject(), second.GetObject()) << "a fresh wrapper each time";
  EXPECT_TRUE(wrapper->GetProperty(VString("nothing")).IsUndefined());
  {
    ErrorCollector errors;
    EXPECT_FALSE(wrapper->SetProperty(VString("x"), VJSONValue(1.0)));
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kReadOnlyObject)));
  }
  VString text;
  wrapper->GetDescription(text);
  EXPECT_EQ(to_string(text), "<<Class Store>>");
  EXPECT_EQ(test::Write(VJSONValue(wrapper.Get())), "<<Class Store>>");
  EXPECT_FALSE(wrapper->IsEmpty());
  registered = nullptr;
  wrapper = nullptr;
  other->Release();
  // The registering component keeps its store alive.
  component->Release();
}

TEST(VJSONClassStoreTest, ProcessClassObjectNeedsTheStoreName) {
  VRefPtr<VJSONObject> found(
      VJSONClassStore::GetProcessClassObject(VString("novu"), VString("Function")), kAdoptRef);
  EXPECT_EQ(found.Get(), Store().GetFunctionClassObject());
  found.Adopt(VJSONClassStore::GetProcessClassObject(VString("other"), VString("Function")));
  EXPECT_EQ(found.Get(), nullptr);
  found.Adopt(VJSONClassStore::GetProcessClassObject(VString("novu"), VString("function")));
  EXPECT_EQ(found.Get(), nullptr);
}

TEST(VJSONClassStoreTest, ThreadsShareTheStore) {
  auto shared =
      MakeClass("Shared", {{VString("get x"), &VJSONClass::do_errorWriteOnlyAttribute, 0}});
  Store().AddClass(shared.Get(), 0);
  std::atomic<int> failures{0};
  auto work = [&](int seed) {
    for (int i = 0; i < 200; ++i) {
      VRefPtr<VJSONObject> found(Store().GetClassObject(VString("shared"), true), kAdoptRef);
      auto instance = test::NewInstance(found.Get());
      if (!instance || !instance->IsInstanceOf(shared.Get())) ++failures;
      if (i % 10 == seed) {
        auto extra = MakeClass("Extra", {});
        Store().AddClass(extra.Get(), VJSONClassStore::kHidden);
      }
      // Blobs: the class made once, payloads rebuilt through the factory.
      VRefPtr<VJSONObject> blob(VJSONBlob::Create("abcd", 4), kAdoptRef);
      VMemoryBuffer<> bytes;
      VJSONBinaryWriter writer;
      VJSONValue back;
      if (writer.StreamValue(VJSONValue(blob.Get()), bytes) != VE_OK ||
          VJSONBinaryImporter(bytes.GetDataPtr(), bytes.GetDataSize()).GetValue(back) != VE_OK ||
          back.GetObject()->GetClassObject() != VJSONBlob::GetClass()) {
        ++failures;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int seed = 0; seed < 4; ++seed) threads.emplace_back(work, seed);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

// Objects made while another task starts the store up: an object made once
// the store is visible has the "Object" class of a complete store; one made
// before has no class or that same class.
TEST(VJSONClassStoreTest, StartUpPublishesOnlyACompleteStore) {
  constexpr int kRounds = 40;
  constexpr int kMakers = 3;
  constexpr int kObjectsAfterStartUp = 20;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    VJSONClassStore::DeInit();
    std::atomic<bool> go{false};
    std::atomic<int> failures{0};
    std::vector<VRefPtr<VJSONObject>> early[kMakers];
    auto make = [&](int maker) {
      while (!go.load()) std::this_thread::yield();
      for (int after = 0; after < kObjectsAfterStartUp;) {
        VJSONClassStore* store = VJSONClassStore::GetProcessStore();
        VRefPtr<VJSONObject> object(new VJSONObject(nullptr, nullptr, false), kAdoptRef);
        if (store == nullptr) {
          early[maker].push_back(object);
          continue;
        }
        ++after;
        VJSONObject* objectClass = store->GetObjectClassObject();
        VString name;
        object->GetClassName(name);
        if (objectClass == nullptr || object->GetClassObject() != objectClass ||
            !object->IsGenericObject() || !name.EqualToUSASCIICString("Object") ||
            VJSONClass::CastObject(store->GetFunctionClassObject()) == nullptr) {
          ++failures;
        }
      }
    };
    std::vector<std::thread> makers;
    for (int maker = 0; maker < kMakers; ++maker) makers.emplace_back(make, maker);
    go.store(true);
    ASSERT_TRUE(VJSONClassStore::Init());
    for (std::thread& maker : makers) maker.join();
    EXPECT_EQ(failures.load(), 0);
    VJSONObject* objectClass = Store().GetObjectClassObject();
    for (const auto& objects : early) {
      for (const VRefPtr<VJSONObject>& object : objects) {
        VJSONObject* classObject = object->GetClassObject();
        EXPECT_TRUE(classObject == nullptr || classObject == objectClass);
      }
    }
  }
  EXPECT_EQ(Store().GetCount(), 3u);
}

TEST(VJSONClassStoreTest, ShutDownFreesEveryClassAndStartsAgain) {
  VJSONClassStore::DeInit();
  EXPECT_EQ(VJSONClassStore::GetProcessStore(), nullptr);
  {
    // Without a store objects have no class.
    VRefPtr<VJSONObject> shared(new VJSONObject(nullptr, nullptr, true), kAdoptRef);
    VString name;
    shared->GetClassName(name);
    EXPECT_EQ(to_string(name), "Shared Object");
  }
  {
    test::StLiveContainers live;
    ASSERT_TRUE(VJSONClassStore::Init());
    {
      auto extra =
          MakeClass("Extra", {{VString("get x"), &VJSONClass::do_errorWriteOnlyAttribute, 0}});
      Store().AddClass(extra.Get(), 0);
      auto instance = test::NewInstance(extra.Get());
      EXPECT_TRUE(instance->GetProperty(VString("x")).IsUndefined());
    }
    VJSONClassStore::DeInit();
    EXPECT_EQ(live.Objects(), 0) << "class objects, prototypes and functions were freed";
  }
  ASSERT_TRUE(VJSONClassStore::Init());
  EXPECT_EQ(Store().GetCount(), 3u);
}

}  // namespace
}  // namespace zeft
