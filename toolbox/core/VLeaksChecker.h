// VLeaksChecker counts the blocks registered as possible leaks while leak
// checking is on, and opens the leak dump file next to the main bundle.
#pragma once

#include <cstdio>

#include "core/VTypes.h"

namespace zeft {

class XMacStackCrawl;

class VLeaksChecker {
 public:
  VLeaksChecker() = default;
  virtual ~VLeaksChecker() = default;

  // Returns the previous state.
  bool SetLeaksCheck(bool enabled);
  bool IsLeaksCheckEnabled() const { return fEnabled; }
  void SetStackFramesToSkip(int32 frames) { fFramesToSkip = frames; }
  int32 GetStackFramesToSkip() const { return fFramesToSkip; }
  int32 GetLeaksCount() const { return fLeaksCount; }

  // While checking is on, records the caller's stack (at most 8 frames,
  // skipping the configured number) in `crawl` and counts one leak when it
  // holds a frame.
  void RegisterBlock(XMacStackCrawl& crawl);
  // Uncounts a block whose crawl holds a frame.
  void UnregisterBlock(XMacStackCrawl& crawl);

  // Creates "<bundle without extension>.<suffix>.leaks" and writes its head
  // (date line, then the leak count sentence). Returns the open stream, which
  // the caller finishes and closes, or null.
  FILE* OpenDumpFile(const char* suffix) const;

 protected:
  static constexpr uint32 kMaxLeakFrames = 8;

  int32 fFramesToSkip = 4;
  int32 fLeaksCount = 0;
  bool fEnabled = false;
};

}  // namespace zeft
