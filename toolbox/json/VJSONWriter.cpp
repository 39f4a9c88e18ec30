#include "json/VJSONWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <span>

#include "core/VReal.h"
#include "json/IJSONClassRegistry.h"
#include "json/JSONStackCheck.h"
#include "json/JSONToolboxError.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONValue.h"
#include "runtime/StErrorContextInstaller.h"
#include "values/VTime.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zeft {

namespace {

// Containers this deep and shallower are looked for by a scan of the
// in-progress list; deeper ones also go to a hash set.
constexpr size_t kScannedDepth = 32;
constexpr uint32 kPreviewLength = 512;

// How many elements ahead of the one written an array's walk asks for.
constexpr size_t kPrefetchDistance = 8;

// "00" to "99", for writing whole numbers two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Asks the cache for the lines of a container's first values (at most a
// few lines: a walk asks for the later ones as it goes), so that they
// arrive together rather than one after the other as they are read.
template <class T>
void PrefetchBlock(const T* begin, const T* end, size_t maxLines = 16) {
  constexpr size_t kLine = 64;
  const char* first = reinterpret_cast<const char*>(begin);
  const size_t bytes =
      std::min(size_t(reinterpret_cast<const char*>(end) - first), maxLines * kLine);
  for (size_t offset = 0; offset < bytes; offset += kLine) __builtin_prefetch(first + offset);
}

// Asks the cache for the block a value points to (its container or its
// text): the tree's blocks lie apart in memory, and a walk that waits for
// each in turn spends most of its time waiting.
void PrefetchTarget(const VJSONValue& value) {
  switch (value.GetType()) {
    case JSON_object: {
      const char* block = reinterpret_cast<const char*>(value.GetObject());
      __builtin_prefetch(block);
      __builtin_prefetch(block + 64);
      __builtin_prefetch(block + 128);
      __builtin_prefetch(block + 192);
      break;
    }
    case JSON_array: {
      const char* block = reinterpret_cast<const char*>(value.GetArray());
      __builtin_prefetch(block);
      __builtin_prefetch(block + 64);
      __builtin_prefetch(block + 128);
      break;
    }
    case JSON_string: {
      const VInlineString& text = value.GetInlineString();
      if (text.fString != nullptr) PrefetchBlock(text.fString, text.fString + text.fLength + 1, 4);
      break;
    }
    default:
      break;
  }
}

#if defined(__SSE2__)
// A byte mask of the units among eight that JSON escapes: the controls,
// DEL, the quote and the backslash.
int EscapedUnits(__m128i units) {
  const __m128i controls =
      _mm_cmpeq_epi16(_mm_subs_epu16(units, _mm_set1_epi16(0x1F)), _mm_setzero_si128());
  const __m128i marks = _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('"')),
                                     _mm_cmpeq_epi16(units, _mm_set1_epi16('\\')));
  return _mm_movemask_epi8(
      _mm_or_si128(_mm_or_si128(controls, marks), _mm_cmpeq_epi16(units, _mm_set1_epi16(0x7F))));
}

// Copies the `count` units to `dest` when none needs an escape, which is
// the case of most names and texts; answers false, with `dest` partly
// written, as soon as one does. Short texts are read as two overlapping
// pieces rather than unit by unit.
bool CopyIfNoEscape(const UniChar* text, int32 count, UniChar* dest) {
  if (count >= 8) {
    int32 i = 0;
    for (; i + 8 <= count; i += 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      if (EscapedUnits(units) != 0) return false;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), units);
    }
    if (i < count) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + count - 8));
      if (EscapedUnits(units) != 0) return false;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + count - 8), units);
    }
    return true;
  }
  if (count >= 4) {
    const __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text));
    const __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + count - 4));
    if ((EscapedUnits(_mm_unpacklo_epi64(head, tail))) != 0) return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dest), head);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dest + count - 4), tail);
    return true;
  }
  // Fewer than four: each unit, with no loop branch to mispredict.
  uint32 pieces[2] = {0x00410041, 0x00410041};  // "AA", needing no escape
  if (count >= 2) {
    std::memcpy(&pieces[0], text, 4);
    std::memcpy(&pieces[1], text + count - 2, 4);
  } else if (count == 1) {
    std::memcpy(&pieces[0], text, 2);
  }
  if (EscapedUnits(_mm_set_epi32(0x00410041, 0x00410041, int(pieces[1]), int(pieces[0]))) != 0) {
    return false;
  }
  if (count >= 2) {
    std::memcpy(dest, &pieces[0], 4);
    std::memcpy(dest + count - 2, &pieces[1], 4);
  } else if (count == 1) {
    std::memcpy(dest, &pieces[0], 2);
  }
  return true;
}
#else
bool CopyIfNoEscape(const UniChar* text, int32 count, UniChar* dest) {
  for (int32 i = 0; i < count; ++i) {
    const UniChar c = text[i];
    if (c < 0x20 || c == u'"' || c == u'\\' || c == 0x7F) return false;
    dest[i] = c;
  }
  return true;
}
#endif

