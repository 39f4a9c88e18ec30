// VNullXMLHandler swallows a subtree: it reads every element of it and
// keeps nothing, so the parser goes on delivering its content to no one.
#pragma once

#include "core/VObject.h"
#include "xml/IXMLHandler.h"

namespace zeft {

class VNullXMLHandler : public VObject, public IXMLHandler {
 public:
  // Itself, retained, for every child.
  IXMLHandler* StartElement(const VString& elementName) override;
  void SetAttribute(const VString& name, const VString& value) override;
  void SetText(const VString& text) override;
};

}  // namespace zeft
