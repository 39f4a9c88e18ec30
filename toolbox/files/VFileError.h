// VFileError is the error record of the file layer: a toolbox error record
// that keeps the path of the file or folder concerned and names it in its
// parameters ("name": the last component, "path": the ':' text), so that
// the error text can say which item failed.
#pragma once

#include "core/VErrorCodes.h"
#include "files/VFilePath.h"
#include "runtime/VErrorBase.h"

namespace zeft {

class VFileError : public VErrorBase {
 public:
  VFileError(const VFilePath& path, VError code);
  ~VFileError() override;

  const VFilePath& GetFilePath() const { return fFilePath; }

 private:
  void _Init();

  VFilePath fFilePath;
};

}  // namespace zeft
