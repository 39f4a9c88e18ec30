// The handlers that read type declarations from a property list for
// VUTIManager. Only the arrays under "UTExportedTypeDeclarations" and
// "UTImportedTypeDeclarations" are read; each dictionary in them becomes a
// VUTI handed to the manager. Element names and keys compare ignoring case
// and diacritics; text is kept as written, white space included.
#pragma once

#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "xml/IXMLHandler.h"

namespace zeft {

class VUTI;
class VUTIManager;

// The root handler: finds the declaration arrays at any depth. One per
// manager, reused from one list to the next.
class VUTIManagerXMLHandler : public VObject, public IXMLHandler {
 public:
  explicit VUTIManagerXMLHandler(VUTIManager* manager) : fManager(manager) {}
  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;
  void SetText(const VString& text) override;

 private:
  VUTIManager* fManager;
  VString fElement;
  VString fKey;
  bool fInKey = false;
};

// A declaration array: one declaration handler per dictionary.
class VUTIManagerArrayHandler : public VObject, public IXMLHandler {
 public:
  explicit VUTIManagerArrayHandler(VUTIManager* manager) : fManager(manager) {}
  IXMLHandler* StartElement(const VString& elementName) override;

 private:
  VUTIManager* fManager;
};

// One declaration: builds its record and hands it to the manager at the
// end of the dictionary.
class VUTIManagerUTIHandler : public VObject, public IXMLHandler {
 public:
  explicit VUTIManagerUTIHandler(VUTIManager* manager);
  ~VUTIManagerUTIHandler() override;
  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;
  void SetText(const VString& text) override;

 private:
  VUTIManager* fManager;
  VString fElement;
  VString fKey;
  // The key whose string value is being read.
  VString fValueKey;
  VUTI* fUTI;
  bool fInText = false;
  std::vector<VString> fElementStack;
};

// The "UTTypeTagSpecification" dictionary: each tag class key followed by a
// string or an array of strings.
class VUTIManagerUTIKeyUTISpecificationHandler : public VObject, public IXMLHandler {
 public:
  // `uti` belongs to the declaration handler, which outlives this one.
  VUTIManagerUTIKeyUTISpecificationHandler(VUTIManager* manager, VUTI* uti)
      : fManager(manager), fUTI(uti) {}
  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;
  void SetText(const VString& text) override;

 private:
  VUTIManager* fManager;
  VUTI* fUTI;
  VString fElement;
  VString fKey;
  VString fValueKey;
  bool fInText = false;
  VString fExtension;
  VString fOSType;
  VString fMIMEType;
};

// An array of strings under `key`: parents ("UTTypeConformsTo") or tags.
class VUTIManagerUTIKeyArrayStringHandler : public VObject, public IXMLHandler {
 public:
  VUTIManagerUTIKeyArrayStringHandler(VUTIManager* manager, VUTI* uti, const VString& key)
      : fUTI(uti), fKey(key) {}
  IXMLHandler* StartElement(const VString& elementName) override;
  void EndElement(const VString& elementName) override;
  void SetText(const VString& text) override;

 private:
  void _Clear();

  VUTI* fUTI;
  const VString fKey;
  VString fElement;
  bool fInString = false;
  VString fConformance;
  VString fExtension;
  VString fOSType;
  VString fMIMEType;
};

}  // namespace zeft
