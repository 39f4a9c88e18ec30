#include "xml/VXMLBagHandler.h"

#include "values/StPackedDictionaryKey.h"
#include "values/VValueBag.h"

namespace zeft {

VXMLBagHandler::VXMLBagHandler(VValueBag* bag) { fBags.AddTail(bag); }

VValueBag* VXMLBagHandler::_Top() const {
  const int32 count = fBags.GetCount();
  return count > 0 ? fBags.GetNth(count) : nullptr;
}

IXMLHandler* VXMLBagHandler::StartElement(const VString& elementName) {
  VValueBag* bag = new VValueBag;
  if (VValueBag* top = _Top()) top->AddElement(StPackedDictionaryKey(elementName), bag);
  fBags.AddTail(bag);
  bag->Release();
  Retain();
  return this;
}

void VXMLBagHandler::EndElement(const VString& /*elementName*/) {
  fBags.DeleteNth(fBags.GetCount());
}

void VXMLBagHandler::SetAttribute(const VString& name, const VString& value) {
  if (VValueBag* top = _Top()) top->SetString(StPackedDictionaryKey(name), value);
}

void VXMLBagHandler::SetText(const VString& text) {
  if (VValueBag* top = _Top()) top->AppendToCData(text);
}

VXMLBagHandler_UniqueElement::VXMLBagHandler_UniqueElement(VValueBag* bag,
                                                           const VString& rootElementName)
    : fBag(bag), fRootElementName(rootElementName) {
  fBag->Retain();
}

VXMLBagHandler_UniqueElement::~VXMLBagHandler_UniqueElement() { fBag->Release(); }

IXMLHandler* VXMLBagHandler_UniqueElement::StartElement(const VString& elementName) {
  ++fElementCount;
  if (!fRootElementName.IsEmpty() && !elementName.EqualToString(fRootElementName, false)) {
    return nullptr;
  }
  if (fElementCount != 1) return nullptr;
  if (fRootElementName.IsEmpty()) fRootElementName = elementName;
  return new VXMLBagHandler(fBag);
}

}  // namespace zeft
