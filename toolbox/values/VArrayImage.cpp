#include "values/VArrayImage.h"

#include <algorithm>

#include "core/VValueSingle.h"
#include "files/VStream.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

// A clone of the value as a single value, or null.
VValueSingle* CloneSingle(const VValueSingle& value) {
  VValue* clone = value.Clone();
  if (clone == nullptr) return nullptr;
  if (VValueSingle* single = clone->IsVValueSingle()) return single;
  delete clone;
  return nullptr;
}

}  // namespace

constinit const VArrayImage::InfoType VArrayImage::sInfo;

VArrayImage::VArrayImage(int32 count) : VArrayValue(0) {
  if (count > 0) SetCount(count);
}

VArrayImage::~VArrayImage() { DeleteAllElements(); }

uint64 VArrayImage::GetDataSizeFor(int32 /*count*/) const { return 0; }

bool VArrayImage::SetCount(int32 count) {
  if (count < 0) count = 0;
  if (count == fCount) return true;
  if (count < fCount) DeleteElements(count, fCount - count);
  fValues.resize(size_t(count), nullptr);
  fCount = count;
  return true;
}

bool VArrayImage::Delete(int32 position, int32 count) {
  if (!VArrayValue::Delete(position, count)) return false;
  // The moved entries left copies of their pointers past the new count.
  fValues.resize(size_t(fCount));
  return true;
}

bool VArrayImage::Copy(const VArrayValue& source) {
  if (&source == this) return true;
  if (source.GetElemValueKind() != GetElemValueKind()) return false;
  const VArrayImage& images = static_cast<const VArrayImage&>(source);
  DeleteAllElements();
  fValues.reserve(images.fValues.size());
  for (int32 i = 0; i < images.fCount; ++i) {
    const VValueSingle* entry = images.fValues[size_t(i)];
    fValues.push_back(entry != nullptr ? CloneSingle(*entry) : nullptr);
  }
  fCount = images.fCount;
  return true;
}

void VArrayImage::Sort(int32, int32, uint8) {}

void VArrayImage::Unsort() {}

void VArrayImage::FromValue(const VValueSingle& value, int32 position) {
  if (!ValidIndex(position)) return;
  VValueSingle*& entry = fValues[size_t(position - 1)];
  delete entry;
  entry = CloneSingle(value);
}

void VArrayImage::GetValue(VValueSingle& out, int32 position) const {
  const VValueSingle* entry = GetEntry(position);
  if (entry == nullptr) return;
  out.SetNull(entry->IsNull());
  out.SetDirty(entry->IsDirty());
}

VValueSingle* VArrayImage::CloneValue(int32 position) const {
  const VValueSingle* entry = GetEntry(position);
  return entry != nullptr ? CloneSingle(*entry) : nullptr;
}

CompareResult VArrayImage::CompareTo(const VValueSingle&, bool, int32) const {
  return kCompareUnordered;
}

int32 VArrayImage::Find(const VValueSingle&, int32, uint8, CompareMethod) const { return 0; }

const VValueSingle* VArrayImage::GetEntry(int32 position) const {
  return ValidIndex(position) ? fValues[size_t(position - 1)] : nullptr;
}

void VArrayImage::MoveElements(int32 from, int32 to, int32 count) {
  if (from < 0 || to < 0 || from == to || count < 1) return;
  if (from > fCount - count || to > fCount - count) return;
  // Pointers are copied, as bytes would be: the caller clears or drops the
  // slots left behind.
  auto first = fValues.begin() + from;
  if (from > to) {
    std::copy(first, first + count, fValues.begin() + to);
  } else {
    std::copy_backward(first, first + count, fValues.begin() + to + count);
  }
}

void VArrayImage::DeleteElements(int32 from, int32 count) {
  if (from < 0 || count < 0 || from > fCount - count) return;
  for (int32 i = from; i < from + count; ++i) {
    delete fValues[size_t(i)];
    fValues[size_t(i)] = nullptr;
  }
}

void VArrayImage::InitElements(int32 from, int32 count) {
  if (from < 0 || count < 1 || from > fCount - count) return;
  std::fill(fValues.begin() + from, fValues.begin() + from + count, nullptr);
}

void VArrayImage::DeleteAllElements() {
  for (VValueSingle* entry : fValues) delete entry;
  fValues.clear();
  fCount = 0;
}

void VArrayImage::SwapElements(uint8*, int32 i, int32 j) {
  std::swap(fValues[size_t(i)], fValues[size_t(j)]);
}

CompareResult VArrayImage::CompareElements(uint8*, int32, int32) { return kCompareUnordered; }

VError VArrayImage::WriteToStream(VStream* stream, int32 /*param*/) const {
  stream->PutLongs(&fCount, 1);
  const uint8 nothing[8] = {};
  for (int32 i = 0; i < fCount && stream->GetLastError() == VE_OK; ++i) {
    const VValueSingle* entry = fValues[size_t(i)];
    if (entry != nullptr) {
      entry->WriteToStream(stream, 0);
    } else {
      stream->PutData(nothing, sizeof(nothing));
    }
  }
  return stream->GetLastError();
}

VError VArrayImage::ReadFromStream(VStream* stream, int32 /*param*/) {
  int32 count = 0;
  VError error = ReadStreamCount(stream, count);
  if (error != VE_OK) return error;
  DeleteAllElements();
  if (count == 0) return VE_OK;
  const VValueInfo* info = VValue::ValueInfoFromValueKind(kValueKindImage);
  if (info == nullptr) {
    // The entries cannot be read, so the rest of the stream cannot be
    // found either: fail rather than leave it misaligned.
    error = ToolboxError(toolbox_error::kNotSupportedByValue);
    _ThrowError(error);
    return error;
  }
  for (int32 i = 0; i < count; ++i) {
    VValue* value = info->Generate();
    VValueSingle* single = value != nullptr ? value->IsVValueSingle() : nullptr;
    if (single == nullptr) {
      delete value;
      error = ToolboxError(toolbox_error::kNotSupportedByValue);
      break;
    }
    fValues.push_back(single);
    fCount = int32(fValues.size());
    error = single->ReadFromStream(stream, 0);
    if (error != VE_OK) break;
  }
  if (error != VE_OK) DeleteAllElements();
  return error;
}

}  // namespace zeft
