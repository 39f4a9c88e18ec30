// VString is the toolbox's string and the value of kind 10: UTF-16 code
// units with a 32-bit length, always terminated by a 0 unit, null distinct
// from empty. Its characters live in one of four buffers: the object's
// inline room, a heap block shared copy-on-write between copies through an
// atomic count stored inside the block, a heap block of its own, or a buffer
// the caller owns. VStr<N> adds N units of inline room so that short strings
// need no heap memory.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

#include "core/CharSet.h"
#include "core/VErrorCodes.h"
#include "core/VInlineString.h"
#include "core/VMemoryBuffer.h"
#include "core/VTypes.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

namespace zeft {

class VArrayString;
class VBlob;
class VCollator;
class VCompareOptions;
class VDuration;
class VIntlMgr;
class VJSONObject;
class VStream;
class VString;
class VValueBag;
class VTime;
class VUUID;

// How line ends are written. Any other value (1 by convention) leaves line
// ends as they are.
enum ECarriageReturnMode : int32 {
  kCRModeNone = 1,
  kCRModeCRLF = 2,
  kCRModeCR = 3,
  kCRModeLF = 4,
};

// The descriptor of kind 10.
class VString_info : public VValueInfo {
 public:
  constexpr VString_info() : VValueInfo(kValueKindString, kValueKindString) {}

  VValue* Generate() const override;
  VValue* Generate(VBlob* blob) const override;
  VValue* LoadFromPtr(const void* data, bool refOnly) const override;
  void* ByteSwapPtr(void* data, bool fromNative) const override;
  CompareResult CompareTwoPtrToData(const void* data1, const void* data2,
                                    bool diacritical) const override;
  CompareResult CompareTwoPtrToDataBegining(const void* data1, const void* data2,
                                            bool diacritical) const override;
  CompareResult CompareTwoPtrToData_Like(const void* data1, const void* data2,
                                         bool diacritical) const override;
  CompareResult CompareTwoPtrToDataBegining_Like(const void* data1, const void* data2,
                                                 bool diacritical) const override;
  CompareResult CompareTwoPtrToDataWithOptions(const void* data1, const void* data2,
                                               const VCompareOptions& options) const override;
  size_t GetSizeOfValueDataPtr(const void* data) const override;
  size_t GetAvgSpace() const override;
};

class VString : public VValueSingle {
 public:
  // Flag bits of the buffer (kept apart from the value flags).
  static constexpr uint8 kBufferExternal = 16;   // never released by the string
  static constexpr uint8 kBufferExclusive = 64;  // no share count, written in place

  // Memory tags of string blocks.
  static constexpr int32 kTagString = int32(FourCC("str "));
  static constexpr int32 kTagLentString = int32(FourCC("strX"));

  static const VString_info sInfo;
  static const VString sEmpty;

  // Construction. Every constructor leaves the string dirty.
  VString();
  explicit VString(bool isNull);
  VString(const VString& other);
  VString(VString&& other) noexcept;
  explicit VString(UniChar c);
  VString(const UniChar* text);
  VString(const wchar_t* text);
  VString(wchar_t* text, size_t unused);
  // A string whose n units of inline room lie just behind the object: only
  // for an object made by `new (n) VString(n, text)`, whose allocation
  // gives that room. Wide characters beyond U+FFFF become surrogate pairs;
  // a text longer than the room goes to the heap.
  VString(size_t n, const wchar_t* text);
  VString(const char* text);
  VString(const void* data, size_t bytes, CharSet set);
  // An external string over the caller's buffer of `bufferBytes` bytes
  // holding `length` units; SIZE_MAX bytes means capacity = length.
  VString(UniChar* buffer, int32 length, size_t bufferBytes);
  // An external string over the caller's 0-terminated buffer.
  VString(UniChar* buffer, size_t bufferBytes);
  // Shares the record's block (one more count).
  explicit VString(const VInlineString& s);
  // Takes over the record's count of its block; the record is left empty.
  explicit VString(VInlineString&& s) noexcept;
  // Borrows the record's block without a count.
  VString(const VInlineString& s, bool borrow);
  ~VString() override;

