// Collated comparison, equality, search and LIKE matching of two texts the
// input gives, with the options its first byte picks. Every call returns;
// equal means a comparison of 0, for plain and LIKE forms alike;
// comparisons are antisymmetric; found occurrences lie inside the text.
#include "FuzzSupport.h"
#include "core/VCollator.h"

namespace {

using zeft::int32;
using zeft::fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 400) return 0;
  zeft::fuzz::InputReader input(data, size);
  const uint8_t options = input.Byte();
  const bool diacritical = (options & 1) != 0;
  zeft::VCollator* collator = zeft::VIntlMgr::GetProcessDefault()->GetCollator();
  collator->SetOptions((options & 2) != 0 ? zeft::VCollator::kOptionDefault |
                                                zeft::VCollator::kOptionWildCharOnlyAtEnds
                                          : zeft::VCollator::kOptionDefault);
  const zeft::VString text = input.Units();
  const zeft::VString other = input.Units();
  const zeft::UniChar* a = text.GetCPointer();
  const zeft::UniChar* b = other.GetCPointer();
  const int32 la = text.GetLength();
  const int32 lb = other.GetLength();

  const zeft::CompareResult ab = collator->CompareString(a, la, b, lb, diacritical);
  Require(ab == -1 || ab == 0 || ab == 1);
  Require(collator->CompareString(b, lb, a, la, diacritical) == -ab);
  Require(collator->EqualString(a, la, b, lb, diacritical) == (ab == 0));
  // LIKE equality and comparison agree, control characters included.
  Require(collator->EqualString_Like(a, la, b, lb, diacritical) ==
          (collator->CompareString_Like(a, la, b, lb, diacritical) == 0));

  int32 length = -1;
  const int32 first = collator->FindString(a, la, b, lb, diacritical, &length);
  Require(first >= 0 && first <= la && length >= 0);
  if (first > 0) Require(first - 1 + length <= la);
  const int32 last = collator->ReversedFindString(a, la, b, lb, diacritical, &length);
  Require(last >= 0 && last <= la && (last == 0) == (first == 0));
  if (last > 0) Require(last >= first && last - 1 + length <= la);
  return 0;
}
