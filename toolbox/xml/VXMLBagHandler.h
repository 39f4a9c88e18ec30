// The handlers that read XML into value bags: every element becomes a bag
// added under its name to its parent's bag, attributes become string
// attributes and text the character data. VXMLBagHandler_UniqueElement is
// the root handler: it accepts only the document's root element, whose
// content goes onto the target bag itself.
#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "values/VBagArray.h"
#include "xml/IXMLHandler.h"

namespace zeft {

class VValueBag;

class VXMLBagHandler : public VObject, public IXMLHandler {
 public:
  // `bag` (retained) receives what the element holds.
  explicit VXMLBagHandler(VValueBag* bag);

  // One handler reads the whole subtree: it returns itself for every child.
  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;
  void SetAttribute(const VString& name, const VString& value) override;
  void SetText(const VString& text) override;

 private:
  VValueBag* _Top() const;

  // The bag of each open element, the given bag at the bottom.
  VBagArray fBags;
};

class VXMLBagHandler_UniqueElement : public VObject, public IXMLHandler {
 public:
  // An empty root name accepts any root element (compared ignoring case
  // and diacritics otherwise).
  VXMLBagHandler_UniqueElement(VValueBag* bag, const VString& rootElementName);
  ~VXMLBagHandler_UniqueElement() override;

  // A VXMLBagHandler on the target bag for the first element when its name
  // is accepted, else null: the document is then ignored.
  IXMLHandler* StartElement(const VString& elementName) override;

 private:
  VValueBag* fBag;
  VString fRootElementName;
  uint32 fElementCount = 0;
};

}  // namespace zeft
