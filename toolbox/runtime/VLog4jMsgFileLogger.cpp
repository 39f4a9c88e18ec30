#include "runtime/VLog4jMsgFileLogger.h"

#include <charconv>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/CLocale.h"
#include "core/StStringConverter.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "runtime/ILogger.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VLoggerHook.h"
#include "runtime/VSplitableLogFile.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

// The label before an attribute's value in a line; an empty label keeps
// the attribute out of the list (its value is part of the line already).
const std::unordered_map<std::string_view, const char*>& LogBagKeyLabels() {
  static const std::unordered_map<std::string_view, const char*> sLogBagKeyLabels = {
      {"message", ""},
      {"error_code", ""},
      {"level", ""},
      {"source", ""},
      {"component_signature", ""},
      {"task_id", "task="},
      {"task_name", "taskName="},
      {"socket", "socket="},
      {"local_addr", "localAddr="},
      {"local_port", "localPort="},
      {"peer_addr", "peerAddr="},
      {"peer_port", "peerPort="},
      {"exchange_id", "exchangeEndpointId="},
      {"is_blocking", "blocking="},
      {"is_ssl", "SSL="},
      {"is_select_io", "selectIO="},
      {"ms_timeout", "timeout="},
      {"count_bytes_asked", "asked="},
      {"count_bytes_sent", "sent="},
      {"count_bytes_received", "received="},
      {"ms_spent", "executionTime="},
      {"dump_offset", "offset="},
      {"dump_buffer", "data : "},
      {"file_name", "fileName="},
      {"line_number", "lineNumber="},
      {"stack_crawl", "stackCrawl="},
      {"user_id", "UUID="},
  };
  return sLogBagKeyLabels;
}

// Built before any task logs.
[[maybe_unused]] const auto& sLabelsAtStartUp = LogBagKeyLabels();

// The text as the UTF-8 C string of `converter`, into `out`: ASCII text,
// the usual kind, is copied unit by unit. The C string ends at a NUL of the
// text; `whole` tells whether it has none.
const char* ToUTF8(const VString& text, StStringConverter<char>& converter, std::string& out,
                   bool& whole) {
  const UniChar* units = text.GetCPointer();
  const int32 length = text.GetLength();
  out.resize(size_t(length));
  char* bytes = out.data();
  for (int32 i = 0; i < length; ++i) {
    const UniChar unit = units[i];
    if (unit >= 0x80) {
      whole = VString::UniCStringLength(units) >= length;
      return converter.ConvertString(text);
    }
    if (unit == 0) {
      whole = false;
      return out.c_str();
    }
    bytes[i] = char(unit);
  }
  whole = true;
  return out.c_str();
}

}  // namespace

VLog4jMsgFileLogger::VLog4jMsgFileLogger(const VFolder& folder, const VString& logName)
    : fFolderPath(folder.GetPath()), fLogName(logName), fMask(kDefaultMessageLevelMask) {
  fStartTime.SetNull(true);
}

VLog4jMsgFileLogger::~VLog4jMsgFileLogger() { Stop(); }

bool VLog4jMsgFileLogger::_CanStart() const {
  return !fFolderPath.IsEmpty() && fFolderPath.IsValid() && fFolderPath.IsFolder() &&
         !fLogName.IsNull() && !fLogName.IsEmpty();
}

void VLog4jMsgFileLogger::BuildLogFileName(const VString& name, int32 number, VString& out) {
  VSplitableLogFile::BuildLogFileName(name, number, out);
}

void VLog4jMsgFileLogger::Start() {
  if (!_CanStart()) return;
  int32 number = 1;
  VString name;
  for (;; ++number) {
    BuildLogFileName(fLogName, number, name);
    if (!VFile(fFolderPath, name, kFilePathStyleNative).Exists()) break;
  }
  Start(number > 1 ? number - 1 : 1);
}

void VLog4jMsgFileLogger::Start(int32 firstNumber) {
  bool startedNow = false;
  {
    StLocker<VCriticalSection> lock(fLock);
    if (fLogFile == nullptr && _CanStart()) {
      auto file =
          std::make_unique<VSplitableLogFile>(VFolder(fFolderPath), fLogName, firstNumber, false);
      if (file->Open(false, false)) {
        fLogFile = std::move(file);
        VTime::Now(fStartTime);
        fStarted.store(true);
        startedNow = true;
      }
    }
  }
  // Attached without our lock: the process logger's lock comes first.
  if (startedNow) {
    if (ILogger* logger = VLoggerHook::RetainLogger().Forget()) {
      fAttachedTo = logger;
      logger->AddLogListener(&fListener);
    }
  }
}

