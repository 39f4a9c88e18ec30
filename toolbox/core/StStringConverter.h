// StStringConverter<char> converts a VString once to bytes in a character
// set, optionally converting line ends first, for handing to byte-oriented
// interfaces (log lines, POSIX paths, process arguments, stdout). Results up
// to 511 bytes live inside the object; larger ones in a heap block freed with
// it.
#pragma once

#include "core/CharSet.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VFromUnicodeConverter;

class StStringConverterBase : public VObject {
 public:
  static constexpr size_t kInlineBufferSize = 512;

  // mode 1 (or any value other than 2, 3, 4) leaves line ends as they are.
  StStringConverterBase(CharSet set, ECarriageReturnMode mode);
  StStringConverterBase(const StStringConverterBase& other);
  StStringConverterBase(StStringConverterBase&& other) noexcept;
  StStringConverterBase& operator=(const StStringConverterBase&) = delete;
  StStringConverterBase& operator=(StStringConverterBase&&) = delete;
  ~StStringConverterBase() override;

  // The converted bytes, terminated; size excludes the terminator.
  const void* GetBytes() const { return fBuffer; }
  size_t GetSize() const { return fSize; }
  // True when the last conversion succeeded; a failed one leaves an empty,
  // terminated result.
  bool IsOK() const { return fOK; }

 protected:
  void _ConvertString(const UniChar* text, int length, size_t terminatorSize);

  ECarriageReturnMode GetMode() const { return fMode; }

 private:
  // Back to an empty, failed result in the inline buffer.
  void _ResetToInline();

  char* fBuffer;
  size_t fSize;
  ECarriageReturnMode fMode;
  bool fOK;
  size_t fCapacity;
  void* fHeapBlock;
  size_t fTerminatorSize;  // zero bytes behind the result, for copies
  VFromUnicodeConverter* fConverter;
  char fInlineBuffer[kInlineBufferSize];
};

template <class T>
class StStringConverter;

template <>
class StStringConverter<char> : public StStringConverterBase {
 public:
  StStringConverter(const VString& s, CharSet set, ECarriageReturnMode mode = kCRModeNone);
  StStringConverter(const StStringConverter&) = default;
  StStringConverter(StStringConverter&&) noexcept = default;

  // Converts s (replacing the previous result) and returns the bytes.
  const char* ConvertString(const VString& s);

  const char* GetCPointer() const { return static_cast<const char*>(GetBytes()); }
};

}  // namespace zeft
