#include "values/VBagArray.h"

#include <algorithm>
#include <limits>
#include <new>

#include "files/VStream.h"
#include "values/StreamFields.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

// Room reserved ahead for bags announced by a stream; more grows as they
// arrive.
constexpr uint32 kMaxReservedBags = 1024;

}  // namespace

VBagArray::VBagArray(const VBagArray& other) : VObject(), IRefCountable() {
  fBags.reserve(other.fBags.size());
  try {
    for (const VValueBag* bag : other.fBags) {
      fBags.push_back(bag != nullptr ? new VValueBag(*bag) : nullptr);
    }
  } catch (...) {
    Destroy();
    throw;
  }
}

VBagArray::~VBagArray() { Destroy(); }

VValueBag* VBagArray::GetNth(int32 n) const {
  return (n >= 1 && n <= GetCount()) ? fBags[size_t(n - 1)] : nullptr;
}

bool VBagArray::AddTail(VValueBag* bag) {
  if (bag == nullptr) return false;
  try {
    fBags.push_back(bag);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bag->Retain();
  return true;
}

bool VBagArray::AddNth(VValueBag* bag, int32 n) {
  if (bag == nullptr) return false;
  const int32 position = std::clamp(n, 1, GetCount() + 1);
  try {
    fBags.insert(fBags.begin() + (position - 1), bag);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bag->Retain();
  return true;
}

void VBagArray::SetNth(VValueBag* bag, int32 n) {
  if (bag == nullptr || n < 1 || n > GetCount()) return;
  VValueBag*& entry = fBags[size_t(n - 1)];
  if (entry == bag) return;
  bag->Retain();
  VValueBag* old = entry;
  entry = bag;
  if (old != nullptr) old->Release();
}

void VBagArray::DeleteNth(int32 n) {
  if (n < 1 || n > GetCount()) return;
  VValueBag* bag = fBags[size_t(n - 1)];
  fBags.erase(fBags.begin() + (n - 1));
  if (bag != nullptr) bag->Release();
}

void VBagArray::Delete(VValueBag* bag) {
  auto found = std::find(fBags.begin(), fBags.end(), bag);
  if (found != fBags.end()) fBags.erase(found);
}

int32 VBagArray::Find(const VValueBag* bag) const {
  auto found = std::find(fBags.begin(), fBags.end(), bag);
  return found == fBags.end() ? 0 : int32(found - fBags.begin()) + 1;
}

VValueBag* VBagArray::RetainNth(int32 n) const {
  VValueBag* bag = GetNth(n);
  if (bag == nullptr) return new VValueBag();
  bag->Retain();
  return bag;
}

void VBagArray::Destroy() {
  std::vector<VValueBag*> bags;
  bags.swap(fBags);
  for (VValueBag* bag : bags) {
    if (bag != nullptr) bag->Release();
  }
}

VError VBagArray::WriteToStreamMinimal(VStream* stream) const {
  PutStreamUInt32(stream, uint32(fBags.size()));
  for (const VValueBag* bag : fBags) {
    if (stream->GetLastError() != VE_OK) break;
    VError error;
    if (bag != nullptr) {
      error = bag->WriteToStreamMinimal(stream, true);
    } else {
      // A missing entry is written as an empty bag.
      error = stream->PutByte(0);
    }
    if (error != VE_OK) return error;
  }
  return stream->GetLastError();
}

VError VBagArray::ReadFromStreamMinimal(VStream* stream) {
  StBagStreamBudget budget(stream);
  return _ReadFromStreamMinimal(stream, 1, budget);
}

VError VBagArray::_ReadFromStreamMinimal(VStream* stream, int32 depth, StBagStreamBudget& budget) {
  Destroy();
  VError error = stream->GetLastError();
  if (error != VE_OK) return error;
  uint32 count = 0;
  error = GetStreamUInt32(stream, count);
  if (error != VE_OK) return error;
  if (count > uint32(std::numeric_limits<int32>::max()))
    return ToolboxError(toolbox_error::kBagStreamCorrupted);
  if (count != 0 && depth > kMaxStreamDepth) {
    return ToolboxError(toolbox_error::kBagStreamCorrupted);
  }
  try {
    fBags.reserve(std::min(count, kMaxReservedBags));
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  auto readBag = [&]() -> VError {
    if (!budget.TakeBag()) return ToolboxError(toolbox_error::kBagStreamCorrupted);
    VValueBag* bag = new (std::nothrow) VValueBag();
    if (bag == nullptr) return ToolboxError(toolbox_error::kMemoryFull);
    VError bagError = bag->_ReadFromStreamMinimal(stream, depth, budget);
    if (bagError == VE_OK) {
      try {
        fBags.push_back(bag);
        return VE_OK;
      } catch (const std::bad_alloc&) {
        bagError = ToolboxError(toolbox_error::kMemoryFull);
      }
    }
    bag->Release();
    return bagError;
  };
  // The budget bounds the bags kept as well as those read, so keeping the
  // bags read before a failure costs no more than reading them did.
  for (uint32 i = 0; i < count; ++i) {
    error = readBag();
    if (error != VE_OK) return error;
  }
  return VE_OK;
}

}  // namespace zeft
