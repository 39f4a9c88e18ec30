// StJSONTeardown frees nested JSON containers on a bounded stack. Every
// object and array destructor opens one: up to a modest depth the values
// are released on the spot, as plain counting would; deeper down, the
// containers they hold are set aside on the outermost teardown's list, which
// releases them one after another once the container that opened it is
// done. A chain of any depth thus costs list entries, not stack frames,
// while a shallow tree never touches the list.
#pragma once

#include <vector>

#include "core/VTypes.h"
#include "json/VJSONElements.h"
#include "json/VJSONPropertyMap.h"
#include "json/VJSONValue.h"

namespace zeft {

class StJSONTeardown {
 public:
  StJSONTeardown();
  ~StJSONTeardown();
  StJSONTeardown(const StJSONTeardown&) = delete;
  StJSONTeardown& operator=(const StJSONTeardown&) = delete;

  // Releases what the elements or properties hold: on the spot at a
  // shallow depth (they are destroyed), otherwise by moving the container
  // values to the outermost list and leaving the rest to their owner.
  void Dispose(VJSONElements& elements);
  void Dispose(VJSONPropertyMap& properties);

  // Nesting beyond this many teardowns sets containers aside.
  static constexpr uint32 kMaximumDepth = 32;

 private:
  void _SetAside(VJSONValue& value);
  void _Drain();

  std::vector<VJSONValue> fPending;  // used by the outermost teardown only
  bool fOutermost;
  bool fSetsAside;
};

}  // namespace zeft
