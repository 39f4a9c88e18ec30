#include "runtime/VErrorBase.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <shared_mutex>

#include "runtime/VErrorThrow.h"
#include "runtime/VProcessHook.h"
#include "runtime/VTask.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"
#include "xml/ILocalizer.h"

namespace zeft {

namespace ErrorBagKeys {
constinit const StBagKeyNoDefault<uint64, VLong8> error_code("error_code");
constinit const StBagKeyNoDefault<int32, VLong> task_id("task_id");
constinit const StBagKeyNoDefault<VString, VString> task_name("task_name");
constinit const StPackedDictionaryKey parameters("parameters");
constinit const StPackedDictionaryKey error("error");
constinit const StPackedDictionaryKey error_description("error_description");
constinit const StPackedDictionaryKey action_description("action_description");
constinit const StPackedDictionaryKey native_description("native_description");
constinit const StPackedDictionaryKey p1("p1");
constinit const StPackedDictionaryKey p2("p2");
constinit const StPackedDictionaryKey p3("p3");
}  // namespace ErrorBagKeys

namespace {

// Ordered by the signature read as an unsigned number; neither owns nor
// retains the localizers. Registration normally happens before other tasks
// describe errors, but a program that unregisters while the logger task
// still formats records must not tear the map: look-ups share the lock.
std::map<uint32, ILocalizer*>& Localizers() {
  static std::map<uint32, ILocalizer*> sLocalizers;
  return sLocalizers;
}

std::shared_mutex& LocalizersLock() {
  static std::shared_mutex sLock;
  return sLock;
}

std::atomic<VErrorBase::PathTextConverter> sPathTextConverter{nullptr};

// The four characters of a signature in reading order.
void SignatureChars(uint32 signature, char (&chars)[4]) {
  chars[0] = char(signature >> 24);
  chars[1] = char(signature >> 16);
  chars[2] = char(signature >> 8);
  chars[3] = char(signature);
}

// Appends the signature's characters, each byte as one character; with
// `stopAtNul` the text ends at the first 0 byte.
void AppendSignature(VString& text, uint32 signature, bool stopAtNul) {
  char chars[4];
  SignatureChars(signature, chars);
  for (char c : chars) {
    if (stopAtNul && c == 0) break;
    text.AppendUniChar(UniChar(uint8(c)));
  }
}

}  // namespace

VErrorBase::VErrorBase(VError code) : fError(code), fBag(new VValueBag) {
  if (VTask* task = VTask::GetCurrent()) {
    fTaskID = task->GetID();
    task->GetName(fTaskName);
  }
}

VErrorBase::VErrorBase() : fBag(new VValueBag) {}

VErrorBase::VErrorBase(const VErrorBase& other)
    : VObject(),
      IRefCountable(),
      fError(other.fError),
      fTaskID(other.fTaskID),
      fTaskName(other.fTaskName),
      fBag(other.fBag->Clone()) {
  if (fBag == nullptr) throw std::bad_alloc();
}

VErrorBase::~VErrorBase() {
  if (fBag != nullptr) fBag->Release();
}

bool VErrorBase::Init() { return true; }

void VErrorBase::DeInit() {}

CharSet VErrorBase::DebugDump(char* buffer, int& size) const {
  if (buffer == nullptr || size <= 0) {
    size = 0;
    return VProcessHook::HasProcess() ? kCharSetUTF16 : kCharSetUTF8;
  }
  if (VProcessHook::HasProcess()) {
    VString dump;
    DumpToString(dump);
    const int32 units = std::min(dump.GetLength(), int32(size / 2));
    std::memcpy(buffer, dump.GetCPointer(), size_t(units) * sizeof(UniChar));
    size = units * int32(sizeof(UniChar));
    return kCharSetUTF16;
  }
  char chars[4];
  SignatureChars(ErrorComponent(fError), chars);
  const int written =
      std::snprintf(buffer, size_t(size), "Error code: %ld, component: '%.4s', task ID: %d",
                    long(ErrorNumber(fError)), chars, fTaskID);
  // A text cut by a small buffer counts what the buffer holds.
  size = written < 0 ? 0 : std::min(written, size - 1);
  return kCharSetUTF8;
}

void VErrorBase::GetErrorString(VString& text) const {
  text.Clear();
  text.AppendCString("Error code: ");
  text.AppendLong(ErrorNumber(fError));
  text.AppendCString(" (");
  AppendSignature(text, ErrorComponent(fError), true);
  text.AppendUniChar(u')');
}

void VErrorBase::GetErrorDescription(VString& text) const {
  // Whatever the caller's string held is no description of this error.
  text.Clear();
  ILocalizer* localizer = GetLocalizer(ErrorComponent(fError));
  if (fError != VE_OK) {
    if (localizer == nullptr || !CallLocalizer(localizer, fError, text)) {
      text.Clear();
      GetNativeDescription(fError, text);
    }
  }
  if (!text.IsEmpty()) return;
  fBag->GetString(ErrorBagKeys::error_description, text);
  if (!text.IsEmpty()) {
    _FormatWithParameters(text, localizer);
    return;
  }
  GetErrorString(text);
}

void VErrorBase::GetNativeDescription(VError code, VString& text) {
  // Only POSIX numbers have system texts here; Mach, Carbon and Cocoa codes
  // fall through to the record's own parameters or its error string.
  if (ErrorComponent(code) != kComponentPosix) return;
  const char* description = nullptr;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
  // Null for a number the system does not know, as the XSI strerror_r
  // refuses it, rather than glibc's "Unknown error N".
  description = strerrordesc_np(ErrorNumber(code));
#else
  char buffer[1024];
  const int result = strerror_r(ErrorNumber(code), buffer, sizeof(buffer));
  // 34 (ERANGE): the text was cut to the buffer, still worth showing.
  if (result == 0 || result == 34) description = buffer;
#endif
  if (description != nullptr && description[0] != 0) {
    text.FromBlock(description, std::strlen(description), kCharSetUTF8);
  }
}

void VErrorBase::SetPathTextConverter(PathTextConverter converter) {
  sPathTextConverter.store(converter, std::memory_order_release);
}

void VErrorBase::_FormatWithParameters(VString& text, ILocalizer* localizer) const {
  const PathTextConverter converter = sPathTextConverter.load(std::memory_order_acquire);
  VString noNativeText;
  if (localizer != nullptr && !fBag->AttributeExists(ErrorBagKeys::native_description) &&
      text.FindRawString(VString("{native_description}")) > 0)
    localizer->LocalizeStringWithKey(VString("NoNativeDescription"), noNativeText);
  if (converter == nullptr && noNativeText.IsEmpty()) {
    text.Format(fBag, true);
    return;
  }
  // A copy: the record keeps its parameters as they were stored.
  VRefPtr<VValueBag> readable(fBag->Clone(), kAdoptRef);
  if (readable == nullptr) {
    text.Format(fBag, true);
    return;
  }
  try {
    if (converter != nullptr) {
      VString name, value, posixPath;
      for (int32 n = 1, count = readable->GetAttributesCount(); n <= count; ++n) {
        const VValueSingle* attribute = readable->GetNthAttribute(n, &name);
        if (attribute == nullptr || attribute->GetValueKind() != kValueKindString) continue;
        attribute->GetString(value);
        if (converter(value, posixPath))
          readable->SetString(StPackedDictionaryKey(name), posixPath);
      }
    }
    if (!noNativeText.IsEmpty())
      readable->SetString(ErrorBagKeys::native_description, noNativeText);
  } catch (const std::bad_alloc&) {
    // What could be made readable is; the rest shows as stored.
  }
  text.Format(readable.Get(), true);
}

void VErrorBase::GetActionDescription(VString& text) const {
  text.Clear();
  if (fBag->GetString(ErrorBagKeys::action_description, text))
    _FormatWithParameters(text, GetLocalizer(ErrorComponent(fError)));
}

void VErrorBase::GetLocation(VString& text) const {
  text.Clear();
  const uint32 component = ErrorComponent(fError);
  if (component == kComponentToolbox) {
    text.AppendCString("zeftcore");
    return;
  }
  text.AppendCString("component: '");
  AppendSignature(text, component, false);
  text.AppendUniChar(u'\'');
}

void VErrorBase::GetTaskName(VString& name, int32* taskID) const {
  name = fTaskName;
  if (taskID != nullptr) *taskID = fTaskID;
}

void VErrorBase::GetStackCrawl(VString& /*text*/) const {}

void VErrorBase::DumpToString(VString& text) const {
  text.Clear();
  VString line;
  GetErrorString(line);
  text += line;
  text.AppendUniChar(u'\n');
  const auto appendLine = [&text, &line] {
    if (line.IsEmpty()) return;
    text += line;
    text.AppendUniChar(u'\n');
  };
  GetErrorDescription(line);
  appendLine();
  GetLocation(line);
  appendLine();
  GetActionDescription(line);
  appendLine();
  VString taskName;
  int32 taskID = 0;
  GetTaskName(taskName, &taskID);
  text.AppendCString("task ");
  text.AppendLong(taskID);
  if (!taskName.IsEmpty()) {
    text.AppendCString(", name: '");
    text += taskName;
    text.AppendUniChar(u'\'');
  }
  text.AppendUniChar(u'\n');
}

VError VErrorBase::SaveToBag(VValueBag& bag) const {
  ErrorBagKeys::error_code.Set(bag, fError);
  ErrorBagKeys::task_id.Set(bag, fTaskID);
  ErrorBagKeys::task_name.Set(bag, fTaskName);
  // A copy: contexts that receive this record later still merge their
  // parameters into its own bag, and the saved form may already be read on
  // another task.
  VRefPtr<VValueBag> parameters(fBag->Clone(), kAdoptRef);
  if (parameters == nullptr) return ToolboxError(toolbox_error::kMemoryFull);
  try {
    bag.ReplaceElement(ErrorBagKeys::parameters, parameters.Get());
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  return VE_OK;
}

VError VErrorBase::LoadFromBag(const VValueBag& bag) {
  uint64 code = 0;
  if (ErrorBagKeys::error_code.Get(bag, code)) fError = code;
  int32 taskID = 0;
  if (ErrorBagKeys::task_id.Get(bag, taskID)) fTaskID = taskID;
  if (!ErrorBagKeys::task_name.Get(bag, fTaskName)) fTaskName.Clear();
  VBagArray* parameters = bag.GetElements(ErrorBagKeys::parameters);
  if (parameters != nullptr && parameters->GetCount() > 0) {
    if (VValueBag* first = parameters->GetNth(1)) {
      VValueBag* clone = first->Clone();
      if (clone == nullptr) return ToolboxError(toolbox_error::kMemoryFull);
      fBag->Release();
      fBag = clone;
    }
  }
  return VE_OK;
}

void VErrorBase::RegisterLocalizer(uint32 component, ILocalizer* localizer) {
  std::unique_lock lock(LocalizersLock());
  Localizers()[component] = localizer;
}

void VErrorBase::UnregisterLocalizer(uint32 component) {
  std::unique_lock lock(LocalizersLock());
  Localizers().erase(component);
}

ILocalizer* VErrorBase::GetLocalizer(uint32 component) {
  std::shared_lock lock(LocalizersLock());
  const auto& localizers = Localizers();
  auto it = localizers.find(component);
  return it != localizers.end() ? it->second : nullptr;
}

bool VErrorBase::CallLocalizer(ILocalizer* localizer, VError code, VString& text) const {
  if (code == VE_OK) return true;
  if (localizer != nullptr && localizer->LocalizeErrorMessage(code, text)) {
    _FormatWithParameters(text, localizer);
    return true;
  }
  text.Clear();
  return false;
}

VErrorUserGenerated::VErrorUserGenerated(VError code, const VString& message)
    : VErrorBase(code), fMessage(message) {}

void VErrorUserGenerated::GetErrorDescription(VString& text) const { text = fMessage; }

void VErrorUserGenerated::DumpToString(VString& text) const { text = fMessage; }

VErrorImported::VErrorImported(VError code, const VString& description)
    : VErrorBase(code), fDescription(description) {}

void VErrorImported::GetErrorDescription(VString& text) const { text = fDescription; }

void VErrorImported::DumpToString(VString& text) const { text = fDescription; }

void VErrorImported::GetLocation(VString& text) const {
  text.Clear();
  text.AppendCString("REST Imported Error");
}

VError vThrowUserGeneratedError(VError code, const VString& message) {
  // Out of memory for the record itself: the caller still gets its code.
  VTask::PushRetainedError(NewErrorRecord<VErrorUserGenerated>(code, message));
  return code;
}

}  // namespace zeft
