// Comparison and hashing of VString.
#include <algorithm>
#include <cstring>

#include "core/ASCIIText.h"
#include "core/VCompareOptions.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "runtime/VTask.h"

namespace zeft {

namespace {

// The wild character of LIKE patterns.
constexpr UniChar kWildChar = u'@';

bool SameUnit(UniChar a, UniChar b, bool diacritical) {
  return diacritical ? a == b : FoldASCII(a) == FoldASCII(b);
}

// A run of units: a string's text or a stored value's.
struct Units {
  const UniChar* text;
  int32 length;

  Units Cut(int32 length2) const { return {text, std::min(length, length2)}; }
};

Units UnitsOf(const VString& s) { return {s.GetCPointer(), s.GetLength()}; }

// The pointer form: a 32-bit length, then the units.
Units StoredUnits(const void* data) {
  uint32 length;
  std::memcpy(&length, data, 4);
  return {reinterpret_cast<const UniChar*>(static_cast<const uint8*>(data) + 4),
          int32(std::min<uint32>(length, 0x7FFFFFFF))};
}

// Collated comparisons go to the collator of the international settings
// (VIntlMgr): the current task's, or the one the options name. Without
// settings (VTask::GetCurrentIntlManager() answers null before any exist),
// strings compare unit by unit: exactly when diacritical is set, with the
// ASCII letters folded when it is clear; LIKE patterns then use the default
// wild character "@", anywhere in the pattern.
class Collation {
 public:
  explicit Collation(VIntlMgr* intl) : fIntl(intl) {}

  static Collation Current() { return Collation(VTask::GetCurrentIntlManager()); }

  CompareResult Compare(Units a, Units b, bool diacritical) const {
    if (fIntl != nullptr)
      return fIntl->CompareString(a.text, a.length, b.text, b.length, diacritical);
    int32 common = std::min(a.length, b.length);
    for (int32 i = 0; i < common; ++i) {
      UniChar x = diacritical ? a.text[i] : FoldASCII(a.text[i]);
      UniChar y = diacritical ? b.text[i] : FoldASCII(b.text[i]);
      if (x != y) return x < y ? kCompareLess : kCompareBigger;
    }
    if (a.length == b.length) return kCompareEqual;
    return a.length < b.length ? kCompareLess : kCompareBigger;
  }

  bool Equal(Units a, Units b, bool diacritical) const {
    if (fIntl != nullptr)
      return fIntl->EqualString(a.text, a.length, b.text, b.length, diacritical);
    return Compare(a, b, diacritical) == kCompareEqual;
  }

  CompareResult CompareLike(Units text, Units pattern, bool diacritical) const {
    if (fIntl != nullptr)
      return fIntl->CompareString_Like(text.text, text.length, pattern.text, pattern.length,
                                       diacritical);
    if (Matches(text, pattern, diacritical)) return kCompareEqual;
    CompareResult result = Compare(text, pattern, diacritical);
    return result != kCompareEqual ? result : kCompareLess;
  }

  bool EqualLike(Units text, Units pattern, bool diacritical) const {
    if (fIntl != nullptr)
      return fIntl->EqualString_Like(text.text, text.length, pattern.text, pattern.length,
                                     diacritical);
    return Matches(text, pattern, diacritical);
  }

 private:
  // Wild-character matching with one back-tracking point: linear space,
  // no recursion.
  static bool Matches(Units text, Units pattern, bool diacritical) {
    int32 t = 0;
    int32 p = 0;
    int32 starP = -1;
    int32 starT = 0;
    while (t < text.length) {
      if (p < pattern.length && pattern.text[p] == kWildChar) {
        starP = p++;
        starT = t;
      } else if (p < pattern.length && SameUnit(text.text[t], pattern.text[p], diacritical)) {
        ++t;
        ++p;
      } else if (starP >= 0) {
        p = starP + 1;
        t = ++starT;
      } else {
        return false;
      }
    }
    while (p < pattern.length && pattern.text[p] == kWildChar) ++p;
    return p == pattern.length;
  }

