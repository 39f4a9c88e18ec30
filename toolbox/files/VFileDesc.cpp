#include "files/VFileDesc.h"

#include "files/VFile.h"
#include "files/VFileError.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constinit const StPackedDictionaryKey kCountKey("count");
constinit const StPackedDictionaryKey kOffsetKey("offset");
constinit const StPackedDictionaryKey kSizeKey("size");

}  // namespace

VFileDesc::VFileDesc(const VFile* file, int descriptor, FileAccess access)
    : fMode(access), fFile(const_cast<VFile*>(file)), fImpl(descriptor) {
  if (fFile != nullptr) fFile->Retain();
}

VFileDesc::~VFileDesc() {
  if (fFile != nullptr) fFile->Release();
}

// The file error of a failed call: "count" and "offset" of a transfer with
// the file's "size" when it can be had, or the size asked for.
VError VFileDesc::_Fail(VError result, int32 fallback, const size_t* count, const int64* offset,
                        const int64* sizeAsked) const {
  const VError code = VErrorBase::EncodedNativeErrorToVError(result, ToolboxError(fallback));
  VFileError* error = fFile != nullptr ? NewErrorRecord<VFileError>(fFile, code)
                                       : NewErrorRecord<VFileError>(VFilePath(), code);
  if (error == nullptr) return code;
  VValueBag* bag = error->GetBag();
  if (count != nullptr) bag->SetLong(kCountKey, int32(*count));
  if (offset != nullptr) bag->SetLong8(kOffsetKey, *offset);
  int64 size = 0;
  if (sizeAsked != nullptr) {
    bag->SetLong8(kSizeKey, *sizeAsked);
  } else if (count != nullptr && fImpl.GetSize(&size) == VE_OK) {
    bag->SetLong8(kSizeKey, size);
  }
  _PushRetainedError(error, result);
  return code;
}

// The absolute offset of a transfer at the position (wrapping, never
// undefined: the transfer itself refuses what overflows).
int64 VFileDesc::_StartAtPos(int64 offset) const {
  return int64(uint64(GetPos()) + uint64(offset));
}

int64 VFileDesc::GetSize() const {
  int64 size = 0;
  const VError result = fImpl.GetSize(&size);
  if (result != VE_OK && VFileError::IsNativeError(result)) {
    _Fail(result, toolbox_error::kFileCannotGetSize, nullptr, nullptr, nullptr);
  }
  return size;
}

VError VFileDesc::SetSize(int64 size) const {
  const VError result = fImpl.SetSize(size);
  if (result == VE_OK || !VFileError::IsNativeError(result)) return result;
  return _Fail(result, toolbox_error::kFileCannotSetSize, nullptr, nullptr, &size);
}

VError VFileDesc::GetData(void* buffer, size_t count, int64 offset, size_t* read) const {
  size_t moved = count;
  const VError result = fImpl.GetData(buffer, moved, offset, true);
  if (read != nullptr) *read = moved;
  // The end of the file is a failure of an absolute read.
  if (result == VE_OK || !(VFileError::IsNativeError(result) ||
                           result == ToolboxError(toolbox_error::kStreamEndOfData))) {
    return result;
  }
  return _Fail(result, toolbox_error::kFileCannotRead, &count, &offset, nullptr);
}

VError VFileDesc::GetDataAtPos(void* buffer, size_t count, int64 offset, size_t* read) const {
  const int64 start = _StartAtPos(offset);
  size_t moved = count;
  const VError result = fImpl.GetData(buffer, moved, offset, false);
  if (read != nullptr) *read = moved;
  if (result == VE_OK || !VFileError::IsNativeError(result)) return result;
  return _Fail(result, toolbox_error::kFileCannotRead, &count, &start, nullptr);
}

VError VFileDesc::PutData(const void* buffer, size_t count, int64 offset, size_t* written) const {
  size_t moved = count;
  const VError result = fImpl.PutData(buffer, moved, offset, true);
  if (written != nullptr) *written = moved;
  if (result == VE_OK || !VFileError::IsNativeError(result)) return result;
  return _Fail(result, toolbox_error::kFileCannotWrite, &count, &offset, nullptr);
}

VError VFileDesc::PutDataAtPos(const void* buffer, size_t count, int64 offset,
                               size_t* written) const {
  const int64 start = _StartAtPos(offset);
  size_t moved = count;
  const VError result = fImpl.PutData(buffer, moved, offset, false);
  if (written != nullptr) *written = moved;
  if (result == VE_OK || !VFileError::IsNativeError(result)) return result;
  return _Fail(result, toolbox_error::kFileCannotWrite, &count, &start, nullptr);
}

int64 VFileDesc::GetPos() const {
  int64 position = 0;
  fImpl.GetPos(&position);
  return position;
}

VError VFileDesc::SetPos(int64 offset, bool absolute) const {
  return fImpl.SetPos(offset, absolute);
}

VError VFileDesc::Flush() const {
  const VError result = fImpl.Flush();
  if (result == VE_OK || !VFileError::IsNativeError(result)) return result;
  return _Fail(result, toolbox_error::kFileCannotFlush, nullptr, nullptr, nullptr);
}

}  // namespace zeft
