// VBagLoader is the context of one loading of objects from bags. When it
// regenerates UUIDs, every object gets a fresh UUID and the loader remembers
// which new UUID replaced which old one, so that objects referring to each
// other by UUID can resolve their references afterwards.
#pragma once

#include <map>

#include "core/VObject.h"
#include "values/VUUID.h"

namespace zeft {

class VValueBag;

class VBagLoader : public VObject {
 public:
  VBagLoader(bool regenerateUUIDs, bool secondOption);

  bool IsRegeneratingUUIDs() const { return fRegenerateUUIDs; }
  // Kept for the loaders of callers; nothing here depends on it.
  bool GetSecondOption() const { return fSecondOption; }

  // The UUID of the object saved in `bag` (its "uuid" attribute).
  // Without regeneration: the stored UUID and true, or a new UUID and
  // false when the bag has none. With regeneration: a new UUID for every
  // object, the same new one for the same old one; false when the bag has
  // no UUID (or memory runs out), true otherwise.
  bool GetUUID(const VValueBag& bag, VUUID& outUUID);
  // With regeneration: replaces an old UUID by the new one given to it,
  // false when it was never seen. Without: true, the UUID unchanged.
  bool ResolveUUID(VUUID& ioUUID) const;

 private:
  bool fRegenerateUUIDs;
  bool fSecondOption;
  std::map<VUUID, VUUID> fUUIDs;
};

}  // namespace zeft
