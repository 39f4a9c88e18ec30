// Value bags as XML documents: bags written as XML into streams, and XML
// text and streams read back into bags through the event parser. The XML
// text of a bag itself is VValueBag::DumpXML; these functions add the XML
// declaration and choose where the text goes. Reading merges into the
// target bag and keeps attribute values as strings.
#pragma once

#include <vector>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "xml/IXMLDomWrapper.h"

namespace zeft {

class VStream;
class VString;
class VValueBag;

// The stream form: the 32-bit integer 1 in the stream's byte order, then
// the string form of "<?xml version="1.0" encoding="UTF-16"?>" directly
// followed by the bag's XML under the root element "bag", not indented.
// The result of writing the text.
VError WriteBagToStreamInXML(const VValueBag& bag, VStream* stream);

// Reads the stream form into `bag`. A first word other than 1 reads
// nothing more and answers the stream's error state. Otherwise the errors
// of this read only (never one that was on the stack before the call):
// the stream's, or the "xmlc" errors of the parse.
VError ReadBagFromStreamInXML(VValueBag& bag, VStream* stream);

// The bytes of a bag's XML file: "<?xml version="1.0" encoding="UTF-8"?>"
// directly followed by the bag's XML under `rootElementName`, in UTF-8
// without a byte-order mark, written raw into the stream.
VError WriteBagToUTF8StreamInXML(const VValueBag& bag, const VString& rootElementName,
                                 VStream* stream, bool indent);

// Reads XML text into `bag` when its root element is named
// `rootElementName` (ignoring case; empty accepts any). A document with
// another root leaves the bag unchanged and is no error. Answers the last
// error the parse raised, 0 when none; the errors stay on the stack.
VError LoadBagFromXML(const VString& xml, const VString& rootElementName, VValueBag& bag,
                      uint32 options);

// Reads the element node into `bag` as LoadBagFromXML would read its text.
// "xmlc" 2 (not pushed) for a node that is not an element, or when the
// walk fails without raising an error.
VError ReadBagFromDomXML(VXMLDOMNode_opaque* node, VValueBag& bag);

// Writes the bag into the element node: toolbox error 3 for a node that is
// not an element, 1 when writing fails (neither pushed).
VError WriteBagToDomXML(const VValueBag& bag, VXMLDOMNode_opaque* node,
                        std::vector<VXMLDOMNode_opaque*>* createdNodes = nullptr);

// Attributes (non-string values as their XML text), character data as a
// text child, then a child element per sub-bag, recursively. Every
// element made is appended to `createdNodes` (when given) in document
// order. False when the element has no document or a child fails.
bool WriteBagToDomXMLElement(const VValueBag& bag, VXMLDOMElement_opaque* element,
                             std::vector<VXMLDOMNode_opaque*>* createdNodes = nullptr);

}  // namespace zeft