void VLog4jMsgFileLogger::Stop() {
  // Detached first, holding none of our locks: once this returns, no batch
  // is being written or will be.
  if (fAttachedTo != nullptr) {
    fAttachedTo->RemoveLogListener(&fListener);
    fAttachedTo->Release();
    fAttachedTo = nullptr;
  }
  StLocker<VCriticalSection> lock(fLock);
  fLogFile.reset();
  fStarted.store(false);
  fStartTime.SetNull(true);
}

bool VLog4jMsgFileLogger::IsStarted() const { return fStarted.load(); }

bool VLog4jMsgFileLogger::_IsStarted() const {
  StLocker<VCriticalSection> lock(fLock);
  return fLogFile != nullptr && fLogFile->IsOpen();
}

bool VLog4jMsgFileLogger::ShouldLog(EMessageLevel level) const {
  return IsStarted() && (fMask & MessageLevelMaskBit(level)) != 0;
}

void VLog4jMsgFileLogger::Flush() {
  StLocker<VCriticalSection> lock(fLock);
  if (fLogFile != nullptr) fLogFile->Flush();
}

void VLog4jMsgFileLogger::GetLogFolderPath(VFilePath& path) const { path = fFolderPath; }

void VLog4jMsgFileLogger::GetLogName(VString& name) const { name = fLogName; }

bool VLog4jMsgFileLogger::GetLogFilePath(VFilePath& path) const {
  StLocker<VCriticalSection> lock(fLock);
  if (fLogFile == nullptr) {
    path.Clear();
    return false;
  }
  fLogFile->GetCurrentFilePath(path);
  return true;
}

void VLog4jMsgFileLogger::SetLogMaxNumberToKeep(int32 count) {
  StLocker<VCriticalSection> lock(fLock);
  if (fLogFile != nullptr) fLogFile->SetMaxLogsToKeep(count);
}

int32 VLog4jMsgFileLogger::GetLogMaxNumberToKeep() const {
  StLocker<VCriticalSection> lock(fLock);
  return fLogFile != nullptr ? fLogFile->GetMaxLogsToKeep() : 0;
}

void VLog4jMsgFileLogger::GetLogInfosFromBag(const VValueBag* record, VString& source,
                                             EMessageLevel& level, VString& message) {
  message.Clear();
  source.Clear();
  level = kDefaultMessageLevel;
  uint64 errorCode = 0;
  uint32 component = 0;
  bool hasSource = false;
  bool hasComponent = false;
  // One pass over the attributes: those that make the line's own fields
  // (their labels are empty) are read when present, the others listed in
  // the record's order.
  VString details;
  bool listed = false;
  if (record != nullptr) {
    const auto& labels = LogBagKeyLabels();
    const VValueBag::AttributeStore& attributes = record->GetAttributeStore();
    VString text;
    for (size_t i = 0; i < attributes.GetCount(); ++i) {
      size_t length = 0;
      const char* key = attributes.GetKeyText(i, length);
      const std::string_view name(key, length);
      if (name == ILoggerBagKeys::message.GetKeyText()) {
        ILoggerBagKeys::message.Get(*record, message);
        continue;
      }
      if (name == ILoggerBagKeys::source.GetKeyText()) {
        hasSource = ILoggerBagKeys::source.Get(*record, source);
        continue;
      }
      if (name == ILoggerBagKeys::level.GetKeyText()) {
        level = ILoggerBagKeys::level.Get(*record);
        continue;
      }
      if (name == ILoggerBagKeys::error_code.GetKeyText()) {
        ILoggerBagKeys::error_code.Get(*record, errorCode);
        continue;
      }
      if (name == ILoggerBagKeys::component_signature.GetKeyText()) {
        hasComponent = ILoggerBagKeys::component_signature.Get(*record, component);
        continue;
      }
      const auto it = labels.find(name);
      if (it != labels.end() && it->second[0] == '\0') continue;
      const VValueSingle* value = attributes.GetNthValue(i);
      if (value == nullptr) continue;
      if (listed) details.AppendCString(", ");
      if (it != labels.end()) {
        details.AppendCString(it->second);
      } else {
        details.AppendBlock(key, length, kCharSetUTF8);
        details.AppendCString("=");
      }
      value->GetString(text);
      text.ExchangeRawString(VString("\n"), VString(" ; "));
      details.AppendString(text);
      listed = true;
    }
  }
  if (!hasComponent) component = uint32(errorCode >> 32);
  if (!hasSource) VLoggerHook::GetSource(source);
  if (component != 0) {
    if (!source.IsEmpty()) source.AppendCString(".");
    source.AppendOsType(component);
  }
  if (errorCode != 0) {
    char number[24];
    std::snprintf(number, sizeof(number), "[%d] ", int32(uint32(errorCode)));
    message.Insert(VString(number), 1);
  }
  if (listed) {
    message.AppendCString(" (");
    message.AppendString(details);
    message.AppendCString(")");
  } else {
    message.AppendCString(" ()");
  }
}

