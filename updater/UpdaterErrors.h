// The updater's error component "UPNV" and its error numbers. Callers and
// the bundle's localization files know these numbers: they never change
// meaning.
#pragma once

#include "core/VErrorCodes.h"

namespace zeft {

inline constexpr uint32 kComponentUpdater = FourCC("UPNV");

namespace updater_error {
inline constexpr int32 kWaitTimedOut = 1;
inline constexpr int32 kUpToDateBundleMissing = 2;
inline constexpr int32 kOutdatedBundleMissing = 3;
inline constexpr int32 kFileCopyFailed = 8;
inline constexpr int32 kRenameAsideFailed = 11;
inline constexpr int32 kCreateParentFailed = 12;
inline constexpr int32 kCopyIntoPlaceFailed = 13;
inline constexpr int32 kSameOrNestedBundles = 14;
// The up-to-date bundle is no whole application (no Contents/Info.plist
// naming an executable file of Contents/MacOS).
inline constexpr int32 kUpToDateBundleInvalid = 15;
// Another run holds the installed bundle's lock: nothing was touched.
inline constexpr int32 kUpdateInProgress = 16;
// A move of the swap failed and so did its undo: the two bundles are whole
// but each under the other's or a hidden name, until the next run.
inline constexpr int32 kSwapStoppedHalfway = 17;
// The installed bundle's lock could not be taken for another reason than
// another run holding it.
inline constexpr int32 kLockFailed = 18;
// Something other than a regular file has the lock file's name: nothing
// was touched.
inline constexpr int32 kLockFileInTheWay = 19;
// An interrupted run's swap record is there but cannot be read: where that
// run left the installed bundle is unknown, so nothing was touched.
inline constexpr int32 kSwapRecordUnreadable = 20;
// An interrupted update left the installed bundle under its aside name,
// and something else stands at the installed path: nothing was moved.
inline constexpr int32 kInstalledPathTaken = 21;
// Putting back the installed bundle that an interrupted update left out of
// place failed, and what stands at the installed path is not known to be
// the up-to-date copy: nothing was moved.
inline constexpr int32 kPutBackFailed = 22;
inline constexpr int32 kBadCustomizationFile = 41;
inline constexpr int32 kInstallFailed = 100;
inline constexpr int32 kLogStartFailed = 101;
inline constexpr int32 kRelaunchFailed = 120;
}  // namespace updater_error

}  // namespace zeft
