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

namespace json_teardown {
// The teardowns open on this thread, and the outermost one's list. Both are
// trivial, so that they outlive every other thread-local that may free a
// container when its thread ends.
extern constinit thread_local uint32 tDepth;
extern constinit thread_local std::vector<VJSONValue>* tPending;
}  // namespace json_teardown

// Inline: every container destructor runs one, on the parse benchmark's
// hot path.
class StJSONTeardown {
 public:
  StJSONTeardown()
      : fOutermost(json_teardown::tDepth == 0), fSetsAside(json_teardown::tDepth >= kMaximumDepth) {
    if (fOutermost) json_teardown::tPending = &fPending;
    ++json_teardown::tDepth;
  }
  ~StJSONTeardown() {
    // Drained while this teardown is still open, so that what the list's
    // containers hold is set aside again rather than released recursively.
    if (fOutermost && !fPending.empty()) _Drain();
    --json_teardown::tDepth;
    if (fOutermost) json_teardown::tPending = nullptr;
  }
  StJSONTeardown(const StJSONTeardown&) = delete;
  StJSONTeardown& operator=(const StJSONTeardown&) = delete;

  // Releases what the elements or properties hold: on the spot at a
  // shallow depth (they are destroyed), otherwise by moving the container
  // values to the outermost list and leaving the rest to their owner.
  void Dispose(VJSONElements& elements) {
    if (fSetsAside) {
      _SetAsideAll(elements);
    } else {
      elements.erase(elements.begin(), elements.end());
    }
  }
  void Dispose(VJSONPropertyMap& properties) {
    if (fSetsAside) {
      _SetAsideAll(properties);
    } else {
      properties.clear();
    }
  }

  // Nesting beyond this many teardowns sets containers aside.
  static constexpr uint32 kMaximumDepth = 32;

 private:
  static void _SetAsideAll(VJSONElements& elements);
  static void _SetAsideAll(VJSONPropertyMap& properties);
  static void _SetAside(VJSONValue& value);
  void _Drain();

  std::vector<VJSONValue> fPending;  // used by the outermost teardown only
  bool fOutermost;
  bool fSetsAside;
};

}  // namespace zeft
