// The XML text of a bag (one element: attributes, child elements, character
// data) and the typing of XML attribute texts as values.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>

#include "core/ASCIIText.h"
#include "core/CharSet.h"
#include "core/UTF16Surrogates.h"
#include "core/VBoolean.h"
#include "core/VIntlMgr.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"
#include "values/VBagArray.h"
#include "values/VUUID.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constexpr UniChar kTab = 0x09;
constexpr UniChar kLineFeed = 0x0A;
constexpr UniChar kReturn = 0x0D;
constexpr UniChar kMinusSign = 0x2212;

bool IsLineBreakOrTab(UniChar c) { return c == kTab || c == kLineFeed || c == kReturn; }

// Attributes used by the JSON form only.
bool IsHiddenAttribute(const VString& name) {
  return name.EqualToUSASCIICString("____objectunic") ||
         name.EqualToUSASCIICString("____property_name_in_jsarray");
}

constexpr bool IsNameStart(uint32 c) {
  return c == ':' || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

constexpr bool IsNameChar(uint32 c) {
  return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// Appends the units of [text, text + count) that XML can carry: tab, line
// feed and carriage return only when `keepBreaks` is set, U+0020 to U+D7FF,
// U+E000 to U+FFFD, and surrogate pairs. A unit that cannot be carried is
// dropped alone (a lone high surrogate does not take its follower with it).
// Answers the number of units appended.
int32 AppendXMLChars(VString& out, const UniChar* text, int32 count, bool keepBreaks) {
  int32 appended = 0;
  int32 runStart = 0;
  int32 i = 0;
  auto flush = [&](int32 end) {
    if (end > runStart) {
      out.AppendUniChars(text + runStart, end - runStart);
      appended += end - runStart;
    }
  };
  while (i < count) {
    UniChar c = text[i];
    if ((c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
        (keepBreaks && IsLineBreakOrTab(c))) {
      ++i;
    } else if (IsHighSurrogate(c) && i + 1 < count && IsLowSurrogate(text[i + 1])) {
      i += 2;
    } else {
      flush(i);
      runStart = ++i;
    }
  }
  flush(count);
  return appended;
}

// Writes into a string's own buffer: room is reserved ahead, units are
// stored in place, and the length is set once, when the writer goes.
class StTextWriter {
 public:
  explicit StTextWriter(VString& out) : fOut(out), fLength(out.GetLength()) {}
  ~StTextWriter() {
    if (fUnits != nullptr) fOut.Validate(fLength);
  }
  StTextWriter(const StTextWriter&) = delete;
  StTextWriter& operator=(const StTextWriter&) = delete;

  // Room for `count` more units; false (the string raised why) when it
  // cannot be had.
  bool Reserve(int64 count) {
    if (fUnits != nullptr && count <= fCapacity - fLength) return true;
    const int64 needed = int64(fLength) + count;
    if (needed > std::numeric_limits<int32>::max()) {
      _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
      return false;
    }
    if (fUnits != nullptr) fOut.Validate(fLength);
    fUnits = fOut.GetCPointerForWrite(int32(needed));
    fCapacity = fOut.GetCapacity();
    return fUnits != nullptr;
  }
  void Put(UniChar c) {
    if (Reserve(1)) fUnits[fLength++] = c;
  }
  void PutASCII(const char* text, size_t count) {
    if (!Reserve(int64(count))) return;
    for (size_t i = 0; i < count; ++i) fUnits[fLength + int32(i)] = UniChar(uint8(text[i]));
    fLength += int32(count);
  }
  void PutUnits(const UniChar* units, int32 count) {
    if (!Reserve(count)) return;
    std::memcpy(fUnits + fLength, units, size_t(count) * sizeof(UniChar));
    fLength += count;
  }
  // An attribute value: what XML can carry (see AppendXMLChars), with tab,
  // line feed and carriage return as character references so that readers
  // do not turn them into spaces. With `escapeMarkup` the five markup
  // characters become entities too. One pass over the text.
  void PutAttributeText(const UniChar* p, int32 n, bool escapeMarkup);

 private:
  VString& fOut;
  UniChar* fUnits = nullptr;
  int32 fLength;
  int32 fCapacity = 0;
};

void StTextWriter::PutAttributeText(const UniChar* p, int32 n, bool escapeMarkup) {
  // Each unit gives at most one unit but for the references, which reserve
  // their own surplus.
  if (!Reserve(n)) return;
  UniChar* units = fUnits;
  int32 length = fLength;
  for (int32 i = 0; i < n; ++i) {
    const UniChar c = p[i];
    if (c > '>' && c < 0xD800) {
      units[length++] = c;
      continue;
    }
    const char* replacement = nullptr;
    if (c <= '>') {
      replacement = c == kTab        ? "&#x9;"
                    : c == kLineFeed ? "&#xA;"
                    : c == kReturn   ? "&#xD;"
                                     : nullptr;
      if (replacement == nullptr && escapeMarkup) {
        replacement = c == '"'    ? "&quot;"
                      : c == '&'  ? "&amp;"
                      : c == '\'' ? "&apos;"
                      : c == '<'  ? "&lt;"
                      : c == '>'  ? "&gt;"
                                  : nullptr;
      }
      if (replacement == nullptr) {
        if (c >= 0x20) units[length++] = c;
        continue;
      }
    } else if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(p[i + 1])) {
      units[length++] = c;
      units[length++] = p[++i];
      continue;
    } else {
      // Lone surrogates, U+FFFE and U+FFFF cannot be carried.
      if (c >= 0xE000 && c <= 0xFFFD) units[length++] = c;
      continue;
    }
    const size_t size = std::strlen(replacement);
    fLength = length;
    if (!Reserve(int64(size) + (n - i - 1))) return;
    units = fUnits;
    for (size_t k = 0; k < size; ++k) units[length++] = UniChar(uint8(replacement[k]));
  }
  fLength = length;
}

// ASCII classes of XML names: 1 may start a name, 2 may follow.
constexpr auto kASCIINameClasses = [] {
  std::array<uint8, 128> table{};
  for (uint32 c = 0; c < 128; ++c) table[c] = IsNameStart(c) ? 1 : IsNameChar(c) ? 2 : 0;
  return table;
}();

// An attribute key of ASCII bytes checked as an XML name in place.
bool IsASCIIXMLName(const char* text, size_t length) {
  if (length == 0 || kASCIINameClasses[uint8(text[0])] != 1) return false;
  for (size_t i = 1; i < length; ++i) {
    if (kASCIINameClasses[uint8(text[i])] == 0) return false;
  }
  return true;
}

bool IsHiddenAttributeKey(const char* text, size_t length) {
  constexpr std::string_view kObjectUnic = "____objectunic";
  constexpr std::string_view kPropertyName = "____property_name_in_jsarray";
  const std::string_view key(text, length);
  return key == kObjectUnic || key == kPropertyName;
}

bool IsASCII(const char* text, size_t length) {
  uint8 all = 0;
  for (size_t i = 0; i < length; ++i) all |= uint8(text[i]);
  return (all & 0x80) == 0;
}

// The name of the attribute at the 0-based index, decoded from its UTF-8
// key (ASCII names without the converter).
void GetAttributeName(const VValueBag::AttributeStore& store, size_t index, VString& name) {
  size_t length = 0;
  const char* text = store.GetKeyText(index, length);
  UniChar units[StPackedDictionaryKey::kMaxLength];
  for (size_t i = 0; i < length; ++i) {
    if ((uint8(text[i]) & 0x80) != 0) {
      name.FromBlock(text, length, kCharSetUTF8);
      return;
    }
    units[i] = UniChar(uint8(text[i]));
  }
  name.FromUniString(units, int32(length));
}

void RaiseInvalidName(const VString& name) {
  _ThrowError(ToolboxError(toolbox_error::kBagXMLInvalidName), &name);
}

// 0-based index of "]]>" in text[from, count), or -1.
int32 FindCDataEnd(const UniChar* text, int32 from, int32 count) {
  for (int32 i = from; i + 2 < count; ++i) {
    if (text[i] == ']' && text[i + 1] == ']' && text[i + 2] == '>') return i;
  }
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Writing

bool VValueBag::IsXMLName(const VString& name) {
  const auto& kASCII = kASCIINameClasses;
  const UniChar* p = name.GetCPointer();
  const int32 n = name.GetLength();
  if (n == 0) return false;
  for (int32 i = 0; i < n; ++i) {
    const bool first = i == 0;
    uint32 c = p[i];
    if (c < 128) {
      if (kASCII[c] == 0 || (first && kASCII[c] != 1)) return false;
      continue;
    }
    if (IsHighSurrogate(p[i])) {
      if (i + 1 >= n || !IsLowSurrogate(p[i + 1])) return false;
      c = CombineSurrogates(p[i], p[i + 1]);
      ++i;
    } else if (IsLowSurrogate(p[i])) {
      return false;
    }
    if (!(first ? IsNameStart(c) : IsNameChar(c))) return false;
  }
  return true;
}

void VValueBag::DumpXML(VString& out, const VString& elementName, bool indent) const {
  _DumpXML(out, elementName, indent ? 0 : -1);
}

void VValueBag::DumpXMLIndentation(VString& out, int level) {
  static constexpr UniChar kTabs[100] = {
      kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab,
      kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab,
      kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab,
      kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab,
      kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab,
      kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab,
      kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab, kTab};
  if (level >= 1) out.AppendUniChars(kTabs, level < 100 ? level : 100);
}

void VValueBag::_DumpXML(VString& out, const VString& elementName, int level) const {
  if (!IsXMLName(elementName)) {
    RaiseInvalidName(elementName);
    return;
  }
  if (level >= 1) DumpXMLIndentation(out, level);
  const int cdata = FindAttribute(CDataAttributeName());
  DumpXMLAttributes(out, elementName, cdata);

  const int32 elementNames = GetElementNamesCount();
  if (elementNames > 0) {
    const int childLevel = level >= 0 ? level + 1 : -1;
    VStr<63> name;
    for (int32 n = 1; n <= elementNames; ++n) {
      VBagArray* bags = GetNthElementName(n, &name);
      if (bags == nullptr) continue;
      if (!IsXMLName(name)) {
        RaiseInvalidName(name);
        continue;
      }
      for (int32 j = 1, count = bags->GetCount(); j <= count; ++j) {
        const VValueBag* bag = bags->GetNth(j);
        if (bag == nullptr) continue;
        out.AppendUniChar(kLineFeed);
        bag->_DumpXML(out, name, childLevel);
      }
    }
  }
  // Closed with "/>" by DumpXMLAttributes.
  if (cdata == 0 && elementNames == 0) return;

  // Line feeds are written with and without indentation; only the tabs
  // depend on the level.
  const bool closingOnItsOwnLine = cdata != 0 ? DumpXMLCData(out, cdata) : true;
  if (closingOnItsOwnLine) {
    out.AppendUniChar(kLineFeed);
    DumpXMLIndentation(out, level);
  }
  out.AppendCString("</");
  out.AppendString(elementName);
  out.AppendUniChar('>');
}

void VValueBag::DumpXMLAttributes(VString& out, const VString& elementName,
                                  int cdataPosition) const {
  if (!IsXMLName(elementName)) {
    RaiseInvalidName(elementName);
    return;
  }
  out.AppendUniChar('<');
  out.AppendString(elementName);
  const int32 count = GetAttributesCount();
  StTextWriter writer(out);
  // Room for names, quotes and short values, reserved once.
  writer.Reserve(std::min<int64>(int64(count) * 32, int64(1) << 20));
  VStr<63> name;
  VStr<255> text;
  for (int32 i = 1; i <= count; ++i) {
    if (i == cdataPosition) continue;
    const size_t index = size_t(i - 1);
    const VValueSingle* value = fAttributes.GetNthValue(index);
    // A value whose kind has no descriptor cannot be written.
    if (value == nullptr) continue;
    size_t keyLength = 0;
    const char* key = fAttributes.GetKeyText(index, keyLength);
    if (IsASCII(key, keyLength)) {
      // Checked and written from the key's own bytes.
      if (IsHiddenAttributeKey(key, keyLength)) continue;
      if (!IsASCIIXMLName(key, keyLength)) {
        GetAttributeName(fAttributes, index, name);
        RaiseInvalidName(name);
        continue;
      }
      writer.Put(' ');
      writer.PutASCII(key, keyLength);
    } else {
      GetAttributeName(fAttributes, index, name);
      if (IsHiddenAttribute(name)) continue;
      if (!IsXMLName(name)) {
        RaiseInvalidName(name);
        continue;
      }
      writer.Put(' ');
      writer.PutUnits(name.GetCPointer(), name.GetLength());
    }
    writer.PutASCII("=\"", 2);
    // Numbers are formatted straight into the output: their text needs no
    // escaping.
    char number[VReal::kMaxTextSize];
    switch (value->GetValueKind()) {
      case kValueKindLong:
      case kValueKindLong8: {
        const auto written = std::to_chars(number, number + sizeof(number), value->GetLong8());
        writer.PutASCII(number, size_t(written.ptr - number));
        break;
      }
      case kValueKindReal:
        writer.PutASCII(number, VReal::RealToXMLChars(value->GetReal(), number));
        break;
      case kValueKindString:
        if (const auto* string = dynamic_cast<const VString*>(value)) {
          // Its XML form, escaped without a copy.
          writer.PutAttributeText(string->GetCPointer(), string->GetLength(), true);
          break;
        }
        [[fallthrough]];
      default:
        value->GetXMLString(text, 1);
        writer.PutAttributeText(text.GetCPointer(), text.GetLength(), false);
        break;
    }
    writer.Put('"');
  }
  if (cdataPosition == 0 && GetElementNamesCount() == 0) writer.Put('/');
  writer.Put('>');
}

bool VValueBag::DumpXMLCData(VString& out, int cdataPosition) const {
  const VValueSingle* value = GetNthAttribute(cdataPosition, nullptr);
  if (value == nullptr) return true;
  VString text;
  value->GetString(text);
  const UniChar* t = text.GetCPointer();
  const int32 n = text.GetLength();

  static constexpr UniChar kMarkup[] = {'&', '<', '>', '"', '\''};
  if (!NeedsEscapeSequence(text, kMarkup, kMarkup + std::size(kMarkup))) {
    if (n == 0) return true;
    return AppendXMLChars(out, t, n, false) == 0;
  }

  // A "]]>" of the text ends the section itself; its two brackets are
  // written again outside it and a new section starts with its ">", so a
  // reader gets the text back exactly.
  out.AppendCString("<![CDATA[");
  int32 p = 0;
  while (p < n) {
    int32 f = FindCDataEnd(t, p, n);
    if (f < 0) {
      AppendXMLChars(out, t + p, n - p, true);
      break;
    }
    AppendXMLChars(out, t + p, f + 3 - p, true);
    out.AppendCString("]]<![CDATA[>");
    p = f + 3;
  }
  out.AppendCString("]]>");
  return false;
}

bool VValueBag::NeedsEscapeSequence(const VString& text, const UniChar* setBegin,
                                    const UniChar* setEnd) {
  const UniChar* p = text.GetCPointer();
  const int32 n = text.GetLength();
  if (n == 0) return false;
  if (setBegin != nullptr && setBegin < setEnd) {
    for (int32 i = 0; i < n; ++i) {
      for (const UniChar* s = setBegin; s < setEnd; ++s) {
        if (p[i] == *s) return true;
      }
    }
  }
  bool hasBreak = false;
  bool hasOther = false;
  for (int32 i = 0; i < n && !(hasBreak && hasOther); ++i) {
    if (IsLineBreakOrTab(p[i])) {
      hasBreak = true;
    } else if (p[i] != ' ') {
      hasOther = true;
    }
  }
  return hasBreak && hasOther;
}

// ---------------------------------------------------------------------------
// Typing attribute texts

namespace {

// White space when the task has no international settings.
bool IsDefaultSpace(UniChar c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool IsDigit(UniChar c) { return c >= '0' && c <= '9'; }

bool Equals(const UniChar* p, int32 n, const char* ascii) {
  int32 len = int32(std::strlen(ascii));
  if (n != len) return false;
  for (int32 i = 0; i < n; ++i) {
    if (p[i] != UniChar(uint8(ascii[i]))) return false;
  }
  return true;
}

// 32 hexadecimal digits, optionally in braces, with single dashes allowed
// between digits.
VValueSingle* ParseUUID(const UniChar* p, int32 n) {
  if (n < 32) return nullptr;
  if (p[0] == '{') {
    if (p[n - 1] != '}') return nullptr;
    ++p;
    n -= 2;
  }
  VUUIDBuffer buffer;
  int32 digits = 0;
  for (int32 i = 0; i < n; ++i) {
    if (p[i] == '-' || p[i] == kMinusSign) {
      if (i == 0 || i + 1 >= n || HexDigitValue(p[i - 1]) < 0 || HexDigitValue(p[i + 1]) < 0)
        return nullptr;
      continue;
    }
    int v = HexDigitValue(p[i]);
    if (v < 0 || digits == 32) return nullptr;
    buffer.fBytes[digits / 2] = uint8((buffer.fBytes[digits / 2] << 4) | v);
    ++digits;
  }
  if (digits != 32) return nullptr;
  return new VUUID(buffer);
}

// The number rule: [-]digits[.digits][(E|e)[sign]digits], the whole text.
VValueSingle* ParseNumber(const UniChar* p, int32 n, bool negative) {
  constexpr int32 kMaxCopy = 199;
  char copy[kMaxCopy + 1];
  int32 used = 0;
  auto add = [&](char c) {
    if (used >= kMaxCopy) return false;
    copy[used++] = c;
    return true;
  };
  if (negative && !add('-')) return nullptr;
  const int32 digitsStart = used;
  int32 i = 0;
  for (; i < n && IsDigit(p[i]); ++i) {
    if (!add(char(p[i]))) return nullptr;
  }
  const int32 digitsEnd = used;
  bool isReal = false;
  if (i < n && p[i] == '.') {
    ++i;
    if (i >= n || !IsDigit(p[i])) return nullptr;
    if (!add('.')) return nullptr;
    for (; i < n && IsDigit(p[i]); ++i) {
      if (!add(char(p[i]))) return nullptr;
    }
    isReal = true;
  }
  if (i < n && (p[i] == 'E' || p[i] == 'e')) {
    ++i;
    if (!add('e')) return nullptr;
    if (i < n && (p[i] == '+' || p[i] == '-' || p[i] == kMinusSign)) {
      if (p[i] != '+' && !add('-')) return nullptr;
      ++i;
    }
    if (i >= n || !IsDigit(p[i])) return nullptr;
    for (; i < n && IsDigit(p[i]); ++i) {
      if (!add(char(p[i]))) return nullptr;
    }
    isReal = true;
  }
  if (i != n) return nullptr;

  if (isReal) {
    double value = 0;
    auto result = std::from_chars(copy, copy + used, value);
    if (result.ec != std::errc() || result.ptr != copy + used) return nullptr;
    return new VReal(value);
  }

  uint64 magnitude = 0;
  for (int32 k = digitsStart; k < digitsEnd; ++k) {
    uint64 digit = uint64(copy[k] - '0');
    if (magnitude > (std::numeric_limits<uint64>::max() - digit) / 10) return nullptr;
    magnitude = magnitude * 10 + digit;
  }
  if (magnitude <= 0x7FFFFFFF) return new VLong(negative ? -int32(magnitude) : int32(magnitude));
  // Larger values must be written exactly as the number reads back (no
  // leading zeros) and fit in 64 bits.
  int64 value = 0;
  auto result = std::from_chars(copy, copy + digitsEnd, value);
  if (result.ec != std::errc() || result.ptr != copy + digitsEnd) return nullptr;
  char back[24];
  auto written = std::to_chars(back, back + sizeof(back), value);
  if (written.ptr - back != digitsEnd || std::memcmp(back, copy, size_t(digitsEnd)) != 0) {
    return nullptr;
  }
  return new VLong8(value);
}

}  // namespace

VValueSingle* ParseXMLValue(const VString& text) {
  const UniChar* p = text.GetCPointer();
  int32 begin = 0;
  int32 end = text.GetLength();
  // Without international settings for the task, the Unicode spaces.
  VIntlMgr* intl = VTask::GetCurrentIntlManager();
  auto isSpace = [intl](UniChar c) {
    return intl != nullptr ? intl->IsSpace(c) : IsDefaultSpace(c);
  };
  while (begin < end && isSpace(p[begin])) ++begin;
  while (end > begin && isSpace(p[end - 1])) --end;

  VValueSingle* result = nullptr;
  if (begin < end) {
    UniChar sign = 0;
    int32 i = begin;
    if (p[i] == '+' || p[i] == '-' || p[i] == kMinusSign) sign = p[i++];
    const UniChar* rest = p + i;
    const int32 n = end - i;
    const bool negative = sign == '-' || sign == kMinusSign;
    const UniChar first = n > 0 ? rest[0] : 0;
    if (n > 0 && first >= '0' && first <= '{') {
      if (first == 'I') {
        if (sign != '+' && Equals(rest, n, "INF")) {
          result = new VReal(negative ? -std::numeric_limits<double>::infinity()
                                      : std::numeric_limits<double>::infinity());
        }
      } else if (first == 'N') {
        if (sign == 0 && Equals(rest, n, "NaN")) result = new VReal(std::nan(""));
      } else if (first == 'f') {
        if (sign == 0) {
          result = Equals(rest, n, "false") ? new VBoolean(0) : ParseUUID(rest, n);
        }
      } else if (first == 't') {
        if (sign == 0 && Equals(rest, n, "true")) result = new VBoolean(1);
      } else if (first == '{') {
        if (sign == 0) result = ParseUUID(rest, n);
      } else if (IsDigit(first)) {
        result = ParseNumber(rest, n, negative);
        if (result == nullptr && sign == 0) result = ParseUUID(rest, n);
      }
    }
  }
  return result != nullptr ? result : new VString(text);
}

}  // namespace zeft
