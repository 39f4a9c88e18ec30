// VJSONArray is the reference-counted array of the JSON model: an ordered
// sequence of values, private to one task or shared through a storage
// locker, member of the reference graph when it holds or is held by another
// container.
#pragma once

#include <atomic>
#include <span>
#include <unordered_set>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "json/VJSONElements.h"
#include "json/VJSONValue.h"

namespace zeft {

class VJSONCloner;
class VJSONComparedPairs;
class VJSONGraph;
class VJSONStamp;
class VStorageLocker;

// Orders two values for VJSONArray::Sort.
class IJSONValueComparator {
 public:
  virtual ~IJSONValueComparator() = default;
  virtual bool operator()(const VJSONValue& first, const VJSONValue& second) = 0;
};

class VJSONArray : public VObject, public IRefCountable {
 public:
  explicit VJSONArray(bool shared = false);
  explicit VJSONArray(VStorageLocker* locker);
  ~VJSONArray() override;

  int32 Retain(const char* label = nullptr) const override;
  int32 Release(const char* label = nullptr) const override;

  // Reading.
  size_t GetCount() const;
  VJSONValue GetAt(size_t index) const;
  bool GetAt(size_t index, VJSONValue& out) const;
  void GetValues(std::vector<VJSONValue>& out) const;
  void TouchStampAt(size_t index);
  VStorageLocker* GetStorageLocker() const;  // retained
  bool IsSharedGraph() const;
  int32 GetSharedID() const;
  VError GetString(VString& out, std::unordered_set<const VJSONArray*>* arrays = nullptr) const;
  bool DeepEqualTo(const VJSONArray* other, const VCompareOptions& options) const;
  bool DeepEqualTo(const VJSONArray* other, const VCompareOptions& options,
                   VJSONComparedPairs& pairs) const;

  // Changing.
  bool Push(const VJSONValue& value);
  // For a builder of a new tree (the text parser): moves the values from
  // `first` on to the end, as Push would append them, keeping a fresh
  // private array out of the graph.
  void _TakeTreeElements(std::vector<VJSONValue>& from, size_t first);
  // A new array (one count) whose first `count` elements live in its own
  // block, for a builder that knows them in advance.
  static VJSONArray* _NewWithRoom(size_t count);
  // Arrays are made by the global operator new, or with room behind them:
  // either block is given back whole.
  static void operator delete(void* block) { ::operator delete(block); }
  bool SetAt(size_t index, const VJSONValue& value);
  bool SetAt_unchecked(size_t index, const VJSONValue& value);
  void RemoveAt(size_t index, size_t count = 1);
  bool Resize(size_t count);
  bool Resize(size_t count, JSONType fill);
  void Clear();
  void SwapValues(std::vector<VJSONValue>& values);
  bool Concatenate(const VJSONArray& other);
  void Sort(IJSONValueComparator* comparator);

  // Maintenance.
  void SetStorageLocker(VStorageLocker* locker);
  void _SetStorageLocker(VStorageLocker* locker);
  void SetJSONStamp(VJSONStamp* stamp);
  void DisconnectAll(size_t from);
  void ClearFromGraph();

  // Producing.
  void JoinAsString(const VString& separator, VString& out, bool keepEmpty = false,
                    bool nullAsText = false) const;
  VJSONValue GetSelectedRows(const VJSONValue& selection) const;
  VError Clone(VJSONValue& out, VJSONCloner& cloner) const;

  // Without locks, for callers that hold them.
  std::span<const VJSONValue> GetValuesNoLock() const { return {fValues.begin(), fValues.size()}; }
  VJSONGraph* GetGraph() const { return fGraph; }
  bool HasStorageLocker() const { return fLocker.load(std::memory_order_acquire) != nullptr; }
  VStorageLocker* GetStorageLockerNoRetain() const {
    return fLocker.load(std::memory_order_acquire);
  }
  uint32 GetStampCounter() const;

  static std::atomic<int32> sTaskToMonitor;
  static std::atomic<int32> sTaskCounter;

 private:
  friend class VJSONGraph;
  friend class VJSONObject;
  friend class VStorageLocker;

  bool _NeedsGraphLock() const;
  bool _CheckInUse() const;
  bool _AssignToLocker(const VJSONValue& value);
  void _AdvanceStamp();
  void _DisconnectElement(const VJSONValue& value);
  void _ReplaceElement(size_t index, const VJSONValue& value);
  void _BulkDisconnect(size_t from, size_t to);
  void _Connect(size_t index);

  VJSONElements fValues;
  VJSONGraph* fGraph = nullptr;
  uint32 fInGraphCount = 0;
  std::atomic<VStorageLocker*> fLocker{nullptr};
  VJSONStamp* fStamp = nullptr;
};

}  // namespace zeft
