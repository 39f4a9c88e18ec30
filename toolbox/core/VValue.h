// VValue is the abstract base of every typed value of the toolbox: a null
// flag, a dirty flag and a 16-bit kind that comes from the value's
// registered descriptor (VValueInfo). It declares, with neutral defaults,
// every operation a value may offer: comparisons, JSON, raw and stream
// forms, cloning. The static members are the process-wide registry of kinds.
#pragma once

#include <cstddef>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VTypes.h"

namespace zeft {

class VBlob;
class VCompareOptions;
class VJSONValue;
class VStream;
class VString;
class VValueInfo;
class VValueSingle;

// The kind of a value, the key under which its descriptor is registered.
enum ValueKind : uint16 {
  kValueKindEmpty = 0,
  kValueKindBoolean = 1,
  kValueKindByte = 2,
  kValueKindWord = 3,
  kValueKindLong = 4,
  kValueKindLong8 = 5,
  kValueKindReal = 6,
  kValueKindTime = 8,
  kValueKindDuration = 9,
  kValueKindString = 10,
  kValueKindBlob = 11,
  // Image elements exist only inside VArrayImage; the kind has no descriptor.
  kValueKindImage = 12,
  kValueKindUUID = 13,
  kValueKindArrayBoolean = 100,
  kValueKindArrayByte = 101,
  kValueKindArrayWord = 102,
  kValueKindArrayLong = 103,
  kValueKindArrayLong8 = 104,
  kValueKindArrayReal = 105,
  kValueKindArrayTime = 107,
  kValueKindArrayDuration = 108,
  kValueKindArrayString = 109,
  kValueKindArrayBlob = 110,
  kValueKindArrayImage = 111,
  kValueKindBag = 200,
  kValueKindVValue = 65535,
};

// -1 smaller, 0 equal, 1 bigger; kCompareUnordered when the two values have
// no order (the empty value, an array against a single value).
using CompareResult = int32;
inline constexpr CompareResult kCompareLess = -1;
inline constexpr CompareResult kCompareEqual = 0;
inline constexpr CompareResult kCompareBigger = 1;
inline constexpr CompareResult kCompareUnordered = -1000;

class VValue : public VObject {
 public:
  // Flag bits of fFlags. Bits 2-7 belong to subclasses.
  static constexpr uint8 kFlagNull = 1;
  static constexpr uint8 kFlagDirty = 2;

  ~VValue() override = default;

  // Registry of kinds. Kinds are registered explicitly (see
  // VValueInfo.cpp); these let tests and later components add, replace and
  // remove descriptors.
  // Stores the descriptor under its registered kind, replacing any other.
  static void RegisterValueInfo(const VValueInfo* info);
  // Removes whatever descriptor is registered under the descriptor's
  // registered kind; nothing when that kind is absent.
  static void UnregisterValueInfo(const VValueInfo* info);
  // The descriptor registered under `kind`, or null.
  static const VValueInfo* ValueInfoFromValueKind(uint16 kind);
  // A new value of `kind` (owned by the caller), or null when the kind has
  // no descriptor.
  static VValue* NewValueFromValueKind(uint16 kind);

  // 1 <-> -1; any other result unchanged.
  static CompareResult InvertCompResult(CompareResult result) {
    return result == kCompareBigger ? kCompareLess
           : result == kCompareLess ? kCompareBigger
                                    : result;
  }

  bool IsNull() const { return (fFlags & kFlagNull) != 0; }
  bool IsDirty() const { return (fFlags & kFlagDirty) != 0; }
  // Changing the null state calls DoNullChanged, then marks the value
  // dirty (calling DoDirtyChanged when it was clean).
  void SetNull(bool isNull);
  void SetDirty(bool isDirty);

  // The kind of GetValueInfo().
  uint16 GetValueKind() const;

  // The descriptor of the value's class; the base answers the descriptor
  // of kind 65535.
  virtual const VValueInfo* GetValueInfo() const;
  virtual void Clear();

  // This value as a single value, or null (arrays, bags).
  virtual const VValueSingle* IsVValueSingle() const;
  virtual VValueSingle* IsVValueSingle();

  // JSON forms (bodies in json/VValueJSON.cpp). A kind without them raises
  // toolbox error 2 and returns it; GetJSONValue first makes the JSON value
  // undefined.
  virtual VError FromJSONString(const VString& json, uint32 options);
  virtual VError GetJSONString(VString& out, uint32 options) const;
  virtual VError FromJSONValue(const VJSONValue& json);
  virtual VError GetJSONValue(VJSONValue& json, uint32 options) const;

