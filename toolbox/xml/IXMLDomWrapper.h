// IXMLDomWrapper works with an in-memory XML document tree of the XML
// library without showing the library's types: documents, nodes and
// elements travel as opaque handles. It parses documents from memory,
// navigates and edits them, reads and writes element text as typed values
// and attributes, finds elements by id, serialises nodes, and replays a
// tree as events onto an IXMLHandler. The library's exceptions never leave
// it: a failed call gives its empty result.
#pragma once

#include <cstddef>
#include <vector>

#include "core/VTypes.h"

namespace zeft {

class IXMLHandler;
class VBlob;
class VDuration;
class VString;
class VTime;
class VValueSingle;

// Handles: each is the library's node itself. Element and document handles
// are node handles too; a node of the document kind stands for its
// document.
struct VXMLDOMNode_opaque;
struct VXMLDOMElement_opaque;
struct VXMLDOMDocument_opaque;
struct VXMLMemBufFormatTarget_opaque;

class IXMLDomWrapper {
 public:
  // Parsing. A new document, owned by the caller (ReleaseNode), or null.
  // `encoding`, when given, overrides the declared one. No DTD or external
  // entity is loaded; entity expansion and nesting are bounded.
  static VXMLDOMNode_opaque* CreateNodeDocumentFromBuffer(const void* data, size_t size,
                                                          const VString* encoding);

  // Navigation.
  static int32 GetNumberOfChildrenNodes(VXMLDOMNode_opaque* node);
  // The child at the 0-based index, or null.
  static VXMLDOMNode_opaque* GetChildNode(VXMLDOMNode_opaque* node, int32 index);
  // The node as an element when it is one, else null.
  static VXMLDOMElement_opaque* GetNodeElement(VXMLDOMNode_opaque* node);
  static VXMLDOMNode_opaque* GetNodeFromNodeElement(VXMLDOMElement_opaque* element);
  // The qualified name; emptied when there is none.
  static void GetNodeElementName(VXMLDOMElement_opaque* element, VString& outName);
  // The node's document, the node itself when it is one.
  static VXMLDOMDocument_opaque* GetNodeDocument(VXMLDOMNode_opaque* node);
  static VXMLDOMElement_opaque* GetRootNodeElement(VXMLDOMNode_opaque* node);
  // After RegisterNodeIDs: the element whose id attribute has that value.
  static VXMLDOMElement_opaque* FindNodeElementByID(VXMLDOMNode_opaque* node, const VString& id);
  // A deep copy with the same document URI, owned by the caller; null for
  // a node that is not a document.
  static VXMLDOMNode_opaque* CloneNodeDocument(VXMLDOMNode_opaque* node);
  static VXMLDOMDocument_opaque* CloneNodeDocument(VXMLDOMDocument_opaque* document);
  // Frees the node (a whole document when given one).
  static void ReleaseNode(VXMLDOMNode_opaque* node);

  // Marks the attributes named "id" (or prefix:id with a known namespace)
  // of every element of the node's document as ids.
  static void RegisterNodeIDs(VXMLDOMNode_opaque* node);

  // Elements. A new element, not attached; a prefix that the parent knows
  // gives the element its namespace.
  static VXMLDOMElement_opaque* CreateElement(VXMLDOMDocument_opaque* document,
                                              VXMLDOMElement_opaque* parent,
                                              const UniChar* qualifiedName);
  // A new last child of the parent, holding the value's text when given.
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name);
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name,
                                               const VString& value);
  // Booleans, longs, reals, strings, times and durations; null (nothing
  // made) for any other kind.
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name,
                                               const VValueSingle* value);
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name,
                                               const VTime& value, uint32 options);
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name,
                                               const VDuration& value, uint32 options);
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name,
                                               double value);
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name,
                                               bool value);
  static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* parent, const VString& name,
                                               int32 value);

  // Element text: replaces it.
  static void SetNodeElementValue(VXMLDOMElement_opaque* element, const VString& value);
  static void SetNodeElementValue(VXMLDOMElement_opaque* element, bool value);
  static void SetNodeElementValue(VXMLDOMElement_opaque* element, int32 value);
  static void SetNodeElementValue(VXMLDOMElement_opaque* element, double value);
  static void SetNodeElementValue(VXMLDOMElement_opaque* element, const VTime& value,
                                  uint32 options);
  static void SetNodeElementValue(VXMLDOMElement_opaque* element, const VDuration& value,
                                  uint32 options);
  // The text of the element's first child when that is a text node, read
  // as the type.
  static void GetNodeElementValueString(VXMLDOMElement_opaque* element, VString& outValue);
  static bool GetNodeElementValueBoolean(VXMLDOMElement_opaque* element);
  static int32 GetNodeElementValueLong(VXMLDOMElement_opaque* element);
  static double GetNodeElementValueReal(VXMLDOMElement_opaque* element);
  static void GetNodeElementValueTime(VXMLDOMElement_opaque* element, VTime& outValue);
  static void GetNodeElementValueDuration(VXMLDOMElement_opaque* element, VDuration& outValue);
  // The first child's text when it is a CDATA section, else empty.
  static void GetNodeElementCDATA(VXMLDOMElement_opaque* element, VString& outValue);

  // Attributes. True when found with a value (out untouched otherwise).
  static bool GetNodeElementAttribute(VXMLDOMElement_opaque* element, const VString& name,
                                      VString& outValue);
  // Sets (or, empty with removeIfEmpty, removes) the attribute; an "id"
  // attribute becomes an id and sets *outIsID. False for a null element.
  static bool SetNodeElementAttribute(VXMLDOMElement_opaque* element, const VString& name,
                                      const VString& value, bool removeIfEmpty,
                                      bool* outIsID = nullptr);

  // Output: the node's XML in its document's encoding (UTF-8 by default),
  // without byte-order mark, every line end a carriage return.
  static bool SerializeToBlob(VXMLDOMNode_opaque* node, VBlob* blob, int32 offset, size_t& outSize,
                              bool prettyPrint);
  // Copies the target's bytes into the blob; with convertLineEnds, line
  // ends become carriage returns in UTF-8, UTF-16 and UTF-32 text.
  static bool CopyMemBufFormatTargetToBlob(VBlob* blob, int32 offset, size_t& outSize,
                                           VXMLMemBufFormatTarget_opaque* target,
                                           const VString& encoding, bool convertLineEnds);

  // Events: the calls the event parser would make for the element, or for
  // the node's children.
  static bool Parse(VXMLDOMNode_opaque* node, IXMLHandler* handler);
};

// The node's children as events on `handler`: elements through
// DOMParseElement, text and CDATA as text, processing instructions.
bool DOMParseNode(VXMLDOMNode_opaque* node, IXMLHandler* handler);
// The element as events: the handler's StartElement gives the child
// handler that receives its attributes, content and end; false when it
// gives null.
bool DOMParseElement(VXMLDOMNode_opaque* node, IXMLHandler* handler);

}  // namespace zeft
