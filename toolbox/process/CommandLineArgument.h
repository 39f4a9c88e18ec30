// The conversions of command-line values into typed variables: one
// Argument<T> per supported type. Append stores the value and tells whether
// it was taken; kRefusal is the message printed when it was not; SetFlag
// is what an option given without value stores.
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/VFilePath.h"

namespace zeft {

class VCommandLineParser;
class VFile;
class VFolder;
class VJSONValue;

namespace Extension::CommandLineParser {

template <class T>
struct Argument;

template <>
struct Argument<bool> {
  static constexpr const char* kRefusal = "expected 0, 1, true or false";
  // "1" or "true", "0" or "false" (the words in any case).
  static bool Append(VCommandLineParser& parser, bool& target, const VString& value);
  static void SetFlag(bool& target) { target = true; }
};

// Numbers: white space trimmed at both ends, at most 30 characters of
// digits, '-' and '+', base 0 (a leading 0 is octal). A value that passes
// the character checks is stored even when it is then refused for trailing
// text or a range error; a value beyond the target's range is refused
// without storing anything.
template <>
struct Argument<int> {
  static constexpr const char* kRefusal = "expected a signed integral";
  static bool Append(VCommandLineParser& parser, int& target, const VString& value);
  static void SetFlag(int& target) { target = 1; }
};

template <>
struct Argument<unsigned int> {
  static constexpr const char* kRefusal = "expected an unsigned integral";
  static bool Append(VCommandLineParser& parser, unsigned int& target, const VString& value);
  static void SetFlag(unsigned int& target) { target = 1; }
};

template <>
struct Argument<long long> {
  static constexpr const char* kRefusal = "expected a signed integral";
  static bool Append(VCommandLineParser& parser, long long& target, const VString& value);
  static void SetFlag(long long& target) { target = 1; }
};

template <>
struct Argument<unsigned long long> {
  static constexpr const char* kRefusal = "expected an unsigned integral";
  static bool Append(VCommandLineParser& parser, unsigned long long& target, const VString& value);
  static void SetFlag(unsigned long long& target) { target = 1; }
};

template <>
struct Argument<VString> {
  static constexpr const char* kRefusal = "";
  static bool Append(VCommandLineParser&, VString& target, const VString& value) {
    target = value;
    return true;
  }
  static void SetFlag(VString& target) { target = "1"; }
};

template <>
struct Argument<std::vector<VString>> {
  static constexpr const char* kRefusal = "empty text";
  static bool Append(VCommandLineParser&, std::vector<VString>& target, const VString& value) {
    target.push_back(value);
    return true;
  }
  static void SetFlag(std::vector<VString>& target) { target.assign(1, VString()); }
};

template <>
struct Argument<VFilePath> {
  static constexpr const char* kRefusal = "";
  // Always taken: the resolved path when `realpath` finds the item (a
  // folder's ending with '/'), else the value as a POSIX path.
  static bool Append(VFilePath& target, const VString& value);
  static bool Append(VCommandLineParser&, VFilePath& target, const VString& value) {
    return Append(target, value);
  }
  static void SetFlag(VFilePath&) {}
  // The path rule: false when the value is empty or does not resolve.
  static bool Resolve(VFilePath& target, const VString& value);
};

// An existing file (a link followed); otherwise the target becomes null and
// the value is refused.
template <>
struct Argument<VRefPtr<VFile>> {
  static constexpr const char* kRefusal = "expected an existing file";
  static bool Append(VRefPtr<VFile>& target, const VString& value);
  static bool Append(VCommandLineParser&, VRefPtr<VFile>& target, const VString& value) {
    return Append(target, value);
  }
  static void SetFlag(VRefPtr<VFile>&) {}
};

// An existing folder; otherwise the target becomes null and the value is
// refused.
template <>
struct Argument<VRefPtr<VFolder>> {
  static constexpr const char* kRefusal = "expected an existing folder";
  static bool Append(VCommandLineParser& parser, VRefPtr<VFolder>& target, const VString& value);
  static void SetFlag(VRefPtr<VFolder>&) {}
};

// By the target's current kind: a string takes the value as it is; an
// object or undefined takes the value parsed as JSON text; a boolean takes
// "1", "true", "on" or "0", "false", "off" (any case). Anything else, or
// text that does not parse, is refused and the target left as it was.
template <>
struct Argument<VJSONValue> {
  static constexpr const char* kRefusal = "expected a valid JSON value";
  static bool Append(VCommandLineParser& parser, VJSONValue& target, const VString& value);
  static void SetFlag(VJSONValue&) {}
};

}  // namespace Extension::CommandLineParser

}  // namespace zeft
