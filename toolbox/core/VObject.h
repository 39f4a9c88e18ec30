// VObject is the root of most toolbox classes: a virtual destructor, a debug
// dump, and the process memory manager that every toolbox block comes from.
#pragma once

#include "core/VTypes.h"

namespace zeft {

class VCppMemMgr;
class VString;

// Character-set numbers (see CharSet.h for the full list).
enum CharSet : int32;

class VObject {
 public:
  VObject() = default;
  virtual ~VObject() = default;

  // Writes a debug description into `buffer` (at most `size` bytes), sets
  // `size` to the bytes written and returns their character set. The base
  // writes nothing and answers UTF-8.
  virtual CharSet DebugDump(char* buffer, int& size) const;

  // The buffer form's text (up to 1024 bytes) as a string. Classes that
  // override the buffer form keep this one visible with
  // `using VObject::DebugDump;`.
  void DebugDump(VString& dump) const;

  // The class's debug name; empty unless a class says otherwise.
  void DebugGetClassName(VString& name) const;

  // The process memory manager; created by the entry point before any other
  // toolbox object and never destroyed.
  static VCppMemMgr* sCppMemMgr;
};

}  // namespace zeft
