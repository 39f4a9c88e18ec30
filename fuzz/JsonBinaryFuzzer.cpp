// Feeds arbitrary bytes to the binary JSON reader. Whatever it reads must
// write back, and what the writer wrote must read back. Dates keep only
// their calendar day and out-of-range days settle once written, so from
// the second writing on, reading and writing give the very same bytes
// (sharing and cycles included).
#include <string>

#include "FuzzSupport.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONClassStore.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VTaskMgr.h"

namespace {

using zeft::VJSONValue;
using zeft::fuzz::Require;

std::string Write(const VJSONValue& value) {
  zeft::VMemoryBuffer<> buffer;
  zeft::VJSONBinaryWriter writer;
  Require(writer.StreamValue(value, buffer) == zeft::VE_OK);
  return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

VJSONValue Read(const std::string& bytes) {
  VJSONValue value;
  zeft::VJSONBinaryImporter importer(bytes.data(), bytes.size());
  Require(importer.GetValue(value) == zeft::VE_OK);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The stack guard reads the current task; classes come from the store.
  static const bool sReady = [] {
    if (!zeft::VTaskMgr::IsInited()) zeft::VTaskMgr::Init(nullptr);
    return zeft::VJSONClassStore::Init();
  }();
  Require(sReady);
  zeft::StErrorContextInstaller errors(false, true);
  VJSONValue value;
  zeft::VJSONBinaryImporter importer(data, size);
  if (importer.GetValue(value) != zeft::VE_OK) return 0;
  const std::string first = Write(value);
  const std::string second = Write(Read(first));
  Require(Write(Read(second)) == second);
  return 0;
}
