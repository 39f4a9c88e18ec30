#include "core/mac/XMacToUnicodeConverter.h"

#include <langinfo.h>

#include <cstring>
#include <memory>
#include <new>

#include <unicode/utypes.h>

#include "core/VErrorCodes.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

// Text encodings ICU lacks (Mac Arabic, Mac Hebrew, the two Mac Chinese,
// Mac Japanese) have no entry: they report "no converter".
struct PlatformName {
  CharSet fSet;
  const char* fName;
};

constexpr PlatformName kPlatformNames[] = {
#if U_IS_BIG_ENDIAN
    {kCharSetUTF16, "UTF-16BE"},
    {kCharSetUTF32, "UTF-32BE"},
#else
    {kCharSetUTF16, "UTF-16LE"},
    {kCharSetUTF32, "UTF-32LE"},
#endif
    {kCharSetUTF8, "UTF-8"},
    {kCharSetUTF7, "UTF-7"},
    {kCharSetASCII, "US-ASCII"},
    {kCharSetEBCDIC037, "ibm-37"},
    {kCharSetIBM437, "ibm-437"},
    {kCharSetMacRoman, "macintosh"},
    {kCharSetWindows1252, "windows-1252"},
    {kCharSetMacCentralEurope, "x-mac-ce"},
    {kCharSetWindows1250, "windows-1250"},
    {kCharSetMacCyrillic, "x-mac-cyrillic"},
    {kCharSetWindows1251, "windows-1251"},
    {kCharSetMacGreek, "x-mac-greek"},
    {kCharSetWindows1253, "windows-1253"},
    {kCharSetMacTurkish, "x-mac-turkish"},
    {kCharSetWindows1254, "windows-1254"},
    {kCharSetWindows1256, "windows-1256"},
    {kCharSetWindows1255, "windows-1255"},
    {kCharSetMacCentralEurope2, "x-mac-ce"},
    {kCharSetWindows1257, "windows-1257"},
    {kCharSetGBK, "windows-936"},
    {kCharSetCP950, "windows-950"},
    {kCharSetShiftJIS, "Shift_JIS"},
    {kCharSetISO2022JP, "ISO-2022-JP"},
    {kCharSetBig5, "Big5"},
    {kCharSetEUCKR, "EUC-KR"},
    {kCharSetKOI8R, "KOI8-R"},
    {kCharSetISO8859_1, "ISO-8859-1"},
    {kCharSetISO8859_2, "ISO-8859-2"},
    {kCharSetISO8859_3, "ISO-8859-3"},
    {kCharSetISO8859_4, "ISO-8859-4"},
    {kCharSetISO8859_5, "ISO-8859-5"},
    {kCharSetISO8859_6, "ISO-8859-6"},
    {kCharSetISO8859_7, "ISO-8859-7"},
    {kCharSetISO8859_8, "ISO-8859-8"},
    {kCharSetISO8859_9, "ISO-8859-9"},
    {kCharSetISO8859_10, "ISO-8859-10"},
    {kCharSetISO8859_13, "ISO-8859-13"},
    {kCharSetGB2312, "windows-936"},
    {kCharSetGB2312_80, "GB_2312-80"},
    {kCharSetISO8859_15, "ISO-8859-15"},
    {kCharSetWindows31J, "windows-932"},
};

constexpr size_t kCountChunk = 256;

void PushPlatformError(UErrorCode status) {
  // The platform's status under the platform component, as native codes are.
  _ThrowError(MakeVError(kComponentCarbon, int32(status)));
}

void PushMemFailure() {
  VString text("mem failure");
  _ThrowError(ToolboxError(toolbox_error::kTextConversionFailed), &text);
}

}  // namespace

std::string GetDefault8BitConverterName() {
  // Toolbox 8-bit strings are UTF-8: a codeset that is plain ASCII (the C
  // locale) or unknown to the platform means UTF-8.
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || codeset[0] == 0) return "UTF-8";
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(codeset, &status);
  if (U_FAILURE(status) || converter == nullptr) return "UTF-8";
  const char* name = ucnv_getName(converter, &status);
  std::string result = U_SUCCESS(status) && std::strcmp(name, "US-ASCII") != 0 ? name : "UTF-8";
  ucnv_close(converter);
  return result;
}

