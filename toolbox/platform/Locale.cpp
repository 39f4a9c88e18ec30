#include "platform/Locale.h"

#include <dirent.h>
#include <unicode/ucal.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>

#include "platform/ItemKind.h"
#include "platform/UserEnvironment.h"

namespace zeft::platform {

namespace {

std::mutex sLocaleMutex;
std::optional<LocaleEnvironment> sTestEnvironment;

// ASCII letters folded to lower case; other bytes as they are, whatever the
// C library's locale.
std::uint8_t FoldASCII(std::uint8_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldASCII(std::uint8_t(a[i])) != FoldASCII(std::uint8_t(b[i]))) return false;
  }
  return true;
}

// "…/zoneinfo/Europe/Paris" -> "Europe/Paris"; "" when no zoneinfo part.
std::string ZoneFromPath(const std::string& path) {
  static const std::string kMarker = "zoneinfo/";
  size_t at = path.rfind(kMarker);
  if (at == std::string::npos) return std::string();
  std::string zone = path.substr(at + kMarker.size());
  // posix/ and right/ are variants of the same zones.
  for (const char* prefix : {"posix/", "right/"}) {
    if (zone.rfind(prefix, 0) == 0) zone.erase(0, std::strlen(prefix));
  }
  return zone;
}

}  // namespace

std::vector<std::string> PreferredLanguagesFrom(const LocaleEnvironment& env) {
  std::vector<std::string> names;
  if (!env.fLanguage.empty()) {
    size_t start = 0;
    while (start <= env.fLanguage.size()) {
      size_t end = env.fLanguage.find(':', start);
      if (end == std::string::npos) end = env.fLanguage.size();
      if (end > start) names.push_back(env.fLanguage.substr(start, end - start));
      start = end + 1;
    }
  } else if (!env.fLcAll.empty()) {
    names.push_back(env.fLcAll);
  } else if (!env.fLcMessages.empty()) {
    names.push_back(env.fLcMessages);
  } else if (!env.fLang.empty()) {
    names.push_back(env.fLang);
  }
  std::vector<std::string> tags;
  tags.reserve(names.size());
  for (const std::string& name : names) tags.push_back(CanonicalLanguageTag(name));
  return tags;
}

std::vector<std::string> GetPreferredLanguages() {
  LocaleEnvironment env;
  {
    std::lock_guard<std::mutex> lock(sLocaleMutex);
    if (sTestEnvironment.has_value()) {
      env = *sTestEnvironment;
    } else {
      env.fLanguage = GetEnvironmentVariable("LANGUAGE");
      env.fLcAll = GetEnvironmentVariable("LC_ALL");
      env.fLcMessages = GetEnvironmentVariable("LC_MESSAGES");
      env.fLang = GetEnvironmentVariable("LANG");
    }
  }
  return PreferredLanguagesFrom(env);
}

void SetLocaleEnvironmentForTesting(const LocaleEnvironment* env) {
  std::lock_guard<std::mutex> lock(sLocaleMutex);
  if (env != nullptr)
    sTestEnvironment = *env;
  else
    sTestEnvironment.reset();
}

namespace {

std::string CanonicalizeOnce(const std::string& name) {
  std::string base = name.substr(0, name.find_first_of(".@"));
  if (base.empty() || base == "C" || base == "POSIX" || base.size() > 100) return std::string();
  char localeID[ULOC_FULLNAME_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  if (base.find('-') != std::string::npos) {
    int32_t parsed = 0;
    uloc_forLanguageTag(base.c_str(), localeID, sizeof(localeID), &parsed, &status);
    if (U_SUCCESS(status) && parsed != int32_t(base.size())) return std::string();
  } else {
    uloc_canonicalize(base.c_str(), localeID, sizeof(localeID), &status);
  }
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) return std::string();
  char tag[ULOC_FULLNAME_CAPACITY];
  status = U_ZERO_ERROR;
  int32_t length = uloc_toLanguageTag(localeID, tag, sizeof(tag), true, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0)
    return std::string();
  std::string result(tag, size_t(length));
  if (result == "und" || result.rfind("und-", 0) == 0) return std::string();
  return result;
}

}  // namespace

std::string CanonicalLanguageTag(const std::string& name) {
  // A tag is canonical only when it canonicalises to itself: a name such
  // as "root_" gives "root", which is ICU's root locale, no language.
  std::string tag = CanonicalizeOnce(name);
  if (!tag.empty() && CanonicalizeOnce(tag) != tag) return std::string();
  return tag;
}

std::string LocaleIDFromLanguageTag(const std::string& tag) {
  if (tag.empty()) return std::string();
  char localeID[ULOC_FULLNAME_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  int32_t parsed = 0;
  int32_t length = uloc_forLanguageTag(tag.c_str(), localeID, sizeof(localeID), &parsed, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0)
    return std::string();
  return std::string(localeID, size_t(length));
}

std::string LanguageOfLocaleID(const std::string& localeID) {
  char language[ULOC_LANG_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = uloc_getLanguage(localeID.c_str(), language, sizeof(language), &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0)
    return std::string();
  return std::string(language, size_t(length));
}

std::string GetSystemTimeZoneID() {
  if (const char* tz = std::getenv("TZ"); tz != nullptr) {
    std::string zone(tz);
    if (!zone.empty() && zone[0] == ':') zone.erase(0, 1);
    if (zone.empty()) return "UTC";
    if (zone[0] != '/') return zone;
    std::string fromPath = ZoneFromPath(zone);
    return fromPath.empty() ? std::string("UTC") : fromPath;
  }
  char target[4096];
  ssize_t length = ::readlink("/etc/localtime", target, sizeof(target) - 1);
  if (length > 0) {
    std::string zone = ZoneFromPath(std::string(target, size_t(length)));
    if (!zone.empty()) return zone;
  }
  std::ifstream file("/etc/timezone");
  std::string zone;
  if (file && std::getline(file, zone) && !zone.empty()) return zone;
  return "UTC";
}

void SyncDefaultTimeZone() {
  static std::mutex sZoneMutex;
  static std::string sLastZone;
  std::string zone = GetSystemTimeZoneID();
  std::lock_guard<std::mutex> lock(sZoneMutex);
  if (zone == sLastZone) return;
  std::u16string id(zone.begin(), zone.end());
  UErrorCode status = U_ZERO_ERROR;
  ucal_setDefaultTimeZone(reinterpret_cast<const UChar*>(id.c_str()), &status);
  if (U_SUCCESS(status)) sLastZone = zone;
}

std::vector<std::string> FindSubFoldersNamed(const std::string& folder,
                                             const std::vector<std::string>& names) {
  std::vector<std::string> found;
  if (folder.empty()) return found;
  std::vector<std::string> entries;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) entries.emplace_back(entry->d_name);
    ::closedir(dir);
  }
  // A stable order, so that of two names differing only in case the same
  // one is taken every time; an exact match wins.
  std::sort(entries.begin(), entries.end());
  std::string base = folder;
  if (base.back() != '/') base.push_back('/');
  for (const std::string& name : names) {
    const std::string* match = nullptr;
    for (const std::string& entry : entries) {
      if (!EqualNoCase(entry, name) || GetItemKind(base + entry, true) != ItemKind::kFolder)
        continue;
      if (match == nullptr || entry == name) match = &entry;
      if (entry == name) break;
    }
    if (match != nullptr) found.push_back(base + *match);
  }
  return found;
}

}  // namespace zeft::platform
