// The names under which the updater sets an outdated bundle aside in its
// folder: the bundle's name without its extension, "_", a tag, a four-digit
// number and the extension ("Demo.app" set aside as "old" gives
// "Demo_old0001.app"). The swap builds them and records which one it uses,
// so that the recovery of an interrupted update looks under that name only.
#pragma once

#include <string>

namespace zeft {

// The highest number an aside name carries.
inline constexpr int kMaxAsideNumber = 9999;

// The tag of the names the outdated bundle is set aside under.
inline constexpr const char* kOutdatedAsideTag = "old";

// The tag of the names under which what stood in the bundle's place is
// kept, in sight, when a recovery puts the bundle back and the Trash
// refuses that item.
inline constexpr const char* kKeptAsideTag = "kept";

// The aside name numbered `number` (1 to kMaxAsideNumber) of the bundle
// named `bundleName`; an empty tag leaves out the "_" too. UTF-8.
std::string MakeAsideName(const std::string& bundleName, const std::string& tag, int number);

// The number of `name` when it is an aside name of the bundle named
// `bundleName` with that tag (its four digits, 0 to 9999), else -1. Exact
// byte comparison, as for paths.
int AsideNumber(const std::string& name, const std::string& bundleName, const std::string& tag);

}  // namespace zeft
