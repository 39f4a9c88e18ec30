// VJSONClassStore is the registry of JSON classes by name: every object's
// class comes from it. It holds the three root classes "Object", "Class"
// and "Function", knows which classes are visible, and refers to the
// stores of other components. Wrapped in a JSON object it lists its
// classes as read-only properties.
//
// The process store is made at start-up by Init and released at shut-down
// by DeInit; no JSON object may be made before Init, since every object
// without an explicit class takes the store's "Object" class object.
#pragma once

#include <unordered_map>
#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONClass.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class IFile;

class VJSONClassStore : public VObject, public IJSONObject {
 public:
  using ClassMap = std::unordered_map<VString, VJSONObject*, VJSONPropertyHash, VJSONPropertyEqual>;
  using StoreMap =
      std::unordered_map<VString, VJSONClassStore*, VJSONPropertyHash, VJSONPropertyEqual>;
  using FileMap = std::unordered_map<VString, IFile*, VJSONPropertyHash, VJSONPropertyEqual>;

  // Option bit 0 of AddClass: keep the class out of the visible classes.
  static constexpr uint32 kHidden = 1;

  explicit VJSONClassStore(const VString& name);

  // ---- Process store ----
  // Start-up: makes the process store under `name`, adds its root classes
  // and lets JSON objects find their classes through it. Other tasks see
  // the store only once its roots are complete. True on success (also
  // when it already exists).
  static bool Init(const VString& name = VString("novu"));
  // Shut-down: detaches the process store from the object model and
  // releases it with every class it holds.
  static void DeInit();
  // The process store, lent; null before Init and after DeInit.
  static VJSONClassStore* GetProcessStore();
  // The class object (retained) when the process store is named
  // `storeName` exactly and has `className` (exact case); else null.
  static VJSONObject* GetProcessClassObject(const VString& storeName, const VString& className);
  // ---- end of process store ----

  void AddRootClasses();

  void AddClass(VJSONObject* classObject, uint32 options);
  // Creates, seals and registers a visible class; its class object for the caller.
  VJSONObject* AddClass(const VString& name, const std::vector<FunctionDescriptor>& functions,
                        VJSONObject* superclassObject, JSONFunctionRoutine constructorRoutine,
                        JSONInstantiator instantiator, uint32 flags);
  void AddComponentClass(const VString& componentName, VJSONClassStore* store);

  VJSONObject* GetClassObject(const VString& name, bool ignoreCase);         // retained
  VJSONObject* GetVisibleClassObject(const VString& name, bool ignoreCase);  // retained
  static bool EqualClassName(const VString& a, const VString& b, bool ignoreCase);

  void GetClasses(ClassMap& outMap);
  void GetVisibleClasses(ClassMap& outMap);
  void GetVisibleComponents(StoreMap& outMap);
  VJSONClassStore* GetComponentClassStore(const VString& componentName);  // retained
  size_t GetCount();
  const VString& GetName() const { return fName; }

  void RemoveObsoleteClasses(const FileMap& currentFiles, std::vector<VString>& outRemovedNames);

  // Root class objects, read without the lock: written only by AddRootClasses.
  VJSONObject* GetObjectClassObject() const { return fRoots[0]; }
  VJSONObject* GetClassClassObject() const { return fRoots[1]; }
  VJSONObject* GetFunctionClassObject() const { return fRoots[2]; }

  // Native-object operations of a store object.
  EJSONStatus IJSON_GetProperty(VJSONObject* object, const VString& name, VJSONValue& outValue,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_SetProperty(VJSONObject* object, const VString& name, const VJSONValue& value,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_RemoveProperty(VJSONObject* object, const VString& name) override;
  EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override;
  EJSONStatus IJSON_GetDescription(const VJSONObject* object, VString& outText) override;
  EJSONStatus IJSON_Stringify(const VJSONObject* object, VJSONWriter& writer, VString& outText,
                              VError& outError) override;
  EJSONStatus IJSON_Clear(VJSONObject* object) override;
  bool IJSON_IsEmpty(const VJSONObject* object) override;

 private:
  ~VJSONClassStore() override;

  static VJSONObject* _Find(const ClassMap& map, const VString& name, bool ignoreCase);
  bool _IsRoot(const VString& name) const;

  mutable VCriticalSection fLock;
  const VString fName;
  ClassMap fClasses;
  ClassMap fVisibleClasses;
  StoreMap fComponentStores;
  VJSONObject* fRoots[3] = {nullptr, nullptr, nullptr};
};

}  // namespace zeft
