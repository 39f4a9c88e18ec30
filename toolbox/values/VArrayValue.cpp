#include "values/VArrayValue.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/VMemory.h"
#include "core/VString.h"
#include "files/VStream.h"
#include "runtime/VErrorThrow.h"
#include "values/VDuration.h"
#include "values/VTime.h"

namespace zeft {

namespace {

// Bytes a stream read may allocate ahead of the data it has delivered.
constexpr uint64 kReadChunkBytes = 1 << 20;

}  // namespace

VArrayValue::VArrayValue(uint32 elemSize)
    : VValueMultiple(kFlagDirty), fElemSize(elemSize), fCount(0), fData(nullptr), fDataSize(0) {}

VArrayValue::~VArrayValue() { VMemory::DisposePtr(fData); }

uint64 VArrayValue::GetDataSizeFor(int32 count) const { return uint64(fElemSize) * uint64(count); }

bool VArrayValue::SetDataSize(int32 bytes) {
  if (bytes < 0) return false;
  const size_t newSize = size_t(bytes);
  if (newSize == 0) {
    VMemory::DisposePtr(fData);
    fData = nullptr;
    fDataSize = 0;
    return true;
  }
  uint8* block;
  if (fData == nullptr) {
    block = static_cast<uint8*>(VMemory::NewPtrClear(newSize, kTagArray));
    if (block == nullptr) return false;
  } else {
    block = static_cast<uint8*>(VMemory::SetPtrSize(fData, newSize));
    // On failure the old block is intact and stays ours.
    if (block == nullptr) return false;
    if (newSize > fDataSize) std::memset(block + fDataSize, 0, newSize - fDataSize);
  }
  fData = block;
  fDataSize = uint32(newSize);
  return true;
}

bool VArrayValue::ResizeBlock(int32 count) {
  const uint64 bytes = GetDataSizeFor(count);
  if (bytes > uint64(INT32_MAX)) return false;
  if (!SetDataSize(int32(bytes))) return false;
  fCount = count;
  return true;
}

bool VArrayValue::SetCount(int32 count) {
  if (count < 0) count = 0;
  if (count == fCount) return true;
  if (GetDataSizeFor(count) > uint64(INT32_MAX)) return false;
  if (count < fCount) DeleteElements(count, fCount - count);
  return ResizeBlock(count);
}

bool VArrayValue::Insert(int32 position, int32 count) {
  if (position < 1 || position > fCount + 1 || count < 0) return false;
  if (count == 0) return true;
  if (count > INT32_MAX - fCount) return false;
  const int32 oldCount = fCount;
  if (!SetCount(oldCount + count)) return false;
  if (position <= oldCount) {
    MoveElements(position - 1, position - 1 + count, oldCount - position + 1);
  }
  InitElements(position - 1, count);
  return true;
}

bool VArrayValue::Delete(int32 position, int32 count) {
  if (position < 1 || count < 0 || position > fCount || count > fCount - position + 1) {
    return false;
  }
  if (count == 0) return true;
  DeleteElements(position - 1, count);
  const int32 behind = fCount - position - count + 1;
  if (behind >= 1) MoveElements(position - 1 + count, position - 1, behind);
  const int32 newCount = fCount - count;
  if (!ResizeBlock(newCount)) {
    // The bytes past the new count stay in the larger block; zero them so
    // that no stale element (or pointer) survives there.
    fCount = newCount;
    const uint64 used = GetDataSizeFor(newCount);
    if (fData != nullptr && used < fDataSize) std::memset(fData + used, 0, fDataSize - used);
  }
  return true;
}

void VArrayValue::MoveElements(int32 from, int32 to, int32 count) {
  if (from < 0 || to < 0 || from == to || count < 1) return;
  if (from > fCount - count || to > fCount - count) return;
  uint8* data = LockAndGetData();
  if (data != nullptr) {
    std::memmove(data + size_t(to) * fElemSize, data + size_t(from) * fElemSize,
                 size_t(count) * fElemSize);
  }
  UnlockData();
}

void VArrayValue::DeleteElements(int32 /*from*/, int32 /*count*/) {}

void VArrayValue::InitElements(int32 from, int32 count) {
  if (from < 0 || count < 1 || from > fCount - count) return;
  uint8* data = LockAndGetData();
  if (data != nullptr) std::memset(data + size_t(from) * fElemSize, 0, size_t(count) * fElemSize);
  UnlockData();
}

bool VArrayValue::Copy(const VArrayValue& source) {
  if (&source == this) return true;
  if (source.GetElemValueKind() != GetElemValueKind()) return false;
  if (fCount != 0) SetCount(0);
  fElemSize = source.fElemSize;
  if (!SetDataSize(int32(source.fDataSize))) {
    SetCount(0);
    return false;
  }
  if (fDataSize != 0) {
    const uint8* sourceData = source.LockAndGetData();
    std::memcpy(fData, sourceData, fDataSize);
    source.UnlockData();
  }
  fCount = source.fCount;
  return true;
}

uint8* VArrayValue::LockAndGetData() const { return fData; }

void VArrayValue::UnlockData() const {}

void VArrayValue::Clear() { SetCount(0); }

const void* VArrayValue::LoadFromPtr(const void* data, bool /*refOnly*/) { return data; }

void* VArrayValue::WriteToPtr(void* data, bool /*refOnly*/, size_t /*max*/) const { return data; }

void VArrayValue::Sort(int32 from, int32 to, uint8 descending) {
  if (from < 1 || from >= to || to > fCount) return;
  ISortable* list[2] = {this, nullptr};
  uint8 flags[1] = {descending};
  MultiCriteriaQSort(list, flags, 1, from - 1, to - 1);
}

void VArrayValue::Unsort() {
  if (fCount < 2 || fElemSize == 0) return;
  uint8* buffer = static_cast<uint8*>(VMemory::NewPtr(fElemSize, kTagSort));
  if (buffer == nullptr) return;
  uint8* data = LockAndGetData();
  if (data != nullptr) {
    const int32 last = fCount - 1;
    int32 p = 0;
    int32 q = last;
    do {
      uint8* a = data + size_t(p) * fElemSize;
      uint8* b = data + size_t(q) * fElemSize;
      std::memcpy(buffer, a, fElemSize);
      std::memcpy(a, b, fElemSize);
      std::memcpy(b, buffer, fElemSize);
      p += 2;
      q -= 3;
      if (q < 0) q = last;
    } while (p < last);
  }
  UnlockData();
  VMemory::DisposePtr(buffer);
}

bool VArrayValue::SynchronizedSort(uint8 descending, VArrayValue* first, ...) {
  if (first == nullptr) return false;
  std::vector<ISortable*> list;
  list.push_back(first);
  va_list args;
  va_start(args, first);
  // Companions may be longer: only the first's count is permuted.
  bool aligned = true;
  for (VArrayValue* more = va_arg(args, VArrayValue*); more != nullptr;
       more = va_arg(args, VArrayValue*)) {
    if (more->GetCount() < first->GetCount()) aligned = false;
    list.push_back(more);
  }
  va_end(args);
  if (!aligned) return false;
  list.push_back(nullptr);
  std::vector<uint8> flags(list.size(), descending);
  MultiCriteriaQSort(list.data(), flags.data(), 1, 0, first->GetCount() - 1);
  return true;
}

int32 VArrayValue::AppendBoolean(uint8 value) {
  if (Insert(fCount + 1, 1)) FromBoolean(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendByte(int8 value) {
  if (Insert(fCount + 1, 1)) FromByte(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendWord(int16 value) {
  if (Insert(fCount + 1, 1)) FromWord(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendLong(int32 value) {
  if (Insert(fCount + 1, 1)) FromLong(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendLong8(int64 value) {
  if (Insert(fCount + 1, 1)) FromLong8(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendReal(double value) {
  if (Insert(fCount + 1, 1)) FromReal(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendString(const VString& value) {
  if (Insert(fCount + 1, 1)) FromString(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendDuration(const VDuration& value) {
  if (Insert(fCount + 1, 1)) FromDuration(value, fCount);
  return fCount;
}
int32 VArrayValue::AppendTime(const VTime& value) {
  if (Insert(fCount + 1, 1)) FromTime(value, fCount);
  return fCount;
}

bool VArrayValue::PassesMethod(CompareResult r, CompareMethod method) {
  switch (method) {
    case kFindGreaterOrEqual:
      return r == kCompareBigger || r == kCompareEqual;
    case kFindGreater:
      return r == kCompareBigger;
    case kFindEqual:
      return r == kCompareEqual;
    case kFindLess:
      return r == kCompareLess;
    case kFindLessOrEqual:
      return r == kCompareLess || r == kCompareEqual;
    default:
      return true;
  }
}

VError VArrayValue::WriteStreamHeader(VStream* stream, int32 param) const {
  if (param == kStreamParamWithKind) {
    // The kind word of this form is the value base's kind for every array.
    const int32 kind = kValueKindVValue;
    stream->PutLongs(&kind, 1);
  }
  return stream->PutLongs(&fCount, 1);
}

VError VArrayValue::ReadStreamCount(VStream* stream, int32& outCount) {
  outCount = 0;
  int32 got = 1;
  VError error = stream->GetLongs(&outCount, &got);
  if (error != VE_OK) return error;
  if (got != 1) return ToolboxError(toolbox_error::kStreamEndOfData);
  if (outCount < 0) {
    error = ToolboxError(toolbox_error::kArrayStreamCorrupted);
    _ThrowError(error);
  }
  return error;
}

int32 VArrayValue::GetReadChunkCount() const {
  const uint64 perElement = std::max<uint64>(fElemSize, 1);
  return int32(std::max<uint64>(kReadChunkBytes / perElement, 1));
}

VError VArrayValue::ReadElementsInChunks(VStream* stream, int32 count, ChunkReader readChunk) {
  if (!SetCount(0)) return ToolboxError(toolbox_error::kMemoryFull);
  const int32 chunk = GetReadChunkCount();
  int32 done = 0;
  VError error = VE_OK;
  while (done < count) {
    const int32 n = std::min(chunk, count - done);
    if (!SetCount(done + n)) {
      error = ToolboxError(toolbox_error::kMemoryFull);
      break;
    }
    error = readChunk(*this, stream, done, n);
    if (error != VE_OK) break;
    done += n;
  }
  if (error != VE_OK) SetCount(0);
  return error;
}

}  // namespace zeft
