#include "runtime/VLogRecord.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "runtime/ILoggerBagKeys.h"
#include "runtime/VLogger.h"

namespace zeft {

namespace {

// Records kept at most: a full ring and a batch being written.
constexpr size_t kMaxSpares = 2 * size_t(VLogger::kRingSize);
// A record whose buffers grew past these (a long message) is freed.
constexpr size_t kMaxKeptValueWords = 512;
constexpr size_t kMaxKeptKeyBytes = 128;
constexpr int32 kMaxKeptTextUnits = 256;

struct Spares {
  std::mutex fLock;
  std::vector<VLogRecord*> fRecords;
};

// Never destroyed: a record may be dropped during the process's exit.
Spares& GetSpares() {
  static Spares* sSpares = new Spares;
  return *sSpares;
}

// Set during ReleaseBatch: the records dropped meanwhile.
thread_local std::vector<VLogRecord*>* tDropped = nullptr;

// Adds the records to the spares as room allows and frees the others.
void Keep(VLogRecord* const* records, size_t count) {
  if (count == 0) return;
  size_t kept = 0;
  {
    Spares& spares = GetSpares();
    std::lock_guard<std::mutex> lock(spares.fLock);
    kept = std::min(count, kMaxSpares - spares.fRecords.size());
    spares.fRecords.insert(spares.fRecords.end(), records, records + kept);
  }
  for (size_t i = kept; i < count; ++i) delete records[i];
}

}  // namespace

VLogRecord* VLogRecord::Make() {
  Spares& spares = GetSpares();
  VLogRecord* record = nullptr;
  {
    std::lock_guard<std::mutex> lock(spares.fLock);
    if (!spares.fRecords.empty()) {
      record = spares.fRecords.back();
      spares.fRecords.pop_back();
    }
  }
  if (record == nullptr) return new VLogRecord;
  // Its count went to zero when it was kept.
  record->Retain();
  record->_EmptyKeepingRoom();
  return record;
}

void VLogRecord::ReleaseBatch(const std::vector<const VValueBag*>& records) {
  std::vector<VLogRecord*> dropped;
  dropped.reserve(records.size());
  std::vector<VLogRecord*>* outer = std::exchange(tDropped, &dropped);
  for (const VValueBag* record : records) record->Release();
  tDropped = outer;
  Keep(dropped.data(), dropped.size());
}

void VLogRecord::SetMessage(EMessageLevel level, const VString& message, const VString* source) {
  fLevel = level;
  fMessage = message;
  fHasSource = source != nullptr;
  if (source != nullptr) fSource = *source;
  fIsMessage = true;
  fAttributesWritten = false;
}

void VLogRecord::WriteAttributes() const {
  if (!fIsMessage || fAttributesWritten) return;
  fAttributesWritten = true;
  auto& self = const_cast<VLogRecord&>(*this);
  if (fHasSource) ILoggerBagKeys::source.Set(self, fSource);
  // Records of the default level carry no level.
  if (fLevel != kDefaultMessageLevel) ILoggerBagKeys::level.Set(self, fLevel);
  ILoggerBagKeys::message.Set(self, fMessage);
}

void VLogRecord::DoOnRefCountZero() {
  const AttributeStore& attributes = GetAttributeStore();
  if (GetElementStore() != nullptr || attributes.GetBackstore().capacity() > kMaxKeptValueWords ||
      attributes.GetKeyBuffer().capacity() > kMaxKeptKeyBytes) {
    delete this;
    return;
  }
  // A kept record keeps the room of short texts, which the next message's
  // are copied into without an allocation.
  fIsMessage = false;
  if (fSource.GetLength() > kMaxKeptTextUnits) fSource.Clear();
  if (fMessage.GetLength() > kMaxKeptTextUnits) fMessage.Clear();
  if (tDropped != nullptr) {
    tDropped->push_back(this);
  } else {
    VLogRecord* self = this;
    Keep(&self, 1);
  }
}

}  // namespace zeft
