// XMacToUnicodeConverter decodes the character sets that have no built-in
// converter (legacy 8-bit and East Asian sets, UTF-7, the system's default
// 8-bit set) with the platform's converters (ICU).
#pragma once

#include <mutex>
#include <string>

#include <unicode/ucnv.h>

#include "core/CharSet.h"
#include "core/VToUnicodeConverter.h"

namespace zeft {

// The platform converter name of a character set ("windows-1252"), or ""
// when the platform has no converter for it. For the system's default
// 8-bit set (-2) it is the C library's codeset, UTF-8 when that is plain
// ASCII or unknown.
std::string GetPlatformConverterName(CharSet set);

// The C library's codeset under the calling thread's locale, as the
// platform converter name the default 8-bit set uses.
std::string GetDefault8BitConverterName();

class XMacToUnicodeConverter : public VToUnicodeConverter {
 public:
  explicit XMacToUnicodeConverter(CharSet set);
  ~XMacToUnicodeConverter() override;

  bool IsValid() const override { return fConverter != nullptr; }
  // Input that is malformed or has no mapping fails (false, nothing
  // consumed, the platform status pushed). Most sets start each call
  // afresh and leave a sequence cut by the end of the source unconsumed
  // (true). Sets with shift states (ISO-2022-JP, UTF-7) carry their state,
  // and a cut sequence, from one call to the next, as a stream feeds its
  // chunks: they consume every byte they read.
  bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
               int targetMaxChars, int* producedChars) override;

  CharSet GetCharSet() const { return fCharSet; }

 private:
  bool _Convert(const uint8* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
                int targetMaxChars, int* producedChars);
  // The same for a set with shift states: every byte read counts as
  // consumed, a cut sequence waiting in the converter's state.
  bool _ConvertCarryingState(const uint8* source, size_t sourceBytes, size_t* consumedBytes,
                             UniChar* target, int targetMaxChars, int* producedChars);
  // Decodes source[0, count) from a copy of `start`, which then replaces
  // the converter; the units are written to target (overflow when more
  // than `room`) or, with a null target, only counted in *units. On
  // failure the converter is kept.
  UErrorCode _DecodeFrom(const UConverter* start, const char* source, size_t count, UniChar* target,
                         size_t room, size_t* units);

  CharSet fCharSet;
  UConverter* fConverter = nullptr;
  bool fCarriesState = false;
  // The system set's converter is shared by every task.
  std::mutex fMutex;
};

}  // namespace zeft
