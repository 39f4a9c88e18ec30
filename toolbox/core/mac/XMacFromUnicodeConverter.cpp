#include "core/mac/XMacFromUnicodeConverter.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

#include <unicode/utf16.h>

#include "core/VErrorCodes.h"
#include "core/VString.h"
#include "core/mac/XMacToUnicodeConverter.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

void PushPlatformError(UErrorCode status) {
  _ThrowError(MakeVError(kComponentCarbon, int32(status)));
}

// The unit size of the set's encoding form: 4 for UTF-32, 1 for UTF-7 and
// UTF-8, 2 for UTF-16 and every other set.
size_t EncodingUnitSize(CharSet set) {
  switch (set) {
    case kCharSetUTF32:
      return 4;
    case kCharSetUTF7:
    case kCharSetUTF8:
      return 1;
    default:
      return 2;
  }
}

}  // namespace

XMacFromUnicodeConverter::XMacFromUnicodeConverter(CharSet set) : fCharSet(set) {
  const std::string name = GetPlatformConverterName(set);
  if (name.empty()) return;
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status) || converter == nullptr) return;
  // Unmappable characters and lone surrogates become "?" in the set.
  static const UChar kQuestionMark[] = {u'?'};
  ucnv_setSubstString(converter, kQuestionMark, 1, &status);
  // A set without "?" (a double-byte-only set) keeps its own substitute.
  if (U_FAILURE(status)) status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                        &status);
  ucnv_setFallback(converter, true);
  if (U_FAILURE(status)) {
    ucnv_close(converter);
    return;
  }
  fConverter = converter;
  // Callers size their room by this: it must cover one unit with the
  // shift sequences around it (ISO-2022-JP, UTF-7), or a short text could
  // never fit.
  fCharSize = std::max(EncodingUnitSize(set), size_t(ucnv_getMaxCharSize(converter)));
}

XMacFromUnicodeConverter::~XMacFromUnicodeConverter() {
  if (fConverter != nullptr) ucnv_close(fConverter);
}

int64 XMacFromUnicodeConverter::_EncodeWhole(const UniChar* source, int32 count, char* target,
                                             size_t room, UErrorCode* status) {
  *status = U_ZERO_ERROR;
  const int32 capacity = int32(std::min(room, size_t(std::numeric_limits<int32>::max())));
  // Resets the converter and flushes: the bytes stand alone.
  const int32 needed = ucnv_fromUChars(fConverter, target, target != nullptr ? capacity : 0,
                                       reinterpret_cast<const UChar*>(source), count, status);
  if (*status == U_BUFFER_OVERFLOW_ERROR || *status == U_STRING_NOT_TERMINATED_WARNING)
    *status = U_ZERO_ERROR;
  if (U_FAILURE(*status)) return -1;
  return needed;
}

bool XMacFromUnicodeConverter::Convert(const UniChar* source, int sourceChars, int* consumedChars,
                                       void* target, size_t targetMaxBytes, size_t* producedBytes) {
  if (consumedChars != nullptr) *consumedChars = 0;
  if (producedBytes != nullptr) *producedBytes = 0;
  if (fConverter == nullptr) return false;
  if (source == nullptr || sourceChars <= 0) return true;
  if (target != nullptr && targetMaxBytes == 0) return true;  // no room: nothing to do

  // A high surrogate ending the source waits for its pair.
  int32 count = sourceChars;
  if (U16_IS_LEAD(source[count - 1])) --count;
  if (count == 0) return true;

  std::lock_guard<std::mutex> lock(fMutex);
  char* const out = static_cast<char*>(target);
  UErrorCode status = U_ZERO_ERROR;
  const int64 needed = _EncodeWhole(source, count, out, targetMaxBytes, &status);
  if (needed < 0) {
    PushPlatformError(status);
    return false;
  }
  if (out == nullptr || size_t(needed) <= targetMaxBytes) {
    if (consumedChars != nullptr) *consumedChars = count;
    if (producedBytes != nullptr) *producedBytes = size_t(needed);
    return true;
  }

  // Too large for the room: find, from the source offset of every byte,
  // the longest run of whole characters whose bytes fit.
  const size_t total = size_t(needed);
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[total]);
  std::unique_ptr<int32_t[]> offsets(new (std::nothrow) int32_t[total]);
  if (!bytes || !offsets) {
    VString text("mem failure");
    _ThrowError(ToolboxError(toolbox_error::kTextConversionFailed), &text);
    return false;
  }
  ucnv_resetFromUnicode(fConverter);
  char* written = bytes.get();
  const UChar* src = reinterpret_cast<const UChar*>(source);
  status = U_ZERO_ERROR;
  ucnv_fromUnicode(fConverter, &written, written + total, &src, src + count, offsets.get(), true,
                   &status);
  if (U_FAILURE(status)) {
    PushPlatformError(status);
    return false;
  }
  const size_t writtenBytes = size_t(written - bytes.get());
  int32 prefix = count;
  if (targetMaxBytes < writtenBytes) {
    size_t cut = targetMaxBytes;
    while (cut > 0 && offsets[cut] == offsets[cut - 1]) --cut;
    prefix = cut > 0 && offsets[cut] > 0 ? offsets[cut] : 0;
  }

  // A shifted set closes the prefix with its return to the initial state,
  // which may not fit: give back one character at a time until it does.
  while (prefix > 0) {
    const int64 length = _EncodeWhole(source, prefix, out, targetMaxBytes, &status);
    if (length < 0) {
      PushPlatformError(status);
      return false;
    }
    if (size_t(length) <= targetMaxBytes) {
      if (consumedChars != nullptr) *consumedChars = prefix;
      if (producedBytes != nullptr) *producedBytes = size_t(length);
      return true;
    }
    prefix -= (prefix >= 2 && U16_IS_TRAIL(source[prefix - 1]) && U16_IS_LEAD(source[prefix - 2]))
                  ? 2
                  : 1;
  }
  return true;  // not one character fits: output full
}

bool XMacFromUnicodeConverter::ConvertLoneHighSurrogate(UniChar unit, void* target,
                                                        size_t targetMaxBytes,
                                                        size_t* producedBytes) {
  if (producedBytes != nullptr) *producedBytes = 0;
  if (fConverter == nullptr) return false;
  std::lock_guard<std::mutex> lock(fMutex);
  UErrorCode status = U_ZERO_ERROR;
  const int64 needed = _EncodeWhole(&unit, 1, static_cast<char*>(target), targetMaxBytes, &status);
  if (needed < 0) {
    PushPlatformError(status);
    return false;
  }
  if (size_t(needed) > targetMaxBytes) return false;
  if (producedBytes != nullptr) *producedBytes = size_t(needed);
  return true;
}

}  // namespace zeft
