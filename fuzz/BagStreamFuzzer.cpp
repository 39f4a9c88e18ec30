// Feeds arbitrary bytes to the bag stream reader, in both byte orders. A
// stream that reads must write back to bytes that read again and write the
// same bytes, and its bag's copy must stand alone; a stream that does not
// read must leave the bag empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/CharSet.h"
#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace {

using zeft::VError;
using zeft::VValueBag;

VError ReadBag(const void* data, size_t size, bool swap, VValueBag& bag) {
  zeft::VConstPtrStream stream(data, size);
  // Opening checks the text converter of the stream's char set; bags use
  // none, so any set with a built-in converter does.
  stream.SetCharSet(zeft::kCharSetUTF8);
  stream.SetNeedSwap(swap);
  if (stream.OpenReading() != zeft::VE_OK) std::abort();
  return bag.ReadFromStream(&stream);
}

// Touches every attribute and element the way callers do.
void Walk(const VValueBag& bag) {
  zeft::VString name;
  zeft::VString text;
  for (zeft::int32 n = 1; n <= bag.GetAttributesCount(); ++n) {
    if (const zeft::VValueSingle* value = bag.GetNthAttribute(n, &name)) value->GetString(text);
    bag.GetAttributeValue(zeft::StPackedDictionaryKey(name));
  }
  for (zeft::int32 n = 1; n <= bag.GetElementNamesCount(); ++n) {
    const zeft::VBagArray* array = bag.GetNthElementName(n, &name);
    // Names need not be UTF-8: look up by the stored key bytes.
    if (bag.GetElements(bag.GetElementStore()->GetKey(size_t(n - 1))) != array) std::abort();
    for (zeft::int32 i = 1; array != nullptr && i <= array->GetCount(); ++i) {
      Walk(*array->GetNth(i));
    }
  }
}

// The bag's full stream form; a bag that was read must always write.
std::vector<uint8_t> WriteBag(const VValueBag& bag, bool swap) {
  zeft::VPtrStream stream;
  stream.SetCharSet(zeft::kCharSetUTF8);
  stream.SetNeedSwap(swap);
  stream.OpenWriting();
  if (bag.WriteToStream(&stream) != zeft::VE_OK) std::abort();
  stream.CloseWriting();
  const void* data = nullptr;
  zeft::int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

void Check(const uint8_t* data, size_t size, bool swap) {
  VValueBag* bag = new VValueBag();
  if (ReadBag(data, size, swap, *bag) != zeft::VE_OK) {
    if (!bag->IsEmpty()) std::abort();
    bag->Release();
    return;
  }
  Walk(*bag);
  VValueBag* copy = bag->Clone();

  const std::vector<uint8_t> first = WriteBag(*bag, swap);
  VValueBag* again = new VValueBag();
  if (ReadBag(first.data(), first.size(), swap, *again) != zeft::VE_OK) std::abort();
  if (WriteBag(*again, swap) != first) std::abort();
  // A copy is independent of its source and writes a readable stream.
  if (copy != nullptr) {
    bag->Destroy();
    Walk(*copy);
    const std::vector<uint8_t> third = WriteBag(*copy, swap);
    VValueBag* reread = new VValueBag();
    if (ReadBag(third.data(), third.size(), swap, *reread) != zeft::VE_OK) std::abort();
    reread->Release();
    copy->Release();
  }
  again->Release();
  bag->Release();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  if (zeft::VObject::sCppMemMgr == nullptr) {
    zeft::VObject::sCppMemMgr = new zeft::VCppMemMgr(zeft::kAllocatorSystem);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check(data, size, false);
  Check(data, size, true);
  return 0;
}
