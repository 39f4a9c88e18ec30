// The one recursion policy of the JSON model: every recursive walk (parser,
// writer, graph walks, deep comparison, cloner) checks the free stack of the
// current task before going one level deeper, so that deep or cyclic input
// fails with an error instead of overflowing the stack.
#pragma once

#include <cstddef>

namespace zeft {

// Below this many free bytes a walk stops; the margin leaves room to raise
// and report the error itself.
inline constexpr size_t kJSONMinimumFreeStack = 65536;

// True when the current task may go one level deeper. Otherwise pushes
// toolbox error 108 (once per call) and answers false.
bool JSONHasStackRoom();

// The same without raising anything.
bool JSONHasStackRoomSilently();

}  // namespace zeft
