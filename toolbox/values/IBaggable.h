// IBaggable is the interface of objects that save themselves into a bag
// and load themselves back from one.
#pragma once

#include "core/VErrorCodes.h"

namespace zeft {

class VBagLoader;
class VString;
class VValueBag;

class IBaggable {
 public:
  virtual ~IBaggable() = default;

  // The loader keeps references by UUID consistent while loading; the
  // default ignores it and the context and calls LoadFromBag.
  virtual VError LoadFromBagWithLoader(const VValueBag& bag, VBagLoader* loader, void* context);
  // The default loads nothing and reports no error.
  virtual VError LoadFromBag(const VValueBag& bag);
  // Fills `bag` and names the kind of element it is saved as.
  virtual VError SaveToBag(VValueBag& bag, VString& kindName) const = 0;
};

}  // namespace zeft
