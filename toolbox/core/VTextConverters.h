// VTextConverters is the process-wide registry of character sets: their
// names and IANA MIBenum numbers, the converters between UTF-16 and each set,
// and byte-order marks. Every conversion between VString and bytes goes
// through it. Created on first use and shared without a lock: it holds only
// converters that keep no per-call state.
#pragma once

#include <vector>

#include "core/CharSet.h"
#include "core/VObject.h"

namespace zeft {

class VString;
class VToUnicodeConverter;
class VFromUnicodeConverter;

class VTextConverters : public VObject {
 public:
  // The single instance, created on the first call.
  static VTextConverters* Get();

  ~VTextConverters() override;
  VTextConverters(const VTextConverters&) = delete;
  VTextConverters& operator=(const VTextConverters&) = delete;

  // Charset table look-ups. Names compare ASCII case-insensitively; unknown
  // names and numbers give 0 or an empty name.
  void GetNameFromCharSet(CharSet set, VString& name) const;
  CharSet GetCharSetFromName(const VString& name) const;
  int32 GetMIBEnumFromCharSet(CharSet set) const;
  int32 GetMIBEnumFromName(const VString& name) const;
  CharSet GetCharSetFromMIBEnum(int32 mibEnum) const;
  void GetNameFromMIBEnum(int32 mibEnum, VString& name) const;

  // The sets to offer on the web, in table order.
  void EnumWebCharsets(std::vector<VString>& names, std::vector<CharSet>& sets) const;
  // The first name of every run of table rows of one set, sorted by name
  // (ASCII case-insensitively).
  void EnumCharsets(std::vector<VString>& names, std::vector<CharSet>& sets) const;

  // A converter for the set with one reference for the caller, who releases
  // it. Never null: a set nobody serves gets a converter that converts
  // nothing (IsValid false).
  VToUnicodeConverter* RetainToUnicodeConverter(CharSet set);
  VFromUnicodeConverter* RetainFromUnicodeConverter(CharSet set);

  // The UTF-8 pair used for the standard library's 8-bit strings; lent, not
  // retained.
  VToUnicodeConverter* GetStdLibToUnicodeConverter() const { return fUTF8ToUnicode; }
  VFromUnicodeConverter* GetStdLibFromUnicodeConverter() const { return fUTF8FromUnicode; }

  // Replaces target with the decoded bytes.
  bool ConvertToVString(const void* bytes, size_t count, CharSet set, VString& target);
  // Encodes the whole of source into target (at most targetBytes bytes).
  bool ConvertFromVString(const VString& source, int* consumedChars, void* target,
                          size_t targetBytes, size_t* producedBytes, CharSet set);

  // True when a byte-order mark starts the block; out-parameters may be null
  // and receive 0 when there is none.
  static bool ParseBOM(const void* bytes, size_t count, size_t* bomSize, CharSet* set);
  // The mark's bytes for the set, or null (size 0) for a set without one.
  static const uint8* GetBOMForCharSet(CharSet set, size_t* size);

 private:
  VTextConverters();

  // The cached converter for the sets that keep one, else null.
  VToUnicodeConverter* _GetCachedToUnicodeConverter(CharSet set) const;
  VFromUnicodeConverter* _GetCachedFromUnicodeConverter(CharSet set) const;

  static VTextConverters* sInstance;

  VToUnicodeConverter* fDefault8BitToUnicode;
  VFromUnicodeConverter* fDefault8BitFromUnicode;
  VToUnicodeConverter* fNullToUnicode;
  VFromUnicodeConverter* fNullFromUnicode;
  VToUnicodeConverter* fSwapToUnicode;
  VFromUnicodeConverter* fSwapFromUnicode;
  VToUnicodeConverter* fUTF32RawToUnicode;
  VFromUnicodeConverter* fUTF32RawFromUnicode;
  VToUnicodeConverter* fUTF32ToUnicode;
  VFromUnicodeConverter* fUTF32FromUnicode;
  VToUnicodeConverter* fUTF8ToUnicode;
  VFromUnicodeConverter* fUTF8FromUnicode;
};

}  // namespace zeft