  VString& operator=(const VString& other) {
    FromString(other);
    return *this;
  }
  VString& operator=(VString&& other) noexcept;
  VString& operator=(const UniChar* text);
  VString& operator=(const char* text) {
    FromCString(text);
    return *this;
  }
  VString& operator+=(const VString& other) {
    AppendString(other);
    return *this;
  }
  VString& operator+=(UniChar c) {
    AppendUniChar(c);
    return *this;
  }
  bool operator==(const VString& other) const { return EqualToStringRaw(other); }

  // A heap-allocated string with inline room for n units; delete it.
  static VString* NewString(int32 n);
  // Objects made by NewString are one block with their inline room.
  static void operator delete(void* block) { ::operator delete(block); }
  static void* operator new(size_t size) { return ::operator new(size); }
  // One block for the object and inline room for `inlineUnits` units and a
  // terminator, behind it.
  static void* operator new(size_t size, size_t inlineUnits);

  // Content.
  int32 GetLength() const { return fLength; }
  bool IsEmpty() const { return fLength == 0; }
  int32 GetCapacity() const { return fMaxLength; }
  int32 GetInlineCapacity() const { return fInlineCapacity; }
  const UniChar* GetCPointer() const { return fString; }
  bool IsInline() const { return fString == fInline; }
  // The buffer made writable (un-shared) with room for at least `size`
  // units, content kept; null when the room cannot be had.
  UniChar* GetCPointerForWrite(int32 size = 0);
  // Makes the buffer writable with room for `size` units, keeping the
  // content; false (string unchanged) on failure.
  bool EnsureSize(int32 size);
  // For callers that wrote units into the buffer themselves: `length` from
  // 0 to the capacity becomes the length (terminated, not null, dirty).
  bool Validate(int32 length);
  static int32 UniCStringLength(const UniChar* text);

  // The growth rule: block size in units for a string of `currentLength`
  // asking for `requested` units; 0 when impossible.
  static int64 ComputeProgressiveResize(int32 currentLength, int32 requested);

  // Shared blocks. The count lives at unit index ((capacity + 2) & ~1).
  static void RetainSharedBuffer(UniChar* block, int32 capacity, int32 counts = 1);
  static void ReleaseSharedBuffer(UniChar* block, int32 capacity, int32 counts = 1);
  static int32 GetSharedBufferCount(const UniChar* block, int32 capacity) {
    UniChar* count = const_cast<UniChar*>(block) + ((capacity + 2) & ~1);
    return std::atomic_ref<int32>(*reinterpret_cast<int32*>(count)).load();
  }
  // Hands out a counted shared block holding the units (this string's own
  // when shareable, else a new copy with capacity = length); null, 0, 0 for
  // an empty or null string or when the copy cannot be allocated.
  UniChar* RetainBuffer(int32* outLength, int32* outCapacity) const;
  // A new shared block holding a copy of the units, counted once, with
  // capacity = count; null for no units or when it cannot be allocated.
  static UniChar* NewSharedBuffer(const UniChar* units, int32 count);

  // Copy, exchange, clear.
  void FromString(const VString& source) override;
  void FromString(const VInlineString& s);
  void Swap(VString& other);
  VString* Clone() const override;
  void Clear() override;
  // Releases the buffer and returns to the inline one, empty; the null flag
  // is left alone.
  void _Clear();

  // Setters of the whole content (previous content dropped).
  void FromBoolean(uint8 b) override;
  void FromByte(int8 n) override;
  void FromWord(int16 n) override;
  void FromLong(int32 n) override;
  void FromLong8(int64 n) override;
  virtual void FromULong8(uint64 n);
  void FromReal(double r) override;
  void FromValue(const VValueSingle& value) override;
  bool FromValueSameKind(const VValue* other) override;
  void FromUniChar(UniChar c);
  void FromUniString(const UniChar* units, int32 count);
  void FromCString(const char* text);
  void FromOsType(uint32 code);
  // Decodes the bytes; returns the number of bytes consumed.
  size_t FromBlock(const void* data, size_t bytes, CharSet set);
  void GetString(VString& target) const override;
  void GetValue(VValueSingle& target) const override;