std::string GetPlatformConverterName(CharSet set) {
  if (set == kCharSetDefault8Bit) return GetDefault8BitConverterName();
  for (const PlatformName& entry : kPlatformNames) {
    if (entry.fSet == set) return entry.fName;
  }
  return std::string();
}

XMacToUnicodeConverter::XMacToUnicodeConverter(CharSet set) : fCharSet(set) {
  const std::string name = GetPlatformConverterName(set);
  if (name.empty()) return;
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status) || converter == nullptr) return;
  // Malformed or unmapped input fails the call instead of being replaced.
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFallback(converter, true);
  if (U_FAILURE(status)) {
    ucnv_close(converter);
    return;
  }
  fConverter = converter;
  // The shared system-set converter never carries state between callers.
  const UConverterType type = ucnv_getType(converter);
  fCarriesState = set != kCharSetDefault8Bit && (type == UCNV_ISO_2022 || type == UCNV_UTF7);
}

XMacToUnicodeConverter::~XMacToUnicodeConverter() {
  if (fConverter != nullptr) ucnv_close(fConverter);
}

bool XMacToUnicodeConverter::Convert(const void* source, size_t sourceBytes, size_t* consumedBytes,
                                     UniChar* target, int targetMaxChars, int* producedChars) {
  if (consumedBytes != nullptr) *consumedBytes = 0;
  if (producedChars != nullptr) *producedChars = 0;
  if (fConverter == nullptr) return false;
  if (source == nullptr || sourceBytes == 0) return true;
  if (target == nullptr || targetMaxChars <= 0) return true;  // no room: nothing to do
  std::lock_guard<std::mutex> lock(fMutex);
  return _Convert(static_cast<const uint8*>(source), sourceBytes, consumedBytes, target,
                  targetMaxChars, producedChars);
}

bool XMacToUnicodeConverter::_Convert(const uint8* source, size_t sourceBytes,
                                      size_t* consumedBytes, UniChar* target, int targetMaxChars,
                                      int* producedChars) {
  if (fCarriesState)
    return _ConvertCarryingState(source, sourceBytes, consumedBytes, target, targetMaxChars,
                                 producedChars);
  ucnv_resetToUnicode(fConverter);
  const char* const begin = reinterpret_cast<const char*>(source);
  const char* const end = begin + sourceBytes;
  const size_t room = size_t(targetMaxChars);
  UErrorCode status = U_ZERO_ERROR;
  size_t consumed = 0;
  size_t produced = 0;

  // Common case: the room holds any decoding of the source (no set here
  // yields more than two units per byte), so decode straight into it.
  bool done = false;
  if (room / 2 > sourceBytes) {
    const char* src = begin;
    UChar* out = reinterpret_cast<UChar*>(target);
    ucnv_toUnicode(fConverter, &out, out + room, &src, end, nullptr, false, &status);
    if (U_SUCCESS(status)) {
      produced = size_t(out - reinterpret_cast<UChar*>(target));
      const int32 pending = ucnv_toUCountPending(fConverter, &status);
      consumed = sourceBytes - size_t(pending > 0 ? pending : 0);
      done = true;
    } else if (status != U_BUFFER_OVERFLOW_ERROR) {
      PushPlatformError(status);
      return false;
    }
  }

  // Otherwise decode the whole source aside, with the source offset of
  // every unit, and keep the longest run of whole characters that fits.
  for (size_t capacity = 2 * sourceBytes + 16; !done; capacity *= 2) {
    std::unique_ptr<UChar[]> units(new (std::nothrow) UChar[capacity]);
    std::unique_ptr<int32_t[]> offsets(new (std::nothrow) int32_t[capacity]);
    if (!units || !offsets) {
      PushMemFailure();
      return false;
    }
    ucnv_resetToUnicode(fConverter);
    const char* src = begin;
    UChar* out = units.get();
    status = U_ZERO_ERROR;
    ucnv_toUnicode(fConverter, &out, out + capacity, &src, end, offsets.get(), false, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) continue;
    if (U_FAILURE(status)) {
      PushPlatformError(status);
      return false;
    }
    const size_t total = size_t(out - units.get());
    if (total <= room) {
      produced = total;
      const int32 pending = ucnv_toUCountPending(fConverter, &status);
      consumed = sourceBytes - size_t(pending > 0 ? pending : 0);
    } else {
      // The units of one character share its offset: cut between two
      // offsets so that no character is split.
      size_t cut = room;
      while (cut > 0 && offsets[cut] == offsets[cut - 1]) --cut;
      if (offsets[cut] <= 0) cut = 0;
      produced = cut;
      consumed = cut > 0 ? size_t(offsets[cut]) : 0;
    }
    std::memcpy(target, units.get(), produced * sizeof(UniChar));
    done = true;
  }

  if (consumedBytes != nullptr) *consumedBytes = consumed;
  if (producedChars != nullptr) *producedChars = int(produced);
  return true;
}

