#include "values/StBagStreamBudget.h"

#include "files/VStream.h"

namespace zeft {

namespace {

constexpr int64 kFreeBags = 4096;
constexpr int64 kStreamBytesPerBag = 16;

}  // namespace

StBagStreamBudget::StBagStreamBudget(VStream* stream) : fBagsLeft(kFreeBags) {
  const int64 left = stream->GetSize() - stream->GetPos();
  if (left > 0) fBagsLeft += left / kStreamBytesPerBag;
}

}  // namespace zeft