  // Appending.
  void AppendString(const VString& s);
  void AppendUniChar(UniChar c);
  void AppendUniChars(const UniChar* units, int32 count);
  void AppendCString(const char* text);
  void AppendBlock(const void* data, size_t bytes, CharSet set);
  void AppendOsType(uint32 code);
  void AppendLong(int32 n);
  void AppendLong8(int64 n);
  void AppendULong8(uint64 n);
  void AppendReal(double r);
  void AppendValue(const VValueSingle& value);
  // Writing in place at the end: GetAppendRoom answers room for `count`
  // more units behind the text, or null (error pushed) when the string
  // cannot hold them; AddAppended then takes in the units written there.
  // The block grows by half its length at least, so that a text built by
  // many small appends is copied a few times only.
  UniChar* GetAppendRoom(int32 count) {
    if (count <= fMaxLength - fLength && _IsWritable()) return fString + fLength;
    return _GrowForAppend(count);
  }
  void AddAppended(int32 count) { _SetLengthAndTerminate(fLength + count); }

  // Inserting, removing, cutting (positions are 1-based).
  void Insert(UniChar c, int32 pos);
  void Insert(const VString& s, int32 pos);
  void Remove(int32 pos, int32 count);
  void Truncate(int32 newLength, bool keepPairs = false);
  // Keeps count units from pos in place; out-of-range arguments are refused.
  void SubString(int32 pos, int32 count);
  void GetSubString(int32 pos, int32 count, VString& dest) const;
  VString Before(int32 pos) const;
  VString After(int32 pos) const;
  void Replace(const VString& with, int32 pos, int32 count);

  // Single characters.
  UniChar GetUniChar(int32 pos) const;
  bool SetUniChar(int32 pos, UniChar c);

  // Searching; results are 1-based positions, 0 when not found.
  int32 FindUniChar(UniChar c, int32 start = 1, bool backwards = false) const;
  int32 FindRawString(const VString& pattern, int32 start = 1) const;
  static int32 FindRawString(const UniChar* text, int32 textLength, const UniChar* pattern,
                             int32 patternLength);
  bool BeginsWithRawString(const VString& s) const;
  bool EndsWithRawString(const VString& s) const;
  int32 Find(const VString& pattern, int32 start = 1, bool diacritical = false) const;
  bool BeginsWith(const VString& prefix, bool diacritical = false) const;
  bool EndsWith(const VString& suffix, bool diacritical = false) const;
  double SimilarToString(const VString& other) const;

  // Exchanging occurrences; each returns the number replaced where it
  // counts them.
  int32 ExchangeRawString(const VString& pattern, const VString& replacement, int32 start = 1,
                          int32 maxCount = 0x7FFFFFFF);
  void Exchange(const VString& pattern, const VString& replacement, int32 start = 1,
                int32 maxCount = 0x7FFFFFFF, bool diacritical = false,
                VCollator* collator = nullptr);
  void Exchange(UniChar from, UniChar to, int32 start = 1, int32 maxCount = 0x7FFFFFFF);

  // White space.
  void RemoveWhiteSpaces(bool leading = true, bool trailing = true, int32* outLeading = nullptr,
                         int32* outTrailing = nullptr, VIntlMgr* intl = nullptr,
                         bool option = false);

  // Case, by the current task's international settings (the result may be
  // longer: 'straße' -> 'STRASSE'); without settings only ASCII letters
  // change.
  void ToUpperCase(bool option = false);
  void ToLowerCase(bool option = false);
  // Unicode normal forms, by the current task's international settings.
  void Decompose();
  void Compose();