  // Comparisons with a value of the same kind (or its stored bytes at an
  // address). The base answers equal for everything.
  virtual CompareResult CompareToSameKindWithOptions(const VValue* other,
                                                     const VCompareOptions& options) const;
  virtual bool EqualToSameKindWithOptions(const VValue* other,
                                          const VCompareOptions& options) const;
  virtual CompareResult CompareToSameKindPtrWithOptions(const void* data,
                                                        const VCompareOptions& options) const;
  virtual bool EqualToSameKindPtrWithOptions(const void* data,
                                             const VCompareOptions& options) const;
  virtual CompareResult Swap_CompareToSameKindPtrWithOptions(const void* data,
                                                             const VCompareOptions& options) const;
  virtual CompareResult CompareToSameKind(const VValue* other, bool diacritical) const;
  virtual CompareResult CompareBeginingToSameKind(const VValue* other, bool diacritical) const;
  virtual bool EqualToSameKind(const VValue* other, bool diacritical) const;
  // Copies content and null state from a value of the same class; false
  // when nothing was copied.
  virtual bool FromValueSameKind(const VValue* other);
  virtual CompareResult CompareToSameKindPtr(const void* data, bool diacritical) const;
  virtual CompareResult Swap_CompareToSameKindPtr(const void* data, bool diacritical) const;
  virtual CompareResult CompareBeginingToSameKindPtr(const void* data, bool diacritical) const;
  virtual CompareResult IsTheBeginingToSameKindPtr(const void* data, bool diacritical) const;
  virtual bool EqualToSameKindPtr(const void* data, bool diacritical) const;
  virtual CompareResult CompareToSameKind_Like(const VValue* other, bool diacritical) const;
  virtual CompareResult CompareBeginingToSameKind_Like(const VValue* other, bool diacritical) const;
  virtual bool EqualToSameKind_Like(const VValue* other, bool diacritical) const;
  virtual CompareResult CompareToSameKindPtr_Like(const void* data, bool diacritical) const;
  virtual CompareResult Swap_CompareToSameKindPtr_Like(const void* data, bool diacritical) const;
  virtual CompareResult CompareBeginingToSameKindPtr_Like(const void* data, bool diacritical) const;
  virtual CompareResult IsTheBeginingToSameKindPtr_Like(const void* data, bool diacritical) const;
  virtual bool EqualToSameKindPtr_Like(const void* data, bool diacritical) const;
  virtual bool Swap_EqualToSameKindPtr_Like(const void* data, bool diacritical) const;

  // Raw (packed) form in native byte order. Both return the address just
  // behind the bytes used; the base uses none.
  virtual const void* LoadFromPtr(const void* data, bool refOnly);
  virtual void* WriteToPtr(void* data, bool refOnly, size_t max) const;
  // Bytes of the raw form.
  virtual size_t GetSpace(size_t max) const;

  virtual bool CanBeStreamed() const;
  // Space the value takes once stored, counting data kept outside the
  // record; also stored in `outSize`.
  virtual size_t GetFullSpaceOnDisk(uint64& outSize) const;

  // Stream form (no kind, no null flag); the base transfers nothing. Both
  // return the stream's pending error afterwards.
  virtual VError ReadFromStream(VStream* stream, int32 param);
  virtual VError WriteToStream(VStream* stream, int32 param) const;
  // Bytes of the stream form.
  virtual size_t GetStreamSpace() const;

  // Hooks of values kept in database records (blobs); no-ops here.
  virtual VError Flush(void* dataPtr, void* record) const;
  virtual void SetReservedBlobNumber(int32 blobNumber);
  virtual VValue* FullyClone(bool forAPush) const;
  virtual void RestoreFromPop(void* context);
  virtual void Detach(bool mayEmpty);
  virtual bool WillContainBlobData() const;
  virtual void SetOutsidePath(const VString& path, bool isRelative);
  virtual void GetOutsidePath(VString& outPath, bool* outIsRelative);
  virtual void SetOutsideSuffixe(const VString& suffix);
  virtual bool IsOutsidePath();
  virtual VError ReloadFromOutsidePath();
  virtual bool ForcePathIfEmpty() const;
  virtual void SetForcePathIfEmpty(bool force);
  virtual void SetHintRecNum(int32 tableNum, int32 fieldNum, int32 recNum, bool forceReload);
  virtual void AssociateRecord(void* record, int32 fieldNum);
  virtual bool HasInternalPropertyChanged() const;
  virtual void ResetInternalPropertyChanged();
  virtual void AddJSONStamp();
  virtual VError ReadRawFromStream(VStream* stream, int32 param);
  virtual VBlob* GetDataBlob() const;

  // A new value of the same class and content, owned by the caller.
  virtual VValue* Clone() const = 0;
  virtual bool CanBeEvaluated() const;

 protected:
  explicit VValue(uint8 initialFlags = 0) : fFlags(initialFlags) {}
  VValue(const VValue&) = default;
  VValue& operator=(const VValue&) = default;

  // Called when SetNull changes the null state / SetDirty or SetNull the
  // dirty state.
  virtual void DoNullChanged();
  virtual void DoDirtyChanged();

  void SetFlag(uint8 mask, bool set) {
    fFlags = set ? uint8(fFlags | mask) : uint8(fFlags & ~mask);
  }
  // A setter's epilogue: not null, dirty.
  void SetNotNullAndDirty() {
    SetNull(false);
    fFlags |= kFlagDirty;
  }

  uint8 fFlags;
};

}  // namespace zeft
