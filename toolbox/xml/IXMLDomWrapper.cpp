#include "xml/IXMLDomWrapper.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cstring>

#include "core/IRefCountable.h"
#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VMemoryBuffer.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VValue.h"
#include "core/VValueSingle.h"
#include "files/VFile.h"
#include "files/VFileStream.h"
#include "files/VURL.h"
#include "runtime/VErrorThrow.h"
#include "values/VBlob.h"
#include "values/VBlobWithPtr.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "xml/IXMLHandler.h"
#include "xml/VXMLParser.h"
#include "xml/XercesText.h"

namespace zeft {

namespace {

using xercesc::DOMAttr;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

constexpr XMLCh kXMLNamespace[] = u"http://www.w3.org/XML/1998/namespace";
constexpr XMLCh kXMLNSNamespace[] = u"http://www.w3.org/2000/xmlns/";

DOMNode* NodeOf(VXMLDOMNode_opaque* node) { return reinterpret_cast<DOMNode*>(node); }
DOMElement* ElementOf(VXMLDOMElement_opaque* element) {
  return reinterpret_cast<DOMElement*>(element);
}
// A document handle is the address of the document's node, like every
// other handle, so that it is a node handle too.
DOMDocument* DocumentOf(VXMLDOMDocument_opaque* document) {
  return static_cast<DOMDocument*>(reinterpret_cast<DOMNode*>(document));
}
VXMLDOMNode_opaque* NodeHandle(DOMNode* node) {
  return reinterpret_cast<VXMLDOMNode_opaque*>(node);
}
VXMLDOMElement_opaque* ElementHandle(DOMElement* element) {
  return reinterpret_cast<VXMLDOMElement_opaque*>(element);
}
VXMLDOMDocument_opaque* DocumentHandle(DOMDocument* document) {
  return reinterpret_cast<VXMLDOMDocument_opaque*>(static_cast<DOMNode*>(document));
}

// The library's text as a 0-terminated string: VString keeps a terminator.
const XMLCh* X(const VString& s) { return s.GetCPointer(); }

// The node's document: itself, or its owner.
DOMDocument* DocumentOfNode(DOMNode* node) {
  if (node == nullptr) return nullptr;
  if (node->getNodeType() == DOMNode::DOCUMENT_NODE) return static_cast<DOMDocument*>(node);
  return node->getOwnerDocument();
}

DOMElement* AsElement(DOMNode* node) {
  return node != nullptr && node->getNodeType() == DOMNode::ELEMENT_NODE
             ? static_cast<DOMElement*>(node)
             : nullptr;
}

// A prefixed name split at its first ':' (after at least one character);
// the namespace the element knows for the prefix, else the fixed ones of
// "xml" and "xmlns". Null when the name has no prefix or the prefix no
// namespace.
const XMLCh* NamespaceOfPrefix(const DOMElement* element, const VString& name, VString& prefix,
                               VString& localName) {
  const int32 colon = name.FindUniChar(':');
  if (colon <= 1) return nullptr;
  name.GetSubString(1, colon - 1, prefix);
  name.GetSubString(colon + 1, name.GetLength() - colon, localName);
  const XMLCh* space = element->lookupNamespaceURI(X(prefix));
  if (space == nullptr && prefix.EqualToUSASCIICString("xml")) space = kXMLNamespace;
  if (space == nullptr && prefix.EqualToUSASCIICString("xmlns")) space = kXMLNSNamespace;
  return space;
}

// Declares the attribute an id when its local name (or whole unprefixed
// name) is "id"; true when it did.
bool DeclareID(DOMElement* element, const VString& name) {
  VString prefix;
  VString localName;
  if (const XMLCh* space = NamespaceOfPrefix(element, name, prefix, localName)) {
    if (!localName.EqualToUSASCIICString("id")) return false;
    element->setIdAttributeNS(space, X(localName), true);
    return true;
  }
  if (!name.EqualToUSASCIICString("id")) return false;
  element->setIdAttribute(X(name), true);
  return true;
}

// Deepest element nesting of a tree, counted without recursion.
int32 NestingDepth(DOMNode* root) {
  int32 depth = 0;
  int32 deepest = 0;
  DOMNode* node = root->getFirstChild();
  while (node != nullptr) {
    if (node->getFirstChild() != nullptr) {
      node = node->getFirstChild();
      if (++depth > deepest) deepest = depth;
      continue;
    }
    while (node != nullptr && node->getNextSibling() == nullptr) {
      node = node->getParentNode();
      --depth;
      if (node == root) return deepest;
    }
    if (node != nullptr) node = node->getNextSibling();
  }
  return deepest;
}

// The text of the element's first child when it is a text node.
VString FirstText(DOMElement* element) {
  if (element == nullptr) return VString();
  DOMNode* child = element->getFirstChild();
  if (child == nullptr || child->getNodeType() != DOMNode::TEXT_NODE) return VString();
  return TextOf(child->getNodeValue());
}

VString TextOfValue(double value) {
  VString text;
  VReal(value).GetXMLString(text, 1);
  return text;
}

VString TextOfValue(bool value) {
  VString text;
  VBoolean(value).GetXMLString(text, 1);
  return text;
}

VString TextOfValue(int32 value) {
  VString text;
  text.FromLong(value);
  return text;
}

VString TextOfValue(const VValueSingle& value, uint32 options) {
  VString text;
  value.GetXMLString(text, options);
  return text;
}

// Converts every line end of `count` units to one carriage return; the
// converted count.
template <class Unit>
size_t ToCarriageReturns(const Unit* in, size_t count, Unit* out) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) {
    if (in[i] == Unit(13)) {
      out[n++] = Unit(13);
      if (i + 1 < count && in[i + 1] == Unit(10)) ++i;
    } else {
      out[n++] = in[i] == Unit(10) ? Unit(13) : in[i];
    }
  }
  return n;
}

