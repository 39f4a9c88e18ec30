#include "AsideName.h"

#include <algorithm>
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

bool IsAsideName(const std::string& name, const std::string& bundleName, const std::string& tag) {
  std::string prefix;
  std::string extension;
  SplitName(bundleName, tag, prefix, extension);
  if (name.size() != prefix.size() + kDigits + extension.size() ||
      name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(prefix.size() + kDigits, extension.size(), extension) != 0)
    return false;
  const auto digits = name.begin() + std::string::difference_type(prefix.size());
  return std::all_of(digits, digits + kDigits, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace zeft
