#include "values/VBagLoader.h"

#include <new>

#include "values/VValueBag.h"
#include "values/VValueBagKeys.h"

namespace zeft {

VBagLoader::VBagLoader(bool regenerateUUIDs, bool secondOption)
    : fRegenerateUUIDs(regenerateUUIDs), fSecondOption(secondOption) {}

bool VBagLoader::GetUUID(const VValueBag& bag, VUUID& outUUID) {
  VUUID stored;
  const bool found = bag.GetAttribute(ValueBagKeys::uuid, stored);
  if (!fRegenerateUUIDs) {
    if (found) {
      outUUID.FromVUUID(stored);
      return true;
    }
    outUUID.Clear();
    outUUID.Regenerate();
    return false;
  }
  if (!found) {
    outUUID.Regenerate();
    return false;
  }
  if (stored.IsNull()) {
    outUUID.Regenerate();
    return true;
  }
  auto known = fUUIDs.find(stored);
  if (known != fUUIDs.end()) {
    outUUID.FromVUUID(known->second);
    return true;
  }
  outUUID.Regenerate();
  try {
    fUUIDs.emplace(stored, outUUID);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool VBagLoader::ResolveUUID(VUUID& ioUUID) const {
  if (!fRegenerateUUIDs) return true;
  auto known = fUUIDs.find(ioUUID);
  if (known == fUUIDs.end()) return false;
  ioUUID.FromVUUID(known->second);
  return true;
}

}  // namespace zeft
