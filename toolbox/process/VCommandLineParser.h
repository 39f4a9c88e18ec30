// VCommandLineParser turns the process's argument vector into typed values.
// The application registers options bound to its own variables, then calls
// Parse: long options ("--name", "--name=value"), short options and clusters
// ("-x", "-xy"), values in the following arguments, the end marker "--",
// positional arguments and a built-in help request. Errors go to standard
// error in fixed texts; the help, a manual-page section and a JSON
// description of the options can be produced.
#pragma once

#include <type_traits>
#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "process/StOptionsInfos.h"

namespace zeft {

class VCommandLineParser : public VObject {
 public:
  // Parse results.
  static constexpr uint32 kContinue = 0;
  static constexpr uint32 kError = 1;
  static constexpr uint32 kHelpShown = 2;

  // Keeps a reference to `arguments`, which must outlive the parser.
  explicit VCommandLineParser(const std::vector<VString>& arguments);
  VCommandLineParser(const VCommandLineParser&) = delete;
  VCommandLineParser& operator=(const VCommandLineParser&) = delete;
  ~VCommandLineParser() override;

  // Registers an option bound to `target`. Options whose type is bool take
  // no value unless asked; every other type takes one. Nothing is
  // registered (null) when the command line holds only the program's path.
  template <class T>
  Private::CommandLineParser::VOptionBase* AddOption(UniChar shortName, const VString& longName,
                                                     const VString& description, T* target) {
    return AddOption(shortName, longName, description, target, !std::is_same_v<T, bool>);
  }
  template <class T>
  Private::CommandLineParser::VOptionBase* AddOption(UniChar shortName, const VString& longName,
                                                     const VString& description, T* target,
                                                     bool takesValue) {
    if (!fInfos.HasArguments()) return nullptr;
    auto* option = new Private::CommandLineParser::VArgOption<T>(shortName, longName, description,
                                                                 takesValue, target);
    fInfos.RegisterOption(takesValue, option);
    return option;
  }
  // Accepts positional arguments into `target` (only when the command line
  // has arguments).
  void AddPositionalArguments(std::vector<VString>* target);
  // A paragraph of the help text between the options registered around it.
  void AddParagraph(const VString& text);
  // A value that is exactly "-" reads standard input to its end (once; every
  // later "-" gets the same text). Off when the parser is made.
  void SetValuesFromStandardInput(bool on) { fInfos.SetValuesFromStandardInput(on); }

  // kContinue, kError (a line was printed on standard error) or kHelpShown.
  uint32 Parse();
  // Deletes every option and the positional-arguments option.
  void Clear() { fInfos.Clear(); }

  static bool ValidateLongOptionName(const VString& name);
  static bool ValidateShortOptionName(UniChar name);

  // The text in UTF-8 and a line feed, flushed: on standard output, or on
  // standard error.
  static void Print(const VString& text);
  static void PrintArgumentError(const VString& text);

  // The help outputs (VCommandLineHelp.cpp). The manual-page section is
  // appended to the text; the JSON description replaces it.
  void ExportAsManPage(VString* outText) const;
  void ExportAsJSON(VString* outText) const;
  // The JSON description and a line feed, flushed, on standard error or
  // standard output.
  void PrintAllArguments(bool toStandardError) const;

  const Private::CommandLineParser::StOptionsInfos& GetInfos() const { return fInfos; }

 private:
  // The next entry a value may be taken from, at or after `next`; false
  // when the vector ends first.
  bool _FindValue(size_t& next, bool& endOfOptions, VString& value) const;
  // The standard-input rule: false, after printing why, when standard
  // input cannot be read.
  bool _ApplyStandardInput(VString& value, const VString& optionName);
  // Sets a flag, or gives the option the value a search finds (an error
  // when none); the option's result (0, 1 or 2).
  uint32 _Give(Private::CommandLineParser::VOptionBase* option, bool takesValue,
               const VString& optionName, size_t& next, bool& endOfOptions);
  // Gives the value to the option; its result (0, 1 or 2).
  uint32 _Append(Private::CommandLineParser::VOptionBase* option, VString value,
                 const VString& optionName);

  Private::CommandLineParser::StOptionsInfos fInfos;
  bool fStandardInputRead = false;
  VString fStandardInput;
};

}  // namespace zeft
