// The localizations a bundle holds and the one the user prefers among
// them: the names of the "*.lproj" folders of <bundle>/Contents/Resources
// (without the extension) matched against the user's preferred languages.
#pragma once

#include <string>
#include <vector>

namespace zeft::platform {

// The localizations of the bundle at `bundlePath`, sorted byte-wise.
std::vector<std::string> GetBundleLocalizations(const std::string& bundlePath);

// `localizations` in the order of the user's preference `preferred` (BCP 47
// tags, most preferred first): for each preferred tag the localization
// naming the same tag ('_' and '-' alike, letters in any case), else the
// first naming its language. When none matches: the first localization.
std::vector<std::string> PreferredLocalizationsFromArray(
    const std::vector<std::string>& localizations, const std::vector<std::string>& preferred);

}  // namespace zeft::platform
