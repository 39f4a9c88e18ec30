// Feeds arbitrary bytes to the bag XML readers: as a document in memory and
// as the XML stream form in both byte orders. A bag that was read must
// write an XML stream that reads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "values/VValueBag.h"
#include "xml/VValueBagXMLIO.h"
#include "xml/VXMLBagHandler.h"
#include "xml/VXMLParser.h"

namespace {

using zeft::VRefPtr;
using zeft::VValueBag;

VRefPtr<VValueBag> NewBag() { return VRefPtr<VValueBag>(new VValueBag, zeft::kAdoptRef); }

void CheckWritesReadableStream(const VValueBag& bag) {
  zeft::VPtrStream out;
  out.OpenWriting();
  if (zeft::WriteBagToStreamInXML(bag, &out) != zeft::VE_OK) std::abort();
  out.CloseWriting();
  const void* data = nullptr;
  zeft::int64 size = 0;
  out.GetUnderlyingData(data, size);
  zeft::VConstPtrStream in(data, uint64_t(size));
  in.OpenReading();
  VRefPtr<VValueBag> again = NewBag();
  if (zeft::ReadBagFromStreamInXML(*again, &in) != zeft::VE_OK) std::abort();
}

void ReadDocument(const uint8_t* data, size_t size) {
  VRefPtr<VValueBag> bag = NewBag();
  VRefPtr<zeft::VXMLBagHandler_UniqueElement> handler(
      new zeft::VXMLBagHandler_UniqueElement(bag.Get(), zeft::VString()), zeft::kAdoptRef);
  zeft::VXMLParser parser;
  if (parser.Parse(data, size, handler.Get(), 0)) CheckWritesReadableStream(*bag);
}

void ReadStream(const uint8_t* data, size_t size, bool swap) {
  zeft::VConstPtrStream stream(data, size);
  stream.SetNeedSwap(swap);
  if (stream.OpenReading() != zeft::VE_OK) std::abort();
  VRefPtr<VValueBag> bag = NewBag();
  if (zeft::ReadBagFromStreamInXML(*bag, &stream) == zeft::VE_OK) CheckWritesReadableStream(*bag);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  if (zeft::VObject::sCppMemMgr == nullptr) {
    zeft::VObject::sCppMemMgr = new zeft::VCppMemMgr(zeft::kAllocatorSystem);
  }
  zeft::VXMLParser::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadDocument(data, size);
  ReadStream(data, size, false);
  ReadStream(data, size, true);
  return 0;
}