  // Line ends.
  ECarriageReturnMode GetCarriageReturnMode(ECarriageReturnMode fallback) const;
  void ConvertCarriageReturns(ECarriageReturnMode mode);
  static void ConvertCarriageReturns(VMemoryBuffer<>& buffer, CharSet set,
                                     ECarriageReturnMode mode);
  // Converts the line ends of `length` units held in room for `capacity`
  // units, in place; returns the new length and reports in `needed` (may be
  // null) the length the whole conversion needs. For T = uint8, UniChar
  // and uint32.
  template <class T>
  static size_t _ConvertCarriageReturns(T* text, size_t length, size_t capacity,
                                        ECarriageReturnMode mode, size_t* needed);

  // Comparison as values of kind 10 (collated entry points use the current
  // task's international settings; see VStringCompare.cpp).
  CompareResult CompareToSameKind(const VValue* other, bool diacritical) const override;
  CompareResult CompareBeginingToSameKind(const VValue* other, bool diacritical) const override;
  bool EqualToSameKind(const VValue* other, bool diacritical) const override;
  CompareResult CompareToSameKind_Like(const VValue* other, bool diacritical) const override;
  CompareResult CompareBeginingToSameKind_Like(const VValue* other,
                                               bool diacritical) const override;
  bool EqualToSameKind_Like(const VValue* other, bool diacritical) const override;
  CompareResult CompareToSameKindPtr(const void* data, bool diacritical) const override;
  CompareResult Swap_CompareToSameKindPtr(const void* data, bool diacritical) const override;
  bool EqualToSameKindPtr(const void* data, bool diacritical) const override;
  CompareResult CompareBeginingToSameKindPtr(const void* data, bool diacritical) const override;
  CompareResult IsTheBeginingToSameKindPtr(const void* data, bool diacritical) const override;
  CompareResult CompareToSameKindPtr_Like(const void* data, bool diacritical) const override;
  CompareResult Swap_CompareToSameKindPtr_Like(const void* data, bool diacritical) const override;
  bool EqualToSameKindPtr_Like(const void* data, bool diacritical) const override;
  bool Swap_EqualToSameKindPtr_Like(const void* data, bool diacritical) const override;
  CompareResult CompareBeginingToSameKindPtr_Like(const void* data,
                                                  bool diacritical) const override;
  CompareResult IsTheBeginingToSameKindPtr_Like(const void* data, bool diacritical) const override;
  CompareResult CompareToSameKindWithOptions(const VValue* other,
                                             const VCompareOptions& options) const override;
  bool EqualToSameKindWithOptions(const VValue* other,
                                  const VCompareOptions& options) const override;
  CompareResult CompareToSameKindPtrWithOptions(const void* data,
                                                const VCompareOptions& options) const override;
  CompareResult Swap_CompareToSameKindPtrWithOptions(const void* data,
                                                     const VCompareOptions& options) const override;
  bool EqualToSameKindPtrWithOptions(const void* data,
                                     const VCompareOptions& options) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical) const override;

  // Plain comparisons.
  CompareResult CompareToString(const VString& other, bool diacritical = false) const;
  CompareResult CompareToString_Like(const VString& other, bool diacritical = false) const;
  bool EqualToString(const VString& other, bool diacritical = false) const;
  bool EqualToString_Like(const VString& other, bool diacritical = false) const;
  bool EqualToStringRaw(const VString& other) const;
  CompareResult CompareToStringRaw(const VString& other) const;
  CompareResult CompareToStringRawCase(const VString& other) const;
  bool EqualToUSASCIICString(const char* text) const;

  virtual uint32 GetHashValue() const;

  // Value forms.
  const VValueInfo* GetValueInfo() const override;
  using VObject::DebugDump;
  CharSet DebugDump(char* buffer, int& size) const override;
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;
  size_t GetSpace(size_t max) const override;
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override { return GetSizeInStream(); }
  size_t GetSizeInStream() const;

