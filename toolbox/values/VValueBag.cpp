#include "values/VValueBag.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "core/CharSet.h"
#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "values/IBaggable.h"

namespace zeft {

constinit const VValueInfo_default<VValueBag, kValueKindBag> VValueBag::sInfo;

namespace {

constexpr StPackedDictionaryKey kCDataKey("<>");

// Holds one reference taken by the caller's `new`.
using BagRef = VRefPtr<VValueBag>;

}  // namespace

// ---------------------------------------------------------------------------
// Life

VValueBag::VValueBag() : VValue(kFlagDirty) {}

VValueBag::VValueBag(const VValueBag& other)
    : VValue(other), IRefCountable(), fAttributes(other.fAttributes) {
  fFlags |= kFlagDirty;
  if (other.fElements != nullptr) fElements = new ElementStore(*other.fElements);
}

VValueBag::~VValueBag() { delete fElements; }

void VValueBag::Destroy() {
  fAttributes.RemoveAll();
  delete std::exchange(fElements, nullptr);
}

void VValueBag::_EmptyKeepingRoom() {
  fAttributes.RemoveAllKeepingRoom();
  delete std::exchange(fElements, nullptr);
  fFlags = kFlagDirty;
}

bool VValueBag::IsEmpty() const {
  return fAttributes.GetCount() == 0 && GetElementNamesCount() == 0;
}

const VValueInfo* VValueBag::GetValueInfo() const { return &sInfo; }

VValueBag* VValueBag::Clone() const {
  try {
    return new VValueBag(*this);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

VValueBag::ElementStore* VValueBag::_GetOrMakeElementStore() {
  if (fElements == nullptr) fElements = new (std::nothrow) ElementStore();
  return fElements;
}

// ---------------------------------------------------------------------------
// Attributes

bool VValueBag::SetAttribute(const StPackedDictionaryKey& key, const VValueSingle& value) {
  return fAttributes.SetExistingValue(key, value) || fAttributes.Append(key, value);
}

bool VValueBag::GetAttribute(const StPackedDictionaryKey& key, VValueSingle& out) const {
  return fAttributes.GetValue(key, out);
}

const VValueSingle* VValueBag::GetAttributeValue(const StPackedDictionaryKey& key) const {
  return fAttributes.GetNthValue(fAttributes.FindIndex(key));
}

bool VValueBag::AttributeExists(const StPackedDictionaryKey& key) const {
  return fAttributes.FindIndex(key) < fAttributes.GetCount();
}

int32 VValueBag::FindAttribute(const StPackedDictionaryKey& key) const {
  const size_t index = fAttributes.FindIndex(key);
  return index < fAttributes.GetCount() ? int32(index) + 1 : 0;
}

void VValueBag::RemoveAttribute(const StPackedDictionaryKey& key) { fAttributes.Clear(key); }

int32 VValueBag::GetAttributesCount() const { return int32(fAttributes.GetCount()); }

const VValueSingle* VValueBag::GetNthAttribute(int32 n, VString* outName) const {
  if (n < 1 || size_t(n) > fAttributes.GetCount()) {
    if (outName != nullptr) outName->Clear();
    return nullptr;
  }
  if (outName != nullptr) fAttributes.GetKey(size_t(n - 1)).GetKeyString(*outName);
  return fAttributes.GetNthValue(size_t(n - 1));
}

bool VValueBag::SetString(const StPackedDictionaryKey& key, const VString& value) {
  return SetAttribute(key, value);
}
bool VValueBag::GetString(const StPackedDictionaryKey& key, VString& out) const {
  return GetAttribute(key, out);
}
bool VValueBag::SetLong(const StPackedDictionaryKey& key, int32 value) {
  return SetAttribute(key, VLong(value));
}
bool VValueBag::GetLong(const StPackedDictionaryKey& key, int32& out) const {
  VLong value;
  if (!GetAttribute(key, value)) return false;
  out = value.Get();
  return true;
}
bool VValueBag::SetLong8(const StPackedDictionaryKey& key, int64 value) {
  return SetAttribute(key, VLong8(value));
}
bool VValueBag::GetLong8(const StPackedDictionaryKey& key, int64& out) const {
  VLong8 value;
  if (!GetAttribute(key, value)) return false;
  out = value.Get();
  return true;
}
bool VValueBag::SetReal(const StPackedDictionaryKey& key, double value) {
  return SetAttribute(key, VReal(value));
}
bool VValueBag::GetReal(const StPackedDictionaryKey& key, double& out) const {
  VReal value;
  if (!GetAttribute(key, value)) return false;
  out = value.Get();
  return true;
}
bool VValueBag::SetBool(const StPackedDictionaryKey& key, bool value) {
  return SetAttribute(key, VBoolean(value ? 1 : 0));
}
bool VValueBag::GetBool(const StPackedDictionaryKey& key, bool& out) const {
  VBoolean value;
  if (!GetAttribute(key, value)) return false;
  out = value.Get() != 0;
  return true;
}

const StPackedDictionaryKey& VValueBag::CDataAttributeName() { return kCDataKey; }

void VValueBag::SetCData(const VString& text) { SetAttribute(kCDataKey, text); }

bool VValueBag::GetCData(VString& out) const { return GetAttribute(kCDataKey, out); }

void VValueBag::AppendToCData(const VString& text) {
  const size_t index = fAttributes.FindIndex(kCDataKey);
  if (index < fAttributes.GetCount()) {
    if (VValueSingle* value = fAttributes.GetNthValueForChange(index)) {
      if (value->GetValueKind() == kValueKindString) {
        static_cast<VString*>(value)->AppendString(text);
      } else {
        VString* joined = new VString();
        value->GetString(*joined);
        joined->AppendString(text);
        fAttributes.ReplaceNthValue(index, joined);
      }
      return;
    }
  }
  SetAttribute(kCDataKey, text);
}

// ---------------------------------------------------------------------------
// Elements

VBagArray* VValueBag::GetElements(const StPackedDictionaryKey& key) const {
  return fElements != nullptr ? fElements->GetValue(key) : nullptr;
}

void VValueBag::SetElements(const StPackedDictionaryKey& key, VBagArray* array) {
  if (ElementStore* store = _GetOrMakeElementStore()) store->SetValue(key, array);
}

void VValueBag::AddElement(const StPackedDictionaryKey& key, VValueBag* bag) {
  if (bag == nullptr) return;
  if (VBagArray* array = GetElements(key)) {
    array->AddTail(bag);
    return;
  }
  ElementStore* store = _GetOrMakeElementStore();
  VBagArray* array = new (std::nothrow) VBagArray();
  if (store == nullptr || array == nullptr) {
    delete array;
    return;
  }
  if (array->AddTail(bag)) store->SetValue(key, array);
  array->Release();
}

VError VValueBag::AddElement(const IBaggable* object) {
  if (object == nullptr) return VE_OK;
  BagRef bag(new VValueBag(), kAdoptRef);
  VString kindName;
  VError error = object->SaveToBag(*bag, kindName);
  if (error == VE_OK) {
    const StPackedDictionaryKey key(kindName);
    // A kind name that cannot be a key would drop the bag unnoticed.
    if (!key.IsValid()) return ToolboxError(toolbox_error::kInvalidParameter);
    AddElement(key, bag.Get());
    if (GetElements(key) == nullptr || GetElements(key)->Find(bag.Get()) == 0) {
      error = ToolboxError(toolbox_error::kMemoryFull);
    }
  }
  return error;
}

bool VValueBag::ReplaceElement(const StPackedDictionaryKey& key, VValueBag* bag) {
  if (bag == nullptr) {
    RemoveElements(key);
    return false;
  }
  if (VBagArray* array = GetElements(key)) {
    if (array->GetCount() == 1 && array->GetNth(1) == bag) return false;
    // Retained first: the bag may be one of those the array releases.
    BagRef keep(bag);
    array->Destroy();
    return array->AddTail(bag);
  }
  ElementStore* store = _GetOrMakeElementStore();
  VBagArray* array = new (std::nothrow) VBagArray();
  if (store == nullptr || array == nullptr) {
    delete array;
    return false;
  }
  bool added = array->AddTail(bag) && store->SetValue(key, array);
  array->Release();
  return added;
}

void VValueBag::RemoveElements(const StPackedDictionaryKey& key) {
  if (fElements != nullptr) fElements->Remove(key);
}

int32 VValueBag::GetElementNamesCount() const {
  return fElements != nullptr ? int32(fElements->GetCount()) : 0;
}

VBagArray* VValueBag::GetNthElementName(int32 n, VString* outName) const {
  if (n < 1 || n > GetElementNamesCount()) {
    if (outName != nullptr) outName->Clear();
    return nullptr;
  }
  if (outName != nullptr) fElements->GetKey(size_t(n - 1)).GetKeyString(*outName);
  return fElements->GetNthValue(size_t(n - 1));
}

VValueBag* VValueBag::GetUniqueElementAnyKind(VString& outName) const {
  if (GetElementNamesCount() == 1) {
    const VBagArray* array = fElements->GetNthValue(0);
    if (array != nullptr && array->GetCount() == 1 && array->GetNth(1) != nullptr) {
      fElements->GetKey(0).GetKeyString(outName);
      return array->GetNth(1);
    }
  }
  outName.Clear();
  return nullptr;
}

VValueBag* VValueBag::GetUniqueElement(const StPackedDictionaryKey& key) const {
  const VBagArray* array = GetElements(key);
  return array != nullptr ? array->GetNth(1) : nullptr;
}

VValueBag* VValueBag::RetainUniqueElementWithAttribute(const StPackedDictionaryKey& key,
                                                       const StPackedDictionaryKey& attributeKey,
                                                       const VValueSingle& value) const {
  const VBagArray* array = GetElements(key);
  if (array == nullptr) return nullptr;
  VValue* copy = value.Clone();
  VValueSingle* probe = copy != nullptr ? copy->IsVValueSingle() : nullptr;
  if (probe == nullptr) {
    delete copy;
    return nullptr;
  }
  int32 matches = 0;
  int32 matched = 0;
  for (int32 n = 1; n <= array->GetCount() && matches < 2; ++n) {
    const VValueBag* bag = array->GetNth(n);
    if (bag == nullptr || !bag->GetAttribute(attributeKey, *probe)) probe->Clear();
    if (probe->EqualTo(value, false)) {
      ++matches;
      matched = n;
    }
  }
  delete copy;
  return matches == 1 ? array->RetainNth(matched) : nullptr;
}

// ---------------------------------------------------------------------------
// Paths

bool VValueBag::GetKeysFromPath(const VString& path, KeyPath& keys) {
  KeyPath found;
  const UniChar* units = path.GetCPointer();
  const int32 length = path.GetLength();
  int32 start = 0;
  try {
    for (int32 i = 0; i <= length; ++i) {
      if (i < length && units[i] != u'/') continue;
      // The text after the last separator counts only when not empty.
      if (i == length && i == start) break;
      VString piece;
      piece.FromUniString(units + start, i - start);
      StPackedDictionaryKey key(piece);
      if (!key.IsValid()) return false;
      found.push_back(std::move(key));
      start = i + 1;
    }
    keys.insert(keys.end(), std::make_move_iterator(found.begin()),
                std::make_move_iterator(found.end()));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool VValueBag::GetKeysFromUTF8PathNoCopy(const char* path, KeyPath& keys) {
  if (path == nullptr) return false;
  KeyPath found;
  const size_t length = std::strlen(path);
  size_t start = 0;
  try {
    for (size_t i = 0; i <= length; ++i) {
      if (i < length && path[i] != '/') continue;
      if (i == length && i == start) break;
      StPackedDictionaryKey key(path + start, i - start, StPackedDictionaryKey::BorrowTag{});
      if (!key.IsValid()) return false;
      found.push_back(std::move(key));
      start = i + 1;
    }
    keys.insert(keys.end(), std::make_move_iterator(found.begin()),
                std::make_move_iterator(found.end()));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

VValueBag* VValueBag::GetUniqueElementByPath(const KeyPath& path) const {
  const VValueBag* bag = this;
  for (const StPackedDictionaryKey& key : path) {
    bag = bag->GetUniqueElement(key);
    if (bag == nullptr) return nullptr;
  }
  // The path's bags belong to this one; the caller may change them.
  return const_cast<VValueBag*>(bag);
}

VValueBag* VValueBag::GetUniqueElementByPath(const VString& path) const {
  KeyPath keys;
  if (!GetKeysFromPath(path, keys)) return nullptr;
  return GetUniqueElementByPath(keys);
}

VValueBag* VValueBag::GetElementByPathAndCreateIfDontExists(const KeyPath& path) {
  VValueBag* bag = this;
  for (const StPackedDictionaryKey& key : path) {
    const VBagArray* array = bag->GetElements(key);
    if (array != nullptr && array->GetCount() > 0) {
      bag = array->GetNth(1);
      if (bag == nullptr) return nullptr;
      continue;
    }
    BagRef made(new (std::nothrow) VValueBag(), kAdoptRef);
    if (!made || !bag->ReplaceElement(key, made.Get()) ||
        bag->GetUniqueElement(key) != made.Get()) {
      return nullptr;
    }
    // The list now holds the new bag.
    bag = made.Get();
  }
  return bag;
}

bool VValueBag::ReplaceElementByPath(const KeyPath& path, VValueBag* bag) {
  if (path.empty()) return false;
  if (path.size() == 1) return ReplaceElement(path.front(), bag);
  const KeyPath parentPath(path.begin(), path.end() - 1);
  if (bag != nullptr) {
    VValueBag* parent = GetElementByPathAndCreateIfDontExists(parentPath);
    return parent != nullptr && parent->ReplaceElement(path.back(), bag);
  }
  VValueBag* parent = GetUniqueElementByPath(parentPath);
  if (parent != nullptr && parent->GetElements(path.back()) != nullptr) {
    parent->RemoveElements(path.back());
  }
  return true;
}

// ---------------------------------------------------------------------------
// Merging

namespace {

// Appends clones of every non-null bag of `source` under `key`.
bool AppendClones(VValueBag& target, const StPackedDictionaryKey& key, const VBagArray* source) {
  if (source == nullptr) return true;
  for (int32 n = 1; n <= source->GetCount(); ++n) {
    const VValueBag* bag = source->GetNth(n);
    if (bag == nullptr) continue;
    BagRef clone(bag->Clone(), kAdoptRef);
    if (!clone) return false;
    target.AddElement(key, clone.Get());
  }
  return true;
}

// Sets every loadable attribute of `source` into `target`.
void CopyAttributes(VValueBag& target, const VValueBag& source) {
  const VValueBag::AttributeStore& attributes = source.GetAttributeStore();
  for (size_t i = 0; i < attributes.GetCount(); ++i) {
    if (const VValueSingle* value = attributes.GetNthValue(i)) {
      target.SetAttribute(attributes.GetKey(i), *value);
    }
  }
}

}  // namespace

bool VValueBag::UnionClone(const VValueBag* other) {
  if (other == nullptr) return true;
  if (other == this) {
    // Merging a bag into itself works from a snapshot.
    const VValueBag snapshot(*this);
    return UnionClone(&snapshot);
  }
  CopyAttributes(*this, *other);
  for (int32 n = 1; n <= other->GetElementNamesCount(); ++n) {
    const StPackedDictionaryKey key = other->fElements->GetKey(size_t(n - 1));
    if (!AppendClones(*this, key, other->fElements->GetNthValue(size_t(n - 1)))) return false;
  }
  return true;
}

bool VValueBag::Override(const VValueBag* other) {
  if (other == nullptr) return true;
  if (other == this) {
    const VValueBag snapshot(*this);
    return Override(&snapshot);
  }
  CopyAttributes(*this, *other);
  for (int32 n = 1; n <= other->GetElementNamesCount(); ++n) {
    const StPackedDictionaryKey key = other->fElements->GetKey(size_t(n - 1));
    const VBagArray* theirs = other->fElements->GetNthValue(size_t(n - 1));
    const VBagArray* mine = GetElements(key);
    if (mine != nullptr && theirs != nullptr && mine->GetCount() == 1 && theirs->GetCount() == 1 &&
        mine->GetNth(1) != nullptr && theirs->GetNth(1) != nullptr) {
      if (!mine->GetNth(1)->Override(theirs->GetNth(1))) return false;
    } else if (!AppendClones(*this, key, theirs)) {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Sorting

const StBagElementsOrdering* VValueBag::_FindOrdering(const StPackedDictionaryKey& name,
                                                      const StBagElementsOrdering* orderings) {
  if (orderings == nullptr) return nullptr;
  for (const StBagElementsOrdering* record = orderings; record->fElementName != nullptr; ++record) {
    if (*record->fElementName == name) return record;
  }
  return nullptr;
}

void VValueBag::SortElements(const StPackedDictionaryKey& key,
                             const StBagElementsOrdering* orderings) {
  const StBagElementsOrdering* record = _FindOrdering(key, orderings);
  if (record != nullptr && GetElementNamesCount() > 0) _SortElements(record, orderings);
}

void VValueBag::_SortElements(const StBagElementsOrdering* record,
                              const StBagElementsOrdering* orderings) {
  const size_t count = size_t(GetElementNamesCount());
  if (count >= 2) {
    std::vector<int> ranks(count, 0);
    bool misplaced = false;
    for (size_t i = 0; i < count; ++i) {
      const StPackedDictionaryKey name = fElements->GetKey(i);
      for (int r = 0; r < StBagElementsOrdering::kMaxSubElements; ++r) {
        const StPackedDictionaryKey* wanted = record->fSubElements[r];
        if (wanted != nullptr && *wanted == name) {
          ranks[i] = r + 1;
          break;
        }
      }
      if (i > 0 && ranks[i] != 0 && ranks[i] < ranks[i - 1]) misplaced = true;
    }
    if (misplaced) {
      std::vector<size_t> order(count);
      for (size_t i = 0; i < count; ++i) order[i] = i;
      std::stable_sort(order.begin(), order.end(),
                       [&ranks](size_t a, size_t b) { return ranks[a] < ranks[b]; });
      fElements->Reorder(order);
    }
  }
  for (size_t i = 0; i < size_t(GetElementNamesCount()); ++i) {
    const StBagElementsOrdering* subRecord = _FindOrdering(fElements->GetKey(i), orderings);
    const VBagArray* array = fElements->GetNthValue(i);
    if (subRecord == nullptr || array == nullptr) continue;
    for (int32 n = 1; n <= array->GetCount(); ++n) {
      VValueBag* bag = array->GetNth(n);
      if (bag != nullptr && bag->GetElementNamesCount() > 0)
        bag->_SortElements(subRecord, orderings);
    }
  }
}

// ---------------------------------------------------------------------------
// Debugging

CharSet VValueBag::DebugDump(char* buffer, int& length) const {
  VString text;
  VString name;
  VString valueText;
  for (int32 n = 1; n <= GetAttributesCount(); ++n) {
    const VValueSingle* value = GetNthAttribute(n, &name);
    if (value != nullptr) {
      value->GetString(valueText);
    } else {
      valueText.Clear();
    }
    text.AppendString(name);
    text.AppendCString(" = ");
    text.AppendString(valueText);
    text.AppendCString("\n");
  }
  for (int32 n = 1; n <= GetElementNamesCount(); ++n) {
    const VBagArray* array = GetNthElementName(n, &name);
    const int32 count = array != nullptr ? array->GetCount() : 0;
    text.AppendCString("=======\n");
    text.AppendLong(count);
    text.AppendCString(" ");
    text.AppendString(name);
    text.AppendCString(" :\n");
    for (int32 i = 1; i <= count; ++i) {
      text.AppendCString("--\n");
      if (const VValueBag* bag = array->GetNth(i)) {
        bag->VObject::DebugDump(valueText);
        text.AppendString(valueText);
      }
    }
  }
  const int32 units = std::min(text.GetLength(), length > 0 ? int32(length / 2) : 0);
  if (units > 0) std::memcpy(buffer, text.GetCPointer(), size_t(units) * sizeof(UniChar));
  length = units * int(sizeof(UniChar));
  return kCharSetUTF16;
}

}  // namespace zeft
