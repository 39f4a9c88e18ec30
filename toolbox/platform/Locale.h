// Locale services of the platform layer: the user's preferred languages
// (from the locale environment variables), the time zone shared by the C
// library and ICU, language-tag helpers over ICU, and the case-insensitive
// look-up of localization folders. The only place of the toolbox that reads
// LANGUAGE, LC_ALL, LC_MESSAGES, LANG and TZ.
#pragma once

#include <string>
#include <vector>

namespace zeft::platform {

// The values of the locale variables, as the environment gives them; an
// unset variable is "".
struct LocaleEnvironment {
  std::string fLanguage;    // LANGUAGE: a ':'-separated list
  std::string fLcAll;       // LC_ALL
  std::string fLcMessages;  // LC_MESSAGES
  std::string fLang;        // LANG
};

// The user's preferred languages, most preferred first, as canonical BCP 47
// tags ("en-US", "fr", "zh-Hant-TW"). The list comes from the first of
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set and not empty; codeset
// (".UTF-8") and modifier ("@euro") are stripped. "C" and "POSIX" name no
// language: they give an empty entry, which no dialect recognises. Empty
// when no variable is set.
std::vector<std::string> GetPreferredLanguages();

// The same list computed from given variable values.
std::vector<std::string> PreferredLanguagesFrom(const LocaleEnvironment& env);

// Makes GetPreferredLanguages read `env` instead of the environment; null
// goes back to the environment.
void SetLocaleEnvironmentForTesting(const LocaleEnvironment* env);

// A POSIX locale name or a language tag ("de_CH.UTF-8", "en-gb") as a
// canonical BCP 47 tag ("de-CH", "en-GB"); "" for "C", "POSIX", "" or text
// that is no locale.
std::string CanonicalLanguageTag(const std::string& name);

// The ICU locale id ("en_US", "zh_Hant") of a BCP 47 tag; "" when the tag
// cannot be read.
std::string LocaleIDFromLanguageTag(const std::string& tag);

// The language part ("en") of an ICU locale id.
std::string LanguageOfLocaleID(const std::string& localeID);

// The id of the C library's time zone: TZ when set (without a leading ':'),
// else the zone /etc/localtime links to, else "UTC".
std::string GetSystemTimeZoneID();

// Sets ICU's default time zone to the C library's when they differ, so
// that ICU formatters and localtime() agree. Cheap when nothing changed.
void SyncDefaultTimeZone();

// The sub-folders of `folder` (a POSIX path) whose names equal one of
// `names` with ASCII letters compared without case, as full POSIX paths,
// in the order of `names` (one folder per name, the first that matches).
std::vector<std::string> FindSubFoldersNamed(const std::string& folder,
                                             const std::vector<std::string>& names);

}  // namespace zeft::platform