  // Formatting (VStringPrintf.cpp). Every conversion of the C library is
  // written as it defines it, in the C locale; three more insert toolbox
  // objects and take no flags, width or precision: %S a `const VString*`,
  // %A the text of a `const VValueSingle*`, %V the debug text of a
  // `const VObject*` (pass the VObject base when a class has several bases).
  // The formatted bytes are cut at 1023 on a UTF-8 character boundary. A
  // conversion the C library refuses (a width or precision of 2^31 or more)
  // prints nothing; the rest of the format is still formatted.
  // Printf and VPrintf replace the content; AppendPrintf and _Printf append.
  void Printf(const char* format, ...);
  void VPrintf(const char* format, va_list args);
  void AppendPrintf(const char* format, ...);
  void _Printf(const char* format, va_list args);
  // Replaces each placeholder "{key}" by the text of the bag's attribute
  // `key`; a missing key's placeholder is removed with removeMissing, else
  // left. "{{" and "}}" pairs and braces around text holding a space are
  // not placeholders; inserted texts are not scanned again.
  void Format(const VValueBag* bag, bool removeMissing);

  // XML text escaping (VStringXML.cpp). TranscodeToXML replaces the five
  // markup characters by their entities and, with escapeControls, the
  // control units other than tab, line feed and carriage return by "&#xNN;";
  // TranscodeFromXML decodes those entities and "&#x...;" references.
  // Both leave a string with nothing to change exactly as it was.
  void TranscodeToXML(bool escapeControls = false);
  void TranscodeFromXML();
  void GetXMLString(VString& dest, uint32 options) const override;
  bool FromXMLString(const VString& source) override;

  // Numbers, codes and bytes (VStringConvert.cpp). The parsers never fail:
  // text that is not a number reads as 0. GetLong8 is lenient: it takes
  // every decimal digit, skips every other unit, lets a "-" before the
  // first nonzero digit make the result negative and stops at the first
  // unit of the task's decimal separator ("." without settings); it wraps
  // on overflow. GetLong and GetWord answer 0 when that does not fit.
  uint8 GetBoolean() const override;
  int16 GetWord() const override;
  int32 GetLong() const override;
  int64 GetLong8() const override;
  double GetReal() const override;
  // The C-locale reading of the UTF-8 form (leading white space, a sign,
  // digits, exponent, "inf", "nan"; it stops at the first unit it cannot
  // use). `overflow` (may be null) tells a result that is out of range.
  double GetRealCheckOverflow(bool* overflow) const;
  // Times, durations and UUIDs read their own text from the string, and
  // give it theirs.
  void GetDuration(VDuration& target) const override;
  void GetTime(VTime& target) const override;
  void GetVUUID(VUUID& target) const override;
  void FromDuration(const VDuration& duration) override;
  void FromTime(const VTime& time) override;
  void FromVUUID(const VUUID& uuid) override;
  // The first four UTF-8 bytes, padded with spaces, the first byte highest.
  uint32 GetOsType() const;
  // Every hexadecimal digit counts, every other unit is skipped ("0x1F"
  // gives 31); wraps on overflow.
  uint64 GetHexLong() const;
  // Upper-case hexadecimal digits without leading zeros; withPrefix pads
  // them to 4, 8 or 16 digits (2 for bytes) and puts "0x" in front.
  // Signed values are written as their bits.
  void FromHexLong(uint64 value, bool withPrefix);
  void FromHexLong(int64 value, bool withPrefix);
  void FromHexLong(uint32 value, bool withPrefix);
  void FromHexLong(int32 value, bool withPrefix);
  void FromHexLong(uint8 value, bool withPrefix);
  void FromHexLong(int8 value, bool withPrefix);
  // A byte-order mark at the start of the block overrides `set` and is
  // skipped; returns the char set used.
  CharSet FromBlockWithOptionalBOM(const void* data, size_t bytes, CharSet set);
  // Writes the text in `set` into the buffer and returns its byte count
  // (prefix and terminator not counted). withLengthPrefix puts the count in
  // front: one byte, or for kCharSetUTF16 one unit holding the number of
  // units; a count the prefix cannot hold makes the prefix and the result
  // 0 and the text empty. withTerminator ends the text with a 0 byte (a 0
  // unit for kCharSetUTF16). A buffer too small for prefix and terminator
  // receives nothing and gives 0.
  size_t ToBlock(void* buffer, size_t bufferSize, CharSet set, bool withTerminator,
                 bool withLengthPrefix) const;
  // Replaces the buffer's content with the text in `set`; false, buffer
  // unchanged, when no converter serves the set.
  bool ToBuffer(VMemoryBuffer<>& buffer, CharSet set) const;

