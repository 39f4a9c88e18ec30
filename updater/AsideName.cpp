#include "AsideName.h"

#include <cstdio>

namespace zeft {

namespace {

constexpr size_t kDigits = 4;

// The bundle's name before the number, and the extension (with its dot)
// after it.
void SplitName(const std::string& bundleName, const std::string& tag, std::string& prefix,
               std::string& extension) {
  const size_t dot = bundleName.rfind('.');
  prefix = bundleName.substr(0, dot);
  extension = dot == std::string::npos ? std::string() : bundleName.substr(dot);
  if (!tag.empty()) prefix += "_" + tag;
}

}  // namespace

std::string MakeAsideName(const std::string& bundleName, const std::string& tag, int number) {
  std::string prefix;
  std::string extension;
  SplitName(bundleName, tag, prefix, extension);
  char digits[16];
  std::snprintf(digits, sizeof(digits), "%04d", number);
  return prefix + digits + extension;
}

int AsideNumber(const std::string& name, const std::string& bundleName, const std::string& tag) {
  std::string prefix;
  std::string extension;
  SplitName(bundleName, tag, prefix, extension);
  if (name.size() != prefix.size() + kDigits + extension.size() ||
      name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(prefix.size() + kDigits, extension.size(), extension) != 0)
    return -1;
  int number = 0;
  for (size_t i = prefix.size(); i < prefix.size() + kDigits; ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

}  // namespace zeft
