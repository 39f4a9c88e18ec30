// VErrorTaskContext is the error stack of one task: nested levels
// (VErrorContext), bottom first, and one empty level kept for reuse. Only
// its own task uses it, so it takes no lock.
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"

namespace zeft {

class VErrorBase;
class VErrorContext;
class VValueBag;

class VErrorTaskContext : public VObject, public IRefCountable {
 public:
  // An empty stack with a spare level.
  VErrorTaskContext();
  VErrorTaskContext(const VErrorTaskContext&) = delete;
  VErrorTaskContext& operator=(const VErrorTaskContext&) = delete;
  ~VErrorTaskContext() override;

  // Pushes into the top level (a bottom level is made when there is none).
  // `outSilent` tells whether a level silences the record: a silent level,
  // or a filter holding its code (which also silences the top level). True
  // when the record was added.
  bool PushError(VErrorBase* error, bool* outSilent = nullptr);
  // Each record of the context, oldest first.
  void PushErrorsFromContext(const VErrorContext* context);
  // Each record saved under the element "error", up to the first that
  // does not load.
  void PushErrorsFromBag(const VValueBag& bag);

  // Opens a level on top (the spare when there is one); the level comes
  // with one reference for the caller. Null when memory runs out.
  VErrorContext* PushNewContext(bool keep, bool silent);
  // Closes the top level: its records go down to the level below when it
  // keeps them, else they are dropped. The only level, when it keeps its
  // records, stays as a non-silent copy of itself.
  void PopContext();
  // Keeps an empty, unfiltered, parameterless level that nobody else
  // holds as the spare; releases it otherwise.
  void RecycleContext(VErrorContext* context);
  // Hands the top level's records down without closing it, then empties
  // it; its silent flag becomes `log`.
  void MergeAndFlushLastContext(bool log);
  // Empties the top level; it stays open.
  void Flush();

  // The newest record's code of the top level only; 0 when it is empty.
  VError GetLastError() const;
  // The newest record of the highest level holding records; lent.
  VErrorBase* GetLast() const;
  // The oldest record of the lowest level holding records; lent.
  VErrorBase* GetFirst() const;
  // The first record with the code, bottom level first; lent.
  VErrorBase* Find(VError code) const;
  bool IsErrorFiltered(VError code) const;
  // The top level's flag; false for an empty stack.
  bool FailedForMemory() const;
  // Every level's records, bottom first, pushed into `out`.
  void GetErrors(VErrorContext& out) const;

  int32 GetContextCount() const { return int32(fLevels.size()); }
  // 1-based from the bottom; lent, null when out of range.
  VErrorContext* GetNthContext(int32 n) const;
  VErrorContext* GetTopContext() const { return fLevels.empty() ? nullptr : fLevels.back(); }
  bool HasSpare() const { return fSpare != nullptr; }

  // The calling task's records, bottom level first, each as a sub-bag
  // "__ERROR" with "message", "componentSignature" and "errCode".
  static void BuildErrorStack(VValueBag& bag);

 private:
  VErrorContext* fSpare = nullptr;
  std::vector<VErrorContext*> fLevels;
};

}  // namespace zeft
