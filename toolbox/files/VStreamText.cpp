// The text side of VStream: char set guessing and byte-order marks, text
// read whole, by characters or by lines, and text and formatted writing.
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "core/CharSet.h"
#include "core/StStringConverter.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/VToUnicodeConverter.h"
#include "files/VStream.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"
#include "values/VArrayString.h"

namespace zeft {

namespace {

constexpr size_t kTextChunkSize = 4096;
constexpr size_t kGuessSize = 2048;
constexpr size_t kCountChunkSize = 32;
constexpr int32 kCountGrowthUnits = 65536;
constexpr size_t kLineChunkUnits = 256;
constexpr UniChar kCR = 0x0D;
constexpr UniChar kLF = 0x0A;
constexpr UniChar kTab = 0x09;
constexpr VError kEndOfData = ToolboxError(toolbox_error::kStreamEndOfData);

// UTF-8 validation automaton: the class of each byte, then the next state
// for each state and class. State 0 accepts, state 1 rejects.
constexpr uint8 kUTF8Classes[256] = {
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 00
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 10
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 20
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 30
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 50
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 60
    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 70
    1,  1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 80
    9,  9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9,  // 90
    7,  7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // A0
    7,  7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // B0
    8,  8, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // C0
    2,  2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // D0
    10, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 3, 3,  // E0
    11, 6, 6, 6, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,  // F0
};

constexpr uint8 kUTF8Transitions[9 * 16] = {
    0, 1, 2, 3, 5, 8, 7, 1, 1, 1, 4, 6, 1, 1, 1, 1,  // 0
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 1
    1, 0, 1, 1, 1, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1, 1,  // 2
    1, 2, 1, 1, 1, 1, 1, 2, 1, 2, 1, 1, 1, 1, 1, 1,  // 3
    1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1,  // 4
    1, 2, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1,  // 5
    1, 1, 1, 1, 1, 1, 1, 3, 1, 3, 1, 1, 1, 1, 1, 1,  // 6
    1, 3, 1, 1, 1, 1, 1, 3, 1, 3, 1, 1, 1, 1, 1, 1,  // 7
    1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 8
};

constexpr uint8 kUTF8Accept = 0;
constexpr uint8 kUTF8Reject = 1;

// The automaton's state after the bytes, stopping early on a rejection.
uint8 RunUTF8(const unsigned char* bytes, size_t length) {
  uint8 state = kUTF8Accept;
  for (size_t i = 0; i < length && state != kUTF8Reject; ++i) {
    state = kUTF8Transitions[state * 16 + kUTF8Classes[bytes[i]]];
  }
  return state;
}

bool IsUTF16(CharSet charSet) {
  return charSet == kCharSetUTF16BigEndian || charSet == kCharSetUTF16;
}

bool IsSevenBitText(uint8 byte) { return byte >= 0x01 && byte <= 0x7F; }

// The offset of the first line end among the bytes (`count` when none): CR
// or LF, or the end byte when `withEnd`.
size_t FindLineEnd(const uint8* bytes, size_t count, bool withEnd, uint8 end) {
  if (withEnd) {
    const void* found = std::memchr(bytes, end, count);
    return found != nullptr ? size_t(static_cast<const uint8*>(found) - bytes) : count;
  }
  const void* lf = std::memchr(bytes, 0x0A, count);
  const size_t limit = lf != nullptr ? size_t(static_cast<const uint8*>(lf) - bytes) : count;
  const void* cr = std::memchr(bytes, 0x0D, limit);
  return cr != nullptr ? size_t(static_cast<const uint8*>(cr) - bytes) : limit;
}

}  // namespace

bool DetectUTF8(const unsigned char* bytes, int length) {
  if (length < 1) return true;
  return RunUTF8(bytes, size_t(length)) == kUTF8Accept;
}

VError VStream::SetCharSet(CharSet charSet) {
  if (fError != VE_OK) return fError;
  _ReleaseConverters();
  fCharSet = charSet;
  if (fIsReading) {
    fToUnicode = VTextConverters::Get()->RetainToUnicodeConverter(charSet);
    if (!fToUnicode->IsValid()) _RaiseError(toolbox_error::kStreamNoTextConverter);
  }
  if (fIsWriting) {
    fFromUnicode = VTextConverters::Get()->RetainFromUnicodeConverter(charSet);
    if (!fFromUnicode->IsValid()) _RaiseError(toolbox_error::kStreamNoTextConverter);
  }
  return fError;
}

// ---------------------------------------------------------------------------
// Byte-order marks and guessing

VError VStream::GuessCharSetFromLeadingBytes(CharSet defaultCharSet, bool detectUTF8,
                                             bool* outFoundBOM) {
  if (outFoundBOM != nullptr) *outFoundBOM = false;
  uint8 b[4] = {0, 0, 0, 0};
  size_t n = 0;
  {
    // A short stream is no failure of the guess: nothing of this read is
    // left on the error stack.
    StErrorContextInstaller silent(false, true);
    _GetData(b, sizeof(b), &n);
  }
  if (fError == kEndOfData) fError = VE_OK;
  if (fError != VE_OK) return SetCharSet(defaultCharSet);

  const auto found = [&](CharSet charSet, size_t markLength) {
    if (outFoundBOM != nullptr) *outFoundBOM = true;
    if (n > markLength) UngetData(b + markLength, n - markLength);
    return SetCharSet(charSet);
  };
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return found(kCharSetUTF8, 3);
  if (n == 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) {
    return found(kCharSetUTF32BigEndian, 4);
  }
  if (n == 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) {
    return found(kCharSetUTF32, 4);
  }
  if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) return found(kCharSetUTF16BigEndian, 2);
  if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) return found(kCharSetUTF16, 2);

  CharSet candidate = defaultCharSet;
  if (n == 4 && b[0] == 0 && b[1] != 0 && b[2] == 0 && b[3] != 0) {
    candidate = kCharSetUTF16BigEndian;
  } else if (n == 4 && b[0] != 0 && b[1] == 0 && b[2] != 0 && b[3] == 0) {
    candidate = kCharSetUTF16;
  } else if (IsUTF16(defaultCharSet) && n == 4 && IsSevenBitText(b[0]) && IsSevenBitText(b[1]) &&
             IsSevenBitText(b[2]) && IsSevenBitText(b[3])) {
    candidate = kCharSetUTF8;
  }
  UngetData(b, n);

  if (detectUTF8 && fError == VE_OK) {
    const int64 size = GetSize();
    const int64 available = size > fPosition ? size - fPosition : 0;
    const size_t wanted = size_t(std::min<int64>(available, int64(kGuessSize)));
    uint8 bytes[kGuessSize];
    size_t got = 0;
    if (wanted > 0) _GetData(bytes, wanted, &got);
    const uint8 state = RunUTF8(bytes, got);
    // A character cut by the end of the sample is no fault of the text
    // when more of it follows.
    const bool cutBySample = state != kUTF8Reject && int64(got) < available;
    if (got == 0 || state == kUTF8Accept || cutBySample) candidate = kCharSetUTF8;
    UngetData(bytes, got);
  }
  return SetCharSet(candidate);
}

