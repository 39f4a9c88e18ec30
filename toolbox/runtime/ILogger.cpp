#include "runtime/ILogger.h"

#include <cstring>
#include <vector>

#include "core/VString.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VErrorBase.h"
#include "runtime/VLoggerHook.h"
#include "runtime/VTask.h"
#include "runtime/mac/XMacStackCrawl.h"
#include "values/VValueBag.h"

namespace zeft {

constinit std::atomic<uint64> ILogger::sSequenceNumber{0};

uint64 ILogger::GetSequenceNumber() {
  return sSequenceNumber.fetch_add(1, std::memory_order_relaxed) + 1;
}

void ILogger::LogErrorIfNecessary(const VErrorBase* error) {
  if (error == nullptr || !ShouldLog(kMessageLevelError)) return;
  auto* record = new VValueBag;
  ILoggerBagKeys::level.Set(*record, kMessageLevelError);
  error->SaveToBag(*record);

  VString text;
  error->GetErrorDescription(text);
  ILoggerBagKeys::message.Set(*record, text);

  const uint32 component = ErrorComponent(error->GetError());
  if (component != 0) ILoggerBagKeys::component_signature.Set(*record, component);

  bool hasSource = false;
  VTask* task = VTask::GetCurrent();
  if (const VValueBag* properties = task != nullptr ? task->RetainProperties() : nullptr) {
    VString value;
    if (ILoggerBagKeys::source.Get(*properties, value)) {
      ILoggerBagKeys::source.Set(*record, value);
      hasSource = true;
    }
    if (ILoggerBagKeys::jobId.Get(*properties, value)) ILoggerBagKeys::jobId.Set(*record, value);
    properties->Release();
  }
  if (!hasSource && VLoggerHook::GetSource(text)) ILoggerBagKeys::source.Set(*record, text);

  text.Clear();
  error->GetStackCrawl(text);
  if (!text.IsEmpty()) {
    VString lines;
    FormatStackCrawlLines(lines, text);
    ILoggerBagKeys::stack_crawl.Set(*record, lines);
  }

  LogBag(record);
  record->Release();
}

void ILogger::LogAssertIfNecessary(const char* message, const char* file, int line) {
  if (!ShouldLog(kMessageLevelAssert)) return;
  auto* record = new VValueBag;
  ILoggerBagKeys::level.Set(*record, kMessageLevelAssert);

  VString text;
  if (file != nullptr) {
    const char* slash = std::strrchr(file, '/');
    const char* name = slash != nullptr ? slash + 1 : file;
    text.FromBlock(name, std::strlen(name), kCharSetUTF8);
  }
  ILoggerBagKeys::file_name.Set(*record, text);
  ILoggerBagKeys::line_number.Set(*record, int32(line));
  text.Clear();
  if (message != nullptr) text.FromBlock(message, std::strlen(message), kCharSetUTF8);
  ILoggerBagKeys::message.Set(*record, text);

  // Skips the capture itself and this function: the crawl starts at the
  // code that asserted.
  XMacStackCrawl crawl;
  crawl.LoadFrames(2, 8);
  text.Clear();
  crawl.Dump(text);
  if (!text.IsEmpty()) {
    VString lines;
    FormatStackCrawlLines(lines, text);
    ILoggerBagKeys::stack_crawl.Set(*record, lines);
  }

  LogBag(record);
  record->Release();
}

void FormatStackCrawlLines(VString& out, const VString& stackText) {
  out.Clear();
  std::vector<VString> lines;
  stackText.GetSubStrings(UniChar('\n'), lines, true, true);
  const VString kNamespace("zeft::");
  const VString kThunk("non-virtual thunk to ");
  const VString kConst(" const");
  const VString kEmpty;
  bool first = true;
  for (VString& line : lines) {
    // The argument list.
    const int32 open = line.FindUniChar(UniChar('('));
    const int32 close = line.FindUniChar(UniChar(')'));
    if (open > 0 && close > open) line.Remove(open, close - open + 1);
    line.Exchange(kNamespace, kEmpty);
    line.Exchange(kThunk, kEmpty);
    const int32 qualifier = line.FindRawString(kConst);
    if (qualifier > 0 && qualifier + kConst.GetLength() - 1 == line.GetLength())
      line.Truncate(qualifier - 1);
    if (!first) out.AppendCString(" <- ");
    out.AppendString(line);
    first = false;
  }
}

}  // namespace zeft
