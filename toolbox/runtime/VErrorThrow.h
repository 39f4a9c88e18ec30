// _ThrowError raises a toolbox error on the calling task's error stack: the
// common way every facility reports a failure besides returning its code.
#pragma once

#include <new>
#include <utility>

#include "core/VErrorCodes.h"

namespace zeft {

class VErrorBase;
class VString;

// Pushes an error record for `code` with the non-null texts as its "p1",
// "p2" and "p3" parameters. Does nothing while there is no application
// object, and on a thread that runs no task.
void _ThrowError(VError code, const VString* p1 = nullptr, const VString* p2 = nullptr,
                 const VString* p3 = nullptr);

// Raises a system call's errno (with `path`, when given, as "p1") and
// returns its code.
VError ThrowPosixError(int32 number, const VString* path = nullptr);

// Makes an error record: the one way the toolbox makes them, so that
// raising an error never lets std::bad_alloc out. Null when the record, or
// what its constructor allocates, cannot be had: the caller then drops the
// record and still returns its own code.
template <class Record, class... Args>
Record* NewErrorRecord(Args&&... args) noexcept {
  try {
    return new Record(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Pushes a record the caller built, taking over the caller's reference.
// With a native code, a plain record of that code goes first, unless the
// stack filters the record's own code, and the record gets the native
// error's text as its parameter "native_description" (unless it has one).
// True when the record was kept.
bool _PushRetainedError(VErrorBase* error, VError native = VE_OK);

}  // namespace zeft
