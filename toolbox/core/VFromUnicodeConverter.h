// VFromUnicodeConverter is the interface of every encoder from UTF-16 to
// bytes in one character set. Converters are reference counted and handed
// out by VTextConverters; a new converter holds one reference.
#pragma once

#include "core/IRefCountable.h"
#include "core/VMemoryBuffer.h"
#include "core/VObject.h"

namespace zeft {

class VFromUnicodeConverter : public VObject, public IRefCountable {
 public:
  VFromUnicodeConverter() = default;
  VFromUnicodeConverter(const VFromUnicodeConverter&) = delete;
  VFromUnicodeConverter& operator=(const VFromUnicodeConverter&) = delete;
  ~VFromUnicodeConverter() override;

  // False for a converter that cannot convert anything.
  virtual bool IsValid() const;

  // Encodes sourceChars units into at most targetMaxBytes bytes. A null
  // target only counts the bytes needed (where the converter supports it).
  // Returns true when the conversion went as far as it could without an
  // error; consumedChars and producedBytes (each may be null) receive what
  // was read and written.
  virtual bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
                       size_t targetMaxBytes, size_t* producedBytes) = 0;

  // The largest number of bytes one UTF-16 unit may need.
  virtual size_t GetCharSize() const = 0;

  // Encodes all count units and appends them behind the producedBytes bytes
  // that block (a memory-manager block, or null) already holds, growing it;
  // trailingBytes bytes of room stay free behind the result. producedBytes
  // grows by the bytes written. The text is taken as complete: a high
  // surrogate ending it is encoded on its own where the set allows. False
  // (toolbox error 300 when memory runs out) when not everything converts.
  bool ConvertRealloc(const UniChar* source, int count, void*& block, size_t& producedBytes,
                      size_t trailingBytes);

  // Same, appending behind the data of buffer; its size ends at old size +
  // produced + trailingBytes (the trailing bytes are not initialised).
  bool ConvertToBuffer(const UniChar* source, int count, VMemoryBuffer<>& buffer,
                       size_t trailingBytes);

 protected:
  // Encodes a high surrogate that ends the whole text (so no pair can
  // follow) on its own. The default cannot and returns false; converters
  // that keep such a unit unconsumed, waiting for its pair, override it.
  virtual bool ConvertLoneHighSurrogate(UniChar unit, void* target, size_t targetMaxBytes,
                                        size_t* producedBytes);

 private:
  // The grow-and-convert loop shared by ConvertRealloc and ConvertToBuffer.
  template <class Grow>
  bool _ConvertGrowing(const UniChar* source, int count, size_t heldBytes, size_t trailingBytes,
                       Grow grow, size_t& producedBytes);
};

}  // namespace zeft
