#include "UpdaterLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "core/VString.h"
#include "files/VFilePath.h"
#include "process/VProcess.h"
#include "runtime/ILogger.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

const StPackedDictionaryKey kPathKey("path");
const StPackedDictionaryKey kSourcePathKey("srcPath");
const StPackedDictionaryKey kDestinationPathKey("dstPath");
const StPackedDictionaryKey kServiceNameKey("ServiceName");
const StPackedDictionaryKey kFromKey("from");
const StPackedDictionaryKey kToKey("to");

// The parameters of the updater's errors that hold a path in native form.
const StPackedDictionaryKey* const kPathParameters[] = {&kPathKey, &kSourcePathKey,
                                                        &kDestinationPathKey, &kFromKey, &kToKey};

// The English texts (those of the bundle's English localization), used when
// no localizer knows the code.
const char* EnglishDescription(VError code) {
  if (ErrorComponent(code) != kComponentUpdater) return nullptr;
  using namespace updater_error;
  switch (ErrorNumber(code)) {
    case kWaitTimedOut:
      return "The application to update did not quit in time.";
    case kUpToDateBundleMissing:
      return "The up-to-date application was not found at '{path}'.";
    case kOutdatedBundleMissing:
      return "The application to update was not found at '{path}'.";
    case kFileCopyFailed:
      return "The file '{srcPath}' could not be copied to '{dstPath}'.";
    case kRenameAsideFailed:
      return "The application '{srcPath}' could not be moved aside to '{dstPath}'. Retrying.";
    case kCreateParentFailed:
      return "The folder '{path}' that is to hold the updated application could not be created.";
    case kCopyIntoPlaceFailed:
      return "The up-to-date application '{from}' could not be copied to '{to}'.";
    case kSameOrNestedBundles:
      return "The up-to-date application is the application to update, or lies inside it "
             "('{path}').";
    case kUpToDateBundleInvalid:
      return "The up-to-date application '{path}' is not a whole application: it needs a "
             "readable Contents/Info.plist naming an executable of Contents/MacOS.";
    case kUpdateInProgress:
      return "Another update of '{path}' is in progress.";
    case kSwapStoppedHalfway:
      return "The update stopped halfway and could not be undone: the application to update is "
             "at '{srcPath}' and the up-to-date application at '{dstPath}'. Run the update "
             "again to finish it.";
    case kInstalledPathTaken:
      return "An interrupted update left the application to update at '{srcPath}' and the "
             "up-to-date application at '{dstPath}', but '{path}' stands where the "
             "application belongs. Nothing was moved; move '{path}' away, then run the update "
             "again to put the application back and finish the update.";
    case kPutBackFailed:
      return "An interrupted update left the application to update at '{srcPath}', and it "
             "could not be put back at '{dstPath}'. Nothing was moved; run the update again to "
             "put it back and finish the update.";
    case kLockFailed:
      return "The update of '{path}' could not be locked against other updates.";
    case kLockFileInTheWay:
      return "The update cannot be locked against other updates: '{path}' has the name of "
             "its lock file and is not a plain file. Nothing was changed; remove it, then "
             "run the update again.";
    case kSwapRecordUnreadable:
      return "The record that an interrupted update left in '{path}' cannot be read, so "
             "where that update left the application to update is not known. Nothing was "
             "changed; once the record can be read, run the update again.";
    case kBadCustomizationFile:
      return "The client customization file is not valid: it must be a JSON object with a "
             "\"ServerPlatform\" string.";
    case kInstallFailed:
      return "The up-to-date application could not be installed.";
    case kLogStartFailed:
      return "The update log could not be started.";
    case kRelaunchFailed:
      return "The updated application could not be restarted.";
    default:
      return nullptr;
  }
}

