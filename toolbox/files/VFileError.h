// VFileError is the error record of the file layer: a toolbox error record
// that keeps the path of the file or folder concerned and names it in its
// parameters ("name": the last component, "path": the ':' text), so that
// the error text can say which item failed.
#pragma once

#include <functional>

#include "core/VErrorCodes.h"
#include "files/VFilePath.h"
#include "runtime/VErrorBase.h"

namespace zeft {

class VFile;
class VFolder;
class VValueBag;

class VFileError : public VErrorBase {
 public:
  // The path of the file; an empty path for null.
  VFileError(const VFile* file, VError code);
  // The path of the folder; an empty path for null.
  VFileError(const VFolder* folder, VError code);
  VFileError(const VFilePath& path, VError code);
  ~VFileError() override;

  // A failure of a native component (POSX, MACH, CARB, COCO).
  static bool IsNativeError(VError result);
  // A native failure becomes a file error on `path` with the code the
  // native table gives (`code` when it has none) and `parameters`, pushed
  // after a record of the native code; that code is returned. Success and
  // other codes pass unchanged and push nothing.
  static VError ThrowNative(const VFilePath& path, VError result, int32 code,
                            const std::function<void(VValueBag&)>& parameters = nullptr);

  const VFilePath& GetFilePath() const { return fFilePath; }

 private:
  void _Init();

  VFilePath fFilePath;
};

}  // namespace zeft
