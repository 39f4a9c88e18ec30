// VInlineString is the compact form of a string kept by holders short of
// room (JSON values): a length, a heap block in VString's shared layout and
// its capacity. The record holds one count of the block, which VString
// copies share with it.
#pragma once

#include "core/VTypes.h"

namespace zeft {

class VString;

// A plain record with no constructor or destructor (it lives inside other
// records): its holder calls InitWithString and Dispose.
struct VInlineString {
  int32 fLength;
  UniChar* fString;  // null when there is no block
  int32 fMaxLength;  // capacity of the block in units, terminator not counted
  uint32 fTag;

  // Takes a counted reference to s's block (or a new block holding a copy
  // of s's units); an empty or null s gives no block.
  void InitWithString(const VString& s);
  // Gives the block's count back and leaves the record without a block.
  void Dispose();
};

}  // namespace zeft
