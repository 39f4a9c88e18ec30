// IXMLHandler reads one XML element: the parser hands it the element's
// attributes, text and processing instructions, and asks it which handler
// reads each child element. Returning null from StartElement hides the
// child's whole subtree. Handlers are reference counted.
#pragma once

#include "core/IRefCountable.h"
#include "core/VTypes.h"

namespace zeft {

class VString;

class IXMLHandler : public IRefCountable {
 public:
  // The handler of the child element, with one reference for the caller;
  // null skips the child and everything inside it.
  virtual IXMLHandler* StartElement(const VString& elementName);
  virtual void EndElement(const VString& elementName);
  virtual void SetAttribute(const VString& name, const VString& value);
  // One run of character data; an element's text may come in several runs.
  virtual void SetText(const VString& text);
  // Reads an "xml-stylesheet" instruction into the style-sheet calls below;
  // any other target is ignored.
  virtual void processingInstruction(const VString& target, const VString& data);
  virtual void StartStyleSheet();
  virtual void SetStyleSheetAttribute(const VString& name, const VString& value);
  virtual void EndStyleSheet();

  // Space, tab, line feed, form feed, carriage return.
  static bool WCharIsSpace(UniChar c);
  // A character allowed in XML 1.0 text.
  static bool IsXMLChar(UniChar c);

 private:
  // Closes the current style-sheet token: a name, or the value of the
  // pending name once "=" was seen.
  void _CloseStyleSheetToken(VString& token, VString& pendingName, bool& equalsSeen);
};

}  // namespace zeft
