#include "process/VCommandLineParser.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "core/StStringConverter.h"

namespace zeft {

using Private::CommandLineParser::VArgOption;
using Private::CommandLineParser::VOptionBase;

namespace {

// Standard input is read in blocks of this size.
constexpr size_t kStandardInputBlock = 1024;

bool BeginsWithDash(const VString& entry) {
  return entry.GetLength() > 0 && entry.GetCPointer()[0] == '-';
}

void WriteLine(const VString& text, FILE* stream) {
  StStringConverter<char> bytes(text, kCharSetUTF8);
  std::fwrite(bytes.GetCPointer(), 1, bytes.GetSize(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

// "error: <lead><name><tail>" on standard error.
void PrintError(const char* lead, const VString& name, const char* tail) {
  VString text("error: ");
  text.AppendCString(lead);
  text.AppendString(name);
  text.AppendCString(tail);
  VCommandLineParser::PrintArgumentError(text);
}

}  // namespace

VCommandLineParser::VCommandLineParser(const std::vector<VString>& arguments) : fInfos(arguments) {}

VCommandLineParser::~VCommandLineParser() = default;

void VCommandLineParser::AddPositionalArguments(std::vector<VString>* target) {
  if (!fInfos.HasArguments()) return;
  fInfos.SetPositionalArguments(
      new VArgOption<std::vector<VString>>(0, VString(), VString(), true, target));
}

void VCommandLineParser::AddParagraph(const VString& text) {
  fInfos.RegisterOption(false, new VOptionBase(' ', VString(), text, false));
}

bool VCommandLineParser::ValidateLongOptionName(const VString& name) {
  const int32 length = name.GetLength();
  if (length == 0) return true;
  if (length == 1) return false;
  const UniChar* units = name.GetCPointer();
  if (units[0] == '-' || units[length - 1] == '-') return false;
  for (int32 i = 0; i < length; ++i) {
    const UniChar c = units[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-')) return false;
  }
  return true;
}

bool VCommandLineParser::ValidateShortOptionName(UniChar name) {
  return name == 0 || name == ' ' || (name >= 'a' && name <= 'z') || (name >= 'A' && name <= 'Z') ||
         (name >= '0' && name <= '9');
}

void VCommandLineParser::Print(const VString& text) { WriteLine(text, stdout); }

void VCommandLineParser::PrintArgumentError(const VString& text) { WriteLine(text, stderr); }

bool VCommandLineParser::_FindValue(size_t& next, bool& endOfOptions, VString& value) const {
  const std::vector<VString>& arguments = fInfos.GetArguments();
  for (size_t i = next; i < arguments.size(); ++i) {
    const VString& entry = arguments[i];
    if (!endOfOptions && BeginsWithDash(entry)) {
      if (entry.EqualToUSASCIICString("--")) endOfOptions = true;
      continue;
    }
    value = entry;
    next = i + 1;
    return true;
  }
  return false;
}

bool VCommandLineParser::_ApplyStandardInput(VString& value, const VString& optionName) {
  if (!fInfos.GetValuesFromStandardInput() || !value.EqualToUSASCIICString("-")) return true;
  if (!fStandardInputRead) {
    std::string bytes;
    char block[kStandardInputBlock];
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, block, sizeof block);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        PrintError("failed to read from stdin for option `", optionName, "`");
        return false;
      }
      if (got == 0) break;
      bytes.append(block, size_t(got));
    }
    fStandardInput.FromBlock(bytes.data(), bytes.size(), kCharSetUTF8);
    fStandardInputRead = true;
  }
  value = fStandardInput;
  return true;
}

uint32 VCommandLineParser::_Append(VOptionBase* option, VString value, const VString& optionName) {
  if (!_ApplyStandardInput(value, optionName)) return kError;
  return option->AppendArgument(*this, value);
}

uint32 VCommandLineParser::_Give(VOptionBase* option, bool takesValue, const VString& optionName,
                                 size_t& next, bool& endOfOptions) {
  if (!takesValue) {
    option->SetFlag();
    return 0;
  }
  VString value;
  if (!_FindValue(next, endOfOptions, value)) {
    VString fullName;
    option->AppendFullName(fullName);
    PrintError("missing value for option ", fullName, "");
    return kError;
  }
  return _Append(option, value, optionName);
}

uint32 VCommandLineParser::Parse() {
  const std::vector<VString>& arguments = fInfos.GetArguments();
  if (arguments.size() < 2) return kContinue;
  size_t next = 1;
  bool endOfOptions = false;
  bool takesValue = false;
  auto showHelp = [&]() {
    fInfos.HelpUsage(arguments[0]);
    return kHelpShown;
  };
  for (size_t i = 1; i < arguments.size(); ++i) {
    const VString& entry = arguments[i];
    const UniChar* units = entry.GetCPointer();
    const int32 length = entry.GetLength();

    if (length == 0 || units[0] != '-' || endOfOptions) {
      if (i < next) continue;
      next = i;
      VOptionBase* positional = fInfos.GetPositionalArguments();
      if (positional == nullptr) {
        PrintError("unknown option `", entry, "`");
        return kError;
      }
      if (_Append(positional, entry, VString()) != 0) return kError;
      continue;
    }
    if (entry.EqualToUSASCIICString("--")) {
      endOfOptions = true;
      continue;
    }
    if (next < i + 1) next = i + 1;

    if (units[1] == '-') {
      const VString text = entry.After(2);
      const int32 equal = text.FindUniChar('=');
      if (equal > 0) {
        const VString name = text.Before(equal);
        VOptionBase* option = fInfos.FindLong(name, takesValue);
        if (option == nullptr) {
          if (name.EqualToUSASCIICString("help"))
            PrintError("invalid value for option  `", name, "`");
          else
            PrintError("unknown option `", name, "`");
          return kError;
        }
        if (!takesValue) {
          PrintError("a value for option `", name, "` is not required");
          return kError;
        }
        const uint32 result = _Append(option, text.After(equal), text);
        if (result == kHelpShown) return showHelp();
        if (result != 0) return kError;
        continue;
      }
      VOptionBase* option = fInfos.FindLong(text, takesValue);
      if (option == nullptr) {
        if (text.EqualToUSASCIICString("help")) return showHelp();
        PrintError("unknown option `", text, "`");
        return kError;
      }
      const uint32 result = _Give(option, takesValue, text, next, endOfOptions);
      if (result == kHelpShown) return showHelp();
      if (result != 0) return kError;
      continue;
    }

    if (entry.EqualToUSASCIICString("-ApplePersistenceIgnoreState") ||
        entry.EqualToUSASCIICString("-NSDocumentRevisionsDebugMode")) {
      VString ignored;
      _FindValue(next, endOfOptions, ignored);
      continue;
    }
    if (length == 1) {
      PrintError("missing short option `", entry, "`");
      return kError;
    }
    for (int32 k = 1; k < length; ++k) {
      const UniChar letter = units[k];
      const VString name(letter);
      VOptionBase* option = fInfos.FindShort(letter, takesValue);
      if (option == nullptr) {
        if (letter == '?' || letter == 'h') return showHelp();
        PrintError("unknown option `", name, "`");
        return kError;
      }
      if (_Give(option, takesValue, name, next, endOfOptions) != 0) return kError;
    }
  }
  return kContinue;
}

}  // namespace zeft
