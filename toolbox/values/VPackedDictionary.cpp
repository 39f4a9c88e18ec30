#include "values/VPackedDictionary.h"

#include <new>

#include "files/VStream.h"
#include "values/StreamFields.h"
#include "values/VBagArray.h"

namespace zeft {

using Elements = VPackedDictionary<VPackedValue_VBagArray>;

Elements::VPackedDictionary(const VPackedDictionary& other) : VPackedDictionary_base(other) {
  for (Slot& slot : fSlots) slot.fBagArray = nullptr;
  try {
    for (size_t i = 0; i < fSlots.size(); ++i) {
      if (const VBagArray* source = other.fSlots[i].fBagArray) {
        fSlots[i].fBagArray = new VBagArray(*source);
      }
    }
  } catch (...) {
    _ReleaseAll();
    throw;
  }
}

Elements::~VPackedDictionary() { _ReleaseAll(); }

void Elements::_ReleaseAll() {
  for (Slot& slot : fSlots) {
    if (slot.fBagArray != nullptr) slot.fBagArray->Release();
    slot.fBagArray = nullptr;
  }
}

bool Elements::SetValue(const StPackedDictionaryKey& key, VBagArray* array) {
  size_t index = _Find(key);
  if (index == fSlots.size()) {
    index = _AppendKeyAndSlot(key);
    if (index == fSlots.size()) return false;
  }
  Slot& slot = fSlots[index];
  if (slot.fBagArray != array) {
    if (array != nullptr) array->Retain();
    VBagArray* old = slot.fBagArray;
    slot.fBagArray = array;
    if (old != nullptr) old->Release();
  }
  return true;
}

VBagArray* Elements::GetValue(const StPackedDictionaryKey& key) const {
  const size_t index = _Find(key);
  return index == fSlots.size() ? nullptr : fSlots[index].fBagArray;
}

void Elements::Remove(const StPackedDictionaryKey& key) {
  const size_t index = _Find(key);
  if (index == fSlots.size()) return;
  VBagArray* array = fSlots[index].fBagArray;
  _RemoveKeyAndSlot(index);
  if (array != nullptr) array->Release();
}

bool Elements::Reorder(const std::vector<size_t>& order) {
  if (order.size() != fSlots.size()) return false;
  try {
    std::vector<uint8> keys;
    std::vector<Slot> slots;
    keys.reserve(fKeys.size());
    slots.reserve(fSlots.size());
    for (size_t index : order) {
      size_t length = 0;
      const char* text = GetKeyText(index, length);
      Slot slot = fSlots[index];
      slot.fKeyOffset = keys.size();
      keys.push_back(uint8(length));
      keys.insert(keys.end(), text, text + length);
      slots.push_back(slot);
    }
    fKeys.swap(keys);
    fSlots.swap(slots);
  } catch (const std::bad_alloc&) {
    return false;
  }
  fHashMap.Clear();
  return true;
}

VError Elements::WriteToStream(VStream* stream, bool withIndex) const {
  VError error = _WriteKeysToStream(stream, withIndex);
  for (const Slot& slot : fSlots) {
    if (error != VE_OK) break;
    if (slot.fBagArray != nullptr) {
      error = slot.fBagArray->WriteToStreamMinimal(stream);
    } else {
      error = PutStreamUInt32(stream, 0);
    }
  }
  return error;
}

VError Elements::ReadFromStream(VStream* stream, int32 depth, StBagStreamBudget& budget) {
  _ReleaseAll();
  _ClearKeys();
  VError error = stream->GetLastError();
  if (error != VE_OK) return error;
  error = _ReadKeysFromStream(stream);
  for (Slot& slot : fSlots) {
    if (error != VE_OK) break;
    VBagArray* array = new (std::nothrow) VBagArray();
    if (array == nullptr) {
      error = ToolboxError(toolbox_error::kMemoryFull);
      break;
    }
    slot.fBagArray = array;
    error = array->_ReadFromStreamMinimal(stream, depth + 1, budget);
  }
  if (error != VE_OK) {
    _ReleaseAll();
    _ClearKeys();
  }
  return error;
}

}  // namespace zeft
