#include "platform/BundleLocalizations.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace zeft::platform {

namespace {

constexpr const char* kLocalizationExtension = ".lproj";

// Lower case, '_' as '-'.
std::string Normalized(const std::string& tag) {
  std::string result;
  for (char c : tag) result.push_back(c == '_' ? '-' : char(std::tolower((unsigned char)c)));
  return result;
}

std::string LanguageOf(const std::string& normalized) {
  return normalized.substr(0, normalized.find('-'));
}

}  // namespace

std::vector<std::string> GetBundleLocalizations(const std::string& bundlePath) {
  std::vector<std::string> names;
  const std::string resources = bundlePath + "/Contents/Resources/";
  DIR* folder = ::opendir(resources.c_str());
  if (folder == nullptr) return names;
  const std::string extension = kLocalizationExtension;
  while (dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name.size() <= extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
      continue;
    struct stat status;
    if (::stat((resources + name).c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) continue;
    names.push_back(name.substr(0, name.size() - extension.size()));
  }
  ::closedir(folder);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> PreferredLocalizationsFromArray(
    const std::vector<std::string>& localizations, const std::vector<std::string>& preferred) {
  std::vector<std::string> ordered;
  auto add = [&ordered](const std::string& name) {
    if (std::find(ordered.begin(), ordered.end(), name) == ordered.end()) ordered.push_back(name);
  };
  for (const std::string& tag : preferred) {
    const std::string wanted = Normalized(tag);
    if (wanted.empty()) continue;
    auto exact = std::find_if(localizations.begin(), localizations.end(),
                              [&](const std::string& name) { return Normalized(name) == wanted; });
    if (exact != localizations.end()) {
      add(*exact);
      continue;
    }
    auto language =
        std::find_if(localizations.begin(), localizations.end(), [&](const std::string& name) {
          return LanguageOf(Normalized(name)) == LanguageOf(wanted);
        });
    if (language != localizations.end()) add(*language);
  }
  if (ordered.empty() && !localizations.empty()) ordered.push_back(localizations.front());
  return ordered;
}

}  // namespace zeft::platform
