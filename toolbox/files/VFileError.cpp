#include "files/VFileError.h"

#include "values/VValueBag.h"

namespace zeft {

namespace {
constinit const StPackedDictionaryKey kNameKey("name");
constinit const StPackedDictionaryKey kPathKey("path");
}  // namespace

VFileError::VFileError(const VFilePath& path, VError code) : VErrorBase(code), fFilePath(path) {
  _Init();
}

VFileError::~VFileError() = default;

void VFileError::_Init() {
  VString text;
  fFilePath.GetName(text);
  GetBag()->SetString(kNameKey, text);
  fFilePath.GetPath(text);
  GetBag()->SetString(kPathKey, text);
}

}  // namespace zeft
