#include "process/StOptionsInfos.h"

#include <unistd.h>

#include <cstdio>

#include "core/StStringConverter.h"

namespace zeft::Private::CommandLineParser {

namespace {

constexpr const char* kOptionColour = "\033[0;32m";
constexpr const char* kParagraphColour = "\033[0;33m";
constexpr const char* kColourReset = "\033[0m";
constexpr const char* kHelpDescription = "Display the help and exit";

// The description column of an option line, and the widths of the texts
// that fit without wrapping.
constexpr int32 kDescriptionColumn = 29;
constexpr int32 kOptionTextWidth = 49;
constexpr int32 kParagraphWidth = 79;

bool IsWrapSeparator(UniChar c) {
  return c == ' ' || c == '.' || c == '\r' || c == '\n' || c == '\t';
}

void AppendBlanks(VString& out, int32 count) {
  for (int32 i = 0; i < count; ++i) out.AppendUniChar(' ');
}

void AppendRange(VString& out, const UniChar* text, int32 from, int32 to) {
  if (to > from) out.AppendUniChars(text + from, to - from);
}

// Appends `text` cut into lines of at most `width` characters at blanks,
// dots, carriage returns, line feeds and tabs; every line after the first
// begins with `indent` blanks. A word longer than the width stays whole on
// its own line. The separator at a break is dropped, except a dot, which
// ends its line. No line feed after the last line.
void AppendWrapped(VString& out, const VString& text, int32 width, int32 indent) {
  const UniChar* units = text.GetCPointer();
  const int32 length = text.GetLength();
  constexpr int32 kNone = -1;
  int32 start = 0;
  int32 candidate = kNone;
  int32 scan = 0;
  auto breakAt = [&](int32 cut) {
    AppendRange(out, units, start, units[cut] == '.' ? cut + 1 : cut);
    out.AppendUniChar('\n');
    AppendBlanks(out, indent);
    start = cut + 1;
    // The next line starts with no candidate of its own: every separator
    // after the cut is examined again from the new start.
    candidate = kNone;
    scan = start;
  };
  for (;;) {
    int32 separator = scan;
    while (separator < length && !IsWrapSeparator(units[separator])) ++separator;
    if (separator >= length) {
      if (length - start > width && candidate != kNone) breakAt(candidate);
      AppendRange(out, units, start, length);
      return;
    }
    if (separator - start > width) {
      breakAt(candidate != kNone ? candidate : separator);
    } else if (units[separator] == '\n') {
      breakAt(separator);
    } else {
      candidate = separator;
      scan = separator + 1;
    }
  }
}

VString WithoutTabs(const VString& text) {
  VString result(text);
  result.ExchangeRawString(VString("\t"), VString());
  return result;
}

void AppendOptionLine(VString& out, const VOptionBase& option, const VString& description,
                      bool colour) {
  if (colour) out.AppendCString(kOptionColour);
  const int32 lineStart = out.GetLength();
  const bool hasShort = option.HasShortName();
  if (hasShort) {
    out.AppendCString("  -");
    out.AppendUniChar(option.GetShortName());
  } else {
    AppendBlanks(out, 6);
  }
  if (!option.GetLongName().IsEmpty()) {
    if (hasShort) out.AppendCString(", ");
    out.AppendCString("--");
    out.AppendString(option.GetLongName());
    if (option.TakesValue()) out.AppendCString("=VALUE");
    const int32 used = out.GetLength() - lineStart;
    if (used >= kDescriptionColumn) {
      out.AppendUniChar('\n');
      AppendBlanks(out, kDescriptionColumn);
    } else {
      AppendBlanks(out, kDescriptionColumn - used);
    }
  } else if (hasShort) {
    if (option.TakesValue()) {
      out.AppendCString(" VALUE");
      AppendBlanks(out, 14);
    } else {
      AppendBlanks(out, 20);
    }
  } else if (option.TakesValue()) {
    AppendBlanks(out, 14);
  }
  if (colour) out.AppendCString(kColourReset);
  if (description.GetLength() <= kOptionTextWidth + 1)
    out.AppendString(description);
  else
    AppendWrapped(out, description, kOptionTextWidth, kDescriptionColumn);
  out.AppendUniChar('\n');
}

}  // namespace

StOptionsInfos::StOptionsInfos(const std::vector<VString>& arguments)
    : fArguments(arguments), fHasArguments(arguments.size() >= 2) {}

StOptionsInfos::~StOptionsInfos() = default;

void StOptionsInfos::RegisterOption(bool takesValue, VOptionBase* option) {
  if (option->HasShortName()) fShortOptions[option->GetShortName()] = Entry(option, takesValue);
  if (!option->GetLongName().IsEmpty())
    fLongOptions[option->GetLongName()] = Entry(option, takesValue);
  fOptions.emplace_back(option);
}

void StOptionsInfos::SetPositionalArguments(VOptionBase* option) { fPositional.reset(option); }

void StOptionsInfos::Clear() {
  fShortOptions.clear();
  fLongOptions.clear();
  fOptions.clear();
  fPositional.reset();
}

VOptionBase* StOptionsInfos::FindShort(UniChar name, bool& takesValue) const {
  auto found = fShortOptions.find(name);
  if (found == fShortOptions.end()) return nullptr;
  takesValue = found->second.second;
  return found->second.first;
}

VOptionBase* StOptionsInfos::FindLong(const VString& name, bool& takesValue) const {
  auto found = fLongOptions.find(name);
  if (found == fLongOptions.end()) return nullptr;
  takesValue = found->second.second;
  return found->second.first;
}

VString StOptionsInfos::BuildHelpUsage(const VString& programPath, bool colour) const {
  VString out("Usage: ");
  out.AppendString(programPath);
  out.AppendCString(" [OPTION]...");
  if (fPositional != nullptr) out.AppendCString(" [FILE]...");
  out.AppendUniChar('\n');
  for (const auto& option : fOptions) {
    if (option->IsHidden()) continue;
    if (!option->IsParagraph()) out.AppendUniChar('\n');
    break;
  }
  for (const auto& option : fOptions) {
    if (option->IsHidden()) continue;
    const VString description = WithoutTabs(option->GetDescription());
    if (!option->IsParagraph()) {
      AppendOptionLine(out, *option, description, colour);
      continue;
    }
    if (description.IsEmpty()) continue;
    if (colour) out.AppendCString(kParagraphColour);
    if (description.GetLength() <= kParagraphWidth)
      out.AppendString(description);
    else
      AppendWrapped(out, description, kParagraphWidth, 0);
    if (colour) out.AppendCString(kColourReset);
    out.AppendUniChar('\n');
  }
  bool takesValue = false;
  if (FindLong(VString("help"), takesValue) == nullptr) {
    const UniChar shortName = FindShort('h', takesValue) == nullptr ? UniChar('h') : UniChar(0);
    VOptionBase help(shortName, VString("help"), VString(kHelpDescription), false);
    AppendOptionLine(out, help, help.GetDescription(), colour);
  }
  return out;
}

void StOptionsInfos::HelpUsage(const VString& programPath) const {
  const VString text = BuildHelpUsage(programPath, ::isatty(STDOUT_FILENO) == 1);
  StStringConverter<char> bytes(text, kCharSetUTF8);
  std::fwrite(bytes.GetCPointer(), 1, bytes.GetSize(), stdout);
}

}  // namespace zeft::Private::CommandLineParser
