// A command-line option as the parser holds it: its names, its help text and
// the application variable its value goes to. VOptionBase is what the parser
// and the help outputs see; VArgOption<T> binds a variable of type T.
#pragma once

#include <vector>

#include "core/VString.h"
#include "core/VTypes.h"
#include "process/CommandLineArgument.h"

namespace zeft {

class VCommandLineParser;

namespace Private::CommandLineParser {

class VOptionBase {
 public:
  // A short name of 0 or ' ' and an empty long name mean none.
  VOptionBase(UniChar shortName, const VString& longName, const VString& description,
              bool takesValue);
  VOptionBase(const VOptionBase&) = delete;
  VOptionBase& operator=(const VOptionBase&) = delete;
  virtual ~VOptionBase();

  // 0 when the value was taken, 1 when refused (after printing why), 2 to
  // show the help instead. The base refuses everything silently.
  virtual uint32 AppendArgument(VCommandLineParser& parser, const VString& value);
  // The option was given without value. The base does nothing.
  virtual void SetFlag();

  UniChar GetShortName() const { return fShortName; }
  bool HasShortName() const { return fShortName != 0 && fShortName != ' '; }
  const VString& GetLongName() const { return fLongName; }
  const VString& GetDescription() const { return fDescription; }
  bool TakesValue() const { return fTakesValue; }
  bool IsHidden() const { return fHidden; }
  // A hidden option is left out of the help text and the manual page.
  void SetHidden(bool hidden) { fHidden = hidden; }
  // A paragraph of the help: short name ' ', no long name.
  bool IsParagraph() const { return fShortName == ' ' && fLongName.IsEmpty(); }

  // Appends "-x", ", " and "--name" as far as the option has names; false,
  // nothing appended, when it has none.
  bool AppendFullName(VString& text) const;
  // Prints "invalid value for argument '<name>' got <value> <message>".
  void PrintErrorWhenAppendingInvalidValue(const VString& message, VString value) const;

 private:
  UniChar fShortName;
  VString fLongName;
  VString fDescription;
  bool fTakesValue;
  bool fHidden = false;
};

template <class T>
class VArgOption : public VOptionBase {
 public:
  // `target` is the application's variable; it must outlive the parse.
  VArgOption(UniChar shortName, const VString& longName, const VString& description,
             bool takesValue, T* target)
      : VOptionBase(shortName, longName, description, takesValue), fTarget(target) {}

  uint32 AppendArgument(VCommandLineParser& parser, const VString& value) override {
    if (Extension::CommandLineParser::Argument<T>::Append(parser, *fTarget, value)) return 0;
    PrintErrorWhenAppendingInvalidValue(
        VString(Extension::CommandLineParser::Argument<T>::kRefusal), value);
    return 1;
  }

  void SetFlag() override { Extension::CommandLineParser::Argument<T>::SetFlag(*fTarget); }

 private:
  T* fTarget;
};

}  // namespace Private::CommandLineParser

}  // namespace zeft
