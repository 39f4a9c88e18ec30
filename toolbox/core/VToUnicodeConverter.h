// VToUnicodeConverter is the interface of every decoder from bytes in one
// character set to UTF-16. Converters are reference counted and handed out
// by VTextConverters; a new converter holds one reference.
#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"

namespace zeft {

class VString;

class VToUnicodeConverter : public VObject, public IRefCountable {
 public:
  VToUnicodeConverter() = default;
  VToUnicodeConverter(const VToUnicodeConverter&) = delete;
  VToUnicodeConverter& operator=(const VToUnicodeConverter&) = delete;
  ~VToUnicodeConverter() override;

  // False for a converter that cannot convert anything.
  virtual bool IsValid() const;

  // Decodes sourceBytes bytes and appends the text to target (which is not
  // cleared). consumedBytes (may be null) receives the bytes decoded; a
  // sequence cut by the end of the source stays unconsumed.
  virtual bool ConvertString(const void* source, size_t sourceBytes, size_t* consumedBytes,
                             VString& target);

  // Decodes into at most targetMaxChars units. Returns true when the
  // conversion went as far as it could without an error; consumedBytes and
  // producedChars (each may be null) receive what was read and written.
  virtual bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes,
                       UniChar* target, int targetMaxChars, int* producedChars) = 0;

  // Size of one source character unit in bytes.
  virtual size_t GetCharSize() const;

 protected:
  // Makes room for `units` more units behind target's text (un-sharing its
  // buffer) and returns where they go; null, with toolbox error 300 pushed,
  // when the room cannot be had.
  static UniChar* _PrepareAppend(VString& target, size_t units);
};

}  // namespace zeft
