#include "files/VFileError.h"

#include "files/VFile.h"
#include "files/VFolder.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {
constinit const StPackedDictionaryKey kNameKey("name");
constinit const StPackedDictionaryKey kPathKey("path");
}  // namespace

VFileError::VFileError(const VFilePath& path, VError code) : VErrorBase(code), fFilePath(path) {
  _Init();
}

VFileError::VFileError(const VFile* file, VError code)
    : VErrorBase(code), fFilePath(file != nullptr ? file->GetPath() : VFilePath()) {
  _Init();
}

VFileError::~VFileError() = default;

VFileError::VFileError(const VFolder* folder, VError code)
    : VErrorBase(code), fFilePath(folder != nullptr ? folder->GetPath() : VFilePath()) {
  _Init();
}

bool VFileError::IsNativeError(VError result) {
  if (ErrorNumber(result) == 0) return false;
  const uint32 component = ErrorComponent(result);
  return component == kComponentPosix || component == kComponentMach ||
         component == kComponentCarbon || component == kComponentCocoa;
}

VError VFileError::ThrowNative(const VFilePath& path, VError result, int32 code,
                               const std::function<void(VValueBag&)>& parameters) {
  if (!IsNativeError(result)) return result;
  const VError error = VErrorBase::EncodedNativeErrorToVError(result, ToolboxError(code));
  VFileError* record = NewErrorRecord<VFileError>(path, error);
  if (record == nullptr) return error;
  if (parameters) parameters(*record->GetBag());
  _PushRetainedError(record, result);
  return error;
}

void VFileError::_Init() {
  VString text;
  fFilePath.GetName(text);
  GetBag()->SetString(kNameKey, text);
  fFilePath.GetPath(text);
  GetBag()->SetString(kPathKey, text);
}

}  // namespace zeft
