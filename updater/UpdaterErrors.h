// The updater's error numbers (component "UPNV") beyond those that
// core/VErrorCodes.h lists. Callers and the bundle's localization files
// know these numbers: they never change meaning.
#pragma once

#include "core/VErrorCodes.h"

namespace zeft::updater_error {

// The up-to-date bundle is no whole application (no Contents/Info.plist
// naming an executable file of Contents/MacOS).
inline constexpr int32 kUpToDateBundleInvalid = 15;

}  // namespace zeft::updater_error
