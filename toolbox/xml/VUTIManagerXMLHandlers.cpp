#include "xml/VUTIManagerXMLHandlers.h"

#include "xml/VUTI.h"
#include "xml/VUTIManager.h"

namespace zeft {

namespace {

bool Is(const VString& text, const char* literal) {
  return text.EqualToString(VString(literal), false);
}

bool IsTagClass(const VString& key) {
  return Is(key, kUTTagClassFilenameExtension) || Is(key, kUTTagClassOSType) ||
         Is(key, kUTTagClassMIMEType);
}

// The text of a tag class among the three, null for another key.
VString* TagText(const VString& key, VString& extension, VString& osType, VString& mimeType) {
  if (Is(key, kUTTagClassFilenameExtension)) return &extension;
  if (Is(key, kUTTagClassOSType)) return &osType;
  if (Is(key, kUTTagClassMIMEType)) return &mimeType;
  return nullptr;
}

IXMLHandler* Self(IXMLHandler* handler) {
  handler->Retain();
  return handler;
}

}  // namespace

// --- Root ------------------------------------------------------------------

IXMLHandler* VUTIManagerXMLHandler::StartElement(const VString& elementName) {
  if ((Is(fKey, "UTExportedTypeDeclarations") || Is(fKey, "UTImportedTypeDeclarations")) &&
      Is(elementName, "array")) {
    return new VUTIManagerArrayHandler(fManager);
  }
  if (Is(elementName, "key")) fInKey = true;
  fElement = elementName;
  fKey.Clear();
  return Self(this);
}

void VUTIManagerXMLHandler::EndElement(const VString& /*elementName*/) { fInKey = false; }

void VUTIManagerXMLHandler::SetText(const VString& text) {
  if (!text.IsEmpty() && fInKey && Is(fElement, "key")) fKey += text;
}

// --- Array -----------------------------------------------------------------

IXMLHandler* VUTIManagerArrayHandler::StartElement(const VString& elementName) {
  if (Is(elementName, "dict")) return new VUTIManagerUTIHandler(fManager);
  return nullptr;
}

// --- Declaration -----------------------------------------------------------

VUTIManagerUTIHandler::VUTIManagerUTIHandler(VUTIManager* manager)
    : fManager(manager), fUTI(new VUTI) {}

VUTIManagerUTIHandler::~VUTIManagerUTIHandler() { fUTI->Release(); }

IXMLHandler* VUTIManagerUTIHandler::StartElement(const VString& elementName) {
  fElement = elementName;
  fElementStack.push_back(elementName);
  IXMLHandler* result = nullptr;
  if (!fKey.IsEmpty()) {
    if (Is(elementName, "string") &&
        (Is(fKey, "UTTypeIdentifier") || Is(fKey, "UTTypeDescription"))) {
      fValueKey = fKey;
    } else if (Is(elementName, "array") && Is(fKey, "UTTypeConformsTo")) {
      // The sub-handler receives the array's end.
      fElementStack.pop_back();
      result = new VUTIManagerUTIKeyArrayStringHandler(fManager, fUTI, fKey);
    } else if (Is(elementName, "dict") && Is(fKey, "UTTypeTagSpecification")) {
      fElementStack.pop_back();
      result = new VUTIManagerUTIKeyUTISpecificationHandler(fManager, fUTI);
    } else {
      fValueKey.Clear();
    }
  } else {
    fValueKey.Clear();
  }
  if (Is(elementName, "key") || Is(elementName, "string")) fInText = true;
  fKey.Clear();
  return result != nullptr ? result : Self(this);
}

void VUTIManagerUTIHandler::EndElement(const VString& /*elementName*/) {
  fInText = false;
  if (fElementStack.empty()) {
    // The end of the declaration's own dictionary.
    fManager->AddNewUTI(fUTI);
  } else {
    fElementStack.pop_back();
  }
}

void VUTIManagerUTIHandler::SetText(const VString& text) {
  if (text.IsEmpty() || !fInText) return;
  if (Is(fElement, "key")) {
    fKey += text;
  } else if (Is(fElement, "string")) {
    if (Is(fValueKey, "UTTypeIdentifier")) {
      fUTI->SetIdentifier(fUTI->GetIdentifier() + text);
    } else if (Is(fValueKey, "UTTypeDescription")) {
      fUTI->SetDescription(fUTI->GetDescription() + text);
    }
  }
}

// --- Tag specification -----------------------------------------------------

IXMLHandler* VUTIManagerUTIKeyUTISpecificationHandler::StartElement(const VString& elementName) {
  fElement = elementName;
  if (Is(elementName, "key") || Is(elementName, "string")) fInText = true;
  // A new key ends the previous one's strings: a string under a key that
  // is no tag class must not join the list of the class read before.
  if (Is(elementName, "key")) fValueKey.Clear();
  if (Is(elementName, "string") && IsTagClass(fKey)) fValueKey = fKey;
  if (Is(elementName, "array") && !fKey.IsEmpty()) {
    IXMLHandler* handler = new VUTIManagerUTIKeyArrayStringHandler(fManager, fUTI, fKey);
    fKey.Clear();
    return handler;
  }
  fKey.Clear();
  return Self(this);
}

void VUTIManagerUTIKeyUTISpecificationHandler::EndElement(const VString& /*elementName*/) {
  if (!fExtension.IsEmpty()) {
    fUTI->AddExtension(fExtension);
  } else if (!fOSType.IsEmpty()) {
    fUTI->AddOSType(fOSType);
  } else if (!fMIMEType.IsEmpty()) {
    fUTI->AddMIMEType(fMIMEType);
  }
  fInText = false;
  fExtension.Clear();
  fOSType.Clear();
  fMIMEType.Clear();
}

void VUTIManagerUTIKeyUTISpecificationHandler::SetText(const VString& text) {
  if (text.IsEmpty() || !fInText) return;
  if (Is(fElement, "key")) {
    fKey += text;
  } else if (Is(fElement, "string")) {
    if (VString* target = TagText(fValueKey, fExtension, fOSType, fMIMEType)) *target += text;
  }
}

// --- Array of strings ------------------------------------------------------

IXMLHandler* VUTIManagerUTIKeyArrayStringHandler::StartElement(const VString& elementName) {
  if (Is(elementName, "string")) fInString = true;
  fElement = elementName;
  return Self(this);
}

void VUTIManagerUTIKeyArrayStringHandler::SetText(const VString& text) {
  if (text.IsEmpty() || !fInString || !Is(fElement, "string")) return;
  if (Is(fKey, "UTTypeConformsTo")) {
    fConformance += text;
  } else if (VString* target = TagText(fKey, fExtension, fOSType, fMIMEType)) {
    *target += text;
  }
}

void VUTIManagerUTIKeyArrayStringHandler::EndElement(const VString& /*elementName*/) {
  if (Is(fElement, "string")) {
    if (Is(fKey, "UTTypeConformsTo")) {
      if (!fConformance.IsEmpty()) {
        // A placeholder until the record of that identifier is linked in.
        VUTI* parent = new VUTI;
        parent->SetTemporary(true);
        parent->SetIdentifier(fConformance);
        fUTI->AddParentUTI(parent);
        parent->Release();
      }
    } else if (Is(fKey, kUTTagClassFilenameExtension)) {
      if (!fExtension.IsEmpty()) fUTI->AddExtension(fExtension);
    } else if (Is(fKey, kUTTagClassOSType)) {
      if (!fOSType.IsEmpty()) fUTI->AddOSType(fOSType);
    } else if (Is(fKey, kUTTagClassMIMEType)) {
      if (!fMIMEType.IsEmpty()) fUTI->AddMIMEType(fMIMEType);
    }
  }
  _Clear();
}

void VUTIManagerUTIKeyArrayStringHandler::_Clear() {
  fConformance.Clear();
  fExtension.Clear();
  fOSType.Clear();
  fMIMEType.Clear();
  fInString = false;
}

}  // namespace zeft
