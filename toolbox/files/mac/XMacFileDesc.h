// XMacFileDesc is the platform half of VFileDesc: an owned POSIX descriptor
// and a position of its own. Transfers use pread and pwrite (no seek) in
// calls of at most 500 MiB; results are native codes (POSX with errno) or
// toolbox error 200 for a read that met the end of the file.
#pragma once

#include <cstddef>

#include "core/VErrorCodes.h"
#include "core/VObject.h"

namespace zeft {

class XMacFileDesc : public VObject {
 public:
  // Takes ownership of `descriptor`.
  explicit XMacFileDesc(int descriptor) : fDescriptor(descriptor) {}
  ~XMacFileDesc() override;
  XMacFileDesc(const XMacFileDesc&) = delete;
  XMacFileDesc& operator=(const XMacFileDesc&) = delete;

  int GetDescriptor() const { return fDescriptor; }

  VError GetSize(int64* size) const;
  VError SetSize(int64 size) const;
  // Up to `count` bytes at `offset` (plus the position unless `absolute`);
  // `count` receives the bytes moved, after a failure too. Without
  // `absolute` the position advances by them.
  VError GetData(void* buffer, size_t& count, int64 offset, bool absolute) const;
  VError PutData(const void* buffer, size_t& count, int64 offset, bool absolute) const;
  VError GetPos(int64* position) const;
  VError SetPos(int64 offset, bool absolute) const;
  VError Flush() const;

  // The most bytes one system call transfers.
  static constexpr size_t kMaxTransfer = 524288000;

 private:
  template <class Call>
  VError _Transfer(Call call, size_t& count, int64 offset, bool absolute, bool reading) const;

  int fDescriptor;
  mutable int64 fPosition = 0;
};

}  // namespace zeft
