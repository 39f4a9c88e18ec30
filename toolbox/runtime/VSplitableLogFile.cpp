#include "runtime/VSplitableLogFile.h"

#include <sys/stat.h>

#include <cstdio>

#include "core/StStringConverter.h"
#include "files/VFolder.h"
#include "runtime/StErrorContextInstaller.h"

namespace zeft {

int32 VSplitableLogFile::sDefaultMaxLogsToKeep = 50;

namespace {

constexpr size_t kStreamBufferSize = 64 * 1024;

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

}  // namespace

VSplitableLogFile::VSplitableLogFile(const VFolder& folder, const VString& logName, int32 number,
                                     bool binary)
    : fFolderPath(folder.GetPath()),
      fLogName(logName),
      fLogNumber(number),
      fMaxLogsToKeep(sDefaultMaxLogsToKeep),
      fBinary(binary) {}

VSplitableLogFile::~VSplitableLogFile() { Close(); }

void VSplitableLogFile::BuildLogFileName(const VString& name, int32 number, VString& out) {
  BuildLogFileNameWithExt(name, number, VString(), out);
}

void VSplitableLogFile::BuildLogFileNameWithExt(const VString& name, int32 number,
                                                const VString& extension, VString& out) {
  out = name;
  out.AppendCString("_");
  out.AppendLong(number);
  if (extension.IsNull() || extension.IsEmpty()) {
    out.AppendCString(".txt");
  } else {
    out.AppendString(extension);
  }
}

void VSplitableLogFile::GetCurrentFileName(VString& name) const {
  BuildLogFileNameWithExt(fLogName, fLogNumber, fFileExtension, name);
}

void VSplitableLogFile::GetCurrentFilePath(VFilePath& path) const {
  VString name;
  GetCurrentFileName(name);
  path = fFolderPath;
  path.ToSubFile(name);
}

std::string VSplitableLogFile::_BuildPosixPath(int32 number) const {
  if (fFolderPath.IsEmpty() || !fFolderPath.IsValid()) return std::string();
  VString path;
  fFolderPath.GetPosixPath(path);
  if (path.IsEmpty()) return std::string();
  VString name;
  BuildLogFileNameWithExt(fLogName, number, fFileExtension, name);
  if (path.GetUniChar(path.GetLength()) != u'/') path.AppendCString("/");
  path.AppendString(name);
  StStringConverter<char> bytes(path, kCharSetUTF8);
  return std::string(bytes.GetCPointer(), bytes.GetSize());
}

bool VSplitableLogFile::Open(bool truncate, bool skipExisting) {
  if (fStream != nullptr) return true;
  std::string path = _BuildPosixPath(fLogNumber);
  if (path.empty()) return false;
  if (skipExisting) {
    while (FileExists(path)) path = _BuildPosixPath(++fLogNumber);
  }
  {
    // The open below reports the failure that matters.
    StErrorContextInstaller quiet(false, true);
    VFolder(fFolderPath).CreateRecursive();
  }
  const char* mode = truncate ? (fBinary ? "wb" : "w") : (fBinary ? "ab" : "a");
  fStream = std::fopen(path.c_str(), mode);
  fSize = 0;
  if (fStream == nullptr) return false;
  // Lines are small and many: one write for many lines.
  std::setvbuf(fStream, nullptr, _IOFBF, kStreamBufferSize);
  if (!truncate) {
    struct stat info {};
    if (::fstat(fileno(fStream), &info) == 0) fSize = long(info.st_size);
  }
  fJustOpened = true;
  if (!fHeader.IsEmpty()) _WriteText(fHeader);
  return true;
}

bool VSplitableLogFile::Open(int32 number, bool truncate) {
  fLogNumber = number;
  return Open(truncate, false);
}

void VSplitableLogFile::Close() {
  if (fStream == nullptr) return;
  if (!fFooter.IsEmpty()) _WriteText(fFooter);
  if (fStream != stdout) std::fclose(fStream);
  fStream = nullptr;
  fSize = 0;
}

void VSplitableLogFile::Flush() {
  if (fStream != nullptr) std::fflush(fStream);
}

void VSplitableLogFile::SetLogNumber(int32 number, bool truncate) {
  fLogNumber = number;
  if (fStream != nullptr) {
    Close();
    Open(truncate, false);
  }
}

int32 VSplitableLogFile::CheckLogSize() {
  if (fStream == nullptr || fSize <= kMaxLogFileSize) return 0;
  Close();
  const int32 old = fLogNumber;
  fLogNumber = old + 1;
  if (fMaxLogsToKeep >= 1 && fMaxLogsToKeep <= old) {
    const std::string stale = _BuildPosixPath(old + 1 - fMaxLogsToKeep);
    if (!stale.empty()) std::remove(stale.c_str());
  }
  Open(true, false);
  return fLogNumber;
}

void VSplitableLogFile::_Write(const char* bytes, size_t size) {
  // The owner serialises the calls: the stream's own lock is not needed.
  fSize += long(::fwrite_unlocked(bytes, 1, size, fStream));
}

void VSplitableLogFile::_WriteText(const VString& text) {
  StStringConverter<char> bytes(text, fCharSet);
  _Write(bytes.GetCPointer(), bytes.GetSize());
}

void VSplitableLogFile::CheckEndOfLine() {
  if (fStream == nullptr) return;
  if (!fJustOpened && !fLineSeparator.IsEmpty()) _WriteText(fLineSeparator);
  fJustOpened = false;
}

int VSplitableLogFile::AppendFormattedString(const char* format, ...) {
  CheckLogSize();
  if (fStream == nullptr || format == nullptr) return 0;
  CheckEndOfLine();
  va_list args;
  va_start(args, format);
  const int written = std::vfprintf(fStream, format, args);
  va_end(args);
  if (written > 0) fSize += written;
  return written;
}

void VSplitableLogFile::AppendString(const char* text) {
  CheckLogSize();
  if (fStream == nullptr || text == nullptr) return;
  CheckEndOfLine();
  _Write(text, std::char_traits<char>::length(text));
}

void VSplitableLogFile::AppendString(const VString& text) {
  CheckLogSize();
  if (fStream == nullptr) return;
  CheckEndOfLine();
  _WriteText(text);
}

}  // namespace zeft
