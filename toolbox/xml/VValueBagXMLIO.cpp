#include "xml/VValueBagXMLIO.h"

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "files/VStream.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"
#include "xml/VXMLBagHandler.h"
#include "xml/VXMLParser.h"

namespace zeft {

namespace {

constexpr int32 kStreamMarker = 1;

// Parses the text into the bag with the root handler for `rootElementName`.
void ParseBag(const VString& xml, const VString& rootElementName, VValueBag& bag, uint32 options) {
  VRefPtr<VXMLBagHandler_UniqueElement> handler(
      new VXMLBagHandler_UniqueElement(&bag, rootElementName), kAdoptRef);
  VXMLParser parser;
  parser.Parse(xml, handler.Get(), options);
}

}  // namespace

VError WriteBagToStreamInXML(const VValueBag& bag, VStream* stream) {
  VString text("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
  bag.DumpXML(text, VString("bag"), false);
  stream->PutLongs(&kStreamMarker, 1);
  return text.WriteToStream(stream, 0);
}

VError ReadBagFromStreamInXML(VValueBag& bag, VStream* stream) {
  // Only what this read raises is its result, not what was on the stack.
  StErrorContextInstaller context(true, false);
  int32 marker = 0;
  int32 count = 1;
  if (const VError error = stream->GetLongs(&marker, &count); error != VE_OK) return error;
  if (count != 1 || marker != kStreamMarker) return stream->GetLastError();
  VString text;
  const VError error = text.ReadFromStream(stream, 0);
  if (error != VE_OK) return error;
  ParseBag(text, VString("bag"), bag, 0);
  return context.GetLastError();
}

VError WriteBagToUTF8StreamInXML(const VValueBag& bag, const VString& rootElementName,
                                 VStream* stream, bool indent) {
  VString text;
  bag.DumpXML(text, rootElementName, indent);
  text.Insert(VString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), 1);
  VMemoryBuffer<> bytes;
  if (!text.ToBuffer(bytes, kCharSetUTF8)) {
    const VError error = ToolboxError(toolbox_error::kTextConversionFailed);
    _ThrowError(error);
    return error;
  }
  return stream->PutData(bytes.GetDataPtr(), bytes.GetDataSize());
}

VError LoadBagFromXML(const VString& xml, const VString& rootElementName, VValueBag& bag,
                      uint32 options) {
  StErrorContextInstaller context(true, false);
  ParseBag(xml, rootElementName, bag, options);
  return context.GetLastError();
}

}  // namespace zeft
