#include "core/VCollator_system.h"

#include "core/VString.h"

namespace zeft {

VCollator_system* VCollator_system::Create(DialectCode dialect, VIntlMgr* intl) {
  auto* collator = new VCollator_system(dialect, intl);
  if (collator->fCompare.IsValid()) return collator;
  collator->Release();
  return nullptr;
}

VCollator_system::VCollator_system(DialectCode dialect, VIntlMgr* intl)
    : VCollator(dialect), fCompare(dialect, intl) {}

VCollator_system::VCollator_system(const VCollator_system& other)
    : VCollator(other), fCompare(other.fCompare) {}

VCollator_system::~VCollator_system() = default;

VCollator_system* VCollator_system::Clone() const { return new VCollator_system(*this); }

CompareResult VCollator_system::CompareString(const UniChar* text, int32 textLength,
                                              const UniChar* other, int32 otherLength,
                                              bool diacritical) {
  if (textLength <= 0) return otherLength > 0 ? -1 : 0;
  if (otherLength <= 0) return 1;
  return fCompare.CompareString(text, textLength, other, otherLength, diacritical);
}

bool VCollator_system::EqualString(const UniChar* text, int32 textLength, const UniChar* other,
                                   int32 otherLength, bool diacritical) {
  // Equal exactly when CompareString gives 0: an empty text differs from
  // any other, even one the platform finds equal ("\0" is ignorable).
  if (textLength <= 0 || otherLength <= 0) return textLength <= 0 && otherLength <= 0;
  return fCompare.EqualString(text, textLength, other, otherLength, diacritical);
}

int32 VCollator_system::FindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                                   int32 patternLength, bool diacritical, int32* foundLength) {
  if (textLength > 0 && patternLength > 0)
    return fCompare.FindString(text, textLength, pattern, patternLength, diacritical, foundLength);
  if (foundLength != nullptr) *foundLength = 0;
  return textLength > 0 ? 1 : 0;
}

int32 VCollator_system::ReversedFindString(const UniChar* text, int32 textLength,
                                           const UniChar* pattern, int32 patternLength,
                                           bool diacritical, int32* foundLength) {
  if (textLength <= 0 || patternLength <= 0)
    return FindString(text, textLength, pattern, patternLength, diacritical, foundLength);
  return _FindLastOccurrence(text, textLength, pattern, patternLength, diacritical, foundLength);
}

void VCollator_system::GetStringComparisonAlgorithmSignature(VString& signature) const {
  signature.FromCString("system:");
  signature.AppendCString(fCompare.GetEngineVersion().c_str());
}

}  // namespace zeft
