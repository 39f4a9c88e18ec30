#include "values/IBaggable.h"

namespace zeft {

VError IBaggable::LoadFromBagWithLoader(const VValueBag& bag, VBagLoader* /*loader*/,
                                        void* /*context*/) {
  return LoadFromBag(bag);
}

VError IBaggable::LoadFromBag(const VValueBag& /*bag*/) { return VE_OK; }

}  // namespace zeft
