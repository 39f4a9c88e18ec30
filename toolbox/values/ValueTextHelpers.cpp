#include "values/ValueTextHelpers.h"

#include "core/CharSet.h"
#include "core/StStringConverter.h"
#include "core/VIntlMgr.h"
#include "runtime/VTask.h"

namespace zeft::value_text {

namespace {

// The first unit of the current decimal separator; "." without settings.
UniChar DecimalSeparatorUnit() {
  const VIntlMgr* intl = VTask::GetCurrentIntlManager();
  if (intl != nullptr && !intl->GetDecimalSeparator().IsEmpty()) {
    return intl->GetDecimalSeparator().GetCPointer()[0];
  }
  return u'.';
}

}  // namespace

int64 ReadLong8(const VString& text) {
  const int32 length = text.GetLength();
  if (length == 0) return 0;
  const UniChar separator = DecimalSeparatorUnit();
  const UniChar* units = text.GetCPointer();
  uint64 value = 0;  // unsigned so that long runs wrap without overflow
  bool negative = false;
  for (int32 i = 0; i < length; ++i) {
    const UniChar c = units[i];
    if (c >= u'0' && c <= u'9') {
      value = value * 10 + uint64(c - u'0');
    } else if (c == u'-') {
      if (value == 0) negative = true;
    } else if (c == separator) {
      break;
    }
  }
  if (negative) value = uint64(0) - value;
  return int64(value);
}

int32 ReadLong(const VString& text) {
  const int64 value = ReadLong8(text);
  return value == int64(int32(value)) ? int32(value) : 0;
}

std::string ToUTF8(const VString& text, size_t maxBytes) {
  StStringConverter<char> converter(text, kCharSetUTF8);
  std::string bytes(converter.GetCPointer(), converter.GetSize());
  if (bytes.size() > maxBytes) bytes.resize(maxBytes);
  return bytes;
}

}  // namespace zeft::value_text
