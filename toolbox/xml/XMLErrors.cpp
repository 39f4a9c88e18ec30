#include "xml/XMLErrors.h"

#include "core/VLong.h"
#include "core/VString.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"

namespace zeft {

void PushXMLError(int32 number, const VString& message, const VString& systemID,
                  const VString& publicID, uint64_t line, uint64_t column) {
  VErrorBase* error = NewErrorRecord<VErrorBase>(MakeVError(kComponentXML, number));
  if (error == nullptr) return;
  VValueBag* bag = error->GetBag();
  bag->SetString("message", message);
  bag->SetString("systemID", systemID);
  bag->SetString("publicID", publicID);
  // The library counts in 64 bits; the record carries 32-bit numbers.
  bag->SetLong("line", int32(line));
  bag->SetLong("column", int32(column));
  _PushRetainedError(error);
}

}  // namespace zeft
