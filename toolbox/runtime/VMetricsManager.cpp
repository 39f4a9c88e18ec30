#include "runtime/VMetricsManager.h"

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

namespace zeft {

VMetricsManager VMetricsManager::sMetricsSingleton;

VMetricsManager::~VMetricsManager() { _ReleaseItems(); }

void VMetricsManager::_ReleaseItems() {
  for (auto item = fItems.rbegin(); item != fItems.rend(); ++item) (*item)->Release();
  fItems.clear();
}

void VMetricsManager::StartSession(uint64 minDurationMs, bool progresses, bool kind0, bool kind1) {
  StLocker<VCriticalSection> lock(&fLock);
  fMinDuration.store(minDurationMs, std::memory_order_relaxed);
  fKindMask.store((progresses ? 4u : 0u) + (kind0 ? 1u : 0u) + (kind1 ? 2u : 0u),
                  std::memory_order_relaxed);
}

void VMetricsManager::EndSession() {
  StLocker<VCriticalSection> lock(&fLock);
  fKindMask.store(0, std::memory_order_relaxed);
  _ReleaseItems();
}

VJSONObject* VMetricsManager::CreateBind(EMetricsKindBit kind, uint64 durationMs) {
  const uint32 bit = 1u << (uint32(kind) % 32);
  if (durationMs < fMinDuration.load(std::memory_order_relaxed) ||
      (fKindMask.load(std::memory_order_relaxed) & bit) == 0)
    return nullptr;
  auto* record = new VJSONObject;
  record->SetProperty("activityKind", VJSONValue(double(bit)));
  record->SetProperty("activityDuration", VJSONValue(double(durationMs) / 1000.0));
  return record;
}

void VMetricsManager::BindDatas(VJSONObject* record, VJSONObject* data) {
  record->SetProperty("activityData", VJSONValue(data));
  StLocker<VCriticalSection> lock(&fLock);
  record->Retain();
  fItems.push_back(record);
}

VJSONArray* VMetricsManager::CreateCollection() {
  auto* collection = new VJSONArray;
  StLocker<VCriticalSection> lock(&fLock);
  for (VJSONObject* item : fItems) collection->Push(VJSONValue(item));
  return collection;
}

bool VMetricsManager::IsProgressesCollected() {
  return (fKindMask.load(std::memory_order_relaxed) & 4u) != 0;
}

}  // namespace zeft
