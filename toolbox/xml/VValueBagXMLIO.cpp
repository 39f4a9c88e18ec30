#include "xml/VValueBagXMLIO.h"

#include <xercesc/dom/DOM.hpp>

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "core/VValue.h"
#include "core/VValueSingle.h"
#include "files/IFileSystemObject.h"
#include "files/VFolder.h"
#include "files/VStream.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"
#include "values/VValueBag.h"
#include "xml/VXMLBagHandler.h"
#include "xml/VXMLParser.h"

namespace zeft {

namespace {

constexpr int32 kStreamMarker = 1;

// Parses the text or the file into the bag with the root handler for
// `rootElementName`; external entities come from the folder when it exists.
void ParseBag(const VString* xml, const IFile* file, const VString& rootElementName, VValueBag& bag,
              uint32 options, const VString* entitiesPrefix = nullptr,
              VFolder* entitiesFolder = nullptr) {
  VRefPtr<VXMLBagHandler_UniqueElement> handler(
      new VXMLBagHandler_UniqueElement(&bag, rootElementName), kAdoptRef);
  VXMLParser parser;
  if (entitiesPrefix != nullptr && entitiesFolder != nullptr && entitiesFolder->Exists()) {
    handler->SetEntitiesLocalFolder(*entitiesPrefix, entitiesFolder);
    // Entities are referenced inside the root element, whose handler is
    // not the root handler: the parser resolves what handlers do not.
    parser.SetEntitiesLocalFolder(*entitiesPrefix, entitiesFolder);
  }
  if (xml != nullptr) {
    parser.Parse(*xml, handler.Get(), options);
  } else {
    parser.Parse(file, handler.Get(), options);
  }
}

// The bag as a whole document declared UTF-8, as its files are written.
VString UTF8DocumentText(const VValueBag& bag, const VString& rootElementName, bool indent) {
  VString text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  bag.DumpXML(text, rootElementName, indent);
  return text;
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
  ParseBag(&text, nullptr, VString("bag"), bag, 0);
  return context.GetLastError();
}

VError WriteBagToUTF8StreamInXML(const VValueBag& bag, const VString& rootElementName,
                                 VStream* stream, bool indent) {
  const VString text = UTF8DocumentText(bag, rootElementName, indent);
  VMemoryBuffer<> bytes;
  if (!text.ToBuffer(bytes, kCharSetUTF8)) {
    const VError error = ToolboxError(toolbox_error::kTextConversionFailed);
    _ThrowError(error);
    return error;
  }
  return stream->PutData(bytes.GetDataPtr(), bytes.GetDataSize());
}

VError WriteBagToFileInXML(const VValueBag& bag, const VString& rootElementName, IFile* file,
                           bool indent) {
  if (file == nullptr) return VE_OK;
  const VString text = UTF8DocumentText(bag, rootElementName, indent);
  const VError error = file->SetContentAsString(text, kCharSetUTF8, kCRModeNone, false);
  if (error != VE_OK) file->Delete();
  return error;
}

VError LoadBagFromXML(IFile* file, const VString& rootElementName, VValueBag& bag, uint32 options) {
  return LoadBagFromXML(file, rootElementName, bag, options, nullptr, nullptr);
}

VError LoadBagFromXML(IFile* file, const VString& rootElementName, VValueBag& bag, uint32 options,
                      const VString* entitiesPrefix, VFolder* entitiesFolder) {
  StErrorContextInstaller context(true, false);
  ParseBag(nullptr, file, rootElementName, bag, options, entitiesPrefix, entitiesFolder);
  return context.GetLastError();
}

VError LoadBagFromXML(const VString& xml, const VString& rootElementName, VValueBag& bag,
                      uint32 options, const VString* entitiesPrefix, VFolder* entitiesFolder) {
  StErrorContextInstaller context(true, false);
  ParseBag(&xml, nullptr, rootElementName, bag, options, entitiesPrefix, entitiesFolder);
  return context.GetLastError();
}

VError LoadBagFromXML(const VString& xml, const VString& rootElementName, VValueBag& bag,
                      uint32 options) {
  return LoadBagFromXML(xml, rootElementName, bag, options, nullptr, nullptr);
}

VError ReadBagFromDomXML(VXMLDOMNode_opaque* node, VValueBag& bag) {
  VXMLDOMElement_opaque* element = IXMLDomWrapper::GetNodeElement(node);
  if (element == nullptr) return MakeVError(kComponentXML, 2);
  VString rootName;
  IXMLDomWrapper::GetNodeElementName(element, rootName);
  StErrorContextInstaller context(true, false);
  VRefPtr<VXMLBagHandler_UniqueElement> handler(new VXMLBagHandler_UniqueElement(&bag, rootName),
                                                kAdoptRef);
  const bool walked = IXMLDomWrapper::Parse(node, handler.Get());
  if (const VError error = context.GetLastError(); error != VE_OK) return error;
  return walked ? VE_OK : MakeVError(kComponentXML, 2);
}

VError WriteBagToDomXML(const VValueBag& bag, VXMLDOMNode_opaque* node,
                        std::vector<VXMLDOMNode_opaque*>* createdNodes) {
  VXMLDOMElement_opaque* element = IXMLDomWrapper::GetNodeElement(node);
  if (element == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  return WriteBagToDomXMLElement(bag, element, createdNodes)
             ? VE_OK
             : ToolboxError(toolbox_error::kGeneric);
}

bool WriteBagToDomXMLElement(const VValueBag& bag, VXMLDOMElement_opaque* element,
                             std::vector<VXMLDOMNode_opaque*>* createdNodes) {
  auto* target = reinterpret_cast<xercesc::DOMElement*>(element);
  xercesc::DOMDocument* document = target != nullptr ? target->getOwnerDocument() : nullptr;
  if (document == nullptr) return false;
  VString name;
  VString text;
  for (int32 n = 1; n <= bag.GetAttributesCount(); ++n) {
    const VValueSingle* value = bag.GetNthAttribute(n, &name);
    if (value == nullptr) continue;
    if (value->GetValueInfo()->GetKind() == kValueKindString) {
      value->GetString(text);
    } else {
      // The DOM escapes on output: the text goes in unescaped.
      value->GetXMLString(text, 0);
      text.TranscodeFromXML();
    }
    if (name.EqualToUSASCIICString("<>")) {
      // Character data is no attribute (its name is no XML name): a text child.
      try {
        target->appendChild(document->createTextNode(text.GetCPointer()));
      } catch (...) {
        return false;
      }
    } else {
      IXMLDomWrapper::SetNodeElementAttribute(element, name, text, false);
    }
  }
  for (int32 n = 1; n <= bag.GetElementNamesCount(); ++n) {
    const VBagArray* bags = bag.GetNthElementName(n, &name);
    for (int32 i = 1; bags != nullptr && i <= bags->GetCount(); ++i) {
      const VValueBag* sub = bags->GetNth(i);
      if (sub == nullptr) continue;
      VXMLDOMElement_opaque* child = IXMLDomWrapper::CreateElement(
          IXMLDomWrapper::GetNodeDocument(IXMLDomWrapper::GetNodeFromNodeElement(element)), element,
          name.GetCPointer());
      if (child == nullptr) continue;
      if (createdNodes != nullptr) {
        createdNodes->push_back(IXMLDomWrapper::GetNodeFromNodeElement(child));
      }
      try {
        target->appendChild(reinterpret_cast<xercesc::DOMElement*>(child));
      } catch (...) {
        return false;
      }
      if (!WriteBagToDomXMLElement(*sub, child, createdNodes)) return false;
    }
  }
  return true;
}

}  // namespace zeft