bool ReplayElement(DOMElement* element, IXMLHandler* handler, int32 depth);

bool ReplayChildren(DOMNode* node, IXMLHandler* handler, int32 depth) {
  bool result = true;
  for (DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    switch (child->getNodeType()) {
      case DOMNode::ELEMENT_NODE:
        result = ReplayElement(static_cast<DOMElement*>(child), handler, depth + 1);
        break;
      case DOMNode::TEXT_NODE:
      case DOMNode::CDATA_SECTION_NODE:
        handler->SetText(TextOf(child->getNodeValue()));
        break;
      case DOMNode::PROCESSING_INSTRUCTION_NODE: {
        const auto* instruction = static_cast<xercesc::DOMProcessingInstruction*>(child);
        if (instruction->getTarget() != nullptr && instruction->getData() != nullptr) {
          handler->processingInstruction(TextOf(instruction->getTarget()),
                                         TextOf(instruction->getData()));
        }
        break;
      }
      default:
        break;
    }
  }
  return result;
}

bool ReplayElement(DOMElement* element, IXMLHandler* handler, int32 depth) {
  // A tree built in memory may be deeper than any parsed document.
  if (depth > VXMLParser::kMaxNesting) return false;
  const VString name = TextOf(element->getTagName());
  VRefPtr<IXMLHandler> child(handler->StartElement(name), kAdoptRef);
  if (!child) return false;
  if (xercesc::DOMNamedNodeMap* attributes = element->getAttributes()) {
    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
      DOMNode* attribute = attributes->item(i);
      child->SetAttribute(TextOf(attribute->getNodeName()), TextOf(attribute->getNodeValue()));
    }
  }
  const bool result = ReplayChildren(element, child.Get(), depth);
  child->EndElement(name);
  return result;
}

// Remembers whether a parse met an error; the parse then gives no document.
class FailureRecorder : public xercesc::DOMErrorHandler {
 public:
  bool handleError(const xercesc::DOMError& error) override {
    if (error.getSeverity() == xercesc::DOMError::DOM_SEVERITY_WARNING) return true;
    fFailed = true;
    return false;
  }
  bool Failed() const { return fFailed; }

 private:
  bool fFailed = false;
};

xercesc::DOMImplementation* LoadAndSave() {
  static constexpr XMLCh kLS[] = u"LS";
  return xercesc::DOMImplementationRegistry::getDOMImplementation(kLS);
}

}  // namespace

// --- Parsing ---------------------------------------------------------------