VError VStream::WriteBOM() {
  struct Mark {
    CharSet charSet;
    uint8 length;
    uint8 bytes[4];
  };
  static constexpr Mark kMarks[] = {
      {kCharSetUTF16BigEndian, 2, {0xFE, 0xFF}},       {kCharSetUTF16, 2, {0xFF, 0xFE}},
      {kCharSetUTF32BigEndian, 4, {0, 0, 0xFE, 0xFF}}, {kCharSetUTF32, 4, {0xFF, 0xFE, 0, 0}},
      {kCharSetUTF8, 3, {0xEF, 0xBB, 0xBF}},
  };
  for (const Mark& mark : kMarks) {
    if (mark.charSet != fCharSet) continue;
    for (uint8 i = 0; i < mark.length; ++i) _PutData(mark.bytes + i, 1);
  }
  return fError;
}

// ---------------------------------------------------------------------------
// Reading text

VError VStream::GetText(VString& text) {
  if (fError != VE_OK) return fError;
  if (!fIsReading) return _RaiseError(toolbox_error::kStreamNotOpenForReading);

  uint8 buffer[kTextChunkSize];
  size_t held = 0;
  for (;;) {
    int64 size = GetSize();
    int64 available = size > fPosition ? size - fPosition : 0;
    size_t wanted = size_t(std::min<int64>(available, int64(kTextChunkSize - held)));
    size_t got = 0;
    if (wanted > 0) _GetData(buffer + held, wanted, &got);
    held += got;

    size_t consumed = 0;
    bool ok = held > 0 && fToUnicode->ConvertString(buffer, held, &consumed, text);
    consumed = std::min(consumed, held);
    std::memmove(buffer, buffer + consumed, held - consumed);
    held -= consumed;

    if (!ok || consumed == 0 || fError != VE_OK || fPosition >= size) break;
  }

  if (held > 0 && fError == VE_OK) {
    VString reason("unterminated unicode conversion.");
    fError = ToolboxError(toolbox_error::kStreamBadText);
    _ThrowError(fError, &reason);
  }
  return fError;
}

