// The native error table: the toolbox code that each known POSIX or Carbon
// code stands for, so that the same failure gives the same toolbox code
// whichever platform call noticed it.
#include "runtime/VErrorBase.h"

#include <iterator>

namespace zeft {

namespace {

struct NativeErrorRow {
  VError fNative;
  VError fToolbox;
};

constexpr VError Carbon(int32 status) { return MakeVError(kComponentCarbon, status); }

// The first row maps success; the last one is the end marker, whose
// toolbox error 1 stands for a code the table does not hold.
constexpr NativeErrorRow kNativeErrors[] = {
    {VE_OK, VE_OK},
    {Carbon(-108), ToolboxError(toolbox_error::kMemoryFull)},        // memFullErr
    {Carbon(-39), ToolboxError(toolbox_error::kStreamEndOfData)},    // eofErr
    {Carbon(-34), ToolboxError(toolbox_error::kFolderDiskFull)},     // dskFulErr
    {Carbon(-43), ToolboxError(toolbox_error::kFileNotFound)},       // fnfErr
    {Carbon(-120), ToolboxError(toolbox_error::kFolderNotFound)},    // dirNFErr
    {Carbon(-45), ToolboxError(toolbox_error::kAccessDenied)},       // fLckdErr
    {Carbon(-46), ToolboxError(toolbox_error::kAccessDenied)},       // vLckdErr
    {Carbon(-192), ToolboxError(toolbox_error::kResourceNotFound)},  // resNotFound
    {Carbon(-37), ToolboxError(toolbox_error::kFileInvalidName)},    // bdNamErr
    {Carbon(-54), ToolboxError(toolbox_error::kAccessDenied)},       // permErr
    {Carbon(-128), ToolboxError(toolbox_error::kUserCancelled)},     // userCanceledErr
    {PosixError(2), ToolboxError(toolbox_error::kFileNotFound)},     // ENOENT
    {PosixError(13), ToolboxError(toolbox_error::kAccessDenied)},    // EACCES
    {VE_OK, ToolboxError(toolbox_error::kGeneric)},                  // end marker
};

// The row's toolbox code, or the end marker's (toolbox error 1).
VError SearchNativeTable(VError native) {
  constexpr size_t kEnd = std::size(kNativeErrors) - 1;
  for (size_t i = 0; i < kEnd; ++i) {
    if (kNativeErrors[i].fNative == native) return kNativeErrors[i].fToolbox;
  }
  return kNativeErrors[kEnd].fToolbox;
}

constexpr VError kNotInTable = ToolboxError(toolbox_error::kGeneric);

}  // namespace

VError VErrorBase::EncodedNativeErrorToVError(VError native, VError fallback) {
  const uint32 component = ErrorComponent(native);
  if (component == kComponentPosix || component == kComponentCarbon) {
    const VError mapped = SearchNativeTable(native);
    return mapped == kNotInTable ? fallback : mapped;
  }
  if ((component == kComponentMach || component == kComponentCocoa) && ErrorNumber(native) != 0) {
    return fallback;
  }
  return native == kNotInTable ? fallback : native;
}

VError VErrorBase::MAC_MapCarbonErrorToVError(int32 status) {
  if (status == 0) return VE_OK;
  const VError native = Carbon(status);
  const VError mapped = SearchNativeTable(native);
  return mapped == kNotInTable ? native : mapped;
}

}  // namespace zeft