  // Base64 (VStringBase64.cpp, through Base64Coder). url selects the
  // URL-safe alphabet without padding. EncodeBase64(data, size) makes this
  // string the encoded text; EncodeBase64(set) encodes the string's own
  // bytes in `set`. DecodeBase64(out) decodes the string's text into out
  // (units of 128 or more are refused with toolbox error 210, out then
  // untouched); DecodeBase64(set) replaces the content with the decoded
  // bytes read in `set`. All answer false and leave the string unchanged
  // on failure; an empty string is left as it is and gives true.
  bool EncodeBase64(const void* data, size_t size, bool url = false);
  bool EncodeBase64(CharSet set, bool url = false);
  bool DecodeBase64(VMemoryBuffer<>& out, bool url = false) const;
  bool DecodeBase64(CharSet set, bool url = false);

  // Splitting, trimming, joining (VStringSplit.cpp). The splitters empty
  // `parts`, append the pieces between separators (empty pieces only with
  // keepEmpty; trimSpaces drops the spaces, 0x20 only, around each piece)
  // and answer whether the separator occurs. A separator string is found
  // by the task's collation (exact units with diacritical set).
  bool GetSubStrings(UniChar separator, std::vector<VString>& parts, bool keepEmpty = false,
                     bool trimSpaces = false) const;
  bool GetSubStrings(UniChar separator, VArrayString& parts, bool keepEmpty = false,
                     bool trimSpaces = false) const;
  bool GetSubStrings(const VString& separator, std::vector<VString>& parts, bool keepEmpty = false,
                     bool trimSpaces = false, bool diacritical = false) const;
  // Removes the leading and trailing spaces (0x20 only).
  void TrimeSpaces();
  // Fills this template: each "{{path}}" becomes the text of the value at
  // that property path of `values` (nothing for a missing, null or
  // undefined value, or when `values` is null). VStringTemplate.cpp.
  void FormatWithTemplate(const VJSONObject* values, VString& out) const;
  // The content becomes the parts with the separator between them; false,
  // string unchanged, when the result cannot be held.
  bool Join(const std::vector<VString>& parts, const VString& separator);
  bool Join(const std::vector<VString>& parts, UniChar separator);

  // JSON string text (VStringJSON.cpp). GetJSONString escapes this string
  // into `out`, replacing its content; FromJSONString unescapes the text
  // between the quotes of a JSON string. Both return 0 or toolbox error
  // 107 (no room; the target is then unchanged).
  static constexpr uint32 kJSONWithQuotes = 0x1;          // put the text between quotes
  static constexpr uint32 kJSONRaw = 0x10;                // no escaping at all
  static constexpr uint32 kJSONEscapeAmpAndApos = 0x400;  // "&" and "'" as \u escapes
  VError GetJSONString(VString& out, uint32 options) const override;
  // Appends the JSON string text of the `count` units at `text`, as
  // GetJSONString writes it with the same options; on error 107 this
  // string is unchanged.
  VError AppendJSONString(const UniChar* text, int32 count, uint32 options);
  VError FromJSONString(const VString& json, uint32 options) override;
  // The JSON value: null for a null string, else a JSON string; the
  // options are not used. Reading takes the text form of any JSON value
  // (json/VStringJSONValue.cpp). Both return 0.
  VError GetJSONValue(VJSONValue& out, uint32 options) const override;
  VError FromJSONValue(const VJSONValue& value) override;
  // This string reduced to a JavaScript identifier: letters, digits, "$"
  // and "_" kept, "_" in front of a leading digit.
  void GetCleanJSName(VString& out) const;
  // "dddd-dd-dd" exactly (the digits are not checked for a real date).
  bool IsISODate() const;
  // "!!dddd-dd-dd!!" exactly.
  bool IsNonAmbigousDate() const;
  // The buffer is one the memory manager knows (or the inline one) and the
  // terminator is in place.
  bool IsStringValid() const;

