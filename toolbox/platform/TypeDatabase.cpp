#include "platform/TypeDatabase.h"

#include <atomic>

namespace zeft::platform {

namespace {

std::atomic<const TypeDatabase*> sDatabase{nullptr};

}  // namespace

void InstallTypeDatabase(const TypeDatabase* database) {
  sDatabase.store(database, std::memory_order_release);
}

const TypeDatabase* InstalledTypeDatabase() { return sDatabase.load(std::memory_order_acquire); }

}  // namespace zeft::platform
