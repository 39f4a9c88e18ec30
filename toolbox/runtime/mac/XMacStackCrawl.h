// XMacStackCrawl records the return addresses of the calling thread at one
// moment and writes them out later as text, one frame a line. Assertion
// records and the asserts file carry one; error records own an empty one.
#pragma once

#include <cstdio>

#include "core/VTypes.h"

namespace zeft {

class VString;

class XMacStackCrawl {
 public:
  static constexpr int32 kMaxFrames = 48;
  // What one capture asks the system for, before the skipped frames go.
  static constexpr int32 kCaptureDepth = 58;

  XMacStackCrawl() = default;
  virtual ~XMacStackCrawl() = default;

  // Captures the caller's stack, drops the `skip` innermost frames (this
  // function included) and keeps at most min(max, 48) of the rest; an
  // empty crawl when no frame is left.
  void LoadFrames(uint32 skip, uint32 max);

  // "  :: frame N: <symbol line>" per frame, N counting down to 0.
  void Dump(FILE* stream) const;
  // Appends "   {N} 0x<ADDRESS> - <name>" per frame; "<inline>" stands for
  // a frame without a symbol name.
  void Dump(VString& out) const;

  int32 GetCount() const { return fCount; }
  void* GetFrame(int32 index) const {
    return index >= 0 && index < fCount ? fFrames[index] : nullptr;
  }

  // Fewer frames first (two empty crawls are equal), then frame by frame
  // from the innermost.
  bool operator<(const XMacStackCrawl& other) const;

 private:
  void* fFrames[kMaxFrames] = {};
  int32 fCount = 0;
};

}  // namespace zeft
