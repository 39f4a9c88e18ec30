// VXMLParser runs the XML library's event parser over a document and turns
// its events into calls on a stack of IXMLHandler objects, one handler per
// open element. Parse problems become "xmlc" errors (2 recoverable, 3 fatal)
// on the calling task's error stack, with the library's message, line and
// column. Documents are untrusted: the library never fetches an external
// entity or DTD itself, entity expansion and element nesting are bounded.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include <cstddef>

#include "core/VObject.h"
#include "core/VString.h"
#include "core/VTypes.h"

XERCES_CPP_NAMESPACE_BEGIN
class InputSource;
XERCES_CPP_NAMESPACE_END

namespace zeft {

class IFile;
class IXMLHandler;
class VFile;
class VFolder;

// Option bits of VXMLParser::Parse.
enum : uint32 {
  kXMLParseValidate = 1,                    // always validate
  kXMLParseNeverValidate = 2,               // never validate (when bit 1 is clear)
  kXMLParseNamespaces = 4,                  // namespace processing
  kXMLParseLoadExternalDTD = 8,             // load the external DTD
  kXMLParseReportDefaultedAttributes = 16,  // also deliver DTD default attributes
};

class VXMLParser : public VObject {
 public:
  // Elements may nest this deep; a deeper document fails ("xmlc" 3).
  static constexpr int32 kMaxNesting = 256;
  // Entity references a document may expand in all ("xmlc" 3 beyond).
  static constexpr uint32 kMaxEntityExpansions = 1000;

  // Initialises the XML library (false when it cannot start); every Init
  // is paired with one DeInit, the library shuts down at the last one.
  VXMLParser() = default;
  ~VXMLParser() override;
  VXMLParser(const VXMLParser&) = delete;
  VXMLParser& operator=(const VXMLParser&) = delete;

  static bool Init();
  static void DeInit();

  // The bytes of a document; its encoding comes from the document itself.
  bool Parse(const void* data, size_t size, IXMLHandler* handler, uint32 options);
  // The string's UTF-16 text, whatever encoding the document declares.
  bool Parse(const VString& text, IXMLHandler* handler, uint32 options);

  // A file, named by its POSIX path in error records ("systemID"): a
  // VFile is read by the XML library itself; any other file is read whole
  // first (false without parsing when it cannot be read; the reading error
  // stays on the task's error stack). A null file is a toolbox error 3.
  bool Parse(const IFile* file, IXMLHandler* handler, uint32 options);
  // External entities that no handler resolves and whose system
  // identifier begins with `prefix` are read from files inside `folder`.
  void SetEntitiesLocalFolder(const VString& prefix, VFolder* folder);
  VFile* ResolveEntity(const VString& systemID) const;
  // The file named by the rest of the system identifier after `prefix`
  // (ignoring case and diacritics), "/" separating folders, inside
  // `folder`; null without a folder, for another prefix, or for a name
  // that leaves the folder. A new file for the caller; it need not exist.
  static VFile* ResolveEntityFromFolder(const VString& prefix, const VFolder* folder,
                                        const VString& systemID);
  // Keeps (retains) the new folder and the prefix, releasing the old one.
  static void _SetEntitiesFolder(VString& prefix, VFolder*& folder, const VString& newPrefix,
                                 VFolder* newFolder);

  // Whether the parse under way delivers DTD default attributes (bit 16).
  bool ReportsDefaultedAttributes() const { return fReportDefaultedAttributes; }

 private:
  // True when the parse of the source ended without any error. A document
  // of `size` bytes may deliver at most 16 times as much text.
  bool _Parse(xercesc::InputSource& source, uint64 size, IXMLHandler* handler, uint32 options);

  bool fReportDefaultedAttributes = false;
  VString fEntitiesPrefix;
  VFolder* fEntitiesFolder = nullptr;
};

}  // namespace zeft