  VIntlMgr* fIntl;
};

const VString& AsString(const VValue* value) { return *static_cast<const VString*>(value); }

}  // namespace

// ---------------------------------------------------------------------------
// Value slots

CompareResult VString::CompareToSameKind(const VValue* other, bool diacritical) const {
  return Collation::Current().Compare(UnitsOf(*this), UnitsOf(AsString(other)), diacritical);
}

CompareResult VString::CompareBeginingToSameKind(const VValue* other, bool diacritical) const {
  Units b = UnitsOf(AsString(other));
  return Collation::Current().Compare(UnitsOf(*this).Cut(b.length), b, diacritical);
}

bool VString::EqualToSameKind(const VValue* other, bool diacritical) const {
  return Collation::Current().Equal(UnitsOf(*this), UnitsOf(AsString(other)), diacritical);
}

CompareResult VString::CompareToSameKind_Like(const VValue* other, bool diacritical) const {
  return Collation::Current().CompareLike(UnitsOf(*this), UnitsOf(AsString(other)), diacritical);
}

CompareResult VString::CompareBeginingToSameKind_Like(const VValue* other, bool diacritical) const {
  Units b = UnitsOf(AsString(other));
  return Collation::Current().CompareLike(UnitsOf(*this).Cut(b.length), b, diacritical);
}

bool VString::EqualToSameKind_Like(const VValue* other, bool diacritical) const {
  return Collation::Current().EqualLike(UnitsOf(*this), UnitsOf(AsString(other)), diacritical);
}

CompareResult VString::CompareToSameKindPtr(const void* data, bool diacritical) const {
  return Collation::Current().Compare(UnitsOf(*this), StoredUnits(data), diacritical);
}

CompareResult VString::Swap_CompareToSameKindPtr(const void* data, bool diacritical) const {
  return Collation::Current().Compare(StoredUnits(data), UnitsOf(*this), diacritical);
}

bool VString::EqualToSameKindPtr(const void* data, bool diacritical) const {
  return Collation::Current().Equal(UnitsOf(*this), StoredUnits(data), diacritical);
}

CompareResult VString::CompareBeginingToSameKindPtr(const void* data, bool diacritical) const {
  Units b = StoredUnits(data);
  return Collation::Current().Compare(UnitsOf(*this).Cut(b.length), b, diacritical);
}

CompareResult VString::IsTheBeginingToSameKindPtr(const void* data, bool diacritical) const {
  Units a = UnitsOf(*this);
  return Collation::Current().Compare(a, StoredUnits(data).Cut(a.length), diacritical);
}

CompareResult VString::CompareToSameKindPtr_Like(const void* data, bool diacritical) const {
  return Collation::Current().CompareLike(UnitsOf(*this), StoredUnits(data), diacritical);
}

CompareResult VString::Swap_CompareToSameKindPtr_Like(const void* data, bool diacritical) const {
  return Collation::Current().CompareLike(StoredUnits(data), UnitsOf(*this), diacritical);
}

bool VString::EqualToSameKindPtr_Like(const void* data, bool diacritical) const {
  return Collation::Current().EqualLike(UnitsOf(*this), StoredUnits(data), diacritical);
}

bool VString::Swap_EqualToSameKindPtr_Like(const void* data, bool diacritical) const {
  return Collation::Current().EqualLike(StoredUnits(data), UnitsOf(*this), diacritical);
}

CompareResult VString::CompareBeginingToSameKindPtr_Like(const void* data, bool diacritical) const {
  Units b = StoredUnits(data);
  return Collation::Current().CompareLike(UnitsOf(*this).Cut(b.length), b, diacritical);
}

CompareResult VString::IsTheBeginingToSameKindPtr_Like(const void* data, bool diacritical) const {
  Units a = UnitsOf(*this);
  return Collation::Current().CompareLike(a, StoredUnits(data).Cut(a.length), diacritical);
}

CompareResult VString::CompareToSameKindWithOptions(const VValue* other,
                                                    const VCompareOptions& options) const {
  Collation collation(options.GetIntlMgr());
  Units a = UnitsOf(*this);
  Units b = UnitsOf(AsString(other));
  if (options.IsBeginsWith()) a = a.Cut(b.length);
  return options.IsLike() ? collation.CompareLike(a, b, options.IsDiacritical())
                          : collation.Compare(a, b, options.IsDiacritical());
}

bool VString::EqualToSameKindWithOptions(const VValue* other,
                                         const VCompareOptions& options) const {
  Collation collation(options.GetIntlMgr());
  Units a = UnitsOf(*this);
  Units b = UnitsOf(AsString(other));
  return options.IsLike() ? collation.EqualLike(a, b, options.IsDiacritical())
                          : collation.Equal(a, b, options.IsDiacritical());
}

CompareResult VString::CompareToSameKindPtrWithOptions(const void* data,
                                                       const VCompareOptions& options) const {
  Collation collation(options.GetIntlMgr());
  Units a = UnitsOf(*this);
  Units b = StoredUnits(data);
  if (options.IsBeginsWith()) {
    int32 common = std::min(a.length, b.length);
    a = a.Cut(common);
    b = b.Cut(common);
  }
  return options.IsLike() ? collation.CompareLike(a, b, options.IsDiacritical())
                          : collation.Compare(a, b, options.IsDiacritical());
}

CompareResult VString::Swap_CompareToSameKindPtrWithOptions(const void* data,
                                                            const VCompareOptions& options) const {
  Collation collation(options.GetIntlMgr());
  Units a = StoredUnits(data);
  Units b = UnitsOf(*this);
  if (options.IsBeginsWith()) {
    int32 common = std::min(a.length, b.length);
    a = a.Cut(common);
    b = b.Cut(common);
  }
  return options.IsLike() ? collation.CompareLike(a, b, options.IsDiacritical())
                          : collation.Compare(a, b, options.IsDiacritical());
}

bool VString::EqualToSameKindPtrWithOptions(const void* data,
                                            const VCompareOptions& options) const {
  Collation collation(options.GetIntlMgr());
  Units a = UnitsOf(*this);
  Units b = StoredUnits(data);
  return options.IsLike() ? collation.EqualLike(a, b, options.IsDiacritical())
                          : collation.Equal(a, b, options.IsDiacritical());
}

CompareResult VString::CompareTo(const VValueSingle& value, bool diacritical) const {
  VStr<255> text;
  value.GetString(text);
  return Collation::Current().Compare(UnitsOf(*this), UnitsOf(text), diacritical);
}

// ---------------------------------------------------------------------------
// Plain comparisons

CompareResult VString::CompareToString(const VString& other, bool diacritical) const {
  return Collation::Current().Compare(UnitsOf(*this), UnitsOf(other), diacritical);
}

CompareResult VString::CompareToString_Like(const VString& other, bool diacritical) const {
  return Collation::Current().CompareLike(UnitsOf(*this), UnitsOf(other), diacritical);
}

bool VString::EqualToString(const VString& other, bool diacritical) const {
  return Collation::Current().Equal(UnitsOf(*this), UnitsOf(other), diacritical);
}

bool VString::EqualToString_Like(const VString& other, bool diacritical) const {
  return Collation::Current().EqualLike(UnitsOf(*this), UnitsOf(other), diacritical);
}

bool VString::EqualToStringRaw(const VString& other) const {
  return fLength == other.fLength &&
         std::memcmp(fString, other.fString, size_t(fLength) * sizeof(UniChar)) == 0;
}

CompareResult VString::CompareToStringRaw(const VString& other) const {
  // Up to and including the first 0 unit of either text (the terminator).
  for (int32 i = 0;; ++i) {
    UniChar a = fString[i];
    UniChar b = other.fString[i];
    if (a != b) return a < b ? kCompareLess : kCompareBigger;
    if (a == 0) return kCompareEqual;
  }
}

CompareResult VString::CompareToStringRawCase(const VString& other) const {
  for (int32 i = 0;; ++i) {
    UniChar a = FoldASCII(fString[i]);
    UniChar b = FoldASCII(other.fString[i]);
    if (a != b) return a < b ? kCompareLess : kCompareBigger;
    if (a == 0) return kCompareEqual;
  }
}

bool VString::EqualToUSASCIICString(const char* text) const {
  if (text == nullptr) return false;
  for (int32 i = 0; i <= fLength; ++i) {
    // Bytes are widened as signed: 0x80 and above never match a unit below
    // 0xFF80.
    UniChar c = UniChar(int16(int8(text[i])));
    if (fString[i] != c) return false;
    if (c == 0) return i == fLength;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Hashing

uint32 VString::GetHashValue() const {
  uint32 n = uint32(fLength);
  if (n == 0) return 0;
  uint32 h = n;
  if (n <= 16) {
    for (uint32 i = 0; i < n; ++i) h = h * 257 + fString[i];
  } else {
    for (uint32 i = 0; i < 8; ++i) h = h * 257 + fString[i];
    for (uint32 i = n - 8; i < n; ++i) h = h * 257 + fString[i];
  }
  return (h << (n % 32)) + h;
}

// ---------------------------------------------------------------------------
// Descriptor comparisons of two stored values

CompareResult VString_info::CompareTwoPtrToData(const void* data1, const void* data2,
                                                bool diacritical) const {
  return Collation::Current().Compare(StoredUnits(data1), StoredUnits(data2), diacritical);
}

CompareResult VString_info::CompareTwoPtrToDataBegining(const void* data1, const void* data2,
                                                        bool diacritical) const {
  Units b = StoredUnits(data2);
  return Collation::Current().Compare(StoredUnits(data1).Cut(b.length), b, diacritical);
}

CompareResult VString_info::CompareTwoPtrToData_Like(const void* data1, const void* data2,
                                                     bool diacritical) const {
  return Collation::Current().CompareLike(StoredUnits(data1), StoredUnits(data2), diacritical);
}

CompareResult VString_info::CompareTwoPtrToDataBegining_Like(const void* data1, const void* data2,
                                                             bool diacritical) const {
  Units b = StoredUnits(data2);
  return Collation::Current().CompareLike(StoredUnits(data1).Cut(b.length), b, diacritical);
}

CompareResult VString_info::CompareTwoPtrToDataWithOptions(const void* data1, const void* data2,
                                                           const VCompareOptions& options) const {
  Collation collation(options.GetIntlMgr());
  Units a = StoredUnits(data1);
  Units b = StoredUnits(data2);
  if (options.IsBeginsWith()) {
    int32 common = std::min(a.length, b.length);
    a = a.Cut(common);
    b = b.Cut(common);
  }
  return options.IsLike() ? collation.CompareLike(a, b, options.IsDiacritical())
                          : collation.Compare(a, b, options.IsDiacritical());
}

}  // namespace zeft