VXMLDOMNode_opaque* IXMLDomWrapper::CreateNodeDocumentFromBuffer(const void* data, size_t size,
                                                                 const VString* encoding) {
  DOMDocument* document = nullptr;
  try {
    xercesc::DOMImplementation* implementation = LoadAndSave();
    if (implementation == nullptr) return nullptr;
    xercesc::DOMLSParser* parser =
        implementation->createLSParser(xercesc::DOMImplementationLS::MODE_SYNCHRONOUS, nullptr);
    xercesc::SecurityManager security;
    security.setEntityExpansionLimit(VXMLParser::kMaxEntityExpansions);
    xercesc::DOMConfiguration* config = parser->getDomConfig();
    config->setParameter(xercesc::XMLUni::fgDOMEntities, true);
    config->setParameter(xercesc::XMLUni::fgDOMNamespaces, true);
    config->setParameter(xercesc::XMLUni::fgXercesValidationErrorAsFatal, true);
    config->setParameter(xercesc::XMLUni::fgXercesContinueAfterFatalError, false);
    config->setParameter(xercesc::XMLUni::fgDOMValidate, false);
    config->setParameter(xercesc::XMLUni::fgXercesLoadExternalDTD, false);
    config->setParameter(xercesc::XMLUni::fgXercesUserAdoptsDOMDocument, true);
    // The library opens no file or URL that a document names.
    config->setParameter(xercesc::XMLUni::fgXercesDisableDefaultEntityResolution, true);
    config->setParameter(xercesc::XMLUni::fgXercesSecurityManager, &security);
    FailureRecorder failures;
    config->setParameter(xercesc::XMLUni::fgDOMErrorHandler, &failures);

    static constexpr XMLCh kBufferID[] = u"Blob";
    auto* source =
        new xercesc::MemBufInputSource(static_cast<const XMLByte*>(data), size, kBufferID, false);
    if (encoding != nullptr) source->setEncoding(X(*encoding));
    xercesc::Wrapper4InputSource input(source, true);
    try {
      document = parser->parse(&input);
    } catch (...) {
      document = nullptr;
    }
    parser->release();
    if (document != nullptr &&
        (failures.Failed() || NestingDepth(document) > VXMLParser::kMaxNesting)) {
      document->release();
      document = nullptr;
    }
  } catch (...) {
    if (document != nullptr) document->release();
    document = nullptr;
  }
  return NodeHandle(document);
}

// --- Navigation ------------------------------------------------------------

int32 IXMLDomWrapper::GetNumberOfChildrenNodes(VXMLDOMNode_opaque* node) {
  if (node == nullptr) return 0;
  try {
    return int32(NodeOf(node)->getChildNodes()->getLength());
  } catch (...) {
    return 0;
  }
}

VXMLDOMNode_opaque* IXMLDomWrapper::GetChildNode(VXMLDOMNode_opaque* node, int32 index) {
  if (node == nullptr || index < 0) return nullptr;
  try {
    return NodeHandle(NodeOf(node)->getChildNodes()->item(XMLSize_t(index)));
  } catch (...) {
    return nullptr;
  }
}

VXMLDOMElement_opaque* IXMLDomWrapper::GetNodeElement(VXMLDOMNode_opaque* node) {
  return ElementHandle(AsElement(NodeOf(node)));
}

VXMLDOMNode_opaque* IXMLDomWrapper::GetNodeFromNodeElement(VXMLDOMElement_opaque* element) {
  return NodeHandle(ElementOf(element));
}

void IXMLDomWrapper::GetNodeElementName(VXMLDOMElement_opaque* element, VString& outName) {
  outName.Clear();
  if (element == nullptr) return;
  try {
    outName = TextOf(ElementOf(element)->getTagName());
  } catch (...) {
    outName.Clear();
  }
}

VXMLDOMDocument_opaque* IXMLDomWrapper::GetNodeDocument(VXMLDOMNode_opaque* node) {
  return DocumentHandle(DocumentOfNode(NodeOf(node)));
}

VXMLDOMElement_opaque* IXMLDomWrapper::GetRootNodeElement(VXMLDOMNode_opaque* node) {
  DOMDocument* document = DocumentOfNode(NodeOf(node));
  return document != nullptr ? ElementHandle(document->getDocumentElement()) : nullptr;
}