VError VStream::GetText(VString& text, int32 count, bool acceptMore) {
  if (count < 1 || fError != VE_OK) return fError;
  const int32 start = text.GetLength();
  // The count is the caller's (maybe read from the data): the string grows
  // with what is read, never by the count asked at once.
  const int32 room = std::min(count, kCountGrowthUnits);
  if (count > std::numeric_limits<int32>::max() - start || !text.EnsureSize(start + room)) {
    return _RaiseError(toolbox_error::kMemoryFull);
  }

  if (IsUTF16(fCharSet)) {
    int32 read = 0;
    while (read < count && fError == VE_OK) {
      const int32 step = std::min(count - read, kCountGrowthUnits);
      UniChar* units = text.GetCPointerForWrite(start + read + step);
      if (units == nullptr) {
        _RaiseError(toolbox_error::kMemoryFull);
        break;
      }
      UniChar* at = units + start + read;
      size_t got = 0;
      _GetData(at, size_t(step) * sizeof(UniChar), &got);
      const int32 whole = int32(got / 2);
      if (fCharSet == kCharSetUTF16BigEndian) {
        for (int32 i = 0; i < whole; ++i) at[i] = __builtin_bswap16(at[i]);
      }
      read += whole;
      text.Validate(start + read);
      if (got % 2 != 0) UngetData(reinterpret_cast<const uint8*>(at) + got - 1, 1);
      if (whole < step) break;
    }
    return fError;
  }

  StErrorContextInstaller endOfData(kEndOfData, VE_OK);
  uint8 buffer[kCountChunkSize];
  size_t held = 0;
  for (;;) {
    const size_t missing = size_t(count - (text.GetLength() - start));
    const size_t wanted = std::min(2 * missing + 10, kCountChunkSize - held);
    size_t got = 0;
    _GetData(buffer + held, wanted, &got);
    held += got;
    if (fError != VE_OK && fError != kEndOfData) break;

    const int32 before = text.GetLength();
    size_t consumed = 0;
    const bool ok = fToUnicode->ConvertString(buffer, held, &consumed, text);
    consumed = std::min(consumed, held);
    const int32 produced = text.GetLength() - start;
    if (ok && produced <= count) {
      if (produced == count) {
        UngetData(buffer + consumed, held - consumed);
        break;
      }
      // Bytes that neither convert nor grow would hold the loop forever.
      if (consumed == 0 && got == 0) {
        if (fError == VE_OK) _RaiseError(toolbox_error::kStreamBadText);
        break;
      }
      std::memmove(buffer, buffer + consumed, held - consumed);
      held -= consumed;
    } else {
      if (fError == kEndOfData) fError = VE_OK;
      if (acceptMore && ok) {
        UngetData(buffer + consumed, held - consumed);
        break;
      }
      // Again from the start of the bytes held, one character at a time,
      // each from the shortest prefix the converter takes.
      text.Truncate(before);
      size_t used = 0;
      bool failed = false;
      while (text.GetLength() - start < count && used < held && !failed) {
        size_t taken = 0;
        for (size_t length = 1; used + length <= held && taken == 0; ++length) {
          if (!fToUnicode->ConvertString(buffer + used, length, &taken, text)) {
            failed = true;
            break;
          }
        }
        if (taken == 0) break;
        used += taken;
      }
      UngetData(buffer + used, held - used);
      if (failed && fError == VE_OK) _RaiseError(toolbox_error::kStreamBadText);
      break;
    }
    if (text.GetLength() - start >= count || fError != VE_OK) break;
  }
  return fError;
}

