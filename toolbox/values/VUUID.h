// VUUID is the value of kind 13: a 16-byte universally unique identifier,
// null when all bytes are zero, written as 32 upper-case hexadecimal digits
// without dashes. Its text may be cached in a string that follows the bytes.
#pragma once

#include "core/VTypes.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

namespace zeft {

// The 16 bytes of a UUID, the most significant first.
struct VUUIDBuffer {
  uint8 fBytes[16] = {};
};

// The descriptor of kind 13.
class VUUID_info : public VValueInfo {
 public:
  constexpr VUUID_info() : VValueInfo(kValueKindUUID, kValueKindUUID) {}

  VValue* Generate() const override;
  VValue* Generate(VBlob* blob) const override;
  VValue* LoadFromPtr(const void* data, bool refOnly) const override;
  void* ByteSwapPtr(void* data, bool fromNative) const override;
  CompareResult CompareTwoPtrToData(const void* data1, const void* data2,
                                    bool diacritical) const override;
  CompareResult CompareTwoPtrToDataBegining(const void* data1, const void* data2,
                                            bool diacritical) const override;
  CompareResult CompareTwoPtrToDataWithOptions(const void* data1, const void* data2,
                                               const VCompareOptions& options) const override;
  size_t GetSizeOfValueDataPtr(const void* data) const override;
  size_t GetAvgSpace() const override;
};

class VUUID : public VValueSingle {
 public:
  static constexpr size_t kByteCount = 16;
  static constexpr int32 kTextLength = 32;

  static const VUUID_info sInfo;
  static const VUUID sNullUUID;

  // Null, zero bytes.
  VUUID();
  // true: a new random identifier (not null); false: null.
  explicit VUUID(bool generate);
  // Null when all bytes are zero.
  explicit VUUID(const VUUIDBuffer& buffer);
  // Not null, then FromBuffer(text).
  explicit VUUID(const char* text);
  // Bytes and null state; the cached text is not copied.
  VUUID(const VUUID& other);
  VUUID& operator=(const VUUID& other);
  ~VUUID() override;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  // Zero bytes, null.
  void Clear() override;
  // Null when the bytes are all zero.
  VUUID* Clone() const override;
  bool FromValueSameKind(const VValue* other) override;
  bool CanBeEvaluated() const override { return true; }

  // Setting; each marks the value dirty and refreshes a cached text.
  void FromBuffer(const VUUIDBuffer& buffer);
  // Up to 16 bytes of text, zero-padded, or 32 hexadecimal digits; any
  // other length leaves the bytes as they are.
  void FromBuffer(const char* text);
  // The 16 bytes become spaces, then the text's UTF-8 bytes (at most 16)
  // over them; not null.
  void BuildFromAnsiString(const VString& text);
  // New random bytes; not null.
  void Regenerate();
  void FromVUUID(const VUUID& other) override;
  void FromValue(const VValueSingle& value) override;
  // 32 hexadecimal digits in any case, other characters skipped; fewer
  // digits are taken as BuildFromAnsiString takes them. Never null.
  void FromString(const VString& text) override;

  // Reading.
  void ToBuffer(VUUIDBuffer& buffer) const;
  const uint8* GetBytes() const { return fBytes; }
  // The 32-digit text; 32 zeros for a null UUID.
  void GetString(VString& text) const override;
  // The 32 digits as JSON string text (option 0x1: between quotes).
  VError GetJSONString(VString& text, uint32 options) const override;
  // JSON value (json/VUUIDJSON.cpp): the 32 digits as a string, null for a
  // null UUID; reading takes the text form of any JSON value.
  VError GetJSONValue(VJSONValue& json, uint32 options) const override;
  VError FromJSONValue(const VJSONValue& json) override;
  void GetVUUID(VUUID& target) const override;
  void GetValue(VValueSingle& target) const override;
  // The cached text, made now when `create`; null when there is none.
  VString* GetCachedConvertedString(bool create);
  // 32 characters "0"-"9", "A"-"F", and not all zeros unless `allowNull`.
  static bool IsUUIDString(const VString& text, bool allowNull);

  // Byte order, the first byte most significant; the null flag ignored.
  CompareResult CompareTo(const VValueSingle& other, bool diacritical) const override;
  CompareResult CompareToSameKind(const VValue* other, bool diacritical) const override;
  bool EqualToSameKind(const VValue* other, bool diacritical) const override;
  CompareResult CompareToSameKindPtr(const void* data, bool diacritical) const override;
  bool EqualToSameKindPtr(const void* data, bool diacritical) const override;
  CompareResult CompareToSameKindWithOptions(const VValue* other,
                                             const VCompareOptions& options) const override;
  bool EqualToSameKindWithOptions(const VValue* other,
                                  const VCompareOptions& options) const override;
  CompareResult CompareToSameKindPtrWithOptions(const void* data,
                                                const VCompareOptions& options) const override;
  bool EqualToSameKindPtrWithOptions(const void* data,
                                     const VCompareOptions& options) const override;
  bool operator==(const VUUID& other) const;
  bool operator!=(const VUUID& other) const { return !(*this == other); }
  bool operator<(const VUUID& other) const;

  // Raw form: the 16 bytes.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;
  size_t GetSpace(size_t /*max*/) const override { return kByteCount; }
  // Stream form: the 16 bytes, never swapped.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override { return kByteCount; }

 protected:
  // Becoming null zeroes the bytes and nulls the cached text.
  void DoNullChanged() override;

 private:
  static bool AllZero(const uint8* bytes);
  static CompareResult CompareBytes(const uint8* a, const uint8* b);
  // Every setter's epilogue: null state, dirty, cached text refreshed.
  void _GotValue(bool isNull);

  uint8 fBytes[kByteCount] = {};
  VString* fCachedText = nullptr;
};

}  // namespace zeft
