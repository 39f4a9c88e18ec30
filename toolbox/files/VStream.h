// VStream is the toolbox's abstract byte stream: opened for reading or for
// writing, it moves a 64-bit position over bytes that a concrete kind keeps
// and carries one pending error and one byte-swap flag. Every binary form of
// a value goes through it. A kind supplies only the Do... operations; state
// checks, position, errors and byte swapping all live here.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VTypes.h"

namespace zeft {

class VArrayString;
class VString;
class VValue;
class VToUnicodeConverter;
class VFromUnicodeConverter;

// Defined in core/VString.h.
enum ECarriageReturnMode : int32;

class VProgressIndicator;

class VStream : public VObject {
 public:
  VStream();
  ~VStream() override;

  VStream(const VStream&) = delete;
  VStream& operator=(const VStream&) = delete;

  // The bytes of an in-memory kind, without copying. Answers false (data
  // null, size 0) for kinds that hold nothing in memory.
  virtual bool GetUnderlyingData(const void*& outData, int64& outSize) const;

  // The indicator every transfer reports to (retained; null detaches). A
  // false answer stops the stream with error 206.
  void SetProgressIndicator(VProgressIndicator* progress);
  VProgressIndicator* GetProgressIndicator() const { return fProgress; }

  // Opening and closing. A stream is never open in both directions; the
  // swap flag, char set and carriage-return mode survive reopening.
  VError OpenReading();
  // Opens, then reads a 32-bit signature and sets the swap flag from the
  // byte order it is found in; 207 when it is in neither order.
  VError OpenReading(uint32 signature);
  VError CloseReading();
  VError OpenWriting();
  VError CloseWriting(bool setSize = true);

  bool IsReading() const { return fIsReading; }
  bool IsWriting() const { return fIsWriting; }
  bool IsReadOnly() const { return fIsReadOnly; }
  bool IsWriteOnly() const { return fIsWriteOnly; }
  VError SetReadOnly(bool readOnly);
  VError SetWriteOnly(bool writeOnly);

  // The pending error: once set, every read and write returns it at once.
  VError GetLastError() const { return fError; }

  // Byte order of multi-byte numbers: swapped between the data and the
  // caller when set. The machine is little-endian.
  bool NeedSwap() const { return fNeedSwap; }
  void SetNeedSwap(bool needSwap) { fNeedSwap = needSwap; }
  void SetBigEndian() { fNeedSwap = true; }
  void SetLittleEndian() { fNeedSwap = false; }

  // Position and size.
  int64 GetPos() const { return fPosition; }
  int64 GetSize();
  VError SetSize(int64 size);
  VError SetPos(int64 position);
  VError SetPosByOffset(int64 offset);
  VError Flush();

  // Raw bytes. `outRead` receives the count delivered (left alone when the
  // call fails before reading).
  VError GetData(void* buffer, size_t count, size_t* outRead = nullptr);
  // Steps the position back over `count` bytes (the bytes are not stored).
  VError UngetData(const void* data, size_t count);
  VError PutData(const void* data, size_t count);
  VError PutByte(uint8 byte);
  // Copies this whole stream into `destination`, which must be open for
  // writing, 4096 bytes at a time.
  VError PutContentInto(VStream* destination);
  // Each byte as two upper-case hexadecimal digits, high half first.
  VError PutHexBytes(const char* bytes, size_t count);

  // Typed arrays in the stream's byte order. The Get forms take the number
  // of elements wanted and give back the number of whole elements read; a
  // count below 1 moves nothing. The Put forms never change the caller's
  // array.
  VError GetWords(int16* words, int32* count);
  VError PutWords(const int16* words, int32 count);
  VError GetLongs(int32* longs, int32* count);
  VError PutLongs(const int32* longs, int32 count);
  VError GetLong8s(int64* long8s, int32* count);
  VError PutLong8s(const int64* long8s, int32 count);
  VError GetReals(double* reals, int32* count);
  VError PutReals(const double* reals, int32 count);

  // Value stream form: the 16-bit kind (when `withKind`), then the value's
  // own form. GetValue returns a new value the caller owns, or null.
  VError PutValue(const VValue& value, bool withKind);
  VValue* GetValue();