// Whether writing the object itself runs native code: its implementation,
// or its class's getters, which the property walk lists and reads. A class
// without getters (every object has one while the class store is there)
// adds nothing to the stored properties.
bool RunsNativeCode(const VJSONObject* object) {
  if (object->GetImplementation() != nullptr) return true;
  if (object->GetClass() == nullptr) return false;
  IJSONClassRegistry* registry = VJSONObject::GetClassRegistry();
  return registry != nullptr && registry->HasGetters(object->GetClass());
}

}  // namespace

VJSONWriter::VJSONWriter(VDBLanguageContext* context, uint32 options)
    : fContext(context), fOptions(options), fIndentUnit(u'\t') {
  if ((fOptions & kIndented) != 0) fIndentation.FromUniChar(u'\n');
}

VJSONWriter::VJSONWriter(uint32 options) : VJSONWriter(nullptr, options) {}

VJSONWriter::~VJSONWriter() = default;

void VJSONWriter::IncrementLevel() {
  ++fLevel;
  if ((fOptions & kIndented) != 0) fIndentation.AppendString(fIndentUnit);
}

void VJSONWriter::DecrementLevel() {
  if (fLevel > 0) --fLevel;
  if ((fOptions & kIndented) != 0 && fIndentation.GetLength() > 1) {
    fIndentation.Truncate(fIndentation.GetLength() - fIndentUnit.GetLength());
  }
}

void VJSONWriter::InsertIndentString(VString& text) const {
  if ((fOptions & kIndented) != 0) text.Insert(fIndentation, 1);
}

void VJSONWriter::AppendIndentString(VString& text) const {
  if ((fOptions & kIndented) != 0) text.AppendString(fIndentation);
}

UniChar* VJSONWriter::_Grow(int32 count) {
  const int32 length = fBuffer.GetLength();
  if (count >= 0 && count <= 0x3FFFFFFF && length <= 0x3FFFFFFF - count) {
    // Doubling is a wish: when memory is short for it, the string's own
    // growth below still gets what is needed, and only its failure counts.
    StErrorContextInstaller quiet(false, true);
    fBuffer.EnsureSize(std::max(length + count, std::min(2 * length, 0x3FFFFFFF)));
  }
  UniChar* room = fBuffer.GetAppendRoom(count);
  if (room == nullptr) fCannotGrow = true;
  return room;
}

void VJSONWriter::_AppendIndent() {
  if ((fOptions & kIndented) == 0) return;
  // A line break and a few tabs: copied unit by unit, in place.
  const int32 length = fIndentation.GetLength();
  if (UniChar* room = _Room(length)) {
    const UniChar* units = fIndentation.GetCPointer();
    for (int32 i = 0; i < length; ++i) room[i] = units[i];
    fBuffer.AddAppended(length);
  }
}

void VJSONWriter::_Append(const VString& text) {
  const int32 length = text.GetLength();
  if (UniChar* room = _Room(length)) {
    std::memcpy(room, text.GetCPointer(), size_t(length) * sizeof(UniChar));
    fBuffer.AddAppended(length);
  }
}

VError VJSONWriter::_AppendString(const UniChar* text, int32 count, int32 after) {
  // Quoted texts with the escapes JSON must have are written here; the
  // other forms, texts with escapes and texts in the writer's own block
  // (which growing would move) are left to VString. `after` units of room
  // are kept behind the closing quote for the caller.
  constexpr uint32 kOtherForms = VString::kJSONRaw | VString::kJSONEscapeAmpAndApos;
  constexpr int32 kLongestCopied = 0x3FFFFFFF;
  const UniChar* block = fBuffer.GetCPointer();
  if ((fOptions & (kQuoted | kOtherForms)) == kQuoted && text != nullptr && count >= 0 &&
      count <= kLongestCopied &&
      !(std::less_equal<const UniChar*>()(block, text) &&
        std::less<const UniChar*>()(text, block + fBuffer.GetLength() + 1))) {
    UniChar* room = _Room(count + 2 + after);
    if (room == nullptr) return ToolboxError(toolbox_error::kStringTooLong);
    if (CopyIfNoEscape(text, count, room + 1)) {
      room[0] = u'"';
      room[count + 1] = u'"';
      fBuffer.AddAppended(count + 2);
      return VE_OK;
    }
  }
  return fBuffer.AppendJSONString(text, count, fOptions);
}