void LogMessage(EMessageLevel level, const VString& message) {
  VProcess* process = VProcess::Get();
  ILogger* logger = process != nullptr ? process->GetLogger() : nullptr;
  if (logger == nullptr) return;
  VValueBag* record = new VValueBag;
  ILoggerBagKeys::message.Set(*record, message);
  if (level != ILoggerBagKeys::level.GetDefault()) ILoggerBagKeys::level.Set(*record, level);
  ILoggerBagKeys::component_signature.Set(*record, kUpdaterLogComponent);
  logger->LogBag(record);
  record->Release();
}

void LogV(EMessageLevel level, const char* format, va_list args) {
  VString message;
  message.VPrintf(format, args);
  LogMessage(level, message);
}

VError PushWithParameters(
    VError code,
    std::initializer_list<std::pair<const StPackedDictionaryKey*, VString>> parameters) {
  if (code == VE_OK) return VE_OK;
  VErrorBase* error = CreateUpdaterError(code);
  if (error == nullptr) return code;
  for (const auto& [key, value] : parameters) error->GetBag()->SetString(*key, value);
  _PushRetainedError(error, VE_OK);
  return code;
}

}  // namespace

VErrorBase* CreateUpdaterError(VError code) {
  VErrorBase* error = NewErrorRecord<VErrorBase>(code);
  if (error == nullptr) return nullptr;
  if (const char* english = EnglishDescription(code))
    error->GetBag()->SetString(ErrorBagKeys::error_description, VString(english));
  return error;
}

void Log(EMessageLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(level, format, args);
  va_end(args);
}

void LogError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(kMessageLevelError, format, args);
  va_end(args);
}

void LogInfo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(kMessageLevelInfo, format, args);
  va_end(args);
}

void LogDebug(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(kMessageLevelDebug, format, args);
  va_end(args);
}

void LogAndTell(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VString message;
  message.VPrintf(format, args);
  va_end(args);
  LogMessage(kMessageLevelWarning, message);
  const std::string line = to_string(message) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

VError ThrowErrorWithPath(VError code, const VFilePath& path) {
  return PushWithParameters(code, {{&kPathKey, path.GetPath()}});
}

VError ThrowErrorWithPaths(VError code, const VFilePath& source, const VFilePath& destination) {
  return PushWithParameters(
      code, {{&kSourcePathKey, source.GetPath()}, {&kDestinationPathKey, destination.GetPath()}});
}

VError ThrowErrorWithPaths(VError code, const VFilePath& source, const VFilePath& destination,
                           const VFilePath& path) {
  return PushWithParameters(code, {{&kSourcePathKey, source.GetPath()},
                                   {&kDestinationPathKey, destination.GetPath()},
                                   {&kPathKey, path.GetPath()}});
}

VError ThrowServiceError(VError code, const VString& serviceName) {
  return PushWithParameters(code, {{&kServiceNameKey, serviceName}});
}

void GetErrorText(const VErrorBase& error, VString& text) {
  if (ErrorComponent(error.GetError()) == kComponentUpdater) {
    // A person reads POSIX paths: the text is made from a twin whose path
    // parameters are in that form, the record itself keeps its own.
    VRefPtr<VErrorBase> twin(CreateUpdaterError(error.GetError()), kAdoptRef);
    twin->GetBag()->UnionClone(error.GetBag());
    for (const StPackedDictionaryKey* key : kPathParameters) {
      VString native;
      if (!error.GetBag()->GetString(*key, native)) continue;
      VFilePath path;
      if (!path.FromFullPath(native, kFilePathStyleNative)) continue;
      VString posix;
      path.GetPosixPath(posix);
      twin->GetBag()->SetString(*key, posix);
    }
    twin->GetErrorDescription(text);
    if (text.IsEmpty()) error.GetErrorString(text);
    return;
  }
  error.GetErrorDescription(text);
  if (text.IsEmpty()) error.GetErrorString(text);
}

VString ToVString(const std::string& text) {
  return VString(text.data(), text.size(), kCharSetUTF8);
}

VFilePath FolderPathOf(const std::string& posix) {
  VFilePath path;
  path.FromFullPath(ToVString(posix + "/"), kFilePathStylePosix);
  return path;
}

}  // namespace zeft