VXMLDOMElement_opaque* IXMLDomWrapper::FindNodeElementByID(VXMLDOMNode_opaque* node,
                                                           const VString& id) {
  DOMDocument* document = DocumentOfNode(NodeOf(node));
  if (document == nullptr) return nullptr;
  try {
    return ElementHandle(document->getElementById(X(id)));
  } catch (...) {
    return nullptr;
  }
}

VXMLDOMNode_opaque* IXMLDomWrapper::CloneNodeDocument(VXMLDOMNode_opaque* node) {
  DOMNode* source = NodeOf(node);
  if (source == nullptr || source->getNodeType() != DOMNode::DOCUMENT_NODE) return nullptr;
  DOMDocument* clone =
      DocumentOf(CloneNodeDocument(DocumentHandle(static_cast<DOMDocument*>(source))));
  return NodeHandle(clone);
}

VXMLDOMDocument_opaque* IXMLDomWrapper::CloneNodeDocument(VXMLDOMDocument_opaque* document) {
  DOMDocument* source = DocumentOf(document);
  if (source == nullptr) return nullptr;
  try {
    auto* clone = static_cast<DOMDocument*>(source->cloneNode(true));
    if (clone != nullptr) clone->setDocumentURI(source->getDocumentURI());
    return DocumentHandle(clone);
  } catch (...) {
    return nullptr;
  }
}

void IXMLDomWrapper::ReleaseNode(VXMLDOMNode_opaque* node) {
  if (node == nullptr) return;
  try {
    NodeOf(node)->release();
  } catch (...) {
  }
}

void IXMLDomWrapper::RegisterNodeIDs(VXMLDOMNode_opaque* node) {
  DOMDocument* document = DocumentOfNode(NodeOf(node));
  if (document == nullptr) return;
  try {
    static constexpr XMLCh kAll[] = u"*";
    xercesc::DOMNodeList* elements = document->getElementsByTagName(kAll);
    for (XMLSize_t i = 0; i < elements->getLength(); ++i) {
      auto* element = static_cast<DOMElement*>(elements->item(i));
      xercesc::DOMNamedNodeMap* attributes = element->getAttributes();
      for (XMLSize_t k = 0; attributes != nullptr && k < attributes->getLength(); ++k) {
        try {
          DeclareID(element, TextOf(attributes->item(k)->getNodeName()));
        } catch (...) {
          // An attribute the namespace look-up cannot reach stays a plain one.
        }
      }
    }
  } catch (...) {
  }
}

// --- Elements --------------------------------------------------------------

VXMLDOMElement_opaque* IXMLDomWrapper::CreateElement(VXMLDOMDocument_opaque* document,
                                                     VXMLDOMElement_opaque* parent,
                                                     const UniChar* qualifiedName) {
  DOMDocument* doc = DocumentOf(document);
  if (doc == nullptr || qualifiedName == nullptr) return nullptr;
  try {
    const VString name(qualifiedName);
    VString prefix;
    const int32 colon = name.FindUniChar(':');
    if (colon > 0) name.GetSubString(1, colon - 1, prefix);
    const XMLCh* space = nullptr;
    if (DOMElement* p = ElementOf(parent)) {
      space = p->lookupNamespaceURI(prefix.IsEmpty() ? nullptr : X(prefix));
    }
    if (space != nullptr) {
      DOMElement* element = doc->createElementNS(space, X(name));
      if (!prefix.IsEmpty()) element->setPrefix(X(prefix));
      return ElementHandle(element);
    }
    return ElementHandle(doc->createElement(X(name)));
  } catch (...) {
    return nullptr;
  }
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name) {
  DOMElement* p = ElementOf(parent);
  if (p == nullptr) return nullptr;
  DOMDocument* document = p->getOwnerDocument();
  if (document == nullptr) return nullptr;
  VXMLDOMElement_opaque* element =
      CreateElement(DocumentHandle(document), parent, name.GetCPointer());
  if (element == nullptr) return nullptr;
  try {
    p->appendChild(ElementOf(element));
  } catch (...) {
    ElementOf(element)->release();
    return nullptr;
  }
  return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name, const VString& value) {
  VXMLDOMElement_opaque* element = AddNodeElement(parent, name);
  if (element == nullptr) return nullptr;
  try {
    DOMElement* e = ElementOf(element);
    e->appendChild(e->getOwnerDocument()->createTextNode(X(value)));
  } catch (...) {
  }
  return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name,
                                                      const VValueSingle* value) {
  if (value == nullptr) return nullptr;
  switch (value->GetValueInfo()->GetKind()) {
    case kValueKindBoolean:
      return AddNodeElement(parent, name, value->GetBoolean() != 0);
    case kValueKindLong:
      return AddNodeElement(parent, name, value->GetLong());
    case kValueKindReal:
      return AddNodeElement(parent, name, value->GetReal());
    case kValueKindString: {
      VString text;
      value->GetString(text);
      return AddNodeElement(parent, name, text);
    }
    case kValueKindTime:
    case kValueKindDuration:
      return AddNodeElement(parent, name, TextOfValue(*value, 1));
    default:
      return nullptr;
  }
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name, const VTime& value,
                                                      uint32 options) {
  return AddNodeElement(parent, name, TextOfValue(value, options));
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name, const VDuration& value,
                                                      uint32 options) {
  return AddNodeElement(parent, name, TextOfValue(value, options));
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name, double value) {
  return AddNodeElement(parent, name, TextOfValue(value));
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name, bool value) {
  return AddNodeElement(parent, name, TextOfValue(value));
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* parent,
                                                      const VString& name, int32 value) {
  return AddNodeElement(parent, name, TextOfValue(value));
}

