#include "process/VCommandLineOption.h"

#include "process/VCommandLineParser.h"

namespace zeft::Private::CommandLineParser {

namespace {
// Refused values longer than this are cut in the error line.
constexpr int32 kMaxShownValueLength = 80;
}  // namespace

VOptionBase::VOptionBase(UniChar shortName, const VString& longName, const VString& description,
                         bool takesValue)
    : fShortName(shortName),
      fLongName(longName),
      fDescription(description),
      fTakesValue(takesValue) {}

VOptionBase::~VOptionBase() = default;

uint32 VOptionBase::AppendArgument(VCommandLineParser&, const VString&) { return 1; }

void VOptionBase::SetFlag() {}

bool VOptionBase::AppendFullName(VString& text) const {
  const bool hasShort = HasShortName();
  const bool hasLong = !fLongName.IsEmpty();
  if (!hasShort && !hasLong) return false;
  if (hasShort) {
    text.AppendUniChar('-');
    text.AppendUniChar(fShortName);
  }
  if (hasShort && hasLong) text.AppendCString(", ");
  if (hasLong) {
    text.AppendCString("--");
    text.AppendString(fLongName);
  }
  return true;
}

void VOptionBase::PrintErrorWhenAppendingInvalidValue(const VString& message, VString value) const {
  VString text("invalid value for argument '");
  if (!AppendFullName(text)) text.AppendCString("<anonymous>");
  text.AppendCString("' got ");
  if (value.IsEmpty()) {
    text.AppendCString("empty value ");
  } else {
    text.AppendUniChar('"');
    if (value.GetLength() > kMaxShownValueLength) {
      value.Truncate(kMaxShownValueLength, true);
      value.AppendCString("...");
    }
    text.AppendString(value);
    text.AppendCString("\" ");
  }
  text.AppendString(message);
  VCommandLineParser::PrintArgumentError(text);
}

}  // namespace zeft::Private::CommandLineParser