const char* VLog4jMsgFileLogger::_FormatNow() {
  const std::time_t now = std::time(nullptr);
  if (now != fTimeSecond) {
    std::tm local{};
    localtime_r(&now, &local);
    const size_t length =
        FormatTimeInCLocale(fTimeText, sizeof(fTimeText), "%Y-%m-%dT%H:%M:%S", local);
    // Offsets in whole minutes, as the time texts of the toolbox write them.
    long offset = local.tm_gmtoff;
    offset -= offset % 60;
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    std::snprintf(fTimeText + length, sizeof(fTimeText) - length, "%c%02ld:%02ld", sign,
                  offset / 3600, offset % 3600 / 60);
    fTimeSecond = now;
  }
  return fTimeText;
}

void VLog4jMsgFileLogger::VLog4jLogListener::Put(std::vector<const VValueBag*>& records) {
  StLocker<VCriticalSection> lock(fOwner->fLock);
  if (fOwner->fLogFile == nullptr) return;
  // Room inside for the usual line: no allocation per record.
  VStr<255> source;
  VStr<1023> message;
  EMessageLevel level = kDefaultMessageLevel;
  // One pair of converters for the whole batch.
  StStringConverter<char> sourceBytes(source, kCharSetUTF8);
  StStringConverter<char> messageBytes(message, kCharSetUTF8);
  std::string sourceText;
  std::string messageText;
  for (const VValueBag* record : records) {
    // A message's line is its fields as they are: what reading its bag
    // back would give, without the details, which it has none of.
    if (const VLogRecord* plain = VLogRecord::AsMessage(record)) {
      bool whole = true;
      const char* sourceUTF8 = "";
      if (plain->HasSource()) {
        sourceUTF8 = ToUTF8(plain->GetSource(), sourceBytes, sourceText, whole);
      } else if (VString processSource; VLoggerHook::GetSource(processSource)) {
        sourceUTF8 = ToUTF8(processSource, sourceBytes, sourceText, whole);
      }
      const char* messageUTF8 = ToUTF8(plain->GetMessage(), messageBytes, messageText, whole);
      // The line ends where the message's C string does, as it would with
      // the " ()" after it in one text.
      _Log(sourceUTF8, plain->GetLevel(), messageUTF8, whole ? " ()" : "");
      continue;
    }
    GetLogInfosFromBag(record, source, level, message);
    _Log(sourceBytes.ConvertString(source), level, messageBytes.ConvertString(message));
  }
  fOwner->fLogFile->Flush();
}

void VLog4jMsgFileLogger::VLog4jLogListener::Log(const VString& source, EMessageLevel level,
                                                 const VString& message) {
  StStringConverter<char> sourceBytes(source, kCharSetUTF8);
  StStringConverter<char> messageBytes(message, kCharSetUTF8);
  Log(sourceBytes.GetCPointer(), level, messageBytes.GetCPointer());
}

void VLog4jMsgFileLogger::VLog4jLogListener::Log(const char* source, EMessageLevel level,
                                                 const char* message) {
  StLocker<VCriticalSection> lock(fOwner->fLock);
  _Log(source, level, message);
}

void VLog4jMsgFileLogger::VLog4jLogListener::_Log(const char* source, EMessageLevel level,
                                                  const char* message, const char* tail) {
  VLog4jMsgFileLogger& owner = *fOwner;
  if (!owner.IsStarted() || (owner.fMask & MessageLevelMaskBit(level)) == 0 || owner.IsPaused() ||
      owner.fLogFile == nullptr)
    return;
  const char* time = owner._FormatNow();
  const uint64 number = ILogger::GetSequenceNumber();
  const char* word = GetMessageLevelWord(level);
  if (source == nullptr) source = "";
  if (message == nullptr) message = "";
  // The line is put together in a buffer kept from line to line and goes
  // out in one piece.
  std::string& line = owner.fLine;
  line.clear();
  if (number != 0) {
    char digits[24];
    line.append(digits, std::to_chars(digits, digits + sizeof(digits), number).ptr);
    line.push_back(' ');
  }
  line.append(time).append(" [").append(source).append("] ").append(word).append(" - ");
  line.append(message).append(tail).push_back('\n');
  owner.fLogFile->AppendString(line.c_str());
}

}  // namespace zeft