// --- Element text ----------------------------------------------------------

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* element, const VString& value) {
  DOMElement* e = ElementOf(element);
  if (e == nullptr) return;
  try {
    DOMNode* first = e->getFirstChild();
    if (first != nullptr && first->getNodeType() == DOMNode::TEXT_NODE) {
      first->setNodeValue(X(value));
      return;
    }
    DOMDocument* document = e->getOwnerDocument();
    if (document == nullptr) return;
    while (DOMNode* child = e->getFirstChild()) e->removeChild(child)->release();
    e->appendChild(document->createTextNode(X(value)));
  } catch (...) {
  }
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* element, bool value) {
  SetNodeElementValue(element, TextOfValue(value));
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* element, int32 value) {
  SetNodeElementValue(element, TextOfValue(value));
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* element, double value) {
  SetNodeElementValue(element, TextOfValue(value));
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* element, const VTime& value,
                                         uint32 options) {
  SetNodeElementValue(element, TextOfValue(value, options));
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* element, const VDuration& value,
                                         uint32 options) {
  SetNodeElementValue(element, TextOfValue(value, options));
}

void IXMLDomWrapper::GetNodeElementValueString(VXMLDOMElement_opaque* element, VString& outValue) {
  outValue = FirstText(ElementOf(element));
}

bool IXMLDomWrapper::GetNodeElementValueBoolean(VXMLDOMElement_opaque* element) {
  VBoolean value;
  value.FromXMLString(FirstText(ElementOf(element)));
  return value.GetBoolean() != 0;
}

int32 IXMLDomWrapper::GetNodeElementValueLong(VXMLDOMElement_opaque* element) {
  VLong value;
  value.FromString(FirstText(ElementOf(element)));
  return value.GetLong();
}

double IXMLDomWrapper::GetNodeElementValueReal(VXMLDOMElement_opaque* element) {
  VReal value;
  value.FromString(FirstText(ElementOf(element)));
  return value.GetReal();
}

void IXMLDomWrapper::GetNodeElementValueTime(VXMLDOMElement_opaque* element, VTime& outValue) {
  outValue.FromXMLString(FirstText(ElementOf(element)));
}

void IXMLDomWrapper::GetNodeElementValueDuration(VXMLDOMElement_opaque* element,
                                                 VDuration& outValue) {
  outValue.FromXMLString(FirstText(ElementOf(element)));
}

void IXMLDomWrapper::GetNodeElementCDATA(VXMLDOMElement_opaque* element, VString& outValue) {
  outValue.Clear();
  DOMElement* e = ElementOf(element);
  if (e == nullptr) return;
  DOMNode* first = e->getFirstChild();
  if (first != nullptr && first->getNodeType() == DOMNode::CDATA_SECTION_NODE) {
    outValue = TextOf(first->getNodeValue());
  }
}

// --- Attributes ------------------------------------------------------------

