// The updater's voice: its error codes (component "UPNV"), the functions
// that push them with path parameters, and the functions every step logs
// through (records of the component "NVUP" handed to the process logger).
#pragma once

#include <string>

#include "UpdaterErrors.h"
#include "runtime/EMessageLevel.h"

namespace zeft {

class VErrorBase;
class VFilePath;
class VString;

inline constexpr uint32 kUpdaterLogComponent = FourCC("NVUP");

constexpr VError UpdaterError(int32 number) { return MakeVError(kComponentUpdater, number); }

// A new record for an updater error, with its English description (placeholders
// filled from its parameters) for when no localizer knows the code; null when
// memory runs out.
VErrorBase* CreateUpdaterError(VError code);

// Formats with VString::VPrintf ("%S" takes a const VString*) and hands the
// record to the process logger; nothing without one.
void Log(EMessageLevel level, const char* format, ...);
void LogError(const char* format, ...);
void LogInfo(const char* format, ...);
void LogDebug(const char* format, ...);
// Logs the sentence as a warning and writes it on standard error too: for
// what the user must learn of a run even when no log folder was given.
void LogAndTell(const char* format, ...);

// Push an error for `code` (nothing for 0) whose parameters name the paths
// in their native form; return the code.
VError ThrowErrorWithPath(VError code, const VFilePath& path);
VError ThrowErrorWithPaths(VError code, const VFilePath& source, const VFilePath& destination);
// The same with a third path, the parameter "path".
VError ThrowErrorWithPaths(VError code, const VFilePath& source, const VFilePath& destination,
                           const VFilePath& path);
VError ThrowServiceError(VError code, const VString& serviceName);

// The text of an error: its description, else its error string.
void GetErrorText(const VErrorBase& error, VString& text);

// UTF-8 text (a POSIX path) as a string, for the log's "%S".
VString ToVString(const std::string& text);
// The folder at the POSIX path `posix`, as error parameters name it.
VFilePath FolderPathOf(const std::string& posix);

}  // namespace zeft