  // Text. The char set and carriage-return mode apply to text operations
  // only; raw bytes are never converted.
  CharSet GetCharSet() const { return fCharSet; }
  VError SetCharSet(CharSet charSet);
  ECarriageReturnMode GetCarriageReturnMode() const { return fCarriageReturnMode; }
  void SetCarriageReturnMode(ECarriageReturnMode mode) { fCarriageReturnMode = mode; }
  // Writes the string converted to the char set, line ends in the stream's
  // mode.
  VError PutText(const VString& text);
  // Appends the whole rest of the stream, decoded in the char set.
  VError GetText(VString& text);
  // Appends up to `count` characters (a count below 1 reads nothing); with
  // `acceptMore` the last conversion may give a few more.
  VError GetText(VString& text, int32 count, bool acceptMore);
  // Replaces `text` with the next line. Lines end with CR, LF or CR LF, or
  // with `*endChar` when given (in UTF-16, LF too). With `withLineEnd` the
  // line keeps one CR as its end (`*endChar` as itself). 0 when a line was
  // read, 200 at the end of the data.
  VError GetTextLine(VString& text, bool withLineEnd, UniChar* endChar = nullptr);
  // Replaces `fields` with the fields of the next line split at tabs.
  VError GetTTRLine(VArrayString& fields);
  // Sets the char set from a byte-order mark at the position (the position
  // then follows it), else from the look of the first bytes and, with
  // `detectUTF8`, whether up to 2048 bytes are well-formed UTF-8; else the
  // default. Nothing but a mark is consumed.
  VError GuessCharSetFromLeadingBytes(CharSet defaultCharSet, bool detectUTF8,
                                      bool* outFoundBOM = nullptr);
  // The byte-order mark of the char set (UTF-8, UTF-16, UCS-4); nothing for
  // the others.
  VError WriteBOM();
  // Formats as VString::VPrintf does, then writes the text.
  VError PutPrintf(const char* format, ...);
  VError PutVPrintf(const char* format, va_list args);

 protected:
  // A kind's operations act at the stream's position and never move it.
  virtual VError DoOpenReading();
  virtual VError DoOpenWriting();
  virtual VError DoCloseReading();
  virtual VError DoCloseWriting(bool setSize);
  virtual VError DoPutData(const void* data, size_t count) = 0;
  // `ioCount` gives the count wanted and receives the count delivered.
  virtual VError DoGetData(void* buffer, size_t* ioCount) = 0;
  virtual VError DoUngetData(const void* data, size_t count);
  virtual int64 DoGetSize() = 0;
  virtual VError DoSetSize(int64 size) = 0;
  virtual VError DoSetPos(int64 position);
  virtual VError DoFlush();

  // Pushes the toolbox error `number` on the task's error stack and returns
  // it; the stream stores a kind's result itself.
  static VError _PushError(int32 number);

 private:
  // Pushes the toolbox error `number` and makes it the pending error.
  VError _RaiseError(int32 number);
  // The common rule of every read and write.
  VError _GetData(void* buffer, size_t count, size_t* outRead);
  VError _PutData(const void* data, size_t count);
  // Reads `*count` elements of `elementSize` bytes, swapping when asked.
  VError _GetElements(void* elements, int32* count, size_t elementSize);
  VError _PutElements(const void* elements, int32 count, size_t elementSize);
  void _ReleaseConverters();
  // Reports a transfer of `count` bytes; a false answer stops the stream.
  void _ReportProgress(size_t count);

  int64 fPosition = 0;
  bool fIsReading = false;
  bool fIsWriting = false;
  bool fIsReadOnly = false;
  bool fIsWriteOnly = false;
  bool fNeedSwap = false;
  VError fError = VE_OK;
  CharSet fCharSet;
  ECarriageReturnMode fCarriageReturnMode;
  VToUnicodeConverter* fToUnicode = nullptr;
  VFromUnicodeConverter* fFromUnicode = nullptr;
  VProgressIndicator* fProgress = nullptr;
};

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF; a sequence cut at the end is not); true
// for a length below 1.
bool DetectUTF8(const unsigned char* bytes, int length);

}  // namespace zeft
