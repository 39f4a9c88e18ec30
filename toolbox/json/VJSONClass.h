// VJSONClass is the native implementation of a class object: it gives the
// instances of a class their prototype, native member functions, accessor
// properties ("get name" / "set name" functions), an optional constructor
// and the routine that makes new instances. Function and accessor tables
// are flattened at sealing, so look-ups never walk the superclasses.
#pragma once

#include <atomic>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONObject.h"
#include "values/VTime.h"

namespace zeft {

class IFile;
class IJSONFunctionContext;

using JSONFunctionRoutine = EJSONStatus (*)(const VJSONObject* functionObject,
                                            IJSONFunctionContext* context);
using JSONInstantiator = VJSONObject* (*)(VJSONObject* classObject, IJSONFunctionContext* context);

// One native function of a class. Flag bit 0: final.
struct FunctionDescriptor {
  VString fName;
  JSONFunctionRoutine fRoutine = nullptr;
  uint32 fFlags = 0;
};

class VJSONClass : public VObject, public IJSONObject {
 public:
  using FunctionMap =
      std::unordered_map<VString, VJSONObject*, VJSONPropertyHash, VJSONPropertyEqual>;
  using NamedFunctions = std::vector<std::pair<VString, VRefPtr<VJSONObject>>>;

  // Flag bit 1: every native function of the class is final.
  static constexpr uint32 kFinalFunctions = 2;

  // Makes a class and its class object (into `outClassObject`); the class
  // is owned by the class object. A null superclass means "Object". Null,
  // with error -10747, when the superclass object is not a class.
  static VJSONClass* Create(VRefPtr<VJSONObject>& outClassObject, const VString& name,
                            VJSONObject* superclassObject, IFile* file,
                            const VString& componentName, uint32 flags);
  // The same, sealed with the functions; the class object for the caller.
  static VJSONObject* Create(const VString& name, const std::vector<FunctionDescriptor>& functions,
                             VJSONObject* superclassObject, JSONFunctionRoutine constructorRoutine,
                             JSONInstantiator instantiator, const VString& componentName,
                             uint32 flags);

  // The implementation of a class object, or null when it is none.
  static VJSONClass* Cast(IJSONObject* implementation);
  static VJSONClass* CastObject(const VJSONObject* classObject);

  void SetFunctions(const std::vector<FunctionDescriptor>& functions,
                    JSONFunctionRoutine constructorRoutine, JSONInstantiator instantiator);
  // Seals the class; does nothing once sealed.
  void SetFunctions(const NamedFunctions& functions, VJSONObject* constructorObject,
                    JSONInstantiator instantiator);

  void GetGetterNames(std::vector<VString>& outNames) const;

  static VJSONObject* GenericInstantiator(VJSONObject* classObject, IJSONFunctionContext* context);
  // A new constructed instance with one reference, or null.
  static VJSONObject* CreateInstance(VJSONObject* classObject, IJSONFunctionContext* context);
  void ConstructInstance(VJSONObject* instance, IJSONFunctionContext* context);
  EJSONStatus CallConstructor(VJSONObject* instance, IJSONFunctionContext* context);
  static EJSONStatus CallSuperConstructor(IJSONFunctionContext* context);
  static VError FinalizeInstance(VJSONObject* instance);
  bool IsObsolete() const;
  void SetObsolete(bool obsolete) { fObsolete = obsolete; }

  // Native routines of the class system.
  static EJSONStatus do_new(const VJSONObject* functionObject, IJSONFunctionContext* context);
  static EJSONStatus do_errorReadOnlyAttribute(const VJSONObject* functionObject,
                                               IJSONFunctionContext* context);
  static EJSONStatus do_errorWriteOnlyAttribute(const VJSONObject* functionObject,
                                                IJSONFunctionContext* context);
  static EJSONStatus do_errorOverridingFinalFunction(const VJSONObject* functionObject,
                                                     IJSONFunctionContext* context);

  // Table look-ups (no lock: a class is read-only once sealed).
  VJSONObject* FindFunction(const VString& name) const;
  VJSONObject* FindGetter(const VString& name) const;
  VJSONObject* FindSetter(const VString& name) const;
  bool HasGetters() const { return !fGetters.empty(); }
  bool HasSetters() const { return !fSetters.empty(); }

  const VString& GetName() const { return fName; }
  const VString& GetComponentName() const { return fComponentName; }
  VJSONClass* GetSuperclass() const { return fSuperclass; }
  VJSONObject* GetSuperclassObject() const { return fSuperclassObject; }
  VJSONObject* GetPrototype() const { return fPrototype; }
  int32 GetLevel() const { return fLevel; }
  uint32 GetID() const { return fID; }
  uint32 GetFlags() const { return fFlags; }
  bool IsSealed() const { return fSealed; }
  IFile* GetFile() const { return fFile; }
  VJSONObject* GetConstructor() const { return fConstructor; }

  // Drops every object the class holds, so that the cycles between class
  // objects, prototypes and function objects end when a store goes away.
  void _ReleaseMembers();

  // Property names of class objects and function objects.
  static const VString sClassProperty_name;
  static const VString sClassProperty_superclass;
  static const VString sClassProperty_prototype;
  static const VString sClassProperty_file;
  static const VString sClassProperty_new;
  static const VString sFunctionProperty_final;
  static const VString sClassProperty_id;
  static const VString sFunctionProperty_local;
  static const VString sFunctionProperty_exposed;
  static const VString sFunctionProperty_eventName;
  static const VString sFunctionProperty_resultType;
  static const VString sFunctionProperty_resultTypeCode;
  static const VString sFunctionProperty_resultClass;
  static const VString sClassProperty_aliases;
  static const VString sAliasProperty_name;
  static const VString sAliasProperty_path;

  static std::atomic<uint32> sSequenceID;

  // Native-object operations of a class object.
  EJSONStatus IJSON_GetProperty(VJSONObject* object, const VString& name, VJSONValue& outValue,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_SetProperty(VJSONObject* object, const VString& name, const VJSONValue& value,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_RemoveProperty(VJSONObject* object, const VString& name) override;
  EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override;
  EJSONStatus IJSON_GetDescription(const VJSONObject* object, VString& outText) override;
  EJSONStatus IJSON_Clone(const VJSONObject* object, VJSONCloner& cloner, VJSONValue& outValue,
                          VError& outError) override;

 private:
  VJSONClass(const VString& name, const VString& componentName, VJSONObject* superclassObject,
             IFile* file, uint32 flags);
  ~VJSONClass() override;

  static bool _IsReserved(const VString& name);
  VJSONObject* _MakeErrorAccessor(VJSONObject*& slot, JSONFunctionRoutine routine,
                                  const char* prefix, const VString& name);

  VString fName;
  VString fComponentName;
  VJSONClass* fSuperclass = nullptr;
  VJSONObject* fSuperclassObject = nullptr;
  VJSONObject* fPrototype = nullptr;
  VJSONObject* fGettersObject = nullptr;
  VJSONObject* fSettersObject = nullptr;
  VJSONObject* fConstructor = nullptr;
  JSONInstantiator fInstantiator = &GenericInstantiator;
  FunctionMap fFunctions;
  FunctionMap fGetters;
  FunctionMap fSetters;
  VJSONObject* fReadOnlyErrorSetter = nullptr;
  VJSONObject* fWriteOnlyErrorGetter = nullptr;
  int32 fLevel = 0;
  uint32 fID = 0;
  IFile* fFile = nullptr;
  VTime fFileTime;
  bool fSealed = false;
  bool fObsolete = false;
  uint32 fFlags = 0;
};

}  // namespace zeft
