// VMetricsManager collects timed activity records (JSON objects) while a
// metrics session is open; finished progress sessions report to it.
#pragma once

#include <atomic>
#include <vector>

#include "core/VObject.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class VJSONArray;
class VJSONObject;

enum EMetricsKindBit : uint32 {
  kMetricsKind0 = 0,
  kMetricsKind1 = 1,
  kMetricsKindProgress = 2,
};

class VMetricsManager : public VObject {
 public:
  VMetricsManager() = default;
  ~VMetricsManager() override;
  VMetricsManager(const VMetricsManager&) = delete;
  VMetricsManager& operator=(const VMetricsManager&) = delete;

  void StartSession(uint64 minDurationMs, bool progresses, bool kind0, bool kind1);
  void EndSession();
  // A new record the caller owns, or null when the activity is not recorded.
  VJSONObject* CreateBind(EMetricsKindBit kind, uint64 durationMs);
  void BindDatas(VJSONObject* record, VJSONObject* data);
  // A new array holding every record in order; the caller owns it.
  VJSONArray* CreateCollection();
  bool IsProgressesCollected();

  static VMetricsManager sMetricsSingleton;

 private:
  void _ReleaseItems();

  VCriticalSection fLock;
  std::vector<VJSONObject*> fItems;
  // Read without the lock by CreateBind and IsProgressesCollected.
  std::atomic<uint64> fMinDuration{0};
  std::atomic<uint32> fKindMask{0};
};

}  // namespace zeft
