// VFileDesc is an open file, made by VFile::Open and owned by the caller,
// who deletes it to close the file. It reads and writes at offsets or at a
// position of its own, reports and sets the file's size and flushes it. A
// failure becomes a file error on the task's error stack, with the
// operation's parameters.
#pragma once

#include <cstddef>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "files/FileOptions.h"
#include "files/mac/XMacFileDesc.h"

namespace zeft {

class VFile;

class VFileDesc : public VObject {
 public:
  // Takes ownership of `descriptor` and a reference to `file` (may be null).
  VFileDesc(const VFile* file, int descriptor, FileAccess access);
  ~VFileDesc() override;
  VFileDesc(const VFileDesc&) = delete;
  VFileDesc& operator=(const VFileDesc&) = delete;

  FileAccess GetMode() const { return fMode; }
  const VFile* GetParentVFile() const { return fFile; }
  const XMacFileDesc& GetImpl() const { return fImpl; }

  // The file's size; 0 on failure.
  int64 GetSize() const;
  VError SetSize(int64 size) const;
  // The four transfers store the bytes moved in their last argument when
  // given, after a failure too. The absolute ones leave the position alone;
  // the ones at the position start there and advance it.
  VError GetData(void* buffer, size_t count, int64 offset, size_t* read = nullptr) const;
  VError GetDataAtPos(void* buffer, size_t count, int64 offset = 0, size_t* read = nullptr) const;
  VError PutData(const void* buffer, size_t count, int64 offset, size_t* written = nullptr) const;
  VError PutDataAtPos(const void* buffer, size_t count, int64 offset = 0,
                      size_t* written = nullptr) const;
  int64 GetPos() const;
  VError SetPos(int64 offset, bool absolute) const;
  VError Flush() const;

 private:
  VError _Fail(VError result, int32 fallback, const size_t* count, const int64* offset,
               const int64* sizeAsked) const;
  int64 _StartAtPos(int64 offset) const;

  FileAccess fMode;
  VFile* fFile;
  XMacFileDesc fImpl;
};

}  // namespace zeft
