// StOptionsInfos is the parser's table of options: the maps by short and
// long name, the options in registration order (help paragraphs included),
// the positional-arguments option and the argument vector. It also writes
// the help text, which walks that order.
#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "core/VString.h"
#include "core/VStringLessCompareStrict.h"
#include "process/VCommandLineOption.h"

namespace zeft::Private::CommandLineParser {

class StOptionsInfos {
 public:
  // Keeps a reference to `arguments`; entry 0 is the program's path.
  explicit StOptionsInfos(const std::vector<VString>& arguments);
  StOptionsInfos(const StOptionsInfos&) = delete;
  StOptionsInfos& operator=(const StOptionsInfos&) = delete;
  ~StOptionsInfos();

  // Files the option under its names and appends it to the list; the
  // table owns it. A later option of the same name replaces the earlier
  // one in the maps; both stay in the list.
  void RegisterOption(bool takesValue, VOptionBase* option);
  // Installs the positional-arguments option (owned), deleting any
  // previous one.
  void SetPositionalArguments(VOptionBase* option);
  // Deletes every option and empties the maps and the list.
  void Clear();

  // The option filed under the name and whether it takes a value; null
  // when none.
  VOptionBase* FindShort(UniChar name, bool& takesValue) const;
  VOptionBase* FindLong(const VString& name, bool& takesValue) const;

  // Writes the help text to standard output in UTF-8 (no flush).
  void HelpUsage(const VString& programPath) const;
  // The help text, coloured or not.
  VString BuildHelpUsage(const VString& programPath, bool colour) const;

  const std::vector<VString>& GetArguments() const { return fArguments; }
  bool HasArguments() const { return fHasArguments; }
  const std::vector<std::unique_ptr<VOptionBase>>& GetOptions() const { return fOptions; }
  VOptionBase* GetPositionalArguments() const { return fPositional.get(); }
  bool GetValuesFromStandardInput() const { return fValuesFromStandardInput; }
  void SetValuesFromStandardInput(bool on) { fValuesFromStandardInput = on; }

 private:
  using Entry = std::pair<VOptionBase*, bool>;

  std::map<UniChar, Entry> fShortOptions;
  std::map<VString, Entry, VStringLessCompareStrict> fLongOptions;
  std::unique_ptr<VOptionBase> fPositional;
  std::vector<std::unique_ptr<VOptionBase>> fOptions;
  const std::vector<VString>& fArguments;
  bool fHasArguments;
  bool fValuesFromStandardInput = false;
};

}  // namespace zeft::Private::CommandLineParser
