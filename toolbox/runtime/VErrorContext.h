// VErrorContext is one level of a task's error stack: the records pushed
// while it is open (oldest first), the codes it silences, the parameters
// merged into every record it receives, and its keep, silent and
// failed-for-memory flags.
#pragma once

#include <initializer_list>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"

namespace zeft {

class VErrorBase;
class VJSONValue;
class VValueBag;

class VErrorContext : public VObject, public IRefCountable {
 public:
  using ErrorList = std::vector<VErrorBase*>;

  explicit VErrorContext(bool keep = true, bool silent = false);
  // A kept, non-silent level with a clone of the other's parameters, the
  // same records and the same failed-for-memory flag; no filter.
  VErrorContext(const VErrorContext& other);
  VErrorContext& operator=(const VErrorContext&) = delete;
  ~VErrorContext() override;

  // Merges this level's parameters into the record and appends it with a
  // reference of its own; error 100 marks the level failed for memory.
  // False for null and when memory runs out.
  bool PushError(VErrorBase* error);
  // Appends the other level's records as PushError does, then takes its
  // failed-for-memory flag. Running out of memory stops the copy.
  void PushErrors(const VErrorContext& other);

  void AddErrorToFilter(VError code);
  bool IsErrorFiltered(VError code) const;
  bool HasFilter() const { return !fFilter.empty(); }

  // Lent; made on demand when `create` is set, else null when there is none.
  VValueBag* GetParametersForPushedErrors(bool create);
  bool HasParameters() const { return fParameters != nullptr; }

  // Releases every record and clears failed-for-memory.
  void Flush();

  bool IsEmpty() const { return fErrors.empty(); }
  int32 GetErrorCount() const { return int32(fErrors.size()); }
  const ErrorList& GetErrors() const { return fErrors; }
  // Lent records, null when empty.
  VErrorBase* GetFirst() const;
  VErrorBase* GetLast() const;
  VError GetLastError() const;
  // The oldest record with the code, lent; null when none.
  VErrorBase* Find(VError code) const;
  // True when a record has one of the codes listed before the first 0.
  template <class... More>
  bool FindAny(VError code, More... more) const {
    return _FindAny({code, VError(more)...});
  }

  bool IsKeepingErrors() const { return fKeep; }
  void SetKeepingErrors(bool keep) { fKeep = keep; }
  bool IsSilent() const { return fSilent; }
  void SetSilent(bool silent) { fSilent = silent; }
  bool FailedForMemory() const { return fFailedForMemory; }

  // Hands each record, oldest first, to the process logger's
  // LogErrorIfNecessary; nothing without a process logger.
  void SendErrorsToLogger() const;

  // Forms each record's dump; whether the level holds records.
  bool DebugDisplay() const;

  // One sub-bag per record, oldest first, under the element "error".
  VError SaveToBag(VValueBag& bag) const;
  // Appends the records of the element "error" as they are (no parameter
  // merge). Stops at the first record that does not load and answers its
  // error; error 100 when memory runs out.
  VError LoadFromBag(const VValueBag& bag);
  // Undefined for an empty level, else an array of the records' JSON
  // objects, oldest first. Error 100 (the value left as it was) when memory
  // runs out.
  VError SaveToJSONArray(VJSONValue& value) const;

 private:
  bool _FindAny(std::initializer_list<VError> codes) const;
  // Appends with a new reference, merging `parameters` when given.
  bool _Append(VErrorBase* error, const VValueBag* parameters);

  ErrorList fErrors;
  std::vector<VError> fFilter;
  VValueBag* fParameters = nullptr;
  bool fFailedForMemory = false;
  bool fSilent = false;
  bool fKeep = true;
};

}  // namespace zeft
