#include "process/CommandLineArgument.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>
#include <type_traits>

#include "core/ASCIIText.h"
#include "core/StStringConverter.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "json/VJSONValue.h"
#include "platform/ItemKind.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VTask.h"

namespace zeft::Extension::CommandLineParser {

namespace {

// Longest number text accepted, white space excluded.
constexpr int32 kMaxNumberLength = 30;

// The character checks of the numeric rule: false for a blank value, a
// longer one or one holding anything but digits and signs. `text` receives
// the trimmed value in ASCII.
bool CheckNumberText(const VString& value, std::string& text) {
  VString trimmed(value);
  trimmed.RemoveWhiteSpaces(true, true, nullptr, nullptr, VTask::GetCurrentIntlManager());
  const int32 length = trimmed.GetLength();
  if (length == 0 || length > kMaxNumberLength) return false;
  text.clear();
  const UniChar* units = trimmed.GetCPointer();
  for (int32 i = 0; i < length; ++i) {
    const UniChar c = units[i];
    if (!((c >= '0' && c <= '9') || c == '-' || c == '+')) return false;
    text.push_back(char(c));
  }
  return true;
}

// Converts with base 0 and stores the result. True when the whole text
// was converted without a range error and the result fits T (checked
// before storing, so an out-of-range value never lands cut in the target).
template <class T, class Wide>
bool AppendNumber(T& target, const VString& value, Wide (*convert)(const char*, char**, int)) {
  std::string text;
  if (!CheckNumberText(value, text)) return false;
  // An unsigned target never takes a negative number ("-1" would wrap).
  if constexpr (std::is_unsigned_v<T>) {
    if (text.find('-') != std::string::npos) return false;
  }
  char* end = nullptr;
  errno = 0;
  const Wide converted = convert(text.c_str(), &end, 0);
  const bool rangeError = errno == ERANGE;
  if (converted < Wide(std::numeric_limits<T>::min()) ||
      converted > Wide(std::numeric_limits<T>::max()))
    return false;
  target = T(converted);
  return !rangeError && end != nullptr && *end == 0;
}

// Equal to the lower-case ASCII word in any letter case.
bool EqualsWordIgnoringCase(const VString& value, const char* word) {
  const UniChar* units = value.GetCPointer();
  int32 i = 0;
  for (; word[i] != 0; ++i) {
    if (i >= value.GetLength() || FoldASCII(units[i]) != UniChar(word[i])) return false;
  }
  return i == value.GetLength();
}

}  // namespace

bool Argument<bool>::Append(VCommandLineParser&, bool& target, const VString& value) {
  if (value.EqualToUSASCIICString("1") || EqualsWordIgnoringCase(value, "true")) {
    target = true;
    return true;
  }
  if (value.EqualToUSASCIICString("0") || EqualsWordIgnoringCase(value, "false")) {
    target = false;
    return true;
  }
  return false;
}

bool Argument<int>::Append(VCommandLineParser&, int& target, const VString& value) {
  return AppendNumber<int, long>(target, value, std::strtol);
}

bool Argument<unsigned int>::Append(VCommandLineParser&, unsigned int& target,
                                    const VString& value) {
  return AppendNumber<unsigned int, unsigned long>(target, value, std::strtoul);
}

bool Argument<long long>::Append(VCommandLineParser&, long long& target, const VString& value) {
  return AppendNumber<long long, long long>(target, value, std::strtoll);
}

bool Argument<unsigned long long>::Append(VCommandLineParser&, unsigned long long& target,
                                          const VString& value) {
  return AppendNumber<unsigned long long, unsigned long long>(target, value, std::strtoull);
}

bool Argument<VFilePath>::Append(VFilePath& target, const VString& value) {
  Resolve(target, value);
  return true;
}

bool Argument<VFilePath>::Resolve(VFilePath& target, const VString& value) {
  if (value.IsEmpty()) {
    target.Clear();
    return false;
  }
  StStringConverter<char> bytes(value, kCharSetUTF8);
  std::string resolved;
  platform::ItemKind kind = platform::ItemKind::kMissing;
  if (bytes.IsOK() &&
      !platform::ResolveLinks(std::string(bytes.GetCPointer(), bytes.GetSize()), resolved, kind)
           .Failed()) {
    VString path;
    path.FromBlock(resolved.data(), resolved.size(), kCharSetUTF8);
    if (kind == platform::ItemKind::kFolder && !path.EndsWithRawString(VString("/")))
      path.AppendUniChar('/');
    target.FromFullPath(path, kFilePathStylePosix);
    return true;
  }
  target.FromFullPath(value, kFilePathStylePosix);
  return false;
}

bool Argument<VRefPtr<VFile>>::Append(VRefPtr<VFile>& target, const VString& value) {
  target = nullptr;
  VFilePath path;
  if (!Argument<VFilePath>::Resolve(path, value) || !path.IsFile()) return false;
  VRefPtr<VFile> file(new VFile(path), kAdoptRef);
  if (file->IsAliasFile()) {
    VRefPtr<VFile> resolved = file;
    if (VFile::ResolveAliasFile(resolved, false) == VE_OK && resolved != nullptr) file = resolved;
  }
  if (!file->Exists()) return false;
  target = file;
  return true;
}

bool Argument<VRefPtr<VFolder>>::Append(VCommandLineParser&, VRefPtr<VFolder>& target,
                                        const VString& value) {
  target = nullptr;
  VFilePath path;
  if (!Argument<VFilePath>::Resolve(path, value) || !path.IsFolder()) return false;
  target = VRefPtr<VFolder>(new VFolder(path), kAdoptRef);
  return true;
}

bool Argument<VJSONValue>::Append(VCommandLineParser&, VJSONValue& target, const VString& value) {
  switch (target.GetType()) {
    case JSON_string:
      target.SetString(value);
      return true;
    case JSON_object:
    case JSON_undefined: {
      // A refusal is said on standard error; nothing stays on the stack.
      StErrorContextInstaller quiet(false, true);
      VJSONValue parsed;
      if (parsed.ParseFromString(value) != VE_OK) return false;
      target = std::move(parsed);
      return true;
    }
    case JSON_true:
    case JSON_false:
      for (const char* word : {"1", "true", "on"}) {
        if (EqualsWordIgnoringCase(value, word)) {
          target.SetBool(true);
          return true;
        }
      }
      for (const char* word : {"0", "false", "off"}) {
        if (EqualsWordIgnoringCase(value, word)) {
          target.SetBool(false);
          return true;
        }
      }
      return false;
    default:
      return false;
  }
}

}  // namespace zeft::Extension::CommandLineParser
