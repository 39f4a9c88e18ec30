#include "xml/IXMLHandler.h"

#include <xercesc/util/XMLChar.hpp>

#include "core/VString.h"

namespace zeft {

IXMLHandler* IXMLHandler::StartElement(const VString& /*elementName*/) { return nullptr; }

void IXMLHandler::EndElement(const VString& /*elementName*/) {}

void IXMLHandler::SetAttribute(const VString& /*name*/, const VString& /*value*/) {}

void IXMLHandler::SetText(const VString& /*text*/) {}

void IXMLHandler::StartStyleSheet() {}

void IXMLHandler::SetStyleSheetAttribute(const VString& /*name*/, const VString& /*value*/) {}

void IXMLHandler::EndStyleSheet() {}

bool IXMLHandler::WCharIsSpace(UniChar c) {
  return c == 32 || c == 9 || c == 10 || c == 12 || c == 13;
}

bool IXMLHandler::IsXMLChar(UniChar c) { return xercesc::XMLChar1_0::isXMLChar(c); }

void IXMLHandler::_CloseStyleSheetToken(VString& token, VString& pendingName, bool& equalsSeen) {
  const int32 length = token.GetLength();
  if (length >= 2) {
    const UniChar first = token.GetUniChar(1);
    const UniChar last = token.GetUniChar(length);
    if ((first == '"' && last == '"') || (first == '\'' && last == '\'')) {
      token.SubString(2, length - 2);
    }
  }
  token.RemoveWhiteSpaces(true, true);
  if (!equalsSeen) {
    pendingName = token;
  } else if (!pendingName.IsEmpty()) {
    SetStyleSheetAttribute(pendingName, token);
  }
  token.Clear();
  equalsSeen = false;
}

void IXMLHandler::processingInstruction(const VString& target, const VString& data) {
  if (target.IsEmpty() || data.IsEmpty() || !target.EqualToUSASCIICString("xml-stylesheet")) {
    return;
  }
  StartStyleSheet();
  VString token;
  VString pendingName;
  bool equalsSeen = false;
  const UniChar* chars = data.GetCPointer();
  for (int32 i = 0; i < data.GetLength(); ++i) {
    const UniChar c = chars[i];
    if (WCharIsSpace(c)) {
      if (!token.IsEmpty()) _CloseStyleSheetToken(token, pendingName, equalsSeen);
    } else if (c == '=') {
      if (!token.IsEmpty()) pendingName = token;
      token.Clear();
      equalsSeen = true;
    } else {
      token.AppendUniChar(c);
    }
  }
  // A trailing name without "=" has no value and is dropped.
  if (!token.IsEmpty() && equalsSeen) _CloseStyleSheetToken(token, pendingName, equalsSeen);
  EndStyleSheet();
}

}  // namespace zeft
