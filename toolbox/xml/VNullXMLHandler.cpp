#include "xml/VNullXMLHandler.h"

namespace zeft {

IXMLHandler* VNullXMLHandler::StartElement(const VString& /*elementName*/) {
  Retain();
  return this;
}

void VNullXMLHandler::SetAttribute(const VString& /*name*/, const VString& /*value*/) {}

void VNullXMLHandler::SetText(const VString& /*text*/) {}

}  // namespace zeft
