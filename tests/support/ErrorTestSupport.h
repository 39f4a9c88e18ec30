// Reading the errors that code under test leaves on the calling task's
// error stack, so that a test can assert "error X with parameter Y was
// raised". The shared test environment makes the application object, so
// errors are recorded in every test program.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VString.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VTask.h"
#include "values/VValueBag.h"

namespace zeft::test {

// One record as a test sees it: its code and its parameters as UTF-8.
struct ErrorRecord {
  VError code = VE_OK;
  std::map<std::string, std::string> parameters;
};

inline void PrintTo(const ErrorRecord& record, std::ostream* out) {
  const uint32 component = ErrorComponent(record.code);
  *out << char(component >> 24) << char(component >> 16) << char(component >> 8) << char(component)
       << ' ' << ErrorNumber(record.code);
  for (const auto& [key, value] : record.parameters) *out << ' ' << key << "=\"" << value << '"';
}

inline ErrorRecord ReadErrorRecord(const VErrorBase& error) {
  ErrorRecord record;
  record.code = error.GetError();
  const VValueBag* bag = error.GetBag();
  VString name;
  VString text;
  for (int32 n = 1; n <= bag->GetAttributesCount(); ++n) {
    const VValueSingle* value = bag->GetNthAttribute(n, &name);
    text.Clear();
    if (value != nullptr) value->GetString(text);
    record.parameters[to_string(name)] = to_string(text);
  }
  return record;
}

// The records of a level, oldest first.
inline std::vector<ErrorRecord> ReadErrors(const VErrorContext* context) {
  std::vector<ErrorRecord> records;
  if (context == nullptr) return records;
  for (const VErrorBase* error : context->GetErrors()) records.push_back(ReadErrorRecord(*error));
  return records;
}

// The records of the calling task's top level.
inline std::vector<ErrorRecord> CurrentErrors() {
  VErrorTaskContext* stack = VTask::GetErrorContext(false);
  return ReadErrors(stack != nullptr ? stack->GetTopContext() : nullptr);
}

// Collects what is raised while it lives, in a level of its own that drops
// its records at the end, so that tests leave nothing behind.
class ErrorCollector {
 public:
  std::vector<ErrorRecord> Errors() const { return ReadErrors(fInstaller.GetContext()); }
  VError LastError() const { return fInstaller.GetLastError(); }
  void Flush() { fInstaller.Flush(); }

 private:
  StErrorContextInstaller fInstaller{false, false};
};

// Success when a record has the code and, when a key is given, that
// parameter with that value.
inline ::testing::AssertionResult HasError(const std::vector<ErrorRecord>& records, VError code,
                                           const char* key = nullptr, const char* value = nullptr) {
  for (const ErrorRecord& record : records) {
    if (record.code != code) continue;
    if (key == nullptr) return ::testing::AssertionSuccess();
    auto it = record.parameters.find(key);
    if (it != record.parameters.end() && (value == nullptr || it->second == value)) {
      return ::testing::AssertionSuccess();
    }
  }
  ErrorRecord wanted;
  wanted.code = code;
  if (key != nullptr) wanted.parameters[key] = value != nullptr ? value : "*";
  return ::testing::AssertionFailure() << "no error " << ::testing::PrintToString(wanted)
                                       << " among " << ::testing::PrintToString(records);
}

inline ::testing::AssertionResult HasToolboxError(const std::vector<ErrorRecord>& records,
                                                  int32 number, const char* key = nullptr,
                                                  const char* value = nullptr) {
  return HasError(records, ToolboxError(number), key, value);
}

}  // namespace zeft::test