VError VJSONWriter::_AppendName(const VString& name) {
  const bool indented = (fOptions & kIndented) != 0;
  const VError error = _AppendString(name.GetCPointer(), name.GetLength(), indented ? 2 : 1);
  if (error != VE_OK) return error;
  if (indented) {
    _AppendASCII(": ");
  } else {
    _AppendUnit(u':');
  }
  return VE_OK;
}

bool VJSONWriter::_IsInProgress(const void* container) const {
  const size_t scanned = std::min(fInProgress.size(), kScannedDepth);
  for (size_t i = 0; i < scanned; ++i) {
    if (fInProgress[i].fObject == container || fInProgress[i].fArray == container) return true;
  }
  return fInProgress.size() > kScannedDepth && fDeepInProgress.count(container) != 0;
}

void VJSONWriter::_Push(const VJSONObject* object) {
  if (fInProgress.size() >= kScannedDepth) fDeepInProgress.insert(object);
  fInProgress.push_back({object, nullptr});
}

void VJSONWriter::_Push(const VJSONArray* array) {
  if (fInProgress.size() >= kScannedDepth) fDeepInProgress.insert(array);
  fInProgress.push_back({nullptr, array});
}

void VJSONWriter::_Pop() {
  const InProgress top = fInProgress.back();
  if (fInProgress.size() > kScannedDepth) {
    fDeepInProgress.erase(top.fObject != nullptr ? static_cast<const void*>(top.fObject)
                                                 : static_cast<const void*>(top.fArray));
  }
  fInProgress.pop_back();
  if (fHeldInProgress > fInProgress.size()) {
    fHeldInProgress = fInProgress.size();
    if (top.fObject != nullptr) top.fObject->Release();
    if (top.fArray != nullptr) top.fArray->Release();
  }
}

void VJSONWriter::_HoldInProgress() {
  for (; fHeldInProgress < fInProgress.size(); ++fHeldInProgress) {
    const InProgress& entry = fInProgress[fHeldInProgress];
    if (entry.fObject != nullptr) entry.fObject->Retain();
    if (entry.fArray != nullptr) entry.fArray->Retain();
  }
}

VError VJSONWriter::_Finish(VError error, VString& out) {
  // A text that could not take every unit is no JSON text: its string has
  // pushed why.
  if (error == VE_OK && fCannotGrow) error = ToolboxError(toolbox_error::kStringTooLong);
  fCannotGrow = false;
  // The text's block is handed over, not copied.
  if (error == VE_OK) out.FromString(fBuffer);
  fBuffer.Clear();
  return error;
}

void VJSONWriter::_AppendNumber(double number) {
  // The JSON text of a number is its XML text, but for NaN and the
  // infinities, which JSON has no words for.
  if (!std::isfinite(number)) {
    _AppendASCII("null");
    return;
  }
  // Whole numbers a double holds exactly are written as integers (the
  // same text as VReal's), digit by digit in place: most numbers of a
  // document are such.
  constexpr double kLargestExactWhole = 9007199254740991.0;  // 2^53 - 1
  const double magnitude = std::fabs(number);
  if (magnitude <= kLargestExactWhole && number == std::trunc(number)) {
    UniChar digits[16];
    UniChar* first = std::end(digits);
    uint64 rest = uint64(magnitude);
    // Two digits a division, most significant last.
    while (rest >= 100) {
      const char* pair = kDigitPairs + (rest % 100) * 2;
      rest /= 100;
      *--first = UniChar(pair[1]);
      *--first = UniChar(pair[0]);
    }
    if (rest >= 10) {
      const char* pair = kDigitPairs + rest * 2;
      *--first = UniChar(pair[1]);
      *--first = UniChar(pair[0]);
    } else {
      *--first = UniChar(u'0' + rest);
    }
    const bool minus = number < 0;  // -0.0 is written "0"
    const int32 count = int32(std::end(digits) - first);
    if (UniChar* room = _Room(count + (minus ? 1 : 0))) {
      if (minus) *room++ = u'-';
      std::memcpy(room, first, size_t(count) * sizeof(UniChar));
      fBuffer.AddAppended(count + (minus ? 1 : 0));
    }
    return;
  }
  char chars[VReal::kMaxTextSize];
  _AppendASCII(chars, VReal::RealToXMLChars(number, chars));
}

