#include "values/VArrayBoolean.h"

#include <bit>
#include <cstring>

#include "core/VBoolean.h"
#include "files/VStream.h"

namespace zeft {

constinit const VArrayBoolean::InfoType VArrayBoolean::sInfo;

VArrayBoolean::VArrayBoolean(int32 count) : VArrayValue(0) {
  if (count > 0) SetCount(count);
}

VArrayBoolean::VArrayBoolean(const VArrayBoolean& other) : VArrayValue(0) { Copy(other); }

uint64 VArrayBoolean::GetDataSizeFor(int32 count) const { return (uint64(count) + 8) / 8; }

int32 VArrayBoolean::GetReadChunkCount() const { return 8 << 20; }

void VArrayBoolean::_ClearBitsPastCount() {
  if (fData == nullptr) return;
  const int32 firstByte = fCount >> 3;
  if (uint32(firstByte) >= fDataSize) return;
  fData[firstByte] &= uint8((1u << (fCount & 7)) - 1);
  std::memset(fData + firstByte + 1, 0, fDataSize - uint32(firstByte) - 1);
}

bool VArrayBoolean::SetCount(int32 count) {
  const bool done = VArrayValue::SetCount(count);
  _ClearBitsPastCount();
  return done;
}

bool VArrayBoolean::Delete(int32 position, int32 count) {
  const bool done = VArrayValue::Delete(position, count);
  _ClearBitsPastCount();
  return done;
}

void VArrayBoolean::FromBoolean(uint8 value, int32 position) {
  if (ValidIndex(position)) _SetBit(fData, position - 1, value != 0);
}

uint8 VArrayBoolean::GetBoolean(int32 position) const {
  return ValidIndex(position) && _GetBit(fData, position - 1) ? 1 : 0;
}

void VArrayBoolean::FromValue(const VValueSingle& value, int32 position) {
  FromBoolean(value.GetBoolean(), position);
}

void VArrayBoolean::GetValue(VValueSingle& out, int32 position) const {
  out.FromBoolean(GetBoolean(position));
}

VValueSingle* VArrayBoolean::CloneValue(int32 position) const {
  VBoolean* value = new VBoolean();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayBoolean::CompareTo(const VValueSingle& value, bool /*diacritical*/,
                                       int32 position) const {
  const bool wanted = value.GetBoolean() != 0;
  if ((GetBoolean(position) != 0) == wanted) return kCompareEqual;
  return wanted ? kCompareBigger : kCompareLess;
}

int32 VArrayBoolean::Find(const VValueSingle& value, int32 start, uint8 forward,
                          CompareMethod method) const {
  return Find(value.GetBoolean(), start, forward, method);
}

int32 VArrayBoolean::Find(uint8 value, int32 start, uint8 forward, CompareMethod /*method*/) const {
  if (!ValidIndex(start)) return -1;
  const bool wanted = value != 0;
  const int32 step = forward != 0 ? 1 : -1;
  for (int32 position = start; ValidIndex(position); position += step) {
    if (_GetBit(fData, position - 1) == wanted) return position;
  }
  return -1;
}

void VArrayBoolean::Sort(int32 from, int32 to, uint8 descending) {
  if (from < 1 || from >= to || to > fCount) return;
  if (from != 1 || to != fCount) {
    VArrayValue::Sort(from, to, descending);
    return;
  }
  int32 trues = 0;
  const int32 wholeBytes = fCount / 8;
  for (int32 i = 0; i < wholeBytes; ++i) trues += std::popcount(fData[i]);
  const int32 rest = fCount % 8;
  if (rest != 0) trues += std::popcount(uint8(fData[wholeBytes] & ((1u << rest) - 1)));
  const int32 firstTrue = descending != 0 ? 0 : fCount - trues;
  for (int32 i = 0; i < fCount; ++i) _SetBit(fData, i, i >= firstTrue && i < firstTrue + trues);
}

void VArrayBoolean::Unsort() {
  if (fCount < 9) return;
  // The exchange pattern of the other arrays, applied to bits.
  const int32 last = fCount - 1;
  int32 p = 0;
  int32 q = last;
  do {
    SwapElements(fData, p, q);
    p += 2;
    q -= 3;
    if (q < 0) q = last;
  } while (p < last);
}

void VArrayBoolean::MoveElements(int32 from, int32 to, int32 count) {
  if (from < 0 || to < 0 || from == to || count < 1) return;
  if (from > fCount - count || to > fCount - count) return;
  uint8* data = LockAndGetData();
  if (from >= to) {
    for (int32 i = 0; i < count; ++i) _SetBit(data, to + i, _GetBit(data, from + i));
  } else {
    for (int32 i = count - 1; i >= 0; --i) _SetBit(data, to + i, _GetBit(data, from + i));
  }
  UnlockData();
}

void VArrayBoolean::InitElements(int32 from, int32 count) {
  if (from < 0 || count < 1 || from > fCount - count) return;
  uint8* data = LockAndGetData();
  for (int32 i = from; i < from + count; ++i) _SetBit(data, i, false);
  UnlockData();
}

void VArrayBoolean::SwapElements(uint8* data, int32 i, int32 j) {
  const bool a = _GetBit(data, i);
  _SetBit(data, i, _GetBit(data, j));
  _SetBit(data, j, a);
}

CompareResult VArrayBoolean::CompareElements(uint8* data, int32 i, int32 j) {
  const bool a = _GetBit(data, i);
  if (a == _GetBit(data, j)) return kCompareEqual;
  return a ? kCompareLess : kCompareBigger;
}

VError VArrayBoolean::WriteToStream(VStream* stream, int32 param) const {
  WriteStreamHeader(stream, param);
  if (fCount > 0) stream->PutData(fData, size_t(GetDataSizeFor(fCount)));
  return stream->GetLastError();
}

VError VArrayBoolean::ReadFromStream(VStream* stream, int32 /*param*/) {
  int32 count = 0;
  VError error = ReadStreamCount(stream, count);
  if (error != VE_OK) return error;
  if (count == 0) return SetCount(0) ? VE_OK : ToolboxError(toolbox_error::kMemoryFull);
  // Chunks start on a byte; the last one also takes the spare byte.
  error = ReadElementsInChunks(
      stream, count, [](VArrayValue& array, VStream* s, int32 first, int32 n) -> VError {
        const size_t firstByte = size_t(first) / 8;
        const size_t endByte =
            first + n == array.GetCount() ? array.GetDataSize() : size_t(first + n) / 8;
        size_t got = 0;
        VError e = s->GetData(array.LockAndGetData() + firstByte, endByte - firstByte, &got);
        array.UnlockData();
        if (e == VE_OK && got != endByte - firstByte) {
          e = ToolboxError(toolbox_error::kStreamEndOfData);
        }
        return e;
      });
  _ClearBitsPastCount();
  return error;
}

}  // namespace zeft