bool IXMLDomWrapper::GetNodeElementAttribute(VXMLDOMElement_opaque* element, const VString& name,
                                             VString& outValue) {
  DOMElement* e = ElementOf(element);
  if (e == nullptr) return false;
  try {
    VString prefix;
    VString localName;
    if (const XMLCh* space = NamespaceOfPrefix(e, name, prefix, localName)) {
      if (DOMAttr* attribute = e->getAttributeNodeNS(space, X(localName))) {
        const XMLCh* value = attribute->getValue();
        if (value != nullptr) outValue = TextOf(value);
        return value != nullptr;
      }
    }
    DOMAttr* attribute = e->getAttributeNode(X(name));
    if (attribute == nullptr || attribute->getValue() == nullptr) return false;
    outValue = TextOf(attribute->getValue());
    return true;
  } catch (...) {
    return false;
  }
}

bool IXMLDomWrapper::SetNodeElementAttribute(VXMLDOMElement_opaque* element, const VString& name,
                                             const VString& value, bool removeIfEmpty,
                                             bool* outIsID) {
  if (outIsID != nullptr) *outIsID = false;
  DOMElement* e = ElementOf(element);
  if (e == nullptr) return false;
  try {
    VString prefix;
    VString localName;
    const bool empty = value.IsEmpty();
    if (const XMLCh* space = NamespaceOfPrefix(e, name, prefix, localName)) {
      if (empty && removeIfEmpty) {
        e->removeAttributeNS(space, X(localName));
        if (outIsID != nullptr && localName.EqualToUSASCIICString("id")) *outIsID = true;
        return true;
      }
      e->setAttributeNS(space, X(name), X(value));
    } else if (empty && removeIfEmpty) {
      e->removeAttribute(X(name));
      return true;
    } else {
      e->setAttribute(X(name), X(value));
    }
    const bool isID = DeclareID(e, name);
    if (outIsID != nullptr) *outIsID = isID;
    return true;
  } catch (...) {
    return false;
  }
}

// --- Output ----------------------------------------------------------------

bool IXMLDomWrapper::SerializeToFile(VXMLDOMNode_opaque* node, VFileStream& stream, size_t& outSize,
                                     bool prettyPrint) {
  VBlobWithPtr blob;
  if (!SerializeToBlob(node, &blob, 0, outSize, prettyPrint)) return false;
  return stream.PutData(blob.GetDataPtr(), outSize) == VE_OK;
}

bool IXMLDomWrapper::WriteToFile(VXMLDOMNode_opaque* node, const VFile& file, bool prettyPrint) {
  VBlobWithPtr blob;
  size_t size = 0;
  if (!SerializeToBlob(node, &blob, 0, size, prettyPrint)) return false;
  if (file.Exists() && file.Delete() != VE_OK) return false;
  if (file.Create() != VE_OK) return false;
  VFileStream stream(&file, 8);
  stream.SetCharSet(kCharSetUTF8);
  stream.SetCarriageReturnMode(kCRModeNone);
  VError error = stream.OpenWriting();
  if (error == VE_OK) {
    error = stream.PutData(blob.GetDataPtr(), size);
    const VError closeError = stream.CloseWriting();
    if (error == VE_OK) error = closeError;
  }
  // No partial document stays behind.
  if (error != VE_OK) file.Delete();
  return error == VE_OK;
}

bool IXMLDomWrapper::GetDocumentURL(VXMLDOMNode_opaque* node, VURL& outURL) {
  DOMDocument* document = DocumentOfNode(NodeOf(node));
  if (document == nullptr || document->getDocumentURI() == nullptr) return false;
  const VString uri = TextOf(document->getDocumentURI());
  const bool encoded = !uri.BeginsWith(VString("file://"), false);
  return outURL.FromString(uri, encoded);
}