VError VStream::GetTextLine(VString& text, bool withLineEnd, UniChar* endChar) {
  // Emptied with its buffer kept: lines are read one after the other.
  if (text.GetCPointerForWrite() != nullptr) {
    text.Validate(0);
  } else {
    text.Clear();
  }
  if (fError != VE_OK) return fError;
  // The end of the data is silenced, the level set up only when a read may
  // reach it.
  std::optional<StErrorContextInstaller> endOfData;
  const auto read = [&](void* buffer, size_t count, size_t* got) {
    if (!endOfData && GetSize() - fPosition < int64(count)) endOfData.emplace(kEndOfData, VE_OK);
    _GetData(buffer, count, got);
  };

  const bool utf16 = IsUTF16(fCharSet);
  const bool swapped = fCharSet == kCharSetUTF16BigEndian;
  const size_t unit = utf16 ? 2 : 1;
  // Units are compared in the data's own byte order.
  const auto native = [&](UniChar c) -> uint16 { return swapped ? __builtin_bswap16(c) : c; };
  const uint16 cr = native(kCR);
  const uint16 lf = native(kLF);
  const uint16 end = endChar == nullptr ? 0 : utf16 ? native(*endChar) : uint16(*endChar & 0xFF);
  const auto unitAt = [&](const uint8* bytes) -> uint16 {
    if (!utf16) return bytes[0];
    uint16 value;
    std::memcpy(&value, bytes, 2);
    return value;
  };

  uint8 chunk[kLineChunkUnits * 2];
  std::vector<uint8> spanned;  // the line's bytes from earlier chunks
  bool readSome = false;
  bool ended = false;
  UniChar endMark = kCR;
  const uint8* lineBytes = nullptr;
  size_t lineLength = 0;
  for (;;) {
    size_t got = 0;
    read(chunk, kLineChunkUnits * unit, &got);
    if (got > 0) readSome = true;
    const size_t units = got / unit;
    size_t i = 0;
    uint16 value = 0;
    if (!utf16) {
      i = FindLineEnd(chunk, got, endChar != nullptr, uint8(end));
      if (i < units) value = chunk[i];
    } else {
      for (; i < units; ++i) {
        value = unitAt(chunk + i * unit);
        if (endChar != nullptr ? value == end || value == lf : value == cr || value == lf) break;
      }
    }
    if (i == units) {
      if (fError != VE_OK || got == 0) {
        lineBytes = chunk;
        lineLength = got;
        break;
      }
      spanned.insert(spanned.end(), chunk, chunk + got);
      continue;
    }

    ended = true;
    lineBytes = chunk;
    lineLength = i * unit;
    size_t after = lineLength + unit;
    if (endChar != nullptr && value == end) {
      endMark = *endChar;
    } else if (endChar == nullptr && value == cr) {
      if (i + 1 < units) {
        if (unitAt(chunk + after) == lf) after += unit;
      } else {
        // A CR that ends the chunk: the LF may begin the next one.
        uint8 next[2];
        size_t more = 0;
        read(next, unit, &more);
        if (more == unit && unitAt(next) == lf) {
          readSome = true;
        } else if (more > 0) {
          UngetData(next, more);
        }
      }
    }
    if (got > after) UngetData(chunk + after, got - after);
    break;
  }

  if (!spanned.empty()) {
    spanned.insert(spanned.end(), lineBytes, lineBytes + lineLength);
    lineBytes = spanned.data();
    lineLength = spanned.size();
  }
  if (lineLength > 0 && fToUnicode != nullptr) {
    fToUnicode->ConvertString(lineBytes, lineLength, nullptr, text);
  }
  if (withLineEnd) text.AppendUniChar(ended ? endMark : kCR);

  if (fError == kEndOfData && readSome) return VE_OK;
  return fError;
}

VError VStream::GetTTRLine(VArrayString& fields) {
  fields.Destroy();
  VString line;
  const VError result = GetTextLine(line, false, nullptr);
  if (result != VE_OK && result != kEndOfData) return result;
  const UniChar* units = line.GetCPointer();
  const int32 length = line.GetLength();
  int32 fieldStart = 0;
  for (int32 i = 0; i <= length; ++i) {
    if (i == length || units[i] == kTab) {
      VString field;
      field.FromUniString(units + fieldStart, i - fieldStart);
      fields.AppendString(field);
      fieldStart = i + 1;
    }
  }
  return result;
}

// ---------------------------------------------------------------------------
// Writing text

VError VStream::PutText(const VString& text) {
  if (fError != VE_OK) return fError;
  if (!fIsWriting) return _RaiseError(toolbox_error::kStreamNotOpenForWriting);
  StStringConverter<char> converter(text, fCharSet, fCarriageReturnMode);
  // A failed conversion yields no bytes; writing nothing would report the
  // lost text as success.
  if (!converter.IsOK()) return _RaiseError(toolbox_error::kTextConversionFailed);
  return _PutData(converter.GetBytes(), converter.GetSize());
}

VError VStream::PutPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const VError error = PutVPrintf(format, args);
  va_end(args);
  return error;
}

VError VStream::PutVPrintf(const char* format, va_list args) {
  VStr255 text;
  text.VPrintf(format, args);
  return PutText(text);
}

}  // namespace zeft
