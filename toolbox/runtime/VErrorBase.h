// VErrorBase is the error record: the code of a failure, the task that
// raised it and a bag of named parameters. Records are reference counted,
// live on the raising task's error stack, and are turned into text for the
// log and the user through the localizer registered for their component,
// the platform's texts for native codes, or their own parameters.
#pragma once

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "runtime/mac/XMacStackCrawl.h"
#include "values/StBagKeyNoDefault.h"
#include "values/StPackedDictionaryKey.h"

namespace zeft {

class ILocalizer;
class VJSONObject;
class VValueBag;

// The keys of an error record's bag form and of its parameters.
namespace ErrorBagKeys {
extern const StBagKeyNoDefault<uint64, VLong8> error_code;
extern const StBagKeyNoDefault<int32, VLong> task_id;
extern const StBagKeyNoDefault<VString, VString> task_name;
// The element holding the parameter bag.
extern const StPackedDictionaryKey parameters;
// The element under which an error context saves each of its records.
extern const StPackedDictionaryKey error;
// Parameters the record reads itself: texts in which "{key}" stands for
// the parameter of that key.
extern const StPackedDictionaryKey error_description;
extern const StPackedDictionaryKey action_description;
// The text of the native error a record was raised with ("No space left
// on device"), set when the record is pushed with its native code.
extern const StPackedDictionaryKey native_description;
// The texts of _ThrowError.
extern const StPackedDictionaryKey p1;
extern const StPackedDictionaryKey p2;
extern const StPackedDictionaryKey p3;
}  // namespace ErrorBagKeys

class VErrorBase : public VObject, public IRefCountable {
 public:
  // The calling task's ID and name when the thread runs a task, else 0 and
  // an empty name; an empty parameter bag.
  explicit VErrorBase(VError code);
  // Code 0, no task: what a bag or a stream is loaded into.
  VErrorBase();
  // Same code and task, a clone of the parameters, an empty stack crawl.
  VErrorBase(const VErrorBase& other);
  VErrorBase& operator=(const VErrorBase&) = delete;
  ~VErrorBase() override;

  // Start-up and shut-down hooks of the application frame.
  static bool Init();
  static void DeInit();

  VError GetError() const { return fError; }
  int32 GetTaskID() const { return fTaskID; }
  // The parameters, never null; raising code fills them before the push.
  VValueBag* GetBag() const { return fBag; }

  // With an application object: the dump in UTF-16 (at most size / 2
  // units). Without: "Error code: N, component: 'XXXX', task ID: N" in
  // UTF-8. `size` becomes the bytes written.
  using VObject::DebugDump;
  CharSet DebugDump(char* buffer, int& size) const override;

  // "Error code: %d (%.4s)".
  virtual void GetErrorString(VString& text) const;
  // The localizer's text, else the platform's for native codes, else the
  // parameter "error_description", else the error string.
  virtual void GetErrorDescription(VString& text) const;
  // The parameter "action_description" with its placeholders filled.
  virtual void GetActionDescription(VString& text) const;
  // "zeftcore" for the toolbox, else "component: 'XXXX'".
  virtual void GetLocation(VString& text) const;
  virtual void GetTaskName(VString& name, int32* taskID) const;
  // Error string, description, location, action (each when not empty) and
  // the task, one a line.
  virtual void DumpToString(VString& text) const;
  // The stack crawl of a record is never captured: the text is left as is.
  void GetStackCrawl(VString& text) const;

  // Attributes "error_code", "task_id", "task_name" and the element
  // "parameters". Both answer 0.
  VError SaveToBag(VValueBag& bag) const;
  // Missing attributes keep the fields (a missing name clears it).
  VError LoadFromBag(const VValueBag& bag);
  // A new object (the caller releases it) with "errCode" (the signed
  // number), "componentSignature" and "message" (the description); null
  // when memory runs out.
  VJSONObject* CreateJSONObject() const;

  // Localizers per component signature. The registry neither owns nor
  // retains them: whoever registers one keeps it alive until it is
  // unregistered. Registration belongs to start-up, on the main thread.
  static void RegisterLocalizer(uint32 component, ILocalizer* localizer);
  static void UnregisterLocalizer(uint32 component);
  static ILocalizer* GetLocalizer(uint32 component);

  // Turns a parameter text that is a full path in the ':' form into the
  // POSIX path a person reads, answering true; false leaves it for what it
  // is. The file layer installs it at start-up; descriptions show every
  // such parameter as a POSIX path while the record keeps what was stored.
  using PathTextConverter = bool (*)(const VString& text, VString& posixPath);
  static void SetPathTextConverter(PathTextConverter converter);

  // The platform's text of a native code ("No space left on device" for
  // POSX 28); empty for other codes and for numbers the platform does not
  // know.
  static void GetNativeDescription(VError code, VString& text);

  // Native error mapping (VErrorBaseNative.cpp): the toolbox code of a
  // native POSX, CARB, MACH or COCO code, `fallback` being the error of
  // the operation that failed.
  static VError EncodedNativeErrorToVError(VError native, VError fallback);
  // 0 for 0; the mapped toolbox code of a Carbon status, else its CARB code.
  static VError MAC_MapCarbonErrorToVError(int32 status);

 protected:
  // The localizer's text for `code` with the placeholders filled; true for
  // code 0 (text untouched). Otherwise false with the text cleared.
  bool CallLocalizer(ILocalizer* localizer, VError code, VString& text) const;

 private:
  // Replaces the placeholders of `text` from the parameters as a person
  // reads them: ':' paths become POSIX paths and, for a record raised
  // without a native code, "native_description" is the localizer's text
  // "NoNativeDescription" (removed when it has none).
  void _FormatWithParameters(VString& text, ILocalizer* localizer) const;

  VError fError = VE_OK;
  int32 fTaskID = 0;
  VString fTaskName;
  VValueBag* fBag = nullptr;
  XMacStackCrawl fStackCrawl;
};

// A record carrying a message given by its raiser: the message is its
// description and its dump.
class VErrorUserGenerated : public VErrorBase {
 public:
  VErrorUserGenerated(VError code, const VString& message);
  void GetErrorDescription(VString& text) const override;
  void DumpToString(VString& text) const override;
  const VString& GetMessage() const { return fMessage; }

 private:
  VString fMessage;
};

// A record received from elsewhere with its description already made.
class VErrorImported : public VErrorBase {
 public:
  VErrorImported(VError code, const VString& description);
  void GetErrorDescription(VString& text) const override;
  void DumpToString(VString& text) const override;
  // "REST Imported Error".
  void GetLocation(VString& text) const override;

 private:
  VString fDescription;
};

// Pushes a VErrorUserGenerated with the message on the calling task's
// error stack and answers the code.
VError vThrowUserGeneratedError(VError code, const VString& message);

}  // namespace zeft