bool IXMLDomWrapper::SerializeToBlob(VXMLDOMNode_opaque* node, VBlob* blob, int32 offset,
                                     size_t& outSize, bool prettyPrint) {
  outSize = 0;
  DOMNode* n = NodeOf(node);
  if (n == nullptr || blob == nullptr) return false;
  xercesc::DOMLSSerializer* serializer = nullptr;
  xercesc::DOMLSOutput* output = nullptr;
  bool result = false;
  try {
    xercesc::DOMImplementation* implementation = LoadAndSave();
    if (implementation == nullptr) return false;
    serializer = implementation->createLSSerializer();
    if (serializer == nullptr) return false;
    xercesc::DOMConfiguration* config = serializer->getDomConfig();
    config->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, prettyPrint);
    config->setParameter(xercesc::XMLUni::fgDOMWRTBOM, false);
    serializer->setNewLine(u"\n");
    output = implementation->createLSOutput();
    VString encoding("UTF-8");
    DOMDocument* document = DocumentOfNode(n);
    if (document != nullptr && document->getXmlEncoding() != nullptr &&
        *document->getXmlEncoding() != 0) {
      encoding = TextOf(document->getXmlEncoding());
    }
    output->setEncoding(X(encoding));
    xercesc::MemBufFormatTarget target(1023);
    output->setByteStream(&target);
    if (serializer->write(n, output)) {
      result = CopyMemBufFormatTargetToBlob(
          blob, offset, outSize, reinterpret_cast<VXMLMemBufFormatTarget_opaque*>(&target),
          encoding, true);
    }
  } catch (...) {
    result = false;
    outSize = 0;
  }
  if (output != nullptr) output->release();
  if (serializer != nullptr) serializer->release();
  return result;
}

bool IXMLDomWrapper::CopyMemBufFormatTargetToBlob(VBlob* blob, int32 offset, size_t& outSize,
                                                  VXMLMemBufFormatTarget_opaque* target,
                                                  const VString& encoding, bool convertLineEnds) {
  outSize = 0;
  auto* buffer = reinterpret_cast<xercesc::MemBufFormatTarget*>(target);
  if (blob == nullptr || buffer == nullptr) return false;
  const XMLByte* bytes = buffer->getRawBuffer();
  const size_t size = buffer->getLen();
  size_t unit = 0;
  if (convertLineEnds) {
    if (encoding.EqualToString(VString("UTF-8"), false)) {
      unit = 1;
    } else if (encoding.EqualToString(VString("UTF-16"), false)) {
      unit = 2;
    } else {
      for (const char* name : {"UTF-32", "UCS4", "UCS-4", "UCS_4"}) {
        if (encoding.EqualToString(VString(name), false)) unit = 4;
      }
    }
  }
  if (unit == 0) {
    if (blob->PutData(bytes, size, offset) != VE_OK) return false;
    outSize = size;
    return true;
  }
  // The conversion works in place on a copy (a malloc'ed block is aligned
  // for every unit width).
  VMemoryBuffer<> converted;
  if (!converted.SetData(bytes, size)) {
    _ThrowError(ToolboxError(toolbox_error::kAccessDenied));
    return false;
  }
  void* data = converted.GetDataPtr();
  const size_t count = size / unit;
  size_t written = 0;
  if (unit == 1) {
    written = ToCarriageReturns(static_cast<uint8*>(data), count, static_cast<uint8*>(data));
  } else if (unit == 2) {
    written = ToCarriageReturns(static_cast<uint16*>(data), count, static_cast<uint16*>(data)) * 2;
  } else {
    written = ToCarriageReturns(static_cast<uint32*>(data), count, static_cast<uint32*>(data)) * 4;
  }
  if (blob->PutData(converted.GetDataPtr(), written, offset) != VE_OK) return false;
  outSize = written;
  return true;
}

// --- Events ----------------------------------------------------------------

bool IXMLDomWrapper::Parse(VXMLDOMNode_opaque* node, IXMLHandler* handler) {
  DOMNode* n = NodeOf(node);
  if (n == nullptr || handler == nullptr) return false;
  return AsElement(n) != nullptr ? DOMParseElement(node, handler) : DOMParseNode(node, handler);
}

bool DOMParseNode(VXMLDOMNode_opaque* node, IXMLHandler* handler) {
  DOMNode* n = NodeOf(node);
  if (n == nullptr || handler == nullptr) return false;
  try {
    return ReplayChildren(n, handler, 0);
  } catch (...) {
    return false;
  }
}

bool DOMParseElement(VXMLDOMNode_opaque* node, IXMLHandler* handler) {
  DOMElement* element = AsElement(NodeOf(node));
  if (element == nullptr || handler == nullptr) return false;
  try {
    return ReplayElement(element, handler, 1);
  } catch (...) {
    return false;
  }
}

}  // namespace zeft
