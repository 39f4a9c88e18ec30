// VXMLParser runs the XML library's event parser over a document and turns
// its events into calls on a stack of IXMLHandler objects, one handler per
// open element. Parse problems become "xmlc" errors (2 recoverable, 3 fatal)
// on the calling task's error stack, with the library's message, line and
// column. Documents are untrusted: the library never fetches an external
// entity or DTD itself, entity expansion and element nesting are bounded.
#pragma once

#include <cstddef>

#include "core/VObject.h"
#include "core/VTypes.h"

namespace zeft {

class IXMLHandler;
class VString;

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
  static bool Init();
  static void DeInit();

  // The bytes of a document; its encoding comes from the document itself.
  bool Parse(const void* data, size_t size, IXMLHandler* handler, uint32 options);
  // The string's UTF-16 text, whatever encoding the document declares.
  bool Parse(const VString& text, IXMLHandler* handler, uint32 options);

  // Whether the parse under way delivers DTD default attributes (bit 16).
  bool ReportsDefaultedAttributes() const { return fReportDefaultedAttributes; }

 private:
  // True when the parse ended without any error.
  bool _Parse(const void* data, size_t size, bool utf16, IXMLHandler* handler, uint32 options);

  bool fReportDefaultedAttributes = false;
};

}  // namespace zeft