template <class Container>
int32 VJSONWriter::_BeginContainer(const Container* container, UniChar opening) {
  _Push(container);
  IncrementLevel();
  const int32 start = fBuffer.GetLength();
  _AppendUnit(opening);
  return start;
}

bool VJSONWriter::_PreviewIsFull(int32 before) {
  if ((fOptions & kPreview) == 0) return false;
  if (fLengthWritten > kPreviewLength) return true;
  fLengthWritten += uint32(fBuffer.GetLength() - before);
  return false;
}

VError VJSONWriter::_EndContainer(VError error, int32 start, bool truncated, UniChar closing) {
  DecrementLevel();
  _Pop();
  if (error != VE_OK) {
    fBuffer.Truncate(start);
    return error;
  }
  if (!truncated) {
    _AppendIndent();
    _AppendUnit(closing);
  } else if (!fEllipsisWritten) {
    _AppendASCII("...");
    fEllipsisWritten = true;
  }
  return VE_OK;
}

VError VJSONWriter::StringifyValue(const VJSONValue& value, VString& out) {
  fBuffer.Clear();
  return _Finish(_WriteValue(value), out);
}

VError VJSONWriter::StringifyObject(const VJSONObject* object, VString& out) {
  fBuffer.Clear();
  return _Finish(_WriteObject(object), out);
}

VError VJSONWriter::StringifyArray(const VJSONArray* array, VString& out) {
  fBuffer.Clear();
  return _Finish(_WriteArray(array), out);
}

VError VJSONWriter::_WriteValue(const VJSONValue& value) {
  switch (value.GetType()) {
    case JSON_null:
    case JSON_undefined:
      _AppendASCII("null");
      return VE_OK;
    case JSON_false:
      _AppendASCII("false");
      return VE_OK;
    case JSON_true:
      _AppendASCII("true");
      return VE_OK;
    case JSON_string: {
      const VInlineString& text = value.GetInlineString();
      return _AppendString(text.fString, text.fLength, 0);
    }
    case JSON_number:
      _AppendNumber(value.GetNumber());
      return VE_OK;
    case JSON_object:
      // `value` is not read again: native code run while the object is
      // written may change the container it lives in (containers are held
      // by _HoldInProgress then). A moved-from value holds no object and
      // is written as null.
      return _WriteObject(value.GetObject());
    case JSON_array:
      return _WriteArray(value.GetArray());
    case JSON_date: {
      VTime time;
      value.GetTime(time);
      if ((fOptions & kLocalMidnight) != 0) {
        int16 year, month, day;
        value.GetDate(&year, &month, &day);
        time.FromLocalTime(year, month, day, 0, 0, 0, 0);
      }
      time.GetJSONString(fScratch, fOptions);
      _Append(fScratch);
      return VE_OK;
    }
    default:
      _AppendASCII("null");
      return VE_OK;
  }
}

VError VJSONWriter::_WriteArray(const VJSONArray* array) {
  if (array == nullptr) {
    _AppendASCII("null");
    return VE_OK;
  }
  // A shared array is written from a copy, taken under its lock; a private
  // one in place.
  std::vector<VJSONValue> copy;
  const bool shared = array->HasStorageLocker();
  if (shared) array->GetValues(copy);
  // The elements as they are at each step.
  const auto values = [&] {
    return shared ? std::span<const VJSONValue>(copy) : array->GetValuesNoLock();
  };
  if (values().empty()) {
    _AppendASCII("[]");
    return VE_OK;
  }
  if (_IsInProgress(array)) return ThrowJSONToolboxError(json_error::kCircular);
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  const int32 start = _BeginContainer(array, u'[');
  VError error = VE_OK;
  bool truncated = false;
  PrefetchBlock(values().data(), values().data() + values().size());
  for (size_t i = 0; i < std::min(values().size(), kPrefetchDistance); ++i) {
    PrefetchTarget(values()[i]);
  }
  // Indexed and read again for each element, for writing a container may
  // run native code that changes the array.
  for (size_t i = 0; i < values().size(); ++i) {
    if (i + kPrefetchDistance < values().size()) PrefetchTarget(values()[i + kPrefetchDistance]);
    if (i > 0) _AppendUnit(u',');
    const int32 before = fBuffer.GetLength();
    _AppendIndent();
    error = _WriteValue(values()[i]);
    if (error != VE_OK) break;
    if (_PreviewIsFull(before)) {
      truncated = true;
      break;
    }
  }
  return _EndContainer(error, start, truncated, u']');
}