bool XMacToUnicodeConverter::_ConvertCarryingState(const uint8* source, size_t sourceBytes,
                                                   size_t* consumedBytes, UniChar* target,
                                                   int targetMaxChars, int* producedChars) {
  // The state before the call: a failed call goes back to it, and a call
  // cut short by the room decodes again from it.
  UErrorCode status = U_ZERO_ERROR;
  UConverter* start = ucnv_clone(fConverter, &status);
  if (U_FAILURE(status) || start == nullptr) {
    PushPlatformError(U_FAILURE(status) ? status : U_MEMORY_ALLOCATION_ERROR);
    return false;
  }
  const char* const begin = reinterpret_cast<const char*>(source);
  const size_t room = size_t(targetMaxChars);
  UniChar* const out = target;

  size_t units = 0;
  status = _DecodeFrom(start, begin, sourceBytes, out, room, &units);
  size_t consumed = sourceBytes;
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    // The longest prefix whose text fits: a sequence's units may come out
    // before its last byte (UTF-7), so only whole prefixes are measured.
    size_t fits = 0;
    size_t tooLong = sourceBytes;
    while (tooLong - fits > 1) {
      const size_t middle = fits + (tooLong - fits) / 2;
      size_t count = 0;
      if (U_SUCCESS(_DecodeFrom(start, begin, middle, nullptr, 0, &count)) && count <= room)
        fits = middle;
      else
        tooLong = middle;
    }
    consumed = fits;
    status = _DecodeFrom(start, begin, fits, out, room, &units);
  }
  if (U_FAILURE(status)) {
    ucnv_close(fConverter);
    fConverter = start;
    PushPlatformError(status);
    return false;
  }
  ucnv_close(start);
  if (consumedBytes != nullptr) *consumedBytes = consumed;
  if (producedChars != nullptr) *producedChars = int(units);
  return true;
}

UErrorCode XMacToUnicodeConverter::_DecodeFrom(const UConverter* start, const char* source,
                                               size_t count, UniChar* target, size_t room,
                                               size_t* units) {
  *units = 0;
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_clone(start, &status);
  if (U_FAILURE(status) || converter == nullptr)
    return U_FAILURE(status) ? status : U_MEMORY_ALLOCATION_ERROR;
  // Through a scratch buffer: the platform reports a full target as an
  // overflow even when the bytes left only start a sequence.
  const char* src = source;
  const char* const end = source + count;
  UChar scratch[kCountChunk];
  bool overflow = false;
  do {
    UChar* out = scratch;
    status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &out, scratch + kCountChunk, &src, end, nullptr, false, &status);
    const size_t produced = size_t(out - scratch);
    if (target != nullptr && !overflow) {
      if (*units + produced <= room)
        std::memcpy(target + *units, scratch, produced * sizeof(UniChar));
      else
        overflow = true;
    }
    *units += produced;
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  if (U_SUCCESS(status) && overflow) status = U_BUFFER_OVERFLOW_ERROR;
  if (U_FAILURE(status)) {
    ucnv_close(converter);
    return status;
  }
  // The converter now holds the state after the decoded bytes.
  ucnv_close(fConverter);
  fConverter = converter;
  return status;
}

}  // namespace zeft
