#include "values/VPackedDictionary_with_backstore.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "core/VValue.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"
#include "files/VStream.h"
#include "values/StreamFields.h"

namespace zeft {

namespace {

using Store = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;

// Words of an entry whose kind word and raw form take `flatSize` bytes.
constexpr size_t WordsForFlatSize(size_t flatSize) { return (flatSize + 1) / 2; }

// The stored length that marks a null string in the stream form. A null
// string is held as an empty one with the slot's null flag; in a stream
// the empty string's length words carry the flag instead, so that a JSON
// null attribute still reads back null. The entry keeps its size, and the
// value reads the same in both byte orders.
constexpr uint32 kNullStringLength = 0xFFFFFFFF;

uint32 LoadUInt32(const uint8* bytes, bool foreign) {
  uint32 value;
  std::memcpy(&value, bytes, 4);
  return foreign ? __builtin_bswap32(value) : value;
}

// Byte count of the raw form of a stored value of `kind` at `flat`, of
// which `available` bytes may be read, or false when the form does not fit
// or its size cannot be known without trusting it. `foreign`: the form is
// still in the other byte order. Strings and blobs start with a 32-bit
// count; every other kind must have a size that does not depend on its
// bytes (probed on two unlike headers).
bool CheckedRawSize(uint16 kind, const uint8* flat, size_t available, bool foreign,
                    size_t& outSize) {
  const VValueInfo* info = VValue::ValueInfoFromValueKind(kind);
  if (info == nullptr) {
    outSize = 0;
    return true;
  }
  if (kind == kValueKindString || kind == kValueKindBlob) {
    if (available < 4) return false;
    const uint64 count = LoadUInt32(flat, foreign);
    if (kind == kValueKindString && count == kNullStringLength) {
      outSize = 4;
      return true;
    }
    if (count > uint64(std::numeric_limits<int32>::max())) return false;
    const uint64 size = 4 + count * (kind == kValueKindString ? 2 : 1);
    if (size > available) return false;
    outSize = size_t(size);
    return true;
  }
  alignas(8) uint8 zeros[64] = {};
  alignas(8) uint8 ones[64];
  std::memset(ones, 0xFF, sizeof(ones));
  const size_t size = info->GetSizeOfValueDataPtr(zeros);
  if (size != info->GetSizeOfValueDataPtr(ones) || size > available) return false;
  outSize = size;
  return true;
}

}  // namespace

Store::VPackedDictionary_with_backstore(const VPackedDictionary_with_backstore& other)
    : VPackedDictionary_base() {
  *this = other;
}

Store& Store::operator=(const VPackedDictionary_with_backstore& other) {
  if (this == &other) return *this;
  other._Pack();
  RemoveAll();
  fKeys = other.fKeys;
  fSlots = other.fSlots;
  for (Slot& slot : fSlots) slot.fCachedValue = nullptr;
  fHashMap = other.fHashMap;
  fBackstore = other.fBackstore;
  fNeedsPack = false;
  return *this;
}

Store::~VPackedDictionary_with_backstore() { _DeleteCachedValues(); }

void Store::_DeleteCachedValues() {
  for (Slot& slot : fSlots) {
    delete slot.fCachedValue;
    slot.fCachedValue = nullptr;
  }
}

void Store::RemoveAll() {
  _DeleteCachedValues();
  _ClearKeys();
  std::vector<uint16>().swap(fBackstore);
  fNeedsPack = false;
}

void Store::RemoveAllKeepingRoom() {
  _DeleteCachedValues();
  fKeys.clear();
  fSlots.clear();
  fHashMap.Clear();
  fBackstore.clear();
  fNeedsPack = false;
}

size_t Store::_GetFlatSize(size_t index) const {
  const size_t offset = size_t(fSlots[index].fValueOffset);
  const VValueInfo* info = VValue::ValueInfoFromValueKind(fBackstore[offset]);
  if (info == nullptr) return 2;
  return 2 + info->GetSizeOfValueDataPtr(fBackstore.data() + offset + 1);
}

size_t Store::_GetEntryWords(size_t index) const {
  const size_t end =
      index + 1 < fSlots.size() ? size_t(fSlots[index + 1].fValueOffset) : fBackstore.size();
  return end - size_t(fSlots[index].fValueOffset);
}

void Store::_WriteEntry(size_t index, const VValueSingle& value) const {
  const size_t wordOffset = size_t(fSlots[index].fValueOffset);
  fBackstore[wordOffset] = value.GetValueKind();
  value.WriteToPtr(fBackstore.data() + wordOffset + 1, false, 0);
  fSlots[index].fNull = value.IsNull();
}

bool Store::Append(const StPackedDictionaryKey& key, const VValueSingle& value) {
  if (!key.IsValid()) return false;
  const size_t words = WordsForFlatSize(value.GetSpace(0) + 2);
  const size_t oldWords = fBackstore.size();
  if (words > kMaxBackstoreWords - oldWords) return false;
  try {
    if (fBackstore.capacity() < oldWords + words) {
      fBackstore.reserve(std::max<size_t>({2 * fBackstore.capacity(), oldWords + words, 32}));
    }
    fBackstore.resize(oldWords + words, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const size_t index = _AppendKeyAndSlot(key);
  if (index == fSlots.size()) {
    fBackstore.resize(oldWords);
    return false;
  }
  fSlots[index].fValueOffset = oldWords;
  _WriteEntry(index, value);
  return true;
}

bool Store::SetExistingValue(const StPackedDictionaryKey& key, const VValueSingle& value) {
  const size_t index = _Find(key);
  if (index == fSlots.size()) return false;
  Slot& slot = fSlots[index];
  if (slot.fCachedValue == nullptr) {
    if (_GetFlatSize(index) == value.GetSpace(0) + 2) {
      _WriteEntry(index, value);
      return true;
    }
    VValue* clone = value.Clone();
    if (clone == nullptr) return false;
    slot.fCachedValue = clone->IsVValueSingle();
  } else if (slot.fCachedValue != &value) {
    // A held value that cannot take the new one in place (another kind, or
    // another class of the same kind) is replaced by a copy.
    if (slot.fCachedValue->GetValueKind() != value.GetValueKind() ||
        !slot.fCachedValue->FromValueSameKind(&value)) {
      VValue* clone = value.Clone();
      if (clone == nullptr) return false;
      delete slot.fCachedValue;
      slot.fCachedValue = clone->IsVValueSingle();
    }
  }
  // Some kinds' copies are never null.
  if (value.IsNull()) slot.fCachedValue->SetNull(true);
  fNeedsPack = true;
  return true;
}

VValueSingle* Store::_LoadCachedValue(size_t index) const {
  Slot& slot = fSlots[index];
  if (slot.fCachedValue != nullptr) return slot.fCachedValue;
  const size_t offset = size_t(slot.fValueOffset);
  const VValueInfo* info = VValue::ValueInfoFromValueKind(fBackstore[offset]);
  if (info == nullptr) return nullptr;
  VValue* value = info->LoadFromPtr(fBackstore.data() + offset + 1, false);
  if (value == nullptr) return nullptr;
  VValueSingle* single = value->IsVValueSingle();
  if (single == nullptr) {
    // Bags and arrays are no attribute values.
    delete value;
    return nullptr;
  }
  if (slot.fNull) single->SetNull(true);
  slot.fCachedValue = single;
  return single;
}

bool Store::GetValue(const StPackedDictionaryKey& key, VValueSingle& out) const {
  const size_t index = _Find(key);
  if (index == fSlots.size()) return false;
  const Slot& slot = fSlots[index];
  const VValueSingle* value = slot.fCachedValue;
  if (value == nullptr) {
    const size_t offset = size_t(slot.fValueOffset);
    const uint16 kind = fBackstore[offset];
    if (VValue::ValueInfoFromValueKind(kind) == nullptr) return true;
    if (out.GetValueKind() == kind) {
      out.LoadFromPtr(fBackstore.data() + offset + 1, false);
      if (slot.fNull) out.SetNull(true);
      return true;
    }
    value = _LoadCachedValue(index);
    if (value == nullptr) return true;
  }
  value->GetValue(out);
  // Conversions carry no null state.
  if (value->IsNull()) out.SetNull(true);
  return true;
}

const VValueSingle* Store::GetNthValue(size_t index) const {
  return index < fSlots.size() ? _LoadCachedValue(index) : nullptr;
}

VValueSingle* Store::GetNthValueForChange(size_t index) {
  VValueSingle* value = index < fSlots.size() ? _LoadCachedValue(index) : nullptr;
  if (value != nullptr) fNeedsPack = true;
  return value;
}

void Store::ReplaceNthValue(size_t index, VValueSingle* value) {
  Slot& slot = fSlots[index];
  if (slot.fCachedValue != value) delete slot.fCachedValue;
  slot.fCachedValue = value;
  fNeedsPack = true;
}

uint16 Store::GetNthValueKind(size_t index) const {
  const Slot& slot = fSlots[index];
  if (slot.fCachedValue != nullptr) return slot.fCachedValue->GetValueKind();
  return fBackstore[size_t(slot.fValueOffset)];
}

void Store::Clear(const StPackedDictionaryKey& key) {
  const size_t index = _Find(key);
  if (index == fSlots.size()) return;
  Slot& slot = fSlots[index];
  delete slot.fCachedValue;
  slot.fCachedValue = nullptr;
  const size_t offset = size_t(slot.fValueOffset);
  const size_t words = _GetEntryWords(index);
  fBackstore.erase(fBackstore.begin() + offset, fBackstore.begin() + offset + words);
  for (size_t i = index + 1; i < fSlots.size(); ++i) fSlots[i].fValueOffset -= words;
  _RemoveKeyAndSlot(index);
}

void Store::_Pack() const {
  if (!fNeedsPack) return;
  bool inPlace = true;
  for (size_t i = 0; i < fSlots.size() && inPlace; ++i) {
    const VValueSingle* cached = fSlots[i].fCachedValue;
    if (cached == nullptr) continue;
    if (_GetFlatSize(i) == cached->GetSpace(0) + 2) {
      _WriteEntry(i, *cached);
    } else {
      inPlace = false;
    }
  }
  if (!inPlace) {
    try {
      std::vector<uint16> store;
      std::vector<uint64> offsets(fSlots.size());
      for (size_t i = 0; i < fSlots.size(); ++i) {
        const size_t newOffset = store.size();
        offsets[i] = newOffset;
        if (const VValueSingle* cached = fSlots[i].fCachedValue) {
          store.resize(newOffset + WordsForFlatSize(cached->GetSpace(0) + 2), 0);
          store[newOffset] = cached->GetValueKind();
          cached->WriteToPtr(store.data() + newOffset + 1, false, 0);
        } else {
          const size_t flatSize = _GetFlatSize(i);
          store.resize(newOffset + WordsForFlatSize(flatSize), 0);
          std::memcpy(store.data() + newOffset, fBackstore.data() + fSlots[i].fValueOffset,
                      flatSize);
        }
      }
      if (store.size() > kMaxBackstoreWords) return;
      fBackstore.swap(store);
      for (size_t i = 0; i < fSlots.size(); ++i) {
        fSlots[i].fValueOffset = offsets[i];
        if (const VValueSingle* cached = fSlots[i].fCachedValue) fSlots[i].fNull = cached->IsNull();
      }
    } catch (const std::bad_alloc&) {
      // Still needs pack; the cached values stay authoritative.
      return;
    }
  }
  fNeedsPack = false;
}

bool Store::_IsMarkedNullString(size_t index) const {
  const size_t offset = size_t(fSlots[index].fValueOffset);
  if (!fSlots[index].fNull || fBackstore[offset] != kValueKindString) return false;
  // Only an empty stored string has the marker's size.
  return fBackstore[offset + 1] == 0 && fBackstore[offset + 2] == 0;
}

VError Store::WriteToStream(VStream* stream, bool withIndex) const {
  _Pack();
  _WriteKeysToStream(stream, withIndex);
  PutStreamUInt32(stream, uint32(fBackstore.size()));
  if (fBackstore.empty()) return stream->GetLastError();
  bool marks = false;
  for (size_t i = 0; i < fSlots.size() && !marks; ++i) marks = _IsMarkedNullString(i);
  if (!stream->NeedSwap() && !marks) {
    stream->PutData(fBackstore.data(), fBackstore.size() * 2);
    return stream->GetLastError();
  }
  // Marked and swapped on a copy: the words in memory stay as they are.
  std::vector<uint16> swapped;
  try {
    swapped = fBackstore;
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  for (size_t i = 0; i < fSlots.size(); ++i) {
    const size_t offset = size_t(fSlots[i].fValueOffset);
    if (stream->NeedSwap()) {
      const uint16 kind = swapped[offset];
      swapped[offset] = __builtin_bswap16(kind);
      if (const VValueInfo* info = VValue::ValueInfoFromValueKind(kind)) {
        info->ByteSwapPtr(swapped.data() + offset + 1, true);
      }
    }
    // The marker reads the same in both byte orders.
    if (_IsMarkedNullString(i)) swapped[offset + 1] = swapped[offset + 2] = 0xFFFF;
  }
  stream->PutData(swapped.data(), swapped.size() * 2);
  return stream->GetLastError();
}

VError Store::ReadFromStream(VStream* stream) {
  RemoveAll();
  VError error = stream->GetLastError();
  if (error != VE_OK) return error;
  error = _ReadKeysFromStream(stream);
  if (error == VE_OK) error = _ReadBackstore(stream);
  if (error != VE_OK) RemoveAll();
  return error;
}

VError Store::_ReadBackstore(VStream* stream) {
  // Words arrive in pieces: a stored count alone never reserves memory.
  constexpr size_t kReadChunk = 32 * 1024;
  uint32 wordCount = 0;
  VError error = GetStreamUInt32(stream, wordCount);
  if (error != VE_OK) return error;
  // Every entry takes at least its kind word.
  if (wordCount < fSlots.size()) return ToolboxError(toolbox_error::kBagStreamCorrupted);
  try {
    while (fBackstore.size() < wordCount) {
      const size_t old = fBackstore.size();
      const size_t piece = std::min<size_t>(kReadChunk, wordCount - old);
      fBackstore.resize(old + piece);
      error = GetStreamBytes(stream, fBackstore.data() + old, piece * 2);
      if (error != VE_OK) return error;
    }
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }

  const bool foreign = stream->NeedSwap();
  size_t offset = 0;
  for (Slot& slot : fSlots) {
    if (offset >= fBackstore.size()) return ToolboxError(toolbox_error::kBagStreamCorrupted);
    slot.fValueOffset = offset;
    if (foreign) fBackstore[offset] = __builtin_bswap16(fBackstore[offset]);
    const uint16 kind = fBackstore[offset];
    uint8* flat = reinterpret_cast<uint8*>(fBackstore.data() + offset + 1);
    const size_t available = (fBackstore.size() - offset) * 2 - 2;
    size_t rawSize = 0;
    if (!CheckedRawSize(kind, flat, available, foreign, rawSize)) {
      return ToolboxError(toolbox_error::kBagStreamCorrupted);
    }
    if (kind == kValueKindString && LoadUInt32(flat, false) == kNullStringLength) {
      // Held as an empty string whose slot is null.
      std::memset(flat, 0, 4);
      slot.fNull = true;
    }
    if (foreign) {
      if (const VValueInfo* info = VValue::ValueInfoFromValueKind(kind)) {
        info->ByteSwapPtr(flat, false);
      }
    }
    offset += WordsForFlatSize(rawSize + 2);
  }
  if (offset != fBackstore.size()) return ToolboxError(toolbox_error::kBagStreamCorrupted);
  return VE_OK;
}

}  // namespace zeft
