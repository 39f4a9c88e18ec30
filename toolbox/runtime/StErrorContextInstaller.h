// StErrorContextInstaller opens a level on the calling task's error stack
// for the length of a block: the errors raised inside go into it, and when
// the block ends they move to the enclosing level (keep) or are dropped.
// A silent level keeps its errors from the debug report; a filtering level
// silences the codes it lists.
#pragma once

#include <initializer_list>

#include "core/VErrorCodes.h"

namespace zeft {

class VErrorContext;
class VErrorTaskContext;

class StErrorContextInstaller {
 public:
  // Without a task the level belongs to no stack: it only collects what is
  // pushed into it directly.
  explicit StErrorContextInstaller(bool keep = true, bool silent = false);
  // A kept, non-silent level that silences the codes listed before the
  // first 0.
  template <class... More>
  StErrorContextInstaller(VError code, VError code2, More... more)
      : StErrorContextInstaller(true, false) {
    _AddToFilter({code, code2, VError(more)...});
  }
  StErrorContextInstaller(const StErrorContextInstaller&) = delete;
  StErrorContextInstaller& operator=(const StErrorContextInstaller&) = delete;
  ~StErrorContextInstaller();

  // The level this installer opened; lent.
  VErrorContext* GetContext() const { return fContext; }
  VError GetLastError() const;
  void Flush();

 private:
  void _Init(bool keep, bool silent);
  void _AddToFilter(std::initializer_list<VError> codes);

  VErrorTaskContext* fTaskContext = nullptr;
  VErrorContext* fContext = nullptr;
  bool fSilent = false;
};

}  // namespace zeft