VError VJSONWriter::_WriteObject(const VJSONObject* object) {
  if (object == nullptr) {
    _AppendASCII("null");
    return VE_OK;
  }
  if (_IsInProgress(object)) {
    if ((fOptions & kCircularAsText) != 0) {
      _AppendASCII("\"[circular]\"");
      return VE_OK;
    }
    return ThrowJSONToolboxError(json_error::kCircular);
  }
  if ((fOptions & kRefuseObjectsTwice) != 0 && !fWritten.insert(object).second) {
    return ThrowJSONToolboxError(json_error::kMetTwice);
  }
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  if ((fOptions & kGenericObjectsOnly) != 0 && !object->IsGenericObject()) {
    return ThrowJSONToolboxError(json_error::kNotGenericObject);
  }
  // Native code runs for an object with an implementation or a class with
  // getters: the object and the containers around it are held from here on.
  VRefPtr<const VJSONObject> held;
  if (RunsNativeCode(object)) {
    _HoldInProgress();
    held = VRefPtr<const VJSONObject>(object);
  }
  if (IJSONObject* implementation = object->GetImplementation()) {
    if ((fOptions & kRefuseBinaryForm) != 0 && implementation->IJSON_GetBinarySignature() != 0) {
      return ThrowJSONToolboxError(json_error::kHasBinaryForm);
    }
    _Push(object);
    VString text;
    VError result = VE_OK;
    const EJSONStatus status = implementation->IJSON_Stringify(object, *this, text, result);
    _Pop();
    if (status != EJSON_unhandled) {
      if (result == VE_OK) _Append(text);
      return result;
    }
  }
  if (object->IsEmpty()) {
    _AppendASCII("{}");
    return VE_OK;
  }
  const int32 start = _BeginContainer(object, u'{');
  VError error = VE_OK;
  bool truncated = false;
  if (held.Get() == nullptr && !object->HasStorageLocker()) {
    // No native code lists names for this object: its stored properties
    // are all there is, walked in place. Indexed and read again for each
    // property, for writing a value may run native code that changes them.
    const VJSONPropertyMap& properties = object->GetPropertyMap();
    PrefetchBlock(properties.begin(), properties.end());
    for (size_t i = 0; i < std::min(properties.size(), kPrefetchDistance); ++i) {
      PrefetchTarget(properties[i].fValue);
    }
    for (size_t i = 0; i < properties.size(); ++i) {
      if (i + kPrefetchDistance < properties.size()) {
        PrefetchTarget(properties[i + kPrefetchDistance].fValue);
      }
      if (i > 0) _AppendUnit(u',');
      const int32 before = fBuffer.GetLength();
      _AppendIndent();
      const VJSONPropertyMap::Entry& entry = properties[i];
      error = _AppendName(entry.fName);
      if (error == VE_OK) error = _WriteValue(entry.fValue);
      if (error != VE_OK) break;
      if (_PreviewIsFull(before)) {
        truncated = true;
        break;
      }
    }
    return _EndContainer(error, start, truncated, u'}');
  }
  bool first = true;
  for (VJSONPropertyConstOrderedIterator it(object, 0); it.IsValid(); ++it) {
    if (!first) _AppendUnit(u',');
    first = false;
    const int32 before = fBuffer.GetLength();
    _AppendIndent();
    error = _AppendName(it.GetName());
    if (error != VE_OK) break;
    if (const VJSONValue* stored = it.GetStoredValue()) {
      error = _WriteValue(*stored);
    } else {
      error = _WriteValue(object->GetProperty(it.GetName(), fContext));
    }
    if (error != VE_OK) break;
    if (_PreviewIsFull(before)) {
      truncated = true;
      break;
    }
  }
  return _EndContainer(error, start, truncated, u'}');
}

}  // namespace zeft
