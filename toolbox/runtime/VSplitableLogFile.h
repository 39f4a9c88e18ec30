// VSplitableLogFile is a text log written as a series of numbered files
// ("<name>_<n>.txt") in one folder: before each append, a file that holds
// more than 10 MiB is closed and the next number opened, so a line is never
// split, and only the most recent files are kept. Optional texts frame each
// file (a header after every open, a footer before every close) and
// separate its appends. The owner serialises the calls; the class takes no
// lock.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "core/CharSet.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"

namespace zeft {

class VFolder;

class VSplitableLogFile : public VObject {
 public:
  // A file switches once it holds more than this many bytes.
  static constexpr long kMaxLogFileSize = 0xA00000;
  // Files kept by default (the current one included).
  static int32 sDefaultMaxLogsToKeep;

  // Closed; writes file `number` of `logName` in the folder once opened.
  VSplitableLogFile(const VFolder& folder, const VString& logName, int32 number, bool binary);
  VSplitableLogFile(const VSplitableLogFile&) = delete;
  VSplitableLogFile& operator=(const VSplitableLogFile&) = delete;
  ~VSplitableLogFile() override;

  // Opens the current number unless open already: emptied with `truncate`,
  // else appended to; with `skipExisting`, numbers whose file exists are
  // passed over. Creates the folder when needed (its errors are not
  // reported). Whether the file is open.
  bool Open(bool truncate, bool skipExisting);
  bool Open(int32 number, bool truncate);
  void Close();
  void Flush();
  bool IsOpen() const { return fStream != nullptr; }

  // Moves to another number, reopening when open.
  void SetLogNumber(int32 number, bool truncate);
  int32 GetLogNumber() const { return fLogNumber; }
  // Files kept when switching; 0 or less keeps every file.
  void SetMaxLogsToKeep(int32 count) { fMaxLogsToKeep = count; }
  int32 GetMaxLogsToKeep() const { return fMaxLogsToKeep; }

  // Switches to the next file when the current one is full; the new
  // number, or 0 when nothing changed.
  int32 CheckLogSize();

  // Each checks the size first, then writes when the file is open.
  int AppendFormattedString(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void AppendString(const char* text);
  void AppendString(const VString& text);

  // Texts written in the char set, all empty (none) by default: the header
  // after every open, the footer before every close, the line separator
  // between two appends to one file. The extension replaces ".txt" in the
  // names and paths this object builds.
  void SetHeader(const VString& header) { fHeader = header; }
  void SetFooter(const VString& footer) { fFooter = footer; }
  void SetLineSeparator(const VString& separator) { fLineSeparator = separator; }
  void SetFileExtension(const VString& extension) { fFileExtension = extension; }

  // Writes the line separator unless nothing was appended since the file
  // was opened; every append calls it first.
  void CheckEndOfLine();

  // The current file's name, and its full path.
  void GetCurrentFileName(VString& name) const;
  void GetCurrentFilePath(VFilePath& path) const;

  // name + "_" + number + ".txt".
  static void BuildLogFileName(const VString& name, int32 number, VString& out);
  // name + "_" + number + the extension, ".txt" for an empty one.
  static void BuildLogFileNameWithExt(const VString& name, int32 number, const VString& extension,
                                      VString& out);

 private:
  // POSIX path (UTF-8) of file `number`; empty without a folder path.
  std::string _BuildPosixPath(int32 number) const;
  void _Write(const char* bytes, size_t size);
  // Writes the text converted to the char set.
  void _WriteText(const VString& text);

  FILE* fStream = nullptr;
  VFilePath fFolderPath;
  VString fLogName;
  int32 fLogNumber;
  int32 fMaxLogsToKeep;
  CharSet fCharSet = kCharSetUTF8;
  bool fBinary;
  VString fHeader;
  VString fFooter;
  VString fLineSeparator;
  VString fFileExtension;
  // Set by an open, cleared by the first append after it.
  bool fJustOpened = false;
  // Bytes in the open file: its size at the open plus what was written.
  long fSize = 0;
};

}  // namespace zeft