 protected:
  // For classes that give the string inline room of their own: the string
  // starts empty on `room`, which holds capacity + 1 units.
  struct InlineRoomTag {};
  VString(InlineRoomTag, UniChar* room, int32 capacity);

  void DoNullChanged() override;

  // Gives the string at least `requested` units (the growth rule); returns
  // whether the capacity now reaches it. Never changes the length.
  bool _ReallocBuffer(int32 requested, bool keepContent);
  // Makes the buffer writable with room for `size` units.
  bool _EnsureSize(int32 size, bool keepContent);
  // GetAppendRoom's growth (VStringEdit.cpp).
  UniChar* _GrowForAppend(int32 count);
  void _ReleaseBuffer();
  // Counted reference to a shareable heap block, or null.
  UniChar* _RetainBuffer() const;
  // Empties before a rewrite, keeping a small writable heap buffer.
  void _EmptyForRewrite();
  // Cuts to newLength units, keeping or shrinking the buffer.
  void _CutTo(int32 newLength);
  bool _IsShareable() const;
  // The hexadecimal text of a `bits`-bit value (VStringConvert.cpp).
  void _FromHexLong(uint64 value, int32 bits, bool withPrefix);
  bool _IsWritable() const {
    if (fString == fInline || (fBufferFlags & kBufferExclusive) != 0) return true;
    return GetSharedBufferCount(fString, fMaxLength) < 2;
  }
  // Sets the length, writes the terminator; not null, dirty.
  void _SetLengthAndTerminate(int32 length) {
    fLength = length;
    fString[length] = 0;
    if (IsNull()) SetNull(false);
    fFlags |= kFlagDirty;
  }

 private:
  // The small fields come first: they fill the room the base leaves after
  // its flags, which keeps a string at 40 bytes.
  uint8 fBufferFlags = 0;
  UniChar fInlineUnit[1] = {0};  // the inline room of a plain VString
  int32 fInlineCapacity = 0;
  UniChar* fString;
  int32 fLength = 0;
  int32 fMaxLength = 0;
  UniChar* fInline;
};

// A VString with room for N units inside the object.
template <int32 N>
class VStr : public VString {
  static_assert(N > 0, "a VStr needs inline room");

 public:
  VStr() : VString(InlineRoomTag{}, fRoom, N) {}
  VStr(const VString& s) : VStr() { FromString(s); }
  VStr(const VStr& s) : VStr() { FromString(s); }
  VStr(const UniChar* text) : VStr() { FromUniString(text, UniCStringLength(text)); }
  VStr(const char* text) : VStr() { FromCString(text); }
  VStr& operator=(const VString& s) {
    FromString(s);
    return *this;
  }
  VStr& operator=(const VStr& s) {
    FromString(s);
    return *this;
  }

 private:
  UniChar fRoom[N + 1];
};

using VStr4 = VStr<4>;
using VStr15 = VStr<15>;
using VStr31 = VStr<31>;
using VStr63 = VStr<63>;
using VStr255 = VStr<255>;

// A string made from a four-character code.
class VOsTypeString : public VStr<4> {
 public:
  explicit VOsTypeString(uint32 code) { FromOsType(code); }
};

// A copy of a with the units of b appended (VStringSplit.cpp).
VString operator+(const VString& a, const VString& b);

// The string in UTF-8; empty for an empty or null string or a failure.
std::string to_string(const VString& s);

VString ToString(int n);
VString ToString(long long n);
VString ToString(unsigned long long n);
VString ToString(unsigned long n);

}  // namespace zeft
