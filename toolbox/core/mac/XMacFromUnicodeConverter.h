// XMacFromUnicodeConverter encodes UTF-16 into the character sets that have
// no built-in converter (legacy 8-bit and East Asian sets, UTF-7, the
// system's default 8-bit set) with the platform's converters (ICU).
#pragma once

#include <mutex>

#include <unicode/ucnv.h>

#include "core/CharSet.h"
#include "core/VFromUnicodeConverter.h"

namespace zeft {

class XMacFromUnicodeConverter : public VFromUnicodeConverter {
 public:
  explicit XMacFromUnicodeConverter(CharSet set);
  ~XMacFromUnicodeConverter() override;

  bool IsValid() const override { return fConverter != nullptr; }
  // A character the set cannot encode is written as "?"; output that does
  // not fit stops the conversion at a character boundary (true). Every
  // call's bytes stand alone: a shifted set ends them in its initial
  // state. A high surrogate ending the source stays unconsumed, waiting
  // for its pair. A null target counts the bytes needed.
  bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
               size_t targetMaxBytes, size_t* producedBytes) override;
  // The encoding's unit size, at least the most bytes one UTF-16 unit may
  // need with the shifts around it.
  size_t GetCharSize() const override { return fCharSize; }

  CharSet GetCharSet() const { return fCharSet; }

 protected:
  // A lone high surrogate ending the text is written as "?".
  bool ConvertLoneHighSurrogate(UniChar unit, void* target, size_t targetMaxBytes,
                                size_t* producedBytes) override;

 private:
  // Encodes source[0, count) on its own into target (room bytes): the
  // number of bytes it needs, written when they fit; -1 on a platform
  // error (status in *status).
  int64 _EncodeWhole(const UniChar* source, int32 count, char* target, size_t room,
                     UErrorCode* status);

  CharSet fCharSet;
  UConverter* fConverter = nullptr;
  size_t fCharSize = 1;
  // The system set's converter is shared by every task.
  std::mutex fMutex;
};

}  // namespace zeft
