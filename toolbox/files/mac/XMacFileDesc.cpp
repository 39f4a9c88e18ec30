#include "files/mac/XMacFileDesc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "runtime/VTaskMgr.h"

namespace zeft {

namespace {

void YieldTask() {
  if (VTaskMgr::IsInited()) VTaskMgr::sInstance->YieldNow();
}

}  // namespace

XMacFileDesc::~XMacFileDesc() {
  if (fDescriptor >= 0) ::close(fDescriptor);
}

template <class Call>
VError XMacFileDesc::_Transfer(Call call, size_t& count, int64 offset, bool absolute,
                               bool reading) const {
  const size_t asked = count;
  count = 0;
  int64 start = offset;
  if (!absolute && __builtin_add_overflow(offset, fPosition, &start)) return PosixError(EINVAL);
  if (start < 0 || (asked > 0 && uint64(std::numeric_limits<int64>::max() - start) < asked)) {
    return PosixError(EINVAL);
  }
  size_t done = 0;
  VError result = VE_OK;
  while (done < asked) {
    const size_t chunk = std::min(asked - done, kMaxTransfer);
    const ssize_t moved = call(done, chunk, start + int64(done));
    if (moved < 0) {
      // An interrupted call moved nothing: it is made again.
      if (errno == EINTR) {
        YieldTask();
        continue;
      }
      result = PosixError(errno);
      break;
    }
    if (moved == 0) {
      result = reading ? ToolboxError(toolbox_error::kStreamEndOfData) : PosixError(EINVAL);
      break;
    }
    done += size_t(moved);
    if (done < asked) YieldTask();
  }
  // The bytes actually moved, whatever stopped the transfer.
  count = done;
  if (!absolute) fPosition = start + int64(done);
  return result;
}

VError XMacFileDesc::GetData(void* buffer, size_t& count, int64 offset, bool absolute) const {
  char* bytes = static_cast<char*>(buffer);
  return _Transfer(
      [this, bytes](size_t done, size_t chunk, int64 at) {
        return ::pread(fDescriptor, bytes + done, chunk, at);
      },
      count, offset, absolute, true);
}

VError XMacFileDesc::PutData(const void* buffer, size_t& count, int64 offset, bool absolute) const {
  const char* bytes = static_cast<const char*>(buffer);
  return _Transfer(
      [this, bytes](size_t done, size_t chunk, int64 at) {
        return ::pwrite(fDescriptor, bytes + done, chunk, at);
      },
      count, offset, absolute, false);
}

VError XMacFileDesc::GetSize(int64* size) const {
  *size = 0;
  struct stat info;
  if (::fstat(fDescriptor, &info) != 0) return PosixError(errno);
  *size = info.st_size;
  return VE_OK;
}

VError XMacFileDesc::SetSize(int64 size) const {
  while (::ftruncate(fDescriptor, size) != 0) {
    if (errno != EINTR) return PosixError(errno);
  }
  return VE_OK;
}

VError XMacFileDesc::GetPos(int64* position) const {
  *position = fPosition;
  return VE_OK;
}

VError XMacFileDesc::SetPos(int64 offset, bool absolute) const {
  if (absolute) {
    fPosition = offset;
  } else if (__builtin_add_overflow(fPosition, offset, &fPosition)) {
    fPosition = offset > 0 ? std::numeric_limits<int64>::max() : std::numeric_limits<int64>::min();
  }
  return VE_OK;
}

VError XMacFileDesc::Flush() const { return ::fsync(fDescriptor) == 0 ? VE_OK : PosixError(errno); }

}  // namespace zeft
